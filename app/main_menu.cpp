// The main menu bar: File, Edit and View.
#include "app/main_menu.h"

#include <memory>

#include "app/toolbox.h"
#include "app/viewport_camera.h"
#include "tools/tool.h"
#include "widgets/hot_key_node.h"
#include "widgets/master.h"

namespace {

// The Quit entry's handler: the event's context is the window.
void QuitEntryCB(TZAVEvent* event)
{
    if (event != nullptr && event->Context != nullptr)
        static_cast<TZAVglutWigits_Master*>(event->Context)->OnCloseRequest();
}

// Ctrl and a letter reach the keyboard callback as the letter's control code.
constexpr int32_t ControlCode(char letter)
{
    return letter - 'A' + 1;
}

// Ctrl+Z and Ctrl+Shift+Z tell apart by Shift, so the entries do not ignore the case.
void SetControlHotKey(TZAVglutWigits_Node& node, char letter, int32_t modifiers)
{
    node.HotKey = ControlCode(letter);
    node.HotKeyIgnoreCase = false;
    node.HotKeyModifiers = modifiers;
}

// A Tools entry's handler: the event's context is the tool, or null for none.
void ChooseToolCB(TZAVEvent* event)
{
    if (event != nullptr)
        ChooseTool(static_cast<TTarnwick_Tool*>(event->Context));
}

struct TCommandEntry
{
    const char* Text;
    int32_t Command;
};

constexpr TCommandEntry FileEntries[] = {
    {"&New project", MenuCommand_NewProject},
    {"&Open project...", MenuCommand_OpenProject},
    {"Import O&BJ...", MenuCommand_ImportOBJ},
    {"Import &CR2...", MenuCommand_ImportCR2},
    {"&Save", MenuCommand_Save},
    {"Save &as...", MenuCommand_SaveAs},
    {"&Export OBJ...", MenuCommand_ExportOBJ},
};

constexpr TCommandEntry ViewEntries[] = {
    {"&Front", int32_t(TTarnwick_StandardView::Front)},
    {"&Back", int32_t(TTarnwick_StandardView::Back)},
    {"&Right", int32_t(TTarnwick_StandardView::Right)},
    {"&Left", int32_t(TTarnwick_StandardView::Left)},
    {"&Top", int32_t(TTarnwick_StandardView::Top)},
    {"Botto&m", int32_t(TTarnwick_StandardView::Bottom)},
    {"&Perspective", int32_t(TTarnwick_StandardView::Perspective)},
    {"Ma&ximise or restore the view", MenuCommand_MaximizeView},
};

} // namespace

TTarnwick_MainMenu::TTarnwick_MainMenu(TZAVglutWigits_Master* window) : TZAVglutWigits_MenuBar(window)
{
    SetName("MainMenu");
    FileMenu = AddMenu("&File");
    for (const TCommandEntry& entry : FileEntries)
        FileMenu->AddEntry(entry.Text, std::make_unique<TZAVEvent>(entry.Command));
    FileMenu->AddSeparator();
    QuitEntry = FileMenu->AddEntry("&Quit", std::make_unique<TZAVEvent>(QuitEntryCB, window, -1));
    EditMenu = AddMenu("&Edit");
    SetControlHotKey(*EditMenu->AddEntry("&Undo", std::make_unique<TZAVEvent>(MenuCommand_Undo)), 'Z',
                     ModifierCtrl);
    SetControlHotKey(*EditMenu->AddEntry("&Redo", std::make_unique<TZAVEvent>(MenuCommand_Redo)), 'Z',
                     ModifierCtrl | ModifierShift);
    new TZAVglutWigits_HotKeyNode(EditMenu, ControlCode('Y'), 0,
                                  std::make_unique<TZAVEvent>(MenuCommand_Redo), ModifierCtrl);
    if (window != nullptr && window->ExtraHotKeyScope == nullptr)
        window->ExtraHotKeyScope = this;
    ViewMenu = AddMenu("&View");
    for (const TCommandEntry& entry : ViewEntries)
        ViewMenu->AddEntry(entry.Text, std::make_unique<TZAVEvent>(entry.Command));
    AddToolsMenu();
}

// The tools of the tool bar's lists, gaps as separators, and an entry that puts the tool away so
// that a drag in a view turns it again.
void TTarnwick_MainMenu::AddToolsMenu()
{
    ToolsMenu = AddMenu("&Tools");
    ToolsMenu->AddEntry("&Navigate the view", std::make_unique<TZAVEvent>(ChooseToolCB, nullptr, -1));
    ToolsMenu->AddSeparator();
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    for (const TZAVMultiList<TTarnwick_Tool*>* list : {&toolbox.Brushes, &toolbox.Transforms}) {
        for (TTarnwick_Tool* tool : *list) {
            if (tool == nullptr)
                ToolsMenu->AddSeparator();
            else
                ToolsMenu->AddEntry(tool->GetName(), std::make_unique<TZAVEvent>(ChooseToolCB, tool, -1));
        }
        ToolsMenu->AddSeparator();
    }
}
