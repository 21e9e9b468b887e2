// The real program, started as a user starts it: each run gets a fresh home and user folders, and
// the diagnostics options make it quit after its frames with a capture of the last one.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "core/paths.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "paint/image_file.h"
#include "support/temp_folder.h"

namespace {

// xvfb-run's server starts afresh whenever its last client leaves and refuses connections
// meanwhile: this connection stays open, so that programs started one after another find it.
Display* const HeldDisplay = XOpenDisplay(nullptr);

// One user's folders, as the program finds them through HOME and XDG.
struct TUserHome
{
    TemporaryFolder Root;
    std::string Config() const { return Root.Path() + "config/Tarnwick/"; }
    std::string State() const { return Root.Path() + "state/Tarnwick/"; }
    std::string Errors() const
    {
        std::ifstream file(Root.Path() + "stderr.txt");
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
};

pid_t StartProgram(const TUserHome& home, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& wrapper = {})
{
    std::vector<std::string> command = wrapper;
    command.push_back(TARNWICK_PROGRAM);
    command.insert(command.end(), arguments.begin(), arguments.end());
    const pid_t child = fork();
    if (child == 0) {
        const std::string root = home.Root.Path();
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "config").c_str(), 1);
        setenv("XDG_STATE_HOME", (root + "state").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "data").c_str(), 1);
        const int errors = open((root + "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(errors, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& part : command)
            argv.push_back(part.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int WaitForProgram(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunProgram(const TUserHome& home, const std::vector<std::string>& arguments,
               const std::vector<std::string>& wrapper = {})
{
    return WaitForProgram(StartProgram(home, arguments, wrapper));
}

bool WaitForFile(const std::string& path, int seconds)
{
    for (int i = 0; i < seconds * 20; i++) {
        if (FileExists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The "key value..." lines of a capture's facts.
std::map<std::string, std::string> ReadFacts(const std::string& capture)
{
    std::map<std::string, std::string> facts;
    std::ifstream file(capture + ".txt");
    std::string line;
    while (std::getline(file, line)) {
        const size_t space = line.find(' ');
        facts[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    return facts;
}

double PositionChecksum(const std::string& project_path)
{
    EXPECT_TRUE(InitVirtualMemory());
    TTarnwick_Project project;
    EXPECT_TRUE(project.OpenProjectFile(project_path)) << project.Error();
    double checksum = 0;
    if (project.CurrentObject != nullptr)
        for (float value : project.CurrentObject->Mesh->DisplayedVertices)
            checksum += value;
    return checksum;
}

// Whether a window has that title; with close, it is asked to close, as a window manager's close
// button does.
bool FindWindowTitled(const std::string& title, bool close)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    bool found = false;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count && !found; i++) {
        char* name = nullptr;
        found = XFetchName(display, children[i], &name) && name != nullptr && title == name;
        XFree(name);
        if (found && close) {
            XEvent event = {};
            event.xclient.type = ClientMessage;
            event.xclient.window = children[i];
            event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, children[i], False, NoEventMask, &event);
        }
    }
    XFree(children);
    XCloseDisplay(display);
    return found;
}

// Waits (30 s at most) for the program's window to show the project: its title names it once open.
bool WaitForWindowTitled(const std::string& title, bool close)
{
    for (int i = 0; i < 600; i++) {
        if (FindWindowTitled(title, close))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

const std::string DefaultProject = std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick";

} // namespace

// The first start of a new user: the window, the OpenGL report, the default figure current and
// drawn in the middle of the current view.
TEST(Startup, FirstStartShowsTheDefaultFigure)
{
    TUserHome home;
    const std::string capture = home.Root.Path() + "start.png";
    ASSERT_EQ(RunProgram(home, {"--exit-after-frames", "4", "--capture", capture}), 0) << home.Errors();

    std::ifstream report(home.Config() + "Tarnwick_OpenGL_Report.txt");
    std::string line;
    ASSERT_TRUE(std::getline(report, line));
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;

    std::map<std::string, std::string> facts = ReadFacts(capture);
    EXPECT_EQ(facts["current_object"], "Head");
    EXPECT_EQ(facts["project_file"], "") << "the default project is not the user's file";
    int window_width = 0, window_height = 0, x = 0, y = 0, width = 0, height = 0;
    std::istringstream(facts["window"]) >> window_width >> window_height;
    std::istringstream(facts["viewport"]) >> x >> y >> width >> height;
    ASSERT_GT(width, 0);

    TZAVPixelBuffer pixels;
    int32_t image_width = 0, image_height = 0;
    std::string error;
    ASSERT_TRUE(LoadImageFile(capture, pixels, image_width, image_height, 0, nullptr, error)) << error;
    ASSERT_EQ(image_width, window_width);
    // The capture's rows run bottom up, as OpenGL reads them.
    auto pixel = [&](int px, int py) {
        const uint8_t* p = pixels.get() + 3 * (size_t(image_height - 1 - py) * size_t(image_width) + size_t(px));
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    const std::array<int, 3> centre = pixel(x + width / 2, y + height / 2);
    const std::array<int, 3> corner = pixel(x + 3, y + height - 3);
    // Skin: red above green above blue, and unlike the bluish-grey background of the corner.
    EXPECT_GT(centre[0], centre[1]) << "centre " << centre[0] << " " << centre[1] << " " << centre[2];
    EXPECT_GT(centre[1], centre[2]);
    EXPECT_LE(corner[0], corner[2]) << "corner " << corner[0] << " " << corner[1] << " " << corner[2];
    std::filesystem::create_directories(TARNWICK_SCREENSHOT_DIR);
    std::filesystem::copy_file(capture, std::string(TARNWICK_SCREENSHOT_DIR) + "start_screen.png",
                               std::filesystem::copy_options::overwrite_existing);
}

// A second start while the first runs says so and fails; a screen below 800 x 600 is refused.
TEST(Startup, RefusesASecondInstanceAndASmallScreen)
{
    TUserHome home;
    const pid_t first = StartProgram(home, {"--exit-after-frames", "1000000"});
    ASSERT_TRUE(WaitForFile(home.Config() + "Tarnwick_OpenGL_Report.txt", 30)) << home.Errors();
    EXPECT_NE(RunProgram(home, {"--exit-after-frames", "2"}), 0);
    EXPECT_NE(home.Errors().find("already running"), std::string::npos) << home.Errors();
    kill(first, SIGTERM);
    WaitForProgram(first);

    TUserHome small;
    EXPECT_NE(RunProgram(small, {"--exit-after-frames", "2"}, {"xvfb-run", "-a", "-s", "-screen 0 799x1200x24"}), 0);
    EXPECT_NE(small.Errors().find("at least 800 x 600"), std::string::npos) << small.Errors();
}

// A run killed while a project is open leaves its autosave; the next start offers it, and the
// project it recovers is the one autosaved, with no file name so that Save asks for one.
TEST(Startup, KilledRunIsRecoveredFromItsAutosave)
{
    TUserHome home;
    std::filesystem::create_directories(home.Config());
    home.Root.Write("config/Tarnwick/Tarnwick_Orvane_v2.ini", "AutoSaveTime\t1.0\n");
    const std::string project = home.Root.Path() + "figure.Tarnwick";
    std::filesystem::copy_file(DefaultProject, project);
    const pid_t killed = StartProgram(home, {"--exit-after-frames", "1000000", project});
    const std::string autosave = home.State() + "AutoSave.Tarnwick";
    const bool autosaved = WaitForFile(autosave, 30);
    kill(killed, SIGKILL);
    WaitForProgram(killed);
    ASSERT_TRUE(autosaved) << home.Errors();
    const std::string kept = home.Root.Path() + "autosaved.Tarnwick";
    std::filesystem::copy_file(autosave, kept);

    const std::string capture = home.Root.Path() + "recovered.png";
    ASSERT_EQ(RunProgram(home, {"--exit-after-frames", "4", "--capture", capture, "--answer", "yes"}), 0)
        << home.Errors();
    EXPECT_NE(home.Errors().find("Would you like to recover the file"), std::string::npos) << home.Errors();
    std::map<std::string, std::string> facts = ReadFacts(capture);
    EXPECT_EQ(facts["project_file"], "");
    EXPECT_EQ(facts["current_object"], "Head");
    EXPECT_NEAR(std::stod(facts["checksum"]), PositionChecksum(kept), 1e-3);

    // The user's own project named on the command line keeps its name (Save writes it back) and
    // its figure as saved.
    const std::string opened = home.Root.Path() + "opened.png";
    ASSERT_EQ(RunProgram(home, {"--exit-after-frames", "4", "--capture", opened, project}), 0) << home.Errors();
    facts = ReadFacts(opened);
    EXPECT_EQ(facts["project_file"], project);
    EXPECT_NEAR(std::stod(facts["checksum"]), PositionChecksum(project), 1e-3);
}

// Ended without the user's say, by the window's close button (which freeglut does not let be
// refused) or by SIGTERM, the program asks nothing: it autosaves, and the next start offers that.
TEST(Startup, WindowClosedOrStopAutosavesForTheNextStart)
{
    for (const bool by_signal : {false, true}) {
        TUserHome home;
        // Named apart from the other tests' projects: their windows share the display.
        const std::string name = by_signal ? "stopped.Tarnwick" : "closed.Tarnwick";
        const std::string project = home.Root.Path() + name;
        std::filesystem::copy_file(DefaultProject, project);
        const pid_t program = StartProgram(home, {"--exit-after-frames", "1000000", project});
        EXPECT_TRUE(WaitForWindowTitled("Tarnwick - " + name, !by_signal)) << home.Errors();
        if (by_signal)
            kill(program, SIGTERM);
        EXPECT_EQ(WaitForProgram(program), 0) << home.Errors();
        EXPECT_TRUE(FileExists(home.State() + "AutoSave.Tarnwick")) << by_signal << home.Errors();
    }
}

// The screen-size message comes from the language file, whose text is checked before it is used
// as a format.
TEST(Startup, LanguageFormatsAreCheckedBeforeUse)
{
    TemporaryFolder folder;
    folder.Write("Language_v2.txt", "1.Tarnwick needs %d x %d pixels.\n2.Needs %s and %d.\n3.Only %d.\n");
    std::filesystem::create_directories(folder.Path() + "Data");
    std::filesystem::rename(folder.Path() + "Language_v2.txt", folder.Path() + "Data/Language_v2.txt");
    std::string error;
    ASSERT_TRUE(LoadLanguage(folder.Path(), error)) << error;
    EXPECT_EQ(FormatLanguageIntegers(1, "fallback %d %d", 800, 600), "Tarnwick needs 800 x 600 pixels.");
    EXPECT_EQ(FormatLanguageIntegers(2, "fallback %d %d", 800, 600), "fallback 800 600");
    EXPECT_EQ(FormatLanguageIntegers(3, "fallback %d %d", 800, 600), "fallback 800 600");
    FreeLanguage();
}
