// The presenter that shows core/dialogs' requests as drawn dialog windows.
#include "widgets/dialog_presenter.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "widgets/colour_chooser.h"
#include "widgets/file_chooser.h"
#include "widgets/master.h"
#include "widgets/message_box.h"

namespace {

// Between steps of a loop with nothing to do, so that a waiting dialog does not spin.
constexpr std::chrono::milliseconds IdleWait{5};

bool IsLiveMaster(const TZAVglutWigits_Master* master)
{
    TZAVStaticList<TZAVglutWigits_MasterPtr>& masters = MasterList();
    for (int32_t i = 0; i < masters.Count(); i++)
        if (masters.Data()[i] == master)
            return true;
    return false;
}

// Hides and deletes the dialog when the loop ends, also by an exception; a Master that went
// meanwhile has taken its nodes along.
class TDialogScope
{
public:
    TDialogScope(TZAVglutWigits_Master* master, TZAVglutWigits_DialogWindow* dialog)
        : Master(master), Dialog(dialog), PreviousFocus(master->Focus)
    {
    }
    ~TDialogScope()
    {
        if (!IsLiveMaster(Master) || !Master->Contains(Dialog))
            return;
        Dialog->Hide();
        delete Dialog;
        const bool focus_kept = Master->Contains(PreviousFocus) && PreviousFocus->IsShownChain();
        Master->SetFocus(focus_kept ? PreviousFocus : nullptr);
        Master->RequestRedisplay();
    }
    TDialogScope(const TDialogScope&) = delete;
    TDialogScope& operator=(const TDialogScope&) = delete;

private:
    TZAVglutWigits_Master* Master;
    TZAVglutWigits_DialogWindow* Dialog;
    TZAVglutWigits_Node* PreviousFocus;
};

} // namespace

TZAVglutWigits_DialogWindow* CreateDialogWindow(TZAVglutWigits_Master* master,
                                                const TZAVDialogRequest& request)
{
    switch (request.Kind) {
    case TZAVDialogKind::Colour:
        return new TZAVglutWigits_ColourChooser(master, request);
    case TZAVDialogKind::OpenFile:
    case TZAVDialogKind::SaveFile:
        return new TZAVglutWigits_FileChooser(master, request);
    case TZAVDialogKind::Error:
    case TZAVDialogKind::Message:
    case TZAVDialogKind::YesNo:
    case TZAVDialogKind::OkCancel:
        break;
    }
    return new TZAVglutWigits_MessageBox(master, request);
}

TZAVglutWigits_DialogPresenter::TZAVglutWigits_DialogPresenter(TZAVglutWigits_Master* master) : Master(master)
{
}

TZAVglutWigits_DialogPresenter::~TZAVglutWigits_DialogPresenter()
{
    Uninstall();
}

void TZAVglutWigits_DialogPresenter::Install()
{
    if (Installed)
        return;
    Previous = SetDialogPresenter(this);
    Installed = true;
}

void TZAVglutWigits_DialogPresenter::Uninstall()
{
    if (!Installed)
        return;
    SetDialogPresenter(Previous);
    Previous = nullptr;
    Installed = false;
}

bool TZAVglutWigits_DialogPresenter::CanShowWindows() const
{
    return IsLiveMaster(Master) && (Master->WindowId > 0 || IterationHook);
}

TZAVDialogAnswer TZAVglutWigits_DialogPresenter::PresentWithoutWindow(const TZAVDialogRequest& request)
{
    if (Previous != nullptr)
        return Previous->Present(request);
    std::fprintf(stderr, "%s\n%s\n", request.Title.c_str(), request.Text.c_str());
    return TZAVDialogAnswer();
}

TZAVDialogAnswer TZAVglutWigits_DialogPresenter::Present(const TZAVDialogRequest& request)
{
    if (!CanShowWindows())
        return PresentWithoutWindow(request);
    return RunModal(CreateDialogWindow(Master, request));
}

// Without a window the frame is only laid out, so that injected clicks find the nodes.
void TZAVglutWigits_DialogPresenter::DrawFrame()
{
    if (Master->WindowId <= 0) {
        Master->PrepareFrame();
        return;
    }
    if (!Master->NeedsRefresh)
        return;
    glutSetWindow(Master->WindowId);
    Master->Refresh(true);
}

TZAVDialogAnswer TZAVglutWigits_DialogPresenter::RunModal(TZAVglutWigits_DialogWindow* dialog)
{
    TDialogScope scope(Master, dialog);
    dialog->AskUser = [this](const TZAVDialogRequest& question) {
        return RunModal(new TZAVglutWigits_MessageBox(Master, question));
    };
    // An open menu would stay drawn over the dialog.
    Master->CloseMenus();
    dialog->ShowModal();
    Master->PrepareFrame();
    dialog->Centre();
    dialog->Opened();
    Master->RequestRedisplay();
    while (!dialog->IsFinished()) {
        const bool was_waiting = !Master->NeedsRefresh;
        DrawFrame();
        if (Master->WindowId > 0)
            glutMainLoopEvent();
        // The window's events may have closed the program's window and its Master with it.
        if (!IsLiveMaster(Master))
            return TZAVDialogAnswer();
        if (dialog->IsFinished())
            break;
        if (IterationHook)
            IterationHook(*Master, *dialog);
        else if (was_waiting && !Master->NeedsRefresh)
            std::this_thread::sleep_for(IdleWait);
        dialog->RunDeferred();
    }
    return dialog->Answer;
}
