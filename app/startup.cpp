// Start-up in its fixed order, the diagnostics run of tests and benchmarks, and the quit sequence.
#include "app/startup.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/driver_check.h"
#include "app/environment.h"
#include "app/fatal_handler.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/texture_registry.h"
#include "app/texture_residency.h"
#include "app/viewport_panel.h"
#include "app/x11_clipboard.h"
#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/text_scan.h"
#include "core/timer.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/image_file.h"
#include "paint/material_map.h"
#include "widgets/dialog_presenter.h"

namespace {

constexpr const char* WindowTitle = "Tarnwick";
constexpr int32_t MinimumScreenWidth = 800;
constexpr int32_t MinimumScreenHeight = 600;
constexpr int32_t LoadEnvironmentCommand = 46;
// Where the note about crashes inside file dialogs is read.
constexpr const char* CrashNoteAddress = "man:tarnwick(1)";
constexpr int32_t FrameWatchMilliseconds = 2;
constexpr int32_t StopWatchMilliseconds = 100;

// The start-up project, read on a side thread (quietly: anything that wants the user makes the
// first frame read it again in the open).
struct TPreload
{
    std::thread Thread;
    std::string Path;
    std::unique_ptr<TTarnwick_Project> Project;
};

// What start-up makes and the quit sequence destroys.
struct TStartupObjects
{
    TPreload Preload;
    std::unique_ptr<TZAVglutWigits_DialogPresenter> Presenter;
    std::unique_ptr<TZAVTextureRegistry> Textures;
    TTarnwick_StartOptions Options;
    int32_t WindowId = 0;
};
TStartupObjects Startup;

// Answers for the unattended diagnostics run: texts go to stderr, questions get the answers of
// the command line in order, then no. File dialogs are cancelled.
class TUnattendedDialogs : public TZAVDialogPresenter
{
public:
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        std::fprintf(stderr, "tarnwick: %s\n", request.Text.c_str());
        TZAVDialogAnswer answer;
        const bool question = request.Kind == TZAVDialogKind::YesNo || request.Kind == TZAVDialogKind::OkCancel;
        if (question && Next < Startup.Options.Answers.size())
            answer.Accepted = Startup.Options.Answers[Next++];
        return answer;
    }

private:
    size_t Next = 0;
};
TUnattendedDialogs UnattendedDialogs;

// Set by SIGTERM or SIGHUP; the main loop notices it between callbacks.
volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int)
{
    stop_requested = 1;
}

void WatchForStop(int)
{
    if (stop_requested != 0)
        QuitKeepingAutosave("the system asked Tarnwick to stop");
    glutTimerFunc(StopWatchMilliseconds, WatchForStop, 0);
}

int Refuse()
{
    // The side thread must not outlive the objects it uses.
    TakePreloadedProject({});
    return EXIT_FAILURE;
}

bool IsProjectFile(const std::string& path)
{
    return SameTextNoCase(ExtensionOf(path), ProjectFileExtension);
}

void StartPreload(const std::string& path)
{
    if (path.empty())
        return;
    // The map blocks' reader is a process-wide hook: installed here, before the thread reads.
    InstallMaterialMapReader();
    Startup.Preload.Path = path;
    Startup.Preload.Thread = std::thread([path] {
        TZAVQuietThread quiet;
        auto project = std::make_unique<TTarnwick_Project>();
        bool read = false;
        try {
            read = project->OpenProjectFile(path);
        } catch (...) {
            read = false;
        }
        if (read && !quiet.Interrupted())
            Startup.Preload.Project = std::move(project);
    });
}

// Step 22 ahead of its turn, so that the project can be read early: the default project, or the
// user's project named on the command line. An OBJ or CR2 file named there is returned, to be
// imported into an empty scene.
std::string ChooseStartupProject(const TTarnwick_StartOptions& options)
{
    TarnwickApp.StartupProject = DataFilePath(("Default." + std::string(ProjectFileExtension)).c_str());
    if (options.Files.empty() || !FileExists(options.Files[0]))
        return {};
    if (!IsProjectFile(options.Files[0])) {
        TarnwickApp.StartupProject.clear();
        return options.Files[0];
    }
    TarnwickApp.StartupProject = options.Files[0];
    TarnwickApp.StartupProjectIsUsers = true;
    return {};
}

