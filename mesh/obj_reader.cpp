// Wavefront OBJ reading: a first pass counts what the file holds, a second fills a mesh of exactly
// that size, which replaces the caller's mesh only once the whole file was read.
//
// [SECTION] Line kinds
// [SECTION] Filling the mesh
// [SECTION] ReadOBJ
#include "mesh/obj_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string_view>

#include "core/file_handle.h"
#include "core/event_queue.h"
#include "core/hash_table.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/compressed_file.h"
#include "mesh/mtl_file.h"
#include "mesh/obj_line_reader.h"
#include "mesh/obj_tokens.h"

namespace {

constexpr int32_t NameTableBuckets = 100;
// Lines of the second pass between two progress ticks.
constexpr int64_t ProgressLineInterval = 8000;

// [SECTION] Line kinds

enum class TObjLine : int32_t
{
    Empty,
    Other,
    Comment,
    Vertex,
    Normal,
    TexVertex,
    Face,
    Polyline,
    Group,
    UseMaterial,
    MaterialLibrary,
};

// Splits off the keyword; out_rest is the text after it, without leading blanks (and trimmed at
// the end for the kinds whose rest is a name).
TObjLine ClassifyOtherLine(std::string_view line, std::string_view& out_rest);

inline TObjLine ClassifyLine(std::string_view line, std::string_view& out_rest)
{
    // The bulk of a file: "v ", "vt ", "vn " and "f " at the start of the line.
    if (line.size() >= 3 && line[1] == ' ' && (line[0] == 'v' || line[0] == 'f')) {
        out_rest = line.substr(2);
        return line[0] == 'v' ? TObjLine::Vertex : TObjLine::Face;
    }
    if (line.size() >= 4 && line[0] == 'v' && line[2] == ' ' && (line[1] == 't' || line[1] == 'n')) {
        out_rest = line.substr(3);
        return line[1] == 't' ? TObjLine::TexVertex : TObjLine::Normal;
    }
    return ClassifyOtherLine(line, out_rest);
}

// "v" and "vn" match in any case, every other keyword exactly.
TObjLine ClassifyKeyword(std::string_view keyword)
{
    if (keyword.size() == 1) {
        switch (keyword[0]) {
        case 'v':
        case 'V':
            return TObjLine::Vertex;
        case 'f':
            return TObjLine::Face;
        case 'l':
            return TObjLine::Polyline;
        case 'g':
            return TObjLine::Group;
        default:
            return TObjLine::Other;
        }
    }
    if (SameTextNoCase(keyword, "vn"))
        return TObjLine::Normal;
    if (keyword == "vt")
        return TObjLine::TexVertex;
    if (keyword == "fo")
        return TObjLine::Face;
    if (keyword == "usemtl")
        return TObjLine::UseMaterial;
    return TObjLine::Other;
}

TObjLine ClassifyOtherLine(std::string_view line, std::string_view& out_rest)
{
    line = TrimBlanks(line);
    if (line.empty())
        return TObjLine::Empty;
    if (line[0] == '#') {
        out_rest = line;
        return TObjLine::Comment;
    }
    if (line.starts_with("mtllib")) {
        out_rest = TrimBlanks(line.substr(6));
        return TObjLine::MaterialLibrary;
    }
    size_t keyword_end = 0;
    while (keyword_end < line.size() && !IsBlank(line[keyword_end]))
        keyword_end++;
    // The line is trimmed, so the rest is too.
    out_rest = TrimBlanks(line.substr(keyword_end));
    return ClassifyKeyword(line.substr(0, keyword_end));
}

// [SECTION] Filling the mesh

struct TObjCounts
{
    int64_t Vertices = 0;
    int64_t TexVertices = 0;
    int64_t Normals = 0;
    int64_t Faces = 0;
    int64_t Corners = 0;
    int64_t Lines = 0;
    int64_t LineCorners = 0;
};

// Lines that lost something: how many, and the first of them.
struct TLossTally
{
    int64_t Count = 0;
    int64_t First = 0;

