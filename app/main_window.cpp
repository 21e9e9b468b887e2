// The main window: the input queue, frames, the idle tick, the panels and the files dropped or
// named on the command line. The GLUT callbacks that feed it are in main_window_glut.cpp.
//
// [SECTION] Construction and panels
// [SECTION] Input queue
// [SECTION] Frames
// [SECTION] Idle tick
// [SECTION] Message panel and hooks
// [SECTION] Viewports
// [SECTION] Files and title
#include "app/main_window.h"

#include <GL/freeglut.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>

#include "app/application.h"
#include "app/main_menu.h"
#include "app/message_panel.h"
#include "app/side_panel.h"
#include "app/tool_bar.h"
#include "app/tool_panel.h"
#include "app/viewport_panel.h"
#include "app/x11_clipboard.h"
#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "widgets/control_look.h"
#include "widgets/font.h"
#include "widgets/text.h"

TTarnwick_MainWindow* TarnwickMainWindow = nullptr;

namespace {

constexpr int32_t MessageLimit = 39;
constexpr int32_t MessagePanelLines = 7;
// The tool panel's column: wide enough for a slider with its name, narrow beside the views.
constexpr int32_t ToolPanelWidth = 180;
// The side panels' column: room for a name and a few short buttons.
constexpr int32_t SidePanelWidth = 210;
constexpr double SplashSeconds = 5.0;
constexpr double SettleSeconds = 1.0;
constexpr double MemoryCheckSeconds = 20.0;
// The idle compression and paging of undo records.
constexpr double UndoSliceSeconds = 0.033;
constexpr int32_t CommandSettle = 66;
constexpr int32_t CommandKeyPressed = 163;
constexpr int32_t CommandStartupProject = 203;
constexpr int32_t CommandImportCR2 = 204;
constexpr int32_t CommandImportOBJ = 205;
constexpr int32_t CommandAutoSave = 234;
constexpr int32_t QuitQuestionEntry = 186;
constexpr int32_t ReplaceProjectEntry = 381;

bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions)
{
    const std::string extension = ExtensionOf(path);
    for (const char* candidate : extensions)
        if (SameTextNoCase(extension, candidate))
            return true;
    return false;
}

bool IsRegularFile(const char* path)
{
    struct stat info;
    return path != nullptr && stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

template <typename T> size_t ByteSize(const std::vector<T>& values)
{
    return values.size() * sizeof(T);
}

// What the project's meshes hold in their bulk arrays.
double ProjectMemoryUse()
{
    if (TarnwickProject == nullptr)
        return 0.0;
    double bytes = 0.0;
    for (TTarnwick_Object* object : TarnwickProject->Objects()) {
        const TTarnwick_Mesh* mesh = object->Mesh.get();
        if (mesh == nullptr)
            continue;
        bytes += double(
            ByteSize(mesh->Vertices) + ByteSize(mesh->DisplayedVertices) + ByteSize(mesh->Normals) +
            ByteSize(mesh->TexVertices) + ByteSize(mesh->PolygonNormals) + ByteSize(mesh->PolygonAreas) +
            ByteSize(mesh->PolygonStart) + ByteSize(mesh->CornerVertex) + ByteSize(mesh->CornerTexVertex) +
            ByteSize(mesh->CornerNormal) + ByteSize(mesh->VertexFlags) + ByteSize(mesh->PolygonFlags) +
            ByteSize(mesh->VertexPolygons) + ByteSize(mesh->PolygonNormalBounds) +
            ByteSize(mesh->PolygonLayerFlags));
    }
    return bytes + double(TarnwickProject->UndoBuffer.MemoryUse());
}

void StatusHook(TZAVStatusKind kind, const char* text)
{
    TTarnwick_MainWindow* window = TarnwickMainWindow;
    if (window == nullptr || !window->Ready || !TarnwickApp.Ready) {
        // Not shown yet: the line goes to the sink, as if no panel were installed.
        SetStatusHook(nullptr);
        if (kind == TZAVStatusKind::Warning)
            AddWarning("%s", text);
        else
            AddStatus("%s", text);
        SetStatusHook(StatusHook);
        return;
    }
    if (kind == TZAVStatusKind::Warning)
        window->AddWarningLine(text);
    else
        window->AddStatusLine(text);
}

// A long command shows its progress at once: the status area is drawn straight to the screen.
void BusyDrawHook(const char* text)
{
    TTarnwick_MainWindow* window = TarnwickMainWindow;
    if (window == nullptr || window->MessagePanel() == nullptr || !window->Ready)
        return;
    TTarnwick_MessagePanel* panel = window->MessagePanel();
    panel->SetBusyText(text != nullptr ? text : "");
    if (window->WindowId <= 0)
        return;
    glutSetWindow(window->WindowId);
    panel->PrepareDirectDraw();
    window->DrawSubtreeToFront(panel);
}

void AfterProcessingHook()
{
    TTarnwick_MainWindow* window = TarnwickMainWindow;
    if (window == nullptr || !window->Ready)
        return;
    if (window->MessagePanel() != nullptr)
        window->MessagePanel()->SetBusyText("");
    window->UpdateTitle();
}

// The splash: lines of text in a framed box over the middle of the window.
TZAVglutWigits_Node* MakeSplash(TZAVglutWigits_Node* window, const char* text)
{
    auto* splash = new TZAVglutWigits_Node();
    window->AddFloatingChild(splash);
    splash->SetName("SplashPanel");
    splash->ShowLabel = false;
    splash->AutoSize = true;
    splash->AutoArrange = true;
    splash->BorderWidth = 2;
    splash->HorizontalPadding = 24;
    splash->VerticalPadding = 16;
    splash->DropShadow = true;
    splash->StayOnTop = true;
    std::copy(std::begin(ControlLook::Fill), std::end(ControlLook::Fill), splash->BackgroundColor);
    std::string_view rest = text != nullptr ? text : "";
    bool first = true;
    while (!rest.empty() || first) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        auto* node = new TZAVglutWigits_Text(splash, first ? "[b]" + std::string(line) + "[/b]" : line);
        node->MouseTransparent = true;
        first = false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    splash->Layout();
    return splash;
}

} // namespace

