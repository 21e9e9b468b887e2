#include "app/fatal_handler.h"

#include <cstdlib>
#include <cstring>

#include "app/application.h"
#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "files/settings.h"

namespace {

// Command 213: save under a new name, beside the last autosave.
constexpr int32_t SaveAfterErrorCommand = 213;

void SayWhetherAutosaved()
{
    if (TarnwickSettings != nullptr && !TarnwickSettings->AutoSavePath.empty() &&
        FileExists(TarnwickSettings->AutoSavePath)) {
        ShowError(GlobalDialogHost,
                  "A fatal error has occured. The good news is that your project has been autosaved %.2f minutes "
                  "ago and it will be recovered the next time you run the program.",
                  TarnwickSettings->AutoSaveStopwatch.Elapsed() / 60.0);
    } else if (TarnwickApp.Ready) {
        ShowError(GlobalDialogHost, "A fatal error has occured. You have not been working on this project long "
                                    "enough for it to be autosaved.");
    }
}

} // namespace

void OnFatal(const char* text, const char* title)
{
    if (std::strcmp(title, "FATAL") == 0) {
        SayWhetherAutosaved();
        std::exit(EXIT_FAILURE);
    }
    // The questions below do not say what went wrong; the message panel does.
    AddWarning("%s: %s", title, text);
    if (AskOkCancel(GlobalDialogHost, "An error has occured. In most cases, you can skip past the error by "
                                      "clicking OK.\nTo exit the program immediately, please press cancel")) {
        if (TarnwickApp.Ready &&
            AskYesNo(GlobalDialogHost, "Would you like to attempt to save your project now?\n(If you do, it is "
                                       "recommended that you do not save over an older file"))
            PostCommand(SaveAfterErrorCommand);
        return;
    }
    if (AskOkCancel(GlobalDialogHost, "Are you sure you want to exit the program immediately (without saving)?\n(In "
                                      "some cases, you may be able to go back and save your work before exiting.)"))
        std::exit(EXIT_FAILURE);
}
