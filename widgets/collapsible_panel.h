// A panel that folds down to its label line with a 12 x 12 toggle button at its top right.
#pragma once

#include <cstdint>

#include "widgets/button.h"
#include "widgets/node.h"

class TZAVglutWigits_CollapsiblePanelToggleButton;

class TZAVglutWigits_CollapsiblePanel : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_CollapsiblePanel(TZAVglutWigits_Node* parent = nullptr, const char* title = "");

    void Collapse();
    void Expand();
    void Toggle();
    bool IsCollapsed() const { return Collapsed; }
    bool ChildrenVisible() const override { return !Collapsed; }
    void Layout() override;

    TZAVglutWigits_CollapsiblePanelToggleButton* ToggleButton = nullptr;

private:
    void PlaceToggleButton();

    bool Collapsed = false;
    int32_t ExpandedHeight = 0;
};

class TZAVglutWigits_CollapsiblePanelToggleButton : public TZAVglutWigits_Button
{
public:
    explicit TZAVglutWigits_CollapsiblePanelToggleButton(TZAVglutWigits_CollapsiblePanel* panel);

    bool OnClick(int32_t x, int32_t y) override;

private:
    TZAVglutWigits_CollapsiblePanel* Panel;
};
