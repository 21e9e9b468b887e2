// The blur, smudge and shape brushes and the grabbers through the OpenGL canvas, on one literal
// quad whose texture space is the view: with identity matrices a 256 × 256 map on it shows 1:1 in
// the 256 × 256 view, map pixel (i, j) at view point (2 (i + 0.5) / 256 - 1, 2 (j + 0.5) / 256 - 1).
// The scene hook draws the quad lit, as the views do, so the blur must not pick up the shading.
// Run under xvfb-run -a.
#include <gtest/gtest.h>

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "paint/brush_image.h"
#include "paint/grabbers.h"
#include "paint/paint_brush_effects.h"
#include "paint/paint_brush_shapes.h"
#include "support/paint_scene.h"

namespace {

constexpr int32_t Side = PaintSceneTest::ViewSide;

std::vector<int32_t> PostedCommands;

// View point of the centre of pixel i.
float At(int32_t i)
{
    return 2.0f * (float(i) + 0.5f) / float(Side) - 1.0f;
}

float SegmentDistance(float x, float y, float x0, float y0, float x1, float y1)
{
    const float dx = x1 - x0, dy = y1 - y0;
    const float length = dx * dx + dy * dy;
    const float t = length > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / length, 0.0f, 1.0f) : 0.0f;
    return std::hypot(x - x0 - t * dx, y - y0 - t * dy);
}

class PaintBrushes : public PaintSceneTest
{
protected:
    void SetUp() override
    {
        PaintSceneTest::SetUp();
        MakeStrip(Mesh(), {{0.0f, 1.0f}});
        Map = &AddMap("Color", Side);
        TarnwickPaintHooks.DrawScene = [this](const TTarnwick_ToolView&) { DrawQuad(); };
        PostedCommands.clear();
        SetDefaultEventHandler([](TZAVEvent* event) { PostedCommands.push_back(event->GetID()); });
    }

    void TearDown() override
    {
        SetDefaultEventHandler(nullptr);
        if (QuadTexture != 0)
            glDeleteTextures(1, &QuadTexture);
        PaintSceneTest::TearDown();
    }

    // The quad with the map as it is now, lit by a dim red light.
    void DrawQuad()
    {
        if (QuadTexture == 0)
            glGenTextures(1, &QuadTexture);
        glBindTexture(GL_TEXTURE_2D, QuadTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, Side, Side, 0, GL_RGB, GL_UNSIGNED_BYTE, Map->Pixels.data());
        const float light[4] = {0.6f, 0.3f, 0.3f, 1};
        glLightfv(GL_LIGHT0, GL_DIFFUSE, light);
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glColor3f(1, 1, 1);
        glNormal3f(0, 0, 1);
        glBegin(GL_QUADS);
        for (auto [x, y] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            glTexCoord2f(float(x + 1) / 2, float(y + 1) / 2);
            glVertex2f(float(x), float(y));
        }
        glEnd();
    }

    // Each pixel from its column and row.
    template <typename TColour> void FillMap(TColour colour_of)
    {
        for (int32_t j = 0; j < Side; j++)
            for (int32_t i = 0; i < Side; i++) {
                const std::array<uint8_t, 3> colour = colour_of(i, j);
                std::copy_n(colour.data(), 3, &Map->Pixels[3 * (size_t(j) * Side + size_t(i))]);
            }
    }

    const uint8_t* Pixel(int32_t i, int32_t j) const
    {
        return &Map->Pixels[3 * (size_t(j) * Side + size_t(i))];
    }

    // The distance to the nearest segment of the path (x, y pairs).
    static auto PathDistance(const std::vector<float>& path)
    {
        return [&path](float x, float y) {
            float nearest = 1e9f;
            for (size_t k = 0; k + 3 < path.size(); k += 2)
                nearest = std::min(nearest, SegmentDistance(x, y, path[k], path[k + 1], path[k + 2], path[k + 3]));
            return nearest;
        };
    }

    TZAVMaterialMap* Map = nullptr;
    GLuint QuadTexture = 0;
};

