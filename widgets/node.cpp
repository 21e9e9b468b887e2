// The widget node: tree links, queries, base layout, base input handlers and base drawing.
//
// [SECTION] Tree
// [SECTION] Queries
// [SECTION] Input handlers
// [SECTION] Colour
// [SECTION] Layout and geometry
// [SECTION] Drawing
#include "widgets/node.h"

#include <GL/gl.h>

#include <algorithm>
#include <utility>

#include "core/event_queue.h"
#include "core/report.h"
#include "widgets/draw.h"
#include "widgets/font.h"
#include "widgets/master.h"
#include "widgets/window.h"

namespace {

constexpr float BorderColor[3] = {0.4f, 0.4f, 0.4f};
constexpr float DimFactor = 0.8f;
constexpr float ShadowOffset = 4.0f;
constexpr int32_t DefaultFontNumber = 2;

} // namespace

TZAVglutWigits_Rect TZAVglutWigits_Rect::Intersect(const TZAVglutWigits_Rect& other) const
{
    const int32_t left = std::max(X, other.X);
    const int32_t top = std::max(Y, other.Y);
    const int32_t right = std::min(X + Width, other.X + other.Width);
    const int32_t bottom = std::min(Y + Height, other.Y + other.Height);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

// [SECTION] Tree

TZAVglutWigits_Node::TZAVglutWigits_Node(TZAVglutWigits_Node* parent)
{
    if (parent != nullptr)
        parent->AddChild(this);
}

TZAVglutWigits_Node::~TZAVglutWigits_Node()
{
    DeleteChildren();
    while (FirstFloatingChild != nullptr)
        delete FirstFloatingChild;
    if (Parent != nullptr) {
        if (Parent->VerticalScrollBar == this)
            Parent->VerticalScrollBar = nullptr;
        if (Parent->HorizontalScrollBar == this)
            Parent->HorizontalScrollBar = nullptr;
    }
    Unlink();
    // A Master removes itself from the list before its nodes go, so none is half destroyed here.
    TZAVStaticList<TZAVglutWigits_MasterPtr>& masters = MasterList();
    for (int32_t i = 0; i < masters.Count(); i++)
        masters.Data()[i]->ForgetNode(this);
}

void TZAVglutWigits_Node::LinkLast(TZAVglutWigits_Node* node, bool floating)
{
    TZAVglutWigits_Node*& first = floating ? FirstFloatingChild : FirstChild;
    TZAVglutWigits_Node*& last = floating ? LastFloatingChild : LastChild;
    node->Parent = this;
    node->Floating = floating;
    node->PrevSibling = last;
    node->NextSibling = nullptr;
    if (last != nullptr)
        last->NextSibling = node;
    else
        first = node;
    last = node;
}

void TZAVglutWigits_Node::AddChild(TZAVglutWigits_Node* node)
{
    if (node == nullptr || node == this)
        return;
    node->Unlink();
    LinkLast(node, false);
    node->CopySkins();
}

void TZAVglutWigits_Node::AddChildFirst(TZAVglutWigits_Node* node)
{
    if (node == nullptr || node == this)
        return;
    node->Unlink();
    node->Parent = this;
    node->Floating = false;
    node->PrevSibling = nullptr;
    node->NextSibling = FirstChild;
    if (FirstChild != nullptr)
        FirstChild->PrevSibling = node;
    else
        LastChild = node;
    FirstChild = node;
    node->CopySkins();
}

void TZAVglutWigits_Node::InsertAfter(TZAVglutWigits_Node* node)
{
    if (node == nullptr || node == this || Parent == nullptr)
        return;
    node->Unlink();
    node->Parent = Parent;
    node->Floating = Floating;
    node->PrevSibling = this;
    node->NextSibling = NextSibling;
    if (NextSibling != nullptr)
        NextSibling->PrevSibling = node;
    else
        (Floating ? Parent->LastFloatingChild : Parent->LastChild) = node;
    NextSibling = node;
    node->CopySkins();
}

void TZAVglutWigits_Node::AddFloatingChild(TZAVglutWigits_Node* node)
{
    if (node == nullptr || node == this)
        return;
    node->Unlink();
    LinkLast(node, true);
    node->CopySkins();
}

void TZAVglutWigits_Node::Unlink()
{
    if (Parent == nullptr)
        return;
    TZAVglutWigits_Node*& first = Floating ? Parent->FirstFloatingChild : Parent->FirstChild;
    TZAVglutWigits_Node*& last = Floating ? Parent->LastFloatingChild : Parent->LastChild;
    if (PrevSibling != nullptr)
        PrevSibling->NextSibling = NextSibling;
    else
        first = NextSibling;
    if (NextSibling != nullptr)
        NextSibling->PrevSibling = PrevSibling;
    else
        last = PrevSibling;
    Parent = nullptr;
    PrevSibling = nullptr;
    NextSibling = nullptr;
    Floating = false;
}

void TZAVglutWigits_Node::DeleteChildren()
{
    while (FirstChild != nullptr)
        delete FirstChild;
}

void TZAVglutWigits_Node::BringToFront()
{
    TZAVglutWigits_Node* parent = Parent;
    const bool floating = Floating;
    if (parent == nullptr || (floating ? parent->LastFloatingChild : parent->LastChild) == this)
        return;
    Unlink();
    parent->LinkLast(this, floating);
}

void TZAVglutWigits_Node::CopySkins()
{
    if (const TZAVglutWigits_Master* master = GetMaster())
        std::copy(std::begin(master->MasterSkins), std::end(master->MasterSkins), Skins);
}

void TZAVglutWigits_Node::SetScrollBars(TZAVglutWigits_Node* vertical, TZAVglutWigits_Node* horizontal)
{
    VerticalScrollBar = vertical;
    HorizontalScrollBar = horizontal;
    if (vertical != nullptr)
        AddFloatingChild(vertical);
    if (horizontal != nullptr)
        AddFloatingChild(horizontal);
}

// [SECTION] Queries

TZAVglutWigits_Master* TZAVglutWigits_Node::GetMaster() const
{
    TZAVglutWigits_Node* root = const_cast<TZAVglutWigits_Node*>(this);
    while (root->Parent != nullptr)
        root = root->Parent;
    return root->AsMaster();
}

TZAVglutWigits_Window* TZAVglutWigits_Node::GetWindow()
{
    for (TZAVglutWigits_Node* node = this; node != nullptr; node = node->Parent)
        if (TZAVglutWigits_Window* window = node->AsWindow())
            return window;
    return nullptr;
}

bool TZAVglutWigits_Node::Contains(const TZAVglutWigits_Node* node) const
{
    if (node == nullptr)
        return false;
    if (node == this)
        return true;
    for (const TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling)
        if (child->Contains(node))
            return true;
    for (const TZAVglutWigits_Node* child = FirstFloatingChild; child != nullptr; child = child->NextSibling)
        if (child->Contains(node))
            return true;
    return false;
}

bool TZAVglutWigits_Node::IsEnabledChain() const
{
    for (const TZAVglutWigits_Node* node = this; node != nullptr; node = node->Parent)
        if (!node->Enabled)
            return false;
    return true;
}

bool TZAVglutWigits_Node::HasFocus() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return master != nullptr && master->Focus == this;
}

