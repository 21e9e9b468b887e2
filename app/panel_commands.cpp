// The help pages and the panels. A page is looked for before the desktop's opener is started, so
// that a missing page is one clear error instead of the opener's own complaint.
#include "app/panel_commands.h"

#include <sys/stat.h>

#include <string>

#include "app/application.h"
#include "app/main_window.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/status.h"
#include "tools/tool.h"

namespace {

constexpr int32_t HelpPageCommand = 106;
// Posted by the link under the paint check's findings.
constexpr int32_t OpenGLHelpPageCommand = 108;
constexpr int32_t TutorialPageCommand = 109;

bool OpenPage(const char* kind, const char* file)
{
    const std::string path = DataFilePath(file);
    AddStatus("Launching the \"%s\" page at %s", kind, path.c_str());
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        ShowError(GlobalDialogHost, "Error opening the document\n%s", path.c_str());
        return false;
    }
    return OpenDocument(GlobalDialogHost, path.c_str());
}

} // namespace

bool HandleHelpCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case HelpPageCommand:
        return OpenPage("Help", "Help/index.html");
    case OpenGLHelpPageCommand:
        return OpenPage("OpenGL help", "Help/OpenGL.html");
    case TutorialPageCommand:
        return OpenPage("tutorial", "Help/Tutorials.html");
    default:
        return false;
    }
}

bool HandlePanelCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case ToolChangedCommand:
    case RefreshPanelsCommand:
        TarnwickMainWindow->RefreshToolPanels();
        TarnwickMainWindow->RequestRedisplay();
        return true;
    default:
        return false;
    }
}
