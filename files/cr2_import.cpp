// CR2 figure import: the figure's geometry through the OBJ reader, its morph targets as read-only
// morphs grouped per body part, the full-body dials joined into one morph each, and the materials'
// colours and maps.
//
// The file is read whole (gzipped or not) and walked twice: the first pass checks that its braces
// balance and finds the geometry, the second fills a new mesh. The object receives the mesh only
// when everything worked, so a failed import leaves it as it was.
//
// [SECTION] Lines
// [SECTION] Names and paths
// [SECTION] Finding files
// [SECTION] The figure reader
// [SECTION] Full-body dials
// [SECTION] ImportCR2File
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/compressed_file.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/morph.h"
#include "mesh/morph_tree.h"
#include "mesh/obj_file.h"
#include "mesh/obj_tokens.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

namespace {

// Vertices that coincide within this share of the figure's size move together in joined morphs.
constexpr float JoinWeldThreshold = 1e-8f;
constexpr size_t TextPadding = 16;

// [SECTION] Lines

enum class TCR2LineKind
{
    Open,
    Close,
    Text,
};

struct TCR2Line
{
    TCR2LineKind Kind = TCR2LineKind::Text;
    std::string_view Keyword;
    // The rest of the line after the keyword, trimmed.
    std::string_view Value;
    // Keyword and value, trimmed.
    std::string_view Whole;
    int64_t Number = 0;
};

// The lines of the file with text, cut as the tree parser cuts them: CR, LF, CR LF and LF CR each
// end a line, the keyword is the first word and a line whose keyword starts with a brace opens or
// closes a block.
class TCR2Lines
{
public:
    TCR2Lines(const char* begin, const char* end) : Begin(begin), Cursor(begin), End(end) {}

    bool Next(TCR2Line& out_line)
    {
        while (Cursor < End) {
            const char* line_end = FindLineEnd(Cursor, End);
            const char* next = line_end;
            if (next < End)
                next +=
                    (next + 1 < End && (next[1] == '\r' || next[1] == '\n') && next[1] != next[0]) ? 2 : 1;
            std::string_view text = TrimBlanks(std::string_view(Cursor, size_t(line_end - Cursor)));
            Cursor = next;
            Number++;
            if (text.empty())
                continue;
            out_line.Number = Number;
            out_line.Whole = text;
            out_line.Kind = text[0] == '{'   ? TCR2LineKind::Open
                            : text[0] == '}' ? TCR2LineKind::Close
                                             : TCR2LineKind::Text;
            size_t keyword_end = 0;
            while (keyword_end < text.size() && !IsBlank(text[keyword_end]))
                keyword_end++;
            out_line.Keyword = text.substr(0, keyword_end);
            out_line.Value = TrimBlanks(text.substr(keyword_end));
            return true;
        }
        return false;
    }

    void Rewind()
    {
        Cursor = Begin;
        Number = 0;
    }

private:
    const char* Begin;
    const char* Cursor;
    const char* End;
    int64_t Number = 0;
};

// Drops NUL bytes, which carry nothing in a text file and would end it early.
size_t DropNulBytes(char* text, size_t size)
{
    char* write = static_cast<char*>(std::memchr(text, '\0', size));
    if (write == nullptr)
        return size;
    for (const char* read = write; read < text + size; read++)
        if (*read != '\0')
            *write++ = *read;
    const size_t new_size = size_t(write - text);
    std::memset(text + new_size, 0, size - new_size);
    return new_size;
}

// "%d %f %f %f" of a delta line's value; false unless all four are there. The value is followed
// by its line end or the buffer's padding, never by a digit, as the OBJ token readers need.
bool ParseDelta(std::string_view value, int64_t& out_index, float out_delta[3])
{
    const char* cursor = value.data();
    const char* end = cursor + value.size();
    cursor = ParseObjIndex(cursor, end, out_index);
    for (int axis = 0; axis < 3 && cursor != nullptr; axis++)
        cursor = ParseObjFloat(cursor, end, out_delta[axis]);
    return cursor != nullptr;
}

float ParseFloatValue(std::string_view value, float fallback)
{
    float number = fallback;
    return ParseFloatList(value, &number, 1) == 1 ? number : fallback;
}

// [SECTION] Names and paths

// Names match when they are equal, without regard to case, up to their first ':'.
bool SamePartName(std::string_view first, std::string_view second)
{
    return SameTextNoCase(first.substr(0, first.find(':')), second.substr(0, second.find(':')));
}

bool StartsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && SameTextNoCase(text.substr(0, start.size()), start);
}

