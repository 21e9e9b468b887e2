// Catmull-Clark subdivision and the whole-mesh snapshot.
//
// The new vertices are numbered first in a natural order (the old vertices, one point per edge,
// one per polygon) and then placed so that each sub-object's stay one block. Every per-vertex
// array, positions, displacements and weights alike, goes through the same stencil.
//
// [SECTION] Edges and topology
// [SECTION] The stencil
// [SECTION] Sub-object blocks
// [SECTION] Morphs and selections
// [SECTION] Installing a geometry
// [SECTION] Subdivision
// [SECTION] Snapshot
#include "mesh/subdivide.h"

#include <algorithm>
#include <climits>
#include <span>

#include "core/tree_group.h"

namespace {

constexpr uint32_t DerivedVertexFlags = VertexFlag_Open | VertexFlag_Scratch;

// [SECTION] Edges and topology

struct TSide
{
    uint64_t Key;
    int32_t Corner;
};

// Numbers the distinct undirected edges that the corner sides (a corner to the next corner of its
// polygon) name, with ends end_of(corner); -1 for an end leaves the side without an edge. Edges
// are numbered in the order of their ends; out_first_corner holds each edge's lowest corner.
template <typename TEnd>
int32_t NumberEdges(std::span<const int32_t> next_corner, TEnd end_of, std::vector<int32_t>& out_corner_edge,
                    std::vector<int32_t>& out_first_corner)
{
    const int32_t corner_total = int32_t(next_corner.size());
    std::vector<TSide> sides;
    sides.reserve(size_t(corner_total));
    for (int32_t corner = 0; corner < corner_total; corner++) {
        int64_t a = end_of(corner);
        int64_t b = end_of(next_corner[size_t(corner)]);
        if (a < 0 || b < 0)
            continue;
        if (a > b)
            std::swap(a, b);
        sides.push_back({uint64_t(a) << 32 | uint64_t(b), corner});
    }
    std::sort(sides.begin(), sides.end(), [](const TSide& x, const TSide& y) {
        return x.Key != y.Key ? x.Key < y.Key : x.Corner < y.Corner;
    });
    out_corner_edge.assign(size_t(corner_total), -1);
    out_first_corner.clear();
    for (size_t i = 0; i < sides.size(); i++) {
        if (i == 0 || sides[i].Key != sides[i - 1].Key)
            out_first_corner.push_back(sides[i].Corner);
        out_corner_edge[size_t(sides[i].Corner)] = int32_t(out_first_corner.size()) - 1;
    }
    return int32_t(out_first_corner.size());
}

// What the stencil needs of the polygons, the edges and the welds; built once per subdivision.
struct TTopology
{
    int32_t VertexCount = 0;
    int32_t PolygonCount = 0;
    std::vector<int32_t> CornerPolygon;
    std::vector<int32_t> NextCorner;
    // The vertex that stands for each vertex through the weld map.
    std::vector<int32_t> Rep;
    // Edges between corner vertices as they are, one new vertex each.
    int32_t EdgeCount = 0;
    std::vector<int32_t> CornerEdge;
    std::vector<int32_t> EdgeFirstCorner;
    std::vector<int32_t> EdgeWelded;
    // Edges between welded vertices: where the smoothing happens.
    int32_t WeldedEdgeCount = 0;
    std::vector<int32_t> WeldedEnds;
    std::vector<int32_t> WeldedFaces;
    std::vector<int32_t> WeldedFaceCount;
    std::vector<int32_t> WeldedFirstEdge;
    // Per standing vertex: corners on it, and its edges of two polygons and of one or many.
    std::vector<int32_t> VertexFaces;
    std::vector<int32_t> VertexInteriorEdges;
    std::vector<int32_t> VertexBoundaryEdges;
    bool Welds = false;
};

TTopology BuildTopology(const TZAVPolyMesh& mesh)
{
    TTopology top;
    const int32_t vertex_count = mesh.GetVertexCount();
    const int32_t polygon_count = mesh.GetPolygonCount();
    const int32_t corner_total = mesh.GetCornerTotal();
    top.VertexCount = vertex_count;
    top.PolygonCount = polygon_count;
    top.CornerPolygon.resize(size_t(corner_total));
    top.NextCorner.resize(size_t(corner_total));
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        const int32_t first = mesh.PolygonStart[size_t(polygon)];
        const int32_t end = mesh.PolygonStart[size_t(polygon) + 1];
        for (int32_t corner = first; corner < end; corner++) {
            top.CornerPolygon[size_t(corner)] = polygon;
            top.NextCorner[size_t(corner)] = corner + 1 < end ? corner + 1 : first;
        }
    }
    top.Rep.resize(size_t(vertex_count));
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const int32_t rep = mesh.WeldedVertex(vertex);
        top.Rep[size_t(vertex)] = rep >= 0 && rep < vertex_count ? rep : vertex;
        top.Welds = top.Welds || top.Rep[size_t(vertex)] != vertex;
    }
    const std::vector<int32_t>& corner_vertex = mesh.CornerVertex;
    top.EdgeCount = NumberEdges(
        top.NextCorner, [&](int32_t corner) { return corner_vertex[size_t(corner)]; }, top.CornerEdge,
        top.EdgeFirstCorner);
    std::vector<int32_t> corner_welded;
    std::vector<int32_t> welded_first_corner;
    if (top.Welds) {
        top.WeldedEdgeCount = NumberEdges(
            top.NextCorner, [&](int32_t corner) { return top.Rep[size_t(corner_vertex[size_t(corner)])]; },
            corner_welded, welded_first_corner);
    } else {
        top.WeldedEdgeCount = top.EdgeCount;
        corner_welded = top.CornerEdge;
        welded_first_corner = top.EdgeFirstCorner;
    }
    top.EdgeWelded.resize(size_t(top.EdgeCount));
    top.WeldedFirstEdge.assign(size_t(top.WeldedEdgeCount), -1);
    for (int32_t edge = 0; edge < top.EdgeCount; edge++) {
        const int32_t welded = corner_welded[size_t(top.EdgeFirstCorner[size_t(edge)])];
        top.EdgeWelded[size_t(edge)] = welded;
        if (top.WeldedFirstEdge[size_t(welded)] < 0)
            top.WeldedFirstEdge[size_t(welded)] = edge;
    }
    top.WeldedEnds.resize(2 * size_t(top.WeldedEdgeCount));
    for (int32_t welded = 0; welded < top.WeldedEdgeCount; welded++) {
        const int32_t corner = welded_first_corner[size_t(welded)];
        top.WeldedEnds[2 * size_t(welded)] = top.Rep[size_t(corner_vertex[size_t(corner)])];
        top.WeldedEnds[2 * size_t(welded) + 1] =
            top.Rep[size_t(corner_vertex[size_t(top.NextCorner[size_t(corner)])])];
    }
    top.WeldedFaces.assign(2 * size_t(top.WeldedEdgeCount), -1);
    top.WeldedFaceCount.assign(size_t(top.WeldedEdgeCount), 0);
    top.VertexFaces.assign(size_t(vertex_count), 0);
    for (int32_t corner = 0; corner < corner_total; corner++) {
        top.VertexFaces[size_t(top.Rep[size_t(corner_vertex[size_t(corner)])])]++;
        const int32_t welded = corner_welded[size_t(corner)];
        const int32_t slot = top.WeldedFaceCount[size_t(welded)]++;
        if (slot < 2)
            top.WeldedFaces[2 * size_t(welded) + size_t(slot)] = top.CornerPolygon[size_t(corner)];
    }
    top.VertexInteriorEdges.assign(size_t(vertex_count), 0);
    top.VertexBoundaryEdges.assign(size_t(vertex_count), 0);
    for (int32_t welded = 0; welded < top.WeldedEdgeCount; welded++) {
        const int32_t a = top.WeldedEnds[2 * size_t(welded)];
        const int32_t b = top.WeldedEnds[2 * size_t(welded) + 1];
        if (a == b)
            continue;
        std::vector<int32_t>& count =
            top.WeldedFaceCount[size_t(welded)] == 2 ? top.VertexInteriorEdges : top.VertexBoundaryEdges;
        count[size_t(a)]++;
        count[size_t(b)]++;
    }
    return top;
}

