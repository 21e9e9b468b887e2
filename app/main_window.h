// TTarnwick_MainWindow: the root of the widget tree and the owner of every GLUT callback after
// start-up.
//
// GLUT input callbacks never do work: each appends an input record to the pending-input list and
// asks for a redraw. The display callback takes one record, routes it through the widget tree,
// runs the event processor and draws the whole window, so a burst of motion is worked off across
// frames. A 17 ms tick does the background work: autosave, deferred redraws, the splash, the
// message list and the spatial indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/timer.h"
#include "widgets/blank_app.h"

class TTarnwick_ViewportPanel;
class TTarnwick_MessagePanel;
class TTarnwick_ToolBar;
class TTarnwick_ToolPanel;
class TTarnwick_SidePanel;
class TZAVglutWigits_MenuBar;

enum class TTarnwick_InputKind : int32_t
{
    MouseButton = 1,
    Motion = 2,
    PassiveMotion = 3,
    Key = 4,
    SpecialKey = 5,
};

// Kind, then A (button or key), B (state: 0 down, 1 up), and the window position.
struct TTarnwick_InputRecord
{
    int32_t Kind = 0;
    int32_t A = 0;
    int32_t B = 0;
    int32_t X = 0;
    int32_t Y = 0;
};

class TTarnwick_MainWindow : public TZAVglutWigits_BlankApp
{
public:
    explicit TTarnwick_MainWindow(int32_t window_id);
    ~TTarnwick_MainWindow() override;

    // Builds the menu bar, the tool bar, the tool panel, the four viewport panels, the side panels,
    // the message panel and the splash (showing splash_text), registers the callbacks and the tick, installs
    // the status and busy hooks, and becomes Ready.
    void BuildPanels(const char* splash_text);

    void Layout() override;
    void Update() override;
    void Draw() override;
    // The quit sequence: asks, and on Yes ends the process; on No the program runs on.
    void OnCloseRequest() override;
    void ShowHint(TZAVglutWigits_Node* node, const char* text) override;

    // [Input queue] Appends a record as the GLUT callbacks do (the one-button filter applies to
    // mouse records) and asks for a redraw. modifiers are the GLUT bits read with the input.
    void QueueInput(const TTarnwick_InputRecord& record, int32_t modifiers);
    const std::vector<TTarnwick_InputRecord>& PendingInput() const { return Pending; }
    // One display callback: one pending record routed, the event processor, the drawing.
    void DisplayFrame();
    // One 17 ms tick.
    void IdleTick();

    // [GLUT callbacks] Registered by BuildPanels. Each counts the input, does nothing before the
    // application and the window are ready, and reports failures through the fatal hook under its
    // own name. While a dialog is open nothing is queued or ticked: the input and display
    // callbacks hand their input straight to the widget tree, where the modal dialog takes it.
    static void DisplayCB();
    static void ReshapeCB(int width, int height);
    static void MouseCB(int button, int state, int x, int y);
    static void MotionCB(int x, int y);
    static void PassiveCB(int x, int y);
    static void KeyboardCB(unsigned char key, int x, int y);
    static void SpecialCB(int key, int x, int y);
    static void VisibilityCB(int state);
    static void WindowStatusCB(int state);
    static void CloseCB();
    // The 17 ms tick, re-armed each time.
    static void IdleCB(int value);
    // Inputs that reached a callback, counted by the common entry.
    static int64_t InputCount;
    // The period of the idle tick.
    static constexpr unsigned int TickMilliseconds = 17;

    // The one-button filter forgets its held button (released where the queue does not see it).
    void ForgetHeldButton() { ButtonHeld = false; }
    // Hides the splash panel (the tick does this after 5 s, a press at once).
    void CloseSplash();
    bool SplashShown() const;

    // [Message panel] Both do nothing until the application is ready.
    void AddStatusLine(const char* text);
    void AddWarningLine(const char* text);
    int32_t MessageCount() const;
    // The text of message index (0 = oldest kept); empty outside the list.
    std::string MessageText(int32_t index) const;