    void Note(int64_t line)
    {
        if (Count++ == 0)
            First = line;
    }
};

// What the second pass made of a line.
enum class TLineRead : int32_t
{
    Read,
    // Malformed, or names no vertex: the line is skipped; a face or polyline keeps its slot, empty.
    Unreadable,
    // More lines or corners than the first pass counted: the load stops.
    FileChanged,
};

// The corner arrays of the faces, or of the polylines (which have no normals).
struct TCornerArrays
{
    int32_t* Vertices;
    int32_t* TexVertices;
    int32_t* Normals;
    int64_t Total;
    // A face needs three corners, a polyline two.
    int32_t Least;
};

// Groups or materials by name; a name gets its element on first use.
template <typename TItem> struct TNamedItems
{
    TZAVMultiList<TItem*>& List;
    TItem* (TZAVPolyMesh::*Create)() const;
    THashTable<int32_t> Table{NameTableBuckets};
};

// The second pass: fills a mesh sized by the first.
class TObjFiller
{
public:
    TObjFiller(TZAVPolyMesh& staging, const TZAVPolyMesh& target, const TObjCounts& counts, uint32_t flags)
        : Mesh(staging), Target(target), Counts(counts),
          Flags(flags), Groups{staging.Groups2, &TZAVPolyMesh::CreateGroup2},
          Materials{staging.Materials, &TZAVPolyMesh::CreateMaterial}
    {
    }

    TLineRead Line(TObjLine kind, std::string_view rest, int64_t line_number);
    void StartSingleGroup(const std::string& name) { CurrentGroup = FindOrAdd(Groups, name, 0); }
    bool Complete() const
    {
        return ReadSoFar.Vertices == Counts.Vertices && ReadSoFar.TexVertices == Counts.TexVertices &&
               ReadSoFar.Normals == Counts.Normals && ReadSoFar.Faces == Counts.Faces &&
               ReadSoFar.Lines == Counts.Lines;
    }
    // The load's one warning, empty when nothing was lost.
    std::string Losses(const std::string& path) const;

    bool MaterialSeen = false;

private:
    TLineRead ReadLine(TObjLine kind, std::string_view rest, int64_t line_number);
    TLineRead ReadNumbers(std::string_view rest, std::vector<float>& values, int32_t per_line,
                          int64_t& read_so_far, int64_t total);
    TLineRead ReadFace(std::string_view rest, int64_t line_number);
    TLineRead ReadPolyline(std::string_view rest, int64_t line_number);
    void ReadInternalName(std::string_view comment, int64_t line_number);
    TLineRead ReadCornerRun(std::string_view rest, int64_t line_number, const TCornerArrays& arrays,
                            int32_t& cursor);
    TLineRead ParseCorners(std::string_view rest, int64_t line_number, const TCornerArrays& arrays,
                           int32_t first, int32_t& out_count);
    template <typename TItem>
    int32_t FindOrAdd(TNamedItems<TItem>& items, std::string_view name, int64_t line_number);

