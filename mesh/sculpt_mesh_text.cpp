// The "mesh" text block of TTarnwick_Mesh. Writing follows the block's fixed order; reading
// gathers the whole block into a pending copy, checks every count, size and index in it, and only
// then replaces the mesh's data, so that a damaged block leaves the mesh as it was.
//
// Material maps ("map" blocks) write themselves inside a block the mesh opens; they are read by
// the reader paint installs, and skipped as unclaimed blocks while none is installed.
//
// [SECTION] Pending block
// [SECTION] Writing
// [SECTION] Reading
// [SECTION] Checking and applying
#include <bit>
#include <cinttypes>
#include <cstring>
#include <optional>

#include "core/binary_chunk.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "mesh/sculpt_mesh.h"

// [SECTION] Pending block

namespace {

// "polygons": Material, Group, Count as 2 bytes each; "polygons_b" (older): 4 bytes each. Both
// follow with Vertex and TexVertex (4 bytes each) per corner.
constexpr int32_t PolygonHeaderSize = 6;
constexpr int32_t OldPolygonHeaderSize = 12;
constexpr int32_t CornerSize = 8;
// Every byte size derived from a count stays within 32 bits.
constexpr int64_t MaxElementCount = INT32_MAX / 16;
// The corners of large meshes are copied in and out of the blocks as they lie in memory.
static_assert(std::endian::native == std::endian::little, "the blocks' integers are little-endian");

struct TDataBlock
{
    std::vector<uint8_t> Bytes;
    int32_t Line = 0;
};

} // namespace

struct TTarnwick_Mesh::TPendingMesh
{
    int32_t VertexCount = 0;
    int32_t TexVertexCount = 0;
    int32_t PolygonCount = 0;
    int32_t MaterialCount = -1;
    int32_t SymmetryAxis = 0;
    bool VertexCountGiven = false;
    bool MixMorphs = false;
    bool ForceColorTextureDisplay = false;
    bool CanDrawSelection = false;
    bool AlwaysAllSelected = false;
    uint8_t Welded = 0;

    std::optional<TDataBlock> Vertices;
    std::optional<TDataBlock> TexVertices;
    std::optional<TDataBlock> Polygons;
    bool OldPolygonLayout = false;
    std::optional<TDataBlock> WeldMap;
    std::optional<TDataBlock> VertexFlags;
    std::optional<TDataBlock> PolygonFlags;
    std::optional<TDataBlock> LayerFlags;

    std::vector<std::unique_ptr<TZAVMaterial>> Materials;
    std::vector<std::unique_ptr<TZAVGroup2>> Groups;
    std::vector<std::unique_ptr<TTarnwick_Thingy>> Maps;
    std::vector<int32_t> MapLines;
    std::unique_ptr<TTarnwick_MorphTreeGroup> MorphTree;
    std::unique_ptr<TTarnwick_SelectionTreeGroup> SelectionTree;
    int32_t MorphTreeLine = 0;
    int32_t SelectionTreeLine = 0;

    // Filled by the check from Polygons.
    std::vector<int32_t> PolygonStart;
    std::vector<int16_t> PolygonMaterial;
    std::vector<int16_t> PolygonGroup;
    std::vector<int32_t> CornerVertex;
    std::vector<int32_t> CornerTexVertex;
    bool KeepWeldMap = false;
};

void TTarnwick_Mesh::TPendingMeshDeleter::operator()(TPendingMesh* pending) const
{
    delete pending;
}

// [SECTION] Writing

