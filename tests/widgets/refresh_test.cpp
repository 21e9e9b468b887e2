// The Master's frame on a real freeglut window: z-order, clipping to the parent, the title bar,
// the focus frame and a label, checked on the pixels read back. Writes
// screenshots/widgets_refresh.png into the build folder for a look.
#include "widgets/blank_app.h"

#include "support/screenshot.h"
#include "support/widget_window.h"

#include <gtest/gtest.h>

#include <string>

#include "widgets/draw.h"
#include "widgets/window.h"

namespace {

constexpr float Background[3] = {0.1f, 0.1f, 0.1f};
constexpr float Red[3] = {0.8f, 0.1f, 0.1f};
constexpr float Green[3] = {0.1f, 0.7f, 0.2f};
constexpr float Yellow[3] = {0.9f, 0.9f, 0.1f};
constexpr float Blue[3] = {0.15f, 0.2f, 0.5f};
constexpr int32_t FrameWidth = 320;
constexpr int32_t FrameHeight = 240;

TZAVglutWigits_Node* AddPanel(TZAVglutWigits_Node* parent, TZAVglutWigits_Rect rect, const float* colour,
                              const char* label = "")
{
    auto* node = new TZAVglutWigits_Node(parent);
    node->X = rect.X;
    node->Y = rect.Y;
    node->Width = rect.Width;
    node->Height = rect.Height;
    std::copy(colour, colour + 3, node->BackgroundColor);
    node->SetText(label, false);
    return node;
}

// Pixels in the rectangle brighter than any colour drawn here except text.
int32_t BrightPixels(const TWidgetFrame& frame, TZAVglutWigits_Rect rect)
{
    int32_t count = 0;
    for (int32_t y = rect.Y; y < rect.Y + rect.Height; y++)
        for (int32_t x = rect.X; x < rect.X + rect.Width; x++)
            count += frame.At(x, y)[0] > 200 && frame.At(x, y)[1] > 200 && frame.At(x, y)[2] > 200;
    return count;
}

// A panel that counts its draws.
class TCountedNode : public TZAVglutWigits_Node
{
public:
    TCountedNode(TZAVglutWigits_Node* parent, TZAVglutWigits_Rect rect) : TZAVglutWigits_Node(parent)
    {
        X = rect.X;
        Y = rect.Y;
        Width = rect.Width;
        Height = rect.Height;
    }
    void Draw() override
    {
        Draws++;
        TZAVglutWigits_Node::Draw();
    }
    int32_t Draws = 0;
};

} // namespace

// Siblings that all paint their rectangles, most of them scrolled out of their parent's view.
TEST(Refresh, OcclusionPassIsLinearInTheSiblings)
{
    TZAVglutWigits_Master master(0, 400, 300);
    auto* panel = new TZAVglutWigits_Node(&master);
    panel->Width = 200;
    panel->Height = 200;
    constexpr int32_t Count = 5000;
    for (int32_t i = 0; i < Count; i++)
        new TCountedNode(panel, {0, 20 * i, 180, 20});
    panel->ScrollY = -20 * (Count / 2);
    master.PrepareFrame();
    EXPECT_LT(OcclusionTestCount(), 3 * Count);
}

