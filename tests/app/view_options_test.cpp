// The views' display options drawn on the real main window (run under xvfb-run): each switch and
// the showing and dimming of the other objects change the pixels of the maximised view as they
// say; the option windows' controls change their options; the "Resize map..." dialog resizes on
// OK and not on Cancel. Writes screenshots/view_options_*.png into the build folder for a look.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "app/object_commands.h"
#include "app/option_windows.h"
#include "app/toolbox.h"
#include "app/resize_map_window.h"
#include "app/viewport_panel.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/screenshot.h"
#include "support/scripted_dialogs.h"
#include "support/test_main_window.h"
#include "tools/selection_brush.h"
#include "tools/tool.h"
#include "widgets/button.h"
#include "widgets/edit_field.h"
#include "widgets/message_box.h"

namespace {

constexpr int32_t WindowWidth = 800;
constexpr int32_t WindowHeight = 600;
constexpr float Red[3] = {0.9f, 0.2f, 0.1f};
constexpr float Blue[3] = {0.1f, 0.2f, 0.9f};

bool Reddish(const uint8_t* pixel)
{
    return pixel[0] > 40 && pixel[0] > 2 * pixel[1] && pixel[0] > 2 * pixel[2];
}

bool Bluish(const uint8_t* pixel)
{
    return pixel[2] > 25 && pixel[2] > 2 * pixel[0] && pixel[2] > pixel[1] + 10;
}

bool Green(const uint8_t* pixel)
{
    return pixel[1] > 200 && pixel[0] < 60 && pixel[2] < 60;
}

// A grid of 8 × 8 quads in one colour, moved by shift along x.
TTarnwick_Object* AddGrid(const float* colour, float shift, const char* name)
{
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral(name);
    object->SetMesh(std::make_unique<TTarnwick_Mesh>());
    TTarnwick_Mesh& mesh = *object->Mesh;
    MakeGrid(mesh, 8, 8);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        mesh.Vertices[3 * size_t(vertex)] += shift;
    mesh.Prepare();
    TZAVMaterial* material = mesh.CreateMaterial();
    material->AddDefaultChannels();
    std::copy_n(colour, 3, material->FindChannel("Color")->Colors[0]);
    mesh.Materials.Add(material);
    std::fill(mesh.PolygonMaterial.begin(), mesh.PolygonMaterial.end(), int16_t(0));
    TarnwickProject->AddObject(object);
    return object;
}

class ViewOptions : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_view_options_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(WindowId, 0) << error;
        TarnwickMainWindow->CloseSplash();
        TarnwickMainWindow->ToggleMaximized(TarnwickMainWindow->ViewportPanel(0));
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    void SetUp() override
    {
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        ObjectDisplay = TTarnwick_ObjectDisplay();
        // The other object right of the current one, which is added last and so current.
        AddGrid(Blue, 10.0f, "other");
        AddGrid(Red, 0.0f, "figure");
        Panel = TarnwickMainWindow->ViewportPanel(0);
        Panel->SetView(TTarnwick_StandardView::Front);
        Panel->SetDisplayMode(TTarnwick_DisplayMode::Smooth);
        Run(171);
        Run(173);
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
    }

    // Dispatched with the view as its context, then every follow-up.
    bool Run(int32_t id, int32_t index = -1)
    {
        TZAVEvent event(id);
        event.Context = Panel;
        event.SetIndex(index);
        const bool done = DispatchCommand(&event);
        TarnwickEvents_ProcessEvents();
        return done;
    }

    // The pixels of the view that pass the test.
    int32_t Count(const std::function<bool(const uint8_t*)>& test, const char* screenshot = nullptr)
    {
        TarnwickMainWindow->Refresh(false);
        const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
        if (screenshot != nullptr) {
            std::string error;
            EXPECT_TRUE(SaveScreenshot(screenshot, frame.Rgb.data(), WindowWidth, WindowHeight, 3, error))
                << error;
        }
        const TZAVglutWigits_Rect view = Panel->AbsoluteRect();
        int32_t count = 0;
        for (int32_t y = view.Y + 2 * TTarnwick_ViewportPanel::BarHeight; y < view.Y + view.Height; y++)
            for (int32_t x = view.X; x < view.X + view.Width; x++)
                count += test(frame.At(x, y));
        return count;
    }

