// Occlusion from a captured depth buffer.
#include "tools/depth_occlusion.h"

#include <algorithm>
#include <cmath>

void TTarnwick_DepthOcclusion::Capture(int32_t width, int32_t height, std::span<const float> depths)
{
    const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    if (count == 0 || depths.size() < count) {
        Depths.clear();
        return;
    }
    Width = width;
    Height = height;
    Depths.assign(depths.begin(), depths.begin() + static_cast<std::ptrdiff_t>(count));
}

bool TTarnwick_DepthOcclusion::IsOccluded(const TTarnwick_ToolView& view, int32_t vertex) const
{
    if (Depths.empty() || 3 * (size_t(vertex) + 1) > view.Screen.size())
        return false;
    std::span<const float> screen = view.ScreenPosition(vertex);
    if (!(std::fabs(screen[0]) <= 1.0f && std::fabs(screen[1]) <= 1.0f))
        return false;
    const int32_t column = std::min(Width - 1, int32_t((screen[0] + 1.0f) / 2.0f * float(Width)));
    const int32_t row = std::min(Height - 1, int32_t((screen[1] + 1.0f) / 2.0f * float(Height)));
    const float depth = (screen[2] + 1.0f) / 2.0f;
    // The farthest depth around the pixel: a vertex on the outline of its own surface sees past
    // it on one side.
    float farthest = 0.0f;
    for (int32_t y = std::max(0, row - 1); y <= std::min(Height - 1, row + 1); y++)
        for (int32_t x = std::max(0, column - 1); x <= std::min(Width - 1, column + 1); x++)
            farthest = std::max(farthest, Depths[size_t(y) * size_t(Width) + size_t(x)]);
    return depth > farthest + Tolerance;
}

TTarnwick_OcclusionTest TTarnwick_DepthOcclusion::TestFor(const TTarnwick_ToolView& view) const
{
    return [this, &view](const TTarnwick_Mesh&, int32_t vertex) { return IsOccluded(view, vertex); };
}
