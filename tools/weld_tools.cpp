// The weld, merge and UV map tools and the mesh edits their commands run.
//
// [SECTION] Helpers
// [SECTION] Mesh shape
// [SECTION] Welding
// [SECTION] UV mapping
// [SECTION] Merging
// [SECTION] The tools
#include "tools/weld_tools.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/report.h"
#include "files/language.h"
#include "mesh/selection.h"
#include "tools/cursor.h"

namespace {

// [SECTION] Helpers

constexpr float WeldWeightThreshold = 0.1f;
constexpr uint32_t ExcludedPolygon = PolygonFlag_Hidden | PolygonFlag_Locked;
constexpr const char* ShowAllPolygonsEntry = "<Show All Polygons>";

// The counts a prepared mesh keeps to itself; the edits here are the only ones that change the
// texture vertex or polygon count of a mesh in place.
struct TMeshCounts : TZAVPolyMesh
{
    static void SetTexVertexCount(TZAVPolyMesh& mesh, int32_t count)
    {
        mesh.*(&TMeshCounts::TexVertexCount) = count;
    }
    static void SetPolygonCount(TZAVPolyMesh& mesh, int32_t count)
    {
        mesh.*(&TMeshCounts::PolygonCount) = count;
    }
};

// Drawing tells a changed array by its address, so an edit hands the mesh a new allocation.
template <typename T> void ReplaceWithCopy(std::vector<T>& target, const std::vector<T>& source)
{
    std::vector<T> fresh(source);
    target.swap(fresh);
}

void ReplaceTexVertices(TZAVPolyMesh& mesh, std::vector<float> tex_vertices, std::vector<int32_t> corner_tex)
{
    TMeshCounts::SetTexVertexCount(mesh, int32_t(tex_vertices.size() / 2));
    mesh.TexVertices.swap(tex_vertices);
    mesh.CornerTexVertex.swap(corner_tex);
    mesh.BuildTexVertexAdjacency();
}

// The combined weight of the vertex in the current selection, 0 without one.
float SelectionWeight(const TTarnwick_Mesh& mesh, int32_t vertex)
{
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    if (selection == nullptr || vertex < 0 || vertex >= selection->vcount)
        return 0.0f;
    return std::clamp(selection->GetVSelect(vertex), 0.0f, 1.0f);
}

bool ProjectToView(const float matrix[16], const float point[3], float out_view[2])
{
    float clip[4];
    for (int32_t row = 0; row < 4; row++)
        clip[row] = matrix[row] * point[0] + matrix[4 + row] * point[1] + matrix[8 + row] * point[2] +
                    matrix[12 + row];
    if (!(std::fabs(clip[3]) > 1e-30f))
        return false;
    out_view[0] = clip[0] / clip[3];
    out_view[1] = clip[1] / clip[3];
    return true;
}

// Copies a channel's settings; its map stays behind with the mesh that had it.
void CopyMaterial(const TZAVMaterial& source, TZAVMaterial& target)
{
    for (TZAVMaterialChannel* from : source.ArbChannels) {
        TZAVMaterialChannel* to = target.FindChannel(from->Name);
        if (to == nullptr)
            continue;
        to->Enabled = from->Enabled;
        to->MapFileName = from->MapFileName;
        to->Strength = from->Strength;
        std::copy_n(&from->Colors[0][0], 3 * TZAVMaterialChannel::ColorCount, &to->Colors[0][0]);
        to->UseColor = from->UseColor;
        to->UseStrength = from->UseStrength;
        to->TakesMap = from->TakesMap;
        to->Paintable = from->Paintable;
    }
}

// The index of the list's element of that name, made with make when there is none.
template <typename TItem, typename TMake>
int16_t FindOrAddByName(TZAVMultiList<TItem*>& list, const std::string& name, TMake make)
{
    for (int32_t index = 0; index < list.Count(); index++)
        if (list.Data()[index]->Name == name)
            return int16_t(index);
    if (list.Count() > INT16_MAX)
        return -1;
    TItem* item = make();
    item->SetNameLiteral(name);
    item->Index = list.Count();
    list.Add(item);
    return int16_t(item->Index);
}

} // namespace

