// The viewport panel on a real freeglut window (run under xvfb-run): the scene drawn in its
// material colour over the background, layers hiding polygons, positions sent again after a morph,
// navigation through the bar's buttons and the orientation menu. Writes
// screenshots/viewport_front.png and viewport_rotated.png into the build folder for a look.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "app/scene_drawing.h"
#include "app/texture_registry.h"
#include "app/texture_residency.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/screenshot.h"
#include "support/widget_window.h"
#include "widgets/blank_app.h"
#include "widgets/menu.h"

namespace {

// Wide enough for the whole button bar.
constexpr int32_t FrameWidth = 480;
constexpr int32_t FrameHeight = 240;
constexpr float Skin[3] = {0.9f, 0.2f, 0.1f};
constexpr float TurnPerHalfWidth = 10.0f / std::numbers::pi_v<float>;

class ViewportPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        const int window_id = SharedTestWindow("app_viewport_panel_test", FrameWidth, FrameHeight, error);
        ASSERT_NE(window_id, 0) << error;
        ASSERT_TRUE(InitVirtualMemory());
        NewProject();
        App = std::make_unique<TZAVglutWigits_BlankApp>(window_id);
        Panel = PlaceNode(new TTarnwick_ViewportPanel(App.get(), 0), 0, 0, FrameWidth, FrameHeight);
    }
    void TearDown() override
    {
        App.reset();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        ShutdownVirtualMemory();
    }

    // An 8 × 8 grid (x -4..4, y 0..8, bulging towards +z) in one red material, as the current object.
    TTarnwick_Mesh& AddFigure()
    {
        auto mesh = std::make_unique<TTarnwick_Mesh>();
        MakeGrid(*mesh, 8, 8);
        TZAVMaterial* material = mesh->CreateMaterial();
        material->AddDefaultChannels();
        std::copy_n(Skin, 3, material->FindChannel("Color")->Colors[0]);
        mesh->Materials.Add(material);
        std::fill(mesh->PolygonMaterial.begin(), mesh->PolygonMaterial.end(), int16_t(0));
        auto* object = new TTarnwick_Object;
        TTarnwick_Mesh& result = *mesh;
        object->SetMesh(std::move(mesh));
        TarnwickProject->AddObject(object);
        return result;
    }

    TWidgetFrame Draw()
    {
        App->Refresh(false);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return TWidgetFrame::ReadBack(FrameWidth, FrameHeight);
    }
    void Save(const TWidgetFrame& frame, const char* name)
    {
        std::string error;
        EXPECT_TRUE(SaveScreenshot(name, frame.Rgb.data(), FrameWidth, FrameHeight, 3, error)) << error;
    }
    std::unique_ptr<TZAVglutWigits_BlankApp> App;
    TTarnwick_ViewportPanel* Panel = nullptr;
};

// Lit, so the hue is checked, not the exact value: red well above green and blue.
bool LooksLikeSkin(const TWidgetFrame& frame, int32_t x, int32_t y)
{
    const uint8_t* pixel = frame.At(x, y);
    return pixel[0] > 60 && pixel[0] > 2 * pixel[1] && pixel[0] > 2 * pixel[2];
}

} // namespace

TEST_F(ViewportPanel, DrawsTheFittedFigureHidesLayeredPolygonsAndFollowsMorphs)
{
    TTarnwick_Mesh& mesh = AddFigure();
    ASSERT_TRUE(Panel->FitToObject());
    EXPECT_NEAR(Panel->Viewport.LookAt[0], 0.0f, 1e-5f);
    EXPECT_NEAR(Panel->Viewport.LookAt[1], 4.0f, 1e-5f);

    TWidgetFrame frame = Draw();
    const float* background = TarnwickProject->BackgroundColor;
    // The view's centre is the figure's; the left and right halves lie a quarter-view either side.
    const int32_t centre_y = FrameHeight / 2 + 10, left_x = FrameWidth / 2 - 40,
                  right_x = FrameWidth / 2 + 40;
    EXPECT_TRUE(LooksLikeSkin(frame, FrameWidth / 2, centre_y));
    EXPECT_TRUE(LooksLikeSkin(frame, left_x, centre_y));
    EXPECT_TRUE(frame.Near(2, FrameHeight - 3, background)) << "a corner of the view shows the background";

    // The left four columns go into the hidden layer, the right two into the locked one.
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (polygon % 8 < 4)
            mesh.PolygonLayerFlags[size_t(polygon)] |= 1u << (HiddenLayerIndex - 1);
        if (polygon % 8 >= 6)
            mesh.PolygonLayerFlags[size_t(polygon)] |= 1u << (LockedLayerIndex - 1);
    }
    ApplyLayerVisibilityToMesh(TarnwickProject->Layers, mesh, mesh.PolygonLayerFlags);
    ApplyLayerLocksToMesh(TarnwickProject->Layers, mesh, mesh.PolygonLayerFlags);
    TZAVTextureRegistry pictures;
    ASSERT_TRUE(LoadGraphicsArchive(pictures, std::string(TARNWICK_BUILD_DATA) + "Graphics.dat"));
    TarnwickApp.Textures = &pictures;
    frame = Draw();
    TarnwickApp.Textures = nullptr;
    Save(frame, "viewport_layers.png");
    EXPECT_TRUE(frame.Near(left_x, centre_y, background));
    EXPECT_TRUE(LooksLikeSkin(frame, right_x, centre_y));
    // Locked: the grey lock picture, not the material.
    const int32_t locked_x = FrameWidth / 2 + 65;
    const uint8_t* locked = frame.At(locked_x, centre_y);
    EXPECT_LT(std::abs(int32_t(locked[0]) - int32_t(locked[2])), 12)
        << int32_t(locked[0]) << " " << int32_t(locked[2]);
    EXPECT_GT(locked[0], 100);

    // A morph moves the figure out of the view: positions go up again, nothing else is rebuilt.
    const std::shared_ptr<TTarnwick_SceneDrawing> drawing = SharedSceneDrawing();
    const int64_t builds = drawing->StructureBuilds(), uploads = drawing->PositionUploads();
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        mesh.CurrentMorph->GetVertex(vertex)[0] = 30.0f;
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
    frame = Draw();
    EXPECT_TRUE(frame.Near(right_x, centre_y, background));
    EXPECT_EQ(drawing->StructureBuilds(), builds);
    EXPECT_EQ(drawing->PositionUploads(), uploads + 1);

    // A new project takes the mesh away: its buffers go with it.
    EXPECT_EQ(drawing->CachedMeshCount(), 1);
    NewProject();
    Draw();
    EXPECT_EQ(drawing->CachedMeshCount(), 0);
}

