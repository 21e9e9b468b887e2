// The tool panel and its parameter widgets.
//
// [SECTION] Slider
// [SECTION] Check box and colour swatch
// [SECTION] Handlers
// [SECTION] Tool panel
#include "app/tool_panel.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "app/toolbox.h"
#include "core/event_queue.h"
#include "tools/brush.h"
#include "tools/parameter.h"
#include "tools/tool.h"
#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/text.h"

namespace {

constexpr int32_t Gap = 4;
constexpr int32_t RowGap = 3;
// The extra space a row break leaves.
constexpr int32_t BreakGap = 6;
constexpr int32_t SliderBarMinimum = 75;
constexpr int32_t SwatchWidth = 36;
// One press of a brush-size button grows or shrinks the radius by a quarter.
constexpr float BrushSizeStep = 1.25f;

TTarnwick_Parameter& ParameterOf(const TZAVEvent* event)
{
    return *static_cast<TTarnwick_Parameter*>(event->Context);
}

} // namespace

// [SECTION] Slider

TTarnwick_SliderBar::TTarnwick_SliderBar(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter)
    : TZAVglutWigits_Node(parent), Parameter(parameter)
{
    Clickable = true;
    AcceptsDoubleClick = false;
    SetNameLiteral(parameter.GetName());
    SetCaptionLiteral(parameter.Help);
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    Height = LineHeight() + ExtraLineHeight;
}

float TTarnwick_SliderBar::Lowest() const
{
    return Parameter.Minimum != nullptr ? *Parameter.Minimum : 0.0f;
}

float TTarnwick_SliderBar::Highest() const
{
    return Parameter.Maximum != nullptr ? std::max(*Parameter.Maximum, Lowest()) : 1.0f;
}

float TTarnwick_SliderBar::ValueAt(int32_t x) const
{
    const int32_t inner = std::max(1, Width - 2 * BorderWidth);
    const float share = std::clamp(float(x - BorderWidth) / float(inner), 0.0f, 1.0f);
    return Lowest() + share * (Highest() - Lowest());
}

void TTarnwick_SliderBar::SetFromX(int32_t x)
{
    // The parameter bounds the value and posts the change only when there is one.
    Parameter.SetFloatValue(ValueAt(x));
    Invalidate();
}

// The press has set the value already.
bool TTarnwick_SliderBar::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    return true;
}

void TTarnwick_SliderBar::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft && state == MouseDown)
        SetFromX(x);
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TTarnwick_SliderBar::OnMouseDrag(int32_t x, int32_t y)
{
    SetFromX(x);
    TZAVglutWigits_Node::OnMouseDrag(x, y);
}

void TTarnwick_SliderBar::Draw()
{
    const float value = Parameter.FloatValue != nullptr ? *Parameter.FloatValue : 0.0f;
    const float span = Highest() - Lowest();
    const float share = span > 0.0f ? std::clamp((value - Lowest()) / span, 0.0f, 1.0f) : 0.0f;
    const float inset = float(BorderWidth);
    SetColor3fv(ControlLook::Well);
    DrawFilledRect(0.0f, 0.0f, float(Width), float(Height));
    SetColor3fv(Hovered ? ControlLook::AccentHovered : ControlLook::Accent);
    DrawFilledRect(inset, inset, share * (float(Width) - 2 * inset), float(Height) - 2 * inset);
    SetColor3fv(ControlLook::Border);
    DrawFrameRect(0.0f, 0.0f, float(Width), float(Height), inset);
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", double(value));
    DrawText(text, IsEnabledChain() ? LabelColor : DisabledLabelColor);
}

TTarnwick_ParameterSlider::TTarnwick_ParameterSlider(TZAVglutWigits_Node* parent,
                                                     TTarnwick_Parameter& parameter)
    : TZAVglutWigits_Node(parent)
{
    DrawFrame = false;
    ShowLabel = false;
    BorderWidth = 0;
    SetNameLiteral(parameter.GetName());
    SetCaptionLiteral(parameter.Help);
    Label = new TZAVglutWigits_Text(this, parameter.GetName());
    Label->AutoSize = false;
    Label->SetCaptionLiteral(parameter.Help);
    Bar = new TTarnwick_SliderBar(this, parameter);
    Height = std::max(Label->Height, Bar->Height);
}