namespace {

template <typename T> std::span<const uint8_t> BytesOf(const std::vector<T>& values)
{
    return {reinterpret_cast<const uint8_t*>(values.data()), values.size() * sizeof(T)};
}

void PutInt16(uint8_t* out, int32_t value)
{
    out[0] = static_cast<uint8_t>(value & 0xFF);
    out[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

int32_t GetInt16(const uint8_t* bytes)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

bool WriteItem(FILE* file, TZAVThingy* element)
{
    auto* item = dynamic_cast<TTarnwick_Thingy*>(element);
    if (item == nullptr)
        ReportError("A material or polygon group without persistence in TTarnwick_Mesh::SaveToStream_Text()");
    return item->SaveToStream_Text(file);
}

// The polygons go out in pieces, so that the block of a large mesh is never gathered whole.
bool WritePolygonsBlock(FILE* file, const TTarnwick_Mesh& mesh)
{
    constexpr size_t PieceSize = size_t(1) << 16;
    TZAVBinaryBlockWriter writer(file, "polygons",
                                 PolygonHeaderSize * static_cast<size_t>(mesh.GetPolygonCount()) +
                                     CornerSize * static_cast<size_t>(mesh.GetCornerTotal()));
    std::vector<uint8_t> piece;
    bool written = true;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount() && written; polygon++) {
        const int32_t first = mesh.PolygonStart[polygon];
        const int32_t corner_count = mesh.PolygonStart[polygon + 1] - first;
        const size_t start = piece.size();
        piece.resize(start + PolygonHeaderSize + CornerSize * size_t(corner_count));
        uint8_t* out = piece.data() + start;
        PutInt16(out, mesh.PolygonMaterial[polygon]);
        PutInt16(out + 2, mesh.PolygonGroup[polygon]);
        PutInt16(out + 4, corner_count);
        out += PolygonHeaderSize;
        for (int32_t corner = first; corner < first + corner_count; corner++, out += CornerSize) {
            std::memcpy(out, &mesh.CornerVertex[corner], 4);
            std::memcpy(out + 4, &mesh.CornerTexVertex[corner], 4);
        }
        if (piece.size() >= PieceSize) {
            written = writer.Append(piece);
            piece.clear();
        }
    }
    return written && writer.Append(piece) && writer.Finish();
}

} // namespace

bool TTarnwick_Mesh::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "mesh", std::string_view());
    bool written = block.Good();
    auto flag_when_set = [&](const char* key, bool value) {
        written = written && (!value || WriteTextFlag(file, key, value));
    };
    flag_when_set("ForceColorTextureDisplay", ForceColorTextureDisplay);
    flag_when_set("CanDrawSelection", CanDrawSelection);
    flag_when_set("AlwaysAllSelected", AlwaysAllSelected);
    written =
        written && WriteTextFlag(file, "MixMorphs", MixMorphs) && WriteTextInt(file, "vcount", VertexCount) &&
        WriteTextInt(file, "vtcount", TexVertexCount) && WriteTextInt(file, "pcount", PolygonCount) &&
        WriteTextInt(file, "SymmetryAxis", SymmetryAxis) && WriteTextInt(file, "mcount", Materials.Count()) &&
        WriteTextFlag(file, "MapsEdited", MapsEdited) && WriteTextInt(file, "Welded", Welded);

    if (Welded && WeldMap.size() == static_cast<size_t>(VertexCount))
        written = written && WriteBinaryBlock(file, BytesOf(WeldMap), "weldmap");
    written = written && WriteBinaryBlock(file, BytesOf(Vertices), "vertices") &&
              WriteBinaryBlock(file, BytesOf(TexVertices), "tvertices");

    if (written)
        written = WritePolygonsBlock(file, *this);

    for (TZAVMaterial* material : Materials)
        written = written && WriteItem(file, material);
    for (TZAVGroup2* group : Groups2)
        written = written && WriteItem(file, group);
    written = written && WriteBinaryBlock(file, BytesOf(VertexFlags), "vflags") &&
              WriteBinaryBlock(file, BytesOf(PolygonFlags), "pflags") &&
              WriteBinaryBlock(file, BytesOf(PolygonLayerFlags), "PolygonLayerFlags");
    for (int32_t map = 0; map < MaterialMaps.Count() && written; map++) {
        TStartTextFileBlock map_block(file, "map", std::to_string(map));
        written = map_block.Good() && MaterialMaps.Data()[map]->SaveToStream_Text(file);
        written = map_block.Close() && written;
    }
    written = written && MorphTree->SaveToStream_Text(file) && SelectionTree->SaveToStream_Text(file);
    return block.Close() && written;
}

