// The GLUT binding of the main window: each callback finds the main window of the current GLUT
// window and, for input, only queues a record; every failure goes to the fatal hook under the
// callback's name.
#include "app/main_window.h"

#include <GL/freeglut.h>

#include "app/application.h"
#include "core/dialogs.h"
#include "core/event_queue.h"
#include "widgets/font.h"

int64_t TTarnwick_MainWindow::InputCount = 0;

namespace {

TTarnwick_MainWindow* WindowOfCurrentGlut()
{
    return dynamic_cast<TTarnwick_MainWindow*>(TZAVglutWigits_Master::FindByWindowId(glutGetWindow()));
}

// The common entry of every callback: nothing while a dialog is open, the input counted, and the
// work done only for a ready window of a ready application. The dialogs are drawn in this window:
// while one is open the input callbacks hand their input straight to the widget tree, where the
// modal dialog takes it, as the toolkit's own callbacks do.
template <typename Body> void RunCallback(const char* title, Body&& body)
{
    if (DialogOpenFlag != 0)
        return;
    TTarnwick_MainWindow::InputCount++;
    CatchInputFailures(title, false, [&] {
        TTarnwick_MainWindow* window = WindowOfCurrentGlut();
        if (window == nullptr || !window->Ready || !TarnwickApp.Ready)
            return false;
        body(*window);
        return true;
    });
}

// Queues a record with the modifiers GLUT reports for it.
void QueueFromGlut(const char* title, TTarnwick_InputKind kind, int32_t a, int32_t b, int32_t x, int32_t y)
{
    RunCallback(title, [&](TTarnwick_MainWindow& window) {
        window.QueueInput({int32_t(kind), a, b, x, y}, glutGetModifiers());
    });
}

} // namespace

void TTarnwick_MainWindow::DisplayCB()
{
    if (DialogOpenFlag != 0)
        return TZAVglutWigits_BlankApp::DisplayCB();
    RunCallback("TTarnwick_MainWindow::DisplayCB()",
                [](TTarnwick_MainWindow& window) { window.DisplayFrame(); });
}

// The size is taken even before the window is ready, and while a dialog is open, so that the next
// frame is laid out right.
void TTarnwick_MainWindow::ReshapeCB(int width, int height)
{
    InputCount++;
    CatchInputFailures("TTarnwick_MainWindow::ReshapeCB()", false, [&] {
        TTarnwick_MainWindow* window = WindowOfCurrentGlut();
        if (window == nullptr || width <= 0 || height <= 0)
            return false;
        window->Resize(width, height);
        // A new size may come with a new context on some drivers.
        InterfaceFont(window->InterfaceFontNumber).Upload();
        window->RequestRedisplay();
        return true;
    });
}

void TTarnwick_MainWindow::MouseCB(int button, int state, int x, int y)
{
    if (DialogOpenFlag != 0) {
        // The press that the queue remembers may be released over the dialog.
        if (TTarnwick_MainWindow* window = WindowOfCurrentGlut(); window != nullptr && state == MouseUp)
            window->ForgetHeldButton();
        return TZAVglutWigits_BlankApp::MouseCB(button, state, x, y);
    }
    QueueFromGlut("TTarnwick_MainWindow::MouseCB()", TTarnwick_InputKind::MouseButton, button, state, x, y);
}

void TTarnwick_MainWindow::MotionCB(int x, int y)
{
    if (DialogOpenFlag != 0)
        return TZAVglutWigits_BlankApp::motionCB(x, y);
    QueueFromGlut("TTarnwick_MainWindow::MotionCB()", TTarnwick_InputKind::Motion, 0, 0, x, y);
}

void TTarnwick_MainWindow::PassiveCB(int x, int y)
{
    if (DialogOpenFlag != 0)
        return TZAVglutWigits_BlankApp::PassiveMotionCB(x, y);
    QueueFromGlut("TTarnwick_MainWindow::PassiveCB()", TTarnwick_InputKind::PassiveMotion, 0, 0, x, y);
}

void TTarnwick_MainWindow::KeyboardCB(unsigned char key, int x, int y)
{
    if (DialogOpenFlag != 0)
        return TZAVglutWigits_BlankApp::KeyboardCB(key, x, y);
    QueueFromGlut("TTarnwick_MainWindow::KeyboardCB()", TTarnwick_InputKind::Key, key, 0, x, y);
}

void TTarnwick_MainWindow::SpecialCB(int key, int x, int y)
{
    if (DialogOpenFlag != 0)
        return TZAVglutWigits_BlankApp::SpecialCB(key, x, y);
    QueueFromGlut("TTarnwick_MainWindow::SpecialCB()", TTarnwick_InputKind::SpecialKey, key, 0, x, y);
}

void TTarnwick_MainWindow::VisibilityCB(int state)
{
    RunCallback("TTarnwick_MainWindow::VisibilityCB()",
                [&](TTarnwick_MainWindow& window) { window.WindowVisible = state == GLUT_VISIBLE; });
}

void TTarnwick_MainWindow::WindowStatusCB(int state)
{
    RunCallback("TTarnwick_MainWindow::WindowStatusCB()", [&](TTarnwick_MainWindow& window) {
        switch (state) {
        case GLUT_HIDDEN:
            window.WindowState = "ZAVGLUT_HIDDEN";
            break;
        case GLUT_FULLY_RETAINED:
            window.WindowState = "ZAVGLUT_FULLY_RETAINED";
            break;
        case GLUT_PARTIALLY_RETAINED:
            window.WindowState = "ZAVGLUT_PARTIALLY_RETAINED";
            break;
        case GLUT_FULLY_COVERED:
            window.WindowState = "ZAVGLUT_FULLY_COVERED";
            break;
        default:
            break;
        }
    });
}

// freeglut destroys the window after this returns, whatever the answer.
void TTarnwick_MainWindow::CloseCB()
{
    // Once the main window is gone, the GL window goes as part of shutting down, not under the
    // user: quitting here would end the process with success, whatever was under way.
    if (TarnwickMainWindow == nullptr)
        return;
    // freeglut destroys the window once this returns, whatever the answer would be, so nobody is
    // asked, not even from inside a dialog.
    CatchInputFailures("TTarnwick_MainWindow::CloseCB()", false, []() -> bool { QuitKeepingAutosave("the window was closed"); });
}

void TTarnwick_MainWindow::IdleCB(int)
{
    // Re-armed first, so that a failing tick does not stop the ticks.
    glutTimerFunc(TickMilliseconds, IdleCB, 0);
    if (DialogOpenFlag != 0)
        return;
    InputCount++;
    CatchInputFailures("TTarnwick_MainWindow::IdleCB()", false, [] {
        TTarnwick_MainWindow* window = TarnwickMainWindow;
        if (window == nullptr || !window->Ready || !TarnwickApp.Ready)
            return false;
        // No dialog opens in the middle of a tick.
        TZAVThreadLock lock;
        window->IdleTick();
        return true;
    });
}