int32_t TTarnwick_ParameterSlider::RowHeight(const TZAVglutWigits_Node& node)
{
    return node.LineHeight() + node.ExtraLineHeight;
}

void TTarnwick_ParameterSlider::Layout()
{
    const int32_t label_width = LabelColumnWidth > 0 ? LabelColumnWidth : Label->LabelWidth;
    PlaceNode(Label, 0, 0, label_width, Height);
    PlaceNode(Bar, label_width, 0, std::max(0, Width - label_width), Height);
}

// [SECTION] Check box and colour swatch

namespace {

void CheckBoxClickedCB(TZAVEvent* event)
{
    ParameterOf(event).SetBoolValue(event->IntegerParameters[0] != 0);
}

void PostParameterEventsCB(TZAVEvent* event)
{
    ParameterOf(event).PostEvents();
}

} // namespace

TTarnwick_ParameterCheckBox::TTarnwick_ParameterCheckBox(TZAVglutWigits_Node* parent,
                                                         TTarnwick_Parameter& parameter)
    : TZAVglutWigits_CheckBox(parent, parameter.GetName(),
                              std::make_unique<TZAVEvent>(CheckBoxClickedCB, &parameter, -1)),
      Parameter(parameter)
{
    SetCaptionLiteral(parameter.Help);
}

void TTarnwick_ParameterCheckBox::Update()
{
    if (Parameter.BoolValue != nullptr)
        Down = *Parameter.BoolValue;
}

TTarnwick_ColourSwatch::TTarnwick_ColourSwatch(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter)
    : TZAVglutWigits_Button(parent, "", std::make_unique<TZAVEvent>(PostParameterEventsCB, &parameter, -1)),
      Parameter(parameter)
{
    ShowLabel = false;
    SetNameLiteral(parameter.GetName());
    SetCaptionLiteral(parameter.Help);
    Width = SwatchWidth;
}

void TTarnwick_ColourSwatch::Draw()
{
    const float* colour = Parameter.FloatValue;
    const float none[3] = {0.0f, 0.0f, 0.0f};
    SetColor3fv(colour != nullptr ? colour : none);
    DrawFilledRect(0.0f, 0.0f, float(Width), float(Height));
    SetColor3fv(Hovered ? ControlLook::BorderFocused : ControlLook::Border);
    DrawFrameRect(0.0f, 0.0f, float(Width), float(Height), 1.0f);
}

// [SECTION] Handlers

namespace {

// A drop-down entry: the event's Index is the entry chosen. The panel is built again to show it.
void ListEntryChosenCB(TZAVEvent* event)
{
    TZAVEvent request(-1);
    request.SetIndex(event->GetIndex());
    ParameterOf(event).AskList(TTarnwick_ListRequest::Chosen, request);
    PostCommand(ToolChangedCommand);
}

// The brush-size buttons: Index +1 grows the radius, -1 shrinks it, within its bounds.
void BrushSizeCB(TZAVEvent* event)
{
    TTarnwick_Parameter& radius = ParameterOf(event);
    if (radius.FloatValue == nullptr)
        return;
    const float factor = event->GetIndex() > 0 ? BrushSizeStep : 1.0f / BrushSizeStep;
    radius.SetFloatValue(*radius.FloatValue * factor);
}

std::unique_ptr<TZAVEvent> ParameterEvent(TZAVEventHandler handler, TTarnwick_Parameter& parameter,
                                          int32_t index = -1)
{
    auto event = std::make_unique<TZAVEvent>(handler, &parameter, -1);
    event->SetIndex(index);
    return event;
}

TZAVglutWigits_Button* MakeButton(TZAVglutWigits_Node* parent, std::string_view text,
                                  std::unique_ptr<TZAVEvent> click_event, const std::string& help)
{
    auto* button = new TZAVglutWigits_Button(parent, text, std::move(click_event));
    button->SetCaptionLiteral(help);
    button->Width = button->LabelWidth + 8;
    return button;
}

} // namespace

