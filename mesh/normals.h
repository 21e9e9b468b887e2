// Polygon normals, polygon areas, normal bounds and vertex normals over the flat arrays of a mesh.
//
// Two roundings live here. The base mesh (TZAVPolyMesh) takes its lengths from FastSquareRoot's
// table. The sculpt mesh (TTarnwick_Mesh) takes them from the refined hardware reciprocal square
// root, keeps per-polygon normal bounds, runs quads and four-polygon vertices four to an SSE
// register, and refreshes only the normals around the vertices a stroke moved.
//
//     const TNormalInput input = {positions, polygon_start, corner_vertex, {}, vertex_start, ...};
//     const TNormalOutput output = {polygon_normals, areas, bounds, normals};
//     ComputeSculptPolygonNormals(input, output, 0, polygon_count);
//     ComputeSculptVertexNormals(input, output, 0, vertex_count);
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/mark_set.h"

// What the passes read: 3 floats per vertex, polygons as offsets into the corner vertices, the
// weld map (empty when the mesh is not welded or the weld is ignored) and the polygons at each
// vertex (VertexPolygons[VertexPolygonStart[v] .. VertexPolygonStart[v + 1])).
struct TNormalInput
{
    std::span<const float> Positions;
    std::span<const int32_t> PolygonStart;
    std::span<const int32_t> CornerVertex;
    std::span<const int32_t> WeldMap;
    std::span<const int32_t> VertexPolygonStart;
    std::span<const int32_t> VertexPolygons;
};

// What the passes write: 3 floats per polygon normal and vertex normal, one area per polygon and,
// for the sculpt mesh, per polygon the minimum (3 floats) and maximum (3 floats) of its fan
// triangles' unit normals.
struct TNormalOutput
{
    std::span<float> PolygonNormals;
    std::span<float> PolygonAreas;
    std::span<float> NormalBounds;
    std::span<float> Normals;
};

// Square root through a table of 10000 entries for 0 .. 20; exact outside the table's good range.
float FastSquareRoot(float value);

// The base mesh. A polygon's normal is the unit sum of its fan triangles' cross products over the
// first corner, its area half the sum of their lengths; a vertex's normal is the unit sum of the
// normals of its polygons (a vertex without polygons keeps its normal).
void ComputeTablePolygonNormal(const TNormalInput& input, const TNormalOutput& output, int32_t polygon);
void ComputeTablePolygonNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                int32_t end);
void ComputeTableVertexNormal(const TNormalInput& input, const TNormalOutput& output, int32_t vertex);
void ComputeTableVertexNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                               int32_t end);

// The sculpt mesh: the same sums, with bounds. Given a marker, the polygon passes mark the
// (welded) vertices of the polygons they visit.
void ComputeSculptPolygonNormal(const TNormalInput& input, const TNormalOutput& output, int32_t polygon,
                                const TTarnwick_MarkSet::TMarker* marks);
void ComputeSculptPolygonNormals(const TNormalInput& input, const TNormalOutput& output,
                                 std::span<const int32_t> polygons, const TTarnwick_MarkSet::TMarker* marks);
void ComputeSculptPolygonNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                 int32_t end);
void ComputeSculptVertexNormal(const TNormalInput& input, const TNormalOutput& output, int32_t vertex);
void ComputeSculptVertexNormals(const TNormalInput& input, const TNormalOutput& output,
                                std::span<const int32_t> vertices);
void ComputeSculptVertexNormals(const TNormalInput& input, const TNormalOutput& output, int32_t first,
                                int32_t end);

// An incremental refresh's scratch and results: mark sets sized to the polygon and vertex counts,
// and the polygons and vertices it refreshed, each once and in ascending order.
struct TNormalRefresh
{
    TTarnwick_MarkSet& PolygonMarks;
    TTarnwick_MarkSet& VertexMarks;
    std::vector<int32_t>& DirtyPolygons;
    std::vector<int32_t>& DirtyVertices;
};

// The sculpt normals of the polygons around changed_vertices (repeats allowed) and of those
// polygons' vertices, and nothing else.
void RefreshSculptNormals(const TNormalInput& input, const TNormalOutput& output,
                          std::span<const int32_t> changed_vertices, const TNormalRefresh& refresh);
