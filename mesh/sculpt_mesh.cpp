// TTarnwick_Mesh: the trees and their current and temporary items, the displayed positions with
// their full and incremental updates, normals with their bounds, the octree and the mirror
// operations. The text block is in sculpt_mesh_text.cpp.
//
// [SECTION] Construction and allocation
// [SECTION] Current and new morphs and selections
// [SECTION] Normals
// [SECTION] Displayed positions
// [SECTION] Octree and symmetry
#include "mesh/sculpt_mesh.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/dialogs.h"
#include "core/report.h"

namespace {

constexpr float NegligibleStrength = 1e-30f;

// 1 / sqrt(value) for value > 0: the hardware estimate refined by one Newton step (about 23 bits),
// which costs a fraction of a square root and a division; normals are refreshed by the thousand
// during a stroke.
inline float InverseLength(float squared_length)
{
#if defined(__SSE2__)
    if (squared_length >= FLT_MIN) {
        const float estimate = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(squared_length)));
        return estimate * (1.5f - 0.5f * squared_length * estimate * estimate);
    }
#endif
    return 1.0f / std::sqrt(squared_length);
}

#if defined(__SSE2__)
// x, y, z as one vector with w = 0: an 8-byte and a 4-byte load, never a read past the third float.
inline __m128 LoadVector3(const float* values)
{
    return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(values)),
                         _mm_load_ss(values + 2));
}
#endif
// Spatial index: levels, and polygons per leaf = polygon count / 8^5 (at least one).
constexpr int32_t OctreeLevels = 5;
constexpr int32_t OctreeLeafDivisor = 8 * 8 * 8 * 8 * 8;

constexpr const char* ReadOnlyMorphNotice =
    "The current morph is designated as read-only.\nThe read-only status can be changed in the \"Morph "
    "Manager\".";
constexpr const char* ReadOnlySelectionNotice =
    "The current selection is designated as read-only.\nThe read-only status can be changed in the "
    "\"Selection Manager\".";

// The morph of the displacements at `vertices`, added to positions with factor; a compressed
// morph is searched, since its records are sorted by vertex.
void AddMorphAt(TTarnwick_Morph* morph, float factor, std::span<const int32_t> vertices, float* positions)
{
    if (morph == nullptr || std::fabs(factor) <= NegligibleStrength)
        return;
    if (morph->IsCompressed()) {
        const TTarnwick_MorphDelta* deltas = morph->Deltas();
        const TTarnwick_MorphDelta* end = deltas + morph->DeltaCount;
        for (int32_t vertex : vertices) {
            const TTarnwick_MorphDelta* found =
                std::lower_bound(deltas, end, vertex, [](const TTarnwick_MorphDelta& delta, int32_t index) {
                    return delta.Index < index;
                });
            if (found == end || found->Index != vertex)
                continue;
            float* position = positions + 3 * static_cast<size_t>(vertex);
            for (int32_t k = 0; k < 3; k++)
                position[k] += factor * found->Value[k];
        }
        return;
    }
    const float* values = morph->vertices();
    for (int32_t vertex : vertices) {
        if (vertex >= morph->vcount)
            continue;
        float* position = positions + 3 * static_cast<size_t>(vertex);
        const float* value = values + 3 * static_cast<size_t>(vertex);
        for (int32_t k = 0; k < 3; k++)
            position[k] += factor * value[k];
    }
}

// Calls visit(indices) over 0 .. count - 1 in ascending batches, for the batched normal passes.
template <typename TVisit> void ForEachIndexBatch(int32_t count, TVisit visit)
{
    constexpr int32_t BatchSize = 256;
    int32_t batch[BatchSize];
    for (int32_t first = 0; first < count; first += BatchSize) {
        const int32_t size = std::min(BatchSize, count - first);
        std::iota(batch, batch + size, first);
        visit(std::span<const int32_t>(batch, static_cast<size_t>(size)));
    }
}

// Calls visit(morph) for every morph of the tree, hidden groups included.
template <typename TVisit> void ForEachMorph(TTarnwick_TreeGroup* tree, TVisit visit)
{
    auto callback = [](TTarnwick_TreeGroup* group, int32_t, void* data) {
        for (TTarnwick_Thingy* item : group->List)
            if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item))
                (*static_cast<TVisit*>(data))(morph);
        return true;
    };
    TTarnwick_TreeGroup::Walk(tree, 0, callback, &visit, false);
}

void CrossProduct(const float* a, const float* b, const float* c, float out[3])
{
    // (c - b) x (a - b), as the base mesh forms it.
    const float u[3] = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
    const float w[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    out[0] = u[1] * w[2] - u[2] * w[1];
    out[1] = u[2] * w[0] - u[0] * w[2];
    out[2] = u[0] * w[1] - u[1] * w[0];
}

} // namespace

// [SECTION] Construction and allocation

TTarnwick_Mesh::TTarnwick_Mesh()
{
    Mixer.Mesh = this;
    StartSculptData();
}

TTarnwick_Mesh::~TTarnwick_Mesh() = default;

void TTarnwick_Mesh::Allocate(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                              int32_t polygon_count)
{
    TZAVPolyMesh::Allocate(vertex_count, tex_vertex_count, normal_count, polygon_count);
    DisplayedVertices.assign(3 * static_cast<size_t>(vertex_count), 0.0f);
    PolygonLayerFlags.assign(polygon_count, 0);
    PolygonNormalBounds.assign(6 * static_cast<size_t>(polygon_count), 0.0f);
    MirrorTables.Reset(vertex_count);
    LoadedWeldMap.clear();
    DropOctree();
    StartSculptData();
}

