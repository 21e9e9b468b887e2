// The controls driven without a display: input records go through the Master's Process*
// operations and the posted events are read back from the event queue.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "support/widget_routing.h"
#include "widgets/button.h"
#include "widgets/draw.h"
#include "widgets/edit_field.h"
#include "widgets/font.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/scroll_bar.h"
#include "widgets/window.h"

namespace {

struct TPosted
{
    int32_t Id;
    int32_t Index;
    int32_t First;
    std::string Text;
    bool operator==(const TPosted&) const = default;
};

std::ostream& operator<<(std::ostream& stream, const TPosted& posted)
{
    return stream << "{" << posted.Id << ", " << posted.Index << ", " << posted.First << ", \"" << posted.Text
                  << "\"}";
}

std::vector<TPosted> Posted()
{
    std::vector<TPosted> posted;
    while (std::unique_ptr<TZAVEvent> event = PopEvent()) {
        const char* text = event->GetStringParameter(0);
        posted.push_back({event->GetID(), event->GetIndex(), event->IntegerParameters[0], text ? text : ""});
    }
    return posted;
}

class Controls : public WidgetRoutingTest
{
protected:
    void SetUp() override
    {
        WidgetRoutingTest::SetUp();
        Posted();
    }
    // Clicks at the node's own point (x, y), a second apart so that no two clicks pair up.
    void Click(const TZAVglutWigits_Node* node, int32_t x = 5, int32_t y = 5, int32_t button = MouseLeft)
    {
        master.PrepareFrame();
        Now() += 1000;
        master.ProcessMouseButton(button, MouseDown, node->AbsX + x, node->AbsY + y);
        master.ProcessMouseButton(button, MouseUp, node->AbsX + x, node->AbsY + y);
    }
    void Type(std::string_view text)
    {
        for (char key : text)
            master.ProcessKey(static_cast<uint8_t>(key));
    }
    void Special(int32_t key) { master.ProcessSpecialKey(key, 0, 0); }

};

} // namespace

TEST_F(Controls, TogglesFollowTheirGroupAndBoundIntegerAndCheckBoxesReportTheirState)
{
    int32_t brush_mode = 0;
    TZAVglutWigits_Button* modes[3];
    for (int32_t i = 0; i < 3; i++) {
        modes[i] = PlaceNode(new TZAVglutWigits_Button(&master, "Mode", std::make_unique<TZAVEvent>(10 + i)),
                         i * 60, 0, 50, 20);
        modes[i]->Mode = TZAVglutWigits_ButtonMode::Toggle;
        modes[i]->Group = 1;
        modes[i]->BoundInteger = &brush_mode;
        modes[i]->DownValue = i;
    }
    int32_t mirror = 0;
    auto* lone = PlaceNode(new TZAVglutWigits_Button(&master, "Mirror"), 0, 40, 50, 20);
    lone->Mode = TZAVglutWigits_ButtonMode::Toggle;
    lone->BoundInteger = &mirror;
    auto* push =
        PlaceNode(new TZAVglutWigits_Button(&master, "Apply", std::make_unique<TZAVEvent>(20)), 0, 80, 50, 20);

    Click(modes[2]);
    EXPECT_EQ(brush_mode, 2);
    Click(modes[1]);
    Click(modes[1]); // a down member of a group stays down
    EXPECT_EQ(brush_mode, 1);
    EXPECT_TRUE(modes[1]->IsDown());
    EXPECT_FALSE(modes[0]->IsDown() || modes[2]->IsDown());
    // The state follows the integer when it changes elsewhere.
    brush_mode = 0;
    master.PrepareFrame();
    EXPECT_TRUE(modes[0]->IsDown());
    EXPECT_FALSE(modes[1]->IsDown());

    Click(lone);
    EXPECT_EQ(mirror, 1);
    Click(lone);
    EXPECT_EQ(mirror, 0);
    Click(push);
    EXPECT_FALSE(push->IsDown());
    EXPECT_EQ(Posted(),
              (std::vector<TPosted>{{12, -1, 0, ""}, {11, -1, 0, ""}, {11, -1, 0, ""}, {20, -1, 0, ""}}));

    auto* check = PlaceNode(new TZAVglutWigits_CheckBox(&master, "Symmetry", std::make_unique<TZAVEvent>(30)), 0,
                        120, 100, 20);
    Click(check);
    Click(check);
    master.SetInputModifiers(ModifierNone);
    check->HotKey = 's';
    master.ProcessKey('s');
    EXPECT_EQ(Posted(), (std::vector<TPosted>{{30, -1, 1, ""}, {30, -1, 0, ""}, {30, -1, 1, ""}}));
}

