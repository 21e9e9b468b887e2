// The application's real main window on the test program's window, for the tests that drive it
// through queued input records. Run under xvfb-run.
#pragma once

#include <GL/freeglut.h>

#include <cstdint>
#include <string>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/texture_residency.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "support/widget_window.h"

// The language file and paging in place, the panels built, the dispatcher installed and the
// status lines left in the sink for the tests to read. 0, with the reason, when it cannot be made.
inline int StartTestMainWindow(const char* title, int32_t width, int32_t height, std::string& out_error)
{
    const int window_id = SharedTestWindow(title, width, height, out_error);
    if (window_id == 0)
        return 0;
    const std::string data = TARNWICK_BUILD_DATA;
    TarnwickApp.ProgramFolder = data.substr(0, data.size() - std::string("Data/").size());
    if (!LoadLanguage(TarnwickApp.ProgramFolder, out_error))
        return 0;
    if (!InitVirtualMemory()) {
        out_error = "the paging file could not be made";
        return 0;
    }
    new TTarnwick_MainWindow(window_id);
    TarnwickMainWindow->BuildPanels("");
    SetStatusHook(nullptr);
    InstallDispatcher();
    InstallMapTextureHooks();
    return window_id;
}

// The main window goes with its GL window before the exit, which would otherwise close the window
// behind the toolkit's back.
inline void StopTestMainWindow(int window_id)
{
    delete TarnwickMainWindow;
    if (window_id != 0)
        glutDestroyWindow(window_id);
}