// The texture vertices of the subdivision: the old ones, one per texture edge and one per polygon
// centre. A polygon takes texture vertices to its children only when every corner has one.
struct TTexturePlan
{
    std::vector<int32_t> PolygonFace;
    std::vector<int32_t> CornerEdge;
    std::vector<int32_t> EdgeFirstCorner;
    int32_t EdgeCount = 0;
    int32_t FaceCount = 0;
};

TTexturePlan PlanTextures(const TZAVPolyMesh& mesh, const TTopology& top)
{
    TTexturePlan plan;
    const int32_t tex_count = mesh.GetTexVertexCount();
    plan.PolygonFace.assign(size_t(top.PolygonCount), -1);
    for (int32_t polygon = 0; tex_count > 0 && polygon < top.PolygonCount; polygon++) {
        bool all = true;
        for (int32_t corner = mesh.PolygonStart[size_t(polygon)];
             all && corner < mesh.PolygonStart[size_t(polygon) + 1]; corner++)
            all =
                mesh.CornerTexVertex[size_t(corner)] >= 0 && mesh.CornerTexVertex[size_t(corner)] < tex_count;
        if (all)
            plan.PolygonFace[size_t(polygon)] = plan.FaceCount++;
    }
    plan.EdgeCount = NumberEdges(
        top.NextCorner,
        [&](int32_t corner) {
            return plan.PolygonFace[size_t(top.CornerPolygon[size_t(corner)])] >= 0
                       ? mesh.CornerTexVertex[size_t(corner)]
                       : -1;
        },
        plan.CornerEdge, plan.EdgeFirstCorner);
    return plan;
}

// A welded pair stays welded; the edge points of a welded edge are welded to its first one.
std::vector<int32_t> CarryWelds(const TZAVPolyMesh& mesh, const TTopology& top,
                                const std::vector<int32_t>& places)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    std::vector<int32_t> weld_map;
    if (!mesh.Welded || mesh.WeldMap.size() != size_t(vertex_count))
        return weld_map;
    weld_map.assign(places.size(), -1);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const int32_t target = mesh.WeldMap[size_t(vertex)];
        if (target >= 0 && target < vertex_count)
            weld_map[size_t(places[size_t(vertex)])] = places[size_t(target)];
    }
    for (int32_t edge = 0; top.Welds && edge < top.EdgeCount; edge++) {
        const int32_t first = top.WeldedFirstEdge[size_t(top.EdgeWelded[size_t(edge)])];
        if (first != edge)
            weld_map[size_t(places[size_t(vertex_count + edge)])] = places[size_t(vertex_count + first)];
    }
    return weld_map;
}

