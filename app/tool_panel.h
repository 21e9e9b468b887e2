// The tool panel: one widget per parameter of the current tool, in list order, and the parameter
// widgets the tool bar shares with it. A widget writes the tool's field through its parameter,
// which posts the change for the dispatcher to relay to the tool; every frame the widget shows the
// field again, so values the tool changes itself (one option clearing another) show at once.
//
//   slider     press, drag -> the value follows the mouse within Minimum..Maximum, command 43
//   check box  click       -> the field flips, command 44
//   button     click       -> Event, then SecondEvent
//   drop-down  press       -> a menu of the callback's entries; choosing one tells the callback
//   swatch     click       -> Event with EventData
//
// The panel is built anew when the tool changes (command 243 says so).
#pragma once

#include <cstdint>
#include <vector>

#include "widgets/button.h"
#include "widgets/node.h"

class TTarnwick_Brush;
class TTarnwick_Parameter;
class TTarnwick_Tool;
class TZAVglutWigits_Text;

// The bar of a parameter slider: shows the value and takes the presses and drags.
class TTarnwick_SliderBar : public TZAVglutWigits_Node
{
public:
    TTarnwick_SliderBar(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter);

    bool OnClick(int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    void Draw() override;

    // The value the bar's ends stand for: the parameter's bounds, or 0 and 1 without any.
    float Lowest() const;
    float Highest() const;
    // The value under window-relative x.
    float ValueAt(int32_t x) const;

    TTarnwick_Parameter& Parameter;

private:
    void SetFromX(int32_t x);
};

// A float parameter: its name on the left, the bar in the rest.
class TTarnwick_ParameterSlider : public TZAVglutWigits_Node
{
public:
    TTarnwick_ParameterSlider(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter);

    void Layout() override;
    // The height a slider takes in a window drawn like `node`.
    static int32_t RowHeight(const TZAVglutWigits_Node& node);

    // The label's share of the width; 0 gives it its text's width.
    int32_t LabelColumnWidth = 0;
    TZAVglutWigits_Text* Label = nullptr;
    TTarnwick_SliderBar* Bar = nullptr;
};

// A boolean parameter; shows the tool's field, whoever changed it.
class TTarnwick_ParameterCheckBox : public TZAVglutWigits_CheckBox
{
public:
    TTarnwick_ParameterCheckBox(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter);

    void Update() override;

    TTarnwick_Parameter& Parameter;
};

// A colour parameter: a box in the colour of the three floats it points at.
class TTarnwick_ColourSwatch : public TZAVglutWigits_Button
{
public:
    TTarnwick_ColourSwatch(TZAVglutWigits_Node* parent, TTarnwick_Parameter& parameter);

    void Draw() override;

    TTarnwick_Parameter& Parameter;
};

class TTarnwick_ToolPanel : public TZAVglutWigits_Node
{
public:
    explicit TTarnwick_ToolPanel(TZAVglutWigits_Node* parent);

    // The widgets of the current tool, replacing those shown.
    void Rebuild();
    // Rebuilds when the current tool is no longer the one shown.
    void Update() override;
    void Layout() override;

    // The tool whose parameters are shown; null for none.
    TTarnwick_Tool* ShownTool() const { return Tool; }

private:
    // How a widget takes its place in the rows.
    enum class TPlacement
    {
        // Beside the one before, when it fits.
        Flow,
        // A row of its own, the whole width.
        WholeRow,
        // The rest of the current row.
        RestOfRow,
        // Ends the row (no widget).
        RowBreak,
    };
    struct TItem
    {
        TZAVglutWigits_Node* Node;
        TPlacement Placement;
    };

    void AddItem(TZAVglutWigits_Node* node, TPlacement placement);
    void AddParameterWidget(TTarnwick_Parameter& parameter);
    void AddDropDown(TTarnwick_Parameter& parameter);
    void AddBrushSizeControls(TTarnwick_Brush& brush);

    TTarnwick_Tool* Tool = nullptr;
    bool Built = false;
    std::vector<TItem> Items;
};
