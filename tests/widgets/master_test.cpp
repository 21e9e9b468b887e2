// Input routing through the Master, driven without a display: the Process* entry points are fed
// input records and the posted events are read back from the event queue.
#include "widgets/master.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "support/widget_routing.h"
#include "widgets/collapsible_panel.h"
#include "widgets/hint_node.h"
#include "widgets/hot_key_node.h"
#include "widgets/window.h"

namespace {

// Mouse button handler: records "button/state" into the vector behind the event's context.
void RecordButton(TZAVEvent* event)
{
    static_cast<std::vector<std::string>*>(event->Context)
        ->push_back(std::to_string(event->IntegerParameters[0]) + "/" +
                    std::to_string(event->IntegerParameters[1]));
}

std::vector<int32_t> PostedIds()
{
    std::vector<int32_t> ids;
    while (std::unique_ptr<TZAVEvent> event = PopEvent())
        ids.push_back(event->GetID());
    return ids;
}

class MasterRouting : public WidgetRoutingTest
{
protected:
    void SetUp() override
    {
        WidgetRoutingTest::SetUp();
        PostedIds();
    }
    TZAVglutWigits_Node* AddNode(TZAVglutWigits_Node* parent, int32_t x, int32_t y, int32_t width,
                                 int32_t height, int32_t click_id)
    {
        auto* node = new TZAVglutWigits_Node(parent);
        node->X = x;
        node->Y = y;
        node->Width = width;
        node->Height = height;
        node->Clickable = true;
        node->ClickEvent = std::make_unique<TZAVEvent>(click_id);
        return node;
    }

    void Click(int32_t x, int32_t y, int32_t button = MouseLeft)
    {
        master.ProcessMouseButton(button, MouseDown, x, y);
        master.ProcessMouseButton(button, MouseUp, x, y);
    }

};

} // namespace

TEST_F(MasterRouting, TopmostSiblingTakesTheClickAndReleaseOutsideDoesNotClick)
{
    TZAVglutWigits_Node* below = AddNode(&master, 0, 0, 200, 200, 1);
    AddNode(&master, 100, 100, 200, 200, 2);
    master.PrepareFrame();
    Click(150, 150);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{2});
    below->BringToFront();
    master.PrepareFrame();
    Click(150, 150);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{1});

    // Pressed on, released elsewhere: both button events, no click, unless any release clicks.
    std::vector<std::string> buttons;
    below->MouseButtonEvent = std::make_unique<TZAVEvent>(RecordButton, &buttons, 0);
    master.ProcessMouseButton(MouseLeft, MouseDown, 50, 50);
    master.ProcessMouseButton(MouseLeft, MouseUp, 700, 500);
    EXPECT_EQ(buttons, (std::vector<std::string>{"0/0", "0/1"}));
    EXPECT_TRUE(PostedIds().empty());
    below->ClickOnAnyRelease = true;
    master.ProcessMouseButton(MouseLeft, MouseDown, 50, 50);
    master.ProcessMouseButton(MouseLeft, MouseUp, 700, 500);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{1});
}

TEST_F(MasterRouting, DragStartsPastTenPixelsAndDropsItsText)
{
    TZAVglutWigits_Node* source = AddNode(&master, 0, 0, 100, 100, 1);
    source->Draggable = true;
    source->DragData = "brush.png";
    TZAVglutWigits_Node* target = AddNode(&master, 300, 0, 100, 100, 2);
    target->DropEvent = std::make_unique<TZAVEvent>(3);
    master.PrepareFrame();

    master.ProcessMouseButton(MouseLeft, MouseDown, 50, 50);
    master.ProcessMouseMotion(56, 58); // exactly 10 pixels
    EXPECT_EQ(master.DragNode, nullptr);
    master.ProcessMouseMotion(58, 58); // 11.3, rounded to 11
    EXPECT_EQ(master.DragNode, source);
    master.ProcessMouseMotion(350, 50);
    master.ProcessMouseButton(MouseLeft, MouseUp, 350, 50);
    std::unique_ptr<TZAVEvent> drop = PopEvent();
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->GetID(), 3);
    EXPECT_STREQ(drop->GetStringParameter(0), "brush.png");
    EXPECT_EQ(drop->X, 50);
    EXPECT_EQ(master.DragNode, nullptr);
    EXPECT_TRUE(PostedIds().empty());
}