// [SECTION] The stencil

// The subdivided values of K floats per vertex, in the natural order: old vertices, edge points,
// face points. Linear in the values, so displacements and weights follow the positions exactly.
// The stencil's working arrays, kept from one call to the next: a figure's worth of fresh pages
// per morph would cost more than the arithmetic.
struct TStencilScratch
{
    std::vector<float> WeldedPoints;
    std::vector<float> FaceSums;
    std::vector<float> MidpointSums;
    std::vector<float> BoundarySums;
};

template <int K>
void Stencil(const TTopology& top, const TZAVPolyMesh& mesh, const float* in, std::vector<float>& out,
             TStencilScratch& scratch)
{
    const size_t vertex_count = size_t(top.VertexCount);
    const size_t edge_count = size_t(top.EdgeCount);
    out.assign((vertex_count + edge_count + size_t(top.PolygonCount)) * K, 0.0f);
    float* faces = out.data() + (vertex_count + edge_count) * K;
    auto in_at = [&](int32_t vertex) { return in + size_t(vertex) * K; };

    for (int32_t polygon = 0; polygon < top.PolygonCount; polygon++) {
        const int32_t first = mesh.PolygonStart[size_t(polygon)];
        const int32_t end = mesh.PolygonStart[size_t(polygon) + 1];
        float* face = faces + size_t(polygon) * K;
        for (int32_t corner = first; corner < end; corner++) {
            const float* value = in_at(top.Rep[size_t(mesh.CornerVertex[size_t(corner)])]);
            for (int k = 0; k < K; k++)
                face[k] += value[k];
        }
        const float share = end > first ? 1.0f / float(end - first) : 0.0f;
        for (int k = 0; k < K; k++)
            face[k] *= share;
    }

    // Edge points and the sums the vertex points need.
    std::vector<float>& welded_points = scratch.WeldedPoints;
    std::vector<float>& face_sums = scratch.FaceSums;
    std::vector<float>& midpoint_sums = scratch.MidpointSums;
    std::vector<float>& boundary_sums = scratch.BoundarySums;
    welded_points.resize(size_t(top.WeldedEdgeCount) * K);
    face_sums.assign(vertex_count * K, 0.0f);
    midpoint_sums.assign(vertex_count * K, 0.0f);
    boundary_sums.assign(vertex_count * K, 0.0f);
    for (int32_t welded = 0; welded < top.WeldedEdgeCount; welded++) {
        const int32_t a = top.WeldedEnds[2 * size_t(welded)];
        const int32_t b = top.WeldedEnds[2 * size_t(welded) + 1];
        const bool interior = top.WeldedFaceCount[size_t(welded)] == 2;
        const float* face0 = faces + size_t(top.WeldedFaces[2 * size_t(welded)]) * K;
        const float* face1 = faces + size_t(std::max(0, top.WeldedFaces[2 * size_t(welded) + 1])) * K;
        for (int k = 0; k < K; k++) {
            const float midpoint = 0.5f * (in_at(a)[k] + in_at(b)[k]);
            welded_points[size_t(welded) * K + k] =
                interior ? 0.5f * midpoint + 0.25f * (face0[k] + face1[k]) : midpoint;
            if (a == b)
                continue;
            if (interior) {
                midpoint_sums[size_t(a) * K + k] += midpoint;
                midpoint_sums[size_t(b) * K + k] += midpoint;
            } else {
                boundary_sums[size_t(a) * K + k] += in_at(b)[k];
                boundary_sums[size_t(b) * K + k] += in_at(a)[k];
            }
        }
    }
    for (int32_t edge = 0; edge < top.EdgeCount; edge++)
        std::copy_n(&welded_points[size_t(top.EdgeWelded[size_t(edge)]) * K], K,
                    out.data() + (vertex_count + size_t(edge)) * K);
    for (int32_t polygon = 0; polygon < top.PolygonCount; polygon++)
        for (int32_t corner = mesh.PolygonStart[size_t(polygon)];
             corner < mesh.PolygonStart[size_t(polygon) + 1]; corner++) {
            float* sum = &face_sums[size_t(top.Rep[size_t(mesh.CornerVertex[size_t(corner)])]) * K];
            for (int k = 0; k < K; k++)
                sum[k] += faces[size_t(polygon) * K + k];
        }

    // Vertex points: (Q + 2R + (n - 3) P) / n inside, (B1 + 6 P + B2) / 8 on a boundary curve;
    // a corner of a single polygon and a point where several boundaries meet stay where they are.
    for (size_t vertex = 0; vertex < vertex_count; vertex++) {
        const size_t rep = size_t(top.Rep[vertex]);
        const float* old = in_at(int32_t(rep));
        const int32_t n = top.VertexFaces[rep];
        const int32_t interior = top.VertexInteriorEdges[rep];
        const int32_t boundary = top.VertexBoundaryEdges[rep];
        float* value = out.data() + vertex * K;
        for (int k = 0; k < K; k++) {
            if (boundary == 0 && n > 0 && interior > 0)
                value[k] = (face_sums[rep * K + k] / float(n) +
                            2.0f * midpoint_sums[rep * K + k] / float(interior) + float(n - 3) * old[k]) /
                           float(n);
            else if (boundary == 2 && n > 1)
                value[k] = 0.125f * boundary_sums[rep * K + k] + 0.75f * old[k];
            else
                value[k] = old[k];
        }
    }
}

