// A tool window as the application builds them (menu bar, button, a list of 200 brushes with its
// scroll bar, a strength field bound to a float, a radius gauge), driven only by input records
// through the Master, drawn into a real freeglut window (under xvfb-run -a) and read back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "support/screenshot.h"
#include "support/scripted_dialogs.h"
#include "support/widget_window.h"
#include "widgets/button.h"
#include "widgets/control_look.h"
#include "widgets/edit_field.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/scroll_bar.h"
#include "widgets/window.h"

namespace {

constexpr int32_t FrameWidth = 420;
constexpr int32_t FrameHeight = 320;

enum TCommand : int32_t
{
    CommandSave = 102,
    CommandApply = 201,
    CommandPickBrush = 301,
    CommandStrength = 401,
    CommandRadius = 501,
};

// The id and item index of every event posted since the last call.
std::vector<std::pair<int32_t, int32_t>> Posted()
{
    std::vector<std::pair<int32_t, int32_t>> posted;
    while (std::unique_ptr<TZAVEvent> event = PopEvent())
        posted.emplace_back(event->GetID(), event->GetIndex());
    return posted;
}

class ToolWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(StartWidgetGlut(error)) << error;
        WindowId = CreateWidgetTestWindow("widgets_tool_window_test", FrameWidth, FrameHeight);
        Master = std::make_unique<TZAVglutWigits_Master>(WindowId, FrameWidth, FrameHeight);
        Posted();
    }

    void TearDown() override
    {
        Master.reset();
        glutDestroyWindow(WindowId);
        glutMainLoopEvent();
    }

    void Click(const TZAVglutWigits_Node* node, int32_t x, int32_t y)
    {
        Master->PrepareFrame();
        Master->ProcessMouseButton(MouseLeft, MouseDown, node->AbsX + x, node->AbsY + y);
        Master->ProcessMouseButton(MouseLeft, MouseUp, node->AbsX + x, node->AbsY + y);
    }
    void Click(const TZAVglutWigits_Node* node) { Click(node, node->Width / 2, node->Height / 2); }
    void Type(const std::string& keys)
    {
        for (char key : keys)
            Master->ProcessKey(uint8_t(key));
    }

    ScriptedDialogs Dialogs;
    int WindowId = 0;
    std::unique_ptr<TZAVglutWigits_Master> Master;
};

