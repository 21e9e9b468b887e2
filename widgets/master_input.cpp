// Input routing of the Master: hit testing, hover, mouse buttons and motion, drag and drop,
// clicks and double clicks, focus, keys and hot keys. Every entry point catches what its
// handlers throw and reports it through the fatal hook under its own name.
#include "widgets/master.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "widgets/hint_node.h"
#include "widgets/window.h"

namespace {

constexpr int32_t DragThreshold = 10;
constexpr int32_t DoubleClickDistance = 5;

TZAVglutWigits_Node* AnchorOf(TZAVglutWigits_Node* node)
{
    return node->ForwardMouseToParent && node->Parent != nullptr ? node->Parent : node;
}

// The window node takes its input in: a menu, living at the top level, belongs to the window of
// the node that opened it.
TZAVglutWigits_Window* InputWindowOf(TZAVglutWigits_Node* node)
{
    while (node != nullptr) {
        if (TZAVglutWigits_Window* window = node->AsWindow())
            return window;
        TZAVglutWigits_Node* owner = node->IsMenu() ? node->GetMenuOwner() : nullptr;
        node = owner != nullptr && !node->Contains(owner) ? owner : node->Parent;
    }
    return nullptr;
}

// x, y in the frame of the list's parent; the topmost hit is left in result.
void HitList(TZAVglutWigits_Node* first, int32_t x, int32_t y, TZAVglutWigits_Node*& result)
{
    for (TZAVglutWigits_Node* node = first; node != nullptr; node = node->NextSibling) {
        if (!node->IsVisibleInParent() || node->MouseTransparent)
            continue;
        const bool inside = TZAVglutWigits_Rect{node->X, node->Y, node->Width, node->Height}.Contains(x, y);
        if (inside)
            result = node;
        if (inside || !node->ClipChildren)
            HitList(node->FirstChild, x - node->X - node->ScrollX, y - node->Y - node->ScrollY, result);
        HitList(node->FirstFloatingChild, x - node->X, y - node->Y, result);
    }
}

// Runs body like CatchInputFailures; a failure also lets go of the mouse, or the node left
// captured would swallow every later press and have its release replayed at each motion.
template <typename Body>
bool CatchPointerFailures(TZAVglutWigits_Master& master, const char* title, Body&& body)
{
    bool finished = false;
    const bool used = CatchInputFailures(title, false, [&] {
        const bool result = body();
        finished = true;
        return result;
    });
    if (!finished) {
        master.Captured = nullptr;
        master.ReleasedOver = nullptr;
        master.DragNode = nullptr;
        master.WindowDrag = false;
    }
    return used;
}

int32_t FoldCase(int32_t key)
{
    return key >= 0 && key < 256 ? std::tolower(key) : key;
}

bool HotKeyMatches(const TZAVglutWigits_Node* node, int32_t key, int32_t modifiers)
{
    if (node->HotKey == 0 || FoldCase(node->HotKey) != FoldCase(key))
        return false;
    if (node->HotKeyIgnoreModifiers)
        return true;
    int32_t wanted = node->HotKeyModifiers;
    if (node->HotKeyIgnoreCase) {
        wanted &= ~ModifierShift;
        modifiers &= ~ModifierShift;
    }
    return wanted == modifiers;
}

bool SpecialHotKeyMatches(const TZAVglutWigits_Node* node, int32_t key, int32_t modifiers)
{
    return node->HotKeySpecial != 0 && node->HotKeySpecial == key && node->HotKeyModifiers == modifiers;
}

template <typename Matches>
bool SearchHotKeys(TZAVglutWigits_Node* first, int32_t key, int32_t modifiers, bool recursive,
                   Matches matches)
{
    for (TZAVglutWigits_Node* node = first; node != nullptr; node = node->NextSibling) {
        if (matches(node, key, modifiers)) {
            node->OnClick(-1, -1);
            return true;
        }
        if (!recursive)
            continue;
        if (TZAVglutWigits_Node* menu = node->GetAttachedMenu())
            if (SearchHotKeys(menu->FirstChild, key, modifiers, recursive, matches))
                return true;
        if (SearchHotKeys(node->FirstChild, key, modifiers, recursive, matches))
            return true;
    }
    return false;
}

// The subtree of scope, scope itself included.
template <typename Matches>
bool SearchSubtree(TZAVglutWigits_Node* scope, int32_t key, int32_t modifiers, Matches matches)
{
    if (scope == nullptr)
        return false;
    if (matches(scope, key, modifiers)) {
        scope->OnClick(-1, -1);
        return true;
    }
    if (TZAVglutWigits_Node* menu = scope->GetAttachedMenu())
        if (SearchHotKeys(menu->FirstChild, key, modifiers, true, matches))
            return true;
    return SearchHotKeys(scope->FirstChild, key, modifiers, true, matches);
}

} // namespace