// [SECTION] Sub-object blocks

// For each element, the first sub-object whose range holds it; -1 for none.
template <typename TRangeOf>
std::vector<int32_t> OwnersFromRanges(int32_t count, const TZAVPolyMesh& mesh, TRangeOf range_of)
{
    std::vector<int32_t> owners(size_t(count), -1);
    for (int32_t group = mesh.Groups.Count() - 1; group >= 0; group--) {
        const TZAVIndexRange range = range_of(*mesh.Groups.Data()[group]);
        for (int32_t element = std::max(0, range.First); element <= std::min(range.Last, count - 1);
             element++)
            owners[size_t(element)] = group;
    }
    return owners;
}

// Natural index -> final index, placing each sub-object's elements in one block, the blocks in the
// sub-objects' order and the elements of none last; within a block the natural order stays.
std::vector<int32_t> PlaceByOwner(const std::vector<int32_t>& owners, int32_t group_count,
                                  std::vector<TZAVIndexRange>& out_ranges)
{
    std::vector<int32_t> next(size_t(group_count) + 2, 0);
    for (int32_t owner : owners)
        next[size_t(owner < 0 ? group_count : owner) + 1]++;
    for (size_t bucket = 1; bucket < next.size(); bucket++)
        next[bucket] += next[bucket - 1];
    out_ranges.assign(size_t(group_count), TZAVIndexRange{});
    for (int32_t group = 0; group < group_count; group++)
        if (next[size_t(group) + 1] > next[size_t(group)])
            out_ranges[size_t(group)] = {next[size_t(group)], next[size_t(group) + 1] - 1};
    std::vector<int32_t> places(owners.size());
    for (size_t element = 0; element < owners.size(); element++)
        places[element] = next[size_t(owners[element] < 0 ? group_count : owners[element])]++;
    return places;
}

template <int K, typename T>
void PlaceValues(const std::vector<T>& natural, const std::vector<int32_t>& places, T* out)
{
    for (size_t element = 0; element < places.size(); element++)
        std::copy_n(&natural[element * K], K, out + size_t(places[element]) * K);
}

// The sub-objects' new ranges: their vertex and texture vertex blocks, and their polygons'
// children, which follow each other as their parents' corners do.
std::vector<TTarnwick_MeshGeometry::TRanges> CarryRanges(const TZAVPolyMesh& mesh,
                                                         const std::vector<TZAVIndexRange>& vertex_ranges,
                                                         const std::vector<TZAVIndexRange>& tex_ranges)
{
    std::vector<TTarnwick_MeshGeometry::TRanges> carried;
    for (int32_t group = 0; group < mesh.Groups.Count(); group++) {
        const TZAVGroup& old = *mesh.Groups.Data()[group];
        TTarnwick_MeshGeometry::TRanges ranges;
        ranges.Vertices = ranges.Normals = vertex_ranges[size_t(group)];
        ranges.TexVertices = tex_ranges[size_t(group)];
        ranges.Lines = old.LineRange;
        ranges.Polygons = old.PolygonRange;
        if (old.PolygonRange.First >= 0 && old.PolygonRange.Last >= old.PolygonRange.First &&
            old.PolygonRange.Last < mesh.GetPolygonCount())
            ranges.Polygons = {mesh.PolygonStart[size_t(old.PolygonRange.First)],
                               mesh.PolygonStart[size_t(old.PolygonRange.Last) + 1] - 1};
        carried.push_back(ranges);
    }
    return carried;
}

// [SECTION] Morphs and selections

float* ValuesOf(TTarnwick_Morph& morph)
{
    return morph.vertices();
}
float* ValuesOf(TTarnwick_Selection& selection)
{
    return selection.vselect();
}
const TTarnwick_MorphDelta* RecordsOf(TTarnwick_Morph& morph)
{
    return morph.Deltas();
}
const TTarnwick_SelectionValue* RecordsOf(TTarnwick_Selection& selection)
{
    return selection.Records();
}

// Gives the item vertex_count values, keeping its form and its paging: fill(values, old, old_count)
// writes them into the zeroed array from a copy of the old ones.
template <int K, typename TItemType, typename TFill>
void RefillItem(TItemType& item, int32_t vertex_count, bool compress, std::vector<float>& old, TFill fill)
{
    const bool paged_in = item.IsPagedIn();
    item.Expand();
    const int32_t old_count = item.vcount;
    old.assign(ValuesOf(item), ValuesOf(item) + size_t(old_count) * K);
    item.SetVertexCount(vertex_count);
    float* values = ValuesOf(item);
    std::fill_n(values, size_t(vertex_count) * K, 0.0f);
    fill(values, old.data(), old_count);
    if (compress)
        item.Compress();
    if (!paged_in)
        item.PageOut();
}

