// The tool bar.
#include "app/tool_bar.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "app/tool_panel.h"
#include "app/toolbox.h"
#include "tools/tool.h"
#include "widgets/control_look.h"
#include "widgets/text.h"

namespace {

constexpr int32_t ButtonGap = 2;
constexpr int32_t RowGap = 2;
// A null entry of a list, and the end of a list.
constexpr int32_t EntryGap = 10;
constexpr int32_t ListGap = 18;
constexpr int32_t SliderWidth = 190;

void ToolButtonCB(TZAVEvent* event)
{
    ChooseTool(static_cast<TTarnwick_Tool*>(event->Context));
}

} // namespace

TTarnwick_ToolButton::TTarnwick_ToolButton(TZAVglutWigits_Node* parent, TTarnwick_Tool& tool)
    : TZAVglutWigits_Button(parent, tool.GetName(), std::make_unique<TZAVEvent>(ToolButtonCB, &tool, -1)),
      Tool(tool)
{
    SetCaptionLiteral(tool.Help);
    Width = LabelWidth + 6;
}

void TTarnwick_ToolButton::Update()
{
    Down = ApplicationToolbox().CurrentTool == &Tool;
}

TTarnwick_ToolBar::TTarnwick_ToolBar(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    SetName("ToolBar");
    ShowLabel = false;
    BorderWidth = 0;
    HorizontalPadding = 3;
    VerticalPadding = 3;
    std::copy(std::begin(ControlLook::FillPressed), std::end(ControlLook::FillPressed), BackgroundColor);
}

void TTarnwick_ToolBar::Rebuild()
{
    DeleteChildren();
    Items.clear();
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    for (const TZAVMultiList<TTarnwick_Tool*>* list :
         {&toolbox.Brushes, &toolbox.Transforms, &toolbox.PaintBrushes, &toolbox.OtherTools}) {
        if (!Items.empty())
            Items.push_back({nullptr, ListGap});
        for (TTarnwick_Tool* tool : *list) {
            if (tool == nullptr)
                Items.push_back({nullptr, EntryGap});
            else
                Items.push_back({new TTarnwick_ToolButton(this, *tool), 0});
        }
    }
    ShownTool = toolbox.CurrentTool;
    Built = true;
    bool has_slider = false;
    if (ShownTool != nullptr)
        for (TTarnwick_Parameter* parameter : ShownTool->Parameters) {
            if (parameter == nullptr || !parameter->ToolbarFlag ||
                parameter->Type != TTarnwick_ParameterType::Slider)
                continue;
            Items.push_back({nullptr, ListGap});
            auto* slider = new TTarnwick_ParameterSlider(this, *parameter);
            slider->Width = SliderWidth;
            slider->LabelColumnWidth = slider->Label->LabelWidth;
            Items.push_back({slider, 0});
            has_slider = true;
        }
    if (!has_slider) {
        // An empty slot of the slider's size: the bar keeps its height, and the views below do
        // not move, whichever tool is chosen.
        auto* slot = new TZAVglutWigits_Node(this);
        slot->DrawFrame = false;
        slot->ShowLabel = false;
        slot->Width = SliderWidth;
        slot->Height = TTarnwick_ParameterSlider::RowHeight(*slot);
        Items.push_back({nullptr, ListGap});
        Items.push_back({slot, 0});
    }
    Layout();
    Invalidate();
}

void TTarnwick_ToolBar::Update()
{
    if (!Built || ShownTool != ApplicationToolbox().CurrentTool)
        Rebuild();
}

int32_t TTarnwick_ToolBar::Flow(int32_t width, bool place) const
{
    const int32_t left = BorderWidth + HorizontalPadding;
    const int32_t right = std::max(left, width - BorderWidth - HorizontalPadding);
    const int32_t top = BorderWidth + VerticalPadding;
    int32_t x = left, y = top, row_height = 0;
    for (const TItem& item : Items) {
        if (item.Node == nullptr) {
            // A gap never starts a row.
            if (x > left)
                x += item.GapWidth;
            continue;
        }
        TZAVglutWigits_Node* node = item.Node;
        if (x > left && x + node->Width > right) {
            y += row_height + RowGap;
            x = left;
            row_height = 0;
        }
        if (place) {
            node->X = x;
            node->Y = y;
            node->Layout();
        }
        row_height = std::max(row_height, node->Height);
        x += node->Width + ButtonGap;
    }
    return y + row_height + VerticalPadding + BorderWidth;
}

void TTarnwick_ToolBar::Layout()
{
    Flow(Width, true);
}

int32_t TTarnwick_ToolBar::HeightForWidth(int32_t width) const
{
    return Flow(width, false);
}

TTarnwick_ToolButton* TTarnwick_ToolBar::ButtonFor(const TTarnwick_Tool* tool) const
{
    for (const TItem& item : Items)
        if (auto* button = dynamic_cast<TTarnwick_ToolButton*>(item.Node);
            button != nullptr && &button->Tool == tool)
            return button;
    return nullptr;
}
