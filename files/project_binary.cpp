// The binary project file of older versions, read only.
//
//     "VORNFILEVERSION0006\0"  (20 bytes; the digits are the version, 4 to 6)
//     int32 36, then the 36-byte options record
//     chunks: ["VORNCHUNK"] int32 ID [int32 payload size] payload   (marker from 6, size but in 4)
//
// An object's chunk (71) is followed by its mesh (78), its morph and selection groups and items
// (72 to 75) and its mixer (79); polygon groups (80), flags (81) and the mix switch (82) follow the
// mesh. The next object's chunk, or the end chunk (69), finishes the object: its trees are built
// from the groups' Index and ParentIndex, its current items are chosen, the mixer is reconnected
// and the mesh is prepared. A material map (77) joins the current object's mesh.
//
// The mesh record of chunk 78: the item record, int32 vcount, vtcount, pcount, the base positions
// (12 bytes each), the texture vertices (8 bytes each), then the polygons in their binary form
// (Material, Group, Count as int16, then per corner Vertex, TexVertex, Normal as int32 and Visible
// as a byte). A brush image (76): the item record, FileName (256 bytes), int32 width and height,
// then width × height RGBA pixels, bottom row first.
//
// Every count and size is held to the bytes left in its chunk (or, without sizes, in the file)
// before anything is allocated from it. Chunks of morphs, selections and brush images that do not
// read (and of material maps) are dropped alone when the file gives sizes; any other fault fails
// the load.
//
// [SECTION] Records
// [SECTION] The reader
// [SECTION] Finishing objects
// [SECTION] LoadProject
#include <cinttypes>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/report.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/morph_tree.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"

// [SECTION] Records

