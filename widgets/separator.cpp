#include "widgets/separator.h"

#include "widgets/draw.h"

namespace {

constexpr float DarkLine[3] = {0.12f, 0.12f, 0.12f};
constexpr float LightLine[3] = {0.42f, 0.42f, 0.42f};
constexpr float LineInset = 2.0f;

} // namespace

TZAVglutWigits_Separator::TZAVglutWigits_Separator(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    SetNameLiteral("-");
    Height = SeparatorHeight;
    ShowLabel = false;
    DrawFrame = false;
    MouseTransparent = true;
}

void TZAVglutWigits_Separator::Update()
{
    if (Parent != nullptr)
        Width = Parent->Width - 2 * X;
}

void TZAVglutWigits_Separator::Draw()
{
    DrawSeparatorLine(*this);
}

void DrawSeparatorLine(const TZAVglutWigits_Node& node)
{
    const float middle = static_cast<float>(node.Height / 2);
    const float length = static_cast<float>(node.Width) - 2 * LineInset;
    node.SetColor3fv(DarkLine);
    DrawFilledRect(LineInset, middle - 1.0f, length, 1.0f);
    node.SetColor3fv(LightLine);
    DrawFilledRect(LineInset, middle, length, 1.0f);
}