template <int K, typename TItemType>
void SubdivideItems(const std::vector<TItemType*>& items, const TTopology& top, const TZAVPolyMesh& mesh,
                    const std::vector<int32_t>& places, TStencilScratch& scratch)
{
    std::vector<float> old;
    std::vector<float> input;
    std::vector<float> natural;
    for (TItemType* item : items)
        RefillItem<K>(*item, int32_t(places.size()), item->IsCompressed(), old,
                      [&](float* values, const float* now, int32_t now_count) {
                          const size_t stored = size_t(std::min(now_count, top.VertexCount)) * K;
                          // Empty items, the temporary ones among them, stay empty.
                          if (std::all_of(now, now + stored, [](float value) { return value == 0.0f; }))
                              return;
                          input.assign(size_t(top.VertexCount) * K, 0.0f);
                          std::copy_n(now, stored, input.data());
                          Stencil<K>(top, mesh, input.data(), natural, scratch);
                          PlaceValues<K>(natural, places, values);
                          // Weights are convex combinations except around degenerate vertices.
                          if constexpr (K == 1)
                              for (size_t vertex = 0; vertex < places.size(); vertex++)
                                  values[vertex] = std::clamp(values[vertex], 0.0f, 1.0f);
                      });
}

template <int K, typename TItemType> TTarnwick_MeshSnapshot::TItem CaptureItem(TItemType& item)
{
    TTarnwick_MeshSnapshot::TItem saved;
    saved.ID = item.ID;
    saved.Compressed = item.IsCompressed();
    const bool paged_in = item.IsPagedIn();
    if (saved.Compressed) {
        const auto* records = RecordsOf(item);
        saved.Indices.resize(size_t(item.DeltaCount));
        saved.Values.resize(size_t(item.DeltaCount) * K);
        for (int32_t record = 0; record < item.DeltaCount; record++) {
            saved.Indices[size_t(record)] = records[record].Index;
            std::copy_n(records[record].Value, K, &saved.Values[size_t(record) * K]);
        }
    } else if (item.vcount > 0) {
        const float* values = ValuesOf(item);
        saved.Values.assign(values, values + size_t(item.vcount) * K);
    }
    if (!paged_in)
        item.PageOut();
    return saved;
}

template <int K, typename TItemType>
void RestoreItems(const std::vector<TItemType*>& items,
                  const std::vector<TTarnwick_MeshSnapshot::TItem>& saved, int32_t vertex_count,
                  const std::vector<int32_t>& new_places)
{
    std::vector<float> old;
    for (TItemType* item : items) {
        auto found =
            std::find_if(saved.begin(), saved.end(),
                         [&](const TTarnwick_MeshSnapshot::TItem& entry) { return entry.ID == item->ID; });
        if (found != saved.end()) {
            RefillItem<K>(
                *item, vertex_count, found->Compressed, old, [&](float* values, const float*, int32_t) {
                    if (!found->Compressed) {
                        std::copy_n(found->Values.begin(),
                                    std::min(found->Values.size(), size_t(vertex_count) * K), values);
                        return;
                    }
                    for (size_t record = 0; record < found->Indices.size(); record++)
                        if (found->Indices[record] >= 0 && found->Indices[record] < vertex_count)
                            std::copy_n(&found->Values[record * K], K,
                                        values + size_t(found->Indices[record]) * K);
                });
            continue;
        }
        // Made since the capture: each captured vertex takes the value at the place it went to.
        RefillItem<K>(*item, vertex_count, item->IsCompressed(), old,
                      [&](float* values, const float* now, int32_t now_count) {
                          for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
                              const int32_t place =
                                  size_t(vertex) < new_places.size() ? new_places[size_t(vertex)] : vertex;
                              if (place >= 0 && place < now_count)
                                  std::copy_n(now + size_t(place) * K, K, values + size_t(vertex) * K);
                          }
                      });
    }
}

// [SECTION] Installing a geometry

