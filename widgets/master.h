// TZAVglutWigits_Master: the root of a widget tree. It owns one GLUT window's worth of widgets,
// routes every mouse and keyboard input through the tree and draws the frame.
//
// Routing state (held here, not by the widgets):
//   press    -> the hovered node is captured; its window becomes active and comes to the front
//   motion   -> over 10 px from the press a draggable captured node starts a drag; a movable one
//               moves with the mouse; others get OnMouseDrag
//   release  -> the captured node (and the node released over) get OnMouseButton; a clickable
//               node released over itself is clicked (ProcessClick), which may be a double click
//   passive  -> a node still captured means the release was missed: it is released here
//
// The Process* operations need no GL context, so tests drive them directly; only Refresh draws.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "core/list.h"
#include "core/report.h"
#include "widgets/node.h"

class TZAVglutWigits_HintNode;

// Milliseconds on a monotonic clock; tests install their own.
using TZAVglutWigits_Clock = int64_t (*)();

enum class TZAVglutWigits_HintMode : int32_t
{
    None = 0,
    OnHover = 1,
    OnShiftRightClick = 2,
};

constexpr int32_t MouseLeft = 0;
constexpr int32_t MouseMiddle = 1;
constexpr int32_t MouseRight = 2;
constexpr int32_t MouseDown = 0;
constexpr int32_t MouseUp = 1;
constexpr int32_t KeyEscape = 27;

class TZAVglutWigits_Master : public TZAVglutWigits_Node
{
public:
    TZAVglutWigits_Master(int32_t window_id, int32_t width, int32_t height);
    ~TZAVglutWigits_Master() override;

    TZAVglutWigits_Master* AsMaster() override { return this; }
    bool IsAltDown() const override { return AltDown; }
    bool IsCtrlDown() const override { return CtrlDown; }
    bool IsShiftDown() const override { return ShiftDown; }
    void Draw() override;

    virtual void OnCloseRequest();
    void ShowHintf(TZAVglutWigits_Node* node, const char* format, ...) __attribute__((format(printf, 3, 4)));
    virtual void ShowHint(TZAVglutWigits_Node* node, const char* text);
    virtual void Tick();

    // [Input entry points] Each returns whether the input was used.
    bool ProcessMouseButton(int32_t button, int32_t state, int32_t x, int32_t y);
    bool ProcessMouseMotion(int32_t x, int32_t y);
    bool ProcessPassiveMouseMotion(int32_t x, int32_t y);
    TZAVglutWigits_Node* ProcessMouseOver(int32_t x, int32_t y, bool notify);
    bool ProcessKey(int32_t key);
    bool ProcessSpecialKey(int32_t key, int32_t x, int32_t y);
    bool ProcessClick(TZAVglutWigits_Node* node, int32_t x, int32_t y);
    void SetFocus(TZAVglutWigits_Node* node);

    // Housekeeping, layout, absolute positions and occlusion: everything of a frame but drawing.
    void PrepareFrame();
    // Draws the whole window (needs the window's GL context current).
    void Refresh(bool swap);
    void Resize(int32_t width, int32_t height);
    // Draws node's children straight into the front buffer, clipped to node.
    void DrawSubtreeToFront(TZAVglutWigits_Node* node);
    // Hides every shown top-level menu; true when one closed.
    bool CloseMenus();
    // Hides the shown top-level menus that neither contain node nor were opened by it.
    bool CloseMenusExcept(TZAVglutWigits_Node* node);
    // The topmost node at x, y (in the Master's frame), modal windows not considered.
    TZAVglutWigits_Node* HitTest(int32_t x, int32_t y);

    // The GLUT modifier mask of the input being routed; the window layer sets it before each call.
    void SetInputModifiers(int32_t mask) { InputModifiers = mask; }
    // Drops every reference to node; nodes call this as they are destroyed.
    void ForgetNode(const TZAVglutWigits_Node* node);
    // Asks the window layer to draw again; the base class only sets NeedsRefresh.
    virtual void RequestRedisplay() { NeedsRefresh = true; }
    int64_t Now() const { return Clock(); }
    bool IsModalBlocking() const;

    static TZAVglutWigits_Master* FindByWindowId(int32_t window_id);

