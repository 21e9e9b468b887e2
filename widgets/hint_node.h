// The hint balloon: an optional picture beside a column of word-wrapped text lines and a footer.
#pragma once

#include <string_view>

#include "widgets/node.h"

class TZAVglutWigits_HintNode : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_HintNode(TZAVglutWigits_Node* parent = nullptr);

    // Fills the hint with text for node (null: no node) and places it; does not show it.
    void SetHint(TZAVglutWigits_Node* node, std::string_view text, std::string_view footer);
    void Layout() override;
    void Draw() override;

    TZAVglutWigits_Node* PictureNode = nullptr;
    TZAVglutWigits_Node* TextColumn = nullptr;

private:
    void AddLine(std::string_view text);
    void WrapText(std::string_view text, int32_t width);
    void Place(TZAVglutWigits_Node* node);
};