// The texture button shows the map a material paints through, once it is in texture memory; the
// smooth look shows the material's colour again.
TEST_F(ViewportPanel, TextureButtonShowsTheResidentMap)
{
    const float green[3] = {0.1f, 0.8f, 0.2f};
    TTarnwick_Mesh& mesh = AddFigure();
    auto* map = new TZAVMaterialMap;
    std::copy_n(green, 3, map->DefaultColor);
    ASSERT_TRUE(map->AllocatePixels(8, 8));
    mesh.MaterialMaps.Add(map);
    TZAVMaterial* material = nullptr;
    ASSERT_TRUE(mesh.Materials.Get(material, 0));
    material->FindChannel("Color")->TextureIndex = 0;
    SendToOpenGL(*map, TZAVTextureCompression::Off);
    ASSERT_TRUE(Panel->FitToObject());
    Draw();

    auto click = [&](std::string_view name) {
        TZAVglutWigits_Node* button = FindNamed(Panel, name);
        const int32_t x = button->AbsX + 3, y = button->AbsY + 3;
        App->ProcessMouseButton(MouseLeft, MouseDown, x, y);
        App->ProcessMouseButton(MouseLeft, MouseUp, x, y);
    };
    click("Display_Texture");
    EXPECT_EQ(Panel->GetDisplayMode(), TTarnwick_DisplayMode::Texture);
    TWidgetFrame frame = Draw();
    const uint8_t* pixel = frame.At(FrameWidth / 2, FrameHeight / 2 + 10);
    EXPECT_TRUE(pixel[1] > 2 * pixel[0] && pixel[1] > 2 * pixel[2]) << "green from the map";
    click("Display_Smooth");
    EXPECT_TRUE(LooksLikeSkin(Draw(), FrameWidth / 2, FrameHeight / 2 + 10));
    DeleteMapTexture(*map);
}