// A value with its quotes as blanks, trimmed, with "GetStringRes(list,entry)" looked up in the
// language file.
std::string CleanValue(std::string_view value)
{
    std::string text(value);
    std::replace(text.begin(), text.end(), '"', ' ');
    text = std::string(TrimBlanks(text));
    int list = 0, entry = 0;
    char closing = 0;
    if (StartsWithNoCase(text, "GetStringRes(") &&
        std::sscanf(text.c_str() + 13, "%d ,%d %c", &list, &entry, &closing) == 3 && closing == ')') {
        const char* looked_up = GetLanguageString(entry);
        if (looked_up != nullptr && looked_up[0] != '\0')
            text = looked_up;
    }
    return text;
}

// The names of a path written on Windows ("C:\a\b.obj"), a Mac (":a:b.obj", "Disk:a:b.obj") or
// here ("/a/b.obj"); a drive letter and empty names are dropped.
std::vector<std::string> PathNames(const std::string& path, bool& out_absolute)
{
    const bool has_slash = path.find_first_of("/\\") != std::string::npos;
    std::string_view rest = path;
    out_absolute = !rest.empty() && (rest[0] == '/' || rest[0] == '\\' ||
                                     (!has_slash && rest[0] != ':' && rest.find(':') != std::string::npos));
    if (has_slash && rest.size() >= 2 && rest[1] == ':') {
        rest.remove_prefix(2);
        out_absolute = true;
    }
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t i = 0; i <= rest.size(); i++) {
        const bool separator =
            i == rest.size() || rest[i] == '/' || rest[i] == '\\' || (!has_slash && rest[i] == ':');
        if (!separator)
            continue;
        std::string_view name = TrimBlanks(rest.substr(start, i - start));
        if (!name.empty() && name != ".")
            names.emplace_back(name);
        start = i + 1;
    }
    return names;
}

std::string JoinNames(const std::vector<std::string>& names, size_t first)
{
    std::string joined;
    for (size_t i = first; i < names.size(); i++) {
        if (!joined.empty())
            joined += PathSeparator;
        joined += names[i];
    }
    return joined;
}

// The position of the last name "Runtime" (any case), or npos.
size_t RuntimeName(const std::vector<std::string>& names)
{
    for (size_t i = names.size(); i-- > 0;)
        if (SameTextNoCase(names[i], "runtime"))
            return i;
    return std::string::npos;
}

// [SECTION] Finding files

// Where the files a figure names are looked for: the Runtime folder that holds the CR2, the CR2's
// own folder, then the search paths of the settings.
class TCR2FileFinder
{
public:
    explicit TCR2FileFinder(const std::string& cr2_path) : Folder(FolderOf(cr2_path))
    {
        bool absolute = false;
        const std::vector<std::string> names = PathNames(Folder, absolute);
        const size_t runtime = RuntimeName(names);
        if (runtime != std::string::npos) {
            std::vector<std::string> up_to(names.begin(), names.begin() + std::ptrdiff_t(runtime) + 1);
            RuntimeFolder = WithTrailingSeparator(std::string(1, PathSeparator) + JoinNames(up_to, 0));
        }
    }

    // The regular file that value names (see FindAnywhere); false when there is none.
    bool Find(std::string_view value, bool search_paths, std::string& out_path) const
    {
        std::string found;
        if (!FindAnywhere(value, search_paths, found) || !IsRegularFile(found))
            return false;
        out_path = found;
        return true;
    }

    // Where a file that was not found would be: below the Runtime folder, as given, or beside the CR2.
    std::string Expected(std::string_view value) const
    {
        const std::string text = CleanValue(value);
        if (text.empty() || text == "NO_MAP")
            return std::string();
        bool absolute = false;
        const std::vector<std::string> names = PathNames(text, absolute);
        if (names.empty())
            return std::string();
        const size_t runtime = RuntimeName(names);
        if (runtime != std::string::npos && !RuntimeFolder.empty())
            return RuntimeFolder + JoinNames(names, runtime + 1);
        if (text[0] == '/')
            return text;
        return Folder + (absolute ? names.back() : JoinNames(names, 0));
    }