void TTarnwick_Mesh::AdoptContents(TZAVPolyMesh& source)
{
    TZAVPolyMesh::AdoptContents(source);
    DisplayedVertices = Vertices;
    PolygonLayerFlags.assign(PolygonCount, 0);
    PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
    MirrorTables.Reset(VertexCount);
    LoadedWeldMap.clear();
    DropOctree();
    StartSculptData();
}

void TTarnwick_Mesh::StartSculptData()
{
    CurrentMorph = nullptr;
    CurrentSelection = nullptr;
    ForgetMixedMorphs();
    MorphTree = std::make_unique<TTarnwick_MorphTreeGroup>();
    MorphTree->SetNameLiteral("Morph Targets");
    MorphTree->Label = "morphs";
    SelectionTree = std::make_unique<TTarnwick_SelectionTreeGroup>();
    SelectionTree->SetNameLiteral("Selections");
    SelectionTree->Label = "selections";
    AttachHiddenMorphs();
    AttachHiddenSelections();

    TTarnwick_Morph* morph = NewMorph(-1);
    morph->SetNameLiteral("Default Morph");
    SetCurrentMorph(morph);
    TTarnwick_Selection* selection = NewSelection(-1);
    selection->SetNameLiteral("Default Selection");
    SetCurrentSelection(selection, true);
}

void TTarnwick_Mesh::ForgetMixedMorphs()
{
    while (Mixer.List.Count() > 0)
        Mixer.List.RemoveAt(Mixer.List.Count() - 1);
}

void TTarnwick_Mesh::AttachHiddenMorphs()
{
    MorphTree->Owner = static_cast<uint32_t>(ID);
    HiddenMorphs = new TTarnwick_MorphTreeGroup();
    HiddenMorphs->SetNameLiteral("Hidden Morphs");
    HiddenMorphs->Hidden = true;
    MorphTree->AddChild(HiddenMorphs);
    TempMorph = new TTarnwick_Morph(VertexCount);
    TempMorph->SetNameLiteral("Temp Morph");
    TempMorph->Locked = true;
    TempMorph2 = new TTarnwick_Morph(VertexCount);
    TempMorph2->SetNameLiteral("Temp Morph 2");
    TempMorph2->Locked = true;
    HiddenMorphs->List.Add(TempMorph);
    HiddenMorphs->List.Add(TempMorph2);
}

void TTarnwick_Mesh::AttachHiddenSelections()
{
    SelectionTree->Owner = static_cast<uint32_t>(ID);
    HiddenSelections = new TTarnwick_SelectionTreeGroup();
    HiddenSelections->SetNameLiteral("Hidden Selections");
    HiddenSelections->Hidden = true;
    SelectionTree->AddChild(HiddenSelections);
    TempSelection = new TTarnwick_Selection(VertexCount);
    TempSelection->SetNameLiteral("Temp Selection");
    TempSelection->Locked = true;
    HiddenSelections->List.Add(TempSelection);
}

TZAVMaterial* TTarnwick_Mesh::CreateMaterial() const
{
    auto* material = new TTarnwick_Material;
    material->AddDefaultChannels();
    return material;
}

TZAVGroup2* TTarnwick_Mesh::CreateGroup2() const
{
    return new TTarnwick_Group;
}

void TTarnwick_Mesh::Prepare()
{
    if (PolygonLayerFlags.size() != static_cast<size_t>(PolygonCount))
        PolygonLayerFlags.assign(PolygonCount, 0);
    PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
    if (MirrorTables.VertexCount() != VertexCount)
        MirrorTables.Reset(VertexCount);
    // Left over from a stroke they would limit the fresh normals to a few polygons.
    DirtyPolygons.clear();
    DirtyVertices.clear();
    ResolveVertices();
    TZAVPolyMesh::Prepare();
}

// [SECTION] Current and new morphs and selections

void TTarnwick_Mesh::SetCurrentMorph(TTarnwick_Morph* morph)
{
    if (morph == CurrentMorph && morph != nullptr) {
        morph->BecomeCurrent();
        return;
    }
    if (CurrentMorph != nullptr) {
        uint32_t release = TTarnwick_Release_None;
        if (morph != nullptr)
            release =
                TTarnwick_Release_Compress | (MixMorphs ? TTarnwick_Release_None : TTarnwick_Release_PageOut);
        CurrentMorph->StopBeingCurrent(release);
    }
    CurrentMorph = morph;
    if (morph != nullptr)
        morph->BecomeCurrent();
}

void TTarnwick_Mesh::SetCurrentSelection(TTarnwick_Selection* selection, bool compress_old)
{
    if (selection == CurrentSelection && selection != nullptr) {
        selection->BecomeCurrent();
        return;
    }
    if (CurrentSelection != nullptr) {
        uint32_t release = TTarnwick_Release_None;
        if (selection != nullptr)
            release = (compress_old ? TTarnwick_Release_Compress : TTarnwick_Release_None) |
                      TTarnwick_Release_PageOut;
        CurrentSelection->StopBeingCurrent(release);
    }
    CurrentSelection = selection;
    if (selection != nullptr)
        selection->BecomeCurrent();
    SelectionDisplayStale = true;
}