namespace {

constexpr size_t MagicSize = 20;
constexpr std::string_view MagicPrefix = "VORNFILEVERSION";
constexpr int32_t OptionsRecordSize = 36;
constexpr size_t FileNameFieldSize = 256;
constexpr int32_t PolygonHeaderSize = 6;
constexpr int32_t CornerSize = 13;

float FloatAt(const uint8_t* bytes)
{
    const int32_t bits = DecodeInt32LE(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

int16_t Int16At(const uint8_t* bytes)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

void ApplyOptionsRecord(TTarnwick_Project& project, const uint8_t* record)
{
    project.MirrorX = record[0] != 0;
    project.MirrorY = record[1] != 0;
    project.MirrorInViewport = record[2] != 0;
    project.PaintOnBackFaces = record[3] != 0;
    project.AngleFade = record[4] != 0;
    project.ExtraSoftBrushStrokes = record[5] != 0;
    project.TileSize = FloatAt(record + 8);
    project.ExportVerticesOnly = record[12] != 0;
    project.ExportGroups = record[13] != 0;
    project.ExportGroupsAsSeparateFiles = record[14] != 0;
    project.ExportChangedGroups = record[15] != 0;
    project.ExportMaps = record[16] != 0;
    project.ExportMorphs = record[17] != 0;
    project.ScaleOnImport = record[18] != 0;
    project.ScaleFactor = FloatAt(record + 20);
    project.CenterOnImport = record[24] != 0;
    project.UnnamedOptionFlag = record[25];
    project.WeldThreshold = FloatAt(record + 28);
    project.ImportMaps = record[32] != 0;
    project.ImportMorphs = record[33] != 0;
}

// The groups of one tree as read, each with its Index and ParentIndex.
struct TReadGroups
{
    std::vector<std::unique_ptr<TTarnwick_TreeGroup>> Groups;

    TTarnwick_TreeGroup* Current() const { return Groups.empty() ? nullptr : Groups.back().get(); }
};

// Links the groups into one tree by their numbers: the first group without a parent is the root,
// and a group whose parent was not read before it hangs from the root. Null when none was read.
template <typename TGroup>
std::unique_ptr<TGroup> BuildTree(TReadGroups& read, const std::string& file_name, const char* kind)
{
    std::unique_ptr<TGroup> root;
    std::map<int32_t, TTarnwick_TreeGroup*> by_index;
    std::vector<std::unique_ptr<TTarnwick_TreeGroup>> orphans;
    for (auto& group : read.Groups) {
        TTarnwick_TreeGroup* placed = group.get();
        if (root == nullptr && group->ParentIndex < 0) {
            root.reset(static_cast<TGroup*>(group.release()));
        } else if (auto parent = by_index.find(placed->ParentIndex); parent != by_index.end()) {
            parent->second->AddChild(group.release());
        } else {
            orphans.push_back(std::move(group));
        }
        by_index.try_emplace(placed->Index, placed);
    }
    read.Groups.clear();
    if (!orphans.empty()) {
        AddWarning(
            "The file \"%s\" names %zu %s groups without a parent before them; they were put at the top",
            file_name.c_str(), orphans.size(), kind);
        if (root == nullptr)
            root.reset(static_cast<TGroup*>(orphans.front().release()));
        for (auto& orphan : orphans)
            if (orphan)
                root->AddChild(orphan.release());
    }
    return root;
}

// The first item of type TItem in the tree, hidden groups left out.
template <typename TItem> TItem* FirstVisibleItem(TTarnwick_TreeGroup* tree)
{
    TItem* found = nullptr;
    TTarnwick_TreeGroup::WalkPruned(
        tree, 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* data) {
            auto*& first = *static_cast<TItem**>(data);
            if (group->Hidden)
                return false;
            for (TTarnwick_Thingy* item : group->List)
                if (first == nullptr)
                    first = dynamic_cast<TItem*>(item);
            return true;
        },
        &found);
    return found;
}

// Moves what a loaded tree holds into the mesh's own tree, which keeps its hidden group: the
// hidden groups of the file held the temporary items of the mesh that saved it.
void AdoptLoadedTree(TTarnwick_TreeGroup& target, TTarnwick_TreeGroup& loaded)
{
    target.List.Clear();
    target.SetNameLiteral(loaded.Name);
    target.Collapsed = loaded.Collapsed;
    for (TTarnwick_Thingy* item : loaded.List)
        target.List.Add(item);
    while (loaded.List.Count() > 0)
        loaded.List.RemoveAt(loaded.List.Count() - 1);
    for (TTarnwick_TreeGroup* child = loaded.FirstChildGroup(); child != nullptr;) {
        TTarnwick_TreeGroup* next = child->NextGroup();
        if (!child->Hidden)
            target.AddChild(child);
        child = next;
    }
}

// [SECTION] The reader

// What the chunks of one object leave until the object is finished.
struct TPendingObject
{
    TTarnwick_Object* Object = nullptr;
    TReadGroups MorphGroups;
    TReadGroups SelectionGroups;
    std::vector<uint32_t> VertexFlags;
    std::vector<uint32_t> PolygonFlags;
    bool HasFlags = false;
};

} // namespace

class TProjectBinaryReader
{
public:
    TProjectBinaryReader(TTarnwick_Project& project, FILE* file, std::string path)
        : Project(project), File(file), Path(std::move(path))
    {
    }

