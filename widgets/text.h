// Text lines: the static TZAVglutWigits_Text and the editable TZAVglutWigits_EditText, and the
// line editor that the edit text and the edit field share (text, caret, selection, keys).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "widgets/node.h"

class TZAVglutWigits_Font;

// GLUT's special-key codes the editors and lists use.
constexpr int32_t SpecialKeyLeft = 100;
constexpr int32_t SpecialKeyUp = 101;
constexpr int32_t SpecialKeyRight = 102;
constexpr int32_t SpecialKeyDown = 103;
constexpr int32_t SpecialKeyPageUp = 104;
constexpr int32_t SpecialKeyPageDown = 105;
constexpr int32_t SpecialKeyHome = 106;
constexpr int32_t SpecialKeyEnd = 107;

enum class TZAVglutWigits_EditKey : int32_t
{
    NotHandled = 0,
    Edited = 1,
    Moved = 2,
    Commit = 3,
    Cancel = 4,
};

// One line of UTF-8 text with a caret and a selection between Anchor and Caret (byte offsets on
// character boundaries). Keys from the keyboard are Latin-1 and are stored as UTF-8.
class TZAVglutWigits_LineEditor
{
public:
    void SetText(std::string_view text);
    const std::string& Text() const { return Line; }
    bool HasSelection() const { return Anchor != Caret; }
    size_t SelectionStart() const { return Anchor < Caret ? Anchor : Caret; }
    size_t SelectionEnd() const { return Anchor < Caret ? Caret : Anchor; }
    void SelectAll();
    // Moves the caret; extend keeps the anchor where it was.
    void SetCaret(size_t offset, bool extend);
    void Insert(std::string_view utf8);
    // Typing keys (characters, backspace, delete, Enter, Escape, Ctrl+A) and GLUT special keys.
    TZAVglutWigits_EditKey OnKey(int32_t key);
    TZAVglutWigits_EditKey OnSpecialKey(int32_t key, bool extend);
    // The caret offset nearest to x pixels from the start of the shown part of the line.
    size_t OffsetAt(const TZAVglutWigits_Font& font, int32_t x) const;
    // Scrolls the shown part so that the caret lies within width pixels of its start.
    void KeepCaretInView(const TZAVglutWigits_Font& font, int32_t width);
    // Draws the line in colour inside box (node's projection), with the selection and the caret
    // when focused.
    void Draw(const TZAVglutWigits_Node& node, const TZAVglutWigits_Rect& box, bool focused,
              const float* colour);

    size_t Caret = 0;
    size_t Anchor = 0;
    // The first byte shown: the line scrolls left when the caret goes past the box.
    size_t ViewStart = 0;

private:
    size_t Next(size_t offset) const;
    size_t Previous(size_t offset) const;
    void DeleteSelection();

    std::string Line;
};

// A static line of text in the label colour; sizes itself to the text.
class TZAVglutWigits_Text : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_Text(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "");
};

// A line of text that edits in place: it looks like a TZAVglutWigits_Text until it has the
// focus. Enter, or losing the focus after an edit, posts the click event with the text as string
// parameter 0; Escape brings back the text it had when it got the focus.
class TZAVglutWigits_EditText : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_EditText(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "");

    bool OnClick(int32_t x, int32_t y) override;
    bool OnDoubleClick(int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    bool OnKey(int32_t key) override;
    bool OnSpecialKey(int32_t key) override;
    void OnGetFocus() override;
    void OnLoseFocus() override;
    void SetText(std::string_view text, bool relayout = true) override;
    void Draw() override;

    TZAVglutWigits_LineEditor Editor;

private:
    TZAVglutWigits_Rect TextBox() const;
    void Commit();

    std::string SavedText;
    bool Edited = false;
};