    std::unique_ptr<TTarnwick_Settings> Settings;
    TTarnwick_ViewportPanel* Panel = nullptr;
    static inline int WindowId = 0;
};

TEST_F(ViewOptions, EachSwitchChangesTheDrawnViewAsItSays)
{
    const int32_t red = Count(Reddish, "view_options_plain.png");
    const int32_t blue = Count(Bluish);
    ASSERT_GT(red, 1000);
    ASSERT_GT(blue, 1000);

    // The wireframe in the chosen colour, where the plain view had none of it.
    ScriptedDialogs dialogs;
    dialogs.ExpectColour(0, 255, 0);
    ASSERT_TRUE(Run(170));
    EXPECT_EQ(Count(Green), 0);
    ASSERT_TRUE(Run(164));
    EXPECT_GT(Count(Green, "view_options_wireframe.png"), 200);
    ASSERT_TRUE(Run(164));

    // Unlit, every pixel of the figure is its material's colour; lit, the bulge shades it.
    auto material_colour = [](const uint8_t* pixel) {
        return Reddish(pixel) && std::abs(pixel[0] - int32_t(Red[0] * 255 + 0.5f)) <= 2 &&
               std::abs(pixel[1] - int32_t(Red[1] * 255 + 0.5f)) <= 2;
    };
    EXPECT_LT(Count(material_colour), red / 2);
    ASSERT_TRUE(Run(167));
    EXPECT_GT(Count(material_colour), red * 9 / 10);
    ASSERT_TRUE(Run(167));

    // From behind the grids face away: culled, unless back faces are shown.
    Panel->SetView(TTarnwick_StandardView::Back);
    EXPECT_EQ(Count(Reddish), 0);
    ASSERT_TRUE(Run(165));
    EXPECT_GT(Count(Reddish, "view_options_back_faces.png"), red / 2);
    ASSERT_TRUE(Run(165));
    Panel->SetView(TTarnwick_StandardView::Front);

    // Half-selected points show pink over the figure while a selection brush is the tool.
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    if (mesh.CurrentSelection == nullptr)
        mesh.NewSelection(-1);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        mesh.CurrentSelection->SetVSelect(vertex, 0.5f);
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    TTarnwick_Tool* brush = nullptr;
    for (TTarnwick_Tool* tool : toolbox.Brushes)
        if (brush == nullptr && dynamic_cast<TTarnwick_SelectionBrush*>(tool) != nullptr)
            brush = tool;
    ASSERT_NE(brush, nullptr);
    ASSERT_TRUE(toolbox.SwitchTool(brush, &mesh));
    auto pink = [](const uint8_t* pixel) {
        return std::abs(pixel[0] - 255) <= 3 && std::abs(pixel[1] - 128) <= 3 &&
               std::abs(pixel[2] - 128) <= 3;
    };
    EXPECT_GT(Count(pink), 20);
    ASSERT_TRUE(Run(166));
    EXPECT_EQ(Count(pink), 0);
    toolbox.SwitchTool(nullptr, &mesh);

    // Dimmed, the other object keeps its hue but loses most of its brightness; shown alone, the
    // current object leaves the other out.
    auto bright_blue = [](const uint8_t* pixel) { return Bluish(pixel) && pixel[2] > 120; };
    ASSERT_GT(Count(bright_blue), blue / 2);
    ASSERT_TRUE(Run(118));
    EXPECT_EQ(Count(bright_blue, "view_options_dimmed.png"), 0);
    EXPECT_GT(Count(Bluish), blue / 2);
    ASSERT_TRUE(Run(117));
    EXPECT_EQ(Count(Bluish), 0);
    EXPECT_GT(Count(Reddish), red * 9 / 10);
}