    TZAVPolyMesh& Mesh;
    const TZAVPolyMesh& Target;
    const TObjCounts& Counts;
    uint32_t Flags;
    TNamedItems<TZAVGroup2> Groups;
    TNamedItems<TZAVMaterial> Materials;
    TLossTally Unreadable;
    TLossTally LostIndices;
    TLossTally CutFaces;
    int32_t CurrentGroup = -1;
    int32_t CurrentMaterial = -1;
    bool InternalNames = false;
    // Vertices, texture vertices, normals, faces and polylines read so far.
    TObjCounts ReadSoFar;
    int32_t CornerCursor = 0;
    int32_t LineCornerCursor = 0;
};

// The index of the named element, made by the target mesh on first use. Polygons keep 16-bit
// indices: once the list is full, the name falls to its last element and the line counts as
// unreadable.
template <typename TItem>
int32_t TObjFiller::FindOrAdd(TNamedItems<TItem>& items, std::string_view name, int64_t line_number)
{
    std::string key(name);
    int32_t index = -1;
    if (items.Table.Find(key.c_str(), &index))
        return index;
    index = items.List.Count();
    if (index > INT16_MAX) {
        Unreadable.Note(line_number);
        return index - 1;
    }
    TItem* item = (Target.*items.Create)();
    item->SetNameLiteral(name);
    item->Index = index;
    items.List.Add(item);
    items.Table.Insert(key.c_str(), index);
    return index;
}

// A texture or normal index that names no element is dropped (the corner keeps its vertex); a
// face of more corners than a polygon holds keeps the first of them. The corners go to the arrays
// from index `first` on.
TLineRead TObjFiller::ParseCorners(std::string_view rest, int64_t line_number, const TCornerArrays& arrays,
                                   int32_t first, int32_t& out_count)
{
    int32_t* vertices = arrays.Vertices + first;
    int32_t* tex_vertices = arrays.TexVertices + first;
    int32_t* normals = arrays.Normals != nullptr ? arrays.Normals + first : nullptr;
    const int64_t room = arrays.Total - first;
    const char* cursor = rest.data();
    const char* end = rest.data() + rest.size();
    const bool load_normals = Flags & ObjRead_LoadNormals;
    bool lost_index = false;
    int32_t count = 0;
    for (;;) {
        while (cursor < end && IsBlank(*cursor))
            cursor++;
        if (cursor == end)
            break;
        if (count == TZAVPolyMesh::MaxCornerCount) {
            CutFaces.Note(line_number);
            break;
        }
        if (count == room)
            return TLineRead::FileChanged;
        int64_t indices[3];
        cursor = ParseCornerToken(cursor, end, indices);
        if (cursor == nullptr)
            return TLineRead::Unreadable;
        const int32_t vertex = ResolveObjIndex(indices[0], ReadSoFar.Vertices, Counts.Vertices);
        if (vertex < 0)
            return TLineRead::Unreadable;
        int32_t tex_vertex = -1;
        if (indices[1] != 0) {
            tex_vertex = ResolveObjIndex(indices[1], ReadSoFar.TexVertices, Counts.TexVertices);
            lost_index |= tex_vertex < 0;
        }
        if (normals != nullptr) {
            int32_t normal = -1;
            if (load_normals && indices[2] != 0) {
                normal = ResolveObjIndex(indices[2], ReadSoFar.Normals, Counts.Normals);
                lost_index |= normal < 0;
            }
            normals[count] = normal;
        }
        vertices[count] = vertex;
        tex_vertices[count] = tex_vertex;
        count++;
    }
    if (lost_index)
        LostIndices.Note(line_number);
    out_count = count;
    return TLineRead::Read;
}

// The corners of a face or polyline, from `cursor` on, which moves past those kept. One of fewer
// corners than it needs, like one that cannot be read, keeps none.
TLineRead TObjFiller::ReadCornerRun(std::string_view rest, int64_t line_number, const TCornerArrays& arrays,
                                    int32_t& cursor)
{
    int32_t count = 0;
    const TLineRead read = ParseCorners(rest, line_number, arrays, cursor, count);
    if (read != TLineRead::Read)
        return read;
    if (count < arrays.Least)
        return TLineRead::Unreadable;
    cursor += count;
    return TLineRead::Read;
}

std::string TObjFiller::Losses(const std::string& path) const
{
    std::string text;
    auto add = [&](const TLossTally& tally, const std::string& what) {
        if (tally.Count == 0)
            return;
        text += text.empty() ? path + ": " : "; ";
        text += std::to_string(tally.Count) + what + std::to_string(tally.First);
    };
    add(Unreadable, " line(s) could not be read; the first is line ");
    add(LostIndices,
        " face(s) or line(s) lost texture or normal indices that name nothing; the first is line ");
    add(CutFaces, " face(s) of more than " + std::to_string(TZAVPolyMesh::MaxCornerCount) +
                      " corners kept only their first; the first is line ");
    return text;
}

// One "v", "vn" or "vt" line: its numbers that cannot be read keep the value they had.
TLineRead TObjFiller::ReadNumbers(std::string_view rest, std::vector<float>& values, int32_t per_line,
                                  int64_t& read_so_far, int64_t total)
{
    if (read_so_far == total)
        return TLineRead::FileChanged;
    const bool read = ParseObjFloats(rest, &values[per_line * read_so_far], per_line);
    read_so_far++;
    return read ? TLineRead::Read : TLineRead::Unreadable;
}

// A face that cannot be read keeps its slot, empty.
TLineRead TObjFiller::ReadFace(std::string_view rest, int64_t line_number)
{
    if (ReadSoFar.Faces == Counts.Faces)
        return TLineRead::FileChanged;
    const int32_t polygon = static_cast<int32_t>(ReadSoFar.Faces++);
    Mesh.PolygonMaterial[polygon] = static_cast<int16_t>(CurrentMaterial);
    Mesh.PolygonGroup[polygon] = static_cast<int16_t>(CurrentGroup);
    const TCornerArrays corners{Mesh.CornerVertex.data(), Mesh.CornerTexVertex.data(),
                                Mesh.CornerNormal.data(), Counts.Corners, 3};
    const TLineRead read = ReadCornerRun(rest, line_number, corners, CornerCursor);
    Mesh.EndPolygon(polygon, CornerCursor);
    return read;
}

TLineRead TObjFiller::ReadPolyline(std::string_view rest, int64_t line_number)
{
    if (ReadSoFar.Lines == Counts.Lines)
        return TLineRead::FileChanged;
    const int32_t line = static_cast<int32_t>(ReadSoFar.Lines++);
    const TCornerArrays corners{Mesh.LineVertex.data(), Mesh.LineTexVertex.data(), nullptr,
                                Counts.LineCorners, 2};
    const TLineRead read = ReadCornerRun(rest, line_number, corners, LineCornerCursor);
    Mesh.LineStart[line + 1] = LineCornerCursor;
    return read;
}

// "# InternalName: <group>" names the current group; from the first such line on, "g" lines are
// ignored.
void TObjFiller::ReadInternalName(std::string_view comment, int64_t line_number)
{
    constexpr std::string_view Key = "InternalName:";
    if (comment.size() < 2)
        return;
    const std::string_view text = TrimBlanks(comment.substr(2));
    if (text.size() < Key.size() || !SameTextNoCase(text.substr(0, Key.size()), Key) ||
        (text.size() > Key.size() && !IsBlank(text[Key.size()])))
        return;
    InternalNames = true;
    if (!(Flags & ObjRead_SingleGroup))
        CurrentGroup = FindOrAdd(Groups, TrimBlanks(text.substr(Key.size())), line_number);
}

TLineRead TObjFiller::ReadLine(TObjLine kind, std::string_view rest, int64_t line_number)
{
    switch (kind) {
    case TObjLine::Vertex:
        return ReadNumbers(rest, Mesh.Vertices, 3, ReadSoFar.Vertices, Counts.Vertices);
    case TObjLine::Normal:
        if (!(Flags & ObjRead_LoadNormals))
            return TLineRead::Read;
        return ReadNumbers(rest, Mesh.Normals, 3, ReadSoFar.Normals, Counts.Normals);
    case TObjLine::TexVertex:
        return ReadNumbers(rest, Mesh.TexVertices, 2, ReadSoFar.TexVertices, Counts.TexVertices);
    case TObjLine::Face:
        return ReadFace(rest, line_number);
    case TObjLine::Polyline:
        return ReadPolyline(rest, line_number);
    case TObjLine::Group:
        if (!(Flags & ObjRead_SingleGroup) && !InternalNames)
            CurrentGroup = FindOrAdd(Groups, rest, line_number);
        return TLineRead::Read;
    case TObjLine::Comment:
        if (Flags & ObjRead_UseInternalNames)
            ReadInternalName(rest, line_number);
        return TLineRead::Read;
    case TObjLine::UseMaterial:
        MaterialSeen = true;
        CurrentMaterial = FindOrAdd(Materials, rest, line_number);
        return TLineRead::Read;
    case TObjLine::MaterialLibrary:
        Mesh.MtlLibName.assign(rest);
        return TLineRead::Read;
    case TObjLine::Empty:
    case TObjLine::Other:
        return TLineRead::Read;
    }
    return TLineRead::Read;
}

TLineRead TObjFiller::Line(TObjLine kind, std::string_view rest, int64_t line_number)
{
    const TLineRead read = ReadLine(kind, rest, line_number);
    if (read == TLineRead::Unreadable)
        Unreadable.Note(line_number);
    return read;
}

// [SECTION] ReadOBJ

bool CountLines(TZAVObjLineReader& reader, uint32_t flags, TObjCounts& out_counts)
{
    std::string_view line;
    std::string_view rest;
    while (reader.NextLine(line)) {
        switch (ClassifyLine(line, rest)) {
        case TObjLine::Vertex:
            out_counts.Vertices++;
            break;
        case TObjLine::Normal:
            out_counts.Normals += (flags & ObjRead_LoadNormals) ? 1 : 0;
            break;
        case TObjLine::TexVertex:
            out_counts.TexVertices++;
            break;
        case TObjLine::Face:
            out_counts.Faces++;
            out_counts.Corners += CountObjTokens(rest);
            break;
        case TObjLine::Polyline:
            out_counts.Lines++;
            out_counts.LineCorners += CountObjTokens(rest);
            break;
        default:
            break;
        }
    }
    return !reader.Failed();
}

// The first pass; false when the file cannot be read, has no vertices or holds more of anything
// than an array can index.
bool CountFile(TZAVObjLineReader& reader, const std::string& path, uint32_t flags, TObjCounts& out_counts,
               std::string& out_error)
{
    if (!CountLines(reader, flags, out_counts)) {
        out_error = "Error reading the OBJ file " + path;
        return false;
    }
    if (out_counts.Vertices == 0) {
        out_error = "This OBJ file has no vertices! (" + path + ")";
        return false;
    }
    for (int64_t count : {out_counts.Vertices, out_counts.TexVertices, out_counts.Normals, out_counts.Faces,
                          out_counts.Corners, out_counts.Lines, out_counts.LineCorners}) {
        if (count > INT32_MAX) {
            out_error = "The OBJ file " + path + " is too large to load";
            return false;
        }
    }
    return true;
}

void AllocateFor(TZAVPolyMesh& staging, const TObjCounts& counts)
{
    staging.Allocate(static_cast<int32_t>(counts.Vertices), static_cast<int32_t>(counts.TexVertices),
                     static_cast<int32_t>(counts.Normals), static_cast<int32_t>(counts.Faces));
    staging.AllocateCorners(static_cast<int32_t>(counts.Corners));
    staging.AllocateLines(static_cast<int32_t>(counts.Lines), static_cast<int32_t>(counts.LineCorners));
}

// The second pass; false when the file no longer matches the first.
bool FillMesh(TZAVObjLineReader& reader, TObjFiller& filler, const std::string& path, std::string& out_error)
{
    reader.Rewind();
    std::string_view line;
    std::string_view rest;
    TLineRead read = TLineRead::Read;
    while (read != TLineRead::FileChanged && reader.NextLine(line)) {
        read = filler.Line(ClassifyLine(line, rest), rest, reader.LineNumber);
        // A long load keeps the busy text moving; the tick itself draws at most twice a second.
        if (reader.LineNumber % ProgressLineInterval == 0)
            TarnwickEvents_ProgressTick();
    }
    if (reader.Failed() || read == TLineRead::FileChanged || !filler.Complete()) {
        out_error = FormatText("The OBJ file %s changed or could not be read while loading (line %lld)",
                               path.c_str(), static_cast<long long>(reader.LineNumber));
        return false;
    }
    return true;
}

// Faces that could not be read gave back the corners counted for them.
void DropUnusedCorners(TZAVPolyMesh& staging)
{
    const int32_t corners_used = staging.PolygonStart[staging.GetPolygonCount()];
    staging.CornerVertex.resize(corners_used);
    staging.CornerTexVertex.resize(corners_used);
    staging.CornerNormal.resize(corners_used);
    staging.CornerVisible.resize(corners_used);
    const int32_t line_corners_used = staging.LineStart.back();
    staging.LineVertex.resize(line_corners_used);
    staging.LineTexVertex.resize(line_corners_used);
}

// One sub-object covers everything the file held; without "usemtl" lines one material, named
// like the file, covers every polygon.
void AddWholeFileGroup(TZAVPolyMesh& staging, const TZAVPolyMesh& target, const std::string& name,
                       const TObjCounts& counts, bool material_seen)
{
    auto* group = new TZAVGroup;
    group->SetNameLiteral(name);
    group->Index = 0;
    auto whole = [](int64_t count) { return TZAVIndexRange{0, static_cast<int32_t>(count) - 1}; };
    group->VertexRange = whole(counts.Vertices);
    group->TexVertexRange = whole(counts.TexVertices);
    group->NormalRange = whole(counts.Normals);
    group->PolygonRange = whole(counts.Faces);
    group->LineRange = whole(counts.Lines);
    staging.Groups.Add(group);
    std::fill(staging.PolygonPart.begin(), staging.PolygonPart.end(), 0);

    if (!material_seen) {
        TZAVMaterial* material = target.CreateMaterial();
        material->SetNameLiteral(name);
        material->Index = 0;
        staging.Materials.Add(material);
        std::fill(staging.PolygonMaterial.begin(), staging.PolygonMaterial.end(), 0);
    }
}

} // namespace

