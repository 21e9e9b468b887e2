// The command dispatcher driven with the real main window in a freeglut window (run under
// xvfb-run): refused numbers, importing an OBJ, saving, reopening, autosave, saving after an
// error, the start-up recovery and the standard views.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string_view>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/fatal_handler.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/side_panel.h"
#include "app/tool_panel.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "tools/tool.h"
#include "support/scripted_dialogs.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"
#include "support/test_main_window.h"
#include "support/unprivileged.h"
#include "support/widget_window.h"

namespace {

constexpr const char* SmallObj = "v 0 0 0\nv 1 0 0\nv 1 2 0\nv 0 1 3\nf 1 2 3\nf 1 3 4\n";

// Each object's name and base positions, in tree order.
using TProjectSummary = std::vector<std::pair<std::string, std::vector<float>>>;

TProjectSummary Summary(const TTarnwick_Project& project)
{
    TProjectSummary summary;
    for (TTarnwick_Object* object : project.Objects())
        summary.emplace_back(object->GetName(), object->Mesh ? object->Mesh->Vertices : std::vector<float>());
    return summary;
}

bool Dispatch(int32_t id, const std::string& path = {})
{
    TZAVEvent event(id);
    if (!path.empty())
        event.AddStringParameter(path.c_str(), 0);
    return DispatchCommand(&event);
}

bool HasLine(const std::vector<TZAVStatusLine>& lines, TZAVStatusKind kind, const std::string& text)
{
    for (const TZAVStatusLine& line : lines)
        if (line.Kind == kind && line.Text == text)
            return true;
    return false;
}

class Dispatcher : public ::testing::Test
{
protected:
    // One main window for the suite; it goes with its GL window before the exit, which would
    // otherwise close the window behind the toolkit's back.
    static void SetUpTestSuite()
    {
        std::string error;
        // Wide enough for each view's header of buttons beside the tool panel.
        WindowId = StartTestMainWindow("app_dispatcher_test", 1024, 768, error);
        ASSERT_NE(WindowId, 0) << error;
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    void SetUp() override
    {
        ASSERT_NE(TarnwickMainWindow, nullptr);
        ASSERT_TRUE(Folders.Made);
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        ObjPath = Folders.Root.Write("figure.obj", SmallObj);
        TakeStatusLines();
    }

    void TearDown() override
    {
        // Follow-up commands run here, so that none waits for the next test.
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        Settings.reset();
    }

    std::string Path(const std::string& name) const { return Folders.Root.Path() + name; }

    UserFoldersInTemp Folders;
    std::unique_ptr<TTarnwick_Settings> Settings;
    std::string ObjPath;
    static inline int WindowId = 0;
};

TEST_F(Dispatcher, RefusesNumbersOutsideTheTableAndIgnoresNumbersWithoutACase)
{
    for (int32_t id : {272, -1}) {
        EXPECT_FALSE(Dispatch(id));
        const std::vector<TZAVStatusLine> lines = TakeStatusLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].Kind, TZAVStatusKind::Warning);
        EXPECT_EQ(lines[0].Text, "Event " + std::to_string(id) + " is not recognized");
    }
    EXPECT_FALSE(Dispatch(67));
    EXPECT_TRUE(TakeStatusLines().empty());
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(Dispatcher, ImportsAnObjAsTheCurrentObject)
{
    ASSERT_TRUE(Dispatch(205, ObjPath));
    TTarnwick_Object* object = TarnwickProject->CurrentObject;
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->GetName(), "figure");
    EXPECT_EQ(object->OBJFileName, ObjPath);
    ASSERT_TRUE(object->Mesh);
    EXPECT_EQ(object->Mesh->Vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 2, 0, 0, 1, 3}));
    EXPECT_TRUE(HasLine(TakeStatusLines(), TZAVStatusKind::Status, "Importing the OBJ file " + ObjPath));

    // A file that is no OBJ is a warning and adds nothing.
    EXPECT_FALSE(Dispatch(205, Folders.Root.Write("empty.obj", "# nothing\n")));
    EXPECT_EQ(TarnwickProject->Objects().size(), 1u);
    EXPECT_EQ(TakeStatusLines().back().Kind, TZAVStatusKind::Warning);
}

