#include "tools/brush.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/grid_mesh.h"
#include "support/strip_mesh.h"
#include "tools/cursor.h"

namespace {

// Column-major model-view turning the scene by `degrees` about y, then moving it by `offset`.
void TurnAboutY(float degrees, const float offset[3], float out_matrix[16])
{
    const float c = std::cos(degrees * 3.14159265f / 180.0f);
    const float s = std::sin(degrees * 3.14159265f / 180.0f);
    const float matrix[16] = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, offset[0], offset[1], offset[2], 1};
    std::copy_n(matrix, 16, out_matrix);
}

class Brush : public testing::Test
{
protected:
    void SetUp() override { TarnwickToolOptions = {}; }
    void TearDown() override { TarnwickToolOptions = {}; }
};

TEST_F(Brush, FalloffFollowsTheCosineCurve)
{
    // cos(π/4)^1.8, cos(π/8)^2 and cos(3π/8)^1.8, worked out by hand.
    EXPECT_NEAR(TTarnwick_Brush::BrushFalloff(0.1f, 0.2f, 0.1f), 0.535887f, 1e-5f);
    EXPECT_NEAR(TTarnwick_Brush::BrushFalloff(0.05f, 0.2f, 0.0f), 0.853553f, 1e-5f);
    EXPECT_NEAR(TTarnwick_Brush::BrushFalloff(0.15f, 0.2f, 0.1f), 0.177464f, 1e-5f);
    EXPECT_EQ(TTarnwick_Brush::BrushFalloff(0.0f, 0.2f, 0.1f), 1.0f);
    // A hard brush is flat inside the circle.
    EXPECT_EQ(TTarnwick_Brush::BrushFalloff(0.19f, 0.2f, 1.0f), 1.0f);
    // At the edge every softer brush reaches 0, even where a small power of cos(π/2) would not.
    for (float hardness : {0.0f, 0.5f, 0.99f})
        EXPECT_EQ(TTarnwick_Brush::BrushFalloff(0.2f, 0.2f, hardness), 0.0f) << hardness;
    EXPECT_EQ(TTarnwick_Brush::BrushFalloff(0.3f, 0.2f, 0.5f), 0.0f);
    EXPECT_EQ(TTarnwick_Brush::BrushFalloff(0.1f, 0.0f, 0.5f), 0.0f);
}

TEST_F(Brush, ExcludesWhatLayersViewAndLocalSurfaceRuleOut)
{
    auto mesh = MakeStripMesh(4);
    TTarnwick_ToolView view;
    TTarnwick_Brush brush;
    int32_t occluded_vertex = 5;
    view.OcclusionTest = [&](const TTarnwick_Mesh&, int32_t vertex) { return vertex == occluded_vertex; };
    mesh->VertexFlags[1] |= VertexFlag_Hidden;
    mesh->VertexFlags[2] |= VertexFlag_Locked;
    mesh->VertexFlags[3] |= ToolVertexFlag_FacingAway;
    auto excluded = [&](int32_t vertex, TTarnwick_Occlusion occlusion = TTarnwick_Occlusion::Test) {
        return brush.IsVertexExcluded(*mesh, view, vertex, occlusion);
    };
    EXPECT_FALSE(excluded(0));
    EXPECT_TRUE(excluded(1));
    EXPECT_TRUE(excluded(2));
    EXPECT_TRUE(excluded(3));
    EXPECT_TRUE(excluded(5));
    EXPECT_FALSE(excluded(5, TTarnwick_Occlusion::Ignore));

    // Seeing through lets a tool that may do so reach what faces away or is occluded, never what a
    // layer hides or locks.
    TarnwickToolOptions.SeeThrough = true;
    EXPECT_FALSE(excluded(3));
    EXPECT_FALSE(excluded(5));
    EXPECT_TRUE(excluded(1));
    EXPECT_TRUE(excluded(2));
    brush.Flags &= ~static_cast<uint32_t>(ToolFlag_SeeThrough);
    EXPECT_TRUE(excluded(3));
    EXPECT_TRUE(excluded(5));

    // Off the local surface a vertex is skipped and counted; hidden ones are not counted.
    TarnwickToolOptions.LocalSurfaceOnly = true;
    mesh->VertexFlags[4] |= ToolVertexFlag_LocalSurface;
    EXPECT_TRUE(excluded(0));
    EXPECT_TRUE(excluded(1));
    EXPECT_FALSE(excluded(4));
    EXPECT_EQ(TarnwickToolOptions.SkippedVertices, 1);
}

// The octree walk finds every vertex within the circle that a scan of all vertices finds, in a
// view twice as wide as high, where the circle reaches twice as far up as across.
TEST_F(Brush, OctreeCandidatesHoldEveryVertexWithinTheRadius)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 40, 30);
    mesh.BuildVisiblePolygons();
    mesh.BuildOctree();
    const float offset[3] = {0, -15, -50};
    float model_view[16];
    TurnAboutY(25, offset, model_view);
    const float projection[16] = {1 / 25.0f, 0, 0, 0, 0, 1 / 16.0f, 0, 0, 0, 0, -1 / 100.0f, 0, 0, 0, 0, 1};
    TTarnwick_ToolView view;
    view.SetCamera(model_view, projection, 200, 100, false);
    view.UpdateScreenPositions(mesh);

    TTarnwick_Brush brush;
    std::vector<int32_t> candidates;
    for (float y : {0.05f, -0.5f, 0.7f}) {
        const float x = 0.1f;
        auto within = [&](int32_t vertex) {
            return !(mesh.VertexFlags[vertex] & ToolVertexFlag_FacingAway) &&
                   view.ScreenDistance(vertex, x, y) <= brush.Radius;
        };
        std::vector<int32_t> scanned;
        std::copy_if(mesh.VisibleVertices.begin(), mesh.VisibleVertices.end(), std::back_inserter(scanned),
                     within);
        brush.FindCandidateVertices(mesh, view, x, y, candidates);
        EXPECT_LT(candidates.size(), mesh.VisibleVertices.size() / 4);
        std::vector<int32_t> found;
        std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(found), within);
        std::sort(found.begin(), found.end());
        ASSERT_GT(scanned.size(), 8u);
        EXPECT_EQ(found, scanned) << "y = " << y;
    }
}

// A view twice as wide as high shows the brush outline as a circle in pixels.
TEST_F(Brush, OutlineIsRoundInPixels)
{
    TTarnwick_ToolView view;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    view.SetCamera(identity, identity, 400, 200, false);
    TTarnwick_Brush brush;
    brush.Radius = 0.25f;
    std::vector<float> points;
    RoundOutlinePoints(0.2f, -0.1f, brush.Radius, brush.VerticalRadius(view), points);
    ASSERT_EQ(points.size(), 720u);
    for (size_t i = 0; i < points.size(); i += 2) {
        const float pixels_x = (points[i] - 0.2f) * 400 / 2;
        const float pixels_y = (points[i + 1] + 0.1f) * 200 / 2;
        EXPECT_NEAR(std::hypot(pixels_x, pixels_y), 50.0f, 0.01f);
    }
}

} // namespace