TEST_F(ViewportPanel, RotateButtonDragTurnsTheViewThroughTheVirtualPointer)
{
    ASSERT_TRUE(OpenProject(std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick"));
    ASSERT_TRUE(Panel->FitToObject());
    TWidgetFrame frame = Draw();
    Save(frame, "viewport_front.png");
    const float* background = TarnwickProject->BackgroundColor;
    EXPECT_FALSE(frame.Near(FrameWidth / 2, FrameHeight / 2, background, 12)) << "the head is drawn";

    TZAVglutWigits_Node* button = FindNamed(Panel, "RotateButton");
    ASSERT_NE(button, nullptr);
    const int32_t x = button->AbsX + button->Width / 2, y = button->AbsY + button->Height / 2;
    App->ProcessMouseButton(MouseLeft, MouseDown, x, y);
    TarnwickProject->ViewportImagesStale = false;
    // Half the view's width turns by 10 / pi about the vertical axis; the pointer is warped back,
    // and GLUT reports the warp as a motion onto the button, which turns nothing.
    App->ProcessMouseMotion(x + FrameWidth / 2, y);
    EXPECT_NEAR(Panel->Viewport.Rotation[0], std::cos(TurnPerHalfWidth), 1e-4f);
    EXPECT_NEAR(Panel->Viewport.Rotation[5], 1.0f, 1e-5f);
    EXPECT_TRUE(TarnwickProject->ViewportImagesStale);
    EXPECT_EQ(Panel->GetViewLabel(), "User");
    App->ProcessMouseMotion(x, y);
    EXPECT_NEAR(Panel->Viewport.Rotation[0], std::cos(TurnPerHalfWidth), 1e-4f);
    // Movements add up: a quarter width back leaves a quarter width from the press.
    App->ProcessMouseMotion(x - FrameWidth / 4, y);
    EXPECT_NEAR(Panel->Viewport.Rotation[0], std::cos(TurnPerHalfWidth / 2), 1e-4f);
    App->ProcessMouseButton(MouseLeft, MouseUp, x - FrameWidth / 4, y);

    frame = Draw();
    Save(frame, "viewport_rotated.png");
    EXPECT_FALSE(frame.Near(FrameWidth / 2, FrameHeight / 2, background, 12)) << "the head is still drawn";

    // A left drag in the view itself turns it alike, following the real pointer.
    Panel->SetView(TTarnwick_StandardView::Front);
    App->ProcessMouseButton(MouseLeft, MouseDown, FrameWidth / 4, FrameHeight / 2);
    App->ProcessMouseMotion(FrameWidth * 3 / 4, FrameHeight / 2);
    App->ProcessMouseButton(MouseLeft, MouseUp, FrameWidth * 3 / 4, FrameHeight / 2);
    EXPECT_NEAR(Panel->Viewport.Rotation[0], std::cos(TurnPerHalfWidth), 1e-4f);

    // Events that are not navigation change nothing.
    TZAVEvent flagged(TTarnwick_ViewportPanel::NavOnMotionCB, Panel, 0);
    flagged.Flags[0] = 1;
    flagged.SetX(50);
    EXPECT_FALSE(Panel->Navigate(flagged));
    TakeStatusLines();
    TZAVEvent unknown(TTarnwick_ViewportPanel::NavOnMotionCB, Panel, 9);
    EXPECT_FALSE(Panel->Navigate(unknown));
    const std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text, "HomeNode == NULL in TTarnwick_ViewportPanel::NavOnMotionCB()");
    EXPECT_NEAR(Panel->Viewport.Rotation[0], std::cos(TurnPerHalfWidth), 1e-4f);
}

TEST_F(ViewportPanel, OrientationMenuPostsTheViewCommandsThatSetTheTableMatrices)
{
    struct TExpected
    {
        const char* Entry;
        int32_t Command;
        const char* Label;
        float Rows[9];
    };
    const TExpected views[] = {
        {"FrontView", 155, "Front", {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {"BackView", 156, "Back", {-1, 0, 0, 0, 1, 0, 0, 0, -1}},
        {"RightView", 157, "Right", {0, 0, -1, 0, 1, 0, 1, 0, 0}},
        {"LeftView", 158, "Left", {0, 0, 1, 0, 1, 0, -1, 0, 0}},
        {"TopView", 159, "Top", {1, 0, 0, 0, 0, 1, 0, -1, 0}},
        {"BottomView", 160, "Bottom", {1, 0, 0, 0, 0, -1, 0, 1, 0}},
    };
    auto* orientation = static_cast<TZAVglutWigits_Button*>(FindNamed(Panel, "OrientationButton"));
    ASSERT_NE(orientation, nullptr);
    auto* menu = static_cast<TZAVglutWigits_Node*>(orientation->GetAttachedMenu());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Name, "OrientationMenu for Viewport 1");
    while (PopEvent() != nullptr) {
    }
    for (const TExpected& view : views) {
        TZAVglutWigits_Node* entry = FindNamed(menu, view.Entry);
        ASSERT_NE(entry, nullptr) << view.Entry;
        entry->OnClick(1, 1);
        const std::unique_ptr<TZAVEvent> command = PopEvent();
        ASSERT_NE(command, nullptr) << view.Entry;
        EXPECT_EQ(command->ID, view.Command);
        ASSERT_EQ(command->Context, Panel);
        // What the dispatcher does with it.
        Panel->Viewport.Rotation[1] = 0.5f;
        static_cast<TTarnwick_ViewportPanel*>(command->Context)->SetView(TTarnwick_StandardView(command->ID));
        for (int32_t row = 0; row < 3; row++)
            for (int32_t column = 0; column < 3; column++)
                EXPECT_EQ(Panel->Viewport.Rotation[row * 4 + column], view.Rows[row * 3 + column])
                    << view.Entry << " row " << row << " column " << column;
        EXPECT_EQ(Panel->GetViewLabel(), view.Label);
        EXPECT_FALSE(Panel->Viewport.Perspective);
    }
    Panel->SetView(TTarnwick_StandardView::Perspective);
    EXPECT_TRUE(Panel->Viewport.Perspective);
    EXPECT_EQ(Panel->Viewport.Rotation[6], -1.0f) << "the perspective view keeps the bottom view's rotation";
}