// [SECTION] Reading

namespace {

TTarnwick_MapBlockReader map_block_reader = nullptr;
TTarnwick_MapBlockFinisher map_block_finisher = nullptr;

// Drops, with a warning, every item of the tree that does not cover vertex_count vertices.
template <typename TItem>
void DropMisfitItems(TTarnwick_TreeGroup* tree, int32_t vertex_count, TZAVTextReader& reader, int32_t line)
{
    struct TMisfits
    {
        int32_t VertexCount;
        std::vector<std::pair<TTarnwick_TreeGroup*, TItem*>> Found;
    } misfits{vertex_count, {}};
    auto visit = [](TTarnwick_TreeGroup* group, int32_t, void* data) {
        auto* state = static_cast<TMisfits*>(data);
        for (TTarnwick_Thingy* item : group->List)
            if (auto* values = dynamic_cast<TItem*>(item);
                values != nullptr && values->vcount != state->VertexCount)
                state->Found.emplace_back(group, values);
        return true;
    };
    TTarnwick_TreeGroup::Walk(tree, 0, visit, &misfits, TZAVWalkOrder::PreOrder);
    for (auto [group, item] : misfits.Found) {
        reader.Warn(line, "the %s \"%s\" was dropped: vcount %d does not match the %d vertices of its mesh",
                    TItem::ItemTraits.BlockKeyword, item->GetName(), item->vcount, vertex_count);
        group->List.Remove(item, TZAVRemoveCount::FirstOnly);
        delete item;
    }
}

// Reads one "map" block through the installed reader. A damaged map is dropped alone, with a
// warning, and the mesh reads on: null then.
std::unique_ptr<TTarnwick_Thingy> ReadMapBlock(TZAVTextReader& reader, std::string_view name)
{
    const bool held = reader.HoldFailures(true);
    std::unique_ptr<TTarnwick_Thingy> map(map_block_reader(reader, name));
    reader.HoldFailures(held);
    std::string problem;
    int32_t failed_line = 0;
    if (!reader.TakeFailure(problem, failed_line))
        return map;
    reader.Warn(failed_line, "the map %s was dropped: %s", std::string(name).c_str(), problem.c_str());
    return nullptr;
}

} // namespace

void TTarnwick_Mesh::SetMapBlockReader(TTarnwick_MapBlockReader reader, TTarnwick_MapBlockFinisher finisher)
{
    map_block_reader = reader;
    map_block_finisher = finisher;
}

namespace {

// Finishes the maps read with the mesh; a map that cannot be finished is dropped alone.
void FinishMapBlocks(std::vector<std::unique_ptr<TTarnwick_Thingy>>& maps, std::vector<int32_t>& lines,
                     TZAVTextReader& reader)
{
    if (map_block_finisher == nullptr)
        return;
    for (size_t index = 0; index < maps.size();) {
        std::string problem;
        if (map_block_finisher(*maps[index], problem)) {
            index++;
            continue;
        }
        reader.Warn(lines[index], "the map %s was dropped: %s", maps[index]->GetName(), problem.c_str());
        maps.erase(maps.begin() + ptrdiff_t(index));
        lines.erase(lines.begin() + ptrdiff_t(index));
    }
}

} // namespace

