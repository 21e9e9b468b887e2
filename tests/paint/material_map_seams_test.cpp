#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "paint/material_map.h"
#include "paint/uv_meshes.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"

namespace {

class MapSeams : public PagedItemTest
{
protected:
    void TearDown() override
    {
        SetMapUploadHook(nullptr);
        PagedItemTest::TearDown();
    }
};

using Colour = std::array<uint8_t, 3>;

Colour ColourAt(TZAVMaterialMap& map, int32_t x, int32_t y)
{
    const uint8_t* pixel = map.PixelAt(x, y);
    return {pixel[0], pixel[1], pixel[2]};
}

// Gives every covered pixel its own colour: (4x, 4y, 200).
void PaintIsland(TZAVMaterialMap& map)
{
    for (int32_t y = 0; y < map.Height; y++)
        for (int32_t x = 0; x < map.Width; x++)
            if (map.IsCovered(y * map.Width + x)) {
                uint8_t* pixel = map.PixelAt(x, y);
                pixel[0] = uint8_t(4 * x);
                pixel[1] = uint8_t(4 * y);
                pixel[2] = 200;
            }
}

// A black 64 × 64 map with one island covering pixels 16 to 31 in both directions.
void MakeIslandMap(TTarnwick_Mesh& mesh, TZAVMaterialMap& map)
{
    MakeUvQuads(mesh, {{0.25f, 0.25f, 0.5f, 0.5f}});
    std::fill(map.DefaultColor, map.DefaultColor + 3, 0.0f);
    ASSERT_TRUE(map.AllocatePixels(64, 64));
    map.BuildQuadTree(mesh);
    map.ComputeCoverageMask(mesh);
}

TEST_F(MapSeams, CoverageHoldsPixelCentresInsideWhateverTheWinding)
{
    TTarnwick_Mesh mesh;
    TZAVMaterialMap map;
    MakeIslandMap(mesh, map);
    int32_t wrong = 0;
    for (int32_t y = 0; y < 64; y++)
        for (int32_t x = 0; x < 64; x++)
            wrong += map.IsCovered(y * 64 + x) != (x >= 16 && x < 32 && y >= 16 && y < 32);
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(map.CoverageValid);

    const std::vector<uint8_t> counter_clockwise = map.CoverageMask;
    std::swap(mesh.CornerTexVertex[1], mesh.CornerTexVertex[3]);
    map.ComputeCoverageMask(mesh);
    EXPECT_EQ(map.CoverageMask, counter_clockwise);
}

TEST_F(MapSeams, PixelTouchingAnIslandTakesItsColourTwoPixelsAwayStays)
{
    TTarnwick_Mesh mesh;
    TZAVMaterialMap map;
    MakeIslandMap(mesh, map);
    map.SetBleedWidth(1);
    PaintIsland(map);
    LocateMapPixel(map.Root, 64, 64, 0.3f, 0.3f).Node->Dirty = 1;
    ASSERT_TRUE(map.FixSeams(mesh));

    // Diagonal neighbours, orthogonal ones (nearer, so preferred), and pixels two away.
    EXPECT_EQ(ColourAt(map, 15, 15), (Colour{64, 64, 200}));
    EXPECT_EQ(ColourAt(map, 32, 15), (Colour{124, 64, 200}));
    EXPECT_EQ(ColourAt(map, 15, 20), (Colour{64, 80, 200}));
    EXPECT_EQ(ColourAt(map, 20, 32), (Colour{80, 124, 200}));
    EXPECT_EQ(ColourAt(map, 14, 14), (Colour{0, 0, 0}));
    EXPECT_EQ(ColourAt(map, 13, 20), (Colour{0, 0, 0}));
    EXPECT_EQ(ColourAt(map, 20, 33), (Colour{0, 0, 0}));
    for (TTarnwick_PolyQuadTreeNode* node : map.QuadNodeList)
        EXPECT_FALSE(node->Dirty);
}

// Two 16 × 16 islands, A at x 8..23 and B at x 30..45 (both at y 16..31) on a white map, painted
// red and blue: the bleed reaches the chosen width past each island, and of the six pixels between
// them each takes the colour of the nearer island, three and three.
TEST_F(MapSeams, BleedReachesTheChosenWidthAndTheNearerIslandWins)
{
    TTarnwick_Mesh mesh;
    MakeUvQuads(mesh, {{8 / 64.0f, 0.25f, 24 / 64.0f, 0.5f}, {30 / 64.0f, 0.25f, 46 / 64.0f, 0.5f}});
    const Colour red = {255, 0, 0};
    const Colour blue = {0, 0, 255};
    for (int32_t width : {1, 4, 0}) {
        TZAVMaterialMap map;
        ASSERT_TRUE(map.AllocatePixels(64, 64));
        map.BuildQuadTree(mesh);
        map.ComputeCoverageMask(mesh);
        for (int32_t y = 0; y < 64; y++)
            for (int32_t x = 0; x < 64; x++)
                if (map.IsCovered(y * 64 + x))
                    std::copy_n((x < 27 ? red : blue).data(), 3, map.PixelAt(x, y));
        map.SetBleedWidth(width);
        map.Root->Dirty = 1;
        ASSERT_TRUE(map.FixSeams(mesh));

        int32_t reds = 0;
        int32_t blues = 0;
        for (int32_t y = 0; y < 64; y++)
            for (int32_t x = 0; x < 64; x++) {
                reds += ColourAt(map, x, y) == red;
                blues += ColourAt(map, x, y) == blue;
            }
        const int32_t between = std::min(width, 3);
        EXPECT_EQ(reds, (16 + width + between) * (16 + 2 * width)) << width;
        EXPECT_EQ(blues, (16 + width + between) * (16 + 2 * width)) << width;
    }
}

std::vector<const TTarnwick_PolyQuadTreeNode*> uploaded;

// Only the image-level nodes around changed nodes are fixed; changed nodes are uploaded unless the
// map is out of texture memory.
TEST_F(MapSeams, FixCoversChangedNodesAndUploadsThem)
{
    TTarnwick_Mesh mesh;
    MakeUvQuads(mesh, {{0.25f, 0.25f, 0.3125f, 0.3125f}, {0.75f, 0.75f, 0.8125f, 0.8125f}});
    TZAVMaterialMap map;
    ASSERT_TRUE(map.AllocatePixels(1024, 1024));
    map.BuildQuadTree(mesh);
    map.ComputeCoverageMask(mesh);
    ASSERT_EQ(map.ImageLevel, 1);
    PaintIsland(map);
    uploaded.clear();
    SetMapUploadHook(
        [](TZAVMaterialMap&, const TTarnwick_PolyQuadTreeNode& node) { uploaded.push_back(&node); });

    TTarnwick_PolyQuadTreeNode* first = LocateMapPixel(map.Root, 1024, 1024, 0.28f, 0.28f).Node;
    first->Dirty = 1;
    ASSERT_TRUE(map.FixSeams(mesh));
    EXPECT_EQ(ColourAt(map, 255, 280)[2], 200);
    EXPECT_EQ(ColourAt(map, 767, 800)[2], 255);
    EXPECT_EQ(uploaded, std::vector<const TTarnwick_PolyQuadTreeNode*>{first});

    uploaded.clear();
    map.OutOfMemory = 1;
    LocateMapPixel(map.Root, 1024, 1024, 0.78f, 0.78f).Node->Dirty = 1;
    ASSERT_TRUE(map.FixSeams(mesh));
    EXPECT_EQ(ColourAt(map, 767, 800)[2], 200);
    EXPECT_TRUE(uploaded.empty());
}

std::vector<std::vector<TTarnwick_SeamPair>> PairsOf(TZAVMaterialMap& map)
{
    std::vector<std::vector<TTarnwick_SeamPair>> pairs;
    for (TTarnwick_PolyQuadTreeNode* node : map.QuadNodeList)
        pairs.push_back(node->SeamPairs);
    return pairs;
}

// Preparation stopped by its time budget goes on where it stopped and ends with the pairs of an
// uninterrupted run; a map above 1,048,576 pixels is announced at the start and the end.
TEST_F(MapSeams, PreparationResumesAndAnnouncesLargeMaps)
{
    std::vector<UvRect> rects;
    AddUvRectGrid(rects, {0.0f, 0.0f, 1.0f, 1.0f}, 24, 12);
    TTarnwick_Mesh mesh;
    MakeUvQuads(mesh, rects);
    TZAVMaterialMap whole;
    TZAVMaterialMap resumed;
    resumed.SetNameLiteral("Skin");
    for (TZAVMaterialMap* map : {&whole, &resumed}) {
        ASSERT_TRUE(map->AllocatePixels(2048, 1024));
        map->BuildQuadTree(mesh);
        map->ComputeCoverageMask(mesh);
    }
    ASSERT_TRUE(whole.PrepareSeams(0.0));
    TakeStatusLines();

    int32_t calls = 1;
    while (!resumed.PrepareSeams(1e-9))
        calls++;
    EXPECT_GT(calls, 1);
    EXPECT_EQ(PairsOf(resumed), PairsOf(whole));
    size_t pair_count = 0;
    for (const auto& pairs : PairsOf(whole))
        pair_count += pairs.size();
    EXPECT_GT(pair_count, 0u);
    std::vector<std::string> lines;
    for (const TZAVStatusLine& line : TakeStatusLines())
        lines.push_back(line.Text);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Preparing the map Skin...", "Finished preparing the map Skin."}));

    TZAVMaterialMap small;
    ASSERT_TRUE(small.AllocatePixels(1024, 1024));
    small.BuildQuadTree(mesh);
    small.ComputeCoverageMask(mesh);
    EXPECT_TRUE(small.PrepareSeams(0.0));
    EXPECT_TRUE(TakeStatusLines().empty());
}

TEST_F(MapSeams, FixStopsAtPairsOutsideTheImageAndNodesWithoutPixelBlock)
{
    TTarnwick_Mesh mesh;
    TZAVMaterialMap map;
    MakeIslandMap(mesh, map);
    ASSERT_TRUE(map.PrepareSeams(0.0));
    TTarnwick_PolyQuadTreeNode* leaf = LocateMapPixel(map.Root, 64, 64, 0.3f, 0.3f).Node;
    ScriptedDialogs dialogs;

    map.Root->SeamPairs.push_back({64 * 64, 0});
    leaf->Dirty = 1;
    EXPECT_FALSE(map.FixSeams(mesh));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Seam pixels are out of sync ie = 4096 of 4096"));

    map.Root->SeamPairs.pop_back();
    leaf->ImageLevelNode = nullptr;
    EXPECT_FALSE(map.FixSeams(mesh));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "ImageLevelNode == NULL"));
}

} // namespace