// [SECTION] Mesh shape

TTarnwick_MeshShape TTarnwick_MeshShape::Capture(const TTarnwick_Mesh& mesh)
{
    TTarnwick_MeshShape shape;
    shape.Vertices = mesh.Vertices;
    shape.TexVertices = mesh.TexVertices;
    shape.PolygonStart = mesh.PolygonStart;
    shape.PolygonMaterial = mesh.PolygonMaterial;
    shape.PolygonGroup = mesh.PolygonGroup;
    shape.PolygonPart = mesh.PolygonPart;
    shape.PolygonFlags = mesh.PolygonFlags;
    shape.PolygonLayerFlags = mesh.PolygonLayerFlags;
    shape.CornerVertex = mesh.CornerVertex;
    shape.CornerTexVertex = mesh.CornerTexVertex;
    shape.CornerNormal = mesh.CornerNormal;
    shape.CornerVisible = mesh.CornerVisible;
    shape.VertexFlags = mesh.VertexFlags;
    shape.WeldMap = mesh.WeldMap;
    shape.Welded = mesh.Welded;
    for (TZAVGroup* group : mesh.Groups)
        shape.GroupRanges.push_back({group->TexVertexRange, group->PolygonRange});
    return shape;
}

bool TTarnwick_MeshShape::Restore(TTarnwick_Mesh& mesh) const
{
    if (Vertices.size() != 3 * size_t(mesh.GetVertexCount()) || PolygonStart.empty() ||
        GroupRanges.size() != size_t(mesh.Groups.Count()))
        return false;
    mesh.Vertices = Vertices;
    TMeshCounts::SetPolygonCount(mesh, int32_t(PolygonStart.size() - 1));
    ReplaceWithCopy(mesh.PolygonStart, PolygonStart);
    ReplaceWithCopy(mesh.PolygonMaterial, PolygonMaterial);
    ReplaceWithCopy(mesh.PolygonGroup, PolygonGroup);
    ReplaceWithCopy(mesh.PolygonPart, PolygonPart);
    ReplaceWithCopy(mesh.PolygonLayerFlags, PolygonLayerFlags);
    ReplaceWithCopy(mesh.CornerVertex, CornerVertex);
    ReplaceWithCopy(mesh.CornerNormal, CornerNormal);
    ReplaceWithCopy(mesh.CornerVisible, CornerVisible);
    ReplaceTexVertices(mesh, TexVertices, CornerTexVertex);
    for (int32_t index = 0; index < mesh.Groups.Count(); index++) {
        mesh.Groups.Data()[index]->TexVertexRange = GroupRanges[size_t(index)].TexVertices;
        mesh.Groups.Data()[index]->PolygonRange = GroupRanges[size_t(index)].Polygons;
    }
    // Preparing sizes every per-polygon array anew; it starts the flags and the weld afresh, so
    // they are put back after it.
    mesh.Prepare();
    mesh.VertexFlags = VertexFlags;
    mesh.PolygonFlags = PolygonFlags;
    mesh.WeldMap = WeldMap;
    mesh.Welded = Welded;
    RefreshMeshAfterEdit(mesh);
    return true;
}

int64_t TTarnwick_MeshShape::ByteCount() const
{
    auto bytes = [](const auto& values) { return int64_t(values.size() * sizeof(values[0])); };
    return bytes(Vertices) + bytes(TexVertices) + bytes(PolygonStart) + bytes(PolygonMaterial) +
           bytes(PolygonGroup) + bytes(PolygonPart) + bytes(PolygonFlags) + bytes(PolygonLayerFlags) +
           bytes(CornerVertex) + bytes(CornerTexVertex) + bytes(CornerNormal) + bytes(CornerVisible) +
           bytes(VertexFlags) + bytes(WeldMap) + int64_t(GroupRanges.size() * sizeof(TGroupRanges));
}