    bool Read();

private:
    bool Fail(std::string text)
    {
        if (Error.empty())
            Error = std::move(text);
        return false;
    }
    bool Corrupt(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool ReadHeader();
    bool ReadChunk(const TZAVChunkHeader& header);
    bool ReadObject();
    bool ReadTreeGroup(const TZAVChunkHeader& header);
    bool ReadTreeItem(const TZAVChunkHeader& header);
    bool ReadMaterialMap();
    // Bytes left for the chunk being read: its payload, or without sizes the rest of the file.
    int64_t BytesLeft() const { return ChunkBytesLeft(File, Header); }
    bool RequireMesh(const char* chunk_name);
    bool ReadMesh();
    bool ReadMeshPolygons(TTarnwick_Mesh& mesh, int32_t polygon_count);
    bool ReadMeshGroups();
    bool ReadMeshFlags();
    bool ReadBrushImage();
    // Reads an item chunk; items that fail are dropped alone when the chunk's size is known.
    bool ReadItem(TTarnwick_Thingy& item, const char* kind);
    bool SkipUnreadable(const char* what);
    bool FinishObject();

    TTarnwick_Project& Project;
    FILE* File;
    std::string Path;
    TZAVChunkLayout Layout;
    TZAVChunkHeader Header;
    TReadGroups ObjectGroups;
    TPendingObject Pending;
    int32_t Version = 0;

public:
    std::string Error;
    int32_t Skipped = 0;
    int64_t SkippedBytes = 0;
    int32_t Dropped = 0;
};

bool TProjectBinaryReader::Corrupt(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string detail = FormatTextList(format, arguments);
    va_end(arguments);
    return Fail(FormatText("The file %s is corrupt: %s", Path.c_str(), detail.c_str()));
}

bool TProjectBinaryReader::ReadHeader()
{
    uint8_t magic[MagicSize];
    if (!ReadBytes(File, magic, sizeof(magic)) ||
        std::memcmp(magic, MagicPrefix.data(), MagicPrefix.size()) != 0)
        return Fail(FormatText("The file %s is not a Tarnwick project", Path.c_str()));
    for (size_t digit = 15; digit < 19; digit++) {
        if (magic[digit] < '0' || magic[digit] > '9')
            return Fail(FormatText("The file %s is not a Tarnwick project", Path.c_str()));
        Version = Version * 10 + (magic[digit] - '0');
    }
    if (Version < 4)
        return Fail(FormatText("The file %s was written by a version too old to be read (%d)", Path.c_str(),
                               Version));
    // Exactly "VORNFILEVERSION0004" has no sizes; every other version has them.
    Layout = ChunkLayoutForVersion(Version);
    int32_t options_size = 0;
    uint8_t options[OptionsRecordSize];
    if (!ReadInt32LE(File, options_size) || options_size != OptionsRecordSize)
        return Fail(FormatText("The file %s is corrupt, or obsolete (2)", Path.c_str()));
    if (!ReadBytes(File, options, sizeof(options)))
        return Corrupt("the options record is cut off by the end of the file");
    Project.SetBinaryDefaults();
    ApplyOptionsRecord(Project, options);
    return true;
}

bool TProjectBinaryReader::RequireMesh(const char* chunk_name)
{
    if (Pending.Object == nullptr || !Pending.Object->Mesh)
        return Fail(FormatText("tObject == NULL for case %s: in LoadProject()", chunk_name));
    return true;
}

bool TProjectBinaryReader::ReadMeshPolygons(TTarnwick_Mesh& mesh, int32_t polygon_count)
{
    std::vector<int32_t> start(static_cast<size_t>(polygon_count) + 1, 0);
    std::vector<int16_t> material(polygon_count);
    std::vector<int16_t> group(polygon_count);
    std::vector<int32_t> corner_vertex;
    std::vector<int32_t> corner_tex_vertex;
    std::vector<uint8_t> corner_visible;
    std::vector<uint8_t> corners;
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        uint8_t header[PolygonHeaderSize];
        if (!ReadBytes(File, header, sizeof(header)))
            return Corrupt("polygon %d of the mesh is cut off", polygon);
        material[polygon] = Int16At(header);
        group[polygon] = Int16At(header + 2);
        const int32_t count = Int16At(header + 4);
        if (count < 0 || int64_t(count) * CornerSize > BytesLeft())
            return Corrupt("polygon %d of the mesh has %d corners, more than the file holds", polygon, count);
        corners.resize(size_t(count) * CornerSize);
        if (!ReadBytes(File, corners.data(), corners.size()))
            return Corrupt("polygon %d of the mesh is cut off", polygon);
        for (int32_t corner = 0; corner < count; corner++) {
            const uint8_t* fields = corners.data() + size_t(corner) * CornerSize;
            const int32_t vertex = DecodeInt32LE(fields);
            const int32_t tex_vertex = DecodeInt32LE(fields + 4);
            if (vertex < 0 || vertex >= mesh.GetVertexCount() || tex_vertex < -1 ||
                tex_vertex >= mesh.GetTexVertexCount())
                return Corrupt("a corner of polygon %d names vertex %d of %d and texture vertex %d of %d",
                               polygon, vertex, mesh.GetVertexCount(), tex_vertex, mesh.GetTexVertexCount());
            corner_vertex.push_back(vertex);
            corner_tex_vertex.push_back(tex_vertex);
            corner_visible.push_back(fields[12]);
        }
        start[polygon + 1] = static_cast<int32_t>(corner_vertex.size());
    }
    mesh.PolygonStart = std::move(start);
    mesh.PolygonMaterial = std::move(material);
    mesh.PolygonGroup = std::move(group);
    mesh.CornerNormal.assign(corner_vertex.size(), -1);
    mesh.CornerVertex = std::move(corner_vertex);
    mesh.CornerTexVertex = std::move(corner_tex_vertex);
    mesh.CornerVisible = std::move(corner_visible);
    return true;
}

bool TProjectBinaryReader::ReadMesh()
{
    if (Pending.Object == nullptr)
        return Fail("tObject == NULL for case TTarnwick_FileChunkID_Mesh: in LoadProject()");
    // Morphs and selections read since were sized for the first.
    if (Pending.Object->Mesh)
        return Corrupt("the object \"%s\" has a second mesh", Pending.Object->GetName());
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    int32_t vertex_count = 0;
    int32_t tex_vertex_count = 0;
    int32_t polygon_count = 0;
    if (!mesh->TTarnwick_Thingy::LoadFromStream(File) || !ReadInt32LE(File, vertex_count) ||
        !ReadInt32LE(File, tex_vertex_count) || !ReadInt32LE(File, polygon_count))
        return Corrupt("the mesh of \"%s\" is cut off", Pending.Object->GetName());
    const int64_t needed = int64_t(vertex_count) * 12 + int64_t(tex_vertex_count) * 8 +
                           int64_t(polygon_count) * PolygonHeaderSize;
    if (vertex_count < 0 || tex_vertex_count < 0 || polygon_count < 0 || needed > BytesLeft())
        return Corrupt("the mesh of \"%s\" gives %d vertices, %d texture vertices and %d polygons, more than "
                       "the file holds",
                       Pending.Object->GetName(), vertex_count, tex_vertex_count, polygon_count);
    mesh->Allocate(vertex_count, tex_vertex_count, vertex_count, polygon_count);
    if (!ReadBytes(File, mesh->Vertices.data(), mesh->Vertices.size() * sizeof(float)) ||
        !ReadBytes(File, mesh->TexVertices.data(), mesh->TexVertices.size() * sizeof(float)))
        return Corrupt("the mesh of \"%s\" is cut off", Pending.Object->GetName());
    if (!ReadMeshPolygons(*mesh, polygon_count))
        return false;
    mesh->DisplayedVertices = mesh->Vertices;
    Pending.Object->SetMesh(std::move(mesh));
    return true;
}

bool TProjectBinaryReader::ReadMeshGroups()
{
    if (!RequireMesh("TTarnwick_FileChunkID_MeshGroups"))
        return false;
    TTarnwick_Mesh& mesh = *Pending.Object->Mesh;
    int32_t group_count = 0;
    if (!ReadInt32LE(File, group_count))
        return Corrupt("the polygon groups are cut off");
    const int64_t group_size = TTarnwick_ThingyRecord::Size + FileNameFieldSize + 4;
    if (group_count < 0 || int64_t(group_count) * group_size > BytesLeft())
        return Corrupt("%d polygon groups, more than the file holds", group_count);
    std::vector<std::unique_ptr<TZAVGroup2>> groups;
    for (int32_t index = 0; index < group_count; index++) {
        std::unique_ptr<TZAVGroup2> group(mesh.CreateGroup2());
        char name[FileNameFieldSize];
        int32_t entry_count = 0;
        if (!dynamic_cast<TTarnwick_Thingy&>(*group).LoadFromStream(File) ||
            !ReadBytes(File, name, sizeof(name)) || !ReadInt32LE(File, entry_count))
            return Corrupt("polygon group %d is cut off", index);
        if (entry_count < 0 || int64_t(entry_count) * 8 > BytesLeft())
            return Corrupt("polygon group %d has %d vertices, more than the file holds", index, entry_count);
        group->SetNameLiteral(std::string_view(name, strnlen(name, sizeof(name))));
        group->Vertices.resize(entry_count);
        group->Shared.resize(entry_count);
        for (int32_t entry = 0; entry < entry_count; entry++) {
            int32_t vertex = 0;
            int32_t shared = 0;
            if (!ReadInt32LE(File, vertex) || !ReadInt32LE(File, shared))
                return Corrupt("polygon group %d is cut off", index);
            if (vertex < 0 || vertex >= mesh.GetVertexCount())
                return Corrupt("polygon group %d names vertex %d of %d", index, vertex,
                               mesh.GetVertexCount());
            group->Vertices[entry] = vertex;
            group->Shared[entry] = shared != 0;
        }
        groups.push_back(std::move(group));
    }
    for (auto& group : groups) {
        group->Index = mesh.Groups2.Count();
        mesh.Groups2.Add(group.release());
    }
    return true;
}

bool TProjectBinaryReader::ReadMeshFlags()
{
    if (!RequireMesh("TTarnwick_FileChunkID_MeshFlags"))
        return false;
    const TTarnwick_Mesh& mesh = *Pending.Object->Mesh;
    if ((int64_t(mesh.GetVertexCount()) + mesh.GetPolygonCount()) * 4 > BytesLeft())
        return Corrupt("the flags of \"%s\" are cut off", Pending.Object->GetName());
    Pending.VertexFlags.resize(mesh.GetVertexCount());
    Pending.PolygonFlags.resize(mesh.GetPolygonCount());
    if (!ReadBytes(File, Pending.VertexFlags.data(), Pending.VertexFlags.size() * 4) ||
        !ReadBytes(File, Pending.PolygonFlags.data(), Pending.PolygonFlags.size() * 4))
        return Corrupt("the flags of \"%s\" are cut off", Pending.Object->GetName());
    Pending.HasFlags = true;
    return true;
}

bool TProjectBinaryReader::ReadBrushImage()
{
    auto image = std::make_unique<TTarnwick_TextureBrushImage>();
    char file_name[FileNameFieldSize];
    int32_t width = 0;
    int32_t height = 0;
    if (!image->LoadFromStream(File) || !ReadBytes(File, file_name, sizeof(file_name)) ||
        !ReadInt32LE(File, width) || !ReadInt32LE(File, height))
        return SkipUnreadable("a brush image is cut off");
    if (width < 0 || height < 0 || int64_t(width) * height > BytesLeft() / 4 ||
        int64_t(width) * height >= ImagePixelLimit)
        return SkipUnreadable(FormatText("the brush image \"%s\" is %d × %d pixels, too large for the file or for memory",
                                         image->GetName(), width, height)
                                  .c_str());
    image->FileName.assign(file_name, strnlen(file_name, sizeof(file_name)));
    const size_t pixel_bytes = size_t(width) * size_t(height) * 4;
    if (pixel_bytes > 0) {
        image->Pixels.reset(new (std::nothrow) uint8_t[pixel_bytes]);
        if (image->Pixels == nullptr)
            return SkipUnreadable(FormatText("the brush image \"%s\" of %d × %d pixels does not fit in memory",
                                             image->GetName(), width, height)
                                      .c_str());
        if (!ReadBytes(File, image->Pixels.get(), pixel_bytes))
            return SkipUnreadable(FormatText("the brush image \"%s\" is cut off", image->GetName()).c_str());
        image->Width = width;
        image->Height = height;
    }
    if (Project.FindBrushImage(image->Name) == nullptr)
        Project.BrushImages.Add(image.release());
    return true;
}

bool TProjectBinaryReader::SkipUnreadable(const char* what)
{
    if (Header.Size < 0)
        return Corrupt("%s", what);
    AddWarning("The file \"%s\" is damaged: %s; it was left out", Path.c_str(), what);
    Dropped++;
    return SkipChunk(File, Header) || Corrupt("%s", what);
}

bool TProjectBinaryReader::ReadItem(TTarnwick_Thingy& item, const char* kind)
{
    if (item.LoadFromStream(File))
        return true;
    return SkipUnreadable(FormatText("a %s is cut off", kind).c_str());
}

bool TProjectBinaryReader::ReadObject()
{
    if (!FinishObject())
        return false;
    TTarnwick_TreeGroup* group = ObjectGroups.Current();
    if (group == nullptr)
        return Fail("tObjectGroup == NULL in TTarnwick_Project::LoadProject(), case "
                    "TTarnwick_FileChunkID_Object:");
    auto object = std::make_unique<TTarnwick_Object>();
    if (!object->LoadFromStream(File))
        return Corrupt("an object is cut off");
    Pending.Object = object.get();
    group->List.Add(object.release());
    return true;
}

bool TProjectBinaryReader::ReadTreeGroup(const TZAVChunkHeader& header)
{
    const bool morphs = header.ID == TTarnwick_FileChunkID_MorphGroup;
    if (Pending.Object == nullptr)
        return Fail(
            FormatText("tObject is NULL in TTarnwick_Project::LoadProject() case %s:",
                       morphs ? "TTarnwick_FileChunkID_MorphGroup" : "TTarnwick_FileChunkID_SelectionGroup"));
    std::unique_ptr<TTarnwick_TreeGroup> group;
    if (morphs)
        group = std::make_unique<TTarnwick_MorphTreeGroup>();
    else
        group = std::make_unique<TTarnwick_SelectionTreeGroup>();
    if (!group->LoadFromStream(File))
        return Corrupt("a %s group is cut off", morphs ? "morph" : "selection");
    (morphs ? Pending.MorphGroups : Pending.SelectionGroups).Groups.push_back(std::move(group));
    return true;
}

bool TProjectBinaryReader::ReadTreeItem(const TZAVChunkHeader& header)
{
    const bool morphs = header.ID == TTarnwick_FileChunkID_Morph;
    const char* name = morphs ? "TTarnwick_FileChunkID_Morph" : "TTarnwick_FileChunkID_Selection";
    if (Pending.Object == nullptr || !Pending.Object->Mesh)
        return Fail(FormatText("tObject is NULL in TTarnwick_Project::LoadProject() case %s:", name));
    TTarnwick_TreeGroup* group = (morphs ? Pending.MorphGroups : Pending.SelectionGroups).Current();
    if (group == nullptr)
        return Corrupt("a %s comes before any %s group", morphs ? "morph" : "selection",
                       morphs ? "morph" : "selection");
    const int32_t vertex_count = Pending.Object->Mesh->GetVertexCount();
    std::unique_ptr<TTarnwick_Thingy> item;
    if (morphs)
        item = std::make_unique<TTarnwick_Morph>(vertex_count);
    else
        item = std::make_unique<TTarnwick_Selection>(vertex_count);
    if (!item->LoadFromStream(File))
        return SkipUnreadable(morphs ? "a morph does not fit its mesh or is cut off"
                                     : "a selection does not fit its mesh or is cut off");
    group->List.Add(item.release());
    return true;
}

bool TProjectBinaryReader::ReadMaterialMap()
{
    if (!RequireMesh("TTarnwick_FileChunkID_MaterialMap"))
        return false;
    auto map = std::make_unique<TZAVMaterialMap>();
    if (!map->LoadFromStream(File))
        return SkipUnreadable("a material map cannot be read");
    Pending.Object->Mesh->MaterialMaps.Add(map.release());
    return true;
}

bool TProjectBinaryReader::ReadChunk(const TZAVChunkHeader& header)
{
    Header = header;
    switch (header.ID) {
    case TTarnwick_FileChunkID_ObjectGroup: {
        auto group = std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
        if (!group->LoadFromStream(File))
            return Corrupt("an object group is cut off");
        ObjectGroups.Groups.push_back(std::move(group));
        return true;
    }
    case TTarnwick_FileChunkID_Object:
        return ReadObject();
    case TTarnwick_FileChunkID_MorphGroup:
    case TTarnwick_FileChunkID_SelectionGroup:
        return ReadTreeGroup(header);
    case TTarnwick_FileChunkID_Morph:
    case TTarnwick_FileChunkID_Selection:
        return ReadTreeItem(header);
    case TTarnwick_FileChunkID_BrushImage:
        return ReadBrushImage();
    case TTarnwick_FileChunkID_MaterialMap:
        return ReadMaterialMap();
    case TTarnwick_FileChunkID_Mesh:
        return ReadMesh();
    case TTarnwick_FileChunkID_MorphMixer:
        if (!RequireMesh("TTarnwick_FileChunkID_MorphMixer"))
            return false;
        if (!Pending.Object->Mesh->Mixer.LoadFromStream(File))
            return Corrupt("the morph mixer of \"%s\" is cut off", Pending.Object->GetName());
        return true;
    case TTarnwick_FileChunkID_MeshGroups:
        return ReadMeshGroups();
    case TTarnwick_FileChunkID_MeshFlags:
        return ReadMeshFlags();
    case TTarnwick_FileChunkID_MixMorphs: {
        uint8_t mix = 0;
        if (!RequireMesh("TTarnwick_FileChunkID_MixMorphs"))
            return false;
        if (!ReadUInt8(File, mix))
            return Corrupt("the mix switch is cut off");
        Pending.Object->Mesh->MixMorphs = mix != 0;
        return true;
    }
    case TTarnwick_FileChunkID_ProjectFlag:
        if (!ReadUInt8(File, Project.ProjectFlag))
            return Corrupt("the project flag is cut off");
        return true;
    default:
        break;
    }
    if (header.Size < 0)
        return Fail(FormatText("Unrecognized file chunk encountered (%d)", header.ID));
    Skipped++;
    SkippedBytes += header.Size;
    return SkipChunk(File, header) || Corrupt("chunk %d cannot be skipped", header.ID);
}

// [SECTION] Finishing objects

bool TProjectBinaryReader::FinishObject()
{
    TPendingObject pending = std::move(Pending);
    Pending = TPendingObject();
    if (pending.Object == nullptr || !pending.Object->Mesh)
        return true;
    TTarnwick_Mesh& mesh = *pending.Object->Mesh;
    // Polygon groups and materials may only be named once they exist.
    int32_t cleared = 0;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (mesh.PolygonMaterial[polygon] < -1 || mesh.PolygonMaterial[polygon] >= mesh.Materials.Count()) {
            mesh.PolygonMaterial[polygon] = -1;
            cleared++;
        }
        if (mesh.PolygonGroup[polygon] < -1 || mesh.PolygonGroup[polygon] >= mesh.Groups2.Count()) {
            mesh.PolygonGroup[polygon] = -1;
            cleared++;
        }
    }
    if (cleared > 0)
        AddWarning("The mesh of \"%s\" in \"%s\" named %d materials or polygon groups it does not have",
                   pending.Object->GetName(), Path.c_str(), cleared);