    // The folders searched, for a message.
    std::string Searched() const
    {
        std::string folders;
        if (!RuntimeFolder.empty())
            folders = RuntimeFolder + ", ";
        folders += Folder.empty() ? std::string("the current folder") : Folder;
        if (TarnwickSettings != nullptr)
            for (const TTarnwick_SearchPath* search_path : TarnwickSettings->GlobalSearchPaths)
                folders += ", " + search_path->Path;
        return folders;
    }

private:
    // A device or pipe named by a figure would never end.
    static bool IsRegularFile(const std::string& path)
    {
        struct stat status;
        return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    }

    // The forms tried one after another: the path below the Runtime folder, an absolute path, a
    // path relative to the CR2, the bare name beside it, the bare name in the search paths; each
    // also with its packed or plain twin. Names match without regard to case.
    bool FindAnywhere(std::string_view value, bool search_paths, std::string& out_path) const
    {
        const std::string text = CleanValue(value);
        if (text.empty() || text == "NO_MAP")
            return false;
        bool absolute = false;
        const std::vector<std::string> names = PathNames(text, absolute);
        if (names.empty())
            return false;
        const size_t runtime = RuntimeName(names);
        for (const std::string& bare : {names.back(), CompressedTwinName(names.back())}) {
            if (bare.empty())
                continue;
            std::vector<std::string> twin_names = names;
            twin_names.back() = bare;
            if (runtime != std::string::npos && !RuntimeFolder.empty() &&
                FindFileBeside(JoinNames(twin_names, runtime + 1), RuntimeFolder, out_path))
                return true;
            const bool posix = text[0] == '/';
            if (posix && FindFileBeside(JoinNames(twin_names, 0), std::string(1, PathSeparator), out_path))
                return true;
            if (!absolute && FindFileBeside(JoinNames(twin_names, 0), Folder, out_path))
                return true;
            if (FindFileInFolder(bare, Folder, out_path, TZAVSearchDepth::FolderOnly))
                return true;
            std::string in_search_paths = Folder + bare;
            if (search_paths && TarnwickSettings != nullptr &&
                TarnwickSettings->FindFile(in_search_paths, TZAVMissingFile::Fail)) {
                out_path = in_search_paths;
                return true;
            }
        }
        return false;
    }

    std::string Folder;
    std::string RuntimeFolder;
};

// [SECTION] The figure reader

// What the first pass learns.
struct TFigureHeader
{
    std::string GeometryValue;
    std::string BinaryMorphFile;
};

// Morphs of the dial of the whole body that a part's morph target follows, with its factor.
struct TJoinMember
{
    float Factor;
    TTarnwick_Morph* Morph;
};
using TJoinMap = std::map<std::string, std::vector<TJoinMember>>;

// Brace balance and the files the figure names. False, with the message, when the
// braces do not balance.
bool ReadHeader(TCR2Lines& lines, const std::string& path, TFigureHeader& out_header, std::string& out_error)
{
    TCR2Line line;
    int64_t depth = 0;
    std::vector<int64_t> open_lines;
    while (lines.Next(line)) {
        if (line.Kind == TCR2LineKind::Open) {
            open_lines.push_back(line.Number);
            depth++;
            continue;
        }
        if (line.Kind == TCR2LineKind::Close) {
            if (depth == 0) {
                out_error = "Error reading the CR2 file " + path + " (line " + std::to_string(line.Number) +
                            "): '}' found without a matching '{'";
                return false;
            }
            open_lines.pop_back();
            depth--;
            continue;
        }
        if (SameTextNoCase(line.Keyword, "figureResFile"))
            out_header.GeometryValue = std::string(line.Value);
        else if (SameTextNoCase(line.Keyword, "morphBinaryFile"))
            out_header.BinaryMorphFile = std::string(line.Value);
    }
    if (!open_lines.empty()) {
        out_error = "Error reading the CR2 file " + path +
                    ": the file ends inside the block opened at line " + std::to_string(open_lines.back()) +
                    " (the file may be cut short)";
        return false;
    }
    return true;
}

