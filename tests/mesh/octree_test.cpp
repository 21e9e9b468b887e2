#include "mesh/octree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

class Octree : public PagedItemTest
{
};

std::vector<int32_t> Sorted(std::vector<int32_t> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

// Sphere queries give what testing every vertex and polygon gives, over a tree of several levels.
TEST_F(Octree, SphereQueriesMatchABruteForceSearch)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 40, 30);
    TZAVOctree octree;
    TZAVOctree::TBuildInput input;
    input.Mesh = &mesh;
    input.Positions = mesh.DisplayedVertices;
    input.NormalBounds = mesh.PolygonNormalBounds;
    input.PolygonsPerLeaf = 8;
    octree.Build(input);
    EXPECT_GT(octree.Depth(), 2);
    EXPECT_LE(octree.Depth(), input.Levels);
    std::vector<int32_t> listed_vertices;
    std::vector<int32_t> listed_polygons;
    octree.Walk([&](const TZAVOctree::TNode& node) {
        for (int32_t vertex : octree.NodeVertices(node))
            listed_vertices.push_back(vertex);
        for (int32_t polygon : octree.NodePolygons(node))
            listed_polygons.push_back(polygon);
        return true;
    });
    EXPECT_EQ(Sorted(listed_vertices).size(), size_t(mesh.GetVertexCount()));
    EXPECT_EQ(std::unique(listed_polygons.begin(), listed_polygons.end()) - listed_polygons.begin(),
              mesh.GetPolygonCount());

    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-22, 22);
    for (int32_t query = 0; query < 20; query++) {
        const float centre[3] = {coordinate(random), coordinate(random) + 15, 10};
        const float radius = 11.0f + float(query % 4);
        auto inside = [&](int32_t vertex) {
            const float* p = &mesh.DisplayedVertices[3 * vertex];
            const float dx = p[0] - centre[0], dy = p[1] - centre[1], dz = p[2] - centre[2];
            return dx * dx + dy * dy + dz * dz <= radius * radius;
        };
        std::vector<int32_t> expected_vertices;
        std::vector<int32_t> expected_polygons;
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
            if (inside(vertex))
                expected_vertices.push_back(vertex);
        for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                 corner++)
                if (inside(mesh.CornerVertex[corner])) {
                    expected_polygons.push_back(polygon);
                    break;
                }
        std::vector<int32_t> vertices;
        std::vector<int32_t> polygons;
        octree.QuerySphere(centre, radius, vertices, polygons);
        EXPECT_EQ(Sorted(vertices), expected_vertices) << "query " << query;
        EXPECT_EQ(Sorted(polygons), expected_polygons) << "query " << query;
    }
}

TEST_F(Octree, FacingTestUsesTheNormalBounds)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    mesh.BuildOctree();
    ASSERT_TRUE(mesh.HasOctree());
    const TZAVOctree::TNode& root = mesh.GetOctree()->Nodes[0];
    // Every normal of the gently bent sheet leans towards +z.
    EXPECT_GT(root.NormalMin[2], 0.9f);
    EXPECT_LT(root.NormalMin[0], 0.0f);
    EXPECT_GT(root.NormalMax[0], 0.0f);
    const float looking_down[3] = {0, 0, -1};
    const float looking_up[3] = {0, 0, 1};
    const float looking_along_x[3] = {1, 0, 0};
    EXPECT_TRUE(TZAVOctree::CanFaceViewer(root, looking_down));
    EXPECT_FALSE(TZAVOctree::CanFaceViewer(root, looking_up));
    EXPECT_TRUE(TZAVOctree::CanFaceViewer(root, looking_along_x));
    // A vertex moved far off is found at its new place once the bounds are refitted, and the
    // bent polygons around it widen the normal bounds.
    mesh.Vertices[3 * 4 + 2] += 5.0f;
    mesh.Vertices[3 * 4 + 0] += 3.0f;
    const std::vector<int32_t> changed = {4};
    mesh.UpdateVertices(changed);
    ASSERT_TRUE(mesh.HasOctree());
    std::vector<int32_t> vertices, polygons;
    const float moved[3] = {mesh.DisplayedVertices[12], mesh.DisplayedVertices[13], mesh.DisplayedVertices[14]};
    mesh.GetOctree()->QuerySphere(moved, 0.01f, vertices, polygons);
    EXPECT_EQ(vertices, std::vector<int32_t>{4});
    EXPECT_EQ(polygons.size(), mesh.GetVertexPolygons(4).size());
    EXPECT_LT(mesh.GetOctree()->Nodes[0].NormalMin[2], 0.9f);
}

} // namespace