    mesh.SetCurrentMorph(nullptr);
    mesh.SetCurrentSelection(nullptr, TZAVOldSelection::Compress);
    while (mesh.Mixer.List.Count() > 0)
        mesh.Mixer.List.RemoveAt(mesh.Mixer.List.Count() - 1);
    if (auto tree = BuildTree<TTarnwick_MorphTreeGroup>(pending.MorphGroups, Path, "morph"))
        AdoptLoadedTree(*mesh.MorphTree, *tree);
    if (auto tree = BuildTree<TTarnwick_SelectionTreeGroup>(pending.SelectionGroups, Path, "selection"))
        AdoptLoadedTree(*mesh.SelectionTree, *tree);
    mesh.SetCurrentMorph(FirstVisibleItem<TTarnwick_Morph>(mesh.MorphTree.get()));
    mesh.SetCurrentSelection(FirstVisibleItem<TTarnwick_Selection>(mesh.SelectionTree.get()),
                             TZAVOldSelection::Compress);

    // The mixer saved the IDs its morphs had in the run that wrote the file.
    std::map<int32_t, TTarnwick_Morph*> by_loaded_id;
    TTarnwick_TreeGroup::Walk(
        mesh.MorphTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* data) {
            for (TTarnwick_Thingy* item : group->List)
                if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
                    morph != nullptr && morph->LoadedID != -1)
                    static_cast<std::map<int32_t, TTarnwick_Morph*>*>(data)->try_emplace(morph->LoadedID,
                                                                                         morph);
            return true;
        },
        &by_loaded_id, TZAVWalkOrder::PreOrder);
    int32_t missing = 0;
    for (int32_t id : mesh.Mixer.MorphIDs) {
        auto found = by_loaded_id.find(id);
        if (found == by_loaded_id.end())
            missing++;
        else if (mesh.Mixer.List.IndexOf(found->second) < 0)
            mesh.Mixer.List.Add(found->second);
    }
    if (missing > 0)
        AddWarning("The morph mixer of \"%s\" in \"%s\" names %d morphs the file does not hold",
                   pending.Object->GetName(), Path.c_str(), missing);
    mesh.Mixer.MorphIDs.clear();

    mesh.Prepare();
    if (pending.HasFlags) {
        mesh.VertexFlags = std::move(pending.VertexFlags);
        mesh.PolygonFlags = std::move(pending.PolygonFlags);
    }
    mesh.ComputeNormals(TZAVNormalScope::All);
    return true;
}