// [SECTION] Tool panel

TTarnwick_ToolPanel::TTarnwick_ToolPanel(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    SetName("ToolPanel");
    ShowLabel = false;
    HorizontalPadding = 6;
    VerticalPadding = 6;
    std::copy(std::begin(ControlLook::FillPressed), std::end(ControlLook::FillPressed), BackgroundColor);
}

void TTarnwick_ToolPanel::AddItem(TZAVglutWigits_Node* node, TPlacement placement)
{
    Items.push_back({node, placement});
}

void TTarnwick_ToolPanel::Rebuild()
{
    DeleteChildren();
    Items.clear();
    Tool = ApplicationToolbox().CurrentTool;
    Built = true;
    const std::string title = Tool != nullptr ? Tool->GetName() : "No tool";
    auto* heading = new TZAVglutWigits_Text(this, "[b]" + title + "[/b]");
    if (Tool != nullptr)
        heading->SetCaptionLiteral(Tool->Help);
    AddItem(heading, TPlacement::WholeRow);
    if (Tool == nullptr) {
        AddItem(new TZAVglutWigits_Text(this, "A drag in a view turns it."), TPlacement::WholeRow);
    } else {
        for (TTarnwick_Parameter* parameter : Tool->Parameters)
            if (parameter != nullptr)
                AddParameterWidget(*parameter);
        if (auto* brush = dynamic_cast<TTarnwick_Brush*>(Tool))
            AddBrushSizeControls(*brush);
    }
    // The sliders' bars line up behind the widest of their names.
    int32_t label_column = 0;
    for (const TItem& item : Items)
        if (auto* slider = dynamic_cast<TTarnwick_ParameterSlider*>(item.Node))
            label_column = std::max(label_column, slider->Label->LabelWidth);
    for (const TItem& item : Items)
        if (auto* slider = dynamic_cast<TTarnwick_ParameterSlider*>(item.Node))
            slider->LabelColumnWidth = label_column;
    Layout();
    Invalidate();
}

void TTarnwick_ToolPanel::AddParameterWidget(TTarnwick_Parameter& parameter)
{
    switch (parameter.Type) {
    case TTarnwick_ParameterType::Slider:
        AddItem(new TTarnwick_ParameterSlider(this, parameter), TPlacement::WholeRow);
        break;
    case TTarnwick_ParameterType::CheckBox:
        AddItem(new TTarnwick_ParameterCheckBox(this, parameter), TPlacement::WholeRow);
        break;
    case TTarnwick_ParameterType::Button:
        AddItem(MakeButton(this, parameter.GetName(), ParameterEvent(PostParameterEventsCB, parameter),
                           parameter.Help),
                TPlacement::Flow);
        break;
    case TTarnwick_ParameterType::Label: {
        auto* label = new TZAVglutWigits_Text(this, parameter.GetName());
        label->SetCaptionLiteral(parameter.Help);
        AddItem(label, TPlacement::WholeRow);
        break;
    }
    case TTarnwick_ParameterType::DropDown:
        AddDropDown(parameter);
        break;
    case TTarnwick_ParameterType::Colour:
        if (parameter.Name.empty()) {
            AddItem(new TTarnwick_ColourSwatch(this, parameter), TPlacement::Flow);
        } else {
            AddItem(new TZAVglutWigits_Text(this, parameter.GetName()), TPlacement::Flow);
            AddItem(new TTarnwick_ColourSwatch(this, parameter), TPlacement::Flow);
        }
        break;
    case TTarnwick_ParameterType::RowBreak:
        AddItem(nullptr, TPlacement::RowBreak);
        break;
    }
}

