#include "tools/depth_occlusion.h"

#include <gtest/gtest.h>

#include "mesh/sculpt_mesh.h"

namespace {

// A frame of 10 × 10 pixels showing a far surface (window depth 0.5) with a near square (0.2) over
// pixels 3 to 6 of rows 3 to 6.
TEST(DepthOcclusion, HidesOnlyWhatSomethingNearerCoversAllAround)
{
    std::vector<float> depths(100, 0.5f);
    for (int32_t row = 3; row <= 6; row++)
        for (int32_t column = 3; column <= 6; column++)
            depths[size_t(row) * 10 + size_t(column)] = 0.2f;
    TTarnwick_DepthOcclusion occlusion;
    occlusion.Capture(10, 10, depths);

    // Screen x, y and depth (-1 near .. 1 far); pixel 4.5 is x = -0.1, pixel 3.5 is x = -0.3.
    TTarnwick_ToolView view;
    view.Screen = {
        -0.1f, -0.1f, 0.0f,  // behind the square's middle
        -0.1f, -0.1f, -0.7f, // in front of it
        -0.3f, -0.1f, 0.0f,  // behind its edge: the far surface shows beside it
        0.7f,  0.7f,  0.0f,  // on the far surface itself
        1.5f,  0.0f,  0.9f,  // outside the frame
    };
    view.OcclusionTest = occlusion.TestFor(view);
    TTarnwick_Mesh mesh;
    const std::vector<bool> expected = {true, false, false, false, false};
    for (int32_t vertex = 0; vertex < 5; vertex++)
        EXPECT_EQ(view.IsOccluded(mesh, vertex), expected[size_t(vertex)]) << vertex;

    occlusion.Capture(10, 10, std::span<const float>(depths).first(50));
    EXPECT_FALSE(view.IsOccluded(mesh, 0));
}

} // namespace