// The second pass: morph targets of the actors and the materials of the figure.
class TFigureReader
{
public:
    TFigureReader(TTarnwick_Mesh& mesh, const TCR2FileFinder& finder, bool import_morphs)
        : Mesh(mesh), Finder(finder), ImportMorphs(import_morphs)
    {
    }

    void Read(TCR2Lines& lines, const std::string& figure_group_name);
    void JoinFullBodyMorphs();
    // Part groups that kept no morph go.
    void DropEmptyGroups();
    void ReportSkipped(const std::string& path, const std::string& binary_morph_file) const;

private:
    void StartActor(std::string_view name);
    void StartDeltas();
    void AddDelta(const TCR2Line& line);
    void FinishDeltas();
    void ConsiderMaterialLine(const TCR2Line& line);
    void ConsiderActorLine(const TCR2Line& line);

    TTarnwick_Mesh& Mesh;
    const TCR2FileFinder& Finder;
    const bool ImportMorphs;
    const int32_t VertexCount = Mesh.GetVertexCount();

    int64_t Depth = 0;
    int64_t ActorDepth = -1;
    int64_t FigureDepth = -1;
    int64_t MaterialDepth = -1;
    std::string ActorName;
    TZAVMaterial* Material = nullptr;

    TTarnwick_MorphTreeGroup* FigureGroup = nullptr;
    TTarnwick_MorphTreeGroup* PartGroup = nullptr;
    TTarnwick_MorphTreeGroup* BodyGroup = nullptr;
    const TZAVGroup2* PolygonGroup = nullptr;

    // The morph target being read.
    std::string TargetName;
    std::string PendingDial;
    float PendingFactor = 1.0f;
    // Lines of "valueOpDeltaAdd" still to come: 2 (figure), 1 (part), then the dial of a BODY part.
    int32_t ValueOpStep = 0;
    bool ValueOpOfBody = false;
    int64_t DeltasDepth = -1;
    // The deltas of the morph target being read, while it has a part to belong to: the morph is
    // made from them at the end of the block.
    bool ReadingDeltas = false;
    std::vector<TTarnwick_MorphDelta> Deltas;

    TJoinMap Joins;
    std::vector<std::string> BinaryMorphs;
    int64_t SkippedDeltaLines = 0;
    int64_t FirstSkippedLine = 0;
};

TTarnwick_MorphTreeGroup* NewReadOnlyGroup(const std::string& name, int32_t vertex_count)
{
    auto* group = new TTarnwick_MorphTreeGroup();
    group->SetNameLiteral(name);
    group->ReadOnly = true;
    group->ItemVertexCount = vertex_count;
    return group;
}

void TFigureReader::StartActor(std::string_view name)
{
    ActorName = std::string(TrimBlanks(name));
    PolygonGroup = nullptr;
    for (const TZAVGroup2* group : Mesh.Groups2)
        if (SamePartName(group->GetName(), ActorName)) {
            PolygonGroup = group;
            break;
        }
    if (!ImportMorphs)
        return;
    // The second description of a part finds the group of the first.
    PartGroup = nullptr;
    for (TTarnwick_TreeGroup* child = FigureGroup->FirstChildGroup(); child != nullptr;
         child = child->NextGroup())
        if (SameTextNoCase(child->GetName(), ActorName)) {
            PartGroup = static_cast<TTarnwick_MorphTreeGroup*>(child);
            break;
        }
    if (PartGroup == nullptr) {
        PartGroup = NewReadOnlyGroup(ActorName, VertexCount);
        FigureGroup->AddChild(PartGroup);
    }
    if (SameTextNoCase(ActorName, "BODY") || StartsWithNoCase(ActorName, "BODY:"))
        BodyGroup = PartGroup;
}

void TFigureReader::StartDeltas()
{
    DeltasDepth = Depth;
    // Deltas of a part the geometry does not have are read as ordinary lines.
    if (PolygonGroup == nullptr)
        return;
    ReadingDeltas = true;
    Deltas.clear();
}

