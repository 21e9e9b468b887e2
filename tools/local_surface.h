// The local-surface search: with "Affect Local Surface Only" on, a brush acts only on the piece of
// surface under the cursor, not on other parts of the figure that happen to lie under the brush
// circle on screen (the far arm behind the near one, the other leg).
//
// A press starts from the closest vertex within the brush circle and floods from there over the
// polygons to every vertex of the connected surface that faces the viewer and lies inside the
// view, marking vertices and polygons with the local-surface marks. The flood is not
// bounded by the brush circle: the radius limits the brush's effect later.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/tool_view.h"

class TTarnwick_Mesh;

class TTarnwick_LocalSurfaceSearch
{
public:
    // Among the visible vertices that no layer hides or locks (and, with visibility respected, that
    // face the viewer) within radius of (x, y), the one of the smallest screen depth; the first
    // found on a tie. -1 and out_depth 1e30 when there is none.
    static int32_t FindNearestVertex(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x,
                                     float y, float radius, TTarnwick_Visibility visibility,
                                     float& out_depth);

    // Clears the local-surface marks of every polygon and visible vertex, then marks the surface
    // connected to the closest vertex under the brush. Returns that vertex, or -1 when there is
    // none or it lies outside the view (nothing is marked then).
    int32_t Mark(TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x, float y, float radius,
                 TTarnwick_Visibility visibility, float& out_nearest_depth);

private:
    // Vertices reached whose polygons are still to be entered; kept between searches.
    std::vector<int32_t> Pending;
};
