// Normals: the fast square root, the base mesh's table-rounded passes, the SSE lane helpers and
// the sculpt mesh's passes (one polygon or vertex at a time, four at a time, and the incremental
// refresh around changed vertices).
//
// Every path does its rounding's operations in the same order (fan triangles in corner order,
// (x² + y²) + z², the same root), so that one at a time, four at a time and the incremental
// refresh give the same bits: a mesh must look the same however its normals were brought up to
// date, and the tests compare the paths bit for bit.
//
// [SECTION] Fast square root
// [SECTION] Lane helpers
// [SECTION] Base mesh
// [SECTION] Sculpt mesh, one at a time
// [SECTION] Sculpt mesh, four at a time
// [SECTION] Sculpt mesh passes and the incremental refresh
#include "mesh/normals.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <numeric>

// Every x86-64 compiler defines it; nothing here needs more than SSE2.
#if !defined(__SSE2__)
#error "mesh/normals.cpp needs SSE2"
#endif
#include <emmintrin.h>

// [SECTION] Fast square root

namespace {

constexpr int32_t SquareRootTableSize = 10000;
constexpr float SquareRootStep = 0.002f;

struct TSquareRootTable
{
    float Entries[SquareRootTableSize];
    int32_t LowerBound = 0;

    TSquareRootTable()
    {
        for (int32_t i = 0; i < SquareRootTableSize; i++)
            Entries[i] = std::sqrt(static_cast<float>(i) * SquareRootStep);
        // Below this index the table's rounding error is too large; those roots are exact.
        for (int32_t i = 1; i < SquareRootTableSize; i++) {
            double exact = std::sqrt((i + 0.5) * SquareRootStep);
            if (std::fabs(exact - Entries[i]) / (exact + Entries[i]) < 0.001) {
                LowerBound = i;
                break;
            }
        }
    }
};

const TSquareRootTable square_root_table;

// FastSquareRoot, here where the normal loops can inline it.
inline float TableSquareRoot(float value)
{
    const float scaled = value * 500.0f + 0.5f;
    if (!(scaled < static_cast<float>(SquareRootTableSize)) || scaled < 0.0f)
        return std::sqrt(value);
    const int32_t index = static_cast<int32_t>(scaled);
    if (index >= square_root_table.LowerBound)
        return square_root_table.Entries[index];
    return std::sqrt(value);
}

// (c - b) x (a - b): the fan triangle (a, b, c) of both roundings.
inline void CrossProduct(const float* a, const float* b, const float* c, float out[3])
{
    const float u[3] = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
    const float w[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    out[0] = u[1] * w[2] - u[2] * w[1];
    out[1] = u[2] * w[0] - u[0] * w[2];
    out[2] = u[0] * w[1] - u[1] * w[0];
}

inline void TableNormalise(float* vector)
{
    float length = TableSquareRoot(vector[0] * vector[0] + vector[1] * vector[1] + vector[2] * vector[2]);
    if (length > 0) {
        // One division instead of three: a load of a large figure normalises millions of these.
        const float inverse = 1.0f / length;
        vector[0] *= inverse;
        vector[1] *= inverse;
        vector[2] *= inverse;
    }
}

// The vertex a corner stands for through the weld map.
inline int32_t CornerTarget(const TNormalInput& input, int32_t vertex)
{
    return input.WeldMap.empty() || input.WeldMap[vertex] < 0 ? vertex : input.WeldMap[vertex];
}

} // namespace

float FastSquareRoot(float value)
{
    return TableSquareRoot(value);
}

// [SECTION] Lane helpers

namespace {

// 1 / sqrt(value) for value > 0: the hardware estimate refined by one Newton step (about 23 bits),
// which costs a fraction of a square root and a division; normals are refreshed by the thousand
// during a stroke.
inline float InverseLength(float squared_length)
{
    if (squared_length >= FLT_MIN) {
        const float estimate = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(squared_length)));
        return estimate * (1.5f - 0.5f * squared_length * estimate * estimate);
    }
    return 1.0f / std::sqrt(squared_length);
}

