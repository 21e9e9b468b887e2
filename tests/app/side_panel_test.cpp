// The side panels of the real main window (run under xvfb-run), on a project of two objects with
// morphs in a group and selections: the lists show the trees, clicks reach the commands, the
// refresh after a change lists what changed and rebuilds nothing when nothing did.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/side_panel.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/morph.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"
#include "support/test_main_window.h"
#include "widgets/list_box.h"

namespace {

constexpr int32_t WindowWidth = 1100;
constexpr int32_t WindowHeight = 820;
constexpr const char* TriangleObj = "v 0 0 0\nv 1 0 0\nv 1 2 0\nv 0 1 3\nf 1 2 3\nf 1 3 4\n";

void RunFrames()
{
    for (int32_t pass = 0; pass < 4; pass++)
        TarnwickMainWindow->DisplayFrame();
}

void Click(const TZAVglutWigits_Node* node)
{
    ASSERT_NE(node, nullptr);
    const TZAVglutWigits_Rect rect = node->AbsoluteRect();
    for (int32_t state : {MouseDown, MouseUp}) {
        TarnwickMainWindow->QueueInput({int32_t(TTarnwick_InputKind::MouseButton), MouseLeft, state,
                                        rect.X + rect.Width / 2, rect.Y + rect.Height / 2},
                                       0);
        TarnwickMainWindow->DisplayFrame();
    }
    RunFrames();
}

TTarnwick_PanelSection& Section(TTarnwick_PanelKind kind)
{
    return *TarnwickMainWindow->SidePanel()->Section(kind);
}

// "text@depth" for each row of a section.
std::vector<std::string> RowsOf(TTarnwick_PanelKind kind)
{
    std::vector<std::string> rows;
    for (const TTarnwick_PanelRow& row : Section(kind).Rows())
        rows.push_back(row.Text + "@" + std::to_string(row.Depth));
    return rows;
}

int32_t RowNamed(TTarnwick_PanelKind kind, const std::string& text)
{
    const std::vector<TTarnwick_PanelRow>& rows = Section(kind).Rows();
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const TTarnwick_PanelRow& row) { return row.Text == text; });
    return found != rows.end() ? int32_t(found - rows.begin()) : -1;
}

TTarnwick_Morph* AddMorph(TTarnwick_Mesh& mesh, TTarnwick_TreeGroup* group, const char* name)
{
    TTarnwick_Morph* morph = mesh.NewMorph(-1);
    morph->SetNameLiteral(name);
    if (group != mesh.MorphTree.get()) {
        mesh.MorphTree->List.Remove(morph, TZAVRemoveCount::FirstOnly);
        group->List.Add(morph);
    }
    return morph;
}

class SidePanels : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_side_panel_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(WindowId, 0) << error;
        TarnwickMainWindow->Resize(WindowWidth, WindowHeight);
        TarnwickMainWindow->SwapAfterFrame = false;
        TarnwickMainWindow->CloseSplash();
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    // The torso, then the head current: besides the defaults, morphs "Smile" and, in the group
    // "Faces", "Frown" and "Wink"; selections "Lips" and "Brow".
    void SetUp() override
    {
        ASSERT_NE(TarnwickMainWindow, nullptr);
        ASSERT_TRUE(Folders.Made);
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        for (const char* name : {"torso.obj", "head.obj"}) {
            TZAVEvent import(205);
            const std::string path = Folders.Root.Write(name, TriangleObj);
            import.AddStringParameter(path.c_str(), 0);
            ASSERT_TRUE(DispatchCommand(&import));
        }
        ASSERT_NE(TarnwickProject->CurrentObject, nullptr);
        Mesh = TarnwickProject->CurrentObject->Mesh.get();
        Faces = new TTarnwick_MorphTreeGroup;
        Faces->Label = "Faces";
        Mesh->MorphTree->AddChild(Faces);
        AddMorph(*Mesh, Mesh->MorphTree.get(), "Smile");
        AddMorph(*Mesh, Faces, "Frown");
        Wink = AddMorph(*Mesh, Faces, "Wink");
        Mesh->SetCurrentMorph(nullptr);
        Mesh->NewSelection(-1)->SetNameLiteral("Lips");
        Mesh->NewSelection(-1)->SetNameLiteral("Brow");
        PostCommand(245);
        PostCommand(244);
        RunFrames();
        TakeStatusLines();
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        Settings.reset();
        PostCommand(244);
        TarnwickEvents_ProcessEvents();
    }

    UserFoldersInTemp Folders;
    std::unique_ptr<TTarnwick_Settings> Settings;
    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_MorphTreeGroup* Faces = nullptr;
    TTarnwick_Morph* Wink = nullptr;
    static inline int WindowId = 0;
};

// Names in tree order, group contents one step in, both objects and all 32 layers; a click on a
// group row folds it away.
TEST_F(SidePanels, ListsShowTheTreesAndAGroupFoldsOnAClick)
{
    const std::vector<std::string> morphs = {"Default Morph@0", "Smile@0", "- Faces@0", "Frown@1", "Wink@1"};
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Morphs), morphs);
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Objects), (std::vector<std::string>{"torso@0", "head@0"}));
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Selections),
              (std::vector<std::string>{"Default Selection@0", "Lips@0", "Brow@0"}));
    EXPECT_EQ(Section(TTarnwick_PanelKind::Layers).Rows().size(), 32u);
    TZAVglutWigits_ListBox* list = Section(TTarnwick_PanelKind::Morphs).List;
    EXPECT_GT(list->Item(RowNamed(TTarnwick_PanelKind::Morphs, "Frown"))->HorizontalPadding,
              list->Item(RowNamed(TTarnwick_PanelKind::Morphs, "Smile"))->HorizontalPadding)
        << "indented by depth";
    EXPECT_EQ(Section(TTarnwick_PanelKind::Objects).List->SelectedIndex(), 1) << "the current object";

    Click(list->Item(RowNamed(TTarnwick_PanelKind::Morphs, "- Faces")));
    EXPECT_TRUE(Faces->Collapsed);
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Morphs),
              (std::vector<std::string>{"Default Morph@0", "Smile@0", "+ Faces@0"}));
}