bool MatchHotKey(TZAVglutWigits_Node* first, int32_t key, int32_t modifiers, bool recursive)
{
    return SearchHotKeys(first, key, modifiers, recursive, HotKeyMatches);
}

bool MatchSpecialHotKey(TZAVglutWigits_Node* first, int32_t key, int32_t modifiers, bool recursive)
{
    return SearchHotKeys(first, key, modifiers, recursive, SpecialHotKeyMatches);
}

void TZAVglutWigits_Master::ReadModifiers()
{
    ShiftDown = (InputModifiers & ModifierShift) != 0;
    CtrlDown = (InputModifiers & ModifierCtrl) != 0;
    AltDown = (InputModifiers & ModifierAlt) != 0;
}

TZAVglutWigits_Node* TZAVglutWigits_Master::HitTest(int32_t x, int32_t y)
{
    TZAVglutWigits_Node* result = nullptr;
    HitList(FirstChild, x - ScrollX, y - ScrollY, result);
    HitList(FirstFloatingChild, x, y, result);
    return result;
}

// [SECTION] Hover

void TZAVglutWigits_Master::SetHoveredNode(TZAVglutWigits_Node* node, int32_t x, int32_t y, bool notify)
{
    TZAVglutWigits_Node* old = HoveredNode;
    if (notify && old != nullptr && old->Enabled)
        old->OnMouseLeave(x - old->AbsX, y - old->AbsY, node);
    // The leave handler may have deleted the new node; ForgetNode cannot see it, so check the tree.
    if (node != nullptr && !IsLive(node))
        node = nullptr;
    HoveredNode = node;
    if (notify && node != nullptr && node->Enabled)
        node->OnMouseEnter(x - node->AbsX, y - node->AbsY);
    if (notify && node != nullptr && HintMode == TZAVglutWigits_HintMode::OnHover)
        ShowHint(node, node->GetCaption());
}

TZAVglutWigits_Node* TZAVglutWigits_Master::ProcessMouseOver(int32_t x, int32_t y, bool notify)
{
    return CatchInputFailures<TZAVglutWigits_Node*>(
        "TZAVglutWigits_Master::ProcessMouseOver()", nullptr, [&] {
            RevalidateReferences();
            TZAVglutWigits_Node* hit = HitTest(x, y);
            // A modal window keeps every node outside it, and every menu it did not open, from
            // being hovered, hence clicked.
            if (hit != nullptr && IsModalBlocking() && InputWindowOf(hit) != ActiveWindow)
                hit = nullptr;
            if (hit != HoveredNode)
                SetHoveredNode(hit, x, y, notify);
            if (HoveredNode != nullptr) {
                HoverRelativeX = x - HoveredNode->AbsX;
                HoverRelativeY = y - HoveredNode->AbsY;
            }
            return HoveredNode;
        });
}

// [SECTION] Mouse buttons

void TZAVglutWigits_Master::PressCaptured(int32_t button, int32_t x, int32_t y)
{
    Captured = HoveredNode;
    if (Captured == nullptr)
        return;
    if (Captured->Movable)
        WindowDrag = true;
    ActiveWindow = InputWindowOf(Captured);
    if (ActiveWindow != nullptr)
        ActiveWindow->BringToFront();
    Captured->ClickDelivered = false;
    const TZAVglutWigits_Node* anchor = AnchorOf(Captured);
    GrabX = x - anchor->AbsX;
    GrabY = y - anchor->AbsY;
    if (Captured->IsEnabledChain())
        Captured->OnMouseButton(button, MouseDown, x - Captured->AbsX, y - Captured->AbsY);
}