TTarnwick_TreeGroup* TTarnwick_Mesh::GroupAtRow(TTarnwick_TreeGroup* tree, int32_t position)
{
    if (position < 0)
        return tree;
    std::vector<TTarnwick_TreeRow> rows;
    TTarnwick_TreeGroup::FlattenTree(tree, rows);
    if (position >= static_cast<int32_t>(rows.size()))
        return tree;
    return rows[position].Group;
}

TTarnwick_Morph* TTarnwick_Mesh::NewMorph(int32_t position)
{
    auto* morph = new TTarnwick_Morph(VertexCount);
    GroupAtRow(MorphTree.get(), position)->List.Add(morph);
    return morph;
}

TTarnwick_Selection* TTarnwick_Mesh::NewSelection(int32_t position)
{
    auto* selection = new TTarnwick_Selection(VertexCount);
    GroupAtRow(SelectionTree.get(), position)->List.Add(selection);
    return selection;
}

TTarnwick_Morph* TTarnwick_Mesh::BakeToNewMorph(int32_t position)
{
    TTarnwick_Morph* morph = NewMorph(position);
    morph->SetNameLiteral(BakedMorphDefaultName);
    morph->Strength = 0.0f;
    if (DisplayedVertices.size() == Vertices.size() && VertexCount > 0) {
        float* values = morph->vertices();
        for (size_t i = 0; i < Vertices.size(); i++)
            values[i] = DisplayedVertices[i] - Vertices[i];
    }
    SetCurrentMorph(morph);
    return morph;
}

bool TTarnwick_Mesh::CheckMorphWritable(uint32_t& notice_flags) const
{
    if (CurrentMorph == nullptr || !CurrentMorph->ReadOnly)
        return true;
    if (!(notice_flags & Notice_ReadOnlyMorphShown)) {
        notice_flags |= Notice_ReadOnlyMorphShown;
        ShowMessage(GlobalDialogHost, "%s", ReadOnlyMorphNotice);
    }
    return false;
}

bool TTarnwick_Mesh::CheckSelectionWritable(uint32_t& notice_flags) const
{
    if (CurrentSelection == nullptr || !CurrentSelection->ReadOnly)
        return true;
    if (!(notice_flags & Notice_ReadOnlySelectionShown)) {
        notice_flags |= Notice_ReadOnlySelectionShown;
        ShowMessage(GlobalDialogHost, "%s", ReadOnlySelectionNotice);
    }
    return false;
}

// [SECTION] Normals

void TTarnwick_Mesh::ComputePolygonNormal(int32_t polygon)
{
    if (PolygonNormalBounds.size() != 6 * static_cast<size_t>(PolygonCount))
        PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
    PolygonNormalFromDisplayed(polygon, nullptr);
}

// Fan over the first corner: the summed cross products give the normal, half their lengths the
// area, and each triangle's unit normal widens the bounds.
inline void TTarnwick_Mesh::PolygonNormalFromDisplayed(int32_t polygon,
                                                       const TTarnwick_MarkSet::TMarker* marks)
{
    assert(DisplayedVertices.size() == 3 * static_cast<size_t>(VertexCount));
    const int32_t start = PolygonStart[polygon];
    const int32_t count = PolygonStart[polygon + 1] - start;
    const int32_t* corners = CornerVertex.data() + start;
    const float* positions = DisplayedVertices.data();
    const bool welded = Welded && !IgnoreWeld;
    auto vertex_at = [&](int32_t corner) {
        const int32_t vertex = corners[corner];
        return welded && WeldMap[vertex] >= 0 ? WeldMap[vertex] : vertex;
    };
    auto position = [&](int32_t corner) { return positions + 3 * static_cast<size_t>(vertex_at(corner)); };
    if (marks != nullptr)
        for (int32_t corner = 0; corner < count; corner++)
            marks->Mark(vertex_at(corner));
    if (count < 3) {
        // An empty slot, or a polygon with no area.
        std::fill_n(&PolygonNormalBounds[6 * static_cast<size_t>(polygon)], 6, 0.0f);
        std::fill_n(&PolygonNormals[3 * static_cast<size_t>(polygon)], 3, 0.0f);
        PolygonAreas[polygon] = 0;
        return;
    }
    // Scalars rather than small arrays, so that the loop stays in registers.
    float normal_x = 0, normal_y = 0, normal_z = 0;
    float low_x = INFINITY, low_y = INFINITY, low_z = INFINITY;
    float high_x = -INFINITY, high_y = -INFINITY, high_z = -INFINITY;
    float area = 0;
    const float* first = position(0);
    for (int32_t k = 0; k + 2 < count; k++) {
        float cross[3];
        CrossProduct(first, position(k + 1), position(k + 2), cross);
        const float squared_length = cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2];
        const float inverse = squared_length > 0 ? InverseLength(squared_length) : 0.0f;
        const float length = squared_length * inverse;
        area += 0.5f * length;
        normal_x += cross[0];
        normal_y += cross[1];
        normal_z += cross[2];
        const float scale = length > 1e-30f ? inverse : 1.0f;
        const float unit_x = cross[0] * scale, unit_y = cross[1] * scale, unit_z = cross[2] * scale;
        low_x = std::min(low_x, unit_x);
        low_y = std::min(low_y, unit_y);
        low_z = std::min(low_z, unit_z);
        high_x = std::max(high_x, unit_x);
        high_y = std::max(high_y, unit_y);
        high_z = std::max(high_z, unit_z);
    }
    float* bounds = &PolygonNormalBounds[6 * static_cast<size_t>(polygon)];
    bounds[0] = low_x, bounds[1] = low_y, bounds[2] = low_z;
    bounds[3] = high_x, bounds[4] = high_y, bounds[5] = high_z;
    float* normal = &PolygonNormals[3 * static_cast<size_t>(polygon)];
    const float squared_length = normal_x * normal_x + normal_y * normal_y + normal_z * normal_z;
    if (squared_length > 0) {
        const float inverse = InverseLength(squared_length);
        normal_x *= inverse;
        normal_y *= inverse;
        normal_z *= inverse;
    }
    normal[0] = normal_x, normal[1] = normal_y, normal[2] = normal_z;
    PolygonAreas[polygon] = area;
}

