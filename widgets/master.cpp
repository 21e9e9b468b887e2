// The Master's lifecycle, hints, ticks and the frame: housekeeping, layout, absolute positions,
// occlusion and drawing. Input routing lives in master_input.cpp.
//
// [SECTION] Master list and lifecycle
// [SECTION] Hints and ticks
// [SECTION] References
// [SECTION] Frame preparation
// [SECTION] Drawing
#include "widgets/master.h"

#include <GL/gl.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <vector>

#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/timer.h"
#include "widgets/draw.h"
#include "widgets/font.h"
#include "widgets/hint_node.h"
#include "widgets/window.h"

namespace {

// Windows keep at least this much of themselves inside the Master.
constexpr int32_t KeepInsideMargin = 20;
constexpr int64_t TickInterval = 20;
constexpr int32_t HintTextLimit = 4999;
constexpr float HoverHighlightAlpha = 0.08f;

int64_t MonotonicMilliseconds()
{
    return static_cast<int64_t>(Seconds() * 1000.0);
}

template <typename Visit> void ForEachNode(TZAVglutWigits_Node* first, Visit&& visit)
{
    for (TZAVglutWigits_Node* node = first; node != nullptr;) {
        TZAVglutWigits_Node* next = node->NextSibling;
        visit(node);
        ForEachNode(node->FirstChild, visit);
        ForEachNode(node->FirstFloatingChild, visit);
        node = next;
    }
}

void UpdateNodes(TZAVglutWigits_Node* first)
{
    for (TZAVglutWigits_Node* node = first; node != nullptr; node = node->NextSibling) {
        node->Update();
        if (node->ChildrenVisible())
            UpdateNodes(node->FirstChild);
        UpdateNodes(node->FirstFloatingChild);
    }
}

void PlaceAbsolute(TZAVglutWigits_Node* parent)
{
    for (TZAVglutWigits_Node* child = parent->FirstChild; child != nullptr; child = child->NextSibling) {
        child->AbsX = parent->AbsX + child->X + parent->ScrollX;
        child->AbsY = parent->AbsY + child->Y + parent->ScrollY;
        PlaceAbsolute(child);
    }
    for (TZAVglutWigits_Node* child = parent->FirstFloatingChild; child != nullptr;
         child = child->NextSibling) {
        child->AbsX = parent->AbsX + child->X;
        child->AbsY = parent->AbsY + child->Y;
        PlaceAbsolute(child);
    }
}

// Only a node that paints its whole rectangle hides what lies beneath it.
bool PaintsWholeRect(const TZAVglutWigits_Node* node)
{
    return node->DrawFrame || node->Skins[SkinNormal] != 0;
}

// Marks the nodes of a sibling list that a later opaque sibling wholly covers, and so on down the
// tree. The list is walked from its top down, gathering the opaque siblings seen so far into
// covers (from base on); one inside another adds nothing. Nodes that are not drawn neither hide
// nor need marking, which keeps a long scrolled list linear. tests counts the nodes visited and
// rectangles compared.
void MarkOccludedInList(TZAVglutWigits_Node* last, std::vector<TZAVglutWigits_Rect>& covers, int64_t& tests)
{
    const size_t base = covers.size();
    for (TZAVglutWigits_Node* node = last; node != nullptr; node = node->PrevSibling) {
        tests++;
        if (!node->IsVisibleInParent() || node->HiddenFromDrawing)
            continue;
        const TZAVglutWigits_Rect rect{node->X, node->Y, node->Width, node->Height};
        for (size_t i = base; i < covers.size() && !node->Occluded; i++, tests++)
            node->Occluded = rect.Inside(covers[i]);
        if (node->Occluded)
            continue;
        MarkOccludedInList(node->LastChild, covers, tests);
        MarkOccludedInList(node->LastFloatingChild, covers, tests);
        if (PaintsWholeRect(node))
            covers.push_back(rect);
    }
    covers.resize(base);
}

} // namespace

// [SECTION] Master list and lifecycle

TZAVStaticList<TZAVglutWigits_MasterPtr>& MasterList()
{
    // Never destroyed: freeglut closes its windows at exit, after static objects are gone, and its
    // close callback looks the window's Master up here.
    static auto* masters = new TZAVStaticList<TZAVglutWigits_MasterPtr>;
    return *masters;
}