void CannotOpenDisplay(const char* format, va_list arguments)
{
    std::fputs("tarnwick: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputs("\n", stderr);
    std::exit(EXIT_FAILURE);
}

void ClearToBackground()
{
    glClearColor(0.3f, 0.3f, 0.35f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
}

void RedrawAfterDialog()
{
    if (Startup.WindowId > 0)
        glutPostWindowRedisplay(Startup.WindowId);
}

bool PostWhileWindowExists(TZAVEvent*)
{
    // A posted command needs a frame to run in.
    if (TarnwickMainWindow != nullptr)
        TarnwickMainWindow->RequestRedisplay();
    return TarnwickMainWindow != nullptr;
}

// Steps 4 to 6: GLUT, the window's size against the screen, the window.
bool CreateMainGlutWindow()
{
    int argc = 1;
    char name[] = "tarnwick";
    char* argv[] = {name, nullptr};
    glutInitErrorFunc(CannotOpenDisplay);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    if (!glutGet(GLUT_DISPLAY_MODE_POSSIBLE)) {
        ShowError(GlobalDialogHost, "Cannot create an OpenGL window with the parameters required to run this program");
        return false;
    }
    const int32_t screen_width = glutGet(GLUT_SCREEN_WIDTH);
    const int32_t screen_height = glutGet(GLUT_SCREEN_HEIGHT);
    if (screen_width < MinimumScreenWidth || screen_height < MinimumScreenHeight) {
        ShowError(GlobalDialogHost, "%s",
                  FormatLanguageIntegers(ScreenTooSmallEntry, "Tarnwick needs a screen of at least %d x %d pixels.",
                                         MinimumScreenWidth, MinimumScreenHeight)
                      .c_str());
        return false;
    }
    const int32_t width = screen_width * 8 / 10;
    const int32_t height = screen_height * 8 / 10;
    glutInitWindowPosition(std::max(0, (screen_width - width) / 2), std::max(0, (screen_height - height) / 2));
    glutInitWindowSize(width, height);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    Startup.WindowId = glutCreateWindow(WindowTitle);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &TarnwickApp.MaxOpenGLTextureSize);
    glutDisplayFunc(ClearToBackground);
    return true;
}

void OfferCrashNote()
{
    if (!DialogCrashMarkerPresent())
        return;
    if (AskYesNo(GlobalDialogHost, "The last run of Tarnwick ended while a file dialog was open. Would you like to "
                                   "read the note about it?"))
        OpenDocument(GlobalDialogHost, CrashNoteAddress);
    ClearDialogCrashMarker();
}

bool RefusedAsSecondInstance()
{
    std::string folder;
    if (!StateFolder(folder) || AcquireInstanceLock(folder) != TTarnwick_InstanceLock::AlreadyRunning)
        return false;
    ShowError(GlobalDialogHost, "%s",
              GetLanguageCount() >= AlreadyRunningEntry ? GetLanguageString(AlreadyRunningEntry)
                                                        : "An instance of Tarnwick is already running.");
    return true;
}

std::string SplashText(const TTarnwick_DriverStrings& driver)
{
    return FormatText("%s, version %d.%d.%d.%d\n%s\n%s\n%s", WindowTitle, 2, 2, 0, 0, driver.Vendor.c_str(),
                      driver.Renderer.c_str(), driver.Version.c_str());
}

// Steps 18 to 21: the settings, the project, the driver's check and report, the panels. False when
// the user chose not to run on the driver.
bool MakeObjectsAndPanels(TTarnwick_MainWindow& window)
{
    TarnwickSettings = new TTarnwick_Settings(GetLanguageString(AutoSaveBaseNameEntry));
    TarnwickProject = new TTarnwick_Project();
    // One colour scheme exists; the font is the user's choice of three sizes.
    window.InterfaceFontNumber = TarnwickSettings->Font;
    const TTarnwick_DriverStrings driver = ReadDriverStrings();
    if (!CheckVideoCard(driver, DataFilePath("OpenGL_Database.csv")))
        return false;
    if (!TarnwickSettings->UserFolder.empty())
        WriteOpenGLReport(driver, TarnwickSettings->UserFolder);
    window.BuildPanels(SplashText(driver).c_str());
    return true;
}

// [SECTION] The diagnostics run

void WriteCapture()
{
    TTarnwick_MainWindow& window = *TarnwickMainWindow;
    const std::string& path = Startup.Options.CapturePath;
    window.Refresh(false);
    std::vector<uint8_t> pixels(size_t(window.Width) * size_t(window.Height) * 3);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, window.Width, window.Height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string error;
    if (!SaveImageFile(path, pixels, window.Width, window.Height, TZAVImageChannels::RGB, error))
        std::fprintf(stderr, "tarnwick: %s\n", error.c_str());
    FILE* facts = std::fopen((path + ".txt").c_str(), "w");
    if (facts == nullptr)
        return;
    const TTarnwick_Object* object = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    double checksum = 0;
    if (object != nullptr && object->Mesh)
        for (float value : object->Mesh->DisplayedVertices)
            checksum += value;
    TZAVglutWigits_Rect view;
    if (const TTarnwick_ViewportPanel* panel = window.CurrentViewportPanel())
        view = panel->AbsoluteRect();
    std::fprintf(facts, "window %d %d\nviewport %d %d %d %d\nframes %lld\nfirst_figure_clock %.6f\n"
                        "current_object %s\nvertices %d\nchecksum %.6f\nproject_file %s\n",
                 window.Width, window.Height, view.X, view.Y, view.Width, view.Height, static_cast<long long>(window.FrameCount), window.FirstFigureClock,
                 object != nullptr ? object->Name.c_str() : "", object != nullptr && object->Mesh ? object->Mesh->GetVertexCount() : 0,
                 checksum, TarnwickProject != nullptr ? TarnwickProject->FileName.c_str() : "");
    std::fclose(facts);
}

// Quits once the frames asked for were drawn with nothing left to do.
void WatchFrames(int)
{
    TTarnwick_MainWindow* window = TarnwickMainWindow;
    if (window != nullptr && TarnwickApp.Ready) {
        const bool settled = QueuedEventCount() == 0 && window->PendingInput().empty();
        if (settled && window->FrameCount >= Startup.Options.ExitAfterFrames) {
            if (!Startup.Options.CapturePath.empty())
                WriteCapture();
            QuitTarnwick();
        }
        window->RequestRedisplay();
    }
    glutTimerFunc(FrameWatchMilliseconds, WatchFrames, 0);
}

} // namespace

