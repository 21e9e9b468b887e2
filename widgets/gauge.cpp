// Gauges and labelled gauges.
#include "widgets/gauge.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/master.h"
#include "widgets/text.h"

namespace {

constexpr int32_t LabelGap = 6;

} // namespace

TZAVglutWigits_Gauge::TZAVglutWigits_Gauge(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    Clickable = true;
    AcceptsDoubleClick = false;
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    Height = LineHeight() + ExtraLineHeight;
}

void TZAVglutWigits_Gauge::SetValue(float value)
{
    value = std::clamp(value, 0.0f, 1.0f);
    if (value == Value)
        return;
    Value = value;
    if (BoundFloat != nullptr)
        *BoundFloat = value;
    PostEventCopy(ClickEvent.get(), 0, 0);
    Invalidate();
}

void TZAVglutWigits_Gauge::SetValueFromX(int32_t x)
{
    const int32_t width = BarWidth();
    if (width > 0)
        SetValue(static_cast<float>(x - BarLeft()) / static_cast<float>(width));
}

// The press has set the value already; the click only brings the focus.
bool TZAVglutWigits_Gauge::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    return true;
}

void TZAVglutWigits_Gauge::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft && state == MouseDown)
        SetValueFromX(x);
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_Gauge::OnMouseDrag(int32_t x, int32_t y)
{
    SetValueFromX(x);
    TZAVglutWigits_Node::OnMouseDrag(x, y);
}

bool TZAVglutWigits_Gauge::OnSpecialKey(int32_t key)
{
    if (key != SpecialKeyLeft && key != SpecialKeyRight)
        return false;
    SetValue(Value + (key == SpecialKeyLeft ? -KeyStep : KeyStep));
    return true;
}

void TZAVglutWigits_Gauge::Update()
{
    if (BoundFloat != nullptr)
        Value = std::clamp(*BoundFloat, 0.0f, 1.0f);
}

void TZAVglutWigits_Gauge::Draw()
{
    const float width = static_cast<float>(Width), height = static_cast<float>(Height);
    const float inset = static_cast<float>(BarLeft());
    const bool enabled = IsEnabledChain();
    SetColor3fv(ControlLook::Well);
    DrawFilledRect(0.0f, 0.0f, width, height);
    SetColor3fv(enabled && Hovered ? ControlLook::AccentHovered : ControlLook::Accent);
    DrawFilledRect(inset, inset, Value * static_cast<float>(BarWidth()), height - 2 * inset);
    if (BorderWidth > 0) {
        SetColor3fv(ControlLook::Border);
        DrawFrameRect(0.0f, 0.0f, width, height, static_cast<float>(BorderWidth));
    }
    char text[16];
    std::snprintf(text, sizeof(text), "%.2f", static_cast<double>(Value));
    DrawText(text, enabled ? LabelColor : DisabledLabelColor);
}

// [SECTION] Text and gauge

TZAVglutWigits_TextAndGauge::TZAVglutWigits_TextAndGauge(TZAVglutWigits_Node* parent, std::string_view text)
    : TZAVglutWigits_Node(parent)
{
    DrawFrame = false;
    ShowLabel = false;
    BorderWidth = 0;
    Label = new TZAVglutWigits_Text(this, text);
    Label->AutoSize = false;
    Gauge = new TZAVglutWigits_Gauge(this);
    SetNameLiteral(text);
    Height = std::max(Label->Height, Gauge->Height);
}

void TZAVglutWigits_TextAndGauge::SetText(std::string_view text, bool relayout)
{
    SetNameLiteral(text);
    Label->SetText(text, false);
    if (relayout)
        Layout();
}

void TZAVglutWigits_TextAndGauge::Layout()
{
    const int32_t label_width = LabelColumnWidth > 0 ? LabelColumnWidth : Label->LabelWidth;
    Label->X = 0;
    Label->Y = 0;
    Label->Width = label_width;
    Label->Height = Height;
    Gauge->X = label_width + LabelGap;
    Gauge->Y = 0;
    Gauge->Width = std::max(0, Width - Gauge->X);
    Gauge->Height = Height;
}