// [SECTION] Construction and panels

TTarnwick_MainWindow::TTarnwick_MainWindow(int32_t window_id) : TZAVglutWigits_BlankApp(window_id)
{
    SetName("MainWindow");
    TarnwickMainWindow = this;
    SplashStopwatch.Stop();
}

TTarnwick_MainWindow::~TTarnwick_MainWindow()
{
    if (TarnwickMainWindow == this) {
        TarnwickMainWindow = nullptr;
        SetStatusHook(nullptr);
        SetBusyDrawHook(nullptr);
        SetAfterProcessingHook(nullptr);
    }
}

void TTarnwick_MainWindow::BuildPanels(const char* splash_text)
{
    MenuBar = new TTarnwick_MainMenu(this);
    Tools = new TTarnwick_ToolBar(this);
    Parameters = new TTarnwick_ToolPanel(this);
    Tools->Rebuild();
    Parameters->Rebuild();
    for (int32_t i = 0; i < ViewportCount; i++)
        Viewports[i] = new TTarnwick_ViewportPanel(this, i);
    Panels = new TTarnwick_SidePanel(this);
    Panels->RefreshLists();
    Messages = new TTarnwick_MessagePanel(this);
    Splash = MakeSplash(this, splash_text);
    SplashStopwatch.Restart();

    if (WindowId > 0) {
        glutSetWindow(WindowId);
        glutDisplayFunc(DisplayCB);
        glutReshapeFunc(ReshapeCB);
        glutMouseFunc(MouseCB);
        glutMotionFunc(MotionCB);
        glutPassiveMotionFunc(PassiveCB);
        glutKeyboardFunc(KeyboardCB);
        glutSpecialFunc(SpecialCB);
        glutVisibilityFunc(VisibilityCB);
        glutWindowStatusFunc(WindowStatusCB);
        glutCloseFunc(CloseCB);
        glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
        glutTimerFunc(TickMilliseconds, IdleCB, 0);
    }
    SetStatusHook(StatusHook);
    SetBusyDrawHook(BusyDrawHook);
    SetAfterProcessingHook(AfterProcessingHook);
    IdleStopwatch.Restart();
    Ready = true;
    Layout();
    RequestRedisplay();
}

void TTarnwick_MainWindow::CloseSplash()
{
    if (Splash != nullptr && Splash->Shown)
        Splash->Hide();
    SplashStopwatch.Stop();
    RequestRedisplay();
}

bool TTarnwick_MainWindow::SplashShown() const
{
    return Splash != nullptr && Splash->Shown;
}

