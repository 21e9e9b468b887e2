// Push and toggle buttons, check boxes, close buttons and scroll bar step buttons.
//
// [SECTION] Shapes
// [SECTION] Button
// [SECTION] Check box
// [SECTION] Close button
// [SECTION] Scroll bar button
#include "widgets/button.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/scroll_bar.h"
#include "widgets/window.h"

namespace {

constexpr int32_t MenuArrowSize = 7;
constexpr int32_t CloseButtonSize = 16;
constexpr float CloseHovered[3] = {0.70f, 0.22f, 0.22f};
constexpr int64_t RepeatDelay = 400;
constexpr int64_t RepeatInterval = 50;

// [SECTION] Shapes
// In coordinates local to the node, like the helpers of draw.h.

void DrawTriangle(const TZAVglutWigits_Node& node, const float* colour, float x0, float y0, float x1,
                  float y1, float x2, float y2)
{
    const float left = static_cast<float>(DrawOriginX()), top = static_cast<float>(DrawOriginY());
    node.SetColor3fv(colour);
    glBegin(GL_TRIANGLES);
    glVertex2f(left + x0, top + y0);
    glVertex2f(left + x1, top + y1);
    glVertex2f(left + x2, top + y2);
    glEnd();
    CountDrawCalls(1);
}

// Connected line segments through count points (x, y pairs).
void DrawPolyline(const TZAVglutWigits_Node& node, const float* colour, const float* points, int32_t count,
                  float width)
{
    const float left = static_cast<float>(DrawOriginX()), top = static_cast<float>(DrawOriginY());
    node.SetColor3fv(colour);
    glLineWidth(width);
    glBegin(GL_LINE_STRIP);
    for (int32_t i = 0; i < count; i++)
        glVertex2f(left + points[2 * i], top + points[2 * i + 1]);
    glEnd();
    glLineWidth(1.0f);
    CountDrawCalls(1);
}

} // namespace

// [SECTION] Button

TZAVglutWigits_Button::TZAVglutWigits_Button(TZAVglutWigits_Node* parent, std::string_view text,
                                             std::unique_ptr<TZAVEvent> click_event)
    : TZAVglutWigits_Node(parent)
{
    Clickable = true;
    Height = 22;
    ClickEvent = std::move(click_event);
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    std::copy(std::begin(ControlLook::TextDisabled), std::end(ControlLook::TextDisabled), DisabledLabelColor);
    SetText(text, false);
}

TZAVglutWigits_Button::~TZAVglutWigits_Button()
{
    AttachMenu(nullptr);
}

void TZAVglutWigits_Button::AttachMenu(TZAVglutWigits_Menu* menu)
{
    if (menu == AttachedMenu)
        return;
    if (AttachedMenu != nullptr) {
        AttachedMenu->Holder = nullptr;
        delete AttachedMenu;
    }
    AttachedMenu = menu;
    if (menu == nullptr)
        return;
    if (menu->Holder != nullptr)
        menu->Holder->AttachedMenu = nullptr;
    menu->Holder = this;
    menu->Owner = this;
}

TZAVglutWigits_Node* TZAVglutWigits_Button::GetAttachedMenu() const
{
    return AttachedMenu;
}

void TZAVglutWigits_Button::OpenMenu()
{
    if (AttachedMenu == nullptr)
        return;
    AttachedMenu->OpenMenuFor(this);
    Invalidate();
}

void TZAVglutWigits_Button::ToggleMenu()
{
    if (AttachedMenu == nullptr)
        return;
    if (!AttachedMenu->Shown)
        return OpenMenu();
    if (TZAVglutWigits_Master* master = GetMaster())
        master->CloseMenus();
    else
        AttachedMenu->Hide();
}

bool TZAVglutWigits_Button::LooksPressed() const
{
    const TZAVglutWigits_Master* master = GetMaster();
    return Pressed && master != nullptr && master->HoveredNode == this;
}

