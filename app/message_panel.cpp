// The message panel: lines as text nodes stacked from the top, scrolled to the newest.
#include "app/message_panel.h"

#include <algorithm>
#include <iterator>

#include "widgets/control_look.h"
#include "widgets/scroll_bar.h"
#include "widgets/text.h"

namespace {

constexpr float WarningColor[3] = {1.0f, 0.62f, 0.25f};
constexpr float BusyColor[3] = {0.55f, 0.75f, 1.0f};
constexpr int32_t LineSpacing = 2;
constexpr int32_t WheelUp = 3;
constexpr int32_t WheelDown = 4;

} // namespace

TTarnwick_MessagePanel::TTarnwick_MessagePanel(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    SetName("MessagePanel");
    ShowLabel = false;
    VerticalPadding = 2;
    std::copy(std::begin(ControlLook::Well), std::end(ControlLook::Well), BackgroundColor);
    ScrollBar = new TZAVglutWigits_ScrollBar(this, TZAVglutWigits_Orientation::Vertical);
    ScrollBar->Shown = false;
    BusyLine = NewLineNode("", BusyColor);
    BusyLine->Shown = false;
}

TZAVglutWigits_Text* TTarnwick_MessagePanel::NewLineNode(std::string_view text, const float* colour)
{
    auto* line = new TZAVglutWigits_Text(this, text);
    line->AutoSize = false;
    line->DrawFrame = true;
    line->BorderWidth = 0;
    line->MouseTransparent = true;
    line->Height = LineStep();
    std::copy(std::begin(ControlLook::Well), std::end(ControlLook::Well), line->BackgroundColor);
    std::copy(colour, colour + 3, line->LabelColor);
    return line;
}

void TTarnwick_MessagePanel::AddLine(std::string_view text, TZAVStatusKind kind)
{
    TZAVglutWigits_Text* line =
        NewLineNode(text, kind == TZAVStatusKind::Warning ? WarningColor : ControlLook::Text);
    // The busy line stays last.
    BusyLine->Unlink();
    AddChild(BusyLine);
    Lines.push_back({line, kind});
    ScrollToNewest = true;
    Invalidate();
}

void TTarnwick_MessagePanel::Trim(int32_t limit)
{
    const size_t keep = size_t(std::max(0, limit));
    if (Lines.size() <= keep)
        return;
    const size_t drop = Lines.size() - keep;
    for (size_t i = 0; i < drop; i++)
        delete Lines[i].Node;
    Lines.erase(Lines.begin(), Lines.begin() + std::ptrdiff_t(drop));
    Invalidate();
}

std::string TTarnwick_MessagePanel::LineText(int32_t index) const
{
    return index >= 0 && index < LineCount() ? Lines[size_t(index)].Node->Name : std::string();
}

TZAVStatusKind TTarnwick_MessagePanel::LineKind(int32_t index) const
{
    return index >= 0 && index < LineCount() ? Lines[size_t(index)].Kind : TZAVStatusKind::Status;
}

void TTarnwick_MessagePanel::SetBusyText(std::string_view text)
{
    const bool shown = !text.empty();
    if (shown == BusyLine->Shown && BusyLine->Name == text)
        return;
    BusyLine->SetText(text, false);
    BusyLine->Shown = shown;
    ScrollToNewest = ScrollToNewest || shown;
    Layout();
    Invalidate();
}

int32_t TTarnwick_MessagePanel::LineStep() const
{
    return LineHeight() + LineSpacing;
}

int32_t TTarnwick_MessagePanel::HeightForLines(int32_t line_count) const
{
    return line_count * LineStep() + 2 * (BorderWidth + VerticalPadding);
}

void TTarnwick_MessagePanel::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button != WheelUp && button != WheelDown)
        return TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
    if (state == 0 && ScrollBar->Shown)
        ScrollBar->Step(button == WheelUp ? -1 : 1);
}

// Lines stack from the top; the newest is scrolled into view once after it arrives, so that a
// user who scrolled back is left alone until the next line.
void TTarnwick_MessagePanel::Layout()
{
    const int32_t step = LineStep();
    const int32_t content_height =
        (LineCount() + (BusyLine->Shown ? 1 : 0)) * step + 2 * (BorderWidth + VerticalPadding);
    ScrollBar->Shown = content_height > Height;
    if (!ScrollBar->Shown)
        ScrollBar->SetScrollRange(0, 1);
    const int32_t line_width = Width - 2 * BorderWidth - (ScrollBar->Shown ? ScrollBar->Width : 0);
    int32_t y = BorderWidth + VerticalPadding;
    for (TZAVglutWigits_Node* line = FirstChild; line != nullptr; line = line->NextSibling) {
        if (!line->Shown)
            continue;
        PlaceNode(line, BorderWidth, y, line_width, step);
        y += step;
    }
    LayoutScrollBars(Width, content_height);
    if (ScrollBar->Shown)
        ScrollBar->SetScrollRange(content_height - Height, step);
    if (ScrollToNewest) {
        ScrollBar->SetScrollPosition(content_height);
        ScrollToNewest = false;
    }
    ScrollY = -ScrollBar->GetScrollPosition();
}

void TTarnwick_MessagePanel::PrepareDirectDraw()
{
    Layout();
    for (TZAVglutWigits_Node* line = FirstChild; line != nullptr; line = line->NextSibling) {
        line->AbsX = AbsX + line->X + ScrollX;
        line->AbsY = AbsY + line->Y + ScrollY;
    }
}