std::string FormatLanguageIntegers(int32_t entry, const char* fallback, int32_t first, int32_t second)
{
    const char* text = GetLanguageString(entry);
    int conversions = 0;
    for (const char* c = text; *c != '\0'; c++) {
        if (*c != '%')
            continue;
        if (c[1] == '%') {
            c++;
        } else if (c[1] == 'd') {
            conversions++;
            c++;
        } else {
            conversions = -1;
            break;
        }
    }
    return FormatText(conversions == 2 ? text : fallback, first, second);
}

int RunTarnwick(const TTarnwick_StartOptions& options)
{
    Startup.Options = options;
    // A stop asked for during start-up is carried out once the main loop runs.
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGHUP, RequestStop);
    if (options.ExitAfterFrames > 0)
        SetDialogPresenter(&UnattendedDialogs);
    std::string own_folder;
    if (!ProgramFolder(own_folder)) {
        ShowError(GlobalDialogHost, "Cannot find the folder of the program");
        return Refuse();
    }
    TarnwickApp.ProgramFolder = FindProgramFolder(WithTrailingSeparator(own_folder));
    std::string language_error;
    if (!LoadLanguage(TarnwickApp.ProgramFolder, language_error)) {
        ShowError(GlobalDialogHost, "Failed to open the language file. If the problem persists, you may have to "
                                    "reinstall the software.\n%s",
                  language_error.c_str());
        return Refuse();
    }
    if (!InitVirtualMemory()) {
        ShowError(GlobalDialogHost, "Cannot create the paging file");
        return Refuse();
    }
    const std::string import_file = ChooseStartupProject(options);
    // The project is read while the driver, the window and the panels are made: on big figures
    // that hides most of the start.
    StartPreload(TarnwickApp.StartupProject);
    if (!CreateMainGlutWindow())
        return Refuse();
    // The main window is the widget root of the GLUT window from the start, so that every message
    // of the start (a second instance, a missing file) is drawn in it; its panels come later.
    auto* window = new TTarnwick_MainWindow(Startup.WindowId);
    if (options.ExitAfterFrames == 0) {
        Startup.Presenter = std::make_unique<TZAVglutWigits_DialogPresenter>(window);
        Startup.Presenter->Install();
    }
    InstallMapTextureHooks();
    GlobalDialogHost.AfterDialog = RedrawAfterDialog;
    OfferCrashNote();
    SetFatalHook(OnFatal);
    if (RefusedAsSecondInstance())
        return Refuse();
    std::string user_folder;
    UserFolder(user_folder);
    // Without an X connection of its own the clipboard stays inside the program.
    InstallX11Clipboard();

    Startup.Textures = std::make_unique<TZAVTextureRegistry>();
    TarnwickApp.Textures = Startup.Textures.get();
    if (!LoadGraphicsArchive(*Startup.Textures, DataFilePath("Graphics.dat")))
        return Refuse();
    if (!LanguageIsCurrent()) {
        ShowError(GlobalDialogHost, "Please re-install this program as one or more of it's supporting data files is "
                                    "obsolete. (Language_v2.dat)");
        return Refuse();
    }

    if (!MakeObjectsAndPanels(*window))
        return Refuse();

    InstallDispatcher();
    PostCommand(LoadEnvironmentCommand);
    if (!import_file.empty())
        window->OpenFile(import_file, false);
    TarnwickEvents_ProcessEvents();
    if (options.ExitAfterFrames > 0)
        glutTimerFunc(FrameWatchMilliseconds, WatchFrames, 0);
    SetPostHook(PostWhileWindowExists);
    glutTimerFunc(StopWatchMilliseconds, WatchForStop, 0);
    glutMainLoop();
    return EXIT_SUCCESS;
}

