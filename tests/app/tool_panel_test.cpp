// The tool bar and the tool panel in the real main window (run under xvfb-run), driven by queued
// input records: switching tools, sliders within their bounds, check boxes that reach the tool,
// and the refusal while the current tool is Busy.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/tool_bar.h"
#include "app/tool_panel.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "paint/paint_brush.h"
#include "tools/selection_brush.h"
#include "tools/deformer.h"
#include "tools/deformer_smooth.h"
#include "tools/tool.h"
#include "support/screenshot.h"
#include "support/test_main_window.h"
#include "support/widget_window.h"

namespace {

constexpr int32_t WindowWidth = 960;
constexpr int32_t WindowHeight = 640;

void Queue(TTarnwick_InputKind kind, int32_t a, int32_t b, int32_t x, int32_t y)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), a, b, x, y}, 0);
    while (!TarnwickMainWindow->PendingInput().empty())
        TarnwickMainWindow->DisplayFrame();
}

void Press(int32_t x, int32_t y)
{
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
}

void Release(int32_t x, int32_t y)
{
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x, y);
}

void Click(const TZAVglutWigits_Node* node)
{
    ASSERT_NE(node, nullptr);
    const TZAVglutWigits_Rect rect = node->AbsoluteRect();
    Press(rect.X + rect.Width / 2, rect.Y + rect.Height / 2);
    Release(rect.X + rect.Width / 2, rect.Y + rect.Height / 2);
    // The frame after the commands shows what they changed.
    TarnwickMainWindow->DisplayFrame();
}

// The panel's slider of a tool field; null when the panel shows none.
TTarnwick_SliderBar* SliderFor(const float& field)
{
    TTarnwick_ToolPanel* panel = TarnwickMainWindow->ToolPanel();
    for (TZAVglutWigits_Node* node = panel->FirstChild; node != nullptr; node = node->NextSibling)
        if (auto* slider = dynamic_cast<TTarnwick_ParameterSlider*>(node))
            if (slider->Bar->Parameter.FloatValue == &field)
                return slider->Bar;
    return nullptr;
}

TTarnwick_ParameterCheckBox* CheckBoxFor(const bool& field)
{
    TTarnwick_ToolPanel* panel = TarnwickMainWindow->ToolPanel();
    for (TZAVglutWigits_Node* node = panel->FirstChild; node != nullptr; node = node->NextSibling)
        if (auto* box = dynamic_cast<TTarnwick_ParameterCheckBox*>(node))
            if (box->Parameter.BoolValue == &field)
                return box;
    return nullptr;
}

template <typename TTool> TTool* FindTool()
{
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    for (const TZAVMultiList<TTarnwick_Tool*>* list :
         {&toolbox.Brushes, &toolbox.Transforms, &toolbox.PaintBrushes})
        for (TTarnwick_Tool* tool : *list)
            if (auto* found = dynamic_cast<TTool*>(tool))
                return found;
    return nullptr;
}

class ToolPanel : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_tool_panel_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(WindowId, 0) << error;
        TarnwickMainWindow->Resize(WindowWidth, WindowHeight);
        TarnwickMainWindow->SwapAfterFrame = false;
        TarnwickMainWindow->CloseSplash();
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    void SetUp() override
    {
        ASSERT_NE(TarnwickMainWindow, nullptr);
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        Brush = FindTool<TTarnwick_DefaultBrush>();
        Smooth = FindTool<TTarnwick_Smooth>();
        ASSERT_NE(Brush, nullptr);
        ASSERT_NE(Smooth, nullptr);
        TarnwickMainWindow->DisplayFrame();
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        ChooseTool(nullptr);
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        Settings.reset();
    }

    TTarnwick_ToolButton* ButtonOf(const TTarnwick_Tool* tool) const
    {
        return TarnwickMainWindow->ToolBar()->ButtonFor(tool);
    }

    void ExpectWidgetsInsideAndApart();

    std::unique_ptr<TTarnwick_Settings> Settings;
    TTarnwick_DefaultBrush* Brush = nullptr;
    TTarnwick_Smooth* Smooth = nullptr;
    static inline int WindowId = 0;
};

// A click makes the tool current and its button pressed, the panel shows its parameters and the
// radius comes onto the tool bar; while the current tool is Busy another click changes nothing.
TEST_F(ToolPanel, ToolBarButtonsSwitchToolsUnlessTheCurrentOneIsBusy)
{
    Click(ButtonOf(Brush));
    EXPECT_EQ(ApplicationToolbox().CurrentTool, Brush);
    EXPECT_EQ(TarnwickMainWindow->ToolPanel()->ShownTool(), Brush);
    EXPECT_TRUE(ButtonOf(Brush)->IsDown());
    EXPECT_NE(SliderFor(Brush->Strength), nullptr);
    EXPECT_NE(FindNamed(TarnwickMainWindow->ToolPanel(), "Larger"), nullptr) << "brush-size controls";
    EXPECT_NE(FindNamed(TarnwickMainWindow->ToolBar(), Brush->Parameters.Data()[0]->GetName()), nullptr);

    Click(ButtonOf(Smooth));
    EXPECT_EQ(ApplicationToolbox().CurrentTool, Smooth);
    EXPECT_FALSE(ButtonOf(Brush)->IsDown());
    EXPECT_NE(CheckBoxFor(Smooth->NoShrink), nullptr);
    EXPECT_EQ(SliderFor(Brush->Strength), nullptr);
    EXPECT_EQ(FindNamed(TarnwickMainWindow->ToolPanel(), "Larger"), nullptr) << "a deformer is no brush";

    Smooth->Busy = true;
    Click(ButtonOf(Brush));
    Smooth->Busy = false;
    EXPECT_EQ(ApplicationToolbox().CurrentTool, Smooth);
    EXPECT_EQ(TarnwickMainWindow->ToolPanel()->ShownTool(), Smooth);
    EXPECT_TRUE(ButtonOf(Smooth)->IsDown());
}

