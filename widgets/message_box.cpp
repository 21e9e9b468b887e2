// Dialog windows, dialog buttons, text wrapping and the message box.
#include "widgets/message_box.h"

#include <algorithm>

#include "widgets/font.h"
#include "widgets/master.h"
#include "widgets/text.h"

namespace {

constexpr int32_t Margin = 16;
constexpr int32_t ButtonGap = 10;
constexpr int32_t MinimumButtonWidth = 80;
constexpr int32_t MinimumTextWidth = 200;
constexpr int32_t MaximumTextWidth = 520;

// The longest start of word that fits, at least one byte so that the cutting ends.
size_t FittingStart(const TZAVglutWigits_Font& font, std::string_view word, int32_t width)
{
    return std::max<size_t>(1, font.FitBytes(word, width));
}

void WrapParagraph(const TZAVglutWigits_Font& font, std::string_view paragraph, int32_t width,
                   std::vector<std::string>& out_lines)
{
    std::string line;
    size_t position = 0;
    while (position <= paragraph.size()) {
        size_t end = paragraph.find(' ', position);
        if (end == std::string_view::npos)
            end = paragraph.size();
        std::string_view word = paragraph.substr(position, end - position);
        position = end + 1;
        std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (font.TextWidth(candidate) <= width) {
            line = std::move(candidate);
            continue;
        }
        if (!line.empty())
            out_lines.push_back(std::move(line));
        while (word.size() > 1 && font.TextWidth(word) > width) {
            const size_t fit = FittingStart(font, word, width);
            out_lines.emplace_back(word.substr(0, fit));
            word.remove_prefix(fit);
        }
        line.assign(word);
    }
    out_lines.push_back(std::move(line));
}

} // namespace

// [SECTION] Dialog button and window

TZAVglutWigits_DialogButton::TZAVglutWigits_DialogButton(TZAVglutWigits_Node* parent, std::string_view text,
                                                         std::function<void()> action)
    : TZAVglutWigits_Button(parent, text), Action(std::move(action))
{
}

bool TZAVglutWigits_DialogButton::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    if (Action)
        Action();
    return true;
}

TZAVglutWigits_DialogWindow::TZAVglutWigits_DialogWindow(TZAVglutWigits_Node* parent, const char* title)
    : TZAVglutWigits_Window(parent, title)
{
    StayOnTop = true;
    AddCloseButton();
}

void TZAVglutWigits_DialogWindow::Accept()
{
    Answer.Accepted = true;
    Finished = true;
}

void TZAVglutWigits_DialogWindow::Decline()
{
    Answer = TZAVDialogAnswer();
    Finished = true;
}

void TZAVglutWigits_DialogWindow::RunDeferred()
{
    std::function<void()> action = std::move(Deferred);
    Deferred = nullptr;
    if (action)
        action();
}

int32_t TZAVglutWigits_DialogWindow::ButtonWidth() const
{
    return std::max(MinimumButtonWidth, TextWidth("Cancel") + 4 * HorizontalPadding);
}

int32_t TZAVglutWigits_DialogWindow::ButtonHeight() const
{
    return LineHeight() + 10;
}

TZAVglutWigits_DialogButton* TZAVglutWigits_DialogWindow::AddButton(TZAVglutWigits_Node* parent,
                                                                    std::string_view text,
                                                                    std::function<void()> action)
{
    auto* button = new TZAVglutWigits_DialogButton(parent, text, std::move(action));
    button->Width = ButtonWidth();
    button->Height = ButtonHeight();
    return button;
}

std::vector<std::string> WrapDialogText(const TZAVglutWigits_Font& font, std::string_view text, int32_t width)
{
    std::vector<std::string> lines;
    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view paragraph = text.substr(position, end - position);
        if (!paragraph.empty() && paragraph.back() == '\r')
            paragraph.remove_suffix(1);
        WrapParagraph(font, paragraph, width, lines);
        position = end + 1;
    }
    return lines;
}

// [SECTION] Message box

TZAVglutWigits_MessageBox::TZAVglutWigits_MessageBox(TZAVglutWigits_Node* parent,
                                                     const TZAVDialogRequest& request)
    : TZAVglutWigits_DialogWindow(parent, request.Title.c_str())
{
    const TZAVglutWigits_Master* master = GetMaster();
    const int32_t widest = std::clamp(master != nullptr ? master->Width * 2 / 3 : MaximumTextWidth,
                                      MinimumTextWidth, MaximumTextWidth);
    Lines = WrapDialogText(Font(), request.Text, widest);
    const int32_t line_height = LineHeight();
    int32_t text_width = 0;
    for (size_t i = 0; i < Lines.size(); i++) {
        auto* line = new TZAVglutWigits_Text(this, Lines[i]);
        line->X = Margin;
        line->Y = Margin + static_cast<int32_t>(i) * line_height;
        text_width = std::max(text_width, TextWidth(Lines[i]) + 2 * line->HorizontalPadding);
    }

    const bool question = request.Kind == TZAVDialogKind::YesNo || request.Kind == TZAVDialogKind::OkCancel;
    const bool yes_no = request.Kind == TZAVDialogKind::YesNo;
    DefaultButton = AddButton(this, yes_no ? "Yes" : "OK", [this] { Accept(); });
    if (question)
        CancelButton = AddButton(this, yes_no ? "No" : "Cancel", [this] { Decline(); });
    DefaultButton->HotKey = DialogKeyEnter;
    DefaultButton->HotKeyIgnoreModifiers = true;
    TZAVglutWigits_DialogButton* escape_button = CancelButton != nullptr ? CancelButton : DefaultButton;
    // A box with OK alone takes Escape as OK too, through a hidden button: a node has one hot key.
    if (escape_button == DefaultButton)
        escape_button = AddButton(this, "", [this] { Accept(); });
    escape_button->HotKey = DialogKeyEscape;
    escape_button->HotKeyIgnoreModifiers = true;
    if (CancelButton == nullptr)
        escape_button->Hide();

    const int32_t button_count = CancelButton != nullptr ? 2 : 1;
    const int32_t buttons_width = button_count * ButtonWidth() + (button_count - 1) * ButtonGap;
    const int32_t title_width = TextWidth(request.Title) + 2 * CloseButton->Width + 2 * Margin;
    Width = std::max({text_width + 2 * Margin, buttons_width + 2 * Margin, title_width});
    const int32_t buttons_y = Margin + static_cast<int32_t>(Lines.size()) * line_height + Margin;
    Height = buttons_y + ButtonHeight() + Margin;
    int32_t x = (Width - buttons_width) / 2;
    for (TZAVglutWigits_DialogButton* button : {DefaultButton, CancelButton}) {
        if (button == nullptr)
            continue;
        button->X = x;
        button->Y = buttons_y;
        x += ButtonWidth() + ButtonGap;
    }
}

void TZAVglutWigits_MessageBox::Opened()
{
    if (TZAVglutWigits_Master* master = GetMaster())
        master->SetFocus(DefaultButton);
}