// x, y, z as one vector with w = 0: an 8-byte and a 4-byte load, never a read past the third float.
inline __m128 LoadVector3(const float* values)
{
    return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(values)),
                         _mm_load_ss(values + 2));
}

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

// Lane i of x, y and z to out + 3 indices[i].
inline void ScatterTriples(__m128 x, __m128 y, __m128 z, const int32_t indices[4], float* out)
{
    if (indices[1] == indices[0] + 1 && indices[2] == indices[0] + 2 && indices[3] == indices[0] + 3) {
        StoreTriples(x, y, z, out + 3 * static_cast<size_t>(indices[0]));
        return;
    }
    alignas(16) float lanes[3][4];
    _mm_store_ps(lanes[0], x);
    _mm_store_ps(lanes[1], y);
    _mm_store_ps(lanes[2], z);
    for (int32_t lane = 0; lane < 4; lane++)
        for (int32_t axis = 0; axis < 3; axis++)
            out[3 * static_cast<size_t>(indices[lane]) + axis] = lanes[axis][lane];
}

// (x² + y²) + z² lane by lane.
inline __m128 SquaredLengths(const __m128 axes[3])
{
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(axes[0], axes[0]), _mm_mul_ps(axes[1], axes[1])),
                      _mm_mul_ps(axes[2], axes[2]));
}

// InverseLength lane by lane. Lanes below FLT_MIN need the exact root: out_exact tells whether
// there is none.
inline __m128 InverseLengths(__m128 squared_length, bool& out_exact)
{
    out_exact = _mm_movemask_ps(_mm_cmplt_ps(squared_length, _mm_set1_ps(FLT_MIN))) == 0;
    const __m128 estimate = _mm_rsqrt_ps(squared_length);
    const __m128 product =
        _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), squared_length), estimate), estimate);
    return _mm_mul_ps(estimate, _mm_sub_ps(_mm_set1_ps(1.5f), product));
}

inline __m128 Select(__m128 mask, __m128 if_set, __m128 otherwise)
{
    return _mm_or_ps(_mm_and_ps(mask, if_set), _mm_andnot_ps(mask, otherwise));
}

// TableSquareRoot lane by lane; lanes outside the table's good range, and NaN, take the exact root.
inline __m128 TableSquareRoots(__m128 values)
{
    const __m128 scaled = _mm_add_ps(_mm_mul_ps(values, _mm_set1_ps(500.0f)), _mm_set1_ps(0.5f));
    const __m128 in_table =
        _mm_and_ps(_mm_cmplt_ps(scaled, _mm_set1_ps(static_cast<float>(SquareRootTableSize))),
                   _mm_cmpnlt_ps(scaled, _mm_setzero_ps()));
    const __m128i index = _mm_and_si128(_mm_cvttps_epi32(scaled), _mm_castps_si128(in_table));
    const __m128 from_table = _mm_and_ps(
        in_table, _mm_castsi128_ps(_mm_cmpgt_epi32(index, _mm_set1_epi32(square_root_table.LowerBound - 1))));
    alignas(16) int32_t indices[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(indices), index);
    const float* entries = square_root_table.Entries;
    const __m128 table =
        _mm_setr_ps(entries[indices[0]], entries[indices[1]], entries[indices[2]], entries[indices[3]]);
    return Select(from_table, table, _mm_sqrt_ps(values));
}

// TableNormalise lane by lane: a lane of length 0 stays as it is.
inline void TableNormaliseLanes(__m128 axes[3])
{
    const __m128 length = TableSquareRoots(SquaredLengths(axes));
    const __m128 positive = _mm_cmpgt_ps(length, _mm_setzero_ps());
    const __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), length);
    for (int32_t axis = 0; axis < 3; axis++)
        axes[axis] = Select(positive, _mm_mul_ps(axes[axis], inverse), axes[axis]);
}