void TZAVglutWigits_Master::ReleaseCaptured(int32_t button, int32_t x, int32_t y)
{
    ReleasedOver = HoveredNode;
    if (Captured != nullptr && Captured->IsEnabledChain())
        Captured->OnMouseButton(button, MouseUp, x - Captured->AbsX, y - Captured->AbsY);
    if (ReleasedOver != nullptr && ReleasedOver != Captured && ReleasedOver->IsEnabledChain())
        ReleasedOver->OnMouseButton(button, MouseUp, x - ReleasedOver->AbsX, y - ReleasedOver->AbsY);
    // The handlers may have hidden or deleted either node.
    RevalidateReferences();
    TZAVglutWigits_Node* node = Captured;
    if (node == nullptr)
        return;
    if (!node->Clickable) {
        SetFocus(nullptr);
    } else if (node->IsEnabledChain() && (ReleasedOver == node || node->ClickOnAnyRelease) &&
               !node->ClickDelivered) {
        SetFocus(node);
        ProcessClick(node, x, y);
    }
    if (HintMode == TZAVglutWigits_HintMode::OnShiftRightClick && button == MouseRight && ShiftDown &&
        IsLive(node) && ReleasedOver == node)
        ShowHint(node, node->GetCaption());
}

bool TZAVglutWigits_Master::DoMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    ReadModifiers();
    RevalidateReferences();
    if ((state == MouseDown && Captured != nullptr) || (state == MouseUp && Captured == nullptr))
        return false;
    MouseX = x;
    MouseY = y;
    if (state == MouseDown) {
        MouseDownX = x;
        MouseDownY = y;
    }
    WindowDrag = false;
    if (HintMode != TZAVglutWigits_HintMode::None && HintNode != nullptr && HintNode->Shown)
        HintNode->Hide();
    LastButton = button;
    LastState = state;
    ProcessMouseOver(x, y, false);
    if (state == MouseDown && (HoveredNode == nullptr ? CloseMenus() : CloseMenusExcept(HoveredNode)))
        RequestRedisplay();
    if (state == MouseUp && button == MouseLeft && DragNode != nullptr) {
        if (HoveredNode != nullptr && HoveredNode->DropEvent != nullptr)
            HoveredNode->OnDrop(DragNode->GetDragText().c_str(), x - HoveredNode->AbsX,
                                y - HoveredNode->AbsY);
        DragNode = nullptr;
    }
    if (state == MouseDown)
        PressCaptured(button, x, y);
    else
        ReleaseCaptured(button, x, y);
    if (state == MouseUp) {
        Captured = nullptr;
        ReleasedOver = nullptr;
    }
    RequestRedisplay();
    return true;
}

bool TZAVglutWigits_Master::ProcessMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    return CatchPointerFailures(*this, "TZAVglutWigits_Master::ProcessMouseButton()",
                                [&] { return DoMouseButton(button, state, x, y); });
}

// [SECTION] Motion

bool TZAVglutWigits_Master::DoMouseMotion(int32_t x, int32_t y)
{
    RevalidateReferences();
    MouseX = x;
    MouseY = y;
    if (DragNode != nullptr) {
        DragX = x;
        DragY = y;
    }
    const double dx = x - MouseDownX, dy = y - MouseDownY;
    const int32_t distance = static_cast<int32_t>(std::lround(std::sqrt(dx * dx + dy * dy)));
    if (DragNode == nullptr && LastButton == MouseLeft && Captured != nullptr && distance > DragThreshold &&
        Captured->Draggable) {
        DragNode = Captured;
        DragGrabX = Captured->Width / 2;
        DragGrabY = Captured->Height / 2;
        DragX = x;
        DragY = y;
    }
    if (LastButton == MouseLeft && Captured != nullptr && Captured->IsEnabledChain() && WindowDrag) {
        TZAVglutWigits_Node* anchor = AnchorOf(Captured);
        const int32_t new_x = x - GrabX, new_y = y - GrabY;
        if (new_x != anchor->AbsX || new_y != anchor->AbsY) {
            anchor->SetAbsolutePosition(new_x, new_y);
            // Later motions before the next frame compare against where the node now is.
            anchor->AbsX = new_x;
            anchor->AbsY = new_y;
            anchor->OnDragMoved();
            RequestRedisplay();
            return true;
        }
    }
    ProcessMouseOver(x, y, false);
    if (Captured == nullptr || !Captured->IsEnabledChain())
        return false;
    if (!WindowDrag)
        Captured->OnMouseDrag(x - Captured->AbsX, y - Captured->AbsY);
    RequestRedisplay();
    return true;
}

bool TZAVglutWigits_Master::ProcessMouseMotion(int32_t x, int32_t y)
{
    return CatchPointerFailures(*this, "TZAVglutWigits_Master::ProcessMouseMotion()",
                                [&] { return DoMouseMotion(x, y); });
}