bool TTarnwick_Mesh::LoadFromStream_Text(TZAVTextReader& reader)
{
    Pending.reset(new TPendingMesh);
    const bool read = TTarnwick_Thingy::LoadFromStream_Text(reader);
    TPendingMeshPtr pending = std::move(Pending);
    if (!read || reader.Failed())
        return false;
    FinishMapBlocks(pending->Maps, pending->MapLines, reader);
    std::string problem = CheckPending(*pending);
    if (!problem.empty()) {
        reader.Fail("The mesh cannot be read: %s", problem.c_str());
        return false;
    }
    if (pending->MorphTree)
        DropMisfitItems<TTarnwick_Morph>(pending->MorphTree.get(), pending->VertexCount, reader,
                                         pending->MorphTreeLine);
    if (pending->SelectionTree)
        DropMisfitItems<TTarnwick_Selection>(pending->SelectionTree.get(), pending->VertexCount, reader,
                                             pending->SelectionTreeLine);
    if (pending->WeldMap && !pending->KeepWeldMap)
        AddWarning(
            "The weld map of the mesh in \"%s\" (line %d) does not fit its %d vertices and was dropped",
            reader.FileName().c_str(), pending->WeldMap->Line, pending->VertexCount);
    ApplyPending(*pending);
    return true;
}

bool TTarnwick_Mesh::ReadPendingDataBlock(TZAVTextReader& reader, std::string_view key)
{
    TPendingMesh& pending = *Pending;
    std::optional<TDataBlock>* target = nullptr;
    if (SameTextNoCase(key, "vertices")) {
        if (!pending.VertexCountGiven) {
            reader.Fail("a \"vertices\" block before \"vcount\"");
            return true;
        }
        target = &pending.Vertices;
    } else if (SameTextNoCase(key, "tvertices")) {
        target = &pending.TexVertices;
    } else if (SameTextNoCase(key, "polygons") || SameTextNoCase(key, "polygons_b")) {
        target = &pending.Polygons;
        pending.OldPolygonLayout = SameTextNoCase(key, "polygons_b");
    } else if (SameTextNoCase(key, "weldmap")) {
        target = &pending.WeldMap;
    } else if (SameTextNoCase(key, "vflags")) {
        target = &pending.VertexFlags;
    } else if (SameTextNoCase(key, "pflags")) {
        target = &pending.PolygonFlags;
    } else if (SameTextNoCase(key, "PolygonLayerFlags")) {
        target = &pending.LayerFlags;
    } else {
        return false;
    }
    TDataBlock block;
    block.Line = reader.LineNumber();
    if (ReadBinaryBlock(reader, block.Bytes))
        *target = std::move(block);
    return true;
}