TEST_F(Dispatcher, SaveAsksForANameInsteadOfWritingOverTheAutosave)
{
    const std::string autosave_named = Path(std::string(GetLanguageString(418)) + ".Tarnwick");
    ASSERT_TRUE(TarnwickProject->SaveProject(autosave_named, true));
    const std::string chosen = Path("Chosen.Tarnwick");
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, chosen);
        ASSERT_TRUE(Dispatch(211));
    }
    EXPECT_TRUE(FileExists(chosen));
    EXPECT_EQ(TarnwickProject->FileName, chosen);

    // A project with a file of its own is saved there without a question.
    ScriptedDialogs dialogs;
    ASSERT_TRUE(Dispatch(211));
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(Dispatcher, AutosaveReplacesTheLastOneOnlyByACompleteFile)
{
    const std::string folder = Path("autosaves/");
    ASSERT_TRUE(EnsureFolder(folder));
    TarnwickSettings->AutoSavePath = folder + "AutoSave.Tarnwick";
    ASSERT_TRUE(Dispatch(205, ObjPath));
    TakeStatusLines();

    ASSERT_TRUE(Dispatch(234));
    EXPECT_TRUE(HasLine(TakeStatusLines(), TZAVStatusKind::Status, GetLanguageString(580)));
    EXPECT_EQ(TemporaryFolder::Names(folder), std::vector<std::string>{"AutoSave.Tarnwick"});
    EXPECT_TRUE(TarnwickProject->FileName.empty());
    const std::string first = TemporaryFolder::Read(TarnwickSettings->AutoSavePath);
    ASSERT_NE(first.find("figure"), std::string::npos);

    TarnwickProject->MirrorX = !TarnwickProject->MirrorX;
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_TRUE(PassesAsUnprivilegedUserIn(folder, [](const std::string& prefix) {
        TarnwickSettings->AutoSavePath = (prefix.empty() ? std::string("./") : prefix) + "AutoSave.Tarnwick";
        TakeStatusLines();
        const bool refused = !Dispatch(234);
        return refused && HasLine(TakeStatusLines(), TZAVStatusKind::Warning, "Error autosaving the project");
    }));
    chmod(folder.c_str(), 0700);
    EXPECT_EQ(TemporaryFolder::Read(folder + "AutoSave.Tarnwick"), first);
    EXPECT_EQ(TemporaryFolder::Names(folder), std::vector<std::string>{"AutoSave.Tarnwick"});

    // A write that fails half way (a full disk) keeps the last autosave too.
    TarnwickSettings->AutoSavePath = folder + "AutoSave.Tarnwick";
    EXPECT_TRUE(PassesWithFileSizeLimit(64, [] { return !Dispatch(234); }));
    EXPECT_EQ(TemporaryFolder::Read(folder + "AutoSave.Tarnwick"), first);
    EXPECT_EQ(TemporaryFolder::Names(folder), std::vector<std::string>{"AutoSave.Tarnwick"});
}

TEST_F(Dispatcher, SaveAfterAnErrorWithoutAnAutosaveWritesOnlyTheNewFile)
{
    TarnwickSettings->AutoSavePath = Path("NoAutoSave.Tarnwick");
    ASSERT_TRUE(Dispatch(205, ObjPath));
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::SaveFile, Path("Rescue.Tarnwick"));
    ASSERT_TRUE(Dispatch(213));
    const std::string saved = Path("Rescue_SavedAfterError.Tarnwick");
    EXPECT_TRUE(FileExists(saved));
    EXPECT_FALSE(FileExists(Path("Rescue_LastGood.Tarnwick")));
    EXPECT_FALSE(FileExists(Path("Rescue.Tarnwick")));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "The file\n\n" + saved + "\n\n has been saved."));
    EXPECT_TRUE(TarnwickProject->FileName.empty());
}