bool TZAVglutWigits_Node::IsShownChain() const
{
    for (const TZAVglutWigits_Node* node = this; node != nullptr; node = node->Parent)
        if (!node->Shown)
            return false;
    return true;
}

// A clipped child scrolled wholly above or below its parent cannot be seen or hit.
bool TZAVglutWigits_Node::IsVisibleInParent() const
{
    if (!Shown)
        return false;
    if (Floating || Parent == nullptr || !Parent->ClipChildren)
        return true;
    const int32_t top = Y + Parent->ScrollY;
    return top + Height >= 0 && top <= Parent->Height;
}

const TZAVglutWigits_Font& TZAVglutWigits_Node::Font() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return InterfaceFont(master != nullptr ? master->InterfaceFontNumber : DefaultFontNumber);
}

int32_t TZAVglutWigits_Node::LineHeight() const
{
    const int32_t height = Font().LineHeight();
    return height > 0 ? height : FontHeight;
}

int32_t TZAVglutWigits_Node::TextWidth(std::string_view text) const
{
    return Font().TextWidth(text);
}

bool TZAVglutWigits_Node::IsAltDown() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return master != nullptr && master->IsAltDown();
}

bool TZAVglutWigits_Node::IsCtrlDown() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return master != nullptr && master->IsCtrlDown();
}