TEST_F(MasterRouting, DoubleClickNeedsTheSameNodeUnderFivePixelsWithinTheInterval)
{
    TZAVglutWigits_Node* node = AddNode(&master, 0, 0, 200, 200, 1);
    node->DoubleClickEvent = std::make_unique<TZAVEvent>(2);
    AddNode(&master, 300, 0, 100, 100, 3);
    master.PrepareFrame();

    Click(50, 50);
    Now() += 500;
    Click(54, 50);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 2}));

    Now() += 10000;
    Click(50, 50);
    Now() += 100;
    Click(50, 55);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 1}));

    Now() += 10000;
    Click(50, 50);
    Now() += 501;
    Click(50, 50);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 1}));

    // A click on another node in between breaks the pair.
    Now() += 10000;
    Click(50, 50);
    Click(350, 50);
    Click(50, 50);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 3, 1}));
}

TEST_F(MasterRouting, ModalWindowBlocksHoverClicksAndTopLevelHotKeys)
{
    TZAVglutWigits_Node* outside = AddNode(&master, 0, 0, 300, 300, 1);
    outside->HotKey = 'p';
    auto* window = new TZAVglutWigits_Window(&master, "Question");
    window->X = 400;
    window->Y = 100;
    window->Width = 200;
    window->Height = 200;
    TZAVglutWigits_Node* inside = AddNode(window, 10, 10, 50, 30, 2);
    inside->HotKey = 'o';
    window->ShowModal();
    master.PrepareFrame();

    EXPECT_EQ(master.ProcessMouseOver(100, 100, true), nullptr);
    Click(100, 100);
    master.ProcessKey('p');
    EXPECT_TRUE(PostedIds().empty());
    EXPECT_EQ(master.ProcessMouseOver(420, 120, true), inside);
    master.ProcessKey('o');
    Click(420, 120);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{2, 2}));

    window->Hide();
    EXPECT_EQ(master.ActiveWindow, nullptr);
    master.ProcessKey('p');
    Click(100, 100);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 1}));
}

TEST_F(MasterRouting, HotKeysFoldCaseAndCompareModifiers)
{
    new TZAVglutWigits_HotKeyNode(&master, 'k', 0, std::make_unique<TZAVEvent>(1), ModifierNone);
    auto* exact =
        new TZAVglutWigits_HotKeyNode(&master, 'j', 0, std::make_unique<TZAVEvent>(2), ModifierNone);
    exact->HotKeyIgnoreCase = false;
    new TZAVglutWigits_HotKeyNode(&master, 's', 0, std::make_unique<TZAVEvent>(3), ModifierCtrl);
    new TZAVglutWigits_HotKeyNode(&master, 0, 101, std::make_unique<TZAVEvent>(4), ModifierShift);

    master.SetInputModifiers(ModifierNone);
    master.ProcessKey('k');
    master.ProcessKey('j');
    master.ProcessKey('s');
    master.ProcessSpecialKey(101, 0, 0);
    master.SetInputModifiers(ModifierShift);
    master.ProcessKey('K');
    master.ProcessKey('J');
    master.ProcessSpecialKey(101, 0, 0);
    master.SetInputModifiers(ModifierCtrl | ModifierShift);
    master.ProcessKey('S');
    master.SetInputModifiers(ModifierCtrl);
    master.ProcessKey('s');
    master.ProcessSpecialKey(101, 0, 0);
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{1, 2, 1, 4, 3, 3}));
}