void TZAVglutWigits_Button::SetDown(bool down)
{
    Down = down;
    if (BoundInteger != nullptr && (down || Group == 0))
        *BoundInteger = down ? DownValue : UpValue;
    if (down && Group != 0 && Parent != nullptr)
        for (TZAVglutWigits_Node* node = Floating ? Parent->FirstFloatingChild : Parent->FirstChild;
             node != nullptr; node = node->NextSibling) {
            auto* sibling = dynamic_cast<TZAVglutWigits_Button*>(node);
            if (sibling != nullptr && sibling != this && sibling->Group == Group)
                sibling->Down = false;
        }
    Invalidate();
}

void TZAVglutWigits_Button::ApplyClick()
{
    if (Mode == TZAVglutWigits_ButtonMode::Toggle)
        SetDown(Group != 0 || !Down);
}

bool TZAVglutWigits_Button::OnClick(int32_t x, int32_t y)
{
    ApplyClick();
    if (AttachedMenu == nullptr)
        return TZAVglutWigits_Node::OnClick(x, y);
    // A hot key or Enter: no press has opened or closed the menu.
    if (x < 0 && y < 0)
        ToggleMenu();
    ClickDelivered = true;
    return PostEventCopy(ClickEvent.get(), x, y);
}

void TZAVglutWigits_Button::OnMouseEnter(int32_t x, int32_t y)
{
    TZAVglutWigits_Node::OnMouseEnter(x, y);
    Invalidate();
}

void TZAVglutWigits_Button::OnMouseLeave(int32_t x, int32_t y, TZAVglutWigits_Node* new_node)
{
    TZAVglutWigits_Node::OnMouseLeave(x, y, new_node);
    Invalidate();
}

// The menu opens on the press, so that the mouse can be dragged down onto an entry.
void TZAVglutWigits_Button::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft)
        Pressed = state == MouseDown;
    if (button == MouseLeft && state == MouseDown)
        ToggleMenu();
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

bool TZAVglutWigits_Button::OnKey(int32_t key)
{
    return AttachedMenu != nullptr && AttachedMenu->Shown && AttachedMenu->OnKey(key);
}

bool TZAVglutWigits_Button::OnSpecialKey(int32_t key)
{
    return AttachedMenu != nullptr && AttachedMenu->Shown && AttachedMenu->OnSpecialKey(key);
}

void TZAVglutWigits_Button::Update()
{
    if (BoundInteger != nullptr && Mode == TZAVglutWigits_ButtonMode::Toggle)
        Down = *BoundInteger == DownValue;
}

void TZAVglutWigits_Button::Layout()
{
    if (AttachedMenu != nullptr)
        LabelWidth = TextWidth(Name) + 2 * HorizontalPadding + MenuArrowSize + HorizontalPadding;
    TZAVglutWigits_Node::Layout();
}

void TZAVglutWigits_Button::DrawFace(const float* fill)
{
    const float width = static_cast<float>(Width), height = static_cast<float>(Height);
    SetColor3fv(fill);
    DrawFilledRect(0.0f, 0.0f, width, height);
    if (Picture != 0) {
        SetColor3f(1.0f, 1.0f, 1.0f);
        DrawTexturedQuad(Picture, (width - PictureWidth) / 2, (height - PictureHeight) / 2,
                         static_cast<float>(PictureWidth), static_cast<float>(PictureHeight));
    }
    if (BorderWidth > 0) {
        SetColor3fv(ControlLook::Border);
        DrawFrameRect(0.0f, 0.0f, width, height, static_cast<float>(BorderWidth));
    }
}

void TZAVglutWigits_Button::DrawMenuArrow()
{
    const float right = static_cast<float>(Width - BorderWidth - HorizontalPadding);
    const float middle = Height / 2.0f;
    const float half = MenuArrowSize / 2.0f;
    DrawTriangle(*this, IsEnabledChain() ? ControlLook::Text : ControlLook::TextDisabled,
                 right - MenuArrowSize, middle - half / 2, right, middle - half / 2, right - half,
                 middle + half / 2);
}

