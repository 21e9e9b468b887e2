// CR2 figure import: the figure's geometry through the OBJ reader, its morph targets as read-only
// morphs grouped per body part, the full-body dials joined into one morph each, and the materials'
// colours and maps.
//
// The file is read whole (gzipped or not). Its scan (files/cr2_import_deltas.cpp) needs no mesh,
// so it runs on a second thread while the geometry named near the top loads; it checks that the
// braces balance, and its steps then fill the new mesh. The
// object receives the mesh only when everything worked, so a failed import leaves it as it was.
//
// [SECTION] Text
// [SECTION] Names and paths
// [SECTION] Finding files
// [SECTION] The figure builder
// [SECTION] Full-body dials
// [SECTION] ImportCR2File
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/compressed_file.h"
#include "files/cr2_import_deltas.h"
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

// [SECTION] Text

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

// [SECTION] Names and paths

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

// The geometry file that a "figureResFile" value names, asking the user where it is not found.
bool FindGeometry(const TCR2FileFinder& finder, const std::string& cr2_path, std::string_view value,
                  std::string& out_path, std::string& out_error)
{
    const std::string name = CleanValue(value);
    if (name.empty()) {
        out_error = "The CR2 file " + cr2_path + " names no geometry file (figureResFile)";
        return false;
    }
    if (finder.Find(value, true, out_path))
        return true;
    std::string asked = finder.Expected(value);
    if (TarnwickSettings == nullptr || asked.empty() ||
        !TarnwickSettings->FindFile(asked, TZAVMissingFile::AskUser)) {
        out_error = "The geometry file " + name + " of the CR2 file " + cr2_path +
                    " was not found; searched " + finder.Searched();
        return false;
    }
    out_path = asked;
    return true;
}

// [SECTION] The figure builder

// Morphs of the dial of the whole body that a part's morph target follows, with its factor.
struct TJoinMember
{
    float Factor;
    TTarnwick_Morph* Morph;
};
using TJoinMap = std::map<std::string, std::vector<TJoinMember>>;

// The first "figureResFile" value, found without reading the whole file: the geometry can start
// loading while the scan looks for a later one, which wins.
std::string_view FirstGeometryValue(const char* begin, const char* end)
{
    TCR2Lines lines(begin, end);
    TCR2Line line;
    TCR2FileLines files;
    while (lines.Next(line)) {
        files.Consider(line);
        if (!files.Geometry.empty())
            break;
    }
    return files.Geometry;
}

// The message for braces that do not balance.
std::string BraceError(TCR2Lines& lines, const std::string& path)
{
    TCR2Line line;
    std::vector<int64_t> open_lines;
    while (lines.Next(line)) {
        if (line.Kind == TCR2LineKind::Open) {
            open_lines.push_back(line.Number);
        } else if (line.Kind == TCR2LineKind::Close) {
            if (open_lines.empty())
                return "Error reading the CR2 file " + path + " (line " + std::to_string(line.Number) +
                       "): '}' found without a matching '{'";
            open_lines.pop_back();
        }
    }
    return "Error reading the CR2 file " + path + ": the file ends inside the block opened at line " +
           std::to_string(open_lines.empty() ? 0 : open_lines.back()) + " (the file may be cut short)";
}

// The scan applied to the mesh: the part groups and their morphs, the materials' colours and maps.
class TFigureBuilder
{
public:
    TFigureBuilder(TTarnwick_Mesh& mesh, const TCR2FileFinder& finder, bool import_morphs)
        : Mesh(mesh), Finder(finder), ImportMorphs(import_morphs)
    {
    }

    void Apply(const TCR2FigureScan& scan, const std::string& figure_group_name);
    // GatherJoins needs only the part morphs, JoinFullBodyMorphs the welded mesh too.
    void GatherJoins();
    void JoinFullBodyMorphs();
    // Part groups that kept no morph go.
    void DropEmptyGroups();
    void ReportSkipped(const std::string& path, const std::string& binary_morph_file,
                       const std::vector<std::string>& binary_morphs) const;

private:
    void StartActor(std::string_view name);
    void AddMorph(const TCR2MorphTarget& target);
    void ConsiderMaterialLine(const TCR2Line& line);