// A button showing the current entry, whose menu lists them all; the callback is asked for the
// count, each text and the current index.
void TTarnwick_ToolPanel::AddDropDown(TTarnwick_Parameter& parameter)
{
    if (!parameter.Name.empty())
        AddItem(new TZAVglutWigits_Text(this, parameter.GetName()), TPlacement::Flow);
    TZAVEvent request(-1);
    parameter.AskList(TTarnwick_ListRequest::EntryCount, request);
    const int32_t count = std::max(0, request.IntegerParameters[0]);
    TZAVEvent current(-1);
    parameter.AskList(TTarnwick_ListRequest::CurrentEntry, current);
    auto* menu = new TZAVglutWigits_Menu();
    std::string shown;
    for (int32_t index = 0; index < count; index++) {
        TZAVEvent entry(-1);
        entry.SetIndex(index);
        parameter.AskList(TTarnwick_ListRequest::EntryText, entry);
        const char* text = entry.GetStringParameter(0);
        const std::string entry_text = text != nullptr ? text : "";
        menu->AddEntry(entry_text, ParameterEvent(ListEntryChosenCB, parameter, index));
        if (index == current.IntegerParameters[0])
            shown = entry_text;
    }
    auto* button = new TZAVglutWigits_Button(this, shown);
    button->SetCaptionLiteral(parameter.Help);
    button->LabelAlignment = TZAVglutWigits_Alignment::Left;
    button->AttachMenu(menu);
    AddItem(button, TPlacement::RestOfRow);
}

// Two buttons that step the brush radius, for sizes the slider is too coarse to hit.
void TTarnwick_ToolPanel::AddBrushSizeControls(TTarnwick_Brush& brush)
{
    const auto radius =
        std::find_if(Tool->Parameters.begin(), Tool->Parameters.end(), [&](TTarnwick_Parameter* parameter) {
            return parameter != nullptr && parameter->FloatValue == &brush.Radius;
        });
    if (radius == Tool->Parameters.end())
        return;
    AddItem(nullptr, TPlacement::RowBreak);
    AddItem(new TZAVglutWigits_Text(this, "Size"), TPlacement::Flow);
    AddItem(MakeButton(this, "Smaller", ParameterEvent(BrushSizeCB, **radius, -1),
                       "Shrinks the brush by a fifth."),
            TPlacement::Flow);
    AddItem(
        MakeButton(this, "Larger", ParameterEvent(BrushSizeCB, **radius, 1), "Grows the brush by a quarter."),
        TPlacement::Flow);
}

void TTarnwick_ToolPanel::Update()
{
    if (!Built || Tool != ApplicationToolbox().CurrentTool)
        Rebuild();
}

// Rows from the top: flowing widgets side by side while they fit, the others on rows of their own.
void TTarnwick_ToolPanel::Layout()
{
    const int32_t left = BorderWidth + HorizontalPadding;
    const int32_t right = std::max(left, Width - BorderWidth - HorizontalPadding);
    int32_t x = left, y = BorderWidth + VerticalPadding, row_height = 0;
    auto new_row = [&](int32_t extra) {
        if (x > left || extra > 0)
            y += row_height + RowGap + extra;
        x = left;
        row_height = 0;
    };
    for (const TItem& item : Items) {
        if (item.Placement == TPlacement::RowBreak) {
            new_row(BreakGap);
            continue;
        }
        TZAVglutWigits_Node* node = item.Node;
        if (item.Placement == TPlacement::WholeRow)
            new_row(0);
        if (item.Placement == TPlacement::Flow && x > left && x + node->Width > right)
            new_row(0);
        // Too little room left on the row: the item starts the next one rather than stick out.
        if (item.Placement == TPlacement::RestOfRow && x > left && right - x < SliderBarMinimum)
            new_row(0);
        if (item.Placement != TPlacement::Flow)
            node->Width = std::max(item.Placement == TPlacement::WholeRow ? 0 : SliderBarMinimum, right - x);
        node->X = x;
        node->Y = y;
        node->Layout();
        row_height = std::max(row_height, node->Height);
        x += node->Width + Gap;
        if (item.Placement != TPlacement::Flow)
            new_row(0);
    }
}
