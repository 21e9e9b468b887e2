// The controls drawn by the Master into a real freeglut window (under xvfb-run -a): pixels are
// read back where the button, the selected item's highlight, the caret and the gauge bar must be,
// and the frame is saved as a screenshot for a developer to look at.
#include <gtest/gtest.h>

#include <string>

#include "support/screenshot.h"
#include "support/widget_window.h"
#include "widgets/button.h"
#include "widgets/control_look.h"
#include "widgets/edit_field.h"
#include "widgets/font.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/text.h"
#include "widgets/window.h"

namespace {

constexpr int32_t WindowWidth = 480;
constexpr int32_t WindowHeight = 300;

// Names the pixel when it is not within two steps per channel of the colour.
testing::AssertionResult PixelIs(const TWidgetFrame& frame, int32_t x, int32_t y, const float* colour)
{
    if (frame.Near(x, y, colour, 2))
        return testing::AssertionSuccess();
    const uint8_t* pixel = frame.At(x, y);
    return testing::AssertionFailure() << "(" << x << ", " << y << ") is " << int32_t(pixel[0]) << " "
                                       << int32_t(pixel[1]) << " " << int32_t(pixel[2]) << ", not "
                                       << colour[0] * 255 << " " << colour[1] * 255 << " " << colour[2] * 255;
}

// Pixels of the rectangle whose red is over 150: text and marks on the dark scheme.
int32_t LitPixels(const TWidgetFrame& frame, int32_t x, int32_t y, int32_t width, int32_t height)
{
    int32_t lit = 0;
    for (int32_t row = y; row < y + height; row++)
        for (int32_t column = x; column < x + width; column++)
            lit += frame.At(column, row)[0] > 150;
    return lit;
}

// A list item that counts its draws.
class TCountedItem : public TZAVglutWigits_ListItem
{
public:
    TCountedItem(TZAVglutWigits_ListBox* list, const std::string& text, int32_t& draws)
        : TZAVglutWigits_ListItem(list, text), Draws(draws)
    {
    }
    void Draw() override
    {
        Draws++;
        TZAVglutWigits_ListItem::Draw();
    }

private:
    int32_t& Draws;
};

} // namespace