TEST_F(MasterRouting, DraggedWindowKeepsItsLeftEdgeInside)
{
    auto* window = new TZAVglutWigits_Window(&master, "Tools");
    window->X = 100;
    window->Y = 100;
    window->Width = 200;
    window->Height = 150;
    window->Show();
    master.PrepareFrame();
    const int32_t title_y = window->AbsY - window->TitleBarHeight() / 2;
    EXPECT_EQ(master.HitTest(150, title_y), window->TitleBar);

    master.ProcessMouseButton(MouseLeft, MouseDown, 150, title_y);
    master.ProcessMouseMotion(900, title_y);
    master.ProcessMouseMotion(1500, title_y + 10);
    master.ProcessMouseButton(MouseLeft, MouseUp, 1500, title_y + 10);
    master.PrepareFrame();
    EXPECT_EQ(window->X, 800 - 20);
    EXPECT_EQ(window->Y, 110);
}

TEST_F(MasterRouting, PassiveMotionReleasesAMissedCapture)
{
    TZAVglutWigits_Node* node = AddNode(&master, 0, 0, 100, 100, 1);
    std::vector<std::string> buttons;
    node->MouseButtonEvent = std::make_unique<TZAVEvent>(RecordButton, &buttons, 0);
    master.PrepareFrame();
    master.ProcessMouseButton(MouseRight, MouseDown, 10, 10);
    EXPECT_EQ(master.Captured, node);
    EXPECT_TRUE(master.ProcessPassiveMouseMotion(500, 500));
    EXPECT_EQ(master.Captured, nullptr);
    EXPECT_EQ(buttons, (std::vector<std::string>{"2/0", "2/1"}));
    // A second press is routed again now that nothing is captured.
    EXPECT_TRUE(master.ProcessMouseButton(MouseLeft, MouseDown, 10, 10));
}

namespace {

int32_t destroyed = 0;

class SelfDeleting : public TZAVglutWigits_Node
{
public:
    using TZAVglutWigits_Node::TZAVglutWigits_Node;
    ~SelfDeleting() override { destroyed++; }
    bool OnClick(int32_t, int32_t) override
    {
        DeletePending = true;
        return true;
    }
};

class Throwing : public TZAVglutWigits_Node
{
public:
    using TZAVglutWigits_Node::TZAVglutWigits_Node;
    int32_t Kind = 0;
    bool ThrowOnRelease = false;
    void OnMouseButton(int32_t, int32_t state, int32_t, int32_t) override
    {
        if (state == MouseUp && ThrowOnRelease)
            throw std::runtime_error("release failed");
    }
    void OnMouseDrag(int32_t, int32_t) override { throw std::runtime_error("drag failed"); }
    bool OnClick(int32_t, int32_t) override
    {
        if (Kind == 0)
            throw std::runtime_error("the brush file is gone");
        if (Kind == 1)
            throw std::bad_alloc();
        throw 42;
    }
    bool OnKey(int32_t) override { throw std::runtime_error("key failed"); }
};

} // namespace

TEST_F(MasterRouting, NodeDeletingItselfInItsClickHandlerGoesAtTheNextFrame)
{
    auto* node = new SelfDeleting(&master);
    node->Clickable = true;
    master.PrepareFrame();
    destroyed = 0;
    Click(10, 10);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(master.Focus, node);
    master.PrepareFrame();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(master.FirstChild, master.HintNode);
    EXPECT_EQ(master.Focus, nullptr);
    EXPECT_EQ(master.LastClickedNode, nullptr);
    Click(10, 10);
    master.ProcessKey('x');

    delete new TZAVglutWigits_Master(1, 100, 100);
    EXPECT_TRUE(Dialogs.Shown(TZAVDialogKind::Message, "Deleting master!"));
}

