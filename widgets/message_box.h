// The drawn message box, and what every drawn dialog shares: a modal window answered once, whose
// buttons act at once instead of posting events (a dialog may open while the event processor
// runs, when posted events would wait for the next pass), and whose heavier actions wait for the
// dialog loop so that they never run inside the input routing.
//
//   Enter        -> the default button (OK, Yes)
//   Escape       -> the cancel button (No, Cancel); OK in a box without one
//   close button -> the negative answer
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dialogs.h"
#include "widgets/button.h"
#include "widgets/window.h"

class TZAVglutWigits_Font;

constexpr int32_t DialogKeyEnter = 13;
constexpr int32_t DialogKeyEscape = 27;

// A push button that runs its action when clicked (or its hot key is pressed).
class TZAVglutWigits_DialogButton : public TZAVglutWigits_Button
{
public:
    TZAVglutWigits_DialogButton(TZAVglutWigits_Node* parent, std::string_view text,
                                std::function<void()> action);

    bool OnClick(int32_t x, int32_t y) override;

    std::function<void()> Action;
};

class TZAVglutWigits_DialogWindow : public TZAVglutWigits_Window
{
public:
    TZAVglutWigits_DialogWindow(TZAVglutWigits_Node* parent, const char* title);

    // Ends the dialog with Answer accepted, or with the negative answer.
    void Accept();
    void Decline();
    // Answered, or closed by the user.
    bool IsFinished() const { return Finished || !Shown; }
    // Runs the action the last input deferred; the dialog loop calls it between inputs.
    void RunDeferred();
    // Shown and centred: gives the keyboard focus to the dialog's first control.
    virtual void Opened() {}
    // Runs action at the next loop step, outside the input routing: for what deletes nodes or
    // opens another dialog.
    void Defer(std::function<void()> action) { Deferred = std::move(action); }

    TZAVDialogAnswer Answer;
    // Asks a question on top of this dialog (the presenter runs a nested message box).
    std::function<TZAVDialogAnswer(const TZAVDialogRequest&)> AskUser;

protected:
    // A button placed with the dialogs' common button size.
    TZAVglutWigits_DialogButton* AddButton(TZAVglutWigits_Node* parent, std::string_view text,
                                           std::function<void()> action);
    int32_t ButtonWidth() const;
    int32_t ButtonHeight() const;

private:
    std::function<void()> Deferred;
    bool Finished = false;
};

// Breaks text into lines no wider than width pixels: at its line ends, then between words; a
// word wider than the line is cut.
std::vector<std::string> WrapDialogText(const TZAVglutWigits_Font& font, std::string_view text,
                                        int32_t width);

class TZAVglutWigits_MessageBox : public TZAVglutWigits_DialogWindow
{
public:
    // Error, Message (OK), YesNo or OkCancel; the window sizes itself to the text.
    TZAVglutWigits_MessageBox(TZAVglutWigits_Node* parent, const TZAVDialogRequest& request);

    void Opened() override;

    TZAVglutWigits_DialogButton* DefaultButton = nullptr;
    // Null in a box with OK alone.
    TZAVglutWigits_DialogButton* CancelButton = nullptr;
    std::vector<std::string> Lines;
};