void RefreshMeshAfterEdit(TTarnwick_Mesh& mesh)
{
    mesh.BuildVertexAdjacency();
    mesh.BuildTexVertexAdjacency();
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
    mesh.BuildVisiblePolygons();
}

// [SECTION] Welding

double WeldFactor(float weld_threshold)
{
    return std::pow(10.0, -double(weld_threshold));
}

void WeldMeshByThreshold(TTarnwick_Mesh& mesh, float weld_threshold)
{
    mesh.WeldByThreshold(float(WeldFactor(weld_threshold)));
    RefreshMeshAfterEdit(mesh);
}

void UnweldMesh(TTarnwick_Mesh& mesh)
{
    mesh.Unweld();
    RefreshMeshAfterEdit(mesh);
}

TTarnwick_WeldOutcome WeldSelectedPoints(TTarnwick_Mesh& mesh)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    std::vector<int32_t> marked;
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        mesh.VertexFlags[vertex] &= ~uint32_t(VertexFlag_Scratch);
        if (std::fabs(SelectionWeight(mesh, vertex)) > WeldWeightThreshold) {
            mesh.VertexFlags[vertex] |= VertexFlag_Scratch;
            marked.push_back(vertex);
        }
    }
    if (marked.empty())
        return TTarnwick_WeldOutcome::NothingSelected;

    double centre[3] = {0, 0, 0};
    for (int32_t vertex : marked)
        for (int32_t axis = 0; axis < 3; axis++)
            centre[axis] += mesh.GetDisplayedPosition(vertex)[axis];
    for (int32_t vertex : marked)
        for (int32_t axis = 0; axis < 3; axis++)
            mesh.Vertices[3 * size_t(vertex) + axis] = float(centre[axis] / double(marked.size()));

    const int32_t survivor = marked.back();
    auto is_marked = [&](int32_t vertex) { return (mesh.VertexFlags[vertex] & VertexFlag_Scratch) != 0; };
    std::vector<int32_t> corners(mesh.CornerVertex);
    for (int32_t& vertex : corners) {
        const int32_t former = vertex;
        if (!is_marked(former) && !is_marked(mesh.WeldedVertex(former)))
            continue;
        vertex = survivor;
        if (is_marked(former) && mesh.CurrentSelection != nullptr)
            mesh.CurrentSelection->SetVSelect(former, former == survivor ? 1.0f : 0.0f);
    }
    mesh.CornerVertex.swap(corners);
    for (int32_t vertex : marked)
        mesh.VertexFlags[vertex] &= ~uint32_t(VertexFlag_Scratch);
    mesh.SelectionDisplayStale = true;
    RefreshMeshAfterEdit(mesh);
    return TTarnwick_WeldOutcome::Welded;
}

bool ConvertToQuadsAndTriangles(TTarnwick_Mesh& mesh)
{
    const int32_t polygon_count = mesh.GetPolygonCount();
    // A polygon of n corners becomes (n - 2) / 2 quads and, for odd n, a triangle.
    std::vector<int32_t> pieces(static_cast<size_t>(polygon_count));
    bool any = false;
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        const int32_t count = mesh.GetPolygonCornerCount(polygon);
        pieces[size_t(polygon)] = count < 5 ? 1 : (count - 2) / 2 + count % 2;
        any = any || count >= 5;
    }
    if (!any)
        return false;
    std::vector<uint32_t> flags, layers;
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        flags.insert(flags.end(), size_t(pieces[size_t(polygon)]), mesh.PolygonFlags[polygon]);
        layers.insert(layers.end(), size_t(pieces[size_t(polygon)]),
                      size_t(polygon) < mesh.PolygonLayerFlags.size() ? mesh.PolygonLayerFlags[polygon] : 0u);
    }
    const std::vector<uint32_t> vertex_flags = mesh.VertexFlags;
    const std::vector<int32_t> weld_map = mesh.WeldMap;
    const uint8_t welded = mesh.Welded;
    mesh.MakeQuadsAndTrisOnly();
    if (flags.size() != size_t(mesh.GetPolygonCount()))
        ReportError("Polygon pieces out of step in ConvertToQuadsAndTriangles()");
    mesh.PolygonLayerFlags = std::move(layers);
    mesh.PolygonFlags = std::move(flags);
    mesh.VertexFlags = vertex_flags;
    mesh.WeldMap = weld_map;
    mesh.Welded = welded;
    RefreshMeshAfterEdit(mesh);
    return true;
}