bool TZAVglutWigits_Node::IsShiftDown() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return master != nullptr && master->IsShiftDown();
}

// [SECTION] Input handlers

bool TZAVglutWigits_Node::PostEventCopy(const TZAVEvent* prototype, int32_t x, int32_t y, const char* text)
{
    if (prototype == nullptr)
        return false;
    auto copy = std::make_unique<TZAVEvent>(*prototype);
    copy->SetX(x);
    copy->SetY(y);
    copy->SetWindowX(AbsX + x);
    copy->SetWindowY(AbsY + y);
    copy->SetSender(this);
    if (text != nullptr)
        copy->AddStringParameter(text, 0);
    PostEvent(copy.release());
    return true;
}

void TZAVglutWigits_Node::RunHandler(TZAVEvent* prototype, int32_t x, int32_t y, int32_t first,
                                     int32_t second)
{
    if (prototype == nullptr || prototype->Handler == nullptr)
        return;
    prototype->SetX(x);
    prototype->SetY(y);
    prototype->SetWindowX(AbsX + x);
    prototype->SetWindowY(AbsY + y);
    prototype->IntegerParameters[0] = first;
    prototype->IntegerParameters[1] = second;
    prototype->SetSender(this);
    prototype->Handler(prototype);
}

bool TZAVglutWigits_Node::OnClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnClick(x + X, y + Y);
    if (Parent != nullptr && Parent->IsMenu() && Name != "-")
        if (TZAVglutWigits_Master* master = GetMaster())
            master->CloseMenus();
    return PostEventCopy(ClickEvent.get(), x, y);
}

bool TZAVglutWigits_Node::OnRightClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnRightClick(x + X, y + Y);
    return PostEventCopy(RightClickEvent.get(), x, y);
}

bool TZAVglutWigits_Node::OnDoubleClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnDoubleClick(x + X, y + Y);
    return PostEventCopy(DoubleClickEvent.get(), x, y);
}

void TZAVglutWigits_Node::OnMouseDrag(int32_t x, int32_t y)
{
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnMouseDrag(x + X, y + Y);
    RunHandler(MouseDragEvent.get(), x, y);
}

void TZAVglutWigits_Node::OnPassiveMotion(int32_t x, int32_t y)
{
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnPassiveMotion(x + X, y + Y);
    RunHandler(PassiveMotionEvent.get(), x, y);
}

void TZAVglutWigits_Node::OnMouseEnter(int32_t, int32_t)
{
    Hovered = true;
    if (HighlightOnHover)
        Invalidate();
}

void TZAVglutWigits_Node::OnMouseLeave(int32_t, int32_t, TZAVglutWigits_Node*)
{
    Hovered = false;
    if (HighlightOnHover)
        Invalidate();
}

void TZAVglutWigits_Node::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (ForwardMouseToParent && Parent != nullptr)
        return Parent->OnMouseButton(button, state, x + X, y + Y);
    RunHandler(MouseButtonEvent.get(), x, y, button, state);
}