TEST_F(PaintBrushes, BlurKeepsAUniformMapSoftensAnEdgeAndUndoes)
{
    EXPECT_EQ(TTarnwick_BlurBrush::ShrinkFactor(0.0f), 2);
    EXPECT_EQ(TTarnwick_BlurBrush::ShrinkFactor(0.3f), 16);
    EXPECT_EQ(TTarnwick_BlurBrush::ShrinkFactor(1.0f), 256);

    TTarnwick_BlurBrush blur;
    blur.Radius = 0.25f;
    FillMap([](int32_t, int32_t) { return std::array<uint8_t, 3>{90, 150, 210}; });
    const std::vector<uint8_t> uniform = Map->Pixels;
    Stroke(blur, {{0.0f, 0.0f}, {0.1f, 0.05f}});
    int32_t moved = 0;
    for (size_t k = 0; k < uniform.size(); k++)
        moved += std::abs(int32_t(uniform[k]) - int32_t(Map->Pixels[k])) > 2;
    EXPECT_EQ(moved, 0) << "neither the shading of the view nor the empty background may show";

    // Black left of x = 0, white right of it.
    FillMap([](int32_t i, int32_t) { return std::array<uint8_t, 3>{uint8_t(i < 128 ? 0 : 255), 0, 0}; });
    const std::vector<uint8_t> edge = Map->Pixels;
    Stroke(blur, {{0.0f, 0.0f}});
    for (int32_t i : {126, 127, 128, 129})
        EXPECT_TRUE(Pixel(i, 128)[0] > 15 && Pixel(i, 128)[0] < 240)
            << "pixel " << i << " " << int(Pixel(i, 128)[0]);
    int32_t outside_changed = 0;
    for (int32_t j = 0; j < Side; j++)
        for (int32_t i = 0; i < Side; i++)
            if (std::hypot(At(i), At(j)) > 0.25f + 2.0f / Side)
                outside_changed += !std::equal(&edge[3 * (size_t(j) * Side + size_t(i))],
                                               &edge[3 * (size_t(j) * Side + size_t(i))] + 3, Pixel(i, j));
    EXPECT_EQ(outside_changed, 0);
    EXPECT_EQ(Pixel(100, 128)[0], 0) << "far from the edge inside the dab";

    Buffer->Undo();
    EXPECT_EQ(Map->Pixels, edge);
}

TEST_F(PaintBrushes, SmudgeDragsTheColourAlongTheMovement)
{
    // Red left of x = 0, white right of it.
    FillMap([](int32_t i, int32_t) {
        return std::array<uint8_t, 3>{255, uint8_t(i < 128 ? 0 : 255), uint8_t(i < 128 ? 0 : 255)};
    });
    const std::vector<uint8_t> before = Map->Pixels;
    TTarnwick_SmudgeBrush smudge;
    smudge.Radius = 0.15f;
    smudge.Hardness = 1.0f;
    Stroke(smudge, {{-0.1f, 0.0f}, {0.1f, 0.0f}});
    // The dab at 0.1 shows what lay 0.2 to its left: red up to x = 0.2, white beyond.
    EXPECT_LT(Pixel(147, 128)[1], 10) << "x = 0.15 took the red of x = -0.05";
    EXPECT_GT(Pixel(156, 128)[1], 245) << "x = 0.22 took the white of x = 0.02";
    EXPECT_TRUE(
        std::equal(&before[3 * (128 * Side + 90)], &before[3 * (128 * Side + 90)] + 3, Pixel(90, 128)))
        << "x = -0.3 lies under no dab";
}

TEST_F(PaintBrushes, ShapesPaintTheirOutlineAtTheReleaseOnly)
{
    const float x0 = -0.5f, y0 = -0.4f, x1 = 0.5f, y1 = 0.3f;
    std::vector<float> ellipse;
    for (int32_t k = 0; k <= 720; k++) {
        const float angle = float(k) * 3.14159265f / 360.0f;
        ellipse.push_back((x0 + x1) / 2 + (x1 - x0) / 2 * std::cos(angle));
        ellipse.push_back((y0 + y1) / 2 + (y1 - y0) / 2 * std::sin(angle));
    }
    const std::vector<float> line = {x0, y0, x1, y1};
    const std::vector<float> rectangle = {x0, y0, x1, y0, x1, y1, x0, y1, x0, y0};
    TTarnwick_LineBrush line_brush;
    TTarnwick_RectangleBrush rectangle_brush;
    TTarnwick_EllipseBrush ellipse_brush;
    const std::pair<TTarnwick_GeometryBrush*, const std::vector<float>*> shapes[] = {
        {&line_brush, &line}, {&rectangle_brush, &rectangle}, {&ellipse_brush, &ellipse}};
    for (auto [brush, path] : shapes) {
        SCOPED_TRACE(brush->GetName());
        FillMap([](int32_t, int32_t) { return std::array<uint8_t, 3>{255, 255, 255}; });
        const std::vector<uint8_t> white = Map->Pixels;
        brush->Radius = 0.05f;
        brush->Hardness = 1.0f;
        std::fill_n(brush->PrimaryColor, 3, 0.0f);
        Buffer->ActionCounter++;
        brush->MouseButton(Mesh(), View, MouseButton_Left, ButtonState_Pressed, x0, y0);
        brush->MouseDrag(Mesh(), View, 0.1f, 0.1f);
        brush->MouseDrag(Mesh(), View, x1, y1);
        EXPECT_EQ(Map->Pixels, white) << "nothing is painted before the release";
        brush->MouseButton(Mesh(), View, MouseButton_Left, ButtonState_Released, x1, y1);
        ExpectFootprint(*Map, white, PathDistance(*path), 0.05f, 1.5f, "outline");
    }
}