TZAVglutWigits_Master::TZAVglutWigits_Master(int32_t window_id, int32_t width, int32_t height)
    : WindowId(window_id), Clock(MonotonicMilliseconds)
{
    SetNameLiteral("Master");
    Width = width;
    Height = height;
    ShowLabel = false;
    MasterList().Add(this);
    HintNode = new TZAVglutWigits_HintNode(this);
    HintNode->Shown = false;
}

TZAVglutWigits_Master::~TZAVglutWigits_Master()
{
    ShowMessage(GlobalDialogHost, "Deleting master!");
    MasterList().Remove(this, TZAVRemoveCount::FirstOnly);
    // The node destructor deletes the tree, hint node included.
}

TZAVglutWigits_Master* TZAVglutWigits_Master::FindByWindowId(int32_t window_id)
{
    TZAVStaticList<TZAVglutWigits_MasterPtr>& masters = MasterList();
    for (int32_t i = 0; i < masters.Count(); i++)
        if (masters.Data()[i]->WindowId == window_id)
            return masters.Data()[i];
    return nullptr;
}

void TZAVglutWigits_Master::OnCloseRequest()
{
    std::exit(0);
}

void TZAVglutWigits_Master::Resize(int32_t width, int32_t height)
{
    X = 0;
    Y = 0;
    Width = width;
    Height = height;
    RequestRedisplay();
}

bool TZAVglutWigits_Master::CloseMenus()
{
    return CloseMenusExcept(nullptr);
}

bool TZAVglutWigits_Master::CloseMenusExcept(TZAVglutWigits_Node* node)
{
    bool closed = false;
    for (TZAVglutWigits_Node* list : {FirstChild, FirstFloatingChild})
        for (TZAVglutWigits_Node* menu = list; menu != nullptr;) {
            TZAVglutWigits_Node* next = menu->NextSibling;
            if (menu->IsMenu() && menu->Shown && !menu->Contains(node) &&
                (node == nullptr || menu->GetMenuOwner() != node)) {
                menu->Hide();
                closed = true;
            }
            menu = next;
        }
    return closed;
}

// [SECTION] Hints and ticks

void TZAVglutWigits_Master::ShowHintf(TZAVglutWigits_Node* node, const char* format, ...)
{
    char text[HintTextLimit + 1];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    ShowHint(node, text);
}

void TZAVglutWigits_Master::ShowHint(TZAVglutWigits_Node* node, const char* text)
{
    if (HintEvent != nullptr) {
        auto copy = std::make_unique<TZAVEvent>(*HintEvent);
        copy->AddStringParameter(text != nullptr ? text : "", 0);
        copy->SetSender(node);
        PostEvent(copy.release());
        return;
    }
    if (HintNode == nullptr)
        HintNode = new TZAVglutWigits_HintNode(this);
    if (text == nullptr || text[0] == '\0') {
        if (HintNode->Shown)
            HintNode->Hide();
        return;
    }
    HintNode->SetHint(node, text, HintFooter);
    HintNode->Show();
    HintNode->BringToFront();
    RequestRedisplay();
}

void TZAVglutWigits_Master::Tick()
{
    const int64_t now = Clock();
    if (now - LastTickTime < TickInterval)
        return;
    LastTickTime = now;
    ForEachNode(FirstChild, [](TZAVglutWigits_Node* node) { node->OnTick(); });
    ForEachNode(FirstFloatingChild, [](TZAVglutWigits_Node* node) { node->OnTick(); });
}

// [SECTION] References

void TZAVglutWigits_Master::ForgetNode(const TZAVglutWigits_Node* node)
{
    for (TZAVglutWigits_Node** reference :
         {&Focus, &Captured, &ReleasedOver, &HoveredNode, &ExtraHotKeyScope, &DragNode, &LastClickedNode})
        if (*reference == node)
            *reference = nullptr;
    if (HintNode != nullptr && static_cast<const TZAVglutWigits_Node*>(HintNode) == node)
        HintNode = nullptr;
    if (ActiveWindow != nullptr && static_cast<const TZAVglutWigits_Node*>(ActiveWindow) == node)
        ActiveWindow = nullptr;
    std::erase(FrontWindows, node);
}

// Compares the pointer against the tree before touching the node it points to.
bool TZAVglutWigits_Master::IsLive(const TZAVglutWigits_Node* node) const
{
    return node != nullptr && node != this && Contains(node) && node->IsShownChain();
}

