// The local-surface search. The flood keeps its frontier in an explicit stack, so that a figure of
// millions of vertices cannot exhaust the call stack.
#include "tools/local_surface.h"

#include <cmath>

#include "mesh/sculpt_mesh.h"

namespace {

constexpr uint32_t ExcludedVertex = VertexFlag_Hidden | VertexFlag_Locked;

bool InsideView(const TTarnwick_ToolView& view, int32_t vertex)
{
    std::span<const float> screen = view.ScreenPosition(vertex);
    return std::fabs(screen[0]) <= 1.0f && std::fabs(screen[1]) <= 1.0f;
}

} // namespace

int32_t TTarnwick_LocalSurfaceSearch::FindNearestVertex(const TTarnwick_Mesh& mesh,
                                                        const TTarnwick_ToolView& view, float x, float y,
                                                        float radius, TTarnwick_Visibility visibility,
                                                        float& out_depth)
{
    uint32_t refused = ExcludedVertex;
    if (visibility == TTarnwick_Visibility::Respected)
        refused |= ToolVertexFlag_FacingAway;
    int32_t nearest = -1;
    out_depth = 1e30f;
    // Screen positions of another mesh, or none yet: nothing can be under the cursor.
    if (view.Screen.size() < 3 * static_cast<size_t>(mesh.GetVertexCount()))
        return -1;
    for (int32_t vertex : mesh.VisibleVertices) {
        if (mesh.VertexFlags[vertex] & refused)
            continue;
        if (view.ScreenDistance(vertex, x, y) > radius)
            continue;
        const float depth = view.ScreenPosition(vertex)[2];
        if (depth < out_depth) {
            out_depth = depth;
            nearest = vertex;
        }
    }
    return nearest;
}

int32_t TTarnwick_LocalSurfaceSearch::Mark(TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x,
                                           float y, float radius, TTarnwick_Visibility visibility,
                                           float& out_nearest_depth)
{
    for (uint32_t& flags : mesh.PolygonFlags)
        flags &= ~static_cast<uint32_t>(ToolPolygonFlag_LocalSurface);
    for (int32_t vertex : mesh.VisibleVertices)
        mesh.VertexFlags[vertex] &= ~static_cast<uint32_t>(ToolVertexFlag_LocalSurface);

    const int32_t seed = FindNearestVertex(mesh, view, x, y, radius, visibility, out_nearest_depth);
    if (seed < 0 || !InsideView(view, seed))
        return -1;

    // A vertex is marked when it is pushed, so each enters the stack once; a polygon is marked when
    // entered, so each is entered once.
    Pending.clear();
    mesh.VertexFlags[seed] |= ToolVertexFlag_LocalSurface;
    Pending.push_back(seed);
    while (!Pending.empty()) {
        const int32_t vertex = Pending.back();
        Pending.pop_back();
        for (int32_t polygon : mesh.GetVertexPolygons(vertex)) {
            uint32_t& polygon_flags = mesh.PolygonFlags[polygon];
            // Polygons of hidden layers are not part of the surface on view.
            if (polygon_flags & (uint32_t(ToolPolygonFlag_LocalSurface) | uint32_t(PolygonFlag_Hidden)))
                continue;
            polygon_flags |= ToolPolygonFlag_LocalSurface;
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                 corner++) {
                const int32_t next = mesh.WeldedVertex(mesh.CornerVertex[corner]);
                uint32_t& next_flags = mesh.VertexFlags[next];
                if (next_flags & (ToolVertexFlag_LocalSurface | ToolVertexFlag_FacingAway))
                    continue;
                if (!InsideView(view, next))
                    continue;
                next_flags |= ToolVertexFlag_LocalSurface;
                Pending.push_back(next);
            }
        }
    }
    return seed;
}