TEST(Refresh, DrawsTheTreeInOrderClippedWithTitleBarFocusFrameAndLabel)
{
    std::string error;
    ASSERT_TRUE(StartWidgetGlut(error)) << error;
    const int window_id = CreateWidgetTestWindow("widgets_refresh_test", FrameWidth, FrameHeight);
    {
        TZAVglutWigits_BlankApp app(window_id);
        ASSERT_EQ(app.Width, FrameWidth);
        std::copy(Background, Background + 3, app.BackgroundColor);
        TZAVglutWigits_Node* red = AddPanel(&app, {20, 20, 150, 100}, Red, "Tarnwick");
        red->LabelColor[0] = red->LabelColor[1] = red->LabelColor[2] = 1.0f;
        red->LabelAlignment = TZAVglutWigits_Alignment::TopLeft;
        // Reaches past red's right edge; so does its label.
        TZAVglutWigits_Node* yellow = AddPanel(red, {130, 5, 100, 20}, Yellow, "Yellow label");
        yellow->LabelAlignment = TZAVglutWigits_Alignment::Left;
        std::fill_n(yellow->LabelColor, 3, 1.0f);
        // A later child over the right part of red's label.
        AddPanel(red, {40, 2, 30, 18}, Blue);
        // Wholly under green (with its child): never drawn; partly under it: drawn.
        auto* covered = new TCountedNode(&app, {110, 70, 40, 40});
        auto* covered_child = new TCountedNode(covered, {5, 5, 10, 10});
        auto* partly_covered = new TCountedNode(&app, {90, 130, 40, 20});
        AddPanel(&app, {100, 60, 150, 100}, Green);
        auto* window = new TZAVglutWigits_Window(&app, "Brushes");
        window->X = 40;
        window->Y = 175;
        window->Width = 200;
        window->Height = 55;
        std::copy(Blue, Blue + 3, window->BackgroundColor);
        TZAVglutWigits_Node* field = AddPanel(window, {20, 15, 80, 25}, Background);
        field->Clickable = true;
        window->Show();
        app.SetFocus(field);

        app.Refresh(false);
        TWidgetFrame frame = TWidgetFrame::ReadBack(FrameWidth, FrameHeight);
        std::string screenshot_error;
        EXPECT_TRUE(SaveScreenshot("widgets_refresh.png", frame.Rgb.data(), FrameWidth, FrameHeight, 3,
                                   screenshot_error))
            << screenshot_error;

        EXPECT_TRUE(frame.Near(120, 80, Green)) << "the later sibling is on top";
        EXPECT_TRUE(frame.Near(60, 90, Red));
        EXPECT_TRUE(frame.Near(160, 15 + 20 + 5, Yellow));
        EXPECT_TRUE(frame.Near(185, 30, Background)) << "a child is clipped to its parent";
        EXPECT_TRUE(frame.Near(5, 5, Background));
        // Title bar above the window, window body below it.
        const int32_t title_height = window->TitleBarHeight();
        ASSERT_GT(title_height, 8);
        EXPECT_FALSE(frame.Near(200, 175 - title_height / 2, Background));
        EXPECT_FALSE(frame.Near(200, 175 - title_height / 2, Blue));
        EXPECT_TRUE(frame.Near(200, 200, Blue));
        // The label's line holds text, but not where a later child covers it, nor past the edge of
        // the parent of the label's node; the panel's empty lower half holds none.
        const int32_t line = red->LineHeight();
        EXPECT_GT(BrightPixels(frame, {20 + 5, 20 + 5, 35, line}), 20);
        EXPECT_EQ(BrightPixels(frame, {60, 22, 30, 18}), 0);
        EXPECT_GT(BrightPixels(frame, {150, 25, 20, 20}), 5);
        EXPECT_EQ(BrightPixels(frame, {170, 25, 60, 20}), 0);
        EXPECT_EQ(BrightPixels(frame, {25, 80, 70, 30}), 0);
        EXPECT_EQ(covered->Draws + covered_child->Draws, 0);
        EXPECT_EQ(partly_covered->Draws, 1);
        // The dotted focus frame: every other pixel of the line one pixel above the field lit.
        const int32_t frame_y = field->AbsY - 1;
        int32_t lit = 0;
        for (int32_t x = field->AbsX; x < field->AbsX + field->Width; x++)
            lit += frame.At(x, frame_y)[0] > 200;
        EXPECT_NEAR(lit, field->Width / 2, 2);
        EXPECT_TRUE(frame.Near(field->AbsX + 5, field->AbsY + 5, Background));
        EXPECT_GT(app.LastFrameDrawCalls, 5);

        red->BringToFront();
        app.Refresh(false);
        frame = TWidgetFrame::ReadBack(FrameWidth, FrameHeight);
        EXPECT_TRUE(frame.Near(120, 80, Red)) << "brought to the front, drawn on top";
    }
    glutDestroyWindow(window_id);
    glutMainLoopEvent();
}