TEST_F(MasterRouting, HandlerExceptionsGoToTheFatalHookAndInputGoesOn)
{
    auto* node = new Throwing(&master);
    node->Clickable = true;
    master.PrepareFrame();
    for (int32_t kind = 0; kind < 3; kind++) {
        node->Kind = kind;
        Now() += 10000;
        Click(10, 10);
    }
    master.ProcessKey('a');
    EXPECT_EQ(master.Captured, nullptr);

    // A failure while the mouse is held lets go of it: nothing stays captured or dragged, so
    // the next press is routed.
    node->Draggable = true;
    master.ProcessMouseButton(MouseLeft, MouseDown, 10, 10);
    master.ProcessMouseMotion(40, 10);
    EXPECT_EQ(master.DragNode, nullptr);
    EXPECT_EQ(master.Captured, nullptr);
    node->ThrowOnRelease = true;
    master.ProcessMouseButton(MouseLeft, MouseDown, 10, 10);
    master.ProcessMouseButton(MouseLeft, MouseUp, 10, 10);
    for (int32_t x = 20; x < 23; x++)
        master.ProcessPassiveMouseMotion(x, 20);
    EXPECT_EQ(master.Captured, nullptr);
    EXPECT_TRUE(master.ProcessMouseButton(MouseLeft, MouseDown, 10, 10));
    EXPECT_EQ(FatalReports(),
              (std::vector<std::string>{
                  "TZAVglutWigits_Master::ProcessClick(): the brush file is gone",
                  "TZAVglutWigits_Master::ProcessClick(): Bad memory allocation",
                  "TZAVglutWigits_Master::ProcessClick(): Unknown exception, probably and access violation",
                  "TZAVglutWigits_Master::ProcessKey(): key failed",
                  "TZAVglutWigits_Master::ProcessMouseMotion(): drag failed",
                  "TZAVglutWigits_Master::ProcessMouseButton(): release failed",
              }));
}

TEST_F(MasterRouting, HintWrapsBelowOrAboveItsNodeAndCollapsiblePanelToggles)
{
    TZAVglutWigits_Node* low = AddNode(&master, 10, 560, 100, 30, 1);
    TZAVglutWigits_Node* high = AddNode(&master, 10, 10, 100, 30, 2);
    master.PrepareFrame();
    std::string text;
    for (int32_t i = 0; i < 60; i++)
        text += "word" + std::to_string(i) + (i == 5 ? "\n" : " ");
    master.ShowHint(high, text.c_str());
    TZAVglutWigits_HintNode* hint = master.HintNode;
    ASSERT_TRUE(hint->Shown);
    std::vector<std::string> lines;
    for (TZAVglutWigits_Node* line = hint->TextColumn->FirstChild; line != nullptr;
         line = line->NextSibling) {
        lines.push_back(line->Name);
        EXPECT_LE(line->Width, 600);
    }
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "word0 word1 word2 word3 word4 word5");
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "Press ESC to hide this hint");
    EXPECT_EQ(hint->Y, 10 + 30 + hint->VerticalPadding);
    master.ShowHint(low, "Paint on the surface");
    EXPECT_EQ(hint->Y + hint->Height + hint->VerticalPadding, 560);
    master.ProcessKey(KeyEscape);
    EXPECT_FALSE(hint->Shown);

    auto* panel = new TZAVglutWigits_CollapsiblePanel(&master, "Brush");
    panel->X = 400;
    panel->Height = 300;
    master.PrepareFrame();
    const TZAVglutWigits_CollapsiblePanelToggleButton* toggle = panel->ToggleButton;
    master.ProcessMouseButton(MouseLeft, MouseDown, toggle->AbsX + 6, toggle->AbsY + 6);
    EXPECT_TRUE(toggle->LooksPressed());
    master.ProcessMouseButton(MouseLeft, MouseUp, toggle->AbsX + 6, toggle->AbsY + 6);
    EXPECT_TRUE(panel->IsCollapsed());
    EXPECT_LT(panel->Height, 40);
    master.PrepareFrame();
    Click(toggle->AbsX + 6, toggle->AbsY + 6);
    EXPECT_FALSE(panel->IsCollapsed());
    EXPECT_EQ(panel->Height, 300);
}
