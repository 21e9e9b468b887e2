// The tool bar: a strip of buttons, one per tool of the application's tool lists, with the
// parameters that ask for a place on it (the brush radius) at its end. The current tool's button
// looks pressed; a click switches tools (refused while the current tool is Busy). The buttons flow
// into as many rows as the width needs.
#pragma once

#include <cstdint>
#include <vector>

#include "widgets/button.h"
#include "widgets/node.h"

class TTarnwick_Tool;

class TTarnwick_ToolButton : public TZAVglutWigits_Button
{
public:
    TTarnwick_ToolButton(TZAVglutWigits_Node* parent, TTarnwick_Tool& tool);

    // Down while its tool is current.
    void Update() override;

    TTarnwick_Tool& Tool;
};

class TTarnwick_ToolBar : public TZAVglutWigits_Node
{
public:
    explicit TTarnwick_ToolBar(TZAVglutWigits_Node* parent);

    // The buttons of the tool lists and the current tool's tool-bar parameters, anew.
    void Rebuild();
    // Rebuilds when the current tool is no longer the one whose parameters are shown.
    void Update() override;
    void Layout() override;
    // The height the rows need at that width.
    int32_t HeightForWidth(int32_t width) const;
    // The button of tool; null when it has none.
    TTarnwick_ToolButton* ButtonFor(const TTarnwick_Tool* tool) const;

private:
    // Places the items from the top left when place is set; returns the height they take.
    int32_t Flow(int32_t width, bool place) const;

    struct TItem
    {
        // Null for a gap.
        TZAVglutWigits_Node* Node;
        int32_t GapWidth;
    };

    TTarnwick_Tool* ShownTool = nullptr;
    bool Built = false;
    std::vector<TItem> Items;
};