#if defined(__SSE2__)
namespace {

// x, y and z of four vertices, one vertex per lane.
inline void LoadLanes(const float* positions, const int32_t vertices[4], __m128 out[3])
{
    const float* a = positions + 3 * static_cast<size_t>(vertices[0]);
    const float* b = positions + 3 * static_cast<size_t>(vertices[1]);
    const float* c = positions + 3 * static_cast<size_t>(vertices[2]);
    const float* d = positions + 3 * static_cast<size_t>(vertices[3]);
    const __m128 ab = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(a)),
                                   reinterpret_cast<const __m64*>(b));
    const __m128 cd = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(c)),
                                   reinterpret_cast<const __m64*>(d));
    out[0] = _mm_shuffle_ps(ab, cd, _MM_SHUFFLE(2, 0, 2, 0));
    out[1] = _mm_shuffle_ps(ab, cd, _MM_SHUFFLE(3, 1, 3, 1));
    out[2] = _mm_setr_ps(a[2], b[2], c[2], d[2]);
}

// Lane i of x, y and z to out + 3i, for four consecutive triples.
inline void StoreTriples(__m128 x, __m128 y, __m128 z, float* out)
{
    __m128 w = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(x, y, z, w);
    // Each four-float store is overwritten in its fourth float by the next; the last stores three.
    _mm_storeu_ps(out, x);
    _mm_storeu_ps(out + 3, y);
    _mm_storeu_ps(out + 6, z);
    _mm_storel_pi(reinterpret_cast<__m64*>(out + 9), w);
    _mm_store_ss(out + 11, _mm_movehl_ps(w, w));
}

// (x² + y²) + z² lane by lane, summed in the scalar paths' order.
inline __m128 SquaredLengths(const __m128 axes[3])
{
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(axes[0], axes[0]), _mm_mul_ps(axes[1], axes[1])),
                      _mm_mul_ps(axes[2], axes[2]));
}

// InverseLength lane by lane, rounded the same way. Lanes below FLT_MIN need the exact root:
// out_exact tells whether there is none.
inline __m128 InverseLengths(__m128 squared_length, bool& out_exact)
{
    out_exact = _mm_movemask_ps(_mm_cmplt_ps(squared_length, _mm_set1_ps(FLT_MIN))) == 0;
    const __m128 estimate = _mm_rsqrt_ps(squared_length);
    const __m128 product =
        _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), squared_length), estimate), estimate);
    return _mm_mul_ps(estimate, _mm_sub_ps(_mm_set1_ps(1.5f), product));
}

} // namespace