bool TTarnwick_Mesh::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                         std::string_view value)
{
    if (Pending == nullptr)
        return false;
    TPendingMesh& pending = *Pending;
    auto integer_key = [&](const char* name, int32_t& out_value) {
        if (!SameTextNoCase(key, name))
            return false;
        out_value = TextValueInt(value);
        return true;
    };
    auto flag_key = [&](const char* name, bool& out_value) {
        if (!SameTextNoCase(key, name))
            return false;
        out_value = TextValueInt(value) != 0;
        return true;
    };
    if (integer_key("vcount", pending.VertexCount)) {
        pending.VertexCountGiven = true;
        return true;
    }
    if (integer_key("vtcount", pending.TexVertexCount) || integer_key("pcount", pending.PolygonCount) ||
        integer_key("mcount", pending.MaterialCount) || integer_key("SymmetryAxis", pending.SymmetryAxis) ||
        flag_key("MixMorphs", pending.MixMorphs) || flag_key("CanDrawSelection", pending.CanDrawSelection) ||
        flag_key("ForceColorTextureDisplay", pending.ForceColorTextureDisplay) ||
        flag_key("AlwaysAllSelected", pending.AlwaysAllSelected))
        return true;
    if (SameTextNoCase(key, "Welded")) {
        pending.Welded = TextValueInt(value) != 0;
        return true;
    }
    // Items that do not fit the vertex count read so far are dropped as they are read; a count
    // that comes after the tree is held to its items at the end of the block.
    const int32_t item_vertex_count = pending.VertexCountGiven ? pending.VertexCount : -1;
    if (SameTextNoCase(key, "morphs")) {
        auto tree = std::make_unique<TTarnwick_MorphTreeGroup>();
        tree->ItemVertexCount = item_vertex_count;
        pending.MorphTreeLine = reader.LineNumber();
        if (tree->LoadFromStream_Text(reader))
            pending.MorphTree = std::move(tree);
        return true;
    }
    if (SameTextNoCase(key, "selections")) {
        auto tree = std::make_unique<TTarnwick_SelectionTreeGroup>();
        tree->ItemVertexCount = item_vertex_count;
        pending.SelectionTreeLine = reader.LineNumber();
        if (tree->LoadFromStream_Text(reader))
            pending.SelectionTree = std::move(tree);
        return true;
    }
    if (SameTextNoCase(key, "material")) {
        std::unique_ptr<TZAVMaterial> material(CreateMaterial());
        material->SetNameLiteral(value);
        if (dynamic_cast<TTarnwick_Thingy&>(*material).LoadFromStream_Text(reader))
            pending.Materials.push_back(std::move(material));
        return true;
    }
    if (SameTextNoCase(key, "map") && map_block_reader != nullptr) {
        const int32_t line = reader.LineNumber();
        if (std::unique_ptr<TTarnwick_Thingy> map = ReadMapBlock(reader, value)) {
            pending.Maps.push_back(std::move(map));
            pending.MapLines.push_back(line);
        }
        return true;
    }
    if (SameTextNoCase(key, "polygroup")) {
        std::unique_ptr<TZAVGroup2> group(CreateGroup2());
        group->SetNameLiteral(value);
        if (dynamic_cast<TTarnwick_Thingy&>(*group).LoadFromStream_Text(reader))
            pending.Groups.push_back(std::move(group));
        return true;
    }
    return ReadPendingDataBlock(reader, key);
}

// [SECTION] Checking and applying