TEST_F(Controls, CloseButtonHidesItsWindowAsClosedByTheUserOrElseItsParent)
{
    auto* window = PlaceNode(new TZAVglutWigits_Window(&master, "Brushes"), 100, 100, 200, 150);
    window->Show();
    auto* panel = PlaceNode(new TZAVglutWigits_Node(window), 10, 10, 100, 100);
    auto* in_window = PlaceNode(new TZAVglutWigits_CloseButton(panel), 80, 0, 16, 16);
    auto* loose_panel = PlaceNode(new TZAVglutWigits_Node(&master), 400, 100, 100, 100);
    auto* in_panel = PlaceNode(new TZAVglutWigits_CloseButton(loose_panel), 80, 0, 16, 16);

    Click(in_window);
    EXPECT_FALSE(window->Shown);
    EXPECT_TRUE(window->ClosedByUser);
    EXPECT_TRUE(panel->Shown);
    EXPECT_EQ(master.ActiveWindow, nullptr);
    Click(in_panel);
    EXPECT_FALSE(loose_panel->Shown);
}

TEST_F(Controls, EditFieldEditsCommitsCancelsAndKeepsItsValueOnBadText)
{
    EXPECT_EQ(FormatFieldFloat(0.5f), "0.5");
    EXPECT_EQ(FormatFieldFloat(2.0f), "2");
    EXPECT_EQ(FormatFieldFloat(-0.00001f), "0");
    EXPECT_EQ(FormatFieldFloat(1.23456f), "1.2346");
    EXPECT_EQ(FormatFieldFloat(1200.0f), "1200");

    float radius = 0.5f;
    auto* field = PlaceNode(new TZAVglutWigits_EditField(&master), 10, 10, 150, 22);
    field->ClickEvent = std::make_unique<TZAVEvent>(40);
    field->BindFloat(&radius);
    EXPECT_EQ(field->GetText(), "0.5");

    Click(field, 140);
    EXPECT_EQ(master.Focus, field);
    EXPECT_EQ(field->Editor.Caret, 3u);
    Type("\b25");
    Special(SpecialKeyHome);
    master.ProcessKey(127); // delete
    Type("1");
    Special(SpecialKeyRight);
    Type("5");
    EXPECT_EQ(field->GetText(), "1.525");
    EXPECT_EQ(radius, 0.5f);
    Type("\r");
    EXPECT_EQ(radius, 1.525f);
    EXPECT_EQ(field->GetText(), "1.525");

    Type("9\x1b"); // Escape brings back the text of the last commit
    EXPECT_EQ(field->GetText(), "1.525");
    // Double click selects everything; typing replaces it.
    master.PrepareFrame();
    for (int32_t i = 0; i < 2; i++) {
        master.ProcessMouseButton(MouseLeft, MouseDown, field->AbsX + 20, field->AbsY + 5);
        master.ProcessMouseButton(MouseLeft, MouseUp, field->AbsX + 20, field->AbsY + 5);
    }
    Type("2.0000\r");
    EXPECT_EQ(radius, 2.0f);
    EXPECT_EQ(field->GetText(), "2");
    Type("\x01wide\r"); // Ctrl+A, then text that is no number
    EXPECT_EQ(radius, 2.0f);
    EXPECT_EQ(field->GetText(), "2");
    EXPECT_EQ(Posted(), (std::vector<TPosted>{{40, -1, 0, "1.525"}, {40, -1, 0, "2"}}));

    // An integer field; losing the focus after an edit commits without the event.
    int32_t count = 7;
    auto* integer = PlaceNode(new TZAVglutWigits_EditField(&master), 10, 50, 150, 22);
    integer->BindInteger(&count);
    Click(integer, 140);
    Type("\b\b12x\r");
    EXPECT_EQ(count, 7);
    EXPECT_EQ(integer->GetText(), "7");
    Type("\b42");
    Click(field, 140);
    EXPECT_EQ(count, 42);
    // The bound value changed elsewhere shows when the field is not being edited.
    radius = 0.25f;
    master.PrepareFrame();
    EXPECT_EQ(field->GetText(), "0.25");
    EXPECT_TRUE(Posted().empty());
}

// "&" and "[b]" typed into a field are text, not markup: each takes room, and a click right after
// each character puts the caret there.
TEST_F(Controls, EditFieldTakesMarkupCharactersLiterally)
{
    auto* field = PlaceNode(new TZAVglutWigits_EditField(&master), 10, 10, 200, 22);
    Click(field);
    const std::string_view text = "a&b[b]c";
    Type(text);
    ASSERT_EQ(field->GetText(), text);
    const TZAVglutWigits_Font& font = field->Font();
    const int32_t inset = field->BorderWidth + field->HorizontalPadding;
    int32_t previous = 0;
    for (size_t length = 1; length <= text.size(); length++) {
        const int32_t width = font.TextWidth(text.substr(0, length), TZAVglutWigits_FontMarkup::Literal);
        EXPECT_GT(width, previous) << length;
        previous = width;
        Click(field, inset + width);
        EXPECT_EQ(field->Editor.Caret, length);
    }
}