void TZAVglutWigits_Node::CallDrawHandler()
{
    if (DrawEvent == nullptr || DrawEvent->Handler == nullptr)
        return;
    DrawEvent->SetX(AbsX);
    DrawEvent->SetY(AbsY);
    DrawEvent->IntegerParameters[0] = Width;
    DrawEvent->IntegerParameters[1] = Height;
    DrawEvent->SetSender(this);
    DrawEvent->Handler(DrawEvent.get());
}

void TZAVglutWigits_Node::OnLoseFocus()
{
    if (HideOnFocusLoss)
        Hide();
}

void TZAVglutWigits_Node::OnResize()
{
    RunHandler(ResizeEvent.get(), 0, 0, Width, Height);
}

bool TZAVglutWigits_Node::OnDrop(const char* text, int32_t x, int32_t y)
{
    return PostEventCopy(DropEvent.get(), x, y, text != nullptr ? text : "");
}

void TZAVglutWigits_Node::Invalidate()
{
    if (TZAVglutWigits_Master* master = GetMaster())
        master->RequestRedisplay();
}

void TZAVglutWigits_Node::Invalidate(const TZAVglutWigits_Rect&)
{
    Invalidate();
}

// [SECTION] Colour

// Nodes outside the active window dim, unless they or an ancestor opted out.
void TZAVglutWigits_Node::AdjustColor(const float* in, float* out) const
{
    std::copy(in, in + 3, out);
    for (const TZAVglutWigits_Node* node = this; node != nullptr; node = node->Parent)
        if (!node->DimWhenInactive)
            return;
    const TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr || !master->DimInactiveWindows || master->ActiveWindow == nullptr)
        return;
    if (master->ActiveWindow->Contains(this))
        return;
    for (int32_t i = 0; i < 3; i++)
        out[i] = std::clamp(in[i] * DimFactor, 0.0f, 1.0f);
}

void TZAVglutWigits_Node::SetColor3fv(const float* colour) const
{
    float adjusted[3];
    AdjustColor(colour, adjusted);
    glColor3fv(adjusted);
}

void TZAVglutWigits_Node::SetColor3f(float red, float green, float blue) const
{
    const float colour[3] = {red, green, blue};
    SetColor3fv(colour);
}

void TZAVglutWigits_Node::SetColor4fv(const float* colour) const
{
    float adjusted[3];
    AdjustColor(colour, adjusted);
    glColor4f(adjusted[0], adjusted[1], adjusted[2], colour[3]);
}

void TZAVglutWigits_Node::SetColor4f(float red, float green, float blue, float alpha) const
{
    const float colour[4] = {red, green, blue, alpha};
    SetColor4fv(colour);
}

// [SECTION] Layout and geometry

TZAVglutWigits_Rect TZAVglutWigits_Node::GetChildrenBounds() const
{
    bool any = false;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    for (const TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown)
            continue;
        left = any ? std::min(left, child->X) : child->X;
        top = any ? std::min(top, child->Y) : child->Y;
        right = any ? std::max(right, child->X + child->Width) : child->X + child->Width;
        bottom = any ? std::max(bottom, child->Y + child->Height) : child->Y + child->Height;
        any = true;
    }
    return {left, top, right - left, bottom - top};
}

TZAVglutWigits_Rect TZAVglutWigits_Node::GetChildrenBoundsRecursive() const
{
    TZAVglutWigits_Rect bounds = GetChildrenBounds();
    for (const TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown || !child->ChildrenVisible() || child->FirstChild == nullptr)
            continue;
        TZAVglutWigits_Rect inner = child->GetChildrenBoundsRecursive();
        if (inner.Empty())
            continue;
        inner.X += child->X;
        inner.Y += child->Y;
        const int32_t right = std::max(bounds.X + bounds.Width, inner.X + inner.Width);
        const int32_t bottom = std::max(bounds.Y + bounds.Height, inner.Y + inner.Height);
        bounds.X = std::min(bounds.X, inner.X);
        bounds.Y = std::min(bounds.Y, inner.Y);
        bounds.Width = right - bounds.X;
        bounds.Height = bottom - bounds.Y;
    }
    return bounds;
}