TEST_F(ToolWindow, InputRecordsReachTheBoundValuesAndEventsAndTheFrameShowsThem)
{
    auto* bar = PlaceNode(new TZAVglutWigits_MenuBar(Master.get()), 0, 0, FrameWidth, 22);
    TZAVglutWigits_Menu* file = bar->AddMenu("&File");
    file->AddEntry("&Open", std::make_unique<TZAVEvent>(101));
    file->AddEntry("&Save", std::make_unique<TZAVEvent>(CommandSave));

    auto* window = PlaceNode(new TZAVglutWigits_Window(Master.get(), "Sculpt"), 10, 40, 400, 270);
    window->Show();
    auto* apply = PlaceNode(new TZAVglutWigits_Button(window, "Apply"), 10, 10, 90, 24);
    apply->ClickEvent = std::make_unique<TZAVEvent>(CommandApply);
    auto* brushes = PlaceNode(new TZAVglutWigits_ListBox(window), 10, 44, 180, 200);
    brushes->ItemClickEvent = std::make_unique<TZAVEvent>(CommandPickBrush);
    for (int32_t index = 0; index < 200; index++)
        brushes->AddItem("Brush " + std::to_string(index));
    float strength = 0.5f;
    auto* field = PlaceNode(new TZAVglutWigits_EditField(window), 210, 44, 170, 22);
    field->BindFloat(&strength);
    field->ClickEvent = std::make_unique<TZAVEvent>(CommandStrength);
    float radius = 0.25f;
    auto* gauge = PlaceNode(new TZAVglutWigits_Gauge(window), 210, 80, 170, 18);
    gauge->BoundFloat = &radius;
    gauge->ClickEvent = std::make_unique<TZAVEvent>(CommandRadius);
    Master->PrepareFrame();
    ASSERT_NE(brushes->ScrollBar, nullptr);
    ASSERT_TRUE(brushes->ScrollBar->Shown);

    // A menu entry, the button, an item of the list.
    Click(bar->FirstChild);
    ASSERT_TRUE(file->Shown);
    Click(file->FirstChild->NextSibling);
    EXPECT_FALSE(file->Shown);
    Click(apply);
    Click(brushes->Item(3));
    EXPECT_EQ(Posted(), (std::vector<std::pair<int32_t, int32_t>>{
                            {CommandSave, -1}, {CommandApply, -1}, {CommandPickBrush, 3}}));

    // The keys move the selection to the last brush, scrolling it into view.
    Master->ProcessSpecialKey(GLUT_KEY_END, 0, 0);
    Master->PrepareFrame();
    EXPECT_EQ(brushes->GetSelected(), brushes->Item(199));
    EXPECT_EQ(brushes->ScrollBar->GetScrollPosition(), brushes->ScrollBar->Range());
    EXPECT_EQ(Master->HitTest(brushes->AbsX + 20, brushes->Item(199)->AbsY + 5), brushes->Item(199));

    // The field takes typed text into its float; text that is no number leaves it.
    Click(field);
    Master->ProcessKey(1); // Ctrl+A
    Type("2.5\r");
    EXPECT_EQ(strength, 2.5f);
    EXPECT_EQ(field->GetText(), "2.5");
    Type("x\r");
    EXPECT_EQ(strength, 2.5f);
    EXPECT_EQ(field->GetText(), "2.5");

    // The gauge follows a press at three quarters of its bar, then an arrow key.
    Master->PrepareFrame();
    Master->ProcessMouseButton(MouseLeft, MouseDown, gauge->AbsX + gauge->Width * 3 / 4, gauge->AbsY + 5);
    Master->ProcessMouseButton(MouseLeft, MouseUp, gauge->AbsX + gauge->Width * 3 / 4, gauge->AbsY + 5);
    EXPECT_NEAR(radius, 0.75f, 0.02f);
    const float pressed = radius;
    Master->ProcessSpecialKey(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_NEAR(radius, pressed + 0.05f, 1e-5f);
    const std::vector<std::pair<int32_t, int32_t>> posted = Posted();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.front().first, CommandStrength);
    EXPECT_EQ(posted.back().first, CommandRadius);

    // The frame: the button's face, the selected brush's highlight and the field's caret.
    Click(field, field->Width - 4, field->Height / 2);
    Master->ProcessSpecialKey(GLUT_KEY_END, 0, 0);
    Master->Refresh(false);
    const TWidgetFrame frame = TWidgetFrame::ReadBack(FrameWidth, FrameHeight);
    std::string error;
    EXPECT_TRUE(SaveScreenshot("widgets_tool_window.png", frame.Rgb.data(), FrameWidth, FrameHeight, 3, error))
        << error;
    EXPECT_TRUE(frame.Near(apply->AbsX + 3, apply->AbsY + 3, ControlLook::Fill));
    const TZAVglutWigits_ListItem* selected = brushes->GetSelected();
    EXPECT_TRUE(frame.Near(selected->AbsX + 3, selected->AbsY + selected->Height / 2, ControlLook::Accent));
    const int32_t caret_x = field->AbsX + field->BorderWidth + field->HorizontalPadding + field->TextWidth("2.5");
    EXPECT_TRUE(frame.Near(caret_x, field->AbsY + field->Height / 2, ControlLook::Caret));
    EXPECT_FALSE(frame.Near(caret_x + 3, field->AbsY + field->Height / 2, ControlLook::Caret));
}

} // namespace