TEST_F(Controls, GaugeFollowsTheMouseStepsWithArrowsAndTakesItsEditFieldsText)
{
    float strength = 0.0f;
    auto* gauge = PlaceNode(new TZAVglutWigits_Gauge(&master), 100, 100, 204, 20);
    gauge->BoundFloat = &strength;
    gauge->ClickEvent = std::make_unique<TZAVEvent>(50);
    master.PrepareFrame();
    // The bar runs from x 2 to 202 inside the border.
    master.ProcessMouseButton(MouseLeft, MouseDown, 100 + 52, 110);
    EXPECT_FLOAT_EQ(strength, 0.25f);
    master.ProcessMouseMotion(100 + 152, 110);
    EXPECT_FLOAT_EQ(gauge->Value, 0.75f);
    master.ProcessMouseMotion(900, 110);
    master.ProcessMouseButton(MouseLeft, MouseUp, 900, 110);
    EXPECT_EQ(gauge->Value, 1.0f);
    EXPECT_EQ(master.Focus, nullptr); // released outside: no click, no focus

    EXPECT_EQ(Posted().size(), 3u);

    Click(gauge, 202);
    EXPECT_EQ(master.Focus, gauge);
    Special(SpecialKeyRight);
    EXPECT_EQ(gauge->Value, 1.0f);
    EXPECT_TRUE(Posted().empty()); // held at 1: no change, no event
    Special(SpecialKeyLeft);
    EXPECT_FLOAT_EQ(strength, 0.95f);
    for (int32_t i = 0; i < 25; i++)
        Special(SpecialKeyLeft);
    EXPECT_EQ(strength, 0.0f);
    Posted();
    Special(SpecialKeyLeft);
    EXPECT_TRUE(Posted().empty());

    auto* field = PlaceNode(new TZAVglutWigits_GaugeEditField(&master, gauge), 100, 140, 80, 22);
    Click(field, 70);
    Type("\b0.35");
    Click(gauge, 1, 1);
    EXPECT_FLOAT_EQ(strength, 0.35f);
    EXPECT_EQ(field->GetText(), "0.35");
}

TEST_F(Controls, ListBoxSelectsByClickAndKeysAndDropsDraggedTextOnAnotherList)
{
    auto* source = PlaceNode(new TZAVglutWigits_ListBox(&master), 10, 10, 200, 300);
    auto* target = PlaceNode(new TZAVglutWigits_ListBox(&master), 300, 10, 200, 300);
    for (const char* name : {"Clay", "Stone", "Skin", "Metal"})
        source->AddItem(name);
    target->AddItem("Bark");
    source->ItemClickEvent = std::make_unique<TZAVEvent>(60);
    source->ItemDoubleClickEvent = std::make_unique<TZAVEvent>(61);
    source->SelectionEvent = std::make_unique<TZAVEvent>(62);
    target->AcceptDrops(std::make_unique<TZAVEvent>(63));

    Click(source->Item(1));
    EXPECT_EQ(source->SelectedIndex(), 1);
    EXPECT_EQ(master.Focus, source);
    Special(SpecialKeyDown);
    Special(SpecialKeyDown);
    Special(SpecialKeyDown); // held at the last item
    EXPECT_EQ(source->SelectedIndex(), 3);
    Special(SpecialKeyHome);
    EXPECT_EQ(source->GetSelected(), source->Item(0));
    EXPECT_EQ(Posted(), (std::vector<TPosted>{
                            {62, 1, 0, ""}, {60, 1, 0, ""}, {62, 2, 0, ""}, {62, 3, 0, ""}, {62, 0, 0, ""}}));

    const TZAVglutWigits_ListItem* skin = source->Item(2);
    Click(skin);
    Now() += 100;
    master.ProcessMouseButton(MouseLeft, MouseDown, skin->AbsX + 6, skin->AbsY + 5);
    master.ProcessMouseButton(MouseLeft, MouseUp, skin->AbsX + 6, skin->AbsY + 5);
    EXPECT_EQ(Posted(), (std::vector<TPosted>{{62, 2, 0, ""}, {60, 2, 0, ""}, {61, 2, 0, ""}}));

    // Dropped on the target's item, then below its last item.
    const TZAVglutWigits_ListItem* bark = target->Item(0);
    for (int32_t drop_y : {bark->AbsY + 4, bark->AbsY + 100}) {
        master.ProcessMouseButton(MouseLeft, MouseDown, skin->AbsX + 5, skin->AbsY + 5);
        master.ProcessMouseMotion(skin->AbsX + 50, skin->AbsY + 5);
        master.ProcessMouseMotion(bark->AbsX + 20, drop_y);
        master.ProcessMouseButton(MouseLeft, MouseUp, bark->AbsX + 20, drop_y);
    }
    EXPECT_EQ(Posted(), (std::vector<TPosted>{{63, 0, 0, "Skin"}, {63, 1, 0, "Skin"}}));
    EXPECT_EQ(source->SelectedIndex(), 2);

    delete source->Item(1);
    EXPECT_EQ(source->Count(), 3);
    EXPECT_EQ(source->Item(1)->Name, "Skin");
    EXPECT_EQ(source->SelectedIndex(), 1);
}