void TFigureReader::AddDelta(const TCR2Line& line)
{
    int64_t index = -1;
    float delta[3];
    if (!ParseDelta(line.Value, index, delta) || index < 0 || index >= PolygonGroup->GetVertexCount()) {
        if (SkippedDeltaLines++ == 0)
            FirstSkippedLine = line.Number;
        return;
    }
    const int32_t vertex = PolygonGroup->Vertices[size_t(index)];
    if (vertex < 0 || vertex >= VertexCount)
        return;
    Deltas.push_back({vertex, {delta[0], delta[1], delta[2]}});
}

void TFigureReader::FinishDeltas()
{
    DeltasDepth = -1;
    if (!ReadingDeltas)
        return;
    ReadingDeltas = false;
    // In vertex order; a vertex named again keeps its last delta.
    std::stable_sort(Deltas.begin(), Deltas.end(),
                     [](const TTarnwick_MorphDelta& a, const TTarnwick_MorphDelta& b) { return a.Index < b.Index; });
    size_t kept = 0;
    for (size_t i = 0; i < Deltas.size(); i++) {
        if (kept > 0 && Deltas[kept - 1].Index == Deltas[i].Index)
            kept--;
        Deltas[kept++] = Deltas[i];
    }
    Deltas.resize(kept);
    auto morph = std::make_unique<TTarnwick_Morph>(VertexCount, Deltas);
    morph->SetNameLiteral(TargetName);
    morph->ReadOnly = true;
    if (morph->IsCompressed() && morph->DeltaCount == 0)
        return;
    if (PartGroup == nullptr)
        ReportError("TreeGroup == NULL in void TTarnwick_Project::ImportCR2File()");
    if (!PendingDial.empty())
        Joins[PendingDial].push_back(TJoinMember{PendingFactor, morph.get()});
    PartGroup->List.Add(morph.release());
}

void TFigureReader::ConsiderMaterialLine(const TCR2Line& line)
{
    static constexpr const char* MapChannels[][2] = {
        {"textureMap", "Color"},
        {"bumpMap", "Bump"},
        {"reflectionMap", "Reflection"},
        {"transparencyMap", "Transparency"},
    };
    for (const auto& [keyword, channel_name] : MapChannels) {
        if (!SameTextNoCase(line.Keyword, keyword))
            continue;
        if (TZAVMaterialChannel* channel = Material->FindChannel(channel_name)) {
            std::string found;
            channel->MapFileName = Finder.Find(line.Value, true, found) ? found : Finder.Expected(line.Value);
        }
        return;
    }
    if (SameTextNoCase(line.Keyword, "KdColor")) {
        float color[3];
        TZAVMaterialChannel* channel = Material->FindChannel("Color");
        if (channel != nullptr && ParseFloatList(line.Value, color, 3) == 3)
            std::copy(color, color + 3, channel->Colors[0]);
    } else if (SameTextNoCase(line.Keyword, "tMax")) {
        if (TZAVMaterialChannel* channel = Material->FindChannel("Transparency"))
            channel->Strength = ParseFloatValue(line.Value, channel->Strength);
    }
}

void TFigureReader::ConsiderActorLine(const TCR2Line& line)
{
    if (DeltasDepth >= 0) {
        if (Depth == DeltasDepth + 1 && ReadingDeltas && line.Keyword == "d")
            AddDelta(line);
        return;
    }
    if (ValueOpStep > 0) {
        // The figure's name, the part's name and, for a BODY part, the dial.
        if (ValueOpStep == 2) {
            ValueOpStep = 1;
        } else if (ValueOpStep == 1) {
            ValueOpOfBody = StartsWithNoCase(line.Whole, "BODY");
            ValueOpStep = ValueOpOfBody ? 3 : 0;
        } else {
            PendingDial = std::string(line.Whole);
            ValueOpStep = 0;
        }
        return;
    }
    if (SameTextNoCase(line.Keyword, "targetGeom")) {
        TargetName = std::string(line.Value);
        PendingDial.clear();
        PendingFactor = 1.0f;
    } else if (SameTextNoCase(line.Keyword, "valueOpDeltaAdd")) {
        ValueOpStep = 2;
    } else if (SameTextNoCase(line.Keyword, "deltaAddDelta")) {
        PendingFactor = ParseFloatValue(line.Value, 1.0f);
    } else if (SameTextNoCase(line.Keyword, "useBinaryMorph")) {
        if (ParseFloatValue(line.Value, 0.0f) != 0.0f && !TargetName.empty())
            BinaryMorphs.push_back(ActorName + " " + TargetName);
    } else if (SameTextNoCase(line.Keyword, "deltas")) {
        StartDeltas();
    }
}