// The welded corner vertices of four quads, vertices[corner][lane].
template <bool WeldedMesh>
inline void GatherQuadVertices(const TNormalInput& input, const int32_t polygons[4],
                               int32_t out_vertices[4][4])
{
    for (int32_t lane = 0; lane < 4; lane++) {
        const int32_t* quad_corners = input.CornerVertex.data() + input.PolygonStart[polygons[lane]];
        for (int32_t corner = 0; corner < 4; corner++) {
            int32_t vertex = quad_corners[corner];
            if (WeldedMesh && input.WeldMap[vertex] >= 0)
                vertex = input.WeldMap[vertex];
            out_vertices[corner][lane] = vertex;
        }
    }
}

// The positions of the corners of four quads: corners[corner][axis] holds that coordinate of the
// corner in each of the four quads.
inline void LoadQuadCorners(const TNormalInput& input, const int32_t vertices[4][4], __m128 out_corners[4][3])
{
    for (int32_t corner = 0; corner < 4; corner++)
        LoadLanes(input.Positions.data(), vertices[corner], out_corners[corner]);
}

// (c - b) x (a - b) over the fan triangle (0, triangle + 1, triangle + 2) of four quads.
inline void FanCrossLanes(const __m128 corners[4][3], int32_t triangle, __m128 out_cross[3])
{
    __m128 u[3], w[3];
    for (int32_t axis = 0; axis < 3; axis++) {
        u[axis] = _mm_sub_ps(corners[triangle + 2][axis], corners[triangle + 1][axis]);
        w[axis] = _mm_sub_ps(corners[0][axis], corners[triangle + 1][axis]);
    }
    out_cross[0] = _mm_sub_ps(_mm_mul_ps(u[1], w[2]), _mm_mul_ps(u[2], w[1]));
    out_cross[1] = _mm_sub_ps(_mm_mul_ps(u[2], w[0]), _mm_mul_ps(u[0], w[2]));
    out_cross[2] = _mm_sub_ps(_mm_mul_ps(u[0], w[1]), _mm_mul_ps(u[1], w[0]));
}

// The sums of the normals of the four polygons around each of four vertices.
inline void SumFourPolygonNormals(const TNormalInput& input, const TNormalOutput& output,
                                  const int32_t vertices[4], __m128 out_sum[3])
{
    int32_t firsts[4];
    for (int32_t lane = 0; lane < 4; lane++)
        firsts[lane] = input.VertexPolygonStart[vertices[lane]];
    for (int32_t axis = 0; axis < 3; axis++)
        out_sum[axis] = _mm_setzero_ps();
    for (int32_t entry = 0; entry < 4; entry++) {
        int32_t polygons[4];
        for (int32_t lane = 0; lane < 4; lane++)
            polygons[lane] = input.VertexPolygons[firsts[lane] + entry];
        __m128 normal[3];
        LoadLanes(output.PolygonNormals.data(), polygons, normal);
        for (int32_t axis = 0; axis < 3; axis++)
            out_sum[axis] = _mm_add_ps(out_sum[axis], normal[axis]);
    }
}

// Whether each of the four vertices lies on exactly four polygons (most of a quad mesh).
inline bool HasFourPolygonsEach(const TNormalInput& input, const int32_t vertices[4])
{
    const int32_t* starts = input.VertexPolygonStart.data();
    bool four_each = true;
    for (int32_t lane = 0; lane < 4; lane++)
        four_each &= starts[vertices[lane] + 1] - starts[vertices[lane]] == 4;
    return four_each;
}

} // namespace

// [SECTION] Base mesh