std::unique_ptr<TTarnwick_Project> TakePreloadedProject(const std::string& path)
{
    if (Startup.Preload.Thread.joinable())
        Startup.Preload.Thread.join();
    if (path != Startup.Preload.Path)
        Startup.Preload.Project.reset();
    return std::move(Startup.Preload.Project);
}

void QuitTarnwick()
{
    TakePreloadedProject({});
    // The main window lives as long as the process, like its GL window.
    FreeEnvironment();
    delete TarnwickProject;
    TarnwickProject = nullptr;
    // Deletes this run's autosave and writes the settings file.
    delete TarnwickSettings;
    TarnwickSettings = nullptr;
    TarnwickApp.Textures = nullptr;
    Startup.Textures.reset();
    FreeLanguage();
    RemoveX11Clipboard();
    ShutdownVirtualMemory();
    std::exit(EXIT_SUCCESS);
}

void QuitKeepingAutosave(const char* why)
{
    if (TarnwickProject != nullptr && TarnwickSettings != nullptr && !TarnwickProject->Objects().empty() &&
        AutoSaveProject()) {
        TarnwickSettings->KeepAutoSave = true;
        std::fprintf(stderr, "Tarnwick: %s; the project was autosaved to %s and will be offered at the next start.\n",
                     why, TarnwickSettings->AutoSavePath.c_str());
    }
    QuitTarnwick();
}
