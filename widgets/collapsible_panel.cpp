#include "widgets/collapsible_panel.h"

namespace {

constexpr int32_t ToggleSize = 12;
constexpr int32_t ToggleInset = 2;

} // namespace

TZAVglutWigits_CollapsiblePanel::TZAVglutWigits_CollapsiblePanel(TZAVglutWigits_Node* parent,
                                                                 const char* title)
    : TZAVglutWigits_Node(parent)
{
    SetNameLiteral(title != nullptr ? title : "");
    Clickable = true;
    LabelAlignment = TZAVglutWigits_Alignment::TopLeft;
    ToggleButton = new TZAVglutWigits_CollapsiblePanelToggleButton(this);
    PlaceToggleButton();
}

void TZAVglutWigits_CollapsiblePanel::PlaceToggleButton()
{
    ToggleButton->X = Width - ToggleSize - BorderWidth - ToggleInset;
    ToggleButton->Y = BorderWidth + ToggleInset;
    ToggleButton->SetNameLiteral(Collapsed ? "+" : "-");
}

// Folded down to the label line: border, padding and one line of text.
void TZAVglutWigits_CollapsiblePanel::Collapse()
{
    if (Collapsed)
        return;
    ExpandedHeight = Height;
    Height = BorderWidth + VerticalPadding + LineHeight() + ExtraLineHeight;
    Collapsed = true;
    PlaceToggleButton();
    if (Parent != nullptr)
        Parent->Layout();
    Invalidate();
}

void TZAVglutWigits_CollapsiblePanel::Expand()
{
    if (!Collapsed)
        return;
    Collapsed = false;
    Height = ExpandedHeight;
    Layout();
    if (Parent != nullptr)
        Parent->Layout();
    Invalidate();
}

void TZAVglutWigits_CollapsiblePanel::Toggle()
{
    if (Collapsed)
        Expand();
    else
        Collapse();
}

void TZAVglutWigits_CollapsiblePanel::Layout()
{
    if (Collapsed)
        return;
    TZAVglutWigits_Node::Layout();
    PlaceToggleButton();
}

TZAVglutWigits_CollapsiblePanelToggleButton::TZAVglutWigits_CollapsiblePanelToggleButton(
    TZAVglutWigits_CollapsiblePanel* panel)
    : Panel(panel)
{
    panel->AddFloatingChild(this);
    // Quick clicks each switch the state.
    AcceptsDoubleClick = false;
    Width = ToggleSize;
    Height = ToggleSize;
    HorizontalPadding = 0;
    VerticalPadding = 0;
}

bool TZAVglutWigits_CollapsiblePanelToggleButton::OnClick(int32_t x, int32_t y)
{
    Panel->Toggle();
    TZAVglutWigits_Button::OnClick(x, y);
    return true;
}