// The bar's ends are the parameter's bounds (0 to 10 for the smoothing multiplier, not 0 to 1),
// and a drag past an end stops there.
TEST_F(ToolPanel, SliderDragsFollowTheMouseWithinTheBounds)
{
    ASSERT_TRUE(ChooseTool(Smooth));
    TarnwickEvents_ProcessEvents();
    TarnwickMainWindow->DisplayFrame();
    TTarnwick_SliderBar* bar = SliderFor(Smooth->Multiplier);
    ASSERT_NE(bar, nullptr);
    const TZAVglutWigits_Rect rect = bar->AbsoluteRect();
    const int32_t y = rect.Y + rect.Height / 2;
    Press(rect.X + rect.Width / 4, y);
    EXPECT_NEAR(Smooth->Multiplier, 2.5f, 0.2f);
    Queue(TTarnwick_InputKind::Motion, 0, 0, rect.X + rect.Width * 3 / 4, y);
    EXPECT_NEAR(Smooth->Multiplier, 7.5f, 0.2f);
    Queue(TTarnwick_InputKind::Motion, 0, 0, rect.X + rect.Width + 80, y);
    EXPECT_EQ(Smooth->Multiplier, 10.0f);
    Queue(TTarnwick_InputKind::Motion, 0, 0, rect.X - 80, y);
    EXPECT_EQ(Smooth->Multiplier, 0.0f);
    Release(rect.X - 80, y);
    Smooth->Multiplier = 1.0f;
}

// Each box reaches the tool's ParameterChanged; the one the tool clears shows unchecked.
TEST_F(ToolPanel, CheckBoxesShowTheExclusionTheToolMakes)
{
    Click(ButtonOf(Smooth));
    Smooth->NoShrink = true;
    Smooth->NormalOnly = false;
    TarnwickMainWindow->DisplayFrame();
    TTarnwick_ParameterCheckBox* no_shrink = CheckBoxFor(Smooth->NoShrink);
    TTarnwick_ParameterCheckBox* normal_only = CheckBoxFor(Smooth->NormalOnly);
    ASSERT_NE(no_shrink, nullptr);
    ASSERT_NE(normal_only, nullptr);
    EXPECT_TRUE(no_shrink->IsDown());

    Click(normal_only);
    EXPECT_TRUE(Smooth->NormalOnly);
    EXPECT_FALSE(Smooth->NoShrink);
    EXPECT_TRUE(normal_only->IsDown());
    EXPECT_FALSE(no_shrink->IsDown());

    Click(no_shrink);
    EXPECT_TRUE(Smooth->NoShrink);
    EXPECT_FALSE(Smooth->NormalOnly);
    EXPECT_FALSE(normal_only->IsDown());
}

// The panel sits beside the views, its widgets inside it and clear of each other, also with a
// paint brush's long-labelled drop-down.
TEST_F(ToolPanel, PanelLiesBesideTheViewsWithoutOverlaps)
{
    TarnwickApp.Ready = true;
    ASSERT_TRUE(OpenProject(std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick"));
    TarnwickMainWindow->ResetViewports();
    TTarnwick_Tool* const tools[] = {FindTool<TTarnwick_RoundBrush>(), Brush};
    for (TTarnwick_Tool* tool : tools) {
        ASSERT_NE(tool, nullptr);
        Click(ButtonOf(tool));
        TarnwickMainWindow->DisplayFrame();
        ExpectWidgetsInsideAndApart();
    }
    const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
    std::string error;
    EXPECT_TRUE(SaveScreenshot("tool_panel.png", frame.Rgb.data(), WindowWidth, WindowHeight, 3, error))
        << error;

    const TZAVglutWigits_Rect panel = TarnwickMainWindow->ToolPanel()->AbsoluteRect();
    const TZAVglutWigits_Rect bar = TarnwickMainWindow->ToolBar()->AbsoluteRect();
    const TZAVglutWigits_Rect view = TarnwickMainWindow->ViewportPanel(0)->AbsoluteRect();
    EXPECT_GE(view.X, panel.X + panel.Width);
    EXPECT_GE(view.Y, bar.Y + bar.Height);
    EXPECT_GE(panel.Y, bar.Y + bar.Height);
}

void ToolPanel::ExpectWidgetsInsideAndApart()
{
    for (TZAVglutWigits_Node* parent : {static_cast<TZAVglutWigits_Node*>(TarnwickMainWindow->ToolPanel()),
                                        static_cast<TZAVglutWigits_Node*>(TarnwickMainWindow->ToolBar())}) {
        std::vector<TZAVglutWigits_Rect> seen;
        const TZAVglutWigits_Rect outer = parent->AbsoluteRect();
        for (TZAVglutWigits_Node* node = parent->FirstChild; node != nullptr; node = node->NextSibling) {
            const TZAVglutWigits_Rect rect = node->AbsoluteRect();
            EXPECT_TRUE(rect.Inside(outer)) << node->Name << " leaves " << parent->Name;
            for (const TZAVglutWigits_Rect& other : seen)
                EXPECT_TRUE(rect.Intersect(other).Empty()) << node->Name << " overlaps another widget";
            seen.push_back(rect);
        }
    }
}

} // namespace
