#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "paint/material_map.h"
#include "paint/uv_quadtree.h"
#include "paint/uv_meshes.h"
#include "support/grid_mesh.h"
#include "support/paged_items.h"
#include "support/surface_points.h"

namespace {

class QuadTree : public PagedItemTest
{
};

TTarnwick_PolyQuadTreeNode* Child(TTarnwick_PolyQuadTreeNode* node, int32_t child)
{
    return node->Children[child];
}

bool Holds(const TTarnwick_PolyQuadTreeNode* node, int32_t polygon)
{
    return std::find(node->Polygons.begin(), node->Polygons.end(), polygon) != node->Polygons.end();
}

TEST_F(QuadTree, ImageLevelFollowsTheLongerSide)
{
    for (auto [width, height, level] :
         {std::tuple{512, 512, 0}, std::tuple{100, 64, 0}, std::tuple{513, 16, 0}, std::tuple{2048, 1024, 2},
          std::tuple{1024, 4096, 3}}) {
        const TTarnwick_QuadTreeShape shape = QuadTreeShapeFor(width, height);
        EXPECT_EQ(shape.ImageLevel, level) << width << " x " << height;
        EXPECT_EQ(shape.MaxDepth, level + 2) << width << " x " << height;
    }
}

// 512 × 512: the root splits whatever it holds; a child splits only above 100 polygons, and its
// children never split, however many they hold.
TEST_F(QuadTree, SmallMapSplitsTheRootOnceAndChildrenAboveHundredPolygons)
{
    std::vector<UvRect> rects;
    AddUvRectGrid(rects, {0.1f, 0.1f, 0.4f, 0.4f}, 10, 10); // child 0: 100
    AddUvRectGrid(rects, {0.6f, 0.1f, 0.9f, 0.4f}, 10, 10); // child 1: 101 with the next
    rects.push_back({0.6f, 0.45f, 0.62f, 0.47f});
    AddUvRectGrid(rects, {0.8f, 0.8f, 0.95f, 0.95f}, 20, 10); // child 3, all in one grandchild
    TTarnwick_Mesh mesh;
    MakeUvQuads(mesh, rects);
    TZAVMaterialMap map;
    ASSERT_TRUE(map.AllocatePixels(512, 512));
    map.BuildQuadTree(mesh);

    TTarnwick_PolyQuadTreeNode* root = map.Root;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(map.ImageLevel, 0);
    EXPECT_EQ(map.MaxDepth, 2);
    ASSERT_FALSE(root->IsLeaf());
    EXPECT_EQ(root->Polygons.size(), rects.size());
    EXPECT_TRUE(Child(root, 0)->IsLeaf());
    EXPECT_EQ(Child(root, 0)->Polygons.size(), 100u);
    EXPECT_TRUE(Child(root, 2)->IsLeaf());
    EXPECT_TRUE(Child(root, 2)->Polygons.empty());
    for (int32_t split : {1, 3}) {
        ASSERT_FALSE(Child(root, split)->IsLeaf()) << split;
        for (TTarnwick_PolyQuadTreeNode* grandchild : Child(root, split)->Children)
            EXPECT_TRUE(grandchild->IsLeaf());
    }
    EXPECT_EQ(Child(Child(root, 3), 3)->Polygons.size(), 200u);
    EXPECT_EQ(map.QuadNodeList.Count(), 13);
    // Every node has the root's pixel block.
    for (TTarnwick_PolyQuadTreeNode* node : map.QuadNodeList)
        EXPECT_EQ(node->ImageLevelNode, root);
    const TTarnwick_PolyQuadTreeNode* corner = Child(Child(root, 3), 2);
    EXPECT_EQ(corner->PixelX, 256);
    EXPECT_EQ(corner->PixelY, 384);
    EXPECT_EQ(corner->PixelWidth, 128);

    // Sides that do not halve evenly: the leaves still cover every pixel once, or a painted
    // column would never reach the map nor its undo blocks.
    ASSERT_TRUE(map.AllocatePixels(1001, 999));
    map.BuildQuadTree(mesh);
    std::vector<int32_t> cover(size_t(1001) * 999, 0);
    for (TTarnwick_PolyQuadTreeNode* node : map.QuadNodeList)
        if (node->IsLeaf())
            for (int32_t y = node->PixelY; y < node->PixelY + node->PixelHeight; y++)
                for (int32_t x = node->PixelX; x < node->PixelX + node->PixelWidth; x++)
                    cover[size_t(y) * 1001 + size_t(x)]++;
    EXPECT_EQ(std::count(cover.begin(), cover.end(), 1), std::ssize(cover));
}

// Nodes of depth up to the image level split even when empty; boxes are widened by two pixels.
TEST_F(QuadTree, NodesDownToTheImageLevelSplitAndBoxesReachTwoPixelsFurther)
{
    const float pixel = 1.0f / 2048.0f;
    std::vector<UvRect> rects = {
        {0.3f, 0.1f, 0.5f - pixel, 0.2f},     // one pixel short of the midline: both sides
        {0.3f, 0.3f, 0.5f - 3 * pixel, 0.4f}, // three pixels short: the left side only
        {0.7f, 0.7f, 0.8f, 0.8f},             // no texture coordinates
    };
    TTarnwick_Mesh mesh;
    MakeUvQuads(mesh, rects);
    mesh.CornerTexVertex[9] = -1;
    TZAVMaterialMap map;
    ASSERT_TRUE(map.AllocatePixels(2048, 1024));
    map.BuildQuadTree(mesh);

    EXPECT_EQ(map.ImageLevel, 2);
    EXPECT_EQ(map.QuadNodeList.Count(), 1 + 4 + 16 + 64);
    EXPECT_TRUE(mesh.PolygonFlags[0] & PolygonFlag_Textured);
    EXPECT_FALSE(mesh.PolygonFlags[2] & PolygonFlag_Textured);
    EXPECT_FALSE(Holds(map.Root, 2));
    TTarnwick_PolyQuadTreeNode* left = Child(map.Root, 0);
    TTarnwick_PolyQuadTreeNode* right = Child(map.Root, 1);
    EXPECT_TRUE(Holds(left, 0));
    EXPECT_TRUE(Holds(right, 0));
    EXPECT_TRUE(Holds(left, 1));
    EXPECT_FALSE(Holds(right, 1));
}

// The descent finds the leaf that a scan of every node finds, for points all over a grid whose
// texture vertices are jittered so that polygon boxes straddle node edges. The grid is large
// enough for the root's quarters to be built on two threads.
TEST_F(QuadTree, LookupMatchesAScanOfEveryNode)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 300, 230);
    ASSERT_GE(mesh.GetPolygonCount(), 65536);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.004f, 0.004f);
    for (float& coordinate : mesh.TexVertices)
        coordinate = std::clamp(coordinate + jitter(random), 0.0f, 1.0f);
    TZAVMaterialMap map;
    ASSERT_TRUE(map.AllocatePixels(2048, 2048));
    map.BuildQuadTree(mesh);

    for (const TTarnwick_SurfacePoint& point : RandomSurfacePoints(mesh, 3000, 11)) {
        float uv[2];
        ASSERT_TRUE(TexturePointOf(mesh, point, uv));
        const TTarnwick_MapPixel found = map.FindPixel(mesh, point);
        const TTarnwick_MapPixel scanned =
            ScanForMapPixel(map.QuadNodeList, point.Polygon, map.Width, map.Height, uv[0], uv[1]);
        ASSERT_NE(scanned.Node, nullptr) << "no leaf lists polygon " << point.Polygon;
        ASSERT_EQ(found.Node, scanned.Node) << uv[0] << ", " << uv[1];
        EXPECT_EQ(found.X, scanned.X);
        EXPECT_EQ(found.Y, scanned.Y);
        EXPECT_EQ(found.X, std::min(int32_t(uv[0] * 2048), 2047));
    }
    TTarnwick_SurfacePoint beyond;
    beyond.Triangle = 2;
    EXPECT_EQ(map.FindPixel(mesh, beyond).Node, nullptr);
}

} // namespace