// [SECTION] UV mapping

std::vector<int32_t> SelectedPolygons(const TTarnwick_Mesh& mesh)
{
    std::vector<int32_t> polygons;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        bool selected = true;
        for (int32_t corner = mesh.PolygonStart[polygon]; selected && corner < mesh.PolygonStart[polygon + 1];
             corner++)
            selected = SelectionWeight(mesh, mesh.WeldedVertex(mesh.CornerVertex[corner])) > 0.0f;
        if (selected)
            polygons.push_back(polygon);
    }
    return polygons;
}

void MakeTextureVerticesFree(TZAVPolyMesh& mesh)
{
    const int32_t corner_total = mesh.GetCornerTotal();
    const int32_t old_count = mesh.GetTexVertexCount();
    std::vector<float> tex_vertices(2 * size_t(corner_total), 0.0f);
    std::vector<int32_t> corner_tex(size_t(corner_total), -1);
    int32_t nivt = 0;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            if (nivt >= corner_total)
                ReportError("nivt is out of range in MakeTextureVerticesFree() (%d of %d)", nivt,
                            corner_total);
            if (corner != nivt)
                ReportError("nivt is out of sync in MakeTextureVerticesFree() (1)");
            const int32_t old = mesh.CornerTexVertex[corner];
            if (old >= 0 && old < old_count)
                std::copy_n(&mesh.TexVertices[2 * size_t(old)], 2, &tex_vertices[2 * size_t(nivt)]);
            corner_tex[corner] = nivt++;
        }
    }
    if (nivt != corner_total)
        ReportError("nivt is out of sync in MakeTextureVerticesFree() (2)");
    // Each sub-object's texture vertices are now its polygons' corners.
    for (TZAVGroup* group : mesh.Groups) {
        const TZAVIndexRange polygons = group->PolygonRange;
        if (polygons.Count() > 0 && polygons.Last < mesh.GetPolygonCount())
            group->TexVertexRange = {mesh.PolygonStart[polygons.First],
                                     mesh.PolygonStart[polygons.Last + 1] - 1};
    }
    ReplaceTexVertices(mesh, std::move(tex_vertices), std::move(corner_tex));
}