void TZAVglutWigits_Button::Draw()
{
    const bool enabled = IsEnabledChain();
    const float* fill = ControlLook::Fill;
    if (Down)
        fill = enabled && Hovered ? ControlLook::AccentHovered : ControlLook::Accent;
    else if (enabled && LooksPressed())
        fill = ControlLook::FillPressed;
    else if (enabled && Hovered)
        fill = ControlLook::FillHovered;
    DrawFace(fill);
    if (AttachedMenu != nullptr)
        DrawMenuArrow();
    DrawLabel();
}

void TZAVglutWigits_Button::DrawLabel()
{
    if (Down && IsEnabledChain())
        return DrawLabelInColor(ControlLook::TextSelected);
    TZAVglutWigits_Node::DrawLabel();
}

// [SECTION] Check box

TZAVglutWigits_CheckBox::TZAVglutWigits_CheckBox(TZAVglutWigits_Node* parent, std::string_view text,
                                                 std::unique_ptr<TZAVEvent> click_event)
    : TZAVglutWigits_Button(parent, text, std::move(click_event))
{
    Mode = TZAVglutWigits_ButtonMode::Toggle;
    LabelAlignment = TZAVglutWigits_Alignment::Left;
    BorderWidth = 0;
    AutoSize = true;
}

int32_t TZAVglutWigits_CheckBox::BoxSize() const
{
    return std::max(8, LineHeight() - 2);
}

bool TZAVglutWigits_CheckBox::OnClick(int32_t x, int32_t y)
{
    ApplyClick();
    if (ClickEvent != nullptr)
        ClickEvent->IntegerParameters[0] = Down ? 1 : 0;
    return TZAVglutWigits_Node::OnClick(x, y);
}

// The label starts after the box: the left padding makes room for it.
void TZAVglutWigits_CheckBox::Layout()
{
    HorizontalPadding = BoxSize() + 6;
    LabelWidth = HorizontalPadding + TextWidth(Name) + 4;
    TZAVglutWigits_Node::Layout();
}

void TZAVglutWigits_CheckBox::Draw()
{
    const float size = static_cast<float>(BoxSize());
    const float left = 2.0f, top = std::floor((Height - size) / 2.0f);
    const bool enabled = IsEnabledChain();
    SetColor3fv(Down ? ControlLook::Accent : ControlLook::Well);
    DrawFilledRect(left, top, size, size);
    SetColor3fv(enabled && Hovered ? ControlLook::BorderFocused : ControlLook::Border);
    DrawFrameRect(left, top, size, size, 1.0f);
    if (Down) {
        const float mark[6] = {left + size * 0.22f, top + size * 0.52f,  left + size * 0.42f,
                               top + size * 0.74f,  left + size * 0.78f, top + size * 0.28f};
        DrawPolyline(*this, enabled ? ControlLook::TextSelected : ControlLook::TextDisabled, mark, 3, 2.0f);
    }
    TZAVglutWigits_Node::DrawLabel();
}

// [SECTION] Close button

TZAVglutWigits_CloseButton::TZAVglutWigits_CloseButton(TZAVglutWigits_Node* parent)
    : TZAVglutWigits_Button(parent)
{
    Width = CloseButtonSize;
    Height = CloseButtonSize;
    ShowLabel = false;
    SetNameLiteral("Close");
}

bool TZAVglutWigits_CloseButton::OnClick(int32_t x, int32_t y)
{
    if (TZAVglutWigits_Window* window = GetWindow()) {
        window->ClosedByUser = true;
        window->Hide();
    } else if (Parent != nullptr) {
        Parent->Hide();
    }
    return TZAVglutWigits_Button::OnClick(x, y);
}

