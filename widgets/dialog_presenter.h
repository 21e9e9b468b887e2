// The drawn dialogs behind core/dialogs: message boxes, the colour chooser and the file chooser
// open as modal windows of the program's Master, and a nested loop runs freeglut's events and
// redraws until the dialog is answered.
//
// One loop step: draw the frame when asked -> glutMainLoopEvent() (the window's own input) ->
// the iteration hook (tests inject their input here) -> the action the input deferred.
//
// Without a live Master (before the window exists, or after it is gone) the presenter answers as
// the one it replaced did: the text goes to stderr and questions get no. Destroy the presenter
// before its Master: the Master's destructor shows a message of its own.
#pragma once

#include <functional>
#include <memory>

#include "core/dialogs.h"

class TZAVglutWigits_DialogWindow;
class TZAVglutWigits_Master;

class TZAVglutWigits_DialogPresenter : public TZAVDialogPresenter
{
public:
    explicit TZAVglutWigits_DialogPresenter(TZAVglutWigits_Master* master);
    // Puts the presenter it replaced back.
    ~TZAVglutWigits_DialogPresenter() override;
    TZAVglutWigits_DialogPresenter(const TZAVglutWigits_DialogPresenter&) = delete;
    TZAVglutWigits_DialogPresenter& operator=(const TZAVglutWigits_DialogPresenter&) = delete;

    // Becomes the presenter of core/dialogs.
    void Install();
    void Uninstall();
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override;
    // Shows dialog (a new window in the Master, deleted here) modally until it is answered.
    TZAVDialogAnswer RunModal(TZAVglutWigits_DialogWindow* dialog);
    // Whether dialogs open as windows: a live Master with a window (or a hook to drive it).
    bool CanShowWindows() const;

    // Called once per loop step with the innermost open dialog, after the frame is drawn.
    std::function<void(TZAVglutWigits_Master& master, TZAVglutWigits_DialogWindow& dialog)> IterationHook;
    TZAVglutWigits_Master* Master = nullptr;

private:
    TZAVDialogAnswer PresentWithoutWindow(const TZAVDialogRequest& request);
    void DrawFrame();

    TZAVDialogPresenter* Previous = nullptr;
    bool Installed = false;
};

// Builds the dialog window that answers request, as a child of master.
TZAVglutWigits_DialogWindow* CreateDialogWindow(TZAVglutWigits_Master* master,
                                                const TZAVDialogRequest& request);