void TFigureReader::Read(TCR2Lines& lines, const std::string& figure_group_name)
{
    if (ImportMorphs) {
        FigureGroup = NewReadOnlyGroup(figure_group_name, VertexCount);
        Mesh.MorphTree->AddChild(FigureGroup);
    }
    TCR2Line line;
    while (lines.Next(line)) {
        if (line.Kind == TCR2LineKind::Open) {
            Depth++;
            continue;
        }
        if (line.Kind == TCR2LineKind::Close) {
            Depth--;
            if (DeltasDepth >= 0 && Depth <= DeltasDepth)
                FinishDeltas();
            if (Depth <= ActorDepth) {
                ActorDepth = -1;
                ValueOpStep = 0;
            }
            if (Depth <= MaterialDepth) {
                MaterialDepth = -1;
                Material = nullptr;
            }
            if (Depth <= FigureDepth)
                FigureDepth = -1;
            continue;
        }
        if (Depth == 1) {
            if (SameTextNoCase(line.Keyword, "actor")) {
                ActorDepth = Depth;
                StartActor(line.Value);
            } else if (SameTextNoCase(line.Keyword, "figure")) {
                FigureDepth = Depth;
            }
            continue;
        }
        if (ActorDepth >= 0) {
            if (ImportMorphs)
                ConsiderActorLine(line);
            continue;
        }
        if (FigureDepth < 0)
            continue;
        if (Depth == 2 && SameTextNoCase(line.Keyword, "material")) {
            Material = nullptr;
            MaterialDepth = Depth;
            for (TZAVMaterial* material : Mesh.Materials)
                if (SamePartName(material->GetName(), line.Value)) {
                    Material = material;
                    break;
                }
        } else if (Material != nullptr && Depth > MaterialDepth) {
            ConsiderMaterialLine(line);
        }
    }
    FinishDeltas();
}

// [SECTION] Full-body dials

// Joins the part morphs of each dial that two or more parts follow into one morph of the dial's
// name: where parts overlap the longer displacement wins (a seam moves as far as its farthest
// part, not by their sum), and welded vertices take the displacement of the vertex they stand for.
void TFigureReader::JoinFullBodyMorphs()
{
    Mesh.WeldByThreshold(JoinWeldThreshold);
    // Welded seams share their neighbours, and so their normals.
    if (std::any_of(Mesh.WeldMap.begin(), Mesh.WeldMap.end(), [](int32_t target) { return target >= 0; })) {
        Mesh.BuildVertexAdjacency();
        Mesh.BuildTexVertexAdjacency();
        Mesh.ComputeNormals(TZAVNormalScope::All);
    }
    for (const auto& [dial, members] : Joins) {
        if (members.size() < 2)
            continue;
        auto joined = std::make_unique<TTarnwick_Morph>(VertexCount);
        joined->SetNameLiteral(dial);
        joined->ReadOnly = true;
        float* values = joined->vertices();
        for (const TJoinMember& member : members) {
            int32_t vertex = -1;
            float delta[3];
            for (bool more = member.Morph->GetFirstDelta(vertex, delta); more;
                 more = member.Morph->GetNextDelta(vertex, delta)) {
                if (vertex < 0 || vertex >= VertexCount)
                    continue;
                float* value = values + 3 * size_t(vertex);
                const float candidate[3] = {member.Factor * delta[0], member.Factor * delta[1],
                                            member.Factor * delta[2]};
                const float candidate_length =
                    candidate[0] * candidate[0] + candidate[1] * candidate[1] + candidate[2] * candidate[2];
                if (candidate_length > value[0] * value[0] + value[1] * value[1] + value[2] * value[2])
                    std::copy(candidate, candidate + 3, value);
            }
        }
        for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
            const int32_t welded = Mesh.WeldMap[size_t(vertex)];
            if (welded >= 0 && welded != vertex && welded < VertexCount)
                std::copy(values + 3 * size_t(welded), values + 3 * size_t(welded) + 3,
                          values + 3 * size_t(vertex));
        }
        joined->Compress();
        if (BodyGroup != nullptr)
            BodyGroup->List.Add(joined.release());
        else
            Mesh.MorphTree->List.Add(joined.release());
    }
}