// Menu bar on top, the tool bar under it, the message panel along the bottom; between them the
// tool panel on the left, the side panels on the right and the views in the rest. The splash
// centred.
// Children have laid themselves out already this frame, so those placed here do so again.
void TTarnwick_MainWindow::Layout()
{
    TZAVglutWigits_BlankApp::Layout();
    int32_t top = 0;
    if (MenuBar != nullptr) {
        MenuBar->X = 0;
        MenuBar->Y = 0;
        MenuBar->Layout();
        top = MenuBar->Height;
    }
    if (Tools != nullptr) {
        PlaceNode(Tools, 0, top, Width, Tools->HeightForWidth(Width));
        Tools->Layout();
        top += Tools->Height;
    }
    int32_t bottom = Height;
    if (Messages != nullptr) {
        Messages->Height = std::min(Messages->HeightForLines(MessagePanelLines), std::max(0, Height - top));
        Messages->Width = Width;
        Messages->X = 0;
        Messages->Y = Height - Messages->Height;
        Messages->Layout();
        bottom = Messages->Y;
    }
    int32_t left = 0;
    if (Parameters != nullptr) {
        // The views keep at least two thirds of the width.
        PlaceNode(Parameters, 0, top, std::min(ToolPanelWidth, Width / 3), std::max(0, bottom - top));
        Parameters->Layout();
        left = Parameters->Width;
    }
    int32_t right = Width;
    if (Panels != nullptr) {
        // The views keep at least half of the width.
        const int32_t width =
            Panels->AnyShown() ? std::min(SidePanelWidth, std::max(0, Width / 2 - left)) : 0;
        if ((width > 0) != Panels->Shown)
            width > 0 ? Panels->Show() : Panels->Hide();
        PlaceNode(Panels, Width - width, top, width, std::max(0, bottom - top));
        Panels->Layout();
        right = Panels->X;
    }
    LayoutViewports(left, right, top, bottom);
    if (Splash != nullptr && Splash->Shown) {
        Splash->Layout();
        Splash->X = std::max(0, (Width - Splash->Width) / 2);
        Splash->Y = std::max(0, (Height - Splash->Height) / 2);
    }
}

// Configuration 0 (and any other, for now) is a 2 x 2 grid; a maximised view takes the whole area.
void TTarnwick_MainWindow::LayoutViewports(int32_t left, int32_t right, int32_t top, int32_t bottom)
{
    if (Viewports[0] == nullptr)
        return;
    const int32_t width = std::max(0, right - left);
    const int32_t height = std::max(0, bottom - top);
    TTarnwick_ViewportPanel* maximized = nullptr;
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel->Viewport.Maximized && maximized == nullptr)
            maximized = panel;
    const int32_t left_width = width / 2;
    const int32_t top_height = height / 2;
    for (TTarnwick_ViewportPanel* panel : Viewports) {
        const bool shown = maximized == nullptr || panel == maximized;
        if (shown != panel->Shown)
            shown ? panel->Show() : panel->Hide();
        if (!shown)
            continue;
        if (maximized != nullptr) {
            PlaceNode(panel, left, top, width, height);
        } else {
            const int32_t column = panel->Index % 2;
            const int32_t row = panel->Index / 2;
            PlaceNode(panel, left + (column == 0 ? 0 : left_width), top + (row == 0 ? 0 : top_height),
                      column == 0 ? left_width : width - left_width,
                      row == 0 ? top_height : height - top_height);
        }
        panel->Layout();
    }
}

void TTarnwick_MainWindow::Update()
{
    TZAVglutWigits_BlankApp::Update();
}

void TTarnwick_MainWindow::Draw()
{
    TZAVglutWigits_BlankApp::Draw();
}

void TTarnwick_MainWindow::OnCloseRequest()
{
    if (AskYesNo(GlobalDialogHost, "%s", GetLanguageString(QuitQuestionEntry)))
        QuitTarnwick();
}

void TTarnwick_MainWindow::ShowHint(TZAVglutWigits_Node* node, const char* text)
{
    TZAVglutWigits_BlankApp::ShowHint(node, text);
}

// [SECTION] Input queue

void TTarnwick_MainWindow::QueueInput(const TTarnwick_InputRecord& record, int32_t modifiers)
{
    SetInputModifiers(modifiers);
    TTarnwick_InputRecord queued = record;
    if (queued.Kind == int32_t(TTarnwick_InputKind::MouseButton) && !FilterMouseRecord(queued))
        return;
    Pending.push_back(queued);
    RequestRedisplay();
}

