// TTarnwick_DepthOcclusion: whether a vertex is hidden behind other geometry in a view, judged
// from the depth buffer of the frame the view drew (read back by the view after its scene, bottom
// row first, window depths 0 near to 1 far). What the frame shows, every object included, decides.
//
//     occlusion.Capture(width, height, pixels);   // the view, after drawing its scene
//     view.OcclusionTest = occlusion.TestFor(view);
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/tool_view.h"

class TTarnwick_DepthOcclusion
{
public:
    // A window depth this far behind what the frame shows still counts as seen, so that a vertex
    // is not hidden by the polygons around it.
    static constexpr float DefaultTolerance = 1e-3f;

    // Takes a copy of width × height depths; anything else (a short buffer) empties it.
    void Capture(int32_t width, int32_t height, std::span<const float> depths);
    void Clear() { Depths.clear(); }
    bool IsEmpty() const { return Depths.empty(); }

    // A vertex at the view's screen position is hidden when the frame shows something nearer at its
    // pixel and at each pixel around it. Nothing is hidden without a capture, or outside it.
    bool IsOccluded(const TTarnwick_ToolView& view, int32_t vertex) const;
    // The test to install in the view; it refers to this object and to the view.
    TTarnwick_OcclusionTest TestFor(const TTarnwick_ToolView& view) const;

    float Tolerance = DefaultTolerance;

private:
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<float> Depths;
};
