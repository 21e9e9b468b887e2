// Gauges: a horizontal bar showing a value in 0..1, optionally bound to a float.
//
//   press, drag       -> the value follows the mouse across the bar
//   left/right arrow  -> with the focus, steps of 0.05, held to 0..1
//   any change        -> the click event is posted
#pragma once

#include <cstdint>
#include <string_view>

#include "widgets/node.h"

class TZAVglutWigits_Text;

class TZAVglutWigits_Gauge : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_Gauge(TZAVglutWigits_Node* parent = nullptr);

    // Clamps to 0..1; a change writes the bound float and posts the click event.
    void SetValue(float value);
    float GetValue() const { return Value; }

    bool OnClick(int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    bool OnSpecialKey(int32_t key) override;
    void Update() override;
    void Draw() override;

    float Value = 0.0f;
    float* BoundFloat = nullptr;
    float KeyStep = 0.05f;

private:
    void SetValueFromX(int32_t x);
    // The bar's extent inside the border.
    int32_t BarLeft() const { return BorderWidth + 1; }
    int32_t BarWidth() const { return Width - 2 * BarLeft(); }
};

// A label on the left and a gauge filling the rest of the line.
class TZAVglutWigits_TextAndGauge : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_TextAndGauge(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "");

    void SetText(std::string_view text, bool relayout = true) override;
    void Layout() override;

    TZAVglutWigits_Text* Label = nullptr;
    TZAVglutWigits_Gauge* Gauge = nullptr;
    // Width of the label column; 0 gives the label its text's width.
    int32_t LabelColumnWidth = 0;
};
