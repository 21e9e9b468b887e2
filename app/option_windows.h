// The option windows: the viewport options of one view (269) and the program options (270). Both
// are plain windows of the main window, made on first use, that stay open beside the work; every
// change in them takes effect at once.
//
//   viewport options: check boxes bound to the view's display switches (their clicks post the
//                     switch commands with Mode 1), colour buttons that post the colour commands,
//                     and buttons that fit, copy or reset
//   program options:  check boxes and number fields for the project's import, export and seam
//                     options and the settings' autosave interval, undo memory and cached views
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "widgets/window.h"

class TZAVEvent;
class TZAVglutWigits_Button;
class TZAVglutWigits_CheckBox;
class TZAVglutWigits_EditField;
class TZAVglutWigits_Text;
class TTarnwick_ViewportPanel;

enum TTarnwick_OptionWindowCommand : int32_t
{
    ViewportOptionsWindowCommand = 269,
    ProgramOptionsWindowCommand = 270,
};

bool IsOptionWindowCommand(int32_t id);
// Opens the window of the command: 269 for the view named by the event's Context (a panel), else
// the current view. False without a main window.
bool HandleOptionWindowCommand(TZAVEvent* event);

// A window with a close button in its title bar that opens centred in front of everything.
class TTarnwick_OptionWindow : public TZAVglutWigits_Window
{
public:
    TTarnwick_OptionWindow(TZAVglutWigits_Node* parent, const char* title);

    void Open();

protected:
    // Rows are added from the top; the window grows to hold them.
    TZAVglutWigits_Node* AddRow(TZAVglutWigits_Node* node, int32_t height = 0);
    void AddHeading(const char* text);

    int32_t NextY;
};

class TTarnwick_ViewportOptionsWindow : public TTarnwick_OptionWindow
{
public:
    explicit TTarnwick_ViewportOptionsWindow(TZAVglutWigits_Node* parent);

    // The window shows and changes the switches of panel from now on.
    void ShowPanel(TTarnwick_ViewportPanel* panel);
    TTarnwick_ViewportPanel* GetPanel() const { return Panel; }
    // The check box of a switch command (164 to 167), or null.
    TZAVglutWigits_CheckBox* SwitchBox(int32_t command) const;

private:
    struct TSwitchBox
    {
        int32_t Command;
        TZAVglutWigits_CheckBox* Box;
    };

    TTarnwick_ViewportPanel* Panel = nullptr;
    TZAVglutWigits_Text* PanelName = nullptr;
    std::vector<TSwitchBox> Boxes;
    // The buttons that act on the window's view; the others act on every view.
    std::vector<TZAVglutWigits_Button*> OwnViewButtons;
};

class TTarnwick_ProgramOptionsWindow : public TTarnwick_OptionWindow
{
public:
    explicit TTarnwick_ProgramOptionsWindow(TZAVglutWigits_Node* parent);

    // The check box or field labelled text, or null.
    TZAVglutWigits_CheckBox* FindBox(const char* text) const;
    TZAVglutWigits_EditField* FindField(const char* text) const;

private:
    // A check box that shows and sets a flag found anew at every use: the project and the
    // settings may be replaced while the window lives.
    void AddFlag(const char* text, std::function<bool*()> flag);
    // A number typed in is held within minimum..maximum.
    void AddFloat(const char* text, std::function<float*()> value, float minimum, float maximum);
    void AddInteger(const char* text, std::function<int32_t*()> value, int32_t minimum, int32_t maximum);
    TZAVglutWigits_EditField* AddField(const char* text, TZAVglutWigits_EditField* field);

    std::vector<std::pair<std::string, TZAVglutWigits_CheckBox*>> Boxes;
    std::vector<std::pair<std::string, TZAVglutWigits_EditField*>> Fields;
};

// The windows of the current main window, made on first use.
TTarnwick_ViewportOptionsWindow& ViewportOptionsWindow();
TTarnwick_ProgramOptionsWindow& ProgramOptionsWindow();