void ComputeTablePolygonNormal(const TNormalInput& input, const TNormalOutput& output, int32_t polygon)
{
    const int32_t start = input.PolygonStart[polygon];
    const int32_t count = input.PolygonStart[polygon + 1] - start;
    const float* positions = input.Positions.data();
    auto position = [&](int32_t corner) {
        return positions + 3 * static_cast<size_t>(CornerTarget(input, input.CornerVertex[start + corner]));
    };
    float normal[3] = {0, 0, 0};
    float area = 0;
    if (count >= 3) {
        const float* a = position(0);
        for (int32_t k = 0; k + 2 < count; k++) {
            float cross[3];
            CrossProduct(a, position(k + 1), position(k + 2), cross);
            normal[0] += cross[0];
            normal[1] += cross[1];
            normal[2] += cross[2];
            area += 0.5f * TableSquareRoot(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
        }
        TableNormalise(normal);
    }
    std::copy_n(normal, 3, &output.PolygonNormals[3 * static_cast<size_t>(polygon)]);
    output.PolygonAreas[polygon] = area;
}

namespace {

// Four quads lane by lane.
template <bool WeldedMesh>
void ComputeTableQuadNormals(const TNormalInput& input, const TNormalOutput& output,
                             const int32_t polygons[4])
{
    int32_t vertices[4][4];
    GatherQuadVertices<WeldedMesh>(input, polygons, vertices);
    __m128 corners[4][3];
    LoadQuadCorners(input, vertices, corners);
    const __m128 half = _mm_set1_ps(0.5f);
    __m128 normal[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    __m128 area = _mm_setzero_ps();
    for (int32_t triangle = 0; triangle < 2; triangle++) {
        __m128 cross[3];
        FanCrossLanes(corners, triangle, cross);
        for (int32_t axis = 0; axis < 3; axis++)
            normal[axis] = _mm_add_ps(normal[axis], cross[axis]);
        area = _mm_add_ps(area, _mm_mul_ps(half, TableSquareRoots(SquaredLengths(cross))));
    }
    TableNormaliseLanes(normal);
    ScatterTriples(normal[0], normal[1], normal[2], polygons, output.PolygonNormals.data());
    alignas(16) float areas[4];
    _mm_store_ps(areas, area);
    for (int32_t lane = 0; lane < 4; lane++)
        output.PolygonAreas[polygons[lane]] = areas[lane];
}

// Quads four at a time, other polygons one by one.
template <bool WeldedMesh>
void ComputeTablePolygonNormalsInQuads(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                       int32_t end)
{
    int32_t quads[4];
    int32_t quad_count = 0;
    for (int32_t polygon = first; polygon < end; polygon++) {
        if (input.PolygonStart[polygon + 1] - input.PolygonStart[polygon] != 4) {
            ComputeTablePolygonNormal(input, output, polygon);
            continue;
        }
        quads[quad_count++] = polygon;
        if (quad_count < 4)
            continue;
        quad_count = 0;
        ComputeTableQuadNormals<WeldedMesh>(input, output, quads);
    }
    for (int32_t i = 0; i < quad_count; i++)
        ComputeTablePolygonNormal(input, output, quads[i]);
}

} // namespace

void ComputeTablePolygonNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                int32_t end)
{
    if (!input.WeldMap.empty())
        ComputeTablePolygonNormalsInQuads<true>(input, output, first, end);
    else
        ComputeTablePolygonNormalsInQuads<false>(input, output, first, end);
}

void ComputeTableVertexNormal(const TNormalInput& input, const TNormalOutput& output, int32_t vertex)
{
    if (input.VertexPolygonStart.empty())
        return;
    const int32_t first = input.VertexPolygonStart[vertex];
    const int32_t end = input.VertexPolygonStart[vertex + 1];
    if (first == end)
        return;
    float normal[3] = {0, 0, 0};
    for (int32_t entry = first; entry < end; entry++) {
        const float* polygon_normal =
            &output.PolygonNormals[3 * static_cast<size_t>(input.VertexPolygons[entry])];
        normal[0] += polygon_normal[0];
        normal[1] += polygon_normal[1];
        normal[2] += polygon_normal[2];
    }
    TableNormalise(normal);
    std::copy_n(normal, 3, &output.Normals[3 * static_cast<size_t>(vertex)]);
}

// Four vertices of four polygons each lane by lane, other vertices one by one.
void ComputeTableVertexNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                               int32_t end)
{
    if (input.VertexPolygonStart.empty())
        return;
    int32_t vertex = first;
    while (vertex + 4 <= end) {
        const int32_t group[4] = {vertex, vertex + 1, vertex + 2, vertex + 3};
        if (!HasFourPolygonsEach(input, group)) {
            ComputeTableVertexNormal(input, output, vertex);
            vertex++;
            continue;
        }
        __m128 sum[3];
        SumFourPolygonNormals(input, output, group, sum);
        TableNormaliseLanes(sum);
        StoreTriples(sum[0], sum[1], sum[2], &output.Normals[3 * static_cast<size_t>(vertex)]);
        vertex += 4;
    }
    for (; vertex < end; vertex++)
        ComputeTableVertexNormal(input, output, vertex);
}