void TZAVglutWigits_Node::ArrangeChildren()
{
    int32_t y = BorderWidth + VerticalPadding;
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown)
            continue;
        child->X = BorderWidth + HorizontalPadding;
        child->Y = y;
        y += child->Height;
    }
}

void TZAVglutWigits_Node::Layout()
{
    if (AutoArrange)
        ArrangeChildren();
    const TZAVglutWigits_Rect bounds = GetChildrenBounds();
    int32_t content_width = bounds.Width + 2 * (BorderWidth + HorizontalPadding);
    int32_t content_height = bounds.Height + 2 * (BorderWidth + VerticalPadding);
    if (ShowLabel) {
        content_width = std::max(content_width, LabelWidth);
        content_height = std::max(content_height, LineHeight() + ExtraLineHeight);
    }
    if (AutoSize) {
        Width = content_width;
        Height = content_height;
    }
    LayoutScrollBars(content_width, content_height);
}

void TZAVglutWigits_Node::SetScrollRange(int32_t, int32_t) {}

// The vertical bar runs down the right edge, the horizontal one along the bottom; each leaves the
// corner to the other. The scroll offset follows the bar's position.
void TZAVglutWigits_Node::LayoutScrollBars(int32_t content_width, int32_t content_height)
{
    TZAVglutWigits_Node* vertical =
        VerticalScrollBar != nullptr && VerticalScrollBar->Shown ? VerticalScrollBar : nullptr;
    TZAVglutWigits_Node* horizontal =
        HorizontalScrollBar != nullptr && HorizontalScrollBar->Shown ? HorizontalScrollBar : nullptr;
    const int32_t bar_width = vertical != nullptr ? vertical->Width : 0;
    const int32_t bar_height = horizontal != nullptr ? horizontal->Height : 0;
    if (vertical != nullptr) {
        vertical->X = Width - bar_width;
        vertical->Y = 0;
        vertical->Height = Height - bar_height;
        vertical->SetScrollRange(std::max(0, content_height - Height), Height / 4);
        ScrollY = -vertical->GetScrollPosition();
    }
    if (horizontal != nullptr) {
        horizontal->X = 0;
        horizontal->Y = Height - bar_height;
        horizontal->Width = Width - bar_width;
        horizontal->SetScrollRange(std::max(0, content_width - Width), Width / 4);
        ScrollX = -horizontal->GetScrollPosition();
    }
}

void TZAVglutWigits_Node::SetText(std::string_view text, bool relayout)
{
    SetNameLiteral(text);
    LabelWidth = TextWidth(text) + 2 * HorizontalPadding;
    if (relayout)
        Layout();
}

void TZAVglutWigits_Node::Hide()
{
    Shown = false;
    Invalidate();
}

void TZAVglutWigits_Node::Show()
{
    Shown = true;
}

void TZAVglutWigits_Node::SetPosition(int32_t x, int32_t y)
{
    if (x == X && y == Y)
        return;
    X = x;
    Y = y;
    if (Shown)
        Invalidate();
}

void TZAVglutWigits_Node::SetAbsolutePosition(int32_t x, int32_t y)
{
    if (Parent == nullptr)
        return SetPosition(x, y);
    const int32_t scroll_x = Floating ? 0 : Parent->ScrollX;
    const int32_t scroll_y = Floating ? 0 : Parent->ScrollY;
    SetPosition(x - Parent->AbsX - scroll_x, y - Parent->AbsY - scroll_y);
}

// [SECTION] Drawing
// Every Draw works in coordinates local to the node (the drawing origin is its top-left corner).