TEST_F(Controls, ScrollHandleDragScrollsTheListAndItsItemsHitAccordingly)
{
    auto* list = PlaceNode(new TZAVglutWigits_ListBox(&master), 50, 50, 200, 202);
    for (int32_t i = 0; i < 5000; i++)
        list->AddItem("Item " + std::to_string(i));
    master.PrepareFrame();
    const int32_t item_height = list->ItemHeight();
    TZAVglutWigits_ScrollBar* bar = list->ScrollBar;
    ASSERT_TRUE(bar->Shown);
    EXPECT_EQ(bar->Range(), 5000 * item_height + 2 - 202);
    EXPECT_EQ(list->Item(0)->Width, 200 - 2 - bar->Width);
    int32_t in_view = 0;
    for (int32_t i = 0; i < list->Count(); i++)
        in_view += list->Item(i)->IsVisibleInParent();
    EXPECT_LE(in_view, 202 / item_height + 2);
    EXPECT_LT(OcclusionTestCount(), 3 * 5000) << "the frame's occlusion pass is linear in the items";

    // Half the free track down: half the range.
    const TZAVglutWigits_ScrollBarHandle* handle = bar->Handle;
    const int32_t free = bar->TrackLength() - bar->HandleLength();
    master.ProcessMouseButton(MouseLeft, MouseDown, handle->AbsX + 4, handle->AbsY + 2);
    master.ProcessMouseMotion(handle->AbsX + 4, handle->AbsY + 2 + free / 4);
    master.ProcessMouseMotion(handle->AbsX + 4, handle->AbsY + 2 + free / 2);
    master.ProcessMouseButton(MouseLeft, MouseUp, handle->AbsX + 4, handle->AbsY + 2 + free / 2);
    const int32_t position = bar->GetScrollPosition();
    EXPECT_NEAR(position, bar->Range() * (free / 2) / free, bar->Range() / free + 1);
    EXPECT_EQ(list->ScrollY, -position);
    master.PrepareFrame();
    EXPECT_EQ(list->ScrollY, -position);
    const int32_t expected = (position + 100 - 1) / item_height;
    EXPECT_EQ(master.HitTest(list->AbsX + 20, list->AbsY + 100), list->Item(expected));

    // The keys keep the selection in view; the wheel steps.
    list->SelectIndex(expected);
    master.SetFocus(list);
    Special(SpecialKeyEnd);
    master.PrepareFrame();
    EXPECT_EQ(bar->GetScrollPosition(), bar->Range());
    EXPECT_EQ(master.HitTest(list->AbsX + 20, list->AbsY + 195), list->Item(4999));
    master.ProcessMouseButton(3, MouseDown, list->AbsX + 20, list->AbsY + 100);
    master.ProcessMouseButton(3, MouseUp, list->AbsX + 20, list->AbsY + 100);
    EXPECT_EQ(bar->GetScrollPosition(), bar->Range() - bar->StepSize());
    Click(bar->LessButton);
    EXPECT_EQ(bar->GetScrollPosition(), bar->Range() - 2 * bar->StepSize());
    EXPECT_EQ(master.Focus, list);
    EXPECT_TRUE(FatalReports().empty());
}

TEST_F(Controls, PartsOutsideTheirContainerReportErrors)
{
    auto* stray_item = PlaceNode(new TZAVglutWigits_ListItem(nullptr, "Loose"), 100, 0, 50, 20);
    master.AddChild(stray_item);
    PlaceNode(new TZAVglutWigits_ScrollBarHandle(&master), 0, 0, 20, 20);
    Click(stray_item);
    master.ProcessMouseButton(MouseLeft, MouseDown, 5, 5);
    master.ProcessMouseMotion(5, 50);
    EXPECT_EQ(
        FatalReports(),
        (std::vector<std::string>{
            "TZAVglutWigits_Master::ProcessClick(): Listbox is NULL in TZAVglutWigits_ListItem::OnClick()",
            "TZAVglutWigits_Master::ProcessMouseButton(): ScrollBar handle doesn't have a scrollbar for a "
            "parent",
        }));
    // The failed press captured nothing, so the motion reaches no handle.
    EXPECT_EQ(master.Captured, nullptr);
}
