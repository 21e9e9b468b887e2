// The application record: what start-up learns about the program and the driver, kept for the
// whole run, and the paths of the data files that ship beside the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TTarnwick_Project;
class TZAVTextureRegistry;

struct TTarnwick_Application
{
    // The folder holding "Data/", with a trailing separator: the program's own folder in a build
    // tree, "<prefix>/share/tarnwick/" when installed.
    std::string ProgramFolder;
    // The project the first frame opens (command 203): the default project, or the user's own
    // file named on the command line.
    std::string StartupProject;
    bool StartupProjectIsUsers = false;
    // Set by command 46 once the environment is loaded; until then no callback does any work.
    bool Ready = false;
    // False when the video-card list says the driver cannot paint.
    bool PaintingSupported = true;
    // The driver offers GL_ARB_texture_compression.
    bool TextureCompression = false;
    int32_t MaxOpenGLTextureSize = 0;
    // The interface pictures; made at start-up, owned by the start-up code.
    TZAVTextureRegistry* Textures = nullptr;
};

extern TTarnwick_Application TarnwickApp;

// The folder that holds "Data/" for a program in own_folder (ending with '/'): own_folder when
// Data is beside the program, else "../share/tarnwick/" from there when that holds Data.
std::string FindProgramFolder(const std::string& own_folder);
// ProgramFolder + "Data/" + name.
std::string DataFilePath(const char* name);

// The end of the quit sequence: destroys the project, the settings (which delete this run's
// autosave and write the settings file), the interface textures, the language table and the
// fonts, and ends the process with status 0.
[[noreturn]] void QuitTarnwick();

// The program is ended without the user's say: its window closed under it (freeglut destroys it
// whatever the close callback does, so the user cannot be asked) or the system asked it to stop
// (SIGTERM, SIGHUP at logout). The project is autosaved, the autosave kept for the next start to
// offer, and the quit goes on as above. why names the cause on stderr.
[[noreturn]] void QuitKeepingAutosave(const char* why);

// The start-up project read ahead on a side thread, when it is path and was read without anything
// to tell the user; null otherwise (the caller reads the file itself). Waits for the reading.
std::unique_ptr<TTarnwick_Project> TakePreloadedProject(const std::string& path);