TTarnwick_UVMapOutcome UVMapFromView(TTarnwick_Mesh& mesh, const float scene_to_screen[16])
{
    const std::vector<int32_t> polygons = SelectedPolygons(mesh);
    if (polygons.empty())
        return TTarnwick_UVMapOutcome::NoSelectedPolygons;

    const int32_t vertex_count = mesh.GetVertexCount();
    bool whole_mesh = true;
    for (int32_t vertex = 0; whole_mesh && vertex < vertex_count; vertex++)
        whole_mesh = SelectionWeight(mesh, vertex) > 0.0f;
    if (whole_mesh) {
        // One texture vertex per vertex, starting from what the vertex's first corner used.
        std::vector<float> tex_vertices(2 * size_t(vertex_count), 0.0f);
        std::vector<uint8_t> seeded(size_t(vertex_count), 0);
        std::vector<int32_t> corner_tex(mesh.CornerVertex);
        for (size_t corner = 0; corner < corner_tex.size(); corner++) {
            const int32_t vertex = corner_tex[corner];
            const int32_t old = mesh.CornerTexVertex[corner];
            if (seeded[vertex] || old < 0 || old >= mesh.GetTexVertexCount())
                continue;
            seeded[vertex] = 1;
            std::copy_n(&mesh.TexVertices[2 * size_t(old)], 2, &tex_vertices[2 * size_t(vertex)]);
        }
        for (TZAVGroup* group : mesh.Groups)
            group->TexVertexRange = group->VertexRange;
        ReplaceTexVertices(mesh, std::move(tex_vertices), std::move(corner_tex));
    } else {
        MakeTextureVerticesFree(mesh);
    }

    for (int32_t polygon : polygons) {
        if (mesh.PolygonFlags[polygon] & ExcludedPolygon)
            continue;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            float position[3];
            mesh.GetVertex(mesh.WeldedVertex(mesh.CornerVertex[corner]), position);
            float view[2];
            if (!ProjectToView(scene_to_screen, position, view))
                continue;
            float* uv = &mesh.TexVertices[2 * size_t(mesh.CornerTexVertex[corner])];
            uv[0] = (view[0] + 1.0f) / 2.0f;
            uv[1] = (view[1] + 1.0f) / 2.0f;
        }
    }
    return TTarnwick_UVMapOutcome::Mapped;
}

// [SECTION] Merging