TEST_F(PaintBrushes, GrabbersTakeWhatTheWindowShowsAndHandBack)
{
    // Left half of the window one colour, right half another, a pattern in a corner; straight
    // to the screen.
    glDrawBuffer(GL_FRONT);
    glViewport(0, 0, Side, Side);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(Side / 2, 0, Side / 2, Side);
    glClearColor(1.0f, 0.8f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<uint8_t> pattern(64 * 64 * 4);
    for (int32_t j = 0; j < 64; j++)
        for (int32_t i = 0; i < 64; i++) {
            uint8_t* pixel = &pattern[4 * size_t(j * 64 + i)];
            pixel[0] = uint8_t(4 * i), pixel[1] = uint8_t(4 * j), pixel[2] = 7, pixel[3] = 255;
        }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2f(-1, -1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(64, 64, GL_RGBA, GL_UNSIGNED_BYTE, pattern.data());
    glFinish();
    glDrawBuffer(GL_BACK);

    TTarnwick_RoundBrush brush;
    std::vector<TTarnwick_Tool*> chosen;
    TarnwickPaintHooks.ChooseTool = [&](TTarnwick_Tool* tool) { chosen.push_back(tool); };
    std::vector<std::unique_ptr<TTarnwick_TextureBrushImage>> images;
    TarnwickPaintHooks.AddBrushImage = [&](std::unique_ptr<TTarnwick_TextureBrushImage> image) {
        images.push_back(std::move(image));
        return int32_t(images.size()) - 1;
    };

    TTarnwick_ColorGrabberBrush colour;
    EXPECT_TRUE(colour.Busy);
    colour.Brush = &brush;
    Stroke(colour, {{-0.5f, 0.5f}});
    Stroke(colour, {{0.5f, 0.5f}}, MouseButton_Right);
    TarnwickEvents_ProcessEvents();
    EXPECT_NEAR(brush.PrimaryColor[0], 0.2f, 0.003f);
    EXPECT_NEAR(brush.PrimaryColor[1], 0.4f, 0.003f);
    EXPECT_NEAR(brush.PrimaryColor[2], 0.6f, 0.003f);
    EXPECT_NEAR(brush.SecondaryColor[0], 1.0f, 0.003f);
    EXPECT_NEAR(brush.SecondaryColor[1], 0.8f, 0.003f);
    EXPECT_NEAR(brush.SecondaryColor[2], 0.0f, 0.003f);
    EXPECT_EQ(std::count(PostedCommands.begin(), PostedCommands.end(), ToolChangedCommand), 2);
    EXPECT_EQ(chosen, (std::vector<TTarnwick_Tool*>{&brush, &brush}));
    EXPECT_TRUE(colour.Busy);

    // Dragged from pixel (30, 20) to pixel (10, 25): columns 10 to 30, rows 20 to 25.
    TTarnwick_TextureGrabberBrush texture;
    texture.Brush = &brush;
    Stroke(texture, {{At(30), At(20)}, {At(10), At(25)}});
    ASSERT_EQ(images.size(), 1u);
    const TTarnwick_TextureBrushImage& image = *images[0];
    EXPECT_EQ(image.Name, "Grabbed Texture");
    ASSERT_EQ(image.Width, 21);
    ASSERT_EQ(image.Height, 6);
    int32_t wrong = 0;
    for (int32_t j = 0; j < image.Height; j++)
        for (int32_t i = 0; i < image.Width; i++) {
            const uint8_t* pixel = &image.Pixels[4 * size_t(j * image.Width + i)];
            wrong += pixel[0] != 4 * (10 + i) || pixel[1] != 4 * (20 + j) || pixel[2] != 7;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(chosen.size(), 3u);
    EXPECT_EQ(brush.BrushImageIndex, 0) << "the grab stamps the calling brush's dabs";
    EXPECT_TRUE(TarnwickPaintHooks.UseBrushImage);
}

} // namespace