// Four quads lane by lane, with the operations of PolygonNormalFromDisplayed in the same order so
// that both paths give the same normals, areas and bounds.
template <bool WeldedMesh>
bool TTarnwick_Mesh::QuadNormalsFromDisplayed(const int32_t polygons[4],
                                              const TTarnwick_MarkSet::TMarker* marks)
{
    const float* positions = DisplayedVertices.data();
    // corners[corner][axis] holds that coordinate of the corner in each of the four quads.
    __m128 corners[4][3];
    int32_t vertices[4][4];
    for (int32_t lane = 0; lane < 4; lane++) {
        const int32_t* quad_corners = CornerVertex.data() + PolygonStart[polygons[lane]];
        for (int32_t corner = 0; corner < 4; corner++) {
            int32_t vertex = quad_corners[corner];
            if (WeldedMesh && WeldMap[vertex] >= 0)
                vertex = WeldMap[vertex];
            vertices[corner][lane] = vertex;
        }
    }
    for (int32_t corner = 0; corner < 4; corner++)
        LoadLanes(positions, vertices[corner], corners[corner]);
    if (marks != nullptr) {
        const TTarnwick_MarkSet::TMarker marker = *marks;
        for (int32_t corner = 0; corner < 4; corner++)
            for (int32_t lane = 0; lane < 4; lane++)
                marker.Mark(vertices[corner][lane]);
    }
    const __m128 half = _mm_set1_ps(0.5f);
    __m128 normal[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    __m128 low[3], high[3];
    __m128 area = _mm_setzero_ps();
    for (int32_t axis = 0; axis < 3; axis++) {
        low[axis] = _mm_set1_ps(INFINITY);
        high[axis] = _mm_set1_ps(-INFINITY);
    }
    for (int32_t triangle = 0; triangle < 2; triangle++) {
        // (c - b) x (a - b) over the fan triangle (0, triangle + 1, triangle + 2).
        __m128 u[3], w[3];
        for (int32_t axis = 0; axis < 3; axis++) {
            u[axis] = _mm_sub_ps(corners[triangle + 2][axis], corners[triangle + 1][axis]);
            w[axis] = _mm_sub_ps(corners[0][axis], corners[triangle + 1][axis]);
        }
        const __m128 cross[3] = {
            _mm_sub_ps(_mm_mul_ps(u[1], w[2]), _mm_mul_ps(u[2], w[1])),
            _mm_sub_ps(_mm_mul_ps(u[2], w[0]), _mm_mul_ps(u[0], w[2])),
            _mm_sub_ps(_mm_mul_ps(u[0], w[1]), _mm_mul_ps(u[1], w[0])),
        };
        const __m128 squared_length = SquaredLengths(cross);
        bool exact = false;
        const __m128 inverse = InverseLengths(squared_length, exact);
        if (!exact)
            return false;
        area = _mm_add_ps(area, _mm_mul_ps(half, _mm_mul_ps(squared_length, inverse)));
        // Every lane is at least FLT_MIN long here, far above the 1e-30 below which a triangle's
        // normal is left unscaled.
        for (int32_t axis = 0; axis < 3; axis++) {
            normal[axis] = _mm_add_ps(normal[axis], cross[axis]);
            const __m128 unit = _mm_mul_ps(cross[axis], inverse);
            low[axis] = _mm_min_ps(unit, low[axis]);
            high[axis] = _mm_max_ps(unit, high[axis]);
        }
    }
    const __m128 squared_length = SquaredLengths(normal);
    bool exact = false;
    const __m128 inverse = InverseLengths(squared_length, exact);
    if (!exact)
        return false;
    for (int32_t axis = 0; axis < 3; axis++)
        normal[axis] = _mm_mul_ps(normal[axis], inverse);
    const int32_t first = polygons[0];
    if (polygons[1] == first + 1 && polygons[2] == first + 2 && polygons[3] == first + 3) {
        // Consecutive polygons, the common case of a sorted list: whole rows at once.
        const size_t polygon = static_cast<size_t>(first);
        StoreTriples(normal[0], normal[1], normal[2], &PolygonNormals[3 * polygon]);
        _mm_storeu_ps(&PolygonAreas[polygon], area);
        __m128 rows[4] = {low[0], low[1], low[2], high[0]};
        _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
        const __m128 tails[2] = {_mm_unpacklo_ps(high[1], high[2]), _mm_unpackhi_ps(high[1], high[2])};
        float* bounds = &PolygonNormalBounds[6 * polygon];
        for (int32_t lane = 0; lane < 4; lane++) {
            _mm_storeu_ps(bounds + 6 * lane, rows[lane]);
            if (lane % 2 == 0)
                _mm_storel_pi(reinterpret_cast<__m64*>(bounds + 6 * lane + 4), tails[lane / 2]);
            else
                _mm_storeh_pi(reinterpret_cast<__m64*>(bounds + 6 * lane + 4), tails[lane / 2]);
        }
        return true;
    }
    alignas(16) float out[10][4]; // normal, low, high, area
    for (int32_t axis = 0; axis < 3; axis++) {
        _mm_store_ps(out[axis], normal[axis]);
        _mm_store_ps(out[3 + axis], low[axis]);
        _mm_store_ps(out[6 + axis], high[axis]);
    }
    _mm_store_ps(out[9], area);
    for (int32_t lane = 0; lane < 4; lane++) {
        const size_t polygon = static_cast<size_t>(polygons[lane]);
        float* bounds = &PolygonNormalBounds[6 * polygon];
        float* polygon_normal = &PolygonNormals[3 * polygon];
        for (int32_t axis = 0; axis < 3; axis++) {
            polygon_normal[axis] = out[axis][lane];
            bounds[axis] = out[3 + axis][lane];
            bounds[3 + axis] = out[6 + axis][lane];
        }
        PolygonAreas[polygon] = out[9][lane];
    }
    return true;
}

template <bool WeldedMesh>
void TTarnwick_Mesh::PolygonNormalsInQuads(std::span<const int32_t> polygons,
                                           const TTarnwick_MarkSet::TMarker* marks)
{
    int32_t quads[4];
    int32_t quad_count = 0;
    for (int32_t polygon : polygons) {
        if (PolygonStart[polygon + 1] - PolygonStart[polygon] != 4) {
            PolygonNormalFromDisplayed(polygon, marks);
            continue;
        }
        quads[quad_count++] = polygon;
        if (quad_count < 4)
            continue;
        quad_count = 0;
        if (!QuadNormalsFromDisplayed<WeldedMesh>(quads, marks))
            for (int32_t quad : quads)
                PolygonNormalFromDisplayed(quad, nullptr);
    }
    for (int32_t i = 0; i < quad_count; i++)
        PolygonNormalFromDisplayed(quads[i], marks);
}
#endif

void TTarnwick_Mesh::PolygonNormalsFromDisplayed(std::span<const int32_t> polygons,
                                                 const TTarnwick_MarkSet::TMarker* marks)
{
#if defined(__SSE2__)
    if (Welded && !IgnoreWeld)
        PolygonNormalsInQuads<true>(polygons, marks);
    else
        PolygonNormalsInQuads<false>(polygons, marks);
#else
    for (int32_t polygon : polygons)
        PolygonNormalFromDisplayed(polygon, marks);
#endif
}

void TTarnwick_Mesh::ComputePolygonNormals(bool only_dirty)
{
    if (PolygonNormals.size() != 3 * static_cast<size_t>(PolygonCount) ||
        PolygonAreas.size() != static_cast<size_t>(PolygonCount) ||
        PolygonNormalBounds.size() != 6 * static_cast<size_t>(PolygonCount)) {
        // Sizes the arrays and computes polygon by polygon.
        TZAVPolyMesh::ComputePolygonNormals(false);
        return;
    }
    if (only_dirty && !DirtyPolygons.empty()) {
        PolygonNormalsFromDisplayed(DirtyPolygons, nullptr);
        return;
    }
    ForEachIndexBatch(PolygonCount,
                      [&](std::span<const int32_t> batch) { PolygonNormalsFromDisplayed(batch, nullptr); });
}

// The unit sum of the normals of the polygons around the vertex.
inline void TTarnwick_Mesh::VertexNormalFromPolygons(int32_t vertex)
{
    const int32_t first = VertexPolygonStart[vertex];
    const int32_t end = VertexPolygonStart[vertex + 1];
    if (first == end)
        return;
    const float* polygon_normals = PolygonNormals.data();
    float* out_normal = &Normals[3 * static_cast<size_t>(vertex)];
#if defined(__SSE2__)
    __m128 sum = _mm_setzero_ps();
    for (int32_t entry = first; entry < end; entry++)
        sum = _mm_add_ps(sum, LoadVector3(polygon_normals + 3 * static_cast<size_t>(VertexPolygons[entry])));
    const __m128 squares = _mm_mul_ps(sum, sum);
    const float squared_length = _mm_cvtss_f32(_mm_add_ss(
        _mm_add_ss(squares, _mm_shuffle_ps(squares, squares, 1)), _mm_movehl_ps(squares, squares)));
    const float inverse = squared_length > 0 ? InverseLength(squared_length) : 1.0f;
    const __m128 normal = _mm_mul_ps(sum, _mm_set1_ps(inverse));
    _mm_storel_pi(reinterpret_cast<__m64*>(out_normal), normal);
    _mm_store_ss(out_normal + 2, _mm_movehl_ps(normal, normal));
#else
    float normal_x = 0, normal_y = 0, normal_z = 0;
    for (int32_t entry = first; entry < end; entry++) {
        const float* polygon_normal = polygon_normals + 3 * static_cast<size_t>(VertexPolygons[entry]);
        normal_x += polygon_normal[0];
        normal_y += polygon_normal[1];
        normal_z += polygon_normal[2];
    }
    const float squared_length = normal_x * normal_x + normal_y * normal_y + normal_z * normal_z;
    const float inverse = squared_length > 0 ? InverseLength(squared_length) : 1.0f;
    out_normal[0] = normal_x * inverse;
    out_normal[1] = normal_y * inverse;
    out_normal[2] = normal_z * inverse;
#endif
}

// Four vertices at a time when each has four polygons (most of a quad mesh), with the operations of
// VertexNormalFromPolygons in the same order; other vertices one by one.
void TTarnwick_Mesh::VertexNormalsFromPolygons(std::span<const int32_t> vertices)
{
    size_t next = 0;
#if defined(__SSE2__)
    const int32_t* starts = VertexPolygonStart.data();
    const int32_t* vertex_polygons = VertexPolygons.data();
    const float* polygon_normals = PolygonNormals.data();
    while (next + 4 <= vertices.size()) {
        const int32_t* group = vertices.data() + next;
        int32_t firsts[4];
        bool four_each = true;
        for (int32_t lane = 0; lane < 4; lane++) {
            firsts[lane] = starts[group[lane]];
            four_each &= starts[group[lane] + 1] - firsts[lane] == 4;
        }
        if (!four_each) {
            VertexNormalFromPolygons(group[0]);
            next++;
            continue;
        }
        __m128 sum[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
        for (int32_t entry = 0; entry < 4; entry++) {
            int32_t polygons[4];
            for (int32_t lane = 0; lane < 4; lane++)
                polygons[lane] = vertex_polygons[firsts[lane] + entry];
            __m128 normal[3];
            LoadLanes(polygon_normals, polygons, normal);
            for (int32_t axis = 0; axis < 3; axis++)
                sum[axis] = _mm_add_ps(sum[axis], normal[axis]);
        }
        const __m128 squared_length = SquaredLengths(sum);
        // A lane below FLT_MIN (an empty sum among them) takes the scalar path's exact root.
        bool exact = false;
        const __m128 inverse = InverseLengths(squared_length, exact);
        if (!exact) {
            for (int32_t lane = 0; lane < 4; lane++)
                VertexNormalFromPolygons(group[lane]);
            next += 4;
            continue;
        }
        for (int32_t axis = 0; axis < 3; axis++)
            sum[axis] = _mm_mul_ps(sum[axis], inverse);
        if (group[1] == group[0] + 1 && group[2] == group[0] + 2 && group[3] == group[0] + 3) {
            StoreTriples(sum[0], sum[1], sum[2], &Normals[3 * static_cast<size_t>(group[0])]);
        } else {
            alignas(16) float out[3][4];
            for (int32_t axis = 0; axis < 3; axis++)
                _mm_store_ps(out[axis], sum[axis]);
            for (int32_t lane = 0; lane < 4; lane++)
                for (int32_t axis = 0; axis < 3; axis++)
                    Normals[3 * static_cast<size_t>(group[lane]) + axis] = out[axis][lane];
        }
        next += 4;
    }
#endif
    for (; next < vertices.size(); next++)
        VertexNormalFromPolygons(vertices[next]);
}

void TTarnwick_Mesh::ComputeVertexNormal(int32_t vertex)
{
    VertexNormalFromPolygons(vertex);
}

void TTarnwick_Mesh::ComputeVertexNormals(bool only_dirty)
{
    if (Normals.size() != 3 * static_cast<size_t>(VertexCount) || NormalCount != VertexCount) {
        // Makes the normals follow the vertices and computes vertex by vertex.
        TZAVPolyMesh::ComputeVertexNormals(false);
        return;
    }
    if (only_dirty && !DirtyVertices.empty()) {
        VertexNormalsFromPolygons(DirtyVertices);
        return;
    }
    ForEachIndexBatch(VertexCount, [&](std::span<const int32_t> batch) { VertexNormalsFromPolygons(batch); });
}

void TTarnwick_Mesh::ComputeNormals(bool only_dirty)
{
    if (DisplayedVertices.size() != Vertices.size())
        DisplayedVertices = Vertices;
    ComputePolygonNormals(only_dirty);
    ComputeVertexNormals(only_dirty);
}

// [SECTION] Displayed positions

bool TTarnwick_Mesh::MorphNotInUse_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* mesh = static_cast<TTarnwick_Mesh*>(data);
    for (TTarnwick_Thingy* item : group->List) {
        auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
        if (morph != nullptr && morph != mesh->TempMorph2 && morph != mesh->CurrentMorph)
            morph->PageOut();
    }
    return true;
}

bool TTarnwick_Mesh::ResolveVertices_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* mesh = static_cast<TTarnwick_Mesh*>(data);
    for (TTarnwick_Thingy* item : group->List) {
        auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
        if (morph == nullptr || morph == mesh->TempMorph2)
            continue;
        if (std::fabs(morph->Strength) < NegligibleStrength && morph != mesh->CurrentMorph) {
            morph->PageOut();
            continue;
        }
        morph->PageIn();
        morph->AddToVertices(mesh->DisplayedVertices, morph->Strength);
    }
    return true;
}