bool TProjectBinaryReader::Read()
{
    if (!ReadHeader())
        return false;
    for (;;) {
        TZAVChunkHeader header;
        std::string chunk_error;
        const TZAVChunkReadResult result = ReadChunkHeader(File, Path, Layout, header, chunk_error);
        if (result == TZAVChunkReadResult::Error)
            return Fail(chunk_error);
        if (result == TZAVChunkReadResult::EndOfFile || header.ID == TTarnwick_FileChunkID_End)
            break;
        if (!ReadChunk(header))
            return false;
        if (header.Size >= 0) {
            const int64_t end = header.PayloadStart + header.Size;
            if (ftello(File) > end)
                return Corrupt("chunk %d reads past its size of %" PRId64 " bytes", header.ID, header.Size);
            if (fseeko(File, end, SEEK_SET) != 0)
                return Corrupt("chunk %d cannot be passed", header.ID);
        }
    }
    if (!FinishObject())
        return false;
    if (auto tree = BuildTree<TTarnwick_ObjectTreeGroup>(ObjectGroups, Path, "object")) {
        tree->Label = "objects";
        Project.ObjectTree = std::move(tree);
    }
    Project.ShowRootGroups();
    return true;
}

// [SECTION] LoadProject

bool TTarnwick_Project::LoadProject(const std::string& path)
{
    TZAVFileHandle file = OpenToRead(path);
    if (!file)
        return false;
    TProjectBinaryReader reader(*this, file.get(), path);
    const bool read = reader.Read();
    SkippedChunks = reader.Skipped;
    SkippedBytes = reader.SkippedBytes;
    if (!read) {
        ErrorText = reader.Error;
        return false;
    }
    if (reader.Skipped > 0)
        ShowMessage(GlobalDialogHost,
                    "Some information in this file could not be loaded. It is most likely that "
                    "the file was saved with a newer version of the software.");
    return true;
}