void TZAVglutWigits_Master::RevalidateReferences()
{
    for (TZAVglutWigits_Node** reference : {&Focus, &Captured, &ReleasedOver, &HoveredNode})
        if (*reference != nullptr && !IsLive(*reference))
            *reference = nullptr;
    if (ActiveWindow != nullptr && !IsLive(ActiveWindow))
        ActiveWindow = nullptr;
}

bool TZAVglutWigits_Master::IsModalBlocking() const
{
    return ActiveWindow != nullptr && ActiveWindow->Modal && ActiveWindow->Shown;
}

// [SECTION] Frame preparation

// Windows keep a margin of themselves inside the Master, whatever the drag or resize did.
void TZAVglutWigits_Master::KeepInside(TZAVglutWigits_Window* window)
{
    const int32_t old_x = window->X, old_y = window->Y;
    const int32_t old_width = window->Width, old_height = window->Height;
    if (window->FitInsideMaster) {
        window->Width = std::min(window->Width, Width - KeepInsideMargin);
        window->Height = std::min(window->Height, Height - KeepInsideMargin - window->TitleBarHeight());
    }
    window->X = std::max(std::min(window->X, Width - KeepInsideMargin), KeepInsideMargin - window->Width);
    window->Y = std::max(std::min(window->Y, Height - KeepInsideMargin), KeepInsideMargin - window->Height);
    if (window->X != old_x || window->Y != old_y || window->Width != old_width ||
        window->Height != old_height)
        window->Layout();
}

void TZAVglutWigits_Master::Housekeeping(TZAVglutWigits_Node* parent, bool floating)
{
    auto first = [&] { return floating ? parent->FirstFloatingChild : parent->FirstChild; };
    // A node may take others of its list with it (a button its open menu), so the list is walked
    // again after each deletion.
    for (TZAVglutWigits_Node* node = first(); node != nullptr;) {
        if (!node->DeletePending) {
            node = node->NextSibling;
            continue;
        }
        delete node;
        node = first();
    }
    std::vector<TZAVglutWigits_Node*> to_front;
    for (TZAVglutWigits_Node* node = first(); node != nullptr; node = node->NextSibling)
        if (node->Shown && node->StayOnTop)
            to_front.push_back(node);
    for (TZAVglutWigits_Node* node : to_front) {
        const bool held_back =
            node->AsWindow() != nullptr && !FrontWindows.empty() &&
            std::find(FrontWindows.begin(), FrontWindows.end(), node) == FrontWindows.end();
        if (!held_back)
            node->BringToFront();
    }
    // Children first, so that a parent sized by its content sees their sizes of this frame.
    for (TZAVglutWigits_Node* node = floating ? parent->FirstFloatingChild : parent->FirstChild;
         node != nullptr; node = node->NextSibling) {
        node->Occluded = false;
        Housekeeping(node, false);
        Housekeeping(node, true);
        node->Layout();
        if (TZAVglutWigits_Window* window = node->AsWindow(); window != nullptr && parent == this)
            KeepInside(window);
    }
}

void TZAVglutWigits_Master::PrepareFrame()
{
    ForEachNode(this, [](TZAVglutWigits_Node* node) { node->PrepareRefresh(); });
    Housekeeping(this, false);
    Housekeeping(this, true);
    Layout();
    Update();
    UpdateNodes(FirstChild);
    UpdateNodes(FirstFloatingChild);
    AbsX = X;
    AbsY = Y;
    PlaceAbsolute(this);
    std::vector<TZAVglutWigits_Rect> covers;
    int64_t tests = 0;
    MarkOccludedInList(LastChild, covers, tests);
    MarkOccludedInList(LastFloatingChild, covers, tests);
    SetOcclusionTestCount(tests);
}

// [SECTION] Drawing