void TZAVglutWigits_CloseButton::Draw()
{
    const bool enabled = IsEnabledChain();
    DrawFace(enabled && LooksPressed() ? ControlLook::FillPressed
             : enabled && Hovered      ? CloseHovered
                                       : ControlLook::Fill);
    const float inset = std::max(3.0f, std::min(Width, Height) * 0.28f);
    const float right = Width - inset, bottom = Height - inset;
    const float* colour = enabled ? ControlLook::Text : ControlLook::TextDisabled;
    const float first[4] = {inset, inset, right, bottom};
    const float second[4] = {right, inset, inset, bottom};
    DrawPolyline(*this, colour, first, 2, 1.5f);
    DrawPolyline(*this, colour, second, 2, 1.5f);
}

// [SECTION] Scroll bar button

TZAVglutWigits_ScrollBarButton::TZAVglutWigits_ScrollBarButton(TZAVglutWigits_ScrollBar* bar,
                                                               int32_t direction)
    : TZAVglutWigits_Button(bar), Direction(direction)
{
    ShowLabel = false;
    SetNameLiteral(direction < 0 ? "Scroll back" : "Scroll on");
}

TZAVglutWigits_ScrollBar* TZAVglutWigits_ScrollBarButton::Bar() const
{
    return dynamic_cast<TZAVglutWigits_ScrollBar*>(Parent);
}

bool TZAVglutWigits_ScrollBarButton::OnClick(int32_t x, int32_t y)
{
    // A hot key clicks without a press; a held button has stepped already.
    if (!Repeated)
        if (TZAVglutWigits_ScrollBar* bar = Bar())
            bar->Step(Direction);
    Repeated = false;
    return TZAVglutWigits_Node::OnClick(x, y);
}

void TZAVglutWigits_ScrollBarButton::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft && state == MouseDown) {
        const TZAVglutWigits_Master* master = GetMaster();
        PressTime = master != nullptr ? master->Now() : 0;
        LastRepeat = PressTime;
        Repeated = false;
    }
    TZAVglutWigits_Button::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_ScrollBarButton::OnTick()
{
    const TZAVglutWigits_Master* master = GetMaster();
    if (!LooksPressed() || master == nullptr)
        return;
    const int64_t now = master->Now();
    if (now - PressTime < RepeatDelay || now - LastRepeat < RepeatInterval)
        return;
    LastRepeat = now;
    Repeated = true;
    if (TZAVglutWigits_ScrollBar* bar = Bar())
        bar->Step(Direction);
}

void TZAVglutWigits_ScrollBarButton::OnGetFocus()
{
    if (TZAVglutWigits_ScrollBar* bar = Bar())
        bar->PassFocusToOwner();
}

void TZAVglutWigits_ScrollBarButton::Draw()
{
    const bool enabled = IsEnabledChain();
    DrawFace(enabled && LooksPressed() ? ControlLook::FillPressed
             : enabled && Hovered      ? ControlLook::FillHovered
                                       : ControlLook::Fill);
    const TZAVglutWigits_ScrollBar* bar = Bar();
    const bool vertical = bar == nullptr || bar->Orientation == TZAVglutWigits_Orientation::Vertical;
    const float cx = Width / 2.0f, cy = Height / 2.0f;
    const float half = std::max(2.0f, std::min(Width, Height) / 4.0f);
    const float sign = static_cast<float>(Direction < 0 ? -1 : 1);
    const float* colour = enabled ? ControlLook::Text : ControlLook::TextDisabled;
    if (vertical)
        DrawTriangle(*this, colour, cx - half, cy - sign * half / 2, cx + half, cy - sign * half / 2, cx,
                     cy + sign * half / 2);
    else
        DrawTriangle(*this, colour, cx - sign * half / 2, cy - half, cx - sign * half / 2, cy + half,
                     cx + sign * half / 2, cy);
}
