// TZAVglutWigits_Separator: an etched line between the entries of a menu or a stacked panel. It
// spans its parent's width, leaving the same margin on the right as its position leaves on the
// left, and takes no mouse input: its area belongs to the parent.
#pragma once

#include <cstdint>

#include "widgets/node.h"

inline constexpr int32_t SeparatorHeight = 7;

class TZAVglutWigits_Separator : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_Separator(TZAVglutWigits_Node* parent = nullptr);

    void Update() override;
    void Draw() override;
};

// The etched line across node's rectangle, at the drawing origin.
void DrawSeparatorLine(const TZAVglutWigits_Node& node);
