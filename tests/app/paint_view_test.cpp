// The round paint brush driven through a viewport of the real main window (run under xvfb-run) by
// queued mouse records, on a small UV-mapped grid seen from the front: the stroke reaches the map,
// shows in the view, and the undo command takes it back. Writes screenshots/paint_before.png,
// paint_after.png and paint_map.png.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/main_window.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/image_file.h"
#include "paint/material_map.h"
#include "paint/paint_brush.h"
#include "support/grid_mesh.h"
#include "support/screenshot.h"
#include "support/test_main_window.h"

namespace {

constexpr int32_t WindowWidth = 640;
constexpr int32_t WindowHeight = 480;
constexpr int32_t MapSide = 256;

void Queue(TTarnwick_InputKind kind, int32_t a, int32_t b, int32_t x, int32_t y)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), a, b, x, y}, 0);
    while (!TarnwickMainWindow->PendingInput().empty())
        TarnwickMainWindow->DisplayFrame();
}

bool SaveFrame(const char* name)
{
    std::string error;
    const bool saved =
        SaveScreenshot(name, TWidgetFrame::ReadBack(WindowWidth, WindowHeight).Rgb.data(), WindowWidth, WindowHeight, 3, error);
    EXPECT_TRUE(saved) << error;
    return saved;
}

TEST(PaintView, StrokeReachesTheMapAndTheViewAndUndoTakesItBack)
{
    std::string error;
    const int window_id = StartTestMainWindow("app_paint_view_test", WindowWidth, WindowHeight, error);
    ASSERT_NE(window_id, 0) << error;
    TTarnwick_Settings settings(GetLanguageString(418));
    TarnwickSettings = &settings;
    TarnwickApp.Ready = true;
    TarnwickMainWindow->SwapAfterFrame = false;
    TarnwickMainWindow->CloseSplash();
    TarnwickMainWindow->DisplayFrame();
    TarnwickEvents_ProcessEvents();
    TarnwickMainWindow->ToggleMaximized(TarnwickMainWindow->ViewportPanel(0));

    // A 16 × 16 grid from x = -0.5 to 0.5, y = 0 to 1, with a grey and white checked map.
    delete TarnwickProject;
    TarnwickProject = new TTarnwick_Project;
    auto* object = new TTarnwick_Object;
    object->SetMesh(std::make_unique<TTarnwick_Mesh>());
    TTarnwick_Mesh& mesh = *object->Mesh;
    MakeGrid(mesh, 16, 16, 1.0f / 16.0f);
    TZAVMaterial* material = mesh.CreateMaterial();
    mesh.Materials.Add(material);
    std::fill(mesh.PolygonMaterial.begin(), mesh.PolygonMaterial.end(), int16_t(0));
    material->FindChannel("Color")->TextureIndex = 0;
    auto* map = new TZAVMaterialMap;
    ASSERT_TRUE(map->AllocatePixels(MapSide, MapSide));
    for (int32_t y = 0; y < MapSide; y++)
        for (int32_t x = 0; x < MapSide; x++)
            std::fill_n(map->PixelAt(x, y), 3, uint8_t(((x / 32 + y / 32) % 2) ? 255 : 170));
    mesh.MaterialMaps.Add(map);
    TarnwickProject->AddObject(object);
    TarnwickMainWindow->DisplayFrame();
    TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(0);
    panel->SetView(TTarnwick_StandardView::Front);
    panel->Viewport.LookAt[0] = 0.0f;
    panel->Viewport.LookAt[1] = 0.5f;
    panel->Viewport.LookAt[2] = 0.0f;
    panel->Viewport.Zoom = 0.6f;
    // What the idle tick does for maps that are not resident.
    PostCommand(77);
    TarnwickEvents_ProcessEvents();
    TarnwickMainWindow->DisplayFrame();
    SaveFrame("paint_before.png");
    const std::vector<uint8_t> before = map->Pixels;

    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    TTarnwick_Tool* round = nullptr;
    ASSERT_TRUE(toolbox.PaintBrushes.Get(round, 0));
    ASSERT_EQ(typeid(*round), typeid(TTarnwick_RoundBrush));
    ASSERT_TRUE(ChooseTool(round));
    auto& brush = static_cast<TTarnwick_RoundBrush&>(*round);
    brush.Radius = 0.08f;
    brush.Hardness = 0.7f;
    const float red[3] = {0.9f, 0.1f, 0.1f};
    std::copy_n(red, 3, brush.PrimaryColor);

    // Across the grid's middle, a drag every 20 pixels.
    const TTarnwick_ViewRect rect = panel->GetViewRect();
    const int32_t middle_x = rect.Left + rect.Width / 2;
    const int32_t middle_y = rect.Top + rect.Height / 2;
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, middle_x - 120, middle_y);
    for (int32_t dx = -100; dx <= 120; dx += 20)
        Queue(TTarnwick_InputKind::Motion, 0, 0, middle_x + dx, middle_y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, middle_x + 120, middle_y);
    TarnwickMainWindow->DisplayFrame();
    SaveFrame("paint_after.png");
    EXPECT_TRUE(SaveImageFile(std::string(TARNWICK_SCREENSHOT_DIR) + "paint_map.png", map->Pixels, MapSide,
                              MapSide, TZAVImageChannels::RGB, error))
        << error;

    // The grid's middle (u = v = 0.5) took the colour, its corners did not.
    const uint8_t* centre = map->PixelAt(MapSide / 2, MapSide / 2);
    EXPECT_GT(centre[0], 200);
    EXPECT_LT(centre[1], 40);
    EXPECT_EQ(std::vector<uint8_t>(map->PixelAt(4, 4), map->PixelAt(4, 4) + 3), std::vector<uint8_t>(3, 170));
    // The view shows the painted map: red at the stroke's middle, the checks above it.
    const int32_t frame_y = WindowHeight - 1 - middle_y;
    auto redness = [&](int32_t y) {
        const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
        const uint8_t* pixel = &frame.Rgb[3 * (size_t(y) * WindowWidth + size_t(middle_x))];
        return int32_t(pixel[0]) - int32_t(pixel[1]);
    };
    EXPECT_GT(redness(frame_y), 60);
    EXPECT_LT(redness(frame_y + 100), 20);

    PostCommand(68);
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(map->Pixels, before) << "one undo takes back the whole stroke";
    TarnwickMainWindow->DisplayFrame();
    EXPECT_LT(redness(frame_y), 20) << "the view shows the map as it was";

    ApplicationToolbox().SwitchTool(nullptr, &mesh);
    TarnwickEvents_ProcessEvents();
    delete TarnwickProject;
    TarnwickProject = nullptr;
    StopTestMainWindow(window_id);
    TarnwickSettings = nullptr;
}

} // namespace