// [SECTION] Sculpt mesh, one at a time

// Fan over the first corner: the summed cross products give the normal, half their lengths the
// area, and each triangle's unit normal widens the bounds.
void ComputeSculptPolygonNormal(const TNormalInput& input, const TNormalOutput& output, int32_t polygon,
                                const TTarnwick_MarkSet::TMarker* marks)
{
    const int32_t start = input.PolygonStart[polygon];
    const int32_t count = input.PolygonStart[polygon + 1] - start;
    const int32_t* corners = input.CornerVertex.data() + start;
    const float* positions = input.Positions.data();
    auto vertex_at = [&](int32_t corner) { return CornerTarget(input, corners[corner]); };
    auto position = [&](int32_t corner) {
        assert(3 * static_cast<size_t>(vertex_at(corner)) < input.Positions.size());
        return positions + 3 * static_cast<size_t>(vertex_at(corner));
    };
    if (marks != nullptr)
        for (int32_t corner = 0; corner < count; corner++)
            marks->Mark(vertex_at(corner));
    float* bounds = &output.NormalBounds[6 * static_cast<size_t>(polygon)];
    float* normal = &output.PolygonNormals[3 * static_cast<size_t>(polygon)];
    if (count < 3) {
        // An empty slot, or a polygon with no area.
        std::fill_n(bounds, 6, 0.0f);
        std::fill_n(normal, 3, 0.0f);
        output.PolygonAreas[polygon] = 0;
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
    bounds[0] = low_x, bounds[1] = low_y, bounds[2] = low_z;
    bounds[3] = high_x, bounds[4] = high_y, bounds[5] = high_z;
    const float squared_length = normal_x * normal_x + normal_y * normal_y + normal_z * normal_z;
    if (squared_length > 0) {
        const float inverse = InverseLength(squared_length);
        normal_x *= inverse;
        normal_y *= inverse;
        normal_z *= inverse;
    }
    normal[0] = normal_x, normal[1] = normal_y, normal[2] = normal_z;
    output.PolygonAreas[polygon] = area;
}

namespace {

// The unit sum of the normals of the polygons around the vertex, here where the passes inline it.
inline void SculptVertexNormal(const TNormalInput& input, const TNormalOutput& output, int32_t vertex)
{
    const int32_t first = input.VertexPolygonStart[vertex];
    const int32_t end = input.VertexPolygonStart[vertex + 1];
    if (first == end)
        return;
    const float* polygon_normals = output.PolygonNormals.data();
    float* out_normal = &output.Normals[3 * static_cast<size_t>(vertex)];
    __m128 sum = _mm_setzero_ps();
    for (int32_t entry = first; entry < end; entry++)
        sum = _mm_add_ps(sum,
                         LoadVector3(polygon_normals + 3 * static_cast<size_t>(input.VertexPolygons[entry])));
    const __m128 squares = _mm_mul_ps(sum, sum);
    const float squared_length = _mm_cvtss_f32(_mm_add_ss(
        _mm_add_ss(squares, _mm_shuffle_ps(squares, squares, 1)), _mm_movehl_ps(squares, squares)));
    const float inverse = squared_length > 0 ? InverseLength(squared_length) : 1.0f;
    const __m128 normal = _mm_mul_ps(sum, _mm_set1_ps(inverse));
    _mm_storel_pi(reinterpret_cast<__m64*>(out_normal), normal);
    _mm_store_ss(out_normal + 2, _mm_movehl_ps(normal, normal));
}

} // namespace

void ComputeSculptVertexNormal(const TNormalInput& input, const TNormalOutput& output, int32_t vertex)
{
    SculptVertexNormal(input, output, vertex);
}

// [SECTION] Sculpt mesh, four at a time

namespace {

// The results of four quads, one quad per lane.
struct TQuadLanes
{
    __m128 Normal[3];
    __m128 Low[3];
    __m128 High[3];
    __m128 Area;
};

// The two fan triangles and the normalised sum of four quads. False when a lane needs the scalar
// path's exact root (a tiny or empty triangle).
inline bool QuadLanesFromCorners(const __m128 corners[4][3], TQuadLanes& out)
{
    const __m128 half = _mm_set1_ps(0.5f);
    out.Area = _mm_setzero_ps();
    for (int32_t axis = 0; axis < 3; axis++) {
        out.Normal[axis] = _mm_setzero_ps();
        out.Low[axis] = _mm_set1_ps(INFINITY);
        out.High[axis] = _mm_set1_ps(-INFINITY);
    }
    for (int32_t triangle = 0; triangle < 2; triangle++) {
        __m128 cross[3];
        FanCrossLanes(corners, triangle, cross);
        const __m128 squared_length = SquaredLengths(cross);
        bool exact = false;
        const __m128 inverse = InverseLengths(squared_length, exact);
        if (!exact)
            return false;
        out.Area = _mm_add_ps(out.Area, _mm_mul_ps(half, _mm_mul_ps(squared_length, inverse)));
        // Every lane is at least FLT_MIN long here, far above the 1e-30 below which a triangle's
        // normal is left unscaled.
        for (int32_t axis = 0; axis < 3; axis++) {
            out.Normal[axis] = _mm_add_ps(out.Normal[axis], cross[axis]);
            const __m128 unit = _mm_mul_ps(cross[axis], inverse);
            out.Low[axis] = _mm_min_ps(unit, out.Low[axis]);
            out.High[axis] = _mm_max_ps(unit, out.High[axis]);
        }
    }
    const __m128 squared_length = SquaredLengths(out.Normal);
    bool exact = false;
    const __m128 inverse = InverseLengths(squared_length, exact);
    if (!exact)
        return false;
    for (int32_t axis = 0; axis < 3; axis++)
        out.Normal[axis] = _mm_mul_ps(out.Normal[axis], inverse);
    return true;
}

inline void StoreQuadLanes(const TQuadLanes& lanes, const int32_t polygons[4], const TNormalOutput& output)
{
    const int32_t first = polygons[0];
    if (polygons[1] == first + 1 && polygons[2] == first + 2 && polygons[3] == first + 3) {
        // Consecutive polygons, the common case of a sorted list: whole rows at once.
        const size_t polygon = static_cast<size_t>(first);
        StoreTriples(lanes.Normal[0], lanes.Normal[1], lanes.Normal[2], &output.PolygonNormals[3 * polygon]);
        _mm_storeu_ps(&output.PolygonAreas[polygon], lanes.Area);
        __m128 rows[4] = {lanes.Low[0], lanes.Low[1], lanes.Low[2], lanes.High[0]};
        _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
        const __m128 tails[2] = {_mm_unpacklo_ps(lanes.High[1], lanes.High[2]),
                                 _mm_unpackhi_ps(lanes.High[1], lanes.High[2])};
        float* bounds = &output.NormalBounds[6 * polygon];
        for (int32_t lane = 0; lane < 4; lane++) {
            _mm_storeu_ps(bounds + 6 * lane, rows[lane]);
            if (lane % 2 == 0)
                _mm_storel_pi(reinterpret_cast<__m64*>(bounds + 6 * lane + 4), tails[lane / 2]);
            else
                _mm_storeh_pi(reinterpret_cast<__m64*>(bounds + 6 * lane + 4), tails[lane / 2]);
        }
        return;
    }
    alignas(16) float out[10][4]; // normal, low, high, area
    for (int32_t axis = 0; axis < 3; axis++) {
        _mm_store_ps(out[axis], lanes.Normal[axis]);
        _mm_store_ps(out[3 + axis], lanes.Low[axis]);
        _mm_store_ps(out[6 + axis], lanes.High[axis]);
    }
    _mm_store_ps(out[9], lanes.Area);
    for (int32_t lane = 0; lane < 4; lane++) {
        const size_t polygon = static_cast<size_t>(polygons[lane]);
        float* bounds = &output.NormalBounds[6 * polygon];
        float* polygon_normal = &output.PolygonNormals[3 * polygon];
        for (int32_t axis = 0; axis < 3; axis++) {
            polygon_normal[axis] = out[axis][lane];
            bounds[axis] = out[3 + axis][lane];
            bounds[3 + axis] = out[6 + axis][lane];
        }
        output.PolygonAreas[polygon] = out[9][lane];
    }
}

// Four quads lane by lane; false, with nothing written, when a lane needs the scalar path.
template <bool WeldedMesh>
inline bool ComputeQuadNormals(const TNormalInput& input, const TNormalOutput& output,
                               const int32_t polygons[4], const TTarnwick_MarkSet::TMarker* marks)
{
    int32_t vertices[4][4];
    GatherQuadVertices<WeldedMesh>(input, polygons, vertices);
    __m128 corners[4][3];
    LoadQuadCorners(input, vertices, corners);
    // After the loads: a byte store may alias anything, which would hold the loads back.
    if (marks != nullptr) {
        const TTarnwick_MarkSet::TMarker marker = *marks;
        for (int32_t corner = 0; corner < 4; corner++)
            for (int32_t lane = 0; lane < 4; lane++)
                marker.Mark(vertices[corner][lane]);
    }
    TQuadLanes lanes;
    if (!QuadLanesFromCorners(corners, lanes))
        return false;
    StoreQuadLanes(lanes, polygons, output);
    return true;
}

// Quads four at a time, other polygons one by one.
template <bool WeldedMesh>
void ComputePolygonNormalsInQuads(const TNormalInput& input, const TNormalOutput& output,
                                  std::span<const int32_t> polygons, const TTarnwick_MarkSet::TMarker* marks)
{
    int32_t quads[4];
    int32_t quad_count = 0;
    for (int32_t polygon : polygons) {
        if (input.PolygonStart[polygon + 1] - input.PolygonStart[polygon] != 4) {
            ComputeSculptPolygonNormal(input, output, polygon, marks);
            continue;
        }
        quads[quad_count++] = polygon;
        if (quad_count < 4)
            continue;
        quad_count = 0;
        if (!ComputeQuadNormals<WeldedMesh>(input, output, quads, marks))
            for (int32_t quad : quads)
                ComputeSculptPolygonNormal(input, output, quad, nullptr);
    }
    for (int32_t i = 0; i < quad_count; i++)
        ComputeSculptPolygonNormal(input, output, quads[i], marks);
}

// Four vertices of four polygons each (most of a quad mesh); false, with nothing written, when a
// lane needs the scalar path's exact root.
inline bool ComputeFourVertexNormals(const TNormalInput& input, const TNormalOutput& output,
                                     const int32_t vertices[4])
{
    __m128 sum[3];
    SumFourPolygonNormals(input, output, vertices, sum);
    // A lane below FLT_MIN (an empty sum among them) takes the scalar path's exact root.
    bool exact = false;
    const __m128 inverse = InverseLengths(SquaredLengths(sum), exact);
    if (!exact)
        return false;
    for (int32_t axis = 0; axis < 3; axis++)
        sum[axis] = _mm_mul_ps(sum[axis], inverse);
    ScatterTriples(sum[0], sum[1], sum[2], vertices, output.Normals.data());
    return true;
}

// Calls visit(indices) over first .. end - 1 in ascending batches.
template <typename TVisit> void ForEachIndexBatch(int32_t first, int32_t end, TVisit visit)
{
    constexpr int32_t BatchSize = 256;
    int32_t batch[BatchSize];
    for (int32_t batch_first = first; batch_first < end; batch_first += BatchSize) {
        const int32_t size = std::min(BatchSize, end - batch_first);
        std::iota(batch, batch + size, batch_first);
        visit(std::span<const int32_t>(batch, static_cast<size_t>(size)));
    }
}

} // namespace

// [SECTION] Sculpt mesh passes and the incremental refresh

void ComputeSculptPolygonNormals(const TNormalInput& input, const TNormalOutput& output,
                                 std::span<const int32_t> polygons, const TTarnwick_MarkSet::TMarker* marks)
{
    if (!input.WeldMap.empty())
        ComputePolygonNormalsInQuads<true>(input, output, polygons, marks);
    else
        ComputePolygonNormalsInQuads<false>(input, output, polygons, marks);
}

void ComputeSculptPolygonNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                 int32_t end)
{
    ForEachIndexBatch(first, end, [&](std::span<const int32_t> batch) {
        ComputeSculptPolygonNormals(input, output, batch, nullptr);
    });
}