// One button at a time: a press while another is held and a release with none held are dropped;
// a release is the held button's, whatever GLUT says. A press or release that is already pending
// is not queued twice.
bool TTarnwick_MainWindow::FilterMouseRecord(TTarnwick_InputRecord& record)
{
    if (record.B == MouseDown) {
        if (ButtonHeld)
            return false;
        ButtonHeld = true;
        HeldButton = record.A;
    } else {
        if (!ButtonHeld)
            return false;
        ButtonHeld = false;
        record.A = HeldButton;
    }
    return std::none_of(Pending.begin(), Pending.end(), [&](const TTarnwick_InputRecord& pending) {
        return pending.Kind == record.Kind && pending.A == record.A && pending.B == record.B;
    });
}

void TTarnwick_MainWindow::RouteRecord(const TTarnwick_InputRecord& record)
{
    // The undo records made while one press or key is worked off form one action.
    const auto kind = TTarnwick_InputKind(record.Kind);
    const bool starts_action = (kind == TTarnwick_InputKind::MouseButton && record.B == MouseDown) ||
                               kind == TTarnwick_InputKind::Key || kind == TTarnwick_InputKind::SpecialKey;
    if (starts_action && TarnwickProject != nullptr)
        TarnwickProject->UndoBuffer.ActionCounter++;
    switch (TTarnwick_InputKind(record.Kind)) {
    case TTarnwick_InputKind::MouseButton:
        RouteMouseButton(record);
        break;
    case TTarnwick_InputKind::Motion:
        ProcessMouseMotion(record.X, record.Y);
        break;
    case TTarnwick_InputKind::PassiveMotion:
        ProcessPassiveMouseMotion(record.X, record.Y);
        break;
    case TTarnwick_InputKind::Key:
        if (TarnwickSettings != nullptr)
            TarnwickSettings->AutoSaveStopwatch.Resume();
        PostCommand(CommandKeyPressed);
        ProcessKey(record.A);
        TarnwickEvents_ProcessEvents();
        IdleStopwatch.Restart();
        break;
    case TTarnwick_InputKind::SpecialKey:
        if (TarnwickSettings != nullptr)
            TarnwickSettings->AutoSaveStopwatch.Resume();
        ProcessSpecialKey(record.A, record.X, record.Y);
        TarnwickEvents_ProcessEvents();
        IdleStopwatch.Restart();
        break;
    }
}

void TTarnwick_MainWindow::RouteMouseButton(const TTarnwick_InputRecord& record)
{
    if (TarnwickSettings != nullptr)
        TarnwickSettings->AutoSaveStopwatch.Resume();
    if (record.B == MouseDown) {
        if (SplashShown())
            CloseSplash();
        TZAVglutWigits_Node* hit = HitTest(record.X, record.Y);
        const auto pressed =
            std::find_if(std::begin(Viewports), std::end(Viewports), [&](TTarnwick_ViewportPanel* panel) {
                return panel != nullptr && panel->Contains(hit);
            });
        Dragging = pressed != std::end(Viewports);
        // The view pressed in is the one the view commands turn.
        if (Dragging)
            MakeViewportCurrent(*pressed);
    } else {
        Dragging = false;
    }
    ProcessMouseButton(record.A, record.B, record.X, record.Y);
    IdleStopwatch.Restart();
    CheckMemory();
}

// The share of memory the project leaves, from the total and what its meshes hold.
void TTarnwick_MainWindow::CheckMemory()
{
    if (!LowMemoryStopwatch.Running()) {
        LowMemoryStopwatch.Restart();
        return;
    }
    if (LowMemoryStopwatch.Elapsed() <= MemoryCheckSeconds)
        return;
    LowMemoryStopwatch.Restart();
    struct sysinfo info;
    if (sysinfo(&info) != 0 || info.totalram == 0)
        return;
    const double total = double(info.totalram) * double(info.mem_unit);
    const double free_share = (total - ProjectMemoryUse()) / total;
    if (free_share < 0.5)
        AddStatusLine("[b]Your system is low on memory[/b]. This program may slow down as a result.");
    else if (free_share < 0.6)
        AddStatusLine("Your system is getting a bit low on memory.");
}

// [SECTION] Frames

