// The line editor, static text lines and editable text lines.
//
// [SECTION] Line editor
// [SECTION] Text
// [SECTION] Edit text
#include "widgets/text.h"

#include <algorithm>
#include <iterator>

#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/font.h"
#include "widgets/master.h"

namespace {

constexpr int32_t KeyCtrlA = 1;
constexpr int32_t KeyBackspace = 8;
constexpr int32_t KeyLineFeed = 10;
constexpr int32_t KeyEnter = 13;
constexpr int32_t KeyDelete = 127;
constexpr int32_t CaretInset = 2;
// Edited text shows every character the user typed: "&" and "[b]" are no markup here.
constexpr TZAVglutWigits_FontMarkup Literal = TZAVglutWigits_FontMarkup::Literal;

// Bytes of the valid UTF-8 sequence at offset, or 1 for a byte that stands for itself.
size_t SequenceLength(std::string_view text, size_t offset)
{
    const auto lead = static_cast<uint8_t>(text[offset]);
    const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
    if (length == 1 || lead > 0xF4 || offset + length > text.size())
        return 1;
    for (size_t i = 1; i < length; i++)
        if ((static_cast<uint8_t>(text[offset + i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

// Latin-1 keys as UTF-8.
std::string KeyAsUtf8(int32_t key)
{
    if (key < 0x80)
        return std::string(1, static_cast<char>(key));
    return {static_cast<char>(0xC0 | (key >> 6)), static_cast<char>(0x80 | (key & 0x3F))};
}

bool IsTypedCharacter(int32_t key)
{
    return (key >= 32 && key < KeyDelete) || (key >= 160 && key <= 255);
}

} // namespace

// [SECTION] Line editor

void TZAVglutWigits_LineEditor::SetText(std::string_view text)
{
    Line.assign(text);
    Caret = Line.size();
    Anchor = Caret;
    ViewStart = 0;
}

void TZAVglutWigits_LineEditor::SelectAll()
{
    Anchor = 0;
    Caret = Line.size();
}

void TZAVglutWigits_LineEditor::SetCaret(size_t offset, bool extend)
{
    Caret = std::min(offset, Line.size());
    if (!extend)
        Anchor = Caret;
}

size_t TZAVglutWigits_LineEditor::Next(size_t offset) const
{
    return offset >= Line.size() ? Line.size() : offset + SequenceLength(Line, offset);
}

size_t TZAVglutWigits_LineEditor::Previous(size_t offset) const
{
    if (offset == 0)
        return 0;
    for (size_t back = 2; back <= 4 && back <= offset; back++)
        if (SequenceLength(Line, offset - back) == back)
            return offset - back;
    return offset - 1;
}

void TZAVglutWigits_LineEditor::DeleteSelection()
{
    const size_t start = SelectionStart();
    Line.erase(start, SelectionEnd() - start);
    Caret = start;
    Anchor = start;
}

void TZAVglutWigits_LineEditor::Insert(std::string_view utf8)
{
    DeleteSelection();
    Line.insert(Caret, utf8);
    Caret += utf8.size();
    Anchor = Caret;
}

TZAVglutWigits_EditKey TZAVglutWigits_LineEditor::OnKey(int32_t key)
{
    switch (key) {
    case KeyEnter:
    case KeyLineFeed:
        return TZAVglutWigits_EditKey::Commit;
    case KeyEscape:
        return TZAVglutWigits_EditKey::Cancel;
    case KeyCtrlA:
        SelectAll();
        return TZAVglutWigits_EditKey::Moved;
    case KeyBackspace:
    case KeyDelete:
        if (!HasSelection())
            Anchor = key == KeyBackspace ? Previous(Caret) : Next(Caret);
        DeleteSelection();
        return TZAVglutWigits_EditKey::Edited;
    default:
        break;
    }
    if (!IsTypedCharacter(key))
        return TZAVglutWigits_EditKey::NotHandled;
    Insert(KeyAsUtf8(key));
    return TZAVglutWigits_EditKey::Edited;
}

// Left and right without extend drop the selection at its own edge.
TZAVglutWigits_EditKey TZAVglutWigits_LineEditor::OnSpecialKey(int32_t key, bool extend)
{
    switch (key) {
    case SpecialKeyLeft:
        SetCaret(HasSelection() && !extend ? SelectionStart() : Previous(Caret), extend);
        break;
    case SpecialKeyRight:
        SetCaret(HasSelection() && !extend ? SelectionEnd() : Next(Caret), extend);
        break;
    case SpecialKeyHome:
        SetCaret(0, extend);
        break;
    case SpecialKeyEnd:
        SetCaret(Line.size(), extend);
        break;
    default:
        return TZAVglutWigits_EditKey::NotHandled;
    }
    return TZAVglutWigits_EditKey::Moved;
}

size_t TZAVglutWigits_LineEditor::OffsetAt(const TZAVglutWigits_Font& font, int32_t x) const
{
    const std::string_view line(Line);
    int32_t before = 0;
    for (size_t offset = std::min(ViewStart, Line.size()); offset < Line.size();) {
        const size_t next = Next(offset);
        const int32_t after = font.TextWidth(line.substr(ViewStart, next - ViewStart), Literal);
        if (2 * x < before + after)
            return offset;
        before = after;
        offset = next;
    }
    return Line.size();
}

void TZAVglutWigits_LineEditor::KeepCaretInView(const TZAVglutWigits_Font& font, int32_t width)
{
    const std::string_view line(Line);
    ViewStart = std::min({ViewStart, Caret, Line.size()});
    while (ViewStart < Caret && font.TextWidth(line.substr(ViewStart, Caret - ViewStart), Literal) > width)
        ViewStart = Next(ViewStart);
    // Text deleted at the end lets the line scroll back.
    while (ViewStart > 0 && font.TextWidth(line.substr(Previous(ViewStart)), Literal) <= width)
        ViewStart = Previous(ViewStart);
}

void TZAVglutWigits_LineEditor::Draw(const TZAVglutWigits_Node& node, const TZAVglutWigits_Rect& box,
                                     bool focused, const float* colour)
{
    const TZAVglutWigits_Font& font = node.Font();
    KeepCaretInView(font, box.Width - 1);
    const std::string_view line(Line);
    const std::string_view shown = line.substr(ViewStart);
    const auto x_of = [&](size_t offset) {
        return box.X +
               font.TextWidth(line.substr(ViewStart, std::max(offset, ViewStart) - ViewStart), Literal);
    };
    const float left = static_cast<float>(box.X);
    const float top = static_cast<float>(box.Y + (box.Height - node.LineHeight()) / 2);
    if (focused && HasSelection()) {
        const int32_t start = x_of(SelectionStart());
        const int32_t end = std::min(x_of(SelectionEnd()), box.X + box.Width);
        node.SetColor3fv(ControlLook::SelectionFill);
        DrawFilledRect(static_cast<float>(start), top, static_cast<float>(end - start),
                       static_cast<float>(node.LineHeight()));
    }
    float adjusted[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    node.AdjustColor(colour, adjusted);
    // The font queues in window coordinates.
    font.Queue(shown.substr(0, font.FitBytes(shown, box.Width, Literal)),
               left + static_cast<float>(DrawOriginX()), top + static_cast<float>(DrawOriginY()), adjusted,
               Literal);
    if (focused) {
        node.SetColor3fv(ControlLook::Caret);
        DrawFilledRect(static_cast<float>(x_of(Caret)), static_cast<float>(box.Y + CaretInset), 1.0f,
                       static_cast<float>(box.Height - 2 * CaretInset));
    }
}

// [SECTION] Text

TZAVglutWigits_Text::TZAVglutWigits_Text(TZAVglutWigits_Node* parent, std::string_view text)
    : TZAVglutWigits_Node(parent)
{
    DrawFrame = false;
    BorderWidth = 0;
    AutoSize = true;
    LabelAlignment = TZAVglutWigits_Alignment::Left;
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    std::copy(std::begin(ControlLook::TextDisabled), std::end(ControlLook::TextDisabled), DisabledLabelColor);
    SetText(text, false);
    Height = LineHeight() + ExtraLineHeight;
}

// [SECTION] Edit text

TZAVglutWigits_EditText::TZAVglutWigits_EditText(TZAVglutWigits_Node* parent, std::string_view text)
    : TZAVglutWigits_Node(parent)
{
    Clickable = true;
    DrawFrame = false;
    ShowLabel = false;
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    SetText(text, false);
    Height = LineHeight() + ExtraLineHeight + 2 * BorderWidth;
}

TZAVglutWigits_Rect TZAVglutWigits_EditText::TextBox() const
{
    const int32_t inset = BorderWidth + HorizontalPadding / 2;
    return {inset, BorderWidth, Width - 2 * inset, Height - 2 * BorderWidth};
}

void TZAVglutWigits_EditText::SetText(std::string_view text, bool relayout)
{
    Editor.SetText(text);
    TZAVglutWigits_Node::SetText(text, relayout);
}

void TZAVglutWigits_EditText::Commit()
{
    Edited = false;
    SavedText = Editor.Text();
    SetNameLiteral(SavedText);
    PostEventCopy(ClickEvent.get(), 0, 0, SavedText.c_str());
}

// The click event announces a commit, not a click.
bool TZAVglutWigits_EditText::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    return true;
}

bool TZAVglutWigits_EditText::OnDoubleClick(int32_t, int32_t)
{
    ClickDelivered = true;
    Editor.SelectAll();
    Invalidate();
    return true;
}

void TZAVglutWigits_EditText::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (button == MouseLeft && state == MouseDown)
        Editor.SetCaret(Editor.OffsetAt(Font(), x - TextBox().X), IsShiftDown());
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_EditText::OnMouseDrag(int32_t x, int32_t y)
{
    Editor.SetCaret(Editor.OffsetAt(Font(), x - TextBox().X), true);
    TZAVglutWigits_Node::OnMouseDrag(x, y);
}

bool TZAVglutWigits_EditText::OnKey(int32_t key)
{
    // Characters typed with Ctrl or Alt are left to the hot keys.
    if ((IsCtrlDown() || IsAltDown()) && key >= 32)
        return false;
    const TZAVglutWigits_EditKey result = Editor.OnKey(key);
    if (result == TZAVglutWigits_EditKey::Commit) {
        Commit();
    } else if (result == TZAVglutWigits_EditKey::Cancel) {
        Editor.SetText(SavedText);
        Edited = false;
    } else if (result == TZAVglutWigits_EditKey::Edited) {
        Edited = true;
    }
    Invalidate();
    return result != TZAVglutWigits_EditKey::NotHandled;
}

bool TZAVglutWigits_EditText::OnSpecialKey(int32_t key)
{
    Invalidate();
    return Editor.OnSpecialKey(key, IsShiftDown()) != TZAVglutWigits_EditKey::NotHandled;
}

void TZAVglutWigits_EditText::OnGetFocus()
{
    SavedText = Editor.Text();
    Edited = false;
}

void TZAVglutWigits_EditText::OnLoseFocus()
{
    if (Edited)
        Commit();
    Editor.SetCaret(Editor.Caret, false);
    TZAVglutWigits_Node::OnLoseFocus();
}

void TZAVglutWigits_EditText::Draw()
{
    const bool focused = HasFocus();
    if (focused) {
        SetColor3fv(ControlLook::Well);
        DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
        SetColor3fv(ControlLook::BorderFocused);
        DrawFrameRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height),
                      static_cast<float>(BorderWidth));
    }
    Editor.Draw(*this, TextBox(), focused, IsEnabledChain() ? LabelColor : DisabledLabelColor);
}