void ComputeSculptVertexNormals(const TNormalInput& input, const TNormalOutput& output,
                                std::span<const int32_t> vertices)
{
    size_t next = 0;
    while (next + 4 <= vertices.size()) {
        const int32_t* group = vertices.data() + next;
        if (!HasFourPolygonsEach(input, group)) {
            SculptVertexNormal(input, output, group[0]);
            next++;
            continue;
        }
        if (!ComputeFourVertexNormals(input, output, group))
            for (int32_t lane = 0; lane < 4; lane++)
                SculptVertexNormal(input, output, group[lane]);
        next += 4;
    }
    for (; next < vertices.size(); next++)
        SculptVertexNormal(input, output, vertices[next]);
}

void ComputeSculptVertexNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                int32_t end)
{
    ForEachIndexBatch(first, end, [&](std::span<const int32_t> batch) {
        ComputeSculptVertexNormals(input, output, batch);
    });
}

void RefreshSculptNormals(const TNormalInput& input, const TNormalOutput& output,
                          std::span<const int32_t> changed_vertices, const TNormalRefresh& refresh)
{
    // The polygons around the changed vertices, then the vertices of those polygons (marked by the
    // polygon pass), each listed once and in ascending order, so that the passes walk memory
    // forwards.
    const int32_t* vertex_polygon_start = input.VertexPolygonStart.data();
    const int32_t* vertex_polygons = input.VertexPolygons.data();
    const TTarnwick_MarkSet::TMarker polygon_marker = refresh.PolygonMarks.Marker();
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
    refresh.PolygonMarks.Take(refresh.DirtyPolygons);
    const TTarnwick_MarkSet::TMarker vertex_marker = refresh.VertexMarks.Marker();
    ComputeSculptPolygonNormals(input, output, refresh.DirtyPolygons, &vertex_marker);
    refresh.VertexMarks.Take(refresh.DirtyVertices);
    ComputeSculptVertexNormals(input, output, refresh.DirtyVertices);
}
