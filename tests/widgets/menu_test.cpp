// Menus driven through the Master's input entry points, without a display.
#include "widgets/menu.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/event_queue.h"
#include "support/widget_routing.h"
#include "widgets/button.h"
#include "widgets/master.h"
#include "widgets/separator.h"
#include "widgets/window.h"

namespace {

std::vector<int32_t> PostedIds()
{
    std::vector<int32_t> ids;
    while (std::unique_ptr<TZAVEvent> event = PopEvent())
        ids.push_back(event->GetID());
    return ids;
}

class Menus : public WidgetRoutingTest
{
protected:
    void SetUp() override
    {
        WidgetRoutingTest::SetUp();
        PostedIds();
        bar = new TZAVglutWigits_MenuBar(&master);
        file = bar->AddMenu("&File");
        open = file->AddEntry("&Open", std::make_unique<TZAVEvent>(1));
        line = file->AddEntry("-", std::make_unique<TZAVEvent>(90));
        save = file->AddEntry("&Save\tCtrl+S", std::make_unique<TZAVEvent>(2));
        file->AddSeparator();
        exit = file->AddEntry("E&xit", std::make_unique<TZAVEvent>(3));
        print = file->AddEntry("&Print", std::make_unique<TZAVEvent>(4));
        print->Enabled = false;
        edit = bar->AddMenu("&Edit");
        edit->AddEntry("&Undo", std::make_unique<TZAVEvent>(11));
        master.PrepareFrame();
    }

    TZAVglutWigits_MenuText* Entry(TZAVglutWigits_Menu* menu) const
    {
        return static_cast<TZAVglutWigits_MenuText*>(menu->GetMenuOwner());
    }

    // Presses and releases at the middle of node (or at x, y), with the frame laid out first.
    void Click(const TZAVglutWigits_Node* node)
    {
        master.PrepareFrame();
        Click(node->AbsX + node->Width / 2, node->AbsY + node->Height / 2);
    }
    void Click(int32_t x, int32_t y)
    {
        Now() += 1000;
        master.ProcessMouseButton(MouseLeft, MouseDown, x, y);
        master.ProcessMouseButton(MouseLeft, MouseUp, x, y);
        master.PrepareFrame();
    }

    TZAVglutWigits_MenuBar* bar = nullptr;
    TZAVglutWigits_Menu* file = nullptr;
    TZAVglutWigits_Menu* edit = nullptr;
    TZAVglutWigits_MenuText* open = nullptr;
    TZAVglutWigits_MenuText* line = nullptr;
    TZAVglutWigits_MenuText* save = nullptr;
    TZAVglutWigits_MenuText* exit = nullptr;
    TZAVglutWigits_MenuText* print = nullptr;
};

} // namespace

TEST_F(Menus, OpenUnderTheirEntryAndCloseOnAPressOutsideOrOnTheEntry)
{
    TZAVglutWigits_MenuText* file_entry = Entry(file);
    Click(file_entry);
    ASSERT_TRUE(file->Shown);
    EXPECT_EQ(file->AbsX, file_entry->AbsX);
    EXPECT_EQ(file->AbsY, file_entry->AbsY + file_entry->Height);
    EXPECT_EQ(master.Focus, file_entry);
    Click(file_entry);
    EXPECT_FALSE(file->Shown);

    Click(file_entry);
    Click(400, 400);
    EXPECT_FALSE(file->Shown);
    Click(file_entry);
    Click(790, bar->AbsY + 2); // the bar itself, beside its entries
    EXPECT_FALSE(file->Shown);

    // Along the bar with a menu open, the entry under the mouse opens its own.
    Click(file_entry);
    TZAVglutWigits_MenuText* edit_entry = Entry(edit);
    master.ProcessPassiveMouseMotion(edit_entry->AbsX + 2, edit_entry->AbsY + 2);
    EXPECT_FALSE(file->Shown);
    EXPECT_TRUE(edit->Shown);
    EXPECT_EQ(master.Focus, edit_entry);
    EXPECT_TRUE(PostedIds().empty());
}