// Replaces the mesh's geometry by the snapshot's, keeping its lists, trees and maps, and rebuilds
// everything derived. With exact_flags the vertex flags are the snapshot's; otherwise the open
// marks are worked out afresh and the rest come from the snapshot.
void InstallGeometry(TTarnwick_Mesh& mesh, TTarnwick_MeshGeometry geometry, bool exact_flags)
{
    const int32_t vertex_count = geometry.VertexCount;
    const int32_t polygon_count = int32_t(geometry.PolygonStart.size()) - 1;
    TZAVPolyMesh fresh;
    fresh.Allocate(vertex_count, int32_t(geometry.TexVertices.size() / 2), vertex_count, polygon_count);
    fresh.Vertices = std::move(geometry.Vertices);
    fresh.TexVertices = std::move(geometry.TexVertices);
    fresh.PolygonStart = std::move(geometry.PolygonStart);
    fresh.PolygonMaterial = std::move(geometry.PolygonMaterial);
    fresh.PolygonGroup = std::move(geometry.PolygonGroup);
    fresh.PolygonPart = std::move(geometry.PolygonPart);
    fresh.CornerVertex = std::move(geometry.CornerVertex);
    fresh.CornerTexVertex = std::move(geometry.CornerTexVertex);
    fresh.CornerNormal = std::move(geometry.CornerNormal);
    fresh.CornerVisible = std::move(geometry.CornerVisible);
    fresh.LineStart = std::move(geometry.LineStart);
    fresh.LineVertex = std::move(geometry.LineVertex);
    fresh.LineTexVertex = std::move(geometry.LineTexVertex);
    fresh.MtlLibName = mesh.MtlLibName;
    // The lists go over to the fresh mesh and come back with its arrays.
    auto hand_over = [](auto& from, auto& to) {
        for (auto* element : from)
            to.Add(element);
        while (from.Count() > 0)
            from.RemoveAt(from.Count() - 1);
    };
    hand_over(mesh.Groups, fresh.Groups);
    hand_over(mesh.Groups2, fresh.Groups2);
    hand_over(mesh.Materials, fresh.Materials);
    mesh.TZAVPolyMesh::AdoptContents(fresh);

    for (int32_t index = 0; index < mesh.Groups.Count() && size_t(index) < geometry.GroupRanges.size();
         index++) {
        TZAVGroup& group = *mesh.Groups.Data()[index];
        const TTarnwick_MeshGeometry::TRanges& ranges = geometry.GroupRanges[size_t(index)];
        group.VertexRange = ranges.Vertices;
        group.TexVertexRange = ranges.TexVertices;
        group.NormalRange = ranges.Normals;
        group.PolygonRange = ranges.Polygons;
        group.LineRange = ranges.Lines;
    }
    mesh.PolygonLayerFlags = std::move(geometry.PolygonLayerFlags);
    mesh.PolygonLayerFlags.resize(size_t(polygon_count), 0);
    mesh.FacingMarksView = nullptr;
    // Preparing starts the flags and the weld afresh, so they are put back after it.
    mesh.Prepare();
    if (geometry.VertexFlags.size() == size_t(vertex_count)) {
        for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
            const uint32_t given = geometry.VertexFlags[size_t(vertex)];
            uint32_t& flags = mesh.VertexFlags[size_t(vertex)];
            flags = exact_flags ? given : (flags & DerivedVertexFlags) | (given & ~DerivedVertexFlags);
        }
    }
    if (geometry.PolygonFlags.size() == size_t(polygon_count))
        mesh.PolygonFlags = std::move(geometry.PolygonFlags);
    if (geometry.WeldMap.size() == size_t(vertex_count)) {
        mesh.WeldMap = std::move(geometry.WeldMap);
        mesh.Welded = geometry.Welded;
    }
    // Preparing resolved the positions; the welds change the adjacency and so the normals, the
    // flags what is drawn.
    if (mesh.Welded) {
        mesh.BuildVertexAdjacency();
        mesh.ComputeNormals(TZAVNormalScope::All);
    }
    mesh.BuildVisiblePolygons();
    mesh.SelectionDisplayStale = true;
}

} // namespace

// [SECTION] Subdivision

bool TTarnwick_SubdivisionCounts::Fit() const
{
    return Vertices <= TTarnwick_Morph::MaxVertexCount && TexVertices <= INT32_MAX && Polygons < INT32_MAX &&
           Corners <= INT32_MAX;
}