    // [Fields]
    bool AltDown = false;
    bool CtrlDown = false;
    bool ShiftDown = false;
    int32_t InputModifiers = ModifierNone;
    TZAVglutWigits_Node* Focus = nullptr;
    TZAVglutWigits_Node* Captured = nullptr;
    TZAVglutWigits_Node* ReleasedOver = nullptr;
    TZAVglutWigits_Node* HoveredNode = nullptr;
    TZAVglutWigits_HintNode* HintNode = nullptr;
    // When set, hints are posted as copies of this event instead of shown.
    std::unique_ptr<TZAVEvent> HintEvent;
    TZAVglutWigits_Window* ActiveWindow = nullptr;
    TZAVglutWigits_Node* ExtraHotKeyScope = nullptr;
    TZAVglutWigits_HintMode HintMode = TZAVglutWigits_HintMode::OnHover;
    std::string HintFooter = "Press ESC to hide this hint";
    int64_t DoubleClickInterval = 500;
    int32_t MouseDownX = 0, MouseDownY = 0;
    int32_t MouseX = 0, MouseY = 0;
    int32_t HoverRelativeX = 0, HoverRelativeY = 0;
    int32_t LastPassiveX = -1, LastPassiveY = -1;
    int32_t LastButton = MouseLeft;
    int32_t LastState = MouseUp;
    TZAVglutWigits_Node* DragNode = nullptr;
    int32_t DragGrabX = 0, DragGrabY = 0;
    int32_t DragX = 0, DragY = 0;
    // Offset of the press from the captured node (or the parent it forwards to).
    int32_t GrabX = 0, GrabY = 0;
    bool WindowDrag = false;
    TZAVglutWigits_Node* LastClickedNode = nullptr;
    // Where the press of the last click was, for the double-click distance.
    int32_t LastClickDownX = 0, LastClickDownY = 0;
    int64_t LastTickTime = 0;
    bool DimInactiveWindows = false;
    bool HideFocusFrame = false;
    bool NeedsRefresh = true;
    uint32_t MasterSkins[SkinCount] = {0, 0, 0, 0};
    int32_t WindowId = 0;
    int32_t InterfaceFontNumber = 2;
    // Stay-on-top windows outside this list keep their place while it is non-empty.
    std::vector<TZAVglutWigits_Node*> FrontWindows;
    TZAVglutWigits_Clock Clock;
    // GL draw calls of the last Refresh.
    int32_t LastFrameDrawCalls = 0;

protected:
    virtual void SwapBuffers();

private:
    void ReadModifiers();
    void RevalidateReferences();
    bool IsLive(const TZAVglutWigits_Node* node) const;
    void SetHoveredNode(TZAVglutWigits_Node* node, int32_t x, int32_t y, bool notify);
    bool DoMouseButton(int32_t button, int32_t state, int32_t x, int32_t y);
    void PressCaptured(int32_t button, int32_t x, int32_t y);
    void ReleaseCaptured(int32_t button, int32_t x, int32_t y);
    bool DoMouseMotion(int32_t x, int32_t y);
    bool DoKey(int32_t key);
    bool DoSpecialKey(int32_t key);
    bool DoClick(TZAVglutWigits_Node* node, int32_t x, int32_t y);
    void Housekeeping(TZAVglutWigits_Node* parent, bool floating);
    void KeepInside(TZAVglutWigits_Window* window);
    void DrawList(TZAVglutWigits_Node* first, const TZAVglutWigits_Rect& clip);
    void DrawNode(TZAVglutWigits_Node* node, const TZAVglutWigits_Rect& clip);

    // The focus node's rectangle when it was drawn this frame.
    bool FocusDrawn = false;
    TZAVglutWigits_Rect FocusRect;
};

using TZAVglutWigits_MasterPtr = TZAVglutWigits_Master*;

// The Masters of every window, found by GLUT window id.
TZAVStaticList<TZAVglutWigits_MasterPtr>& MasterList();

// Runs body; an exception is reported through the fatal hook under title and gives fallback.
template <typename Result, typename Body>
Result CatchInputFailures(const char* title, Result fallback, Body&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        CallFatalHook("Bad memory allocation", title);
    } catch (const std::exception& error) {
        CallFatalHook(error.what(), title);
    } catch (...) {
        CallFatalHook("Unknown exception, probably and access violation", title);
    }
    return fallback;
}

// Hot-key search over a sibling list; recursive also visits attached menus and children.
bool MatchHotKey(TZAVglutWigits_Node* first, int32_t key, int32_t modifiers, bool recursive);
bool MatchSpecialHotKey(TZAVglutWigits_Node* first, int32_t key, int32_t modifiers, bool recursive);
