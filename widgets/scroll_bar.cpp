// Scroll bars and their handles.
#include "widgets/scroll_bar.h"

#include <algorithm>
#include <cmath>

#include "core/report.h"
#include "widgets/button.h"
#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/master.h"

namespace {

constexpr int32_t BarThickness = 14;
constexpr int32_t MinimumHandleLength = 12;

} // namespace

TZAVglutWigits_ScrollBar::TZAVglutWigits_ScrollBar(TZAVglutWigits_Node* owner,
                                                   TZAVglutWigits_Orientation orientation)
    : Orientation(orientation)
{
    Width = BarThickness;
    Height = BarThickness;
    ShowLabel = false;
    Clickable = true;
    AcceptsDoubleClick = false;
    BorderWidth = 0;
    SetNameLiteral("Scroll bar");
    LessButton = new TZAVglutWigits_ScrollBarButton(this, -1);
    MoreButton = new TZAVglutWigits_ScrollBarButton(this, 1);
    Handle = new TZAVglutWigits_ScrollBarHandle(this);
    if (owner == nullptr)
        return;
    (Vertical() ? owner->VerticalScrollBar : owner->HorizontalScrollBar) = this;
    owner->AddFloatingChild(this);
}

int32_t TZAVglutWigits_ScrollBar::VisibleLength() const
{
    if (Parent == nullptr)
        return Length();
    return Vertical() ? Parent->Height : Parent->Width;
}

int32_t TZAVglutWigits_ScrollBar::TrackStart() const
{
    return std::min(Thickness(), Length() / 2);
}

int32_t TZAVglutWigits_ScrollBar::TrackLength() const
{
    return std::max(0, Length() - 2 * TrackStart());
}

// As long against the track as one screen is against the whole content.
int32_t TZAVglutWigits_ScrollBar::HandleLength() const
{
    const int32_t track = TrackLength();
    if (ScrollRange <= 0)
        return track;
    const int32_t visible = std::max(1, VisibleLength());
    const int64_t length = int64_t(track) * visible / (int64_t(visible) + ScrollRange);
    return std::min(track, std::max(MinimumHandleLength, static_cast<int32_t>(length)));
}

int32_t TZAVglutWigits_ScrollBar::HandleStart() const
{
    if (ScrollRange <= 0)
        return TrackStart();
    const int64_t free = TrackLength() - HandleLength();
    return TrackStart() + static_cast<int32_t>(free * Position / ScrollRange);
}

void TZAVglutWigits_ScrollBar::PlaceParts()
{
    const int32_t button = TrackStart();
    const int32_t thickness = Thickness();
    const int32_t start = HandleStart(), length = HandleLength();
    TZAVglutWigits_Node* parts[3] = {LessButton, MoreButton, Handle};
    const int32_t starts[3] = {0, Length() - button, start};
    const int32_t lengths[3] = {button, button, length};
    for (int32_t i = 0; i < 3; i++) {
        TZAVglutWigits_Node* part = parts[i];
        part->X = Vertical() ? 0 : starts[i];
        part->Y = Vertical() ? starts[i] : 0;
        part->Width = Vertical() ? thickness : lengths[i];
        part->Height = Vertical() ? lengths[i] : thickness;
    }
}

void TZAVglutWigits_ScrollBar::SetScrollRange(int32_t range, int32_t step)
{
    ScrollRange = std::max(0, range);
    ScrollStep = std::max(1, step);
    if (Position > ScrollRange)
        SetScrollPosition(ScrollRange);
    PlaceParts();
}

void TZAVglutWigits_ScrollBar::SetScrollPosition(int32_t position)
{
    position = std::clamp(position, 0, ScrollRange);
    if (Parent != nullptr)
        (Vertical() ? Parent->ScrollY : Parent->ScrollX) = -position;
    if (position == Position)
        return;
    Position = position;
    PlaceParts();
    Invalidate();
}

void TZAVglutWigits_ScrollBar::Step(int32_t steps)
{
    SetScrollPosition(Position + steps * ScrollStep);
}

// A page keeps one step of the last screen in view.
void TZAVglutWigits_ScrollBar::Page(int32_t pages)
{
    SetScrollPosition(Position + pages * std::max(ScrollStep, VisibleLength() - ScrollStep));
}

void TZAVglutWigits_ScrollBar::SetPositionFromHandle(int32_t start)
{
    const int64_t free = TrackLength() - HandleLength();
    if (free <= 0 || ScrollRange <= 0)
        return SetScrollPosition(0);
    const double position = double(start - TrackStart()) * ScrollRange / double(free);
    SetScrollPosition(static_cast<int32_t>(std::lround(position)));
}

void TZAVglutWigits_ScrollBar::PassFocusToOwner()
{
    if (TZAVglutWigits_Master* master = GetMaster(); master != nullptr && Parent != nullptr)
        master->SetFocus(Parent->Clickable ? Parent : nullptr);
}

bool TZAVglutWigits_ScrollBar::OnClick(int32_t x, int32_t y)
{
    const int32_t along = Vertical() ? y : x;
    if (along < HandleStart())
        Page(-1);
    else if (along >= HandleStart() + HandleLength())
        Page(1);
    return TZAVglutWigits_Node::OnClick(x, y);
}

void TZAVglutWigits_ScrollBar::OnGetFocus()
{
    PassFocusToOwner();
}

void TZAVglutWigits_ScrollBar::Layout()
{
    PlaceParts();
}

void TZAVglutWigits_ScrollBar::Draw()
{
    SetColor3fv(ControlLook::Well);
    DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
}

TZAVglutWigits_ScrollBarHandle::TZAVglutWigits_ScrollBarHandle(TZAVglutWigits_Node* bar)
    : TZAVglutWigits_Node(bar)
{
    ShowLabel = false;
    Clickable = true;
    AcceptsDoubleClick = false;
    SetNameLiteral("Scroll handle");
}

TZAVglutWigits_ScrollBar* TZAVglutWigits_ScrollBarHandle::Bar() const
{
    auto* bar = dynamic_cast<TZAVglutWigits_ScrollBar*>(Parent);
    if (bar == nullptr)
        ReportError("ScrollBar handle doesn't have a scrollbar for a parent");
    return bar;
}

void TZAVglutWigits_ScrollBarHandle::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft) {
        const TZAVglutWigits_ScrollBar* bar = Bar();
        Dragging = state == MouseDown;
        Grab = bar->Orientation == TZAVglutWigits_Orientation::Vertical ? y : x;
    }
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

// The handle's own position may be a frame behind; the bar's is not, so measure from the bar.
void TZAVglutWigits_ScrollBarHandle::OnMouseDrag(int32_t x, int32_t y)
{
    TZAVglutWigits_ScrollBar* bar = Bar();
    if (!Dragging)
        return;
    const bool vertical = bar->Orientation == TZAVglutWigits_Orientation::Vertical;
    const int32_t mouse = vertical ? AbsY + y - bar->AbsY : AbsX + x - bar->AbsX;
    bar->SetPositionFromHandle(mouse - Grab);
    TZAVglutWigits_Node::OnMouseDrag(x, y);
}

void TZAVglutWigits_ScrollBarHandle::OnGetFocus()
{
    Bar()->PassFocusToOwner();
}

void TZAVglutWigits_ScrollBarHandle::Draw()
{
    const bool active = Dragging || Hovered;
    SetColor3fv(active ? ControlLook::AccentHovered : ControlLook::Handle);
    DrawFilledRect(2.0f, 2.0f, static_cast<float>(Width - 4), static_cast<float>(Height - 4));
}