void TTarnwick_Mesh::ResolveVertices()
{
    DisplayedVertices = Vertices;
    DropOctree();
    if (MixMorphs) {
        TTarnwick_TreeGroup::Walk(MorphTree.get(), 0, ResolveVertices_OnVisitMorph, this, false);
        return;
    }
    TTarnwick_TreeGroup::Walk(MorphTree.get(), 0, MorphNotInUse_OnVisitMorph, this, false);
    if (CurrentMorph != nullptr)
        CurrentMorph->AddToVertices(DisplayedVertices, 1.0f);
    if (TempMorph != nullptr)
        TempMorph->AddToVertices(DisplayedVertices, 1.0f);
}

void TTarnwick_Mesh::UpdateVertices(std::span<const int32_t> changed_vertices)
{
    if (DisplayedVertices.size() != Vertices.size()) {
        ResolveVertices();
        ComputeNormals(false);
        return;
    }
    auto check = [&](int32_t vertex) {
        if (static_cast<uint32_t>(vertex) >= static_cast<uint32_t>(VertexCount))
            ReportError("Vertex %d of %d in TTarnwick_Mesh::UpdateVertices()", vertex, VertexCount);
    };
    DropOctree();
    PolygonMarks.Resize(PolygonCount);
    VertexMarks.Resize(VertexCount);

    // Positions of the changed vertices from scratch: base, then the morphs in use.
    float* positions = DisplayedVertices.data();
    auto expanded = [&](const TTarnwick_Morph* morph) {
        return morph != nullptr && !morph->IsCompressed() && morph->vcount >= VertexCount;
    };
    if (!MixMorphs && expanded(CurrentMorph) && expanded(TempMorph)) {
        // A stroke's usual case in one pass, in the order of the general path below; a vertex
        // named twice is simply computed twice.
        const float* current = CurrentMorph->vertices();
        const float* temporary = TempMorph->vertices();
        for (int32_t vertex : changed_vertices) {
            check(vertex);
            const size_t offset = 3 * static_cast<size_t>(vertex);
            for (size_t k = offset; k < offset + 3; k++)
                positions[k] = (Vertices[k] + current[k]) + temporary[k];
        }
    } else {
        // The morphs are added vertex list by vertex list, so each vertex must come once.
        for (int32_t vertex : changed_vertices)
            check(vertex);
        const TTarnwick_MarkSet::TMarker marker = VertexMarks.Marker();
        for (int32_t vertex : changed_vertices)
            marker.Mark(vertex);
        VertexMarks.Take(ChangedVertices);
        changed_vertices = ChangedVertices;
        for (int32_t vertex : changed_vertices)
            std::copy_n(&Vertices[3 * static_cast<size_t>(vertex)], 3,
                        positions + 3 * static_cast<size_t>(vertex));
        if (MixMorphs) {
            ForEachMorph(MorphTree.get(), [&](TTarnwick_Morph* morph) {
                if (morph == TempMorph2)
                    return;
                if (std::fabs(morph->Strength) < NegligibleStrength && morph != CurrentMorph)
                    return;
                AddMorphAt(morph, morph->Strength, changed_vertices, positions);
            });
        } else {
            AddMorphAt(CurrentMorph, 1.0f, changed_vertices, positions);
            AddMorphAt(TempMorph, 1.0f, changed_vertices, positions);
        }
    }

    if (PolygonNormals.size() != 3 * static_cast<size_t>(PolygonCount) ||
        Normals.size() != 3 * static_cast<size_t>(VertexCount)) {
        ComputeNormals(false);
        return;
    }

    // The polygons around the changed vertices, then the vertices of those polygons (marked by the
    // polygon normal pass), each listed once and in ascending order, so that the normal passes
    // walk memory forwards.
    const int32_t* vertex_polygon_start = VertexPolygonStart.data();
    const int32_t* vertex_polygons = VertexPolygons.data();
    const TTarnwick_MarkSet::TMarker polygon_marker = PolygonMarks.Marker();
    // Consecutive vertices have their polygon lists side by side: one flat loop per run of them.
    const size_t changed_count = changed_vertices.size();
    for (size_t next = 0; next < changed_count;) {
        const int32_t first = changed_vertices[next];
        int32_t end_vertex = first + 1;
        for (next++; next < changed_count && changed_vertices[next] == end_vertex; next++)
            end_vertex++;
        const int32_t end = vertex_polygon_start[end_vertex];
        for (int32_t entry = vertex_polygon_start[first]; entry < end; entry++)
            polygon_marker.Mark(vertex_polygons[entry]);
    }
    PolygonMarks.Take(DirtyPolygons);
    PolygonNormalBounds.resize(6 * static_cast<size_t>(PolygonCount));
    const TTarnwick_MarkSet::TMarker vertex_marker = VertexMarks.Marker();
    PolygonNormalsFromDisplayed(DirtyPolygons, &vertex_marker);
    VertexMarks.Take(DirtyVertices);
    VertexNormalsFromPolygons(DirtyVertices);
}