bool TZAVglutWigits_Master::ProcessPassiveMouseMotion(int32_t x, int32_t y)
{
    return CatchPointerFailures(*this, "TZAVglutWigits_Master::ProcessPassiveMouseMotion()", [&] {
        RevalidateReferences();
        // Still captured: the release happened where we could not see it.
        if (Captured != nullptr) {
            DoMouseButton(LastButton, MouseUp, x, y);
            return true;
        }
        if (x == LastPassiveX && y == LastPassiveY)
            return false;
        LastPassiveX = x;
        LastPassiveY = y;
        ProcessMouseOver(x, y, true);
        if (HoveredNode != nullptr)
            HoveredNode->OnPassiveMotion(HoverRelativeX, HoverRelativeY);
        return HoveredNode != nullptr;
    });
}

// [SECTION] Clicks and focus

// A second left click on the same node, soon enough and near enough to the first press, is a
// double click; it does not renew the click time, so a third click pairs with the first.
bool TZAVglutWigits_Master::DoClick(TZAVglutWigits_Node* node, int32_t x, int32_t y)
{
    if (!IsLive(node) || !node->IsEnabledChain() || !node->Clickable)
        return false;
    if (LastButton == MouseLeft)
        SetFocus(node);
    const int32_t relative_x = x - node->AbsX, relative_y = y - node->AbsY;
    const int64_t now = Clock();
    const bool double_click = LastButton == MouseLeft && node == LastClickedNode &&
                              node->AcceptsDoubleClick && now - node->LastClickTime <= DoubleClickInterval &&
                              std::abs(x - LastClickDownX) < DoubleClickDistance &&
                              std::abs(y - LastClickDownY) < DoubleClickDistance;
    if (double_click) {
        node->OnDoubleClick(relative_x, relative_y);
        return true;
    }
    node->LastClickTime = now;
    LastClickedNode = node;
    LastClickDownX = MouseDownX;
    LastClickDownY = MouseDownY;
    if (LastButton == MouseLeft)
        node->OnClick(relative_x, relative_y);
    else if (LastButton == MouseRight)
        node->OnRightClick(relative_x, relative_y);
    return true;
}

bool TZAVglutWigits_Master::ProcessClick(TZAVglutWigits_Node* node, int32_t x, int32_t y)
{
    return CatchInputFailures("TZAVglutWigits_Master::ProcessClick()", false,
                              [&] { return DoClick(node, x, y); });
}

void TZAVglutWigits_Master::SetFocus(TZAVglutWigits_Node* node)
{
    TZAVglutWigits_Node* previous = Focus;
    Focus = node;
    if (previous != nullptr && previous != node)
        previous->OnLoseFocus();
    if (node != nullptr && Focus == node)
        node->OnGetFocus();
}

// [SECTION] Keys

bool TZAVglutWigits_Master::DoKey(int32_t key)
{
    ReadModifiers();
    RevalidateReferences();
    if (key == KeyEscape) {
        if (HintNode != nullptr && HintNode->Shown)
            HintNode->Hide();
        else
            CloseMenus();
    }
    bool handled = Focus != nullptr && Focus->OnKey(key);
    if (!handled)
        handled = SearchSubtree(ActiveWindow, key, InputModifiers, HotKeyMatches);
    if (!handled && !IsModalBlocking())
        handled = MatchHotKey(FirstChild, key, InputModifiers, false);
    if (!handled && ExtraHotKeyScope != nullptr)
        handled = SearchSubtree(ExtraHotKeyScope, key, InputModifiers, HotKeyMatches);
    if (handled || key == KeyEscape)
        RequestRedisplay();
    return true;
}

bool TZAVglutWigits_Master::ProcessKey(int32_t key)
{
    return CatchInputFailures("TZAVglutWigits_Master::ProcessKey()", false, [&] { return DoKey(key); });
}

bool TZAVglutWigits_Master::DoSpecialKey(int32_t key)
{
    ReadModifiers();
    RevalidateReferences();
    bool handled = Focus != nullptr && Focus->IsEnabledChain() && Focus->OnSpecialKey(key);
    if (!handled && !IsModalBlocking())
        handled = MatchSpecialHotKey(FirstChild, key, InputModifiers, false);
    if (!handled)
        handled = SearchSubtree(ActiveWindow, key, InputModifiers, SpecialHotKeyMatches);
    RequestRedisplay();
    return handled;
}

bool TZAVglutWigits_Master::ProcessSpecialKey(int32_t key, int32_t, int32_t)
{
    return CatchInputFailures("TZAVglutWigits_Master::ProcessSpecialKey()", false,
                              [&] { return DoSpecialKey(key); });
}
