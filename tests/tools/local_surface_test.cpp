#include "tools/local_surface.h"

#include <gtest/gtest.h>

#include "mesh/sculpt_mesh.h"
#include "tools/brush.h"

namespace {

constexpr float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

bool OnSurface(const TTarnwick_Mesh& mesh, int32_t vertex)
{
    return mesh.VertexFlags[vertex] & ToolVertexFlag_LocalSurface;
}

class LocalSurface : public testing::Test
{
protected:
    void SetUp() override { TarnwickToolOptions = {}; }
    void TearDown() override { TarnwickToolOptions = {}; }
};

// Two patches facing the viewer, seen through an identity view (screen = scene, depth = z):
//   near patch, two quads at z = 0:   0 1 2 along y = -0.2, 3 4 5 along y = 0.2, x = -0.5, -0.2, 0.1
//   far patch, one quad at z = 0.5:   6 7 along y = -0.2, 8 9 along y = 0.2, x = 0.15, 0.5
// A gap of 0.05 separates x = 0.1 from x = 0.15.
void MakeTwoPatches(TTarnwick_Mesh& mesh)
{
    const float positions[10][3] = {{-0.5f, -0.2f, 0},    {-0.2f, -0.2f, 0},   {0.1f, -0.2f, 0},
                                    {-0.5f, 0.2f, 0},     {-0.2f, 0.2f, 0},    {0.1f, 0.2f, 0},
                                    {0.15f, -0.2f, 0.5f}, {0.5f, -0.2f, 0.5f}, {0.15f, 0.2f, 0.5f},
                                    {0.5f, 0.2f, 0.5f}};
    const int32_t corners[] = {0, 1, 4, 3, 1, 2, 5, 4, 6, 7, 9, 8};
    mesh.Allocate(10, 0, 10, 3);
    std::copy(&positions[0][0], &positions[0][0] + 30, mesh.Vertices.begin());
    mesh.AllocateCorners(12);
    std::copy(std::begin(corners), std::end(corners), mesh.CornerVertex.begin());
    for (int32_t polygon = 0; polygon < 3; polygon++)
        mesh.EndPolygon(polygon, 4 * polygon + 4);
    mesh.Prepare();
    mesh.BuildVisiblePolygons();
}

TEST_F(LocalSurface, MarksOnlyThePatchUnderTheCursor)
{
    TTarnwick_Mesh mesh;
    MakeTwoPatches(mesh);
    TTarnwick_ToolView view;
    view.SetCamera(Identity, Identity, 100, 100, false);
    TarnwickToolOptions.LocalSurfaceOnly = true;
    TTarnwick_Brush brush;
    brush.Radius = 0.25f;
    // The circle holds 2 and 5 of the near patch and 6 and 8 of the far one, across the gap.
    ASSERT_TRUE(brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0.12f, 0.0f));
    EXPECT_FLOAT_EQ(brush.NearestDepth, 0.0f);
    for (int32_t vertex = 0; vertex < 6; vertex++)
        EXPECT_TRUE(OnSurface(mesh, vertex)) << vertex;
    for (int32_t vertex = 6; vertex < 10; vertex++) {
        EXPECT_FALSE(OnSurface(mesh, vertex)) << vertex;
        EXPECT_TRUE(brush.IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Ignore));
    }
    EXPECT_EQ(TarnwickToolOptions.SkippedVertices, 4);
    EXPECT_EQ(mesh.PolygonFlags[0] & mesh.PolygonFlags[1] & ToolPolygonFlag_LocalSurface,
              ToolPolygonFlag_LocalSurface);
    EXPECT_FALSE(mesh.PolygonFlags[2] & ToolPolygonFlag_LocalSurface);

    // Over the far patch alone only it is marked; the near patch's marks are gone.
    ASSERT_TRUE(brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0.4f, 0.0f));
    EXPECT_FLOAT_EQ(brush.NearestDepth, 0.5f);
    for (int32_t vertex = 0; vertex < 10; vertex++)
        EXPECT_EQ(OnSurface(mesh, vertex), vertex >= 6) << vertex;

    // Over empty background nothing is marked and every vertex is skipped.
    TarnwickToolOptions.SkippedVertices = 0;
    ASSERT_TRUE(brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0.8f, 0.8f));
    EXPECT_EQ(brush.NearestDepth, 1e30f);
    for (int32_t vertex = 0; vertex < 10; vertex++) {
        EXPECT_FALSE(OnSurface(mesh, vertex)) << vertex;
        EXPECT_TRUE(brush.IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Ignore));
    }
    EXPECT_EQ(TarnwickToolOptions.SkippedVertices, 10);
}