TEST(ControlsDrawing, ButtonSelectionCaretAndGaugeShowWhereTheyAre)
{
    std::string error;
    ASSERT_TRUE(StartWidgetGlut(error)) << error;
    const int window_id = CreateWidgetTestWindow("widgets_controls_draw_test", WindowWidth, WindowHeight);
    TZAVglutWigits_Master master(window_id, WindowWidth, WindowHeight);
    master.BackgroundColor[0] = master.BackgroundColor[1] = master.BackgroundColor[2] = 0.12f;

    auto* panel = PlaceNode(new TZAVglutWigits_Window(&master, "Controls"), 10, 30, 460, 260);
    panel->Show();
    new TZAVglutWigits_CloseButton(PlaceNode(new TZAVglutWigits_Node(panel), 436, 4, 20, 20));
    auto* button = PlaceNode(new TZAVglutWigits_Button(panel, "Apply"), 10, 10, 90, 24);
    auto* toggle = PlaceNode(new TZAVglutWigits_Button(panel, "Mirror"), 110, 10, 90, 24);
    toggle->Mode = TZAVglutWigits_ButtonMode::Toggle;
    toggle->SetDown(true);
    auto* check = PlaceNode(new TZAVglutWigits_CheckBox(panel, "Symmetry"), 210, 12, 100, 20);
    check->SetDown(true);
    PlaceNode(new TZAVglutWigits_Text(panel, "Radius"), 10, 50, 60, 20);
    // Edited text is literal: the caret stands after all of it, "&" and "[b]" included.
    auto* field = PlaceNode(new TZAVglutWigits_EditField(panel, "Tarn&wick[b]"), 80, 48, 150, 22);
    auto* gauge = PlaceNode(new TZAVglutWigits_TextAndGauge(panel, "Strength"), 250, 48, 200, 20);
    gauge->Gauge->Value = 0.3f;
    auto* list = PlaceNode(new TZAVglutWigits_ListBox(panel), 10, 84, 200, 160);
    for (const char* name : {"Clay", "Stone", "Skin", "Metal", "Bark", "Wax", "Glass", "Bone", "Jade"})
        list->AddItem(name);
    list->SelectIndex(1);
    // Only the items in view are drawn.
    auto* long_list = PlaceNode(new TZAVglutWigits_ListBox(panel), 250, 84, 200, 160);
    int32_t items_drawn = 0;
    for (int32_t i = 0; i < 5000; i++)
        new TCountedItem(long_list, "Brush " + std::to_string(i), items_drawn);
    long_list->SelectIndex(4000);
    long_list->ScrollIntoView(long_list->GetSelected());
    master.SetFocus(field);

    master.Refresh(false);
    EXPECT_LE(items_drawn, 160 / long_list->ItemHeight() + 2);
    const TWidgetFrame pixels = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
    EXPECT_TRUE(
        SaveScreenshot("widgets_controls.png", pixels.Rgb.data(), WindowWidth, WindowHeight, 3, error))
        << error;

    // Inside the button's border, clear of its label; the toggle that is down shows the accent.
    EXPECT_TRUE(PixelIs(pixels, button->AbsX + 3, button->AbsY + 3, ControlLook::Fill));
    EXPECT_TRUE(PixelIs(pixels, button->AbsX, button->AbsY, ControlLook::Border));
    EXPECT_TRUE(PixelIs(pixels, toggle->AbsX + 3, toggle->AbsY + 3, ControlLook::Accent));
    const TZAVglutWigits_ListItem* stone = list->Item(1);
    EXPECT_TRUE(PixelIs(pixels, stone->AbsX + stone->Width - 3, stone->AbsY + stone->Height / 2,
                        ControlLook::Accent));
    EXPECT_TRUE(
        PixelIs(pixels, stone->AbsX + stone->Width - 3, stone->AbsY + stone->Height + 2, ControlLook::Well));
    const TZAVglutWigits_ListItem* brush = long_list->GetSelected();
    EXPECT_TRUE(PixelIs(pixels, brush->AbsX + brush->Width - 3, brush->AbsY + brush->Height / 2,
                        ControlLook::Accent));
    // The caret stands right after the text, the field's inside is the well beyond it.
    const TZAVglutWigits_Font& font = field->Font();
    const int32_t text_x = field->AbsX + field->BorderWidth + field->HorizontalPadding;
    const int32_t caret_x = text_x + font.TextWidth("Tarn&wick[b]", TZAVglutWigits_FontMarkup::Literal);
    EXPECT_TRUE(PixelIs(pixels, caret_x, field->AbsY + field->Height / 2, ControlLook::Caret));
    EXPECT_TRUE(PixelIs(pixels, caret_x + 2, field->AbsY + field->Height / 2, ControlLook::Well));
    // The field's text, "[b]" at its end too, and the check mark are drawn where their nodes are.
    EXPECT_GT(
        LitPixels(pixels, field->AbsX + 2, field->AbsY + 2, caret_x - field->AbsX - 3, field->Height - 4),
        40);
    const int32_t tag_x = text_x + font.TextWidth("Tarn&wick", TZAVglutWigits_FontMarkup::Literal);
    EXPECT_GT(LitPixels(pixels, tag_x + 1, field->AbsY + 2, caret_x - tag_x - 2, field->Height - 4), 10);
    EXPECT_GT(LitPixels(pixels, check->AbsX, check->AbsY, check->LineHeight(), check->Height), 10);
    const TZAVglutWigits_Gauge* bar = gauge->Gauge;
    EXPECT_TRUE(PixelIs(pixels, bar->AbsX + bar->Width / 10, bar->AbsY + 3, ControlLook::Accent));
    EXPECT_TRUE(PixelIs(pixels, bar->AbsX + bar->Width * 9 / 10, bar->AbsY + 3, ControlLook::Well));
    glutDestroyWindow(window_id);
    glutMainLoopEvent();
}