// The row's command gets the morph's number among all of the tree's morphs, not the row's.
TEST_F(SidePanels, ClickOnAMorphRowMakesItCurrent)
{
    TTarnwick_PanelSection& morphs = Section(TTarnwick_PanelKind::Morphs);
    const int32_t row = RowNamed(TTarnwick_PanelKind::Morphs, "Wink");
    morphs.List->ScrollIntoView(morphs.List->Item(row));
    RunFrames();
    Click(morphs.List->Item(row));
    EXPECT_EQ(Mesh->CurrentMorph, Wink);
    EXPECT_EQ(morphs.List->SelectedIndex(), row);
}

// 256 from a tool (which said why itself) or a menu shows the morph section after the column was
// hidden; only the menu's has the panel ask for a morph.
TEST_F(SidePanels, ChooseAMorphShowsTheMorphSection)
{
    PostCommand(246);
    RunFrames();
    EXPECT_FALSE(TarnwickMainWindow->SidePanel()->Shown);
    const int32_t wide = TarnwickMainWindow->ViewportPanel(0)->Width;

    PostCommand(256);
    RunFrames();
    EXPECT_TRUE(Section(TTarnwick_PanelKind::Morphs).Shown);
    EXPECT_FALSE(Section(TTarnwick_PanelKind::Morphs).IsCollapsed());
    EXPECT_FALSE(Section(TTarnwick_PanelKind::Objects).Shown);
    EXPECT_LT(TarnwickMainWindow->ViewportPanel(0)->Width, wide) << "the column takes its width again";
    EXPECT_TRUE(TakeStatusLines().empty());

    auto* from_menu = new TZAVEvent(256);
    from_menu->SetSender(TarnwickMainWindow);
    PostEvent(from_menu);
    RunFrames();
    const std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Text, "Please choose a morph target first");
}

// A morph added behind the panel's back is listed after 244; a 244 with nothing changed rebuilds
// no list.
TEST_F(SidePanels, RefreshListsAddedMorphsAndRebuildsOnlyChangedLists)
{
    TTarnwick_PanelSection& morphs = Section(TTarnwick_PanelKind::Morphs);
    TTarnwick_PanelSection& layers = Section(TTarnwick_PanelKind::Layers);
    AddMorph(*Mesh, Mesh->MorphTree.get(), "Added");
    const int32_t layer_builds = layers.BuildCount();
    PostCommand(244);
    RunFrames();
    EXPECT_EQ(RowNamed(TTarnwick_PanelKind::Morphs, "Added"), 2) << "after the root's other morphs";
    EXPECT_EQ(layers.BuildCount(), layer_builds);

    const int32_t morph_builds = morphs.BuildCount();
    PostCommand(244);
    RunFrames();
    EXPECT_EQ(morphs.BuildCount(), morph_builds);
}

void Drag(const TZAVglutWigits_Node* from, const TZAVglutWigits_Node* to)
{
    ASSERT_TRUE(from != nullptr && to != nullptr);
    const TZAVglutWigits_Rect a = from->AbsoluteRect(), b = to->AbsoluteRect();
    const TTarnwick_InputRecord steps[] = {
        {int32_t(TTarnwick_InputKind::MouseButton), MouseLeft, MouseDown, a.X + 20, a.Y + a.Height / 2},
        {int32_t(TTarnwick_InputKind::Motion), 0, 0, a.X + 20, (a.Y + b.Y) / 2 + a.Height / 2},
        {int32_t(TTarnwick_InputKind::Motion), 0, 0, b.X + 20, b.Y + b.Height / 2},
        {int32_t(TTarnwick_InputKind::MouseButton), MouseLeft, MouseUp, b.X + 20, b.Y + b.Height / 2}};
    for (const TTarnwick_InputRecord& step : steps) {
        TarnwickMainWindow->QueueInput(step, 0);
        TarnwickMainWindow->DisplayFrame();
    }
    RunFrames();
}

// A row dragged onto a group row goes into that group; onto an item row, into the item's group.
TEST_F(SidePanels, DraggedRowsMoveIntoTheGroupDroppedOn)
{
    TZAVglutWigits_ListBox* list = Section(TTarnwick_PanelKind::Morphs).List;
    auto row = [&](const char* text) { return list->Item(RowNamed(TTarnwick_PanelKind::Morphs, text)); };
    Drag(row("Smile"), row("- Faces"));
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Morphs),
              (std::vector<std::string>{"Default Morph@0", "- Faces@0", "Frown@1", "Wink@1", "Smile@1"}));
    Drag(row("Wink"), row("Default Morph"));
    EXPECT_EQ(RowsOf(TTarnwick_PanelKind::Morphs),
              (std::vector<std::string>{"Default Morph@0", "Wink@0", "- Faces@0", "Frown@1", "Smile@1"}));
}

// For a developer to look at: the window with every section filled.
TEST_F(SidePanels, Screenshot)
{
    Mesh->SetCurrentMorph(Wink);
    Wink->Strength = 0.6f;
    PostCommand(244);
    RunFrames();
    std::vector<uint8_t> pixels(size_t(WindowWidth) * WindowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string error;
    EXPECT_TRUE(SaveScreenshot("side_panels.png", pixels.data(), WindowWidth, WindowHeight, 3, error))
        << error;
}

} // namespace