TEST_F(Dispatcher, StartupOffersTheLastAutosaveThenTheStartupProject)
{
    ASSERT_TRUE(Dispatch(205, ObjPath));
    const std::string autosave = Path("Previous.Tarnwick");
    ASSERT_TRUE(TarnwickProject->SaveProject(autosave, false));
    const TProjectSummary autosaved = Summary(*TarnwickProject);
    NewProject();
    TarnwickSettings->AutoSaveFileName = autosave;
    TarnwickSettings->LoadDefaultProject = false;
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, true, "Would you like to recover the file\n" + autosave);
        ASSERT_TRUE(Dispatch(203));
    }
    EXPECT_EQ(Summary(*TarnwickProject), autosaved);
    EXPECT_TRUE(TarnwickProject->FileName.empty());
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false, "recover");
        Dispatch(203);
    }
    EXPECT_FALSE(FileExists(autosave));

    // Without an autosave the start-up project opens, unnamed.
    TarnwickSettings->LoadDefaultProject = true;
    TarnwickApp.StartupProject = std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick";
    NewProject();
    ASSERT_TRUE(Dispatch(203));
    EXPECT_FALSE(TarnwickProject->Objects().empty());
    EXPECT_TRUE(TarnwickProject->FileName.empty());
}

// Without its environment files the program still starts: each missing file is a warning.
TEST_F(Dispatcher, EnvironmentThatCannotLoadStillMakesTheApplicationReady)
{
    const std::string program_folder = TarnwickApp.ProgramFolder;
    TarnwickApp.ProgramFolder = Folders.Root.Path();
    TarnwickApp.Ready = false;
    EXPECT_FALSE(Dispatch(46));
    TarnwickApp.ProgramFolder = program_folder;
    EXPECT_TRUE(TarnwickApp.Ready);
    const std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].Text,
              "Error loading the file " + Folders.Root.Path() + "Data/EnvironmentMap_Grey.BMP");
}

// Input goes in as the GLUT callbacks queue it; each frame works off one record and its commands.
void Queue(TTarnwick_InputKind kind, int32_t a, int32_t b, int32_t x, int32_t y)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), a, b, x, y}, 0);
    while (!TarnwickMainWindow->PendingInput().empty())
        TarnwickMainWindow->DisplayFrame();
}

void ClickCentreOf(const TZAVglutWigits_Node& node)
{
    const TZAVglutWigits_Rect rect = node.AbsoluteRect();
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, rect.X + rect.Width / 2,
          rect.Y + rect.Height / 2);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, rect.X + rect.Width / 2,
          rect.Y + rect.Height / 2);
}