    TTarnwick_Mesh& Mesh;
    const TCR2FileFinder& Finder;
    const bool ImportMorphs;
    const int32_t VertexCount = Mesh.GetVertexCount();

    std::string ActorName;
    TZAVMaterial* Material = nullptr;

    TTarnwick_MorphTreeGroup* FigureGroup = nullptr;
    TTarnwick_MorphTreeGroup* PartGroup = nullptr;
    TTarnwick_MorphTreeGroup* BodyGroup = nullptr;
    const TZAVGroup2* PolygonGroup = nullptr;
    // The deltas of the morph being made, on mesh vertices.
    std::vector<TTarnwick_MorphDelta> Deltas;

    TJoinMap Joins;
    std::vector<std::unique_ptr<TTarnwick_Morph>> Joined;
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

void TFigureBuilder::StartActor(std::string_view name)
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

// The block's part-local indices become mesh vertices. Deltas of a part the geometry does not
// have are not read.
void TFigureBuilder::AddMorph(const TCR2MorphTarget& target)
{
    if (PolygonGroup == nullptr)
        return;
    const int32_t part_vertices = PolygonGroup->GetVertexCount();
    TCR2DeltaBlock reread;
    const TCR2DeltaBlock* block = &target.Block;
    // The scan skipped only the indices that fit no part.
    if (block->LargestIndex >= part_vertices) {
        reread = RereadDeltaBlock(*block, part_vertices);
        block = &reread;
    }
    if (block->SkippedLines > 0) {
        if (SkippedDeltaLines == 0)
            FirstSkippedLine = block->FirstSkippedLine;
        SkippedDeltaLines += block->SkippedLines;
    }
    // A part's vertices ascend, so the deltas keep the vertex order the morph needs.
    Deltas.clear();
    Deltas.reserve(block->Deltas.size());
    for (const TTarnwick_MorphDelta& delta : block->Deltas) {
        const int32_t vertex = PolygonGroup->Vertices[size_t(delta.Index)];
        if (vertex < 0 || vertex >= VertexCount)
            continue;
        Deltas.push_back({vertex, {delta.Value[0], delta.Value[1], delta.Value[2]}});
    }
    auto morph = std::make_unique<TTarnwick_Morph>(VertexCount, Deltas);
    morph->SetNameLiteral(target.Name);
    morph->ReadOnly = true;
    if (morph->IsCompressed() && morph->DeltaCount == 0)
        return;
    if (PartGroup == nullptr)
        ReportError("TreeGroup == NULL in void TTarnwick_Project::ImportCR2File()");
    if (!target.Dial.empty())
        Joins[target.Dial].push_back(TJoinMember{target.Factor, morph.get()});
    PartGroup->List.Add(morph.release());
}

void TFigureBuilder::ConsiderMaterialLine(const TCR2Line& line)
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

void TFigureBuilder::Apply(const TCR2FigureScan& scan, const std::string& figure_group_name)
{
    if (ImportMorphs) {
        FigureGroup = NewReadOnlyGroup(figure_group_name, VertexCount);
        Mesh.MorphTree->AddChild(FigureGroup);
    }
    for (const TCR2Step& step : scan.Steps) {
        switch (step.Kind) {
        case TCR2StepKind::Actor:
            StartActor(step.Line.Value);
            break;
        case TCR2StepKind::MorphTarget:
            AddMorph(scan.Targets[step.Target]);
            break;
        case TCR2StepKind::Material:
            Material = nullptr;
            for (TZAVMaterial* material : Mesh.Materials)
                if (SamePartName(material->GetName(), step.Line.Value)) {
                    Material = material;
                    break;
                }
            break;
        case TCR2StepKind::MaterialLine:
            if (Material != nullptr)
                ConsiderMaterialLine(step.Line);
            break;
        case TCR2StepKind::MaterialEnd:
            Material = nullptr;
            break;
        }
    }
}

// [SECTION] Full-body dials

// Joins the part morphs of each dial that two or more parts follow into one morph of the dial's
// name: where parts overlap the longer displacement wins (a seam moves as far as its farthest
// part, not by their sum), and welded vertices take the displacement of the vertex they stand for.
void TFigureBuilder::GatherJoins()
{
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
        Joined.push_back(std::move(joined));
    }
}