TTarnwick_SubdivideOutcome SubdivideMesh(TTarnwick_Mesh& mesh, std::vector<int32_t>* out_new_places)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    const int32_t polygon_count = mesh.GetPolygonCount();
    const int32_t corner_total = mesh.GetCornerTotal();
    const int32_t tex_count = mesh.GetTexVertexCount();
    if (polygon_count == 0)
        return TTarnwick_SubdivideOutcome::NoPolygons;
    const TTopology top = BuildTopology(mesh);

    const TTexturePlan tex = PlanTextures(mesh, top);
    const std::vector<int32_t>& tex_face = tex.PolygonFace;
    const std::vector<int32_t>& corner_tex_edge = tex.CornerEdge;
    const std::vector<int32_t>& tex_edge_first = tex.EdgeFirstCorner;
    const int32_t tex_edges = tex.EdgeCount;
    const int32_t tex_faces = tex.FaceCount;

    TTarnwick_SubdivisionCounts counts;
    counts.Vertices = int64_t(vertex_count) + top.EdgeCount + polygon_count;
    counts.TexVertices = tex_faces > 0 ? int64_t(tex_count) + tex_edges + tex_faces : tex_count;
    counts.Polygons = corner_total;
    counts.Corners = 4 * int64_t(corner_total);
    if (!counts.Fit())
        return TTarnwick_SubdivideOutcome::TooLarge;
    const int32_t new_vertex_count = int32_t(counts.Vertices);
    const int32_t new_tex_count = int32_t(counts.TexVertices);
    const int32_t edge_base = vertex_count;
    const int32_t face_base = vertex_count + top.EdgeCount;
    const int32_t tex_edge_base = tex_count;
    const int32_t tex_face_base = tex_count + tex_edges;

    // Where the new vertices and texture vertices go: each sub-object's stay one block.
    const int32_t group_count = mesh.Groups.Count();
    const std::vector<int32_t> polygon_owner =
        OwnersFromRanges(polygon_count, mesh, [](const TZAVGroup& group) { return group.PolygonRange; });
    std::vector<int32_t> owners =
        OwnersFromRanges(vertex_count, mesh, [](const TZAVGroup& group) { return group.VertexRange; });
    owners.resize(size_t(new_vertex_count));
    for (int32_t edge = 0; edge < top.EdgeCount; edge++)
        owners[size_t(edge_base + edge)] =
            polygon_owner[size_t(top.CornerPolygon[size_t(top.EdgeFirstCorner[size_t(edge)])])];
    std::copy(polygon_owner.begin(), polygon_owner.end(), owners.begin() + face_base);
    std::vector<TZAVIndexRange> vertex_ranges;
    const std::vector<int32_t> places = PlaceByOwner(owners, group_count, vertex_ranges);

    owners = OwnersFromRanges(tex_count, mesh, [](const TZAVGroup& group) { return group.TexVertexRange; });
    owners.resize(size_t(new_tex_count));
    if (new_tex_count > tex_count) {
        for (int32_t edge = 0; edge < tex_edges; edge++)
            owners[size_t(tex_edge_base + edge)] =
                polygon_owner[size_t(top.CornerPolygon[size_t(tex_edge_first[size_t(edge)])])];
        for (int32_t polygon = 0; polygon < polygon_count; polygon++)
            if (tex_face[size_t(polygon)] >= 0)
                owners[size_t(tex_face_base + tex_face[size_t(polygon)])] = polygon_owner[size_t(polygon)];
    }
    std::vector<TZAVIndexRange> tex_ranges;
    const std::vector<int32_t> tex_places = PlaceByOwner(owners, group_count, tex_ranges);
    std::vector<int32_t>().swap(owners);

    TTarnwick_MeshGeometry next;
    next.VertexCount = new_vertex_count;
    std::vector<float> natural;
    TStencilScratch scratch;
    Stencil<3>(top, mesh, mesh.Vertices.data(), natural, scratch);
    next.Vertices.resize(3 * size_t(new_vertex_count));
    PlaceValues<3>(natural, places, next.Vertices.data());

    std::vector<float> tex_natural(mesh.TexVertices.begin(), mesh.TexVertices.end());
    tex_natural.resize(2 * size_t(new_tex_count), 0.0f);
    auto tex_of = [&](int32_t corner) {
        return &mesh.TexVertices[2 * size_t(mesh.CornerTexVertex[size_t(corner)])];
    };
    for (int32_t edge = 0; edge < tex_edges; edge++) {
        const int32_t corner = tex_edge_first[size_t(edge)];
        for (int k = 0; k < 2; k++)
            tex_natural[2 * size_t(tex_edge_base + edge) + k] =
                0.5f * (tex_of(corner)[k] + tex_of(top.NextCorner[size_t(corner)])[k]);
    }

    // Polygon q of the new mesh is the child of old corner q: its corner, the midpoint of the edge
    // leaving it, the centre and the midpoint of the edge arriving at it, in the parent's winding.
    next.PolygonStart.resize(size_t(corner_total) + 1);
    for (int32_t polygon = 0; polygon <= corner_total; polygon++)
        next.PolygonStart[size_t(polygon)] = 4 * polygon;
    next.CornerVertex.resize(4 * size_t(corner_total));
    next.CornerTexVertex.assign(4 * size_t(corner_total), -1);
    next.CornerVisible.assign(4 * size_t(corner_total), 1);
    next.PolygonMaterial.resize(size_t(corner_total));
    next.PolygonGroup.resize(size_t(corner_total));
    next.PolygonPart.resize(size_t(corner_total));
    next.PolygonFlags.resize(size_t(corner_total));
    next.PolygonLayerFlags.resize(size_t(corner_total));
    std::vector<uint32_t> flags_natural(size_t(new_vertex_count), 0);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        flags_natural[size_t(vertex)] = mesh.VertexFlags[size_t(vertex)] & ~DerivedVertexFlags;
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        const int32_t first = mesh.PolygonStart[size_t(polygon)];
        const int32_t end = mesh.PolygonStart[size_t(polygon) + 1];
        const int32_t face_tex = tex_face[size_t(polygon)];
        if (face_tex >= 0) {
            float* centre = &tex_natural[2 * size_t(tex_face_base + face_tex)];
            for (int32_t corner = first; corner < end; corner++)
                for (int k = 0; k < 2; k++)
                    centre[k] += tex_of(corner)[k] / float(end - first);
        }
        const uint32_t polygon_flags = mesh.PolygonFlags[size_t(polygon)];
        for (int32_t corner = first; corner < end; corner++) {
            const int32_t previous = corner > first ? corner - 1 : end - 1;
            const int32_t natural_corners[4] = {
                mesh.CornerVertex[size_t(corner)], edge_base + top.CornerEdge[size_t(corner)],
                face_base + polygon, edge_base + top.CornerEdge[size_t(previous)]};
            for (int k = 0; k < 4; k++) {
                next.CornerVertex[4 * size_t(corner) + k] = places[size_t(natural_corners[k])];
                flags_natural[size_t(natural_corners[k])] |= polygon_flags & VertexFlag_Locked;
            }
            if (face_tex >= 0) {
                const int32_t tex_corners[4] = {
                    mesh.CornerTexVertex[size_t(corner)], tex_edge_base + corner_tex_edge[size_t(corner)],
                    tex_face_base + face_tex, tex_edge_base + corner_tex_edge[size_t(previous)]};
                for (int k = 0; k < 4; k++)
                    next.CornerTexVertex[4 * size_t(corner) + k] = tex_places[size_t(tex_corners[k])];
            }
            next.PolygonMaterial[size_t(corner)] = mesh.PolygonMaterial[size_t(polygon)];
            next.PolygonGroup[size_t(corner)] = mesh.PolygonGroup[size_t(polygon)];
            next.PolygonPart[size_t(corner)] = mesh.PolygonPart[size_t(polygon)];
            next.PolygonFlags[size_t(corner)] = polygon_flags;
            next.PolygonLayerFlags[size_t(corner)] = size_t(polygon) < mesh.PolygonLayerFlags.size()
                                                         ? mesh.PolygonLayerFlags[size_t(polygon)]
                                                         : 0u;
        }
    }
    next.CornerNormal = next.CornerVertex;
    next.TexVertices.resize(2 * size_t(new_tex_count));
    PlaceValues<2>(tex_natural, tex_places, next.TexVertices.data());
    next.VertexFlags.resize(size_t(new_vertex_count));
    PlaceValues<1>(flags_natural, places, next.VertexFlags.data());

    next.Welded = mesh.Welded;
    next.WeldMap = CarryWelds(mesh, top, places);

    next.LineStart = mesh.LineStart;
    next.LineVertex = mesh.LineVertex;
    next.LineTexVertex = mesh.LineTexVertex;
    for (int32_t& vertex : next.LineVertex)
        if (vertex >= 0 && vertex < vertex_count)
            vertex = places[size_t(vertex)];
    for (int32_t& tex : next.LineTexVertex)
        if (tex >= 0 && tex < tex_count)
            tex = tex_places[size_t(tex)];

    next.GroupRanges = CarryRanges(mesh, vertex_ranges, tex_ranges);

    std::vector<float>().swap(natural);
    SubdivideItems<3>(TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get()), top, mesh, places, scratch);
    SubdivideItems<1>(TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get()), top, mesh, places, scratch);
    if (out_new_places != nullptr)
        out_new_places->assign(places.begin(), places.begin() + vertex_count);
    InstallGeometry(mesh, std::move(next), false);
    return TTarnwick_SubdivideOutcome::Subdivided;
}