void TFigureReader::DropEmptyGroups()
{
    if (FigureGroup == nullptr)
        return;
    for (TTarnwick_TreeGroup* child = FigureGroup->FirstChildGroup(); child != nullptr;) {
        TTarnwick_TreeGroup* next = child->NextGroup();
        if (child->List.Count() == 0 && child->FirstChild() == nullptr)
            delete child;
        child = next;
    }
}

void TFigureReader::ReportSkipped(const std::string& path, const std::string& binary_morph_file) const
{
    if (SkippedDeltaLines > 0)
        AddWarning(
            "%lld delta lines of the CR2 file %s were skipped: they are malformed or name a vertex the "
            "part does not have (the first at line %lld)",
            static_cast<long long>(SkippedDeltaLines), path.c_str(),
            static_cast<long long>(FirstSkippedLine));
    if (BinaryMorphs.empty())
        return;
    std::string names;
    for (const std::string& name : BinaryMorphs)
        names += (names.empty() ? "" : ", ") + name;
    const std::string file =
        binary_morph_file.empty() ? std::string("a binary morph file (.pmd)") : binary_morph_file;
    AddWarning("Morphs of the CR2 file %s kept in %s were not imported: %s", path.c_str(), file.c_str(),
               names.c_str());
}

} // namespace

// [SECTION] ImportCR2File

bool TTarnwick_Project::ImportCR2File(const std::string& path, TTarnwick_Object& object)
{
    try {
        std::unique_ptr<char[]> text;
        size_t size = 0;
        if (!ReadWholeFile(path, TextPadding, DefaultMaxFileBytes, text, size, ErrorText))
            return false;
        size = DropNulBytes(text.get(), size);
        TCR2Lines lines(text.get(), text.get() + size);
        TFigureHeader header;
        if (!ReadHeader(lines, path, header, ErrorText))
            return false;

        const TCR2FileFinder finder(path);
        const std::string geometry_name = CleanValue(header.GeometryValue);
        if (geometry_name.empty()) {
            ErrorText = "The CR2 file " + path + " names no geometry file (figureResFile)";
            return false;
        }
        std::string geometry_path;
        if (!finder.Find(header.GeometryValue, true, geometry_path)) {
            std::string asked = finder.Expected(header.GeometryValue);
            if (TarnwickSettings == nullptr || asked.empty() ||
                !TarnwickSettings->FindFile(asked, TZAVMissingFile::AskUser)) {
                ErrorText = "The geometry file " + geometry_name + " of the CR2 file " + path +
                            " was not found; searched " + finder.Searched();
                return false;
            }
            geometry_path = asked;
        }

        auto mesh = std::make_unique<TTarnwick_Mesh>();
        if (!ReadOBJ(geometry_path, *mesh, ObjRead_None, ErrorText))
            return false;

        const std::string name = NameOf(WithoutExtension(path));
        TFigureReader reader(*mesh, finder, ImportMorphs);
        lines.Rewind();
        reader.Read(lines, name);
        reader.JoinFullBodyMorphs();
        reader.DropEmptyGroups();
        std::string binary_morph_file;
        if (!header.BinaryMorphFile.empty() && !finder.Find(header.BinaryMorphFile, false, binary_morph_file))
            binary_morph_file = finder.Expected(header.BinaryMorphFile);
        reader.ReportSkipped(path, binary_morph_file);

        object.SetMesh(std::move(mesh));
        object.SetNameLiteral(name);
        object.FileName = path;
        object.OBJFileName = geometry_path;
        return true;
    } catch (const std::bad_alloc&) {
        ErrorText = "Not enough memory to import the CR2 file " + path;
        return false;
    }
}