TEST_F(ViewOptions, OptionWindowsChangeTheirOptionsAtOnce)
{
    ASSERT_TRUE(Run(269));
    TTarnwick_ViewportOptionsWindow& view_window = ViewportOptionsWindow();
    EXPECT_TRUE(view_window.Shown);
    EXPECT_EQ(view_window.GetPanel(), Panel);
    TZAVglutWigits_CheckBox* wireframe = view_window.SwitchBox(164);
    ASSERT_NE(wireframe, nullptr);
    for (int32_t expected : {1, 0}) {
        wireframe->OnClick(2, 2);
        TarnwickEvents_ProcessEvents();
        EXPECT_EQ(Panel->Options.Wireframe, expected);
        wireframe->Update();
        EXPECT_EQ(wireframe->IsDown(), expected == 1);
    }
    Count([](const uint8_t*) { return false; }, "view_options_window.png");
    view_window.Hide();

    ASSERT_TRUE(Run(270));
    TTarnwick_ProgramOptionsWindow& program_window = ProgramOptionsWindow();
    EXPECT_TRUE(program_window.Shown);
    TZAVglutWigits_CheckBox* import_maps = program_window.FindBox("Load the maps they name");
    ASSERT_NE(import_maps, nullptr);
    const bool before = TarnwickProject->ImportMaps;
    import_maps->OnClick(2, 2);
    EXPECT_NE(TarnwickProject->ImportMaps, before);
    // A typed number takes effect on Enter, held within its range.
    TZAVglutWigits_EditField* undo = program_window.FindField("Undo memory (MB, 0 = no undo)");
    ASSERT_NE(undo, nullptr);
    for (auto [typed, expected] : {std::pair{"12", 12}, std::pair{"-5", 0}}) {
        undo->SetText(typed);
        undo->OnKey(13);
        EXPECT_EQ(TarnwickSettings->UndoLimit, expected) << typed;
    }
    Count([](const uint8_t*) { return false; }, "view_options_program_window.png");
    program_window.Hide();
}

TEST_F(ViewOptions, ResizeDialogResizesOnOkOnlyAndKeepsEachMapsProportions)
{
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    for (auto [width, height] : {std::pair{8, 8}, std::pair{8, 4}}) {
        auto* map = new TZAVMaterialMap;
        ASSERT_TRUE(map->AllocatePixels(width, height));
        mesh.MaterialMaps.Add(map);
    }
    TTarnwick_ResizeMapWindow& dialog = ResizeMapWindow();
    auto answer = [&](const char* width, const char* height, TZAVglutWigits_DialogButton* button) {
        EXPECT_TRUE(dialog.Shown);
        dialog.WidthField->SetText(width);
        dialog.HeightField->SetText(height);
        button->OnClick(2, 2);
        TarnwickEvents_ProcessEvents();
        EXPECT_FALSE(dialog.Shown);
    };
    ASSERT_TRUE(Run(74, 1));
    EXPECT_EQ(dialog.WidthField->GetText(), "8");
    EXPECT_EQ(dialog.HeightField->GetText(), "4");
    answer("32", "32", dialog.CancelButton);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->Width, 8);
    ASSERT_TRUE(Run(74, 1));
    answer("16", "2", dialog.OkButton);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->Width, 16);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->Height, 2);
    EXPECT_EQ(MaterialMapAt(mesh, 0)->Width, 8);

    // Every map at once, each keeping its own proportions.
    ASSERT_TRUE(Run(75));
    dialog.KeepAspectBox->OnClick(2, 2);
    answer("32", "1", dialog.OkButton);
    EXPECT_EQ(MaterialMapAt(mesh, 0)->Width, 32);
    EXPECT_EQ(MaterialMapAt(mesh, 0)->Height, 32);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->Width, 32);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->Height, 4);
    EXPECT_FALSE(Run(74, 5));
}

} // namespace