// [SECTION] Snapshot

TTarnwick_MeshSnapshot TTarnwick_MeshSnapshot::Capture(TTarnwick_Mesh& mesh)
{
    TTarnwick_MeshSnapshot shot;
    shot.VertexCount = mesh.GetVertexCount();
    shot.Vertices = mesh.Vertices;
    shot.TexVertices = mesh.TexVertices;
    shot.PolygonStart = mesh.PolygonStart;
    shot.PolygonMaterial = mesh.PolygonMaterial;
    shot.PolygonGroup = mesh.PolygonGroup;
    shot.PolygonPart = mesh.PolygonPart;
    shot.CornerVertex = mesh.CornerVertex;
    shot.CornerTexVertex = mesh.CornerTexVertex;
    shot.CornerNormal = mesh.CornerNormal;
    shot.CornerVisible = mesh.CornerVisible;
    shot.LineStart = mesh.LineStart;
    shot.LineVertex = mesh.LineVertex;
    shot.LineTexVertex = mesh.LineTexVertex;
    shot.VertexFlags = mesh.VertexFlags;
    shot.PolygonFlags = mesh.PolygonFlags;
    shot.PolygonLayerFlags = mesh.PolygonLayerFlags;
    shot.WeldMap = mesh.WeldMap;
    shot.Welded = mesh.Welded;
    for (const TZAVGroup* group : mesh.Groups)
        shot.GroupRanges.push_back({group->VertexRange, group->TexVertexRange, group->NormalRange,
                                    group->PolygonRange, group->LineRange});
    for (TTarnwick_Morph* morph : TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get()))
        shot.Morphs.push_back(CaptureItem<3>(*morph));
    for (TTarnwick_Selection* selection : TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get()))
        shot.Selections.push_back(CaptureItem<1>(*selection));
    return shot;
}

void TTarnwick_MeshSnapshot::Restore(TTarnwick_Mesh& mesh) const
{
    RestoreItems<3>(TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get()), Morphs, VertexCount, NewPlaces);
    RestoreItems<1>(TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get()), Selections, VertexCount,
                    NewPlaces);
    // The items are not part of the geometry handed over.
    InstallGeometry(mesh, TTarnwick_MeshGeometry(*this), true);
}

int64_t TTarnwick_MeshSnapshot::ByteCount() const
{
    auto bytes = [](const auto& values) { return int64_t(values.size() * sizeof(values[0])); };
    int64_t total = bytes(Vertices) + bytes(TexVertices) + bytes(PolygonStart) + bytes(PolygonMaterial) +
                    bytes(PolygonGroup) + bytes(PolygonPart) + bytes(CornerVertex) + bytes(CornerTexVertex) +
                    bytes(CornerNormal) + bytes(CornerVisible) + bytes(LineStart) + bytes(LineVertex) +
                    bytes(LineTexVertex) + bytes(VertexFlags) + bytes(PolygonFlags) +
                    bytes(PolygonLayerFlags) + bytes(WeldMap) + bytes(GroupRanges) + bytes(NewPlaces);
    for (const std::vector<TItem>* items : {&Morphs, &Selections})
        for (const TItem& item : *items)
            total += bytes(item.Indices) + bytes(item.Values);
    return total;
}