void TFigureBuilder::JoinFullBodyMorphs()
{
    // Welded seams share their neighbours, and so their normals.
    if (std::any_of(Mesh.WeldMap.begin(), Mesh.WeldMap.end(), [](int32_t target) { return target >= 0; })) {
        Mesh.BuildVertexAdjacency();
        Mesh.BuildTexVertexAdjacency();
        Mesh.ComputeNormals(TZAVNormalScope::All);
    }
    for (std::unique_ptr<TTarnwick_Morph>& joined : Joined) {
        float* values = joined->vertices();
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

void TFigureBuilder::DropEmptyGroups()
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

void TFigureBuilder::ReportSkipped(const std::string& path, const std::string& binary_morph_file,
                                   const std::vector<std::string>& binary_morphs) const
{
    if (SkippedDeltaLines > 0)
        AddWarning(
            "%lld delta lines of the CR2 file %s were skipped: they are malformed or name a vertex the "
            "part does not have (the first at line %lld)",
            static_cast<long long>(SkippedDeltaLines), path.c_str(),
            static_cast<long long>(FirstSkippedLine));
    if (binary_morphs.empty())
        return;
    std::string names;
    for (const std::string& name : binary_morphs)
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
        const char* begin = text.get();
        const char* end = begin + size;
        // The scan reads the morph targets, the materials and the brace balance on a second thread
        // while this one loads the geometry; a thread that cannot start leaves the reading to get().
        std::future<TCR2FigureScan> scanning =
            std::async(std::launch::async | std::launch::deferred, ScanFigure, begin, end, ImportMorphs);
        std::optional<TCR2FigureScan> scan;
        const auto finish_scan = [&]() -> bool {
            if (!scan)
                scan = scanning.get();
            if (scan->LowestDepth < 0 || scan->FinalDepth != 0) {
                TCR2Lines lines(begin, end);
                ErrorText = BraceError(lines, path);
                return false;
            }
            return true;
        };

        // The geometry the file names first loads at once; should the scan find another named
        // further down, the last one is loaded instead.
        const TCR2FileFinder finder(path);
        const std::string_view first_value = FirstGeometryValue(begin, end);
        std::string geometry_path;
        auto mesh = std::make_unique<TTarnwick_Mesh>();
        const bool found_first = finder.Find(first_value, true, geometry_path);
        const bool loaded_first = found_first && ReadOBJ(geometry_path, *mesh, ObjRead_None, ErrorText);
        if (!finish_scan() || (found_first && !loaded_first))
            return false;
        if (!found_first || first_value != scan->Files.Geometry) {
            mesh = std::make_unique<TTarnwick_Mesh>();
            if (!FindGeometry(finder, path, scan->Files.Geometry, geometry_path, ErrorText) ||
                !ReadOBJ(geometry_path, *mesh, ObjRead_None, ErrorText))
                return false;
        }

        // The weld reads positions and writes the weld map and the adjacency, which making the
        // morphs and reading the materials leave alone.
        TTarnwick_Mesh& welding_mesh = *mesh;
        std::future<void> welding = std::async(std::launch::async | std::launch::deferred, [&welding_mesh] {
            welding_mesh.WeldByThreshold(JoinWeldThreshold);
        });
        const std::string name = NameOf(WithoutExtension(path));
        TFigureBuilder builder(*mesh, finder, ImportMorphs);
        builder.Apply(*scan, name);
        builder.GatherJoins();
        welding.get();
        builder.JoinFullBodyMorphs();
        builder.DropEmptyGroups();
        std::string binary_morph_file;
        const std::string_view binary_value = scan->Files.BinaryMorphFile;
        if (!binary_value.empty() && !finder.Find(binary_value, false, binary_morph_file))
            binary_morph_file = finder.Expected(binary_value);
        builder.ReportSkipped(path, binary_morph_file, scan->BinaryMorphs);

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