namespace {

// Empty when the block holds count elements of element_size bytes.
std::string CheckBlockSize(const char* name, const TDataBlock& block, int32_t count, const char* count_name,
                           int32_t element_size)
{
    const int64_t expected = int64_t(count) * element_size;
    if (int64_t(block.Bytes.size()) == expected)
        return {};
    return FormatText("the \"%s\" block (line %d) holds %zu bytes where \"%s\" %d needs %" PRId64, name,
                      block.Line, block.Bytes.size(), count_name, count, expected);
}

std::string CheckCount(const char* name, int32_t count)
{
    if (count < 0)
        return FormatText("\"%s\" is negative (%d)", name, count);
    if (count > MaxElementCount)
        return FormatText("\"%s\" is too large (%d)", name, count);
    return {};
}

// Decodes the polygons of either layout, checking each field against the block and the counts.
std::string DecodePolygons(const TDataBlock& block, bool old_layout, int32_t vertex_count,
                           int32_t tex_vertex_count, int32_t polygon_count, std::vector<int32_t>& out_start,
                           std::vector<int16_t>& out_material, std::vector<int16_t>& out_group,
                           std::vector<int32_t>& out_vertex, std::vector<int32_t>& out_tex_vertex)
{
    const char* name = old_layout ? "polygons_b" : "polygons";
    const int32_t header_size = old_layout ? OldPolygonHeaderSize : PolygonHeaderSize;
    const uint8_t* bytes = block.Bytes.data();
    const size_t size = block.Bytes.size();
    auto fail = [&](int32_t polygon, const char* what) {
        return FormatText("polygon %d of the \"%s\" block (line %d): %s", polygon, name, block.Line, what);
    };
    // Every polygon needs at least its header, so a count beyond that allocates nothing.
    if (int64_t(polygon_count) * header_size > int64_t(size))
        return FormatText("the \"%s\" block (line %d) holds %zu bytes, too few for \"pcount\" %d", name,
                          block.Line, size, polygon_count);
    out_start.assign(static_cast<size_t>(polygon_count) + 1, 0);
    out_material.resize(polygon_count);
    out_group.resize(polygon_count);
    // Room for the corners that the bytes after every header can hold. A damaged block can claim
    // more before a later header fails to fit, so room is added on the way when needed.
    const size_t corner_room = (size - size_t(polygon_count) * size_t(header_size)) / CornerSize;
    out_vertex.resize(corner_room);
    out_tex_vertex.resize(corner_room);
    size_t corner_total = 0;
    size_t offset = 0;
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        if (size - offset < size_t(header_size))
            return fail(polygon, "the block ends inside its header");
        int32_t material = 0;
        int32_t group = 0;
        int32_t count = 0;
        if (old_layout) {
            material = DecodeInt32LE(bytes + offset);
            group = DecodeInt32LE(bytes + offset + 4);
            count = DecodeInt32LE(bytes + offset + 8);
        } else {
            material = GetInt16(bytes + offset);
            group = GetInt16(bytes + offset + 2);
            count = GetInt16(bytes + offset + 4);
        }
        offset += header_size;
        if (material < -1 || material > INT16_MAX || group < -1 || group > INT16_MAX)
            return fail(polygon, "material or group index out of range");
        if (count < 0 || int64_t(count) * CornerSize > int64_t(size - offset))
            return fail(polygon, "its corner count runs past the end of the block");
        if (corner_total + size_t(count) > out_vertex.size()) {
            out_vertex.resize(corner_total + size_t(count));
            out_tex_vertex.resize(corner_total + size_t(count));
        }
        for (int32_t corner = 0; corner < count; corner++, offset += CornerSize) {
            int32_t vertex = 0;
            int32_t tex_vertex = 0;
            std::memcpy(&vertex, bytes + offset, 4);
            std::memcpy(&tex_vertex, bytes + offset + 4, 4);
            if (vertex < 0 || vertex >= vertex_count)
                return fail(polygon,
                            FormatText("a corner names vertex %d of %d", vertex, vertex_count).c_str());
            if (tex_vertex < -1 || tex_vertex >= tex_vertex_count)
                return fail(polygon,
                            FormatText("a corner names texture vertex %d of %d", tex_vertex, tex_vertex_count)
                                .c_str());
            out_vertex[corner_total] = vertex;
            out_tex_vertex[corner_total] = tex_vertex;
            corner_total++;
        }
        out_material[polygon] = static_cast<int16_t>(material);
        out_group[polygon] = static_cast<int16_t>(group);
        out_start[polygon + 1] = static_cast<int32_t>(corner_total);
    }
    out_vertex.resize(corner_total);
    out_tex_vertex.resize(corner_total);
    if (offset != size)
        return FormatText("the \"%s\" block (line %d) holds %zu bytes after its %d polygons", name,
                          block.Line, size - offset, polygon_count);
    return {};
}

template <typename T> void CopyBlock(const std::optional<TDataBlock>& block, std::vector<T>& out_values)
{
    if (block && !block->Bytes.empty())
        std::memcpy(out_values.data(), block->Bytes.data(), block->Bytes.size());
}

// The item flagged Current, the others' flags cleared; null when none is flagged.
template <typename TItem> TItem* TakeFlaggedCurrent(TTarnwick_TreeGroup* tree)
{
    TItem* found = nullptr;
    auto visit = [](TTarnwick_TreeGroup* group, int32_t, void* data) {
        auto*& current = *static_cast<TItem**>(data);
        for (TTarnwick_Thingy* item : group->List) {
            auto* typed = dynamic_cast<TItem*>(item);
            if (typed == nullptr || !typed->Current)
                continue;
            if (current == nullptr)
                current = typed;
            typed->Current = false;
        }
        return true;
    };
    TTarnwick_TreeGroup::Walk(tree, 0, visit, &found, TZAVWalkOrder::PreOrder);
    return found;
}

} // namespace