bool ReadOBJ(const std::string& path, TZAVPolyMesh& mesh, uint32_t flags, std::string& out_error)
{
    // A gzip stream (".obz", or any name) is unpacked into memory and read from there.
    std::unique_ptr<char[]> unpacked;
    TZAVFileHandle file;
    if (IsGzipFile(path)) {
        size_t size = 0;
        if (!ReadWholeFile(path, 1, DefaultMaxFileBytes, unpacked, size, out_error))
            return false;
        // An empty stream reads as one empty line.
        unpacked[size] = '\n';
        file.reset(fmemopen(unpacked.get(), size > 0 ? size : 1, "rb"));
    } else {
        file.reset(std::fopen(path.c_str(), "rb"));
    }
    if (!file) {
        out_error = "Cannot open the OBJ file " + path;
        return false;
    }
    TZAVObjLineReader reader(file.get());
    TObjCounts counts;
    if (!CountFile(reader, path, flags, counts, out_error))
        return false;

    TZAVPolyMesh staging;
    AllocateFor(staging, counts);
    TObjFiller filler(staging, mesh, counts, flags);
    if (flags & ObjRead_SingleGroup)
        filler.StartSingleGroup(NameOf(path));
    if (!FillMesh(reader, filler, path, out_error))
        return false;
    file.reset();
    DropUnusedCorners(staging);
    if (std::string losses = filler.Losses(path); !losses.empty())
        AddWarning("%s", losses.c_str());

    AddWholeFileGroup(staging, mesh, NameOf(WithoutExtension(path)), counts, filler.MaterialSeen);
    ReadMTL(staging, path,
            (flags & ObjRead_MtlVariant) ? TZAVMtlReadForm::EveryMatch : TZAVMtlReadForm::FirstMatch);
    mesh.AdoptContents(staging);
    mesh.Prepare();
    return true;
}
