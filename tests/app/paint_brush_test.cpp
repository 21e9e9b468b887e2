// The round and square paint brushes through the OpenGL canvas, on literal quads whose texture
// space is the view (tests/support/paint_scene.h). Run under xvfb-run -a.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "paint/brush_image.h"
#include "support/paint_scene.h"

namespace {

constexpr int32_t MapSide = PaintSceneTest::ViewSide;

// The distance from (x, y) to the nearest of the dab centres.
auto NearestOf(std::initializer_list<std::pair<float, float>> centres)
{
    return [list = std::vector<std::pair<float, float>>(centres)](float x, float y) {
        float nearest = 1e9f;
        for (auto [cx, cy] : list)
            nearest = std::min(nearest, std::hypot(x - cx, y - cy));
        return nearest;
    };
}

class PaintBrush : public PaintSceneTest
{
};

TEST_F(PaintBrush, DabCoversTheProjectedPixelsOfEveryChannelAndUndoRestoresThem)
{
    MakeStrip(Mesh(), {{0.0f, 1.0f}});
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.25f;
    brush.Hardness = 1.0f;
    brush.Strength = 1.0f;
    const float red[3] = {1, 0, 0};
    std::copy_n(red, 3, brush.PrimaryColor);
    for (const char* channel : {"Color", "Bump", "Displacement", "Transparency"}) {
        SCOPED_TRACE(channel);
        TZAVMaterialMap& map = AddMap(channel, MapSide);
        TarnwickPaintHooks.Channel = channel;
        const std::vector<uint8_t> before = map.Pixels;
        Stroke(brush, {{0.2f, -0.1f}});
        ExpectFootprint(map, before, NearestOf({{0.2f, -0.1f}}), 0.25f, 1.0f, "press");
        const uint8_t* centre = &map.Pixels[3 * (size_t(115) * MapSide + 153)];
        EXPECT_EQ(centre[0], 255);
        EXPECT_EQ(centre[1], 0);
        EXPECT_EQ(centre[2], 0);
        Buffer->Undo();
        EXPECT_EQ(map.Pixels, before);
    }
}

TEST_F(PaintBrush, DragLaysDabsHalfARadiusApartAndTheRightButtonSwapsColours)
{
    MakeStrip(Mesh(), {{0.0f, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color", MapSide);
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.1f;
    brush.Hardness = 1.0f;
    const std::vector<uint8_t> white = map.Pixels;
    // 0.3 apart: six dabs, the first on the press point and the last on the drag point.
    Stroke(brush, {{-0.5f, 0.0f}, {-0.2f, 0.0f}}, MouseButton_Right);
    ExpectFootprint(map, white,
                    NearestOf({{-0.5f, 0.0f}, {-0.44f, 0.0f}, {-0.38f, 0.0f}, {-0.32f, 0.0f}, {-0.26f, 0.0f}, {-0.2f, 0.0f}}),
                    0.1f, 1.0f, "stroke");
    const uint8_t* middle = &map.Pixels[3 * (size_t(128) * MapSide + 83)];
    EXPECT_EQ(middle[0], 0) << "the secondary colour, blue, paints with the right button";
    EXPECT_EQ(middle[2], 255);
    // Half-strength dabs 0.06 apart over two events: where the events meet, the dab is laid once,
    // so the joint is as dark as its neighbours, not a bead.
    Buffer->Undo();
    brush.Strength = 0.5f;
    std::fill_n(brush.PrimaryColor, 3, 0.0f);
    Stroke(brush, {{-0.6f, 0.5f}, {-0.3f, 0.5f}, {0.0f, 0.5f}});
    auto grey = [&](float x) { return map.PixelAt(int32_t((x + 1) / 2 * MapSide), int32_t(1.5f / 2 * MapSide))[1]; };
    EXPECT_LT(grey(-0.24f), 128);
    EXPECT_EQ(grey(-0.3f), grey(-0.24f)) << "the joint";
    EXPECT_EQ(grey(-0.36f), grey(-0.24f));
}

TEST_F(PaintBrush, HalfHardnessHalvesTheOpacityAtTheInnerRing)
{
    MakeStrip(Mesh(), {{0.0f, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color", MapSide);
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.5f;
    brush.Hardness = 0.5f;
    brush.Strength = 0.8f;
    const float black[3] = {0, 0, 0};
    std::copy_n(black, 3, brush.PrimaryColor);
    Stroke(brush, {{0.0f, 0.0f}});
    // The centre takes the strength; the inner ring, a quarter of the view across from it, half
    // of that; the rim nothing.
    auto grey = [&](int32_t i, int32_t j) { return map.Pixels[3 * (size_t(j) * MapSide + size_t(i))]; };
    EXPECT_NEAR(grey(128, 128), 255 * 0.2, 2);
    EXPECT_NEAR(grey(128 + 32, 128), 255 * (1 - 0.4), 4);
    EXPECT_EQ(grey(128 + 66, 128), 255);
}

TEST_F(PaintBrush, FacingAwayAndHiddenPolygonsAndAViewLargerThanTheWindow)
{
    MakeStrip(Mesh(), {{0.0f, 0.5f}, {0.5f, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color", MapSide);
    // The right quad turned to face away, by winding its corners the other way.
    std::swap(Mesh().CornerVertex[5], Mesh().CornerVertex[7]);
    std::swap(Mesh().CornerTexVertex[5], Mesh().CornerTexVertex[7]);
    Mesh().Prepare();
    // A view four times the window's size paints through the off-screen buffers all the same.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    View.SetCamera(identity, identity, 1024, 1024, false);
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.6f;
    brush.Hardness = 1.0f;
    const float red[3] = {1, 0, 0};
    std::copy_n(red, 3, brush.PrimaryColor);
    const std::vector<uint8_t> white = map.Pixels;
    Stroke(brush, {{0.0f, 0.0f}});
    auto changed = [&](int32_t i, int32_t j) {
        const size_t at = 3 * (size_t(j) * MapSide + size_t(i));
        return !std::equal(&white[at], &white[at] + 3, &map.Pixels[at]);
    };
    EXPECT_TRUE(changed(100, 128));
    EXPECT_FALSE(changed(156, 128)) << "the quad facing away";

    Mesh().PolygonFlags[0] |= PolygonFlag_Hidden;
    const std::vector<uint8_t> once = map.Pixels;
    const float blue[3] = {0, 0, 1};
    std::copy_n(blue, 3, brush.PrimaryColor);
    Stroke(brush, {{0.0f, 0.0f}});
    EXPECT_EQ(map.Pixels, once) << "a hidden polygon";
}

// A stamp of two texels, opaque red on the left and clear on the right, twice as wide as high:
// the dab takes its shape and colours.
TEST_F(PaintBrush, BrushImageStampsTheDab)
{
    MakeStrip(Mesh(), {{0.0f, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color", MapSide);
    TTarnwick_TextureBrushImage stamp;
    stamp.Width = 2;
    stamp.Height = 1;
    stamp.Pixels.reset(new uint8_t[8]{255, 0, 0, 255, 0, 0, 0, 0});
    TarnwickPaintHooks.BrushImage = [&](int32_t index) { return index == 0 ? &stamp : nullptr; };
    TarnwickPaintHooks.UseBrushImage = true;
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.4f;
    brush.Hardness = 1.0f;
    brush.BrushImageIndex = 0;
    const std::vector<uint8_t> white = map.Pixels;
    Stroke(brush, {{0.0f, 0.0f}});
    auto pixel_at = [&](float x, float y) {
        return map.PixelAt(int32_t((x + 1) / 2 * MapSide), int32_t((y + 1) / 2 * MapSide));
    };
    EXPECT_EQ(pixel_at(-0.3f, 0.0f)[1], 0) << "the red half";
    EXPECT_EQ(pixel_at(0.3f, 0.0f)[1], 255) << "the clear half";
    EXPECT_EQ(pixel_at(-0.1f, 0.3f)[1], 255) << "above the stamp, which is half as high as wide";
}

// The left island covers map columns 0 to 125, the right one 160 on; the left island's padding
// crosses into the next quadtree leaf (column 128 on).
TEST_F(PaintBrush, StrokeAcrossASeamPaintsBothIslandsAndBleedsTheChosenWidth)
{
    MakeStrip(Mesh(), {{0.0f, 126.0f / MapSide}, {160.0f / MapSide, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color", MapSide);
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.3f;
    brush.Hardness = 1.0f;
    const float red[3] = {1, 0, 0};
    std::copy_n(red, 3, brush.PrimaryColor);
    const std::vector<uint8_t> white = map.Pixels;
    auto red_at = [&](int32_t column) { return map.PixelAt(column, MapSide / 2)[1] == 0; };
    auto red_in_gap = [&] {
        int32_t count = 0;
        for (int32_t column = 126; column < 160; column++)
            count += red_at(column);
        return count;
    };
    for (int32_t width : {1, 4}) {
        Settings.PaintBleedWidth = width;
        Stroke(brush, {{-0.2f, 0.0f}, {0.2f, 0.0f}});
        EXPECT_TRUE(red_at(120) && red_at(165)) << "both sides of the seam";
        EXPECT_EQ(red_in_gap(), 2 * width);
        Buffer->Undo();
        EXPECT_EQ(map.Pixels, white);
    }
    // With the right quad hidden the stroke paints the left island alone: its padding reaches a
    // leaf that no painted polygon touches, and the undo still takes it back.
    Mesh().PolygonFlags[1] |= PolygonFlag_Hidden;
    Stroke(brush, {{-0.2f, 0.0f}, {0.2f, 0.0f}});
    EXPECT_EQ(red_in_gap(), 4);
    Buffer->Undo();
    EXPECT_EQ(map.Pixels, white);
}

} // namespace
