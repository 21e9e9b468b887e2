// The main window driven as the GLUT callbacks drive it: input records queued, frames and ticks
// run, the commands it posts recorded in place of the dispatcher. Runs under xvfb-run; writes
// screenshots/main_window.png into the build folder for a look.
#include "app/main_window.h"
#include "app/side_panel.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/main_menu.h"
#include "app/message_panel.h"
#include "app/tool_bar.h"
#include "app/viewport_panel.h"
#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "support/scripted_dialogs.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"
#include "support/widget_window.h"
#include "widgets/scroll_bar.h"

namespace {

constexpr int32_t WindowWidth = 800;
constexpr int32_t WindowHeight = 600;

std::vector<int32_t> recorded_commands;
std::vector<std::string> recorded_paths;

void RecordCommand(TZAVEvent* event)
{
    recorded_commands.push_back(event->GetID());
    const char* path = event->GetStringParameter(0);
    recorded_paths.push_back(path != nullptr ? path : "");
}

int64_t Recorded(int32_t command)
{
    return std::count(recorded_commands.begin(), recorded_commands.end(), command);
}

TTarnwick_InputRecord Mouse(int32_t button, int32_t state, int32_t x = 200, int32_t y = 150)
{
    return {int32_t(TTarnwick_InputKind::MouseButton), button, state, x, y};
}

bool SameRecord(const TTarnwick_InputRecord& a, const TTarnwick_InputRecord& b)
{
    return a.Kind == b.Kind && a.A == b.A && a.B == b.B && a.X == b.X && a.Y == b.Y;
}

// Longer than an autosave interval of one second.
void WaitPastInterval()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
}

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        const int window_id = SharedTestWindow("app_main_window_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(window_id, 0) << error;
        if (GetLanguageCount() == 0) {
            const std::string data = TARNWICK_BUILD_DATA;
            ASSERT_TRUE(LoadLanguage(data.substr(0, data.size() - 5), error)) << error;
        }
        TarnwickSettings = new TTarnwick_Settings();
        TarnwickProject = new TTarnwick_Project();
        TarnwickApp.Ready = true;
        SetDefaultEventHandler(RecordCommand);
        window = std::make_unique<TTarnwick_MainWindow>(window_id);
        window->Resize(WindowWidth, WindowHeight);
        window->SwapAfterFrame = false;
        window->BuildPanels("Tarnwick, version 2.2.0.0\nMesa\nllvmpipe\n4.5");
        TarnwickEvents_ProcessEvents();
        recorded_commands.clear();
        recorded_paths.clear();
        TakeStatusLines();
    }

    void TearDown() override
    {
        window.reset();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        delete TarnwickSettings;
        TarnwickSettings = nullptr;
        TarnwickApp.Ready = false;
        SetDefaultEventHandler(nullptr);
    }

    // Frames until nothing is pending.
    void RunFrames()
    {
        while (!window->PendingInput().empty())
            window->DisplayFrame();
        window->DisplayFrame();
    }

    std::unique_ptr<TTarnwick_MainWindow> window;
};

} // namespace

TEST_F(MainWindow, KeepsOneMouseButtonAtATimeAndQueuesNoPressTwice)
{
    // Right pressed while left is held: one press and one release, both of the left button.
    window->QueueInput(Mouse(MouseLeft, MouseDown), 0);
    window->QueueInput(Mouse(MouseRight, MouseDown), 0);
    window->QueueInput(Mouse(MouseLeft, MouseUp), 0);
    window->QueueInput(Mouse(MouseRight, MouseUp), 0);
    // A release is the held button's, whatever GLUT says; a stray release is dropped.
    window->QueueInput(Mouse(MouseRight, MouseDown), 0);
    window->QueueInput(Mouse(MouseLeft, MouseUp), 0);
    window->QueueInput(Mouse(MouseLeft, MouseUp), 0);
    const std::vector<TTarnwick_InputRecord> expected = {
        Mouse(MouseLeft, MouseDown), Mouse(MouseLeft, MouseUp), Mouse(MouseRight, MouseDown),
        Mouse(MouseRight, MouseUp)};
    ASSERT_EQ(window->PendingInput().size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), window->PendingInput().begin(), SameRecord));

    // A click whose press and release are pending already is not queued again.
    window->QueueInput(Mouse(MouseLeft, MouseDown), 0);
    window->QueueInput(Mouse(MouseLeft, MouseUp), 0);
    EXPECT_EQ(window->PendingInput().size(), expected.size());
    RunFrames();
    window->QueueInput(Mouse(MouseLeft, MouseDown), 0);
    EXPECT_EQ(window->PendingInput().size(), 1u);
}

