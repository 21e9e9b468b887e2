// The main window: input queue, frames and the idle tick. (Being built: only the shell exists.)
#include "app/main_window.h"

#include "app/viewport_panel.h"

TTarnwick_MainWindow* TarnwickMainWindow = nullptr;

TTarnwick_MainWindow::TTarnwick_MainWindow(int32_t window_id) : TZAVglutWigits_BlankApp(window_id)
{
    TarnwickMainWindow = this;
}

TTarnwick_MainWindow::~TTarnwick_MainWindow()
{
    if (TarnwickMainWindow == this)
        TarnwickMainWindow = nullptr;
}

void TTarnwick_MainWindow::BuildPanels(const char*) {}
void TTarnwick_MainWindow::Layout() { TZAVglutWigits_BlankApp::Layout(); }
void TTarnwick_MainWindow::Update() {}
void TTarnwick_MainWindow::Draw() { TZAVglutWigits_BlankApp::Draw(); }
void TTarnwick_MainWindow::OnCloseRequest() {}
void TTarnwick_MainWindow::ShowHint(TZAVglutWigits_Node* node, const char* text)
{
    TZAVglutWigits_BlankApp::ShowHint(node, text);
}
void TTarnwick_MainWindow::QueueInput(const TTarnwick_InputRecord&, int32_t) {}
void TTarnwick_MainWindow::DisplayFrame() {}
void TTarnwick_MainWindow::IdleTick() {}
void TTarnwick_MainWindow::AddStatusLine(const char*) {}
void TTarnwick_MainWindow::AddWarningLine(const char*) {}
int32_t TTarnwick_MainWindow::MessageCount() const { return 0; }
std::string TTarnwick_MainWindow::MessageText(int32_t) const { return {}; }
TTarnwick_ViewportPanel* TTarnwick_MainWindow::ViewportPanel(int32_t index) const
{
    return index >= 0 && index < 4 ? Viewports[index] : nullptr;
}
TTarnwick_ViewportPanel* TTarnwick_MainWindow::CurrentViewportPanel() const { return Viewports[0]; }
void TTarnwick_MainWindow::InvalidateViewportImages() {}
void TTarnwick_MainWindow::ResetViewports() {}
void TTarnwick_MainWindow::StoreViewportState() {}
void TTarnwick_MainWindow::LoadViewportState() {}
bool TTarnwick_MainWindow::DropFile(const char*, int32_t, int32_t) { return false; }
bool TTarnwick_MainWindow::OpenFile(const std::string&, bool) { return false; }
void TTarnwick_MainWindow::UpdateTitle() {}
void TTarnwick_MainWindow::RouteRecord(const TTarnwick_InputRecord&) {}
bool TTarnwick_MainWindow::FilterMouseRecord(TTarnwick_InputRecord&) { return false; }
