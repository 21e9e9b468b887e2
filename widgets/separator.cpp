#include "widgets/separator.h"

#include <GL/gl.h>

#include "widgets/draw.h"

namespace {

constexpr float DarkLine[3] = {0.12f, 0.12f, 0.12f};
constexpr float LightLine[3] = {0.42f, 0.42f, 0.42f};
constexpr float LineInset = 2.0f;

void Quad(float left, float top, float right, float bottom)
{
    glVertex2f(left, top);
    glVertex2f(right, top);
    glVertex2f(right, bottom);
    glVertex2f(left, bottom);
}

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
    const float right = static_cast<float>(node.Width) - LineInset;
    glBegin(GL_QUADS);
    node.SetColor3fv(DarkLine);
    Quad(LineInset, middle - 1.0f, right, middle);
    node.SetColor3fv(LightLine);
    Quad(LineInset, middle, right, middle + 1.0f);
    glEnd();
    CountDrawCalls(1);
}