TEST_F(Menus, AnEntryClickPostsItsEventOnceAndClosesEveryMenu)
{
    Click(Entry(file));
    Click(open);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{1});
    EXPECT_FALSE(file->Shown);

    // Pressed on the bar entry, dragged down and released over an entry.
    TZAVglutWigits_MenuText* file_entry = Entry(file);
    master.ProcessMouseButton(MouseLeft, MouseDown, file_entry->AbsX + 2, file_entry->AbsY + 2);
    master.PrepareFrame();
    master.ProcessMouseMotion(save->AbsX + 4, save->AbsY + 4);
    master.PrepareFrame();
    EXPECT_EQ(file->Highlighted, save);
    master.ProcessMouseButton(MouseLeft, MouseUp, save->AbsX + 4, save->AbsY + 4);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{2});
    EXPECT_FALSE(file->Shown);

    // Disabled entries and separators (an entry named "-" or a separator node) take no clicks
    // and leave the menu open.
    Click(file_entry);
    Click(print);
    Click(line);
    Click(save->NextSibling);
    EXPECT_TRUE(PostedIds().empty());
    EXPECT_TRUE(file->Shown);
}

TEST_F(Menus, ArrowKeysWalkTheEntriesAndEnterPicks)
{
    Click(Entry(file));
    const std::vector<int32_t> keys = {GLUT_KEY_DOWN, GLUT_KEY_DOWN, GLUT_KEY_DOWN, GLUT_KEY_DOWN,
                                       GLUT_KEY_UP};
    std::vector<TZAVglutWigits_MenuText*> highlighted;
    for (int32_t key : keys) {
        master.ProcessSpecialKey(key, 0, 0);
        highlighted.push_back(file->Highlighted);
    }
    // Separators and the disabled entry are passed over, round the ends.
    EXPECT_EQ(highlighted, (std::vector<TZAVglutWigits_MenuText*>{open, save, exit, open, exit}));
    master.ProcessKey(13);
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{3});
    EXPECT_FALSE(file->Shown);

    Click(Entry(file));
    master.ProcessSpecialKey(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_FALSE(file->Shown);
    ASSERT_TRUE(edit->Shown);
    EXPECT_EQ(edit->Highlighted, edit->FirstChild);
    master.ProcessSpecialKey(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_TRUE(file->Shown);
    master.ProcessKey(KeyEscape);
    EXPECT_FALSE(file->Shown);
    EXPECT_TRUE(PostedIds().empty());
}

TEST_F(Menus, AmpersandLettersAreHotKeysWhileTheirMenuIsOpen)
{
    master.ExtraHotKeyScope = bar;
    master.ProcessKey('o');
    master.ProcessKey('f');
    EXPECT_FALSE(file->Shown);
    EXPECT_TRUE(PostedIds().empty());

    master.SetInputModifiers(ModifierAlt);
    master.ProcessKey('f');
    ASSERT_TRUE(file->Shown);
    // Alt may still be held; the letter goes through the focused bar entry.
    master.ProcessKey('s');
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{2});
    EXPECT_FALSE(file->Shown);

    // Without the focus the Master's search finds the letters of the open menu.
    master.ProcessKey('F');
    master.SetInputModifiers(ModifierNone);
    master.SetFocus(nullptr);
    master.ProcessKey('p'); // disabled
    EXPECT_TRUE(file->Shown);
    master.ProcessKey('X');
    EXPECT_EQ(PostedIds(), std::vector<int32_t>{3});
    EXPECT_FALSE(file->Shown);
    master.ProcessKey('x');
    EXPECT_TRUE(PostedIds().empty());
}

