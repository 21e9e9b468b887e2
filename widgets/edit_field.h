// Edit fields: a framed line that takes the keyboard focus, optionally bound to a float (shown
// with "%.4f", trailing zeros and a trailing point removed) or to an integer ("%d"), and the
// gauge edit field that sets a linked gauge from its text.
//
//   press        -> caret at the mouse (shift: selection to the mouse); drag selects
//   double click -> selects everything
//   Enter        -> commits: a bound value takes the parsed text (text that does not parse
//                   leaves the value and brings its text back); the click event goes out with
//                   the text as string parameter 0
//   Escape       -> the text it had when it got the focus
//   focus lost   -> commits when edited, without the event
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "widgets/node.h"
#include "widgets/text.h"

class TZAVglutWigits_Gauge;

// "%.4f" without trailing zeros and point: 0.5 -> "0.5", 2 -> "2".
std::string FormatFieldFloat(float value);
// The whole text as a number (blanks around it allowed, a decimal comma too); false otherwise.
bool ParseFieldFloat(std::string_view text, float& out_value);
bool ParseFieldInteger(std::string_view text, int32_t& out_value);

class TZAVglutWigits_EditField : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_EditField(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "");

    bool OnClick(int32_t x, int32_t y) override;
    bool OnDoubleClick(int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    bool OnKey(int32_t key) override;
    bool OnSpecialKey(int32_t key) override;
    void OnGetFocus() override;
    void OnLoseFocus() override;
    void Update() override;
    void SetText(std::string_view text, bool relayout = true) override;
    void Draw() override;

    void BindFloat(float* value);
    void BindInteger(int32_t* value);
    const std::string& GetText() const { return Editor.Text(); }
    // Stores the text into the bound value; false (text restored) when it does not parse.
    bool Commit();
    void Cancel();

    TZAVglutWigits_LineEditor Editor;
    float* BoundFloat = nullptr;
    int32_t* BoundInteger = nullptr;

protected:
    // The text the bound value stands for; the current text when unbound.
    virtual std::string ValueText() const;
    TZAVglutWigits_Rect TextBox() const;

    std::string SavedText;
    bool Edited = false;
};

// On losing the focus (and on Enter) the linked gauge takes the field's text as its value.
class TZAVglutWigits_GaugeEditField : public TZAVglutWigits_EditField
{
public:
    TZAVglutWigits_GaugeEditField(TZAVglutWigits_Node* parent, TZAVglutWigits_Gauge* gauge);

    bool OnKey(int32_t key) override;
    void OnLoseFocus() override;

    TZAVglutWigits_Gauge* LinkedGauge = nullptr;

protected:
    std::string ValueText() const override;

private:
    void SetGaugeFromText();
};