void TTarnwick_MainWindow::DisplayFrame()
{
    if (!Ready)
        return;
    // Undone however the frame ends.
    struct TFrameGuard
    {
        TTarnwick_MainWindow& Window;
        ~TFrameGuard()
        {
            SuppressProgressTicks(false);
            Window.BusyInDisplay = false;
        }
    } guard{*this};
    BusyInDisplay = true;
    if (!Pending.empty()) {
        const TTarnwick_InputRecord record = Pending.front();
        Pending.erase(Pending.begin());
        RouteRecord(record);
    }
    TarnwickEvents_ProcessEvents();
    FrameCount++;
    if (FrameCount == 1) {
        PostCommand(CommandStartupProject);
        RequestRedisplay();
    }
    SuppressProgressTicks(true);
    FrameStopwatch.Restart();
    glFinish();
    glClear(GL_COLOR_BUFFER_BIT);
    Refresh(SwapAfterFrame);
    glFinish();
    FrameStopwatch.Stop();
    SuppressProgressTicks(false);
    if (FirstFigureClock < 0 && TarnwickProject != nullptr && TarnwickProject->CurrentObject != nullptr)
        FirstFigureClock = Seconds();
    // The frame just drawn shows the scene as it is now.
    if (TarnwickProject != nullptr)
        TarnwickProject->ViewportImagesStale = false;
}

// [SECTION] Idle tick

void TTarnwick_MainWindow::BuildSpatialIndexes()
{
    if (TarnwickProject == nullptr)
        return;
    for (TTarnwick_Object* object : TarnwickProject->Objects())
        if (object->Mesh != nullptr && object->Mesh->GetVertexCount() > 0 && !object->Mesh->HasOctree())
            object->Mesh->BuildOctree();
}

void TTarnwick_MainWindow::IdleTick()
{
    // Other programs asking for what was copied here.
    PumpX11Clipboard();
    if (!Dragging) {
        BuildSpatialIndexes();
        if (TarnwickProject != nullptr && TarnwickProject->SceneChanged &&
            IdleStopwatch.Elapsed() > SettleSeconds) {
            TarnwickProject->SceneChanged = false;
            PostCommand(CommandSettle);
            RequestRedisplay();
        }
    }
    if (!Pending.empty() || NeedsRefresh)
        RequestRedisplay();
    // The map refresh and the objects' incremental jobs wait for the painting tools.
    if (Messages != nullptr)
        Messages->Trim(MessageLimit);
    Tick();
    if (!Ready)
        return;
    if (SplashStopwatch.Running() && SplashStopwatch.Elapsed() > SplashSeconds) {
        CloseSplash();
        Layout();
    }
    if (!Dragging && TarnwickSettings != nullptr && TarnwickSettings->AutoSaveEnabled() &&
        TarnwickSettings->AutoSaveStopwatch.Elapsed() > TarnwickSettings->AutoSaveTime) {
        TarnwickSettings->AutoSaveStopwatch.Restart();
        if (TarnwickProject != nullptr && !TarnwickProject->Objects().empty())
            PostCommand(CommandAutoSave);
    }
    if (!Dragging && TarnwickProject != nullptr)
        TarnwickProject->UndoBuffer.OptimzeUndoNodes(UndoSliceSeconds);
}

// [SECTION] Message panel and hooks

void TTarnwick_MainWindow::AddStatusLine(const char* text)
{
    if (!TarnwickApp.Ready || Messages == nullptr)
        return;
    Messages->AddLine(text != nullptr ? text : "", TZAVStatusKind::Status);
    RequestRedisplay();
}

void TTarnwick_MainWindow::AddWarningLine(const char* text)
{
    if (!TarnwickApp.Ready || Messages == nullptr)
        return;
    Beep();
    Messages->AddLine(text != nullptr ? text : "", TZAVStatusKind::Warning);
    RequestRedisplay();
}

int32_t TTarnwick_MainWindow::MessageCount() const
{
    return Messages != nullptr ? Messages->LineCount() : 0;
}

std::string TTarnwick_MainWindow::MessageText(int32_t index) const
{
    return Messages != nullptr ? Messages->LineText(index) : std::string();
}

void TTarnwick_MainWindow::RefreshToolPanels()
{
    if (Tools != nullptr)
        Tools->Rebuild();
    if (Parameters != nullptr)
        Parameters->Rebuild();
    Layout();
    RequestRedisplay();
}

// [SECTION] Viewports

TTarnwick_ViewportPanel* TTarnwick_MainWindow::ViewportPanel(int32_t index) const
{
    return index >= 0 && index < ViewportCount ? Viewports[index] : nullptr;
}