TEST_F(Menus, MenusGoWithTheirBar)
{
    Click(Entry(file));
    bar->Hide();
    EXPECT_FALSE(file->Shown);
    bar->Show();
    Click(Entry(file));
    ASSERT_EQ(file->Parent, &master);
    delete bar;
    EXPECT_EQ(master.FirstFloatingChild, nullptr);
    Click(10, 10);
    master.ProcessKey(13);
    master.ProcessSpecialKey(GLUT_KEY_DOWN, 0, 0);
    EXPECT_TRUE(PostedIds().empty());

    // A button that asks to go while its menu lies right behind it in the same list takes the
    // menu along without the frame stepping onto it.
    auto* tools = new TZAVglutWigits_Button(nullptr, "Tools");
    master.AddFloatingChild(tools);
    auto* menu = new TZAVglutWigits_Menu;
    menu->AddEntry("&Smooth", std::make_unique<TZAVEvent>(5));
    tools->AttachMenu(menu);
    tools->OpenMenu();
    ASSERT_EQ(tools->NextSibling, menu);
    tools->DeletePending = true;
    master.PrepareFrame();
    EXPECT_EQ(master.FirstFloatingChild, nullptr);
}

// A button with a menu and a bar entry (itself a button) open, close and drive theirs alike.
TEST_F(Menus, AButtonWithAMenuBehavesLikeABarEntry)
{
    auto* tools = new TZAVglutWigits_Menu();
    tools->AddEntry("&Smooth", std::make_unique<TZAVEvent>(21));
    tools->AddEntry("&Inflate", std::make_unique<TZAVEvent>(22));
    auto* button = new TZAVglutWigits_Button(&master, "Tools");
    button->X = 300;
    button->Y = 200;
    button->Width = 80;
    button->AttachMenu(tools);
    struct TOwner
    {
        TZAVglutWigits_Button* Owner;
        int32_t FirstId;
        int32_t SecondLetter;
        int32_t SecondId;
    };
    for (const TOwner& test : {TOwner{Entry(file), 1, 's', 2}, TOwner{button, 21, 'i', 22}}) {
        const TZAVglutWigits_Node* menu = test.Owner->GetAttachedMenu();
        Click(test.Owner);
        ASSERT_TRUE(menu->Shown);
        EXPECT_EQ(menu->Parent, &master);
        EXPECT_EQ(menu->AbsX, test.Owner->AbsX);
        EXPECT_EQ(menu->AbsY, test.Owner->AbsY + test.Owner->Height);
        EXPECT_EQ(master.Focus, test.Owner);
        Click(test.Owner);
        EXPECT_FALSE(menu->Shown);

        Click(test.Owner);
        master.ProcessSpecialKey(GLUT_KEY_DOWN, 0, 0);
        master.ProcessKey(13);
        Click(test.Owner);
        master.ProcessKey(test.SecondLetter);
        EXPECT_EQ(PostedIds(), (std::vector<int32_t>{test.FirstId, test.SecondId}));
        EXPECT_FALSE(menu->Shown);
        Click(test.Owner);
        Click(600, 500);
        EXPECT_FALSE(menu->Shown);
    }
    // The button owns its menu; a menu deleted first leaves it without one.
    delete tools;
    EXPECT_EQ(button->GetAttachedMenu(), nullptr);
    Click(button);
}

TEST_F(Menus, AMenuOpenedInAModalWindowTakesInputAndKeepsTheWindowActive)
{
    auto* window = new TZAVglutWigits_Window(&master, "Export");
    window->X = 200;
    window->Y = 200;
    window->Width = 300;
    window->Height = 200;
    auto* button = new TZAVglutWigits_Button(window, "Format");
    button->X = 10;
    button->Y = 10;
    button->Width = 80;
    auto* formats = new TZAVglutWigits_Menu();
    formats->AddEntry("&PNG", std::make_unique<TZAVEvent>(31));
    TZAVglutWigits_MenuText* tiff = formats->AddEntry("&TIFF", std::make_unique<TZAVEvent>(32));
    button->AttachMenu(formats);
    window->ShowModal();

    Click(button);
    ASSERT_TRUE(formats->Shown);
    Click(tiff);
    EXPECT_EQ(master.ActiveWindow, window);
    Click(button);
    master.SetFocus(nullptr);
    master.ProcessKey('p');
    EXPECT_EQ(PostedIds(), (std::vector<int32_t>{32, 31}));
    EXPECT_TRUE(master.IsModalBlocking());
    // The bar outside the window stays out of reach.
    Click(Entry(file));
    EXPECT_FALSE(file->Shown);
}