std::unique_ptr<TTarnwick_Mesh> MergeMeshes(std::span<const TTarnwick_Mesh* const> meshes,
                                            const TTarnwick_MergeOptions& options)
{
    int64_t vertex_total = 0, tex_total = 0, polygon_total = 0, corner_total = 0;
    for (const TTarnwick_Mesh* mesh : meshes) {
        vertex_total += mesh->GetVertexCount();
        tex_total += mesh->GetTexVertexCount();
        polygon_total += mesh->GetPolygonCount();
        corner_total += mesh->GetCornerTotal();
    }
    auto merged = std::make_unique<TTarnwick_Mesh>();
    merged->SetNameLiteral(MergedObjectName);
    if (std::max({vertex_total, tex_total, polygon_total, corner_total}) > INT32_MAX)
        return merged;
    merged->Allocate(int32_t(vertex_total), int32_t(tex_total), int32_t(vertex_total),
                     int32_t(polygon_total));
    merged->AllocateCorners(int32_t(corner_total));

    int32_t vertex_base = 0, tex_base = 0, polygon_base = 0, corner_base = 0;
    bool welded = false;
    for (const TTarnwick_Mesh* mesh : meshes) {
        const int32_t vertex_count = mesh->GetVertexCount();
        for (int32_t vertex = 0; vertex < vertex_count; vertex++)
            mesh->GetVertex(vertex, &merged->Vertices[3 * size_t(vertex_base + vertex)]);
        std::copy_n(mesh->TexVertices.begin(), 2 * size_t(mesh->GetTexVertexCount()),
                    merged->TexVertices.begin() + 2 * size_t(tex_base));

        // The mesh's sub-objects come along; a mesh without any becomes one.
        const int16_t part_base = int16_t(merged->Groups.Count());
        auto add_part = [&](const std::string& name, const TZAVGroup* from) {
            auto* part = new TZAVGroup;
            part->SetNameLiteral(name);
            part->Index = merged->Groups.Count();
            auto shift = [](TZAVIndexRange range, int32_t base) {
                return range.First < 0 ? range : TZAVIndexRange{range.First + base, range.Last + base};
            };
            if (from != nullptr) {
                part->VertexRange = shift(from->VertexRange, vertex_base);
                part->TexVertexRange = shift(from->TexVertexRange, tex_base);
                part->NormalRange = shift(from->VertexRange, vertex_base);
                part->PolygonRange = shift(from->PolygonRange, polygon_base);
            } else {
                part->VertexRange = part->NormalRange = {vertex_base, vertex_base + vertex_count - 1};
                part->TexVertexRange = {tex_base, tex_base + mesh->GetTexVertexCount() - 1};
                part->PolygonRange = {polygon_base, polygon_base + mesh->GetPolygonCount() - 1};
            }
            merged->Groups.Add(part);
        };
        for (const TZAVGroup* group : mesh->Groups)
            add_part(group->Name, group);
        if (mesh->Groups.Count() == 0)
            add_part(mesh->Name.empty() ? std::string(MergedObjectName) : mesh->Name, nullptr);

        std::vector<int16_t> materials, groups;
        for (const TZAVMaterial* material : mesh->Materials) {
            const int16_t index = options.KeepMaterials
                                      ? FindOrAddByName(merged->Materials, material->Name,
                                                        [&] { return merged->CreateMaterial(); })
                                      : int16_t(-1);
            if (index >= 0 && merged->Materials.Data()[index]->Name == material->Name)
                CopyMaterial(*material, *merged->Materials.Data()[index]);
            materials.push_back(index);
        }
        for (const TZAVGroup2* group : mesh->Groups2)
            groups.push_back(options.KeepGroups ? FindOrAddByName(merged->Groups2, group->Name,
                                                                  [&] { return merged->CreateGroup2(); })
                                                : int16_t(-1));
        auto lookup = [](const std::vector<int16_t>& table, int16_t index) {
            return index >= 0 && size_t(index) < table.size() ? table[size_t(index)] : int16_t(-1);
        };

        for (int32_t polygon = 0; polygon < mesh->GetPolygonCount(); polygon++) {
            const int32_t target = polygon_base + polygon;
            merged->PolygonMaterial[target] = lookup(materials, mesh->PolygonMaterial[polygon]);
            merged->PolygonGroup[target] = lookup(groups, mesh->PolygonGroup[polygon]);
            const int16_t part = mesh->PolygonPart[polygon];
            merged->PolygonPart[target] = part >= 0 || mesh->Groups.Count() == 0
                                              ? int16_t(part_base + std::max<int16_t>(part, 0))
                                              : part;
            if (size_t(polygon) < mesh->PolygonLayerFlags.size())
                merged->PolygonLayerFlags[target] = mesh->PolygonLayerFlags[polygon];
            for (int32_t corner = mesh->PolygonStart[polygon]; corner < mesh->PolygonStart[polygon + 1];
                 corner++) {
                const int32_t vertex = vertex_base + mesh->CornerVertex[corner];
                const int32_t tex = mesh->CornerTexVertex[corner];
                merged->CornerVertex[corner_base] = vertex;
                merged->CornerNormal[corner_base] = vertex;
                merged->CornerTexVertex[corner_base] = tex >= 0 ? tex_base + tex : -1;
                merged->CornerVisible[corner_base] = mesh->CornerVisible[corner];
                corner_base++;
            }
            merged->EndPolygon(target, corner_base);
        }
        welded = welded || mesh->Welded;
        vertex_base += vertex_count;
        tex_base += mesh->GetTexVertexCount();
        polygon_base += mesh->GetPolygonCount();
    }
    merged->Prepare();

    // Welds the meshes had stay, renumbered.
    if (welded) {
        vertex_base = 0;
        for (const TTarnwick_Mesh* mesh : meshes) {
            for (int32_t vertex = 0; vertex < mesh->GetVertexCount(); vertex++) {
                const int32_t to = mesh->WeldedVertex(vertex);
                merged->WeldMap[size_t(vertex_base + vertex)] = to == vertex ? -1 : vertex_base + to;
            }
            vertex_base += mesh->GetVertexCount();
        }
        merged->Welded = 1;
        RefreshMeshAfterEdit(*merged);
    }
    if (options.WeldSeams)
        WeldMeshByThreshold(*merged, DefaultWeldThreshold);
    return merged;
}

// [SECTION] The tools