void TZAVglutWigits_Master::Draw()
{
    if (Skins[SkinNormal] != 0)
        return TZAVglutWigits_Node::Draw();
    glClearColor(BackgroundColor[0], BackgroundColor[1], BackgroundColor[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// clip is the window area the node may draw in: its ancestors' rectangles where they all clip.
void TZAVglutWigits_Master::DrawNode(TZAVglutWigits_Node* node, const TZAVglutWigits_Rect& clip)
{
    const TZAVglutWigits_Rect own = node->AbsoluteRect();
    const TZAVglutWigits_Rect visible = clip.Intersect(own);
    SetDrawOrigin(own.X, own.Y);
    if (node->DropShadow) {
        SetDrawClip(clip);
        node->DrawShadow();
    }
    if (!visible.Empty()) {
        // Most nodes lie inside their clip and need no scissor: their quads stay in one batch.
        SetDrawClip(own.Inside(clip) ? NoDrawClip : visible);
        if (own != node->LastDrawn)
            node->OnResize();
        if (node->HasDrawHandler()) {
            FlushTextBatch();
            SetWidgetViewport(visible, own.X, own.Y, Height);
            node->CallDrawHandler();
            ResetWidgetGLState();
            SetWindowProjection(Width, Height);
            SetDrawOrigin(own.X, own.Y);
        } else {
            // Shapes drawn with raw GL inside the node must not end up under text queued before.
            FlushTextUnder(visible);
            node->Draw();
        }
        if (node->Hovered && node->HighlightOnHover) {
            BeginBlending();
            glColor4f(1.0f, 1.0f, 1.0f, HoverHighlightAlpha);
            DrawFilledRect(0.0f, 0.0f, static_cast<float>(own.Width), static_cast<float>(own.Height));
            EndBlending();
        }
        node->LastDrawn = own;
        if (node == Focus) {
            FocusDrawn = true;
            FocusRect = own;
        }
    }
    if (node->ChildrenVisible())
        DrawList(node->FirstChild, node->ClipChildren ? visible : clip);
    DrawList(node->FirstFloatingChild, {0, 0, Width, Height});
}

void TZAVglutWigits_Master::DrawList(TZAVglutWigits_Node* first, const TZAVglutWigits_Rect& clip)
{
    for (TZAVglutWigits_Node* node = first; node != nullptr; node = node->NextSibling)
        if (node->IsVisibleInParent() && !node->HiddenFromDrawing && !node->Occluded)
            DrawNode(node, clip);
}

void TZAVglutWigits_Master::Refresh(bool swap)
{
    NeedsRefresh = false;
    if (!Shown)
        return;
    ResetDrawCallCount();
    ResetWidgetGLState();
    GLboolean double_buffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &double_buffered);
    glDrawBuffer(double_buffered ? GL_BACK : GL_FRONT);
    TZAVglutWigits_Font& font = InterfaceFont(InterfaceFontNumber);
    if (font.TextureId() == 0 || !glIsTexture(font.TextureId()))
        font.Upload();

    PrepareFrame();
    const TZAVglutWigits_Rect window{0, 0, Width, Height};
    FocusDrawn = false;
    SetWindowProjection(Width, Height);
    if (LastDrawn != window)
        OnResize();
    LastDrawn = window;
    if (HasDrawHandler())
        CallDrawHandler();
    else
        Draw();
    DrawList(FirstChild, window);
    DrawList(FirstFloatingChild, window);

    SetDrawOrigin(0, 0);
    SetDrawClip(NoDrawClip);
    glColor3f(1.0f, 1.0f, 1.0f);
    if (FocusDrawn && !HideFocusFrame)
        DrawDottedFrame(static_cast<float>(FocusRect.X - 1), static_cast<float>(FocusRect.Y - 1),
                        static_cast<float>(FocusRect.Width + 2), static_cast<float>(FocusRect.Height + 2));
    if (DragNode != nullptr)
        DrawDottedFrame(static_cast<float>(DragX - DragGrabX), static_cast<float>(DragY - DragGrabY),
                        static_cast<float>(DragNode->Width), static_cast<float>(DragNode->Height));
    FlushTextBatch();
    LastFrameDrawCalls = DrawCallCount();
    if (double_buffered && swap)
        SwapBuffers();
    else
        glFinish();
}

void TZAVglutWigits_Master::DrawSubtreeToFront(TZAVglutWigits_Node* node)
{
    if (node == nullptr || !IsLive(node))
        return;
    FlushTextBatch();
    glDrawBuffer(GL_FRONT);
    SetWindowProjection(Width, Height);
    const TZAVglutWigits_Rect clip = TZAVglutWigits_Rect{0, 0, Width, Height}.Intersect(node->AbsoluteRect());
    if (node->ChildrenVisible())
        DrawList(node->FirstChild, clip);
    FlushTextBatch();
    glFlush();
    GLboolean double_buffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &double_buffered);
    glDrawBuffer(double_buffered ? GL_BACK : GL_FRONT);
}

void TZAVglutWigits_Master::SwapBuffers()
{
    if (WindowId > 0 && glutGetWindow() != 0) {
        glutSetWindow(WindowId);
        glutSwapBuffers();
    }
}