std::string TTarnwick_Mesh::CheckPending(TPendingMesh& pending) const
{
    std::string problem;
    for (auto [name, count] :
         {std::pair{"vcount", pending.VertexCount}, std::pair{"vtcount", pending.TexVertexCount},
          std::pair{"pcount", pending.PolygonCount}})
        if (problem = CheckCount(name, count); !problem.empty())
            return problem;
    if (pending.SymmetryAxis < 0 || pending.SymmetryAxis > 2)
        return FormatText("\"SymmetryAxis\" %d is not 0, 1 or 2", pending.SymmetryAxis);

    // Blocks whose count is above zero must be there, and every block must match its count.
    struct TSizedBlock
    {
        const char* Name;
        const std::optional<TDataBlock>& Block;
        int32_t Count;
        const char* CountName;
        int32_t ElementSize;
    };
    auto check_sized = [](const TSizedBlock& sized, bool required) -> std::string {
        if (!sized.Block) {
            if (required && sized.Count > 0)
                return FormatText("no \"%s\" block for \"%s\" %d", sized.Name, sized.CountName, sized.Count);
            return {};
        }
        return CheckBlockSize(sized.Name, *sized.Block, sized.Count, sized.CountName, sized.ElementSize);
    };
    for (const TSizedBlock& sized :
         {TSizedBlock{"vertices", pending.Vertices, pending.VertexCount, "vcount", 12},
          TSizedBlock{"tvertices", pending.TexVertices, pending.TexVertexCount, "vtcount", 8}})
        if (problem = check_sized(sized, true); !problem.empty())
            return problem;

    if (!pending.Polygons) {
        if (pending.PolygonCount > 0)
            return FormatText("no \"polygons\" block for \"pcount\" %d", pending.PolygonCount);
        pending.PolygonStart.assign(1, 0);
    } else if (problem = DecodePolygons(*pending.Polygons, pending.OldPolygonLayout, pending.VertexCount,
                                        pending.TexVertexCount, pending.PolygonCount, pending.PolygonStart,
                                        pending.PolygonMaterial, pending.PolygonGroup, pending.CornerVertex,
                                        pending.CornerTexVertex);
               !problem.empty()) {
        return problem;
    }
    for (const TSizedBlock& sized :
         {TSizedBlock{"vflags", pending.VertexFlags, pending.VertexCount, "vcount", 4},
          TSizedBlock{"pflags", pending.PolygonFlags, pending.PolygonCount, "pcount", 4},
          TSizedBlock{"PolygonLayerFlags", pending.LayerFlags, pending.PolygonCount, "pcount", 4}})
        if (problem = check_sized(sized, false); !problem.empty())
            return problem;
    const int32_t material_count = static_cast<int32_t>(pending.Materials.size());
    const int32_t group_count = static_cast<int32_t>(pending.Groups.size());
    if (pending.MaterialCount >= 0 && pending.MaterialCount != material_count)
        return FormatText("\"mcount\" %d disagrees with its %d \"material\" blocks", pending.MaterialCount,
                          material_count);
    for (int32_t polygon = 0; polygon < pending.PolygonCount; polygon++) {
        if (pending.PolygonMaterial[polygon] >= material_count)
            return FormatText("polygon %d names material %d of %d", polygon, pending.PolygonMaterial[polygon],
                              material_count);
        if (pending.PolygonGroup[polygon] >= group_count)
            return FormatText("polygon %d names polygon group %d of %d", polygon,
                              pending.PolygonGroup[polygon], group_count);
    }

    if (pending.WeldMap) {
        // A weld map of another size is dropped, as it always was; a wrong entry means damage.
        pending.KeepWeldMap = pending.WeldMap->Bytes.size() == 4 * static_cast<size_t>(pending.VertexCount);
        for (size_t entry = 0; pending.KeepWeldMap && entry < size_t(pending.VertexCount); entry++) {
            const int32_t target = DecodeInt32LE(pending.WeldMap->Bytes.data() + 4 * entry);
            if (target < -1 || target >= pending.VertexCount)
                return FormatText("the \"weldmap\" block (line %d) welds vertex %zu to vertex %d of %d",
                                  pending.WeldMap->Line, entry, target, pending.VertexCount);
        }
    }
    return {};
}

