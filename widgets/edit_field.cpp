// Edit fields and gauge edit fields.
#include "widgets/edit_field.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "core/report.h"
#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/gauge.h"
#include "widgets/master.h"

namespace {

constexpr int32_t KeyLineFeed = 10;
constexpr int32_t KeyEnter = 13;

std::string_view TrimBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::string FormatFieldFloat(float value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.4f", static_cast<double>(value));
    std::string result(text);
    if (result.find('.') != std::string::npos) {
        result.erase(result.find_last_not_of('0') + 1);
        if (result.back() == '.')
            result.pop_back();
    }
    return result == "-0" ? "0" : result;
}

bool ParseFieldFloat(std::string_view text, float& out_value)
{
    std::string number(TrimBlanks(text));
    std::replace(number.begin(), number.end(), ',', '.');
    if (number.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(number.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value))
        return false;
    out_value = value;
    return true;
}

bool ParseFieldInteger(std::string_view text, int32_t& out_value)
{
    const std::string number(TrimBlanks(text));
    if (number.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(number.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        return false;
    out_value = static_cast<int32_t>(value);
    return true;
}

// [SECTION] Edit field

TZAVglutWigits_EditField::TZAVglutWigits_EditField(TZAVglutWigits_Node* parent, std::string_view text)
    : TZAVglutWigits_Node(parent)
{
    Clickable = true;
    ShowLabel = false;
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    std::copy(std::begin(ControlLook::TextDisabled), std::end(ControlLook::TextDisabled), DisabledLabelColor);
    SetText(text, false);
    Height = LineHeight() + ExtraLineHeight + 2 * BorderWidth + 2;
}

TZAVglutWigits_Rect TZAVglutWigits_EditField::TextBox() const
{
    const int32_t inset = BorderWidth + HorizontalPadding;
    return {inset, BorderWidth, Width - 2 * inset, Height - 2 * BorderWidth};
}

std::string TZAVglutWigits_EditField::ValueText() const
{
    if (BoundFloat != nullptr)
        return FormatFieldFloat(*BoundFloat);
    if (BoundInteger != nullptr)
        return std::to_string(*BoundInteger);
    return Editor.Text();
}

void TZAVglutWigits_EditField::BindFloat(float* value)
{
    BoundFloat = value;
    BoundInteger = nullptr;
    Editor.SetText(ValueText());
}

void TZAVglutWigits_EditField::BindInteger(int32_t* value)
{
    BoundInteger = value;
    BoundFloat = nullptr;
    Editor.SetText(ValueText());
}

void TZAVglutWigits_EditField::SetText(std::string_view text, bool relayout)
{
    Editor.SetText(text);
    Edited = false;
    TZAVglutWigits_Node::SetText(text, relayout);
}

bool TZAVglutWigits_EditField::Commit()
{
    Edited = false;
    bool parsed = true;
    if (BoundFloat != nullptr) {
        float value = 0.0f;
        parsed = ParseFieldFloat(Editor.Text(), value);
        if (parsed)
            *BoundFloat = value;
    } else if (BoundInteger != nullptr) {
        int32_t value = 0;
        parsed = ParseFieldInteger(Editor.Text(), value);
        if (parsed)
            *BoundInteger = value;
    }
    // Either the value in its own format, or the old value back for text that did not parse.
    Editor.SetText(ValueText());
    SavedText = Editor.Text();
    SetNameLiteral(SavedText);
    Invalidate();
    return parsed;
}

void TZAVglutWigits_EditField::Cancel()
{
    Editor.SetText(SavedText);
    Edited = false;
    Invalidate();
}

// The click event announces a commit, not a click.
bool TZAVglutWigits_EditField::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    return true;
}

bool TZAVglutWigits_EditField::OnDoubleClick(int32_t, int32_t)
{
    ClickDelivered = true;
    Editor.SelectAll();
    Invalidate();
    return true;
}

void TZAVglutWigits_EditField::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft && state == MouseDown)
        Editor.SetCaret(Editor.OffsetAt(Font(), x - TextBox().X), IsShiftDown());
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_EditField::OnMouseDrag(int32_t x, int32_t y)
{
    Editor.SetCaret(Editor.OffsetAt(Font(), x - TextBox().X), true);
    Invalidate();
    TZAVglutWigits_Node::OnMouseDrag(x, y);
}

bool TZAVglutWigits_EditField::OnKey(int32_t key)
{
    // Characters typed with Ctrl or Alt are left to the hot keys.
    if ((IsCtrlDown() || IsAltDown()) && key >= 32)
        return false;
    const TZAVglutWigits_EditKey result = Editor.OnKey(key);
    if (result == TZAVglutWigits_EditKey::Commit) {
        if (Commit())
            PostEventCopy(ClickEvent.get(), 0, 0, Editor.Text().c_str());
    } else if (result == TZAVglutWigits_EditKey::Cancel) {
        Cancel();
    } else if (result == TZAVglutWigits_EditKey::Edited) {
        Edited = true;
    }
    Editor.KeepCaretInView(Font(), TextBox().Width - 1);
    Invalidate();
    return result != TZAVglutWigits_EditKey::NotHandled;
}

bool TZAVglutWigits_EditField::OnSpecialKey(int32_t key)
{
    const bool handled = Editor.OnSpecialKey(key, IsShiftDown()) != TZAVglutWigits_EditKey::NotHandled;
    Editor.KeepCaretInView(Font(), TextBox().Width - 1);
    Invalidate();
    return handled;
}

void TZAVglutWigits_EditField::OnGetFocus()
{
    SavedText = Editor.Text();
    Edited = false;
    Invalidate();
}

void TZAVglutWigits_EditField::OnLoseFocus()
{
    if (Edited)
        Commit();
    Editor.SetCaret(Editor.Caret, false);
    Invalidate();
    TZAVglutWigits_Node::OnLoseFocus();
}

// A value changed elsewhere shows, unless the user is typing over it.
void TZAVglutWigits_EditField::Update()
{
    if (HasFocus() && Edited)
        return;
    const std::string text = ValueText();
    if (text != Editor.Text()) {
        const size_t caret = Editor.Caret;
        Editor.SetText(text);
        Editor.SetCaret(caret, false);
    }
}

void TZAVglutWigits_EditField::Draw()
{
    if (Parent == nullptr)
        ReportError("Parent is NULL in TZAVglutWigits_EditField::Draw()");
    const bool focused = HasFocus();
    const float width = static_cast<float>(Width), height = static_cast<float>(Height);
    SetColor3fv(ControlLook::Well);
    DrawFilledRect(0.0f, 0.0f, width, height);
    if (BorderWidth > 0) {
        SetColor3fv(focused ? ControlLook::BorderFocused : ControlLook::Border);
        DrawFrameRect(0.0f, 0.0f, width, height, static_cast<float>(BorderWidth));
    }
    Editor.Draw(*this, TextBox(), focused, IsEnabledChain() ? LabelColor : DisabledLabelColor);
}

// [SECTION] Gauge edit field

TZAVglutWigits_GaugeEditField::TZAVglutWigits_GaugeEditField(TZAVglutWigits_Node* parent,
                                                             TZAVglutWigits_Gauge* gauge)
    : TZAVglutWigits_EditField(parent), LinkedGauge(gauge)
{
    Editor.SetText(ValueText());
}

std::string TZAVglutWigits_GaugeEditField::ValueText() const
{
    if (LinkedGauge != nullptr && BoundFloat == nullptr && BoundInteger == nullptr)
        return FormatFieldFloat(LinkedGauge->Value);
    return TZAVglutWigits_EditField::ValueText();
}

void TZAVglutWigits_GaugeEditField::SetGaugeFromText()
{
    float value = 0.0f;
    if (LinkedGauge != nullptr && ParseFieldFloat(Editor.Text(), value))
        LinkedGauge->SetValue(value);
    Editor.SetText(ValueText());
    SavedText = Editor.Text();
    Edited = false;
}

bool TZAVglutWigits_GaugeEditField::OnKey(int32_t key)
{
    if (key == KeyEnter || key == KeyLineFeed) {
        SetGaugeFromText();
        Invalidate();
        return true;
    }
    return TZAVglutWigits_EditField::OnKey(key);
}

void TZAVglutWigits_GaugeEditField::OnLoseFocus()
{
    SetGaugeFromText();
    TZAVglutWigits_EditField::OnLoseFocus();
}