// The flood stops at vertices facing away and at the edge of the view.
TEST_F(LocalSurface, StopsAtFacingAwayAndOffViewVertices)
{
    TTarnwick_Mesh mesh;
    MakeTwoPatches(mesh);
    TTarnwick_ToolView view;
    const float wide[16] = {4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // x scaled by 4: vertices 0 and 3 (x = -0.5) land at -2, outside the view.
    view.SetCamera(wide, Identity, 100, 100, false);
    view.UpdateScreenPositions(mesh);
    mesh.VertexFlags[5] |= ToolVertexFlag_FacingAway;
    TTarnwick_LocalSurfaceSearch search;
    float depth = 0;
    ASSERT_EQ(search.Mark(mesh, view, 0.4f, -0.2f, 0.1f, TTarnwick_Visibility::Respected, depth), 2);
    for (int32_t vertex = 0; vertex < 10; vertex++)
        EXPECT_EQ(OnSurface(mesh, vertex), vertex == 1 || vertex == 2 || vertex == 4) << vertex;
}

// A figure of a million vertices is flooded whole without exhausting the call stack.
TEST_F(LocalSurface, FloodsAMillionVertexGrid)
{
    constexpr int32_t Side = 1000;
    constexpr int32_t VertexCount = Side * Side;
    constexpr int32_t PolygonCount = (Side - 1) * (Side - 1);
    TTarnwick_Mesh mesh;
    mesh.Allocate(VertexCount, 0, VertexCount, PolygonCount);
    mesh.AllocateCorners(4 * PolygonCount);
    int32_t corner = 0;
    for (int32_t row = 0; row + 1 < Side; row++) {
        for (int32_t column = 0; column + 1 < Side; column++) {
            const int32_t first = row * Side + column;
            for (int32_t vertex : {first, first + 1, first + 1 + Side, first + Side})
                mesh.CornerVertex[corner++] = vertex;
            mesh.EndPolygon(row * (Side - 1) + column, corner);
        }
    }
    mesh.BuildVertexAdjacency();
    mesh.BuildVisiblePolygons();
    // Screen positions filling the view, row by row; depth grows away from the corner (0, 0).
    TTarnwick_ToolView view;
    view.Screen.resize(3 * size_t(VertexCount));
    for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
        const float x = -0.99f + 1.98f * float(vertex % Side) / float(Side - 1);
        const float y = -0.99f + 1.98f * float(vertex / Side) / float(Side - 1);
        view.Screen[3 * size_t(vertex)] = x;
        view.Screen[3 * size_t(vertex) + 1] = y;
        view.Screen[3 * size_t(vertex) + 2] = x + y;
    }
    TTarnwick_LocalSurfaceSearch search;
    float depth = 0;
    ASSERT_EQ(search.Mark(mesh, view, -0.99f, -0.99f, 0.01f, TTarnwick_Visibility::Respected, depth), 0);
    EXPECT_EQ(std::count_if(mesh.VertexFlags.begin(), mesh.VertexFlags.end(),
                            [](uint32_t flags) { return flags & ToolVertexFlag_LocalSurface; }),
              VertexCount);
}

} // namespace