void TZAVglutWigits_Node::Draw()
{
    const float width = static_cast<float>(Width);
    const float height = static_cast<float>(Height);
    uint32_t skin = Skins[SkinNormal];
    if (!IsEnabledChain() && Skins[SkinDisabled] != 0)
        skin = Skins[SkinDisabled];
    else if (Hovered && Skins[SkinHovered] != 0)
        skin = Skins[SkinHovered];
    if (skin != 0) {
        SetColor3f(1.0f, 1.0f, 1.0f);
        DrawTexturedQuad(skin, 0.0f, 0.0f, width, height);
    } else if (DrawFrame) {
        SetColor3fv(BackgroundColor);
        DrawFilledRect(0.0f, 0.0f, width, height);
    }
    if (Picture != 0) {
        SetColor3f(1.0f, 1.0f, 1.0f);
        const float inset = static_cast<float>(BorderWidth);
        if (StretchPicture)
            DrawTexturedQuad(Picture, inset, inset, width - 2 * inset, height - 2 * inset);
        else
            DrawTexturedQuad(Picture, (width - PictureWidth) / 2, (height - PictureHeight) / 2,
                             static_cast<float>(PictureWidth), static_cast<float>(PictureHeight));
    }
    if (DrawFrame && BorderWidth > 0) {
        SetColor3fv(BorderColor);
        DrawFrameRect(0.0f, 0.0f, width, height, static_cast<float>(BorderWidth));
    }
    DrawLabel();
}

void TZAVglutWigits_Node::DrawForeground()
{
    ReportError("TZAVglutWigits_Node::DrawForeground() is not supported");
}

void TZAVglutWigits_Node::DrawChildrenToFront()
{
    if (TZAVglutWigits_Master* master = GetMaster())
        master->DrawSubtreeToFront(this);
}

void TZAVglutWigits_Node::DrawShadow()
{
    DrawShadowRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height), ShadowOffset);
}

void TZAVglutWigits_Node::DrawLabel()
{
    DrawLabelInColor(IsEnabledChain() ? LabelColor : DisabledLabelColor);
}

void TZAVglutWigits_Node::DrawLabelInColor(const float* colour)
{
    DrawText(Name, colour);
}

void TZAVglutWigits_Node::DrawText(std::string_view text, const float* colour)
{
    if (!ShowLabel || text.empty())
        return;
    const TZAVglutWigits_Font& font = Font();
    const int32_t text_width = font.TextWidth(text);
    const int32_t inset_x = BorderWidth + HorizontalPadding;
    int32_t x = (Width - text_width) / 2;
    int32_t y = (Height - LineHeight()) / 2;
    switch (LabelAlignment) {
    case TZAVglutWigits_Alignment::Centred:
        break;
    case TZAVglutWigits_Alignment::Left:
        x = inset_x;
        break;
    case TZAVglutWigits_Alignment::Right:
        x = Width - text_width - inset_x;
        break;
    case TZAVglutWigits_Alignment::TopLeft:
        x = inset_x;
        y = BorderWidth + VerticalPadding;
        break;
    }
    // The font queues its glyphs in window coordinates, in colours adjusted here.
    const float left = static_cast<float>(x + DrawOriginX());
    const float top = static_cast<float>(y + DrawOriginY());
    if (LabelHalo) {
        const float halo[4] = {0.0f, 0.0f, 0.0f, 0.0625f};
        for (int32_t i = 0; i < 5; i++)
            for (int32_t j = 0; j < 5; j++) {
                font.Queue(text, left + static_cast<float>(i), top + static_cast<float>(j), halo);
                font.Queue(text, left - static_cast<float>(i), top - static_cast<float>(j), halo);
            }
    }
    float adjusted[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (LabelShadow) {
        const float shadow[3] = {0.7f, 0.7f, 0.7f};
        AdjustColor(shadow, adjusted);
        font.Queue(text, left + 1.0f, top + 1.0f, adjusted);
    }
    AdjustColor(colour, adjusted);
    font.Queue(text, left, top, adjusted);
}