TEST_F(MainWindow, CallbacksQueueInputButHandItToAnOpenDialogAtOnce)
{
    const TZAVglutWigits_Rect view = window->ViewportPanel(0)->AbsoluteRect();
    const int32_t x = view.X + view.Width / 2, y = view.Y + view.Height / 2;
    TTarnwick_MainWindow::MouseCB(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    EXPECT_EQ(window->PendingInput().size(), 1u);
    DialogOpenFlag = 1;
    TTarnwick_MainWindow::MouseCB(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
    TTarnwick_MainWindow::PassiveCB(x + 5, y);
    DialogOpenFlag = 0;
    EXPECT_EQ(window->PendingInput().size(), 1u);
    EXPECT_EQ(window->LastPassiveX, x + 5);
    // The release the dialog saw ends the held press: the next press is queued.
    RunFrames();
    TTarnwick_MainWindow::MouseCB(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    EXPECT_EQ(window->PendingInput().size(), 1u);
}

TEST_F(MainWindow, RoutesOneRecordPerFrameAndAsksForTheStartupProjectOnce)
{
    for (int32_t i = 0; i < 3; i++)
        window->QueueInput({int32_t(TTarnwick_InputKind::PassiveMotion), 0, 0, 100 + i, 100}, 0);
    window->QueueInput({int32_t(TTarnwick_InputKind::Key), 'a', 0, 100, 100}, 0);
    for (size_t left = 3; left > 0; left--) {
        window->DisplayFrame();
        EXPECT_EQ(window->PendingInput().size(), left);
    }
    EXPECT_EQ(window->LastPassiveX, 102);
    window->DisplayFrame();
    window->DisplayFrame();
    EXPECT_EQ(Recorded(203), 1);
    EXPECT_EQ(Recorded(163), 1);
    // Nothing pending and nothing changed: the tick asks for no frame.
    window->IdleTick();
    EXPECT_FALSE(window->NeedsRefresh);
}

TEST_F(MainWindow, AutosavesOnlyWhenNoButtonIsHeldAndThereIsAnObject)
{
    TarnwickSettings->AutoSaveTime = 1.0f;
    TarnwickSettings->AutoSaveStopwatch.Restart();
    TarnwickProject->AddObject(new TTarnwick_Object());
    // No frame has placed the panels on the screen yet; their place in the window is the same.
    const TTarnwick_ViewportPanel* view = window->ViewportPanel(0);
    const int32_t x = view->X + view->Width / 2, y = view->Y + view->Height / 2;
    WaitPastInterval();

    window->QueueInput(Mouse(MouseLeft, MouseDown, x, y), 0);
    RunFrames();
    EXPECT_TRUE(window->Dragging);
    window->IdleTick();
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(Recorded(234), 0);

    window->QueueInput(Mouse(MouseLeft, MouseUp, x, y), 0);
    RunFrames();
    EXPECT_FALSE(window->Dragging);
    window->IdleTick();
    window->IdleTick();
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(Recorded(234), 1);

    delete TarnwickProject;
    TarnwickProject = new TTarnwick_Project();
    WaitPastInterval();
    window->IdleTick();
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(Recorded(234), 1);
}

TEST_F(MainWindow, ShowsStatusLinesOnceReadyAndKeepsTheNewest39)
{
    TarnwickApp.Ready = false;
    AddStatus("before the environment is loaded");
    EXPECT_EQ(window->MessageCount(), 0);
    std::vector<TZAVStatusLine> sink = TakeStatusLines();
    ASSERT_EQ(sink.size(), 1u);
    EXPECT_EQ(sink[0].Text, "before the environment is loaded");

    TarnwickApp.Ready = true;
    for (int32_t i = 0; i < 45; i++)
        AddStatus("line %d", i);
    AddWarning("[b]last[/b] line");
    EXPECT_TRUE(TakeStatusLines().empty());
    EXPECT_EQ(window->MessageCount(), 46);
    window->IdleTick();
    ASSERT_EQ(window->MessageCount(), 39);
    EXPECT_EQ(window->MessageText(0), "line 7");
    EXPECT_EQ(window->MessageText(38), "[b]last[/b] line");
    EXPECT_EQ(window->MessagePanel()->LineKind(38), TZAVStatusKind::Warning);
}

double busy_seconds = 0.0;

// A long command: its progress ticks come a second apart.
void LongCommand(TZAVEvent*)
{
    for (int32_t i = 0; i < 3; i++) {
        busy_seconds += 1.0;
        TarnwickEvents_ProgressTick();
    }
}

TEST_F(MainWindow, ShowsTheBusyTextAtOnceWhileACommandRuns)
{
    window->DisplayFrame();
    glDrawBuffer(GL_FRONT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawBuffer(GL_BACK);
    SetBusyClock([] { return busy_seconds; });
    PostEvent(new TZAVEvent(LongCommand, nullptr, 1));
    TarnwickEvents_ProcessEvents();
    SetBusyClock(nullptr);

    // The busy text went straight to the screen, in the panel's last line.
    std::vector<uint8_t> front(size_t(WindowWidth) * WindowHeight * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WindowWidth, WindowHeight, GL_RGB, GL_UNSIGNED_BYTE, front.data());
    glReadBuffer(GL_BACK);
    const TZAVglutWigits_Rect panel = window->MessagePanel()->AbsoluteRect();
    int32_t text_pixels = 0;
    for (int32_t y = panel.Y; y < panel.Y + panel.Height; y++)
        for (int32_t x = panel.X; x < panel.X + panel.Width; x++) {
            const uint8_t* pixel = &front[(size_t(WindowHeight - 1 - y) * WindowWidth + size_t(x)) * 3];
            text_pixels += pixel[2] > 150 && pixel[2] > pixel[0] + 60;
        }
    EXPECT_GT(text_pixels, 20);
}

TEST_F(MainWindow, ImportsDroppedFiguresByTheirExtensionInAnyCase)
{
    TemporaryFolder folder;
    const std::string figure = folder.Write("Figure.OBZ", "v 0 0 0\n");
    const std::string character = folder.Write("hero.Cr2", "{\n}\n");
    const std::string notes = folder.Write("notes.txt", "text\n");
    EXPECT_TRUE(window->DropFile(figure.c_str(), 400, 300));
    EXPECT_TRUE(window->OpenFile(character, false));
    EXPECT_FALSE(window->DropFile((folder.Path() + "missing.obj").c_str(), 400, 300));
    EXPECT_FALSE(window->OpenFile(notes, false));
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(recorded_commands, (std::vector<int32_t>{205, 204}));
    EXPECT_EQ(recorded_paths, (std::vector<std::string>{figure, character}));
    ASSERT_EQ(window->MessageCount(), 1);
    EXPECT_EQ(window->MessagePanel()->LineKind(0), TZAVStatusKind::Warning);
}

TEST_F(MainWindow, QuitAnsweredNoKeepsRunning)
{
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, false, GetLanguageString(186));
    dialogs.Expect(TZAVDialogKind::YesNo, false, GetLanguageString(186));
    window->OnCloseRequest();
    // The menu's Quit goes the same way.
    auto* menu = static_cast<TTarnwick_MainMenu*>(window->MainMenu());
    PostEvent(new TZAVEvent(*menu->QuitEntry->ClickEvent));
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(dialogs.Requests().size(), 2u);
}

TEST_F(MainWindow, DrawsMenuViewsMessagesAndSplash)
{
    for (int32_t i = 1; i <= 8; i++)
        AddStatus("Earlier line %d", i);
    AddStatus("Loading the project [b]Default.Tarnwick[/b]");
    AddWarning("Cannot find the texture skin.png");
    window->DisplayFrame();
    const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
    std::string error;
    EXPECT_TRUE(SaveScreenshot("main_window.png", frame.Rgb.data(), WindowWidth, WindowHeight, 3, error))
        << error;

    // Text shows in the menu bar and the message panel; the panels tile the window between them.
    auto bright_pixels = [&](const TZAVglutWigits_Rect& rect) {
        int32_t count = 0;
        for (int32_t y = rect.Y; y < rect.Y + rect.Height; y++)
            for (int32_t x = rect.X; x < rect.X + rect.Width; x++)
                count += frame.At(x, y)[0] > 150 && frame.At(x, y)[1] > 150;
        return count;
    };
    const TZAVglutWigits_Rect messages = window->MessagePanel()->AbsoluteRect();
    EXPECT_GT(bright_pixels(window->MainMenu()->AbsoluteRect()), 20);
    EXPECT_GT(bright_pixels(messages), 20);
    EXPECT_EQ(messages.Y + messages.Height, WindowHeight);
    const TZAVglutWigits_Rect last_view = window->ViewportPanel(3)->AbsoluteRect();
    EXPECT_EQ(last_view.X + last_view.Width, window->SidePanel()->AbsoluteRect().X);
    EXPECT_EQ(last_view.Y + last_view.Height, messages.Y);
    const TZAVglutWigits_Rect tool_bar = window->ToolBar()->AbsoluteRect();
    EXPECT_EQ(window->ViewportPanel(0)->AbsoluteRect().Y, tool_bar.Y + tool_bar.Height);
    EXPECT_TRUE(window->SplashShown());
    // More lines than fit: the newest are in view.
    const TZAVglutWigits_ScrollBar* scroll_bar = window->MessagePanel()->ScrollBar;
    EXPECT_TRUE(scroll_bar->Shown);
    EXPECT_EQ(scroll_bar->GetScrollPosition(), scroll_bar->Range());

    window->QueueInput(Mouse(MouseLeft, MouseDown), 0);
    window->DisplayFrame();
    EXPECT_FALSE(window->SplashShown());
}