    // [Viewports]
    TTarnwick_ViewportPanel* ViewportPanel(int32_t index) const;
    // The current viewport's panel (the first when none is marked current).
    TTarnwick_ViewportPanel* CurrentViewportPanel() const;
    void MakeViewportCurrent(TTarnwick_ViewportPanel* panel);
    // The view fills the whole view area, or the four views come back when it did already.
    void ToggleMaximized(TTarnwick_ViewportPanel* panel);
    // Marks the project's viewport images stale and has every panel drop its cached image.
    void InvalidateViewportImages();
    // Sets the four views to front, right, top and perspective, each fitted to the current object
    // (command 203).
    void ResetViewports();
    // The viewports' state into the project (before a save) and back (after an open).
    void StoreViewportState();
    void LoadViewportState();

    // Drops of files: the same path as a file named on the command line. False when the path is
    // not an existing file or the position is over no widget.
    bool DropFile(const char* path, int32_t x, int32_t y);
    // What a drop and the command line do with a file: a project is opened (after asking, when
    // ask is set, whether to replace the open one); an OBJ or CR2 file is imported by posting
    // command 205 or 204 with the path as string parameter 0. False for other files.
    bool OpenFile(const std::string& path, bool ask);
    // Sets the GLUT window title from the project's file name.
    void UpdateTitle();

    TTarnwick_MessagePanel* MessagePanel() const { return Messages; }
    TTarnwick_ToolBar* ToolBar() const { return Tools; }
    TTarnwick_ToolPanel* ToolPanel() const { return Parameters; }
    // The column of object, morph, selection, layer and map lists on the right.
    TTarnwick_SidePanel* SidePanel() const { return Panels; }
    // The tool bar and the tool panel show the current tool anew (command 243).
    void RefreshToolPanels();
    TZAVglutWigits_MenuBar* MainMenu() const { return MenuBar; }

    bool Ready = false;
    bool BusyInDisplay = false;
    // Off in tests that read the frame back from the back buffer.
    bool SwapAfterFrame = true;
    bool WindowVisible = true;
    // One of "ZAVGLUT_HIDDEN", "ZAVGLUT_FULLY_RETAINED", "ZAVGLUT_PARTIALLY_RETAINED",
    // "ZAVGLUT_FULLY_COVERED".
    const char* WindowState = "ZAVGLUT_FULLY_RETAINED";
    // A mouse button is held over a viewport: autosave and some idle work wait.
    bool Dragging = false;
    int64_t FrameCount = 0;
    // When the first frame showing a figure was finished, on the monotonic clock of Seconds(); the
    // measure of a start.
    double FirstFigureClock = -1;
    TZAVStopwatch IdleStopwatch;
    TZAVStopwatch SplashStopwatch;
    TZAVStopwatch FrameStopwatch;
    TZAVStopwatch LowMemoryStopwatch;

private:
    void RouteRecord(const TTarnwick_InputRecord& record);
    void RouteMouseButton(const TTarnwick_InputRecord& record);
    // The low-memory warning, at most every 20 s.
    void CheckMemory();
    void LayoutViewports(int32_t left, int32_t right, int32_t top, int32_t bottom);
    void BuildSpatialIndexes();
    // The one-button filter of mouse records; false when the record is dropped.
    bool FilterMouseRecord(TTarnwick_InputRecord& record);

    std::vector<TTarnwick_InputRecord> Pending;
    bool ButtonHeld = false;
    int32_t HeldButton = 0;
    TZAVglutWigits_MenuBar* MenuBar = nullptr;
    std::string Title;
    TTarnwick_MessagePanel* Messages = nullptr;
    TTarnwick_ToolBar* Tools = nullptr;
    TTarnwick_ToolPanel* Parameters = nullptr;
    TTarnwick_SidePanel* Panels = nullptr;
    TZAVglutWigits_Node* Splash = nullptr;
    TTarnwick_ViewportPanel* Viewports[4] = {nullptr, nullptr, nullptr, nullptr};
};

// The one main window; null before start-up makes it and after the quit.
extern TTarnwick_MainWindow* TarnwickMainWindow;
