// The paint brushes through the OpenGL canvas, on a literal quad whose texture space is the view:
// with identity matrices a point (x, y) of the quad shows at (x, y) and has texture coordinates
// ((x + 1) / 2, (y + 1) / 2), so map pixel (i, j) of an N × N map lies at view point
// (2 (i + 0.5) / N - 1, 2 (j + 0.5) / N - 1). Run under xvfb-run -a.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/paint_canvas.h"
#include "core/event_queue.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "paint/brush_image.h"
#include "paint/map_assignments.h"
#include "paint/paint_brush.h"
#include "paint/undo_buffer.h"
#include "support/paged_items.h"
#include "support/widget_window.h"

namespace {

constexpr int32_t MapSide = 256;
constexpr float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Quads side by side on screen from x = -1 to 1, y = -1 to 1, quad q over the texture rectangle
// islands[q] (u from, u to; v from 0 to 1). Neighbours share their vertices on screen, so
// islands apart in texture space make a UV seam.
void MakeStrip(TTarnwick_Mesh& mesh, std::vector<std::pair<float, float>> islands)
{
    const int32_t quads = int32_t(islands.size());
    const int32_t vertex_count = 2 * (quads + 1);
    mesh.Allocate(vertex_count, 4 * quads, vertex_count, quads);
    for (int32_t i = 0; i <= quads; i++)
        for (int32_t row = 0; row < 2; row++) {
            float* vertex = &mesh.Vertices[3 * size_t(2 * i + row)];
            vertex[0] = -1.0f + 2.0f * float(i) / float(quads);
            vertex[1] = row == 0 ? -1.0f : 1.0f;
            vertex[2] = 0;
        }
    mesh.AllocateCorners(4 * quads);
    for (int32_t q = 0; q < quads; q++) {
        const auto [u0, u1] = islands[size_t(q)];
        const float uv[4][2] = {{u0, 0}, {u1, 0}, {u1, 1}, {u0, 1}};
        const int32_t vertices[4] = {2 * q, 2 * q + 2, 2 * q + 3, 2 * q + 1};
        for (int32_t k = 0; k < 4; k++) {
            mesh.TexVertices[2 * size_t(4 * q + k)] = uv[k][0];
            mesh.TexVertices[2 * size_t(4 * q + k) + 1] = uv[k][1];
            mesh.CornerVertex[size_t(4 * q + k)] = vertices[k];
            mesh.CornerTexVertex[size_t(4 * q + k)] = 4 * q + k;
        }
        mesh.EndPolygon(q, 4 * (q + 1));
    }
    mesh.Prepare();
    mesh.Materials.Add(mesh.CreateMaterial());
    std::fill(mesh.PolygonMaterial.begin(), mesh.PolygonMaterial.end(), int16_t(0));
}

class PaintBrush : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        std::string error;
        ASSERT_NE(SharedTestWindow("paint", 256, 256, error), 0) << error;
        TarnwickSettings = &Settings;
        Buffer = std::make_unique<TTarnwick_UndoBuffer>(
            TTarnwick_UndoScene{&Tree, &Current, &Layers, &SceneChanged, {}, {}});
        Current = new TTarnwick_Object;
        Current->SetMesh(std::make_unique<TTarnwick_Mesh>());
        Tree->List.Add(Current);
        TarnwickPaintHooks = {};
        TarnwickPaintHooks.Canvas = &Canvas;
        TarnwickPaintHooks.UndoBuffer = [this] { return Buffer.get(); };
        View.SetCamera(Identity, Identity, 256, 256, false);
    }

    void TearDown() override
    {
        TarnwickPaintHooks = {};
        TarnwickEvents_ProcessEvents();
        Buffer.reset();
        Tree.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    TTarnwick_Mesh& Mesh() { return *Current->Mesh; }

    // A white map on the channel, made for the current mesh.
    TZAVMaterialMap& AddMap(const char* channel)
    {
        auto map = std::make_unique<TZAVMaterialMap>();
        EXPECT_TRUE(map->AllocatePixels(MapSide, MapSide));
        TZAVMaterialMap* made = map.release();
        AttachMap(Mesh(), made, channel, "");
        return *made;
    }

    void Stroke(TTarnwick_PaintBrush& brush, std::initializer_list<std::pair<float, float>> points,
                int32_t button = MouseButton_Left)
    {
        Buffer->ActionCounter++;
        auto point = points.begin();
        EXPECT_TRUE(brush.MouseButton(Mesh(), View, button, ButtonState_Pressed, point->first, point->second));
        for (++point; point != points.end(); ++point)
            brush.MouseDrag(Mesh(), View, point->first, point->second);
        brush.MouseButton(Mesh(), View, button, ButtonState_Released, 0, 0);
    }

    // Pixels whose centre lies within `inner` of a dab centre must have changed, and pixels beyond
    // `outer` must not: the hand-computed footprint, one pixel of slack at its edge.
    static void ExpectFootprint(const TZAVMaterialMap& map, const std::vector<uint8_t>& before,
                                std::initializer_list<std::pair<float, float>> centres, float radius, const char* what)
    {
        const float pixel = 2.0f / float(map.Width);
        int32_t wrong = 0;
        for (int32_t j = 0; j < map.Height; j++)
            for (int32_t i = 0; i < map.Width; i++) {
                const float x = pixel * (float(i) + 0.5f) - 1.0f;
                const float y = pixel * (float(j) + 0.5f) - 1.0f;
                float nearest = 1e9f;
                for (auto [cx, cy] : centres)
                    nearest = std::min(nearest, std::hypot(x - cx, y - cy));
                const size_t at = 3 * (size_t(j) * size_t(map.Width) + size_t(i));
                const bool changed = !std::equal(&before[at], &before[at] + 3, &map.Pixels[at]);
                if ((nearest < radius - pixel && !changed) || (nearest > radius + pixel && changed))
                    wrong++;
            }
        EXPECT_EQ(wrong, 0) << what;
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_ObjectTreeGroup> Tree =
        std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    TTarnwick_Object* Current = nullptr;
    TTarnwick_LayerList Layers;
    bool SceneChanged = false;
    std::unique_ptr<TTarnwick_UndoBuffer> Buffer;
    TTarnwick_GLPaintCanvas Canvas;
    TTarnwick_ToolView View;
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
        TZAVMaterialMap& map = AddMap(channel);
        TarnwickPaintHooks.Channel = channel;
        const std::vector<uint8_t> before = map.Pixels;
        Stroke(brush, {{0.2f, -0.1f}});
        ExpectFootprint(map, before, {{0.2f, -0.1f}}, 0.25f, "press");
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
    TZAVMaterialMap& map = AddMap("Color");
    TTarnwick_RoundBrush brush;
    brush.Radius = 0.1f;
    brush.Hardness = 1.0f;
    const std::vector<uint8_t> white = map.Pixels;
    // 0.3 apart: six dabs, the first on the press point and the last on the drag point.
    Stroke(brush, {{-0.5f, 0.0f}, {-0.2f, 0.0f}}, MouseButton_Right);
    ExpectFootprint(map, white, {{-0.5f, 0.0f}, {-0.44f, 0.0f}, {-0.38f, 0.0f}, {-0.32f, 0.0f}, {-0.26f, 0.0f}, {-0.2f, 0.0f}},
                    0.1f, "stroke");
    const uint8_t* middle = &map.Pixels[3 * (size_t(128) * MapSide + 83)];
    EXPECT_EQ(middle[0], 0) << "the secondary colour, blue, paints with the right button";
    EXPECT_EQ(middle[2], 255);
}

TEST_F(PaintBrush, HalfHardnessHalvesTheOpacityAtTheInnerRing)
{
    MakeStrip(Mesh(), {{0.0f, 1.0f}});
    TZAVMaterialMap& map = AddMap("Color");
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
    TZAVMaterialMap& map = AddMap("Color");
    // The right quad turned to face away, by winding its corners the other way.
    std::swap(Mesh().CornerVertex[5], Mesh().CornerVertex[7]);
    std::swap(Mesh().CornerTexVertex[5], Mesh().CornerTexVertex[7]);
    Mesh().Prepare();
    // A view four times the window's size paints through the off-screen buffers all the same.
    View.SetCamera(Identity, Identity, 1024, 1024, false);
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
    TZAVMaterialMap& map = AddMap("Color");
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
    TZAVMaterialMap& map = AddMap("Color");
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