// A drag in a view turns its camera; the view's orientation menu then sets the front view, with
// its status line; a view can have the whole view area.
TEST_F(Dispatcher, QueuedInputTurnsAViewAndItsMenuSetsAStandardView)
{
    TarnwickApp.Ready = true;
    ASSERT_TRUE(OpenProject(std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick"));
    TarnwickMainWindow->ResetViewports();
    TarnwickMainWindow->DisplayFrame();
    TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(0);
    ASSERT_NE(panel, nullptr);
    panel->SetView(TTarnwick_StandardView::Front);
    const TZAVglutWigits_Rect view = panel->AbsoluteRect();
    const int32_t x = view.X + view.Width / 2, y = view.Y + view.Height / 2;
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
    for (int32_t step = 1; step <= 4; step++)
        Queue(TTarnwick_InputKind::Motion, 0, 0, x + step * view.Width / 16, y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x + view.Width / 4, y);
    // A quarter of the view's width turns about 10 / pi / 2 radians about the vertical axis.
    EXPECT_TRUE(panel->Viewport.UserView);
    EXPECT_LT(panel->Viewport.Rotation[0], 0.5f);

    std::vector<uint8_t> pixels(size_t(TarnwickMainWindow->Width) * size_t(TarnwickMainWindow->Height) * 3);
    TarnwickMainWindow->Refresh(false);
    glReadPixels(0, 0, TarnwickMainWindow->Width, TarnwickMainWindow->Height, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    std::string error;
    EXPECT_TRUE(SaveScreenshot("rotated_figure.png", pixels.data(), TarnwickMainWindow->Width,
                               TarnwickMainWindow->Height, 3, error))
        << error;

    TZAVglutWigits_Node* orientation = FindNamed(panel, "OrientationButton");
    ASSERT_NE(orientation, nullptr);
    ClickCentreOf(*orientation);
    TZAVglutWigits_Node* front = FindNamed(TarnwickMainWindow, "FrontView");
    ASSERT_NE(front, nullptr);
    TakeStatusLines();
    ClickCentreOf(*front);
    const std::vector<TZAVStatusLine> lines = TakeStatusLines();
    EXPECT_TRUE(HasLine(lines, TZAVStatusKind::Status, "Setting the viewport to \"front\"")) << lines.size();
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int32_t i = 0; i < 16; i++)
        EXPECT_EQ(panel->Viewport.Rotation[i], identity[i]) << i;
    EXPECT_FALSE(panel->Viewport.UserView);

    // A press makes a view current; 162 gives it the whole view area, and gives it back.
    TTarnwick_ViewportPanel* second = TarnwickMainWindow->ViewportPanel(1);
    ClickCentreOf(*second);
    ASSERT_EQ(TarnwickMainWindow->CurrentViewportPanel(), second);
    ASSERT_TRUE(Dispatch(162));
    EXPECT_EQ(second->Width, TarnwickMainWindow->SidePanel()->X - TarnwickMainWindow->ToolPanel()->Width);
    EXPECT_FALSE(panel->Shown);
    ASSERT_TRUE(Dispatch(162));
    EXPECT_TRUE(panel->Shown);
    EXPECT_LT(second->Width, TarnwickMainWindow->Width);
}

// The File menu, clicked through queued input, imports an OBJ and saves the project under a new
// name; opening the saved file (after the question) gives the same scene.
TEST_F(Dispatcher, FileMenuImportsAndSavesThroughQueuedClicks)
{
    TarnwickApp.Ready = true;
    TarnwickMainWindow->DisplayFrame();
    auto choose = [](const char* entry) {
        TZAVglutWigits_Node* menu = FindNamed(TarnwickMainWindow, "&File");
        ASSERT_NE(menu, nullptr);
        ClickCentreOf(*menu);
        TZAVglutWigits_Node* item = FindNamed(TarnwickMainWindow, entry);
        ASSERT_NE(item, nullptr) << entry;
        ClickCentreOf(*item);
    };
    const std::string saved = Path("Scene.Tarnwick");
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::OpenFile, ObjPath).ExpectFile(TZAVDialogKind::SaveFile, saved);
        choose("Import O&BJ...");
        ASSERT_NE(TarnwickProject->CurrentObject, nullptr);
        choose("Save &as...");
    }
    EXPECT_EQ(TarnwickProject->FileName, saved);
    const TProjectSummary before = Summary(*TarnwickProject);
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, true, GetLanguageString(381));
    ASSERT_TRUE(Dispatch(202, saved));
    EXPECT_EQ(Summary(*TarnwickProject), before);

    // The saved project heads the Recent menu, which opens it again (an empty project goes
    // without asking).
    dialogs.Expect(TZAVDialogKind::YesNo, true, GetLanguageString(388));
    ASSERT_TRUE(Dispatch(207));
    ClickCentreOf(*FindNamed(TarnwickMainWindow, "&Recent"));
    TZAVglutWigits_Node* recent = FindNamed(TarnwickMainWindow, saved.c_str());
    ASSERT_NE(recent, nullptr);
    ClickCentreOf(*recent);
    EXPECT_EQ(Summary(*TarnwickProject), before);
}