TTarnwick_WeldVertices::TTarnwick_WeldVertices()
{
    SetNameAndHelp(83, 84);
    AddSlider(WeldThreshold, 85, 86)->SetRange(&RangeZero, &RangeTen);
    AddParameter(TTarnwick_ParameterType::Button, 93, 94, WeldByThresholdCommand);
    AddParameter(TTarnwick_ParameterType::Button, 95, 96, UnweldCommand);
}

TTarnwick_MergeObjects::TTarnwick_MergeObjects()
{
    SetNameAndHelp(642, 643);
    AddCheckBox(Options.VisibleOnly, 644, 645);
    AddCheckBox(Options.KeepMaterials, 646, 647);
    AddCheckBox(Options.KeepGroups, 648, 649);
    AddCheckBox(Options.WeldSeams, 650, 651);
    AddCheckBox(Options.DeleteOriginals, 652, 653);
    AddParameter(TTarnwick_ParameterType::Button, 654, 655, MergeObjectsCommand);
}

TTarnwick_UVMap::TTarnwick_UVMap()
{
    SetNameAndHelp(278, 279);
    DrawsCursor = true;
    AddParameter(TTarnwick_ParameterType::Button, 280, 465, UVMapFromViewCommand);
    AddParameter(TTarnwick_ParameterType::Button, 466, 467, ConvertPolygonsCommand);
    TTarnwick_Parameter* materials = AddParameter(TTarnwick_ParameterType::DropDown, -1, -1);
    materials->SetNameLiteral("Material Groups");
    materials->ListCallback = AnswerMaterialList;
}

void TTarnwick_UVMap::AnswerMaterialList(TTarnwick_Tool& tool, TZAVEvent& event)
{
    auto& uv_map = static_cast<TTarnwick_UVMap&>(tool);
    const int32_t count = uv_map.ListedMesh == nullptr ? 0 : uv_map.ListedMesh->Materials.Count();
    switch (static_cast<TTarnwick_ListRequest>(event.Mode)) {
    case TTarnwick_ListRequest::EntryCount:
        event.IntegerParameters[0] = count + 1;
        break;
    case TTarnwick_ListRequest::EntryText: {
        const int32_t material = event.GetIndex() - 1;
        event.AddStringParameter(material >= 0 && material < count
                                     ? uv_map.ListedMesh->Materials.Data()[material]->Name.c_str()
                                     : ShowAllPolygonsEntry,
                                 0);
        break;
    }
    case TTarnwick_ListRequest::CurrentEntry:
        event.IntegerParameters[0] = uv_map.ShownMaterial + 1;
        break;
    case TTarnwick_ListRequest::Chosen:
        uv_map.ShownMaterial = std::clamp(event.GetIndex() - 1, -1, count - 1);
        break;
    }
}

void TTarnwick_UVMap::Selected(TTarnwick_Mesh* mesh)
{
    if (mesh != ListedMesh)
        ShownMaterial = -1;
    ListedMesh = mesh;
}

void TTarnwick_UVMap::Deselected(TTarnwick_Mesh*)
{
    ListedMesh = nullptr;
}

// The shown polygons' texture outlines, the view standing for the unit square, over the scene.
void TTarnwick_UVMap::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    TTarnwick_Tool::DrawCursor(mesh, view, x, y);
    const int32_t tex_count = mesh.GetTexVertexCount();
    if (tex_count == 0)
        return;
    TTarnwick_CursorDrawing drawing;
    glColor4f(0.2f, 0.9f, 1.0f, 1.0f);
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if ((mesh.PolygonFlags[polygon] & PolygonFlag_Hidden) ||
            !ShowsMaterial(mesh.PolygonMaterial[polygon]))
            continue;
        glBegin(GL_LINE_LOOP);
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            const int32_t tex = mesh.CornerTexVertex[corner];
            if (tex >= 0 && tex < tex_count)
                glVertex2f(mesh.TexVertices[2 * size_t(tex)] * 2.0f - 1.0f,
                           mesh.TexVertices[2 * size_t(tex) + 1] * 2.0f - 1.0f);
        }
        glEnd();
    }
}