void TTarnwick_Mesh::GetVertex(int32_t vertex, float out_position[3]) const
{
    std::copy_n(&DisplayedVertices[3 * static_cast<size_t>(vertex)], 3, out_position);
}

// [SECTION] Octree and symmetry

void TTarnwick_Mesh::BuildOctree()
{
    auto octree = std::make_unique<TZAVOctree>();
    TZAVOctree::TBuildInput input;
    input.Mesh = this;
    input.Positions = DisplayedVertices;
    input.NormalBounds = PolygonNormalBounds;
    input.Levels = OctreeLevels;
    input.PolygonsPerLeaf = std::max(1, PolygonCount / OctreeLeafDivisor);
    octree->Build(input);
    Octree = std::move(octree);
}

void TTarnwick_Mesh::BuildMirrorTables(int32_t precision)
{
    MirrorTables.Build(Vertices, SymmetryAxis, precision, VertexFlags);
}

TTarnwick_MirrorTables::TContext TTarnwick_Mesh::MirrorContext() const
{
    TTarnwick_MirrorTables::TContext context;
    context.BasePositions = Vertices;
    context.VertexFlags = VertexFlags;
    context.Axis = SymmetryAxis;
    return context;
}

std::vector<int32_t> TTarnwick_Mesh::AllVertices() const
{
    std::vector<int32_t> vertices(VertexCount);
    std::iota(vertices.begin(), vertices.end(), 0);
    return vertices;
}