// Ctrl+Z undoes through the Edit menu's hot key; Ctrl+Shift+Z and Ctrl+Y redo.
TEST_F(Dispatcher, EditHotKeysUndoAndRedo)
{
    TarnwickApp.Ready = true;
    ASSERT_TRUE(Dispatch(205, ObjPath));
    TTarnwick_UndoBuffer& undo = TarnwickProject->UndoBuffer;
    TTarnwick_Selection* selection = TarnwickProject->CurrentObject->Mesh->CurrentSelection;
    undo.AddUndoNode(undo.CreateUndoNode(UndoType_Selection, -1));
    selection->SetVSelect(1, 1.0f);
    // Ctrl and a letter arrive as the letter's control code: Z is 26, Y 25.
    const std::tuple<int32_t, int32_t, float> presses[] = {{26, ModifierCtrl, 0},
                                                           {26, ModifierCtrl | ModifierShift, 1},
                                                           {26, ModifierCtrl, 0},
                                                           {25, ModifierCtrl, 1}};
    for (auto [key, modifiers, weight] : presses) {
        TarnwickMainWindow->QueueInput({int32_t(TTarnwick_InputKind::Key), key, 0, 5, 5}, modifiers);
        while (!TarnwickMainWindow->PendingInput().empty())
            TarnwickMainWindow->DisplayFrame();
        EXPECT_EQ(selection->GetVSelect(1), weight) << key << " " << modifiers;
    }
    EXPECT_TRUE(HasLine(TakeStatusLines(), TZAVStatusKind::Status, "Redoing the last undone action"));
}

// The main window's frame, drawn now, into the screenshots.
void SaveFrame(const char* name)
{
    TarnwickMainWindow->Refresh(false);
    const TWidgetFrame frame = TWidgetFrame::ReadBack(TarnwickMainWindow->Width, TarnwickMainWindow->Height);
    std::string error;
    EXPECT_TRUE(SaveScreenshot(name, frame.Rgb.data(), frame.Width, frame.Height, 3, error)) << error;
}

// Every weight of the current selection, read through the selection.
std::vector<float> SelectionWeights(TTarnwick_Mesh& mesh)
{
    std::vector<float> weights;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        weights.push_back(mesh.CurrentSelection->GetVSelect(vertex));
    return weights;
}

