// The GLUT binding of a Master: every callback finds the Master of the current window and hands
// it the input; failures go to the fatal hook under the callback's name.
#include "widgets/blank_app.h"

#include <GL/freeglut.h>

#include "core/report.h"
#include "widgets/font.h"

namespace {

TZAVglutWigits_BlankApp* CurrentApp()
{
    return dynamic_cast<TZAVglutWigits_BlankApp*>(TZAVglutWigits_Master::FindByWindowId(glutGetWindow()));
}

template <typename Body> void WithCurrentApp(const char* title, Body&& body)
{
    CatchInputFailures(title, false, [&] {
        if (TZAVglutWigits_BlankApp* app = CurrentApp())
            body(app);
        return true;
    });
}

} // namespace

TZAVglutWigits_BlankApp::TZAVglutWigits_BlankApp(int32_t window_id) : TZAVglutWigits_Master(window_id, 0, 0)
{
    glutSetWindow(window_id);
    Width = glutGet(GLUT_WINDOW_WIDTH);
    Height = glutGet(GLUT_WINDOW_HEIGHT);
    glutDisplayFunc(DisplayCB);
    glutReshapeFunc(ReshapeCB);
    glutMouseFunc(MouseCB);
    glutMotionFunc(motionCB);
    glutPassiveMotionFunc(PassiveMotionCB);
    glutKeyboardFunc(KeyboardCB);
    glutSpecialFunc(SpecialCB);
    glutCloseFunc(CloseCB);
}

void TZAVglutWigits_BlankApp::RequestRedisplay()
{
    NeedsRefresh = true;
    if (WindowId > 0)
        glutPostWindowRedisplay(WindowId);
}

void TZAVglutWigits_BlankApp::SwapBuffers()
{
    glutSwapBuffers();
}

void TZAVglutWigits_BlankApp::DisplayCB()
{
    WithCurrentApp("TZAVglutWigits_BlankApp::DisplayCB()",
                   [](TZAVglutWigits_BlankApp* app) { app->Refresh(true); });
}

void TZAVglutWigits_BlankApp::ReshapeCB(int width, int height)
{
    WithCurrentApp("ReshapeCB", [&](TZAVglutWigits_BlankApp* app) {
        if (width == 0 || height == 0)
            return;
        app->Resize(width, height);
        // A new size may come with a new context on some drivers.
        InterfaceFont(app->InterfaceFontNumber).Upload();
        app->RequestRedisplay();
    });
}

void TZAVglutWigits_BlankApp::MouseCB(int button, int state, int x, int y)
{
    WithCurrentApp("TZAVglutWigits_BlankApp::MouseCB()", [&](TZAVglutWigits_BlankApp* app) {
        app->SetInputModifiers(glutGetModifiers());
        app->ProcessMouseButton(button, state, x, y);
    });
}

void TZAVglutWigits_BlankApp::motionCB(int x, int y)
{
    WithCurrentApp("TZAVglutWigits_BlankApp::motionCB()",
                   [&](TZAVglutWigits_BlankApp* app) { app->ProcessMouseMotion(x, y); });
}

void TZAVglutWigits_BlankApp::PassiveMotionCB(int x, int y)
{
    WithCurrentApp("TZAVglutWigits_BlankApp::PassiveMotionCB()",
                   [&](TZAVglutWigits_BlankApp* app) { app->ProcessPassiveMouseMotion(x, y); });
}

void TZAVglutWigits_BlankApp::KeyboardCB(unsigned char key, int, int)
{
    WithCurrentApp("KeyboardCB()", [&](TZAVglutWigits_BlankApp* app) {
        app->SetInputModifiers(glutGetModifiers());
        app->ProcessKey(key);
    });
}

void TZAVglutWigits_BlankApp::SpecialCB(int key, int x, int y)
{
    WithCurrentApp("SpecialCB()", [&](TZAVglutWigits_BlankApp* app) {
        app->SetInputModifiers(glutGetModifiers());
        app->ProcessSpecialKey(key, x, y);
    });
}

void TZAVglutWigits_BlankApp::CloseCB()
{
    WithCurrentApp("TZAVglutWigits_BlankApp::CloseCB()",
                   [](TZAVglutWigits_BlankApp* app) { app->OnCloseRequest(); });
}

void TZAVglutWigits_BlankApp::IdleCB()
{
    CatchInputFailures("IdleCB", false, []() -> bool {
        ReportError("TZAVglutWigits_BlankApp::IdleCB() is not currently supported");
    });
}