void TTarnwick_Mesh::MirrorDisplacements(std::span<float> displacements, TTarnwick_MirrorDirection direction,
                                         std::span<const int32_t> vertices) const
{
    MirrorTables.CopyDisplacements(displacements, direction, vertices, MirrorContext());
}

// The morph is worked on expanded and keeps its form.
template <typename TOperation> void TTarnwick_Mesh::WithCurrentMorphExpanded(TOperation operation)
{
    if (CurrentMorph == nullptr || CurrentMorph->vcount != VertexCount || VertexCount == 0)
        return;
    const bool was_compressed = CurrentMorph->IsCompressed();
    CurrentMorph->Expand();
    operation(std::span<float>(CurrentMorph->vertices(), 3 * static_cast<size_t>(VertexCount)));
    if (was_compressed)
        CurrentMorph->Compress();
}

void TTarnwick_Mesh::MirrorCurrentMorph(TTarnwick_MirrorDirection direction,
                                        std::span<const int32_t> vertices)
{
    WithCurrentMorphExpanded(
        [&](std::span<float> values) { MirrorDisplacements(values, direction, vertices); });
}

void TTarnwick_Mesh::MirrorCurrentMorph(TTarnwick_MirrorDirection direction)
{
    MirrorCurrentMorph(direction, AllVertices());
}

void TTarnwick_Mesh::ExchangeCurrentMorphSides(std::span<const int32_t> vertices)
{
    WithCurrentMorphExpanded([&](std::span<float> values) {
        MirrorTables.ExchangeDisplacements(values, vertices, MirrorContext());
    });
}

void TTarnwick_Mesh::ExchangeCurrentMorphSides()
{
    ExchangeCurrentMorphSides(AllVertices());
}

void TTarnwick_Mesh::MirrorCurrentSelection(TTarnwick_MirrorDirection direction,
                                            std::span<const int32_t> vertices)
{
    if (CurrentSelection == nullptr || CurrentSelection->vcount != VertexCount || VertexCount == 0)
        return;
    const bool was_compressed = CurrentSelection->IsCompressed();
    CurrentSelection->Expand();
    MirrorTables.CopyWeights(std::span<float>(CurrentSelection->vselect(), VertexCount), direction, vertices,
                             MirrorContext());
    if (was_compressed)
        CurrentSelection->Compress();
}