// With a brush chosen from the Tools menu, a drag in a view paints the current selection instead
// of turning the view; a deformer then moves what was painted; each undo takes one stroke back.
TEST_F(Dispatcher, ToolsMenuBrushPaintsTheSelectionInAView)
{
    TarnwickApp.Ready = true;
    ASSERT_TRUE(OpenProject(std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick"));
    TarnwickMainWindow->ResetViewports();
    TarnwickMainWindow->DisplayFrame();
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    ASSERT_NE(mesh.CurrentSelection, nullptr);
    const std::vector<float> before = SelectionWeights(mesh);
    TTarnwick_Tool* brush = nullptr;
    ASSERT_TRUE(ApplicationToolbox().Brushes.Get(brush, 0));
    // The entries of the open menu, not the tool bar's buttons of the same names under it.
    TZAVglutWigits_Menu* tools = static_cast<TTarnwick_MainMenu*>(TarnwickMainWindow->MainMenu())->ToolsMenu;
    ClickCentreOf(*FindNamed(TarnwickMainWindow, "&Tools"));
    TZAVglutWigits_Node* entry = FindNamed(tools, brush->GetName());
    ASSERT_NE(entry, nullptr);
    ClickCentreOf(*entry);
    ASSERT_EQ(ApplicationToolbox().CurrentTool, brush);

    TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(0);
    float rotation[16];
    std::copy_n(panel->Viewport.Rotation, 16, rotation);
    const TZAVglutWigits_Rect view = panel->AbsoluteRect();
    const int32_t x = view.X + view.Width / 2, y = view.Y + view.Height / 2;
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
    Queue(TTarnwick_InputKind::Motion, 0, 0, x + 4, y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x + 4, y);
    const std::vector<float> after = SelectionWeights(mesh);
    EXPECT_GT(std::accumulate(after.begin(), after.end(), 0.0),
              std::accumulate(before.begin(), before.end(), 0.0));
    EXPECT_TRUE(std::equal(rotation, rotation + 16, panel->Viewport.Rotation)) << "the view turned";

    // The first deformer moves the painted part of the face with the pointer.
    SaveFrame("sculpt_before.png");
    const std::vector<float> unmoved = mesh.DisplayedVertices;
    TTarnwick_Tool* deformer = nullptr;
    ASSERT_TRUE(ApplicationToolbox().Transforms.Get(deformer, 0));
    ClickCentreOf(*FindNamed(TarnwickMainWindow, "&Tools"));
    ClickCentreOf(*FindNamed(tools, deformer->GetName()));
    ASSERT_EQ(ApplicationToolbox().CurrentTool, deformer);
    // With every axis locked in the project, a stroke moves nothing.
    TarnwickProject->DeformerLockX = TarnwickProject->DeformerLockY = TarnwickProject->DeformerLockZ = true;
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
    Queue(TTarnwick_InputKind::Motion, 0, 0, x + 30, y - 20);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x + 30, y - 20);
    EXPECT_EQ(mesh.DisplayedVertices, unmoved);
    TarnwickProject->DeformerLockX = TarnwickProject->DeformerLockY = TarnwickProject->DeformerLockZ = false;
    ASSERT_TRUE(Dispatch(68));
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
    for (int32_t step = 1; step <= 3; step++)
        Queue(TTarnwick_InputKind::Motion, 0, 0, x + 10 * step, y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x + 30, y);
    EXPECT_NE(mesh.DisplayedVertices, unmoved);
    SaveFrame("sculpt_after.png");

    // One undo per stroke, the newest first.
    ASSERT_TRUE(Dispatch(68));
    EXPECT_EQ(TarnwickProject->CurrentObject->Mesh->DisplayedVertices, unmoved);
    ASSERT_TRUE(Dispatch(68));
    EXPECT_EQ(SelectionWeights(*TarnwickProject->CurrentObject->Mesh), before);
    ApplicationToolbox().SwitchTool(nullptr, &mesh);
}

// A handler that fails reaches the fatal handler's offer; OK and "save" post the save after an
// error, which writes the "_SavedAfterError" project.
TEST_F(Dispatcher, FailingHandlerOffersToSaveTheProject)
{
    TarnwickApp.Ready = true;
    SetFatalHook(OnFatal);
    TarnwickSettings->AutoSavePath = Path("NoAutoSave.Tarnwick");
    ASSERT_TRUE(Dispatch(205, ObjPath));
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::OkCancel, true, "skip past the error")
        .Expect(TZAVDialogKind::YesNo, true, "save your project now")
        .ExpectFile(TZAVDialogKind::SaveFile, Path("Broken.Tarnwick"));
    PostEvent(new TZAVEvent([](TZAVEvent*) { throw std::runtime_error("a handler broke"); }, nullptr, 0));
    TarnwickMainWindow->DisplayFrame();
    TarnwickMainWindow->DisplayFrame();
    SetFatalHook(nullptr);
    EXPECT_TRUE(FileExists(Path("Broken_SavedAfterError.Tarnwick")));
    EXPECT_TRUE(HasLine(TakeStatusLines(), TZAVStatusKind::Warning,
                        "TarnwickEvents_ProcessEvents(): a handler broke"));
}

} // namespace