TTarnwick_ViewportPanel* TTarnwick_MainWindow::CurrentViewportPanel() const
{
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr && panel->Viewport.Current)
            return panel;
    return Viewports[0];
}

void TTarnwick_MainWindow::MakeViewportCurrent(TTarnwick_ViewportPanel* current)
{
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr)
            panel->Viewport.Current = panel == current;
}

void TTarnwick_MainWindow::ToggleMaximized(TTarnwick_ViewportPanel* chosen)
{
    const bool maximize = !chosen->Viewport.Maximized;
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr)
            panel->Viewport.Maximized = maximize && panel == chosen;
    MakeViewportCurrent(chosen);
    Layout();
    RequestRedisplay();
}

void TTarnwick_MainWindow::InvalidateViewportImages()
{
    if (TarnwickProject != nullptr)
        TarnwickProject->ViewportImagesStale = true;
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr)
            panel->DiscardCachedImage();
    RequestRedisplay();
}

namespace {

// The perspective view starts a third of a right angle round and a little from above, so that the
// four views show four sides of the figure.
constexpr float PerspectiveRound = 0.6f;
constexpr float PerspectiveTip = -0.3f;

} // namespace

// Front, right, top and perspective: the usual four views, each fitted to the current object.
void TTarnwick_MainWindow::ResetViewports()
{
    constexpr TTarnwick_StandardView Views[ViewportCount] = {
        TTarnwick_StandardView::Front, TTarnwick_StandardView::Right, TTarnwick_StandardView::Top,
        TTarnwick_StandardView::Perspective};
    for (TTarnwick_ViewportPanel* panel : Viewports) {
        if (panel == nullptr)
            continue;
        panel->SetView(TTarnwick_StandardView::Front);
        panel->SetView(Views[panel->Index]);
        if (Views[panel->Index] == TTarnwick_StandardView::Perspective)
            panel->Viewport.SetTurn(PerspectiveRound, PerspectiveTip);
        panel->FitToObject();
    }
    InvalidateViewportImages();
}

void TTarnwick_MainWindow::StoreViewportState()
{
    if (TarnwickProject == nullptr)
        return;
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr)
            panel->Viewport.SaveState(TarnwickProject->Viewports[size_t(panel->Index)]);
}

void TTarnwick_MainWindow::LoadViewportState()
{
    if (TarnwickProject == nullptr)
        return;
    for (TTarnwick_ViewportPanel* panel : Viewports)
        if (panel != nullptr)
            panel->Viewport.LoadState(TarnwickProject->Viewports[size_t(panel->Index)]);
    // A view saved maximised fills the view area again.
    Layout();
    InvalidateViewportImages();
}

// [SECTION] Files and title

bool TTarnwick_MainWindow::DropFile(const char* path, int32_t x, int32_t y)
{
    if (!IsRegularFile(path) || HitTest(x, y) == nullptr)
        return false;
    return OpenFile(path, true);
}

bool TTarnwick_MainWindow::OpenFile(const std::string& path, bool ask)
{
    if (HasExtension(path, {ProjectFileExtension})) {
        if (ask && !AskYesNo(GlobalDialogHost, "%s", GetLanguageString(ReplaceProjectEntry)))
            return false;
        if (!OpenProject(path))
            return false;
        LoadViewportState();
        UpdateTitle();
        return true;
    }
    int32_t command = 0;
    if (HasExtension(path, {"obj", "obz"}))
        command = CommandImportOBJ;
    else if (HasExtension(path, {"cr2", "crz"}))
        command = CommandImportCR2;
    if (command == 0) {
        AddWarning("Cannot open the file %s: it is not a project, OBJ or CR2 file", path.c_str());
        return false;
    }
    auto event = std::make_unique<TZAVEvent>(command);
    event->AddStringParameter(path.c_str(), 0);
    PostEvent(event.release());
    RequestRedisplay();
    return true;
}

void TTarnwick_MainWindow::UpdateTitle()
{
    std::string name = "untitled";
    if (TarnwickProject != nullptr && !TarnwickProject->FileName.empty()) {
        const size_t slash = TarnwickProject->FileName.find_last_of('/');
        name = slash == std::string::npos ? TarnwickProject->FileName
                                          : TarnwickProject->FileName.substr(slash + 1);
    }
    const std::string title = "Tarnwick - " + name;
    if (title == Title)
        return;
    Title = title;
    if (WindowId > 0) {
        glutSetWindow(WindowId);
        glutSetWindowTitle(Title.c_str());
    }
}