void TTarnwick_Mesh::ApplyPending(TPendingMesh& pending)
{
    // Trees read with the mesh replace the fresh ones below: making those first would only zero
    // a dozen vertex-sized arrays to be thrown away.
    AllocateArrays(pending.VertexCount, pending.TexVertexCount, pending.VertexCount, pending.PolygonCount);
    if (!pending.MorphTree || !pending.SelectionTree)
        StartSculptData();
    CopyBlock(pending.Vertices, Vertices);
    CopyBlock(pending.TexVertices, TexVertices);
    CopyBlock(pending.VertexFlags, VertexFlags);
    CopyBlock(pending.PolygonFlags, PolygonFlags);
    CopyBlock(pending.LayerFlags, PolygonLayerFlags);
    DisplayedVertices = Vertices;

    PolygonStart.swap(pending.PolygonStart);
    PolygonMaterial.swap(pending.PolygonMaterial);
    PolygonGroup.swap(pending.PolygonGroup);
    CornerVertex.swap(pending.CornerVertex);
    CornerTexVertex.swap(pending.CornerTexVertex);
    CornerNormal.assign(CornerVertex.size(), -1);
    CornerVisible.assign(CornerVertex.size(), 1);

    Materials.Clear();
    for (auto& material : pending.Materials) {
        material->Index = Materials.Count();
        Materials.Add(material.release());
    }
    Groups2.Clear();
    for (auto& group : pending.Groups) {
        group->Index = Groups2.Count();
        Groups2.Add(group.release());
    }
    MaterialMaps.Clear();
    for (auto& map : pending.Maps)
        MaterialMaps.Add(map.release());
    if (!pending.Maps.empty())
        MapsEdited = true;

    MixMorphs = pending.MixMorphs;
    SymmetryAxis = pending.SymmetryAxis;
    ForceColorTextureDisplay = pending.ForceColorTextureDisplay;
    CanDrawSelection = pending.CanDrawSelection;
    AlwaysAllSelected = pending.AlwaysAllSelected;
    Welded = pending.Welded;
    LoadedWelded = pending.Welded;
    LoadedWeldMap.clear();
    if (pending.KeepWeldMap) {
        LoadedWeldMap.resize(pending.VertexCount);
        CopyBlock(pending.WeldMap, LoadedWeldMap);
    }

    // Loaded trees replace the fresh ones; the hidden items are the mesh's own, never in a file.
    if (pending.MorphTree) {
        CurrentMorph = nullptr;
        ForgetMixedMorphs();
        MorphTree = std::move(pending.MorphTree);
        MorphTree->Label = "morphs";
        AttachHiddenMorphs();
        SetCurrentMorph(TakeFlaggedCurrent<TTarnwick_Morph>(MorphTree.get()));
    }
    if (pending.SelectionTree) {
        CurrentSelection = nullptr;
        SelectionTree = std::move(pending.SelectionTree);
        SelectionTree->Label = "selections";
        AttachHiddenSelections();
        SetCurrentSelection(TakeFlaggedCurrent<TTarnwick_Selection>(SelectionTree.get()),
                            TZAVOldSelection::Compress);
    }
}

bool TTarnwick_Mesh::InstallLoadedWeldMap()
{
    if (LoadedWeldMap.size() != static_cast<size_t>(VertexCount) || VertexCount == 0)
        return false;
    WeldMap = LoadedWeldMap;
    Welded = LoadedWelded;
    BuildVertexAdjacency();
    BuildTexVertexAdjacency();
    ComputeNormals(TZAVNormalScope::All);
    return true;
}
