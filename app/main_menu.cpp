// The main menu bar: File, Edit, View, Object, Morph, Selection and Tools.
#include "app/main_menu.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/file_commands.h"
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

// A null text is a separator.
constexpr TCommandEntry FileEntries[] = {
    {"&New project", MenuCommand_NewProject},
    {"&Open project...", MenuCommand_OpenProject},
    {"&Save", MenuCommand_Save},
    {"Save &as...", MenuCommand_SaveAs},
    {nullptr, 0},
    {"Import O&BJ...", MenuCommand_ImportOBJ},
    {"Import &CR2...", MenuCommand_ImportCR2},
    {"Import an &image as a map...", 208},
    {"&Load a brush image...", 209},
    {nullptr, 0},
    {"&Export OBJ...", MenuCommand_ExportOBJ},
    {"Export C&R2...", 233},
    {"Export all &maps", 220},
    {nullptr, 0},
    {"&Program options...", 270},
};

constexpr TCommandEntry EditEntries[] = {
    {"&Hold the textures", 6},
    {"&Fetch the held textures", 95},
    {"All materials &white", 87},
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
    {nullptr, 0},
    {"&Wireframe over the surface", 164},
    {"B&ack faces", 165},
    {"&Selection", 166},
    {"Li&ghting", 167},
    {"Fit the view to the &object", 168},
    {"Fit every view to the &scene", 171},
    {"&Viewport options...", 269},
    {nullptr, 0},
    {"Show or hide the si&de panels", 255},
};

constexpr TCommandEntry ObjectEntries[] = {
    {"&New object group", 113},
    {"&Delete the object", 116},
    {nullptr, 0},
    {"&Subdivide", 119},
    {"&Convert to quadrilaterals and triangles", 94},
    {nullptr, 0},
    {"Show &all objects or the current one", 117},
    {"D&im the other objects", 118},
    {nullptr, 0},
    {"&Import a layer set...", 227},
    {"&Export the layer set...", 228},
    {"&Keep the layer set", 229},
    {"Delete all &kept layer sets", 240},
};

constexpr TCommandEntry MorphEntries[] = {
    {"&New morph", 123},
    {"&Spawn a morph target", 132},
    {"&Delete the morph", 126},
    {nullptr, 0},
    {"&Clear the morph", 128},
    {"&Mirror the morph", 129},
    {"&Exchange the sides", 130},
    {"Mi&x the morphs or show the current one", 131},
    {nullptr, 0},
    {"Import a morph &target...", 206},
    {"&Import a morph set...", 225},
    {"Ex&port the morphs as a set...", 226},
    {"Write an injection &file...", 222},
    {"Write a &removal file...", 230},
};

constexpr TCommandEntry SelectionEntries[] = {
    {"&New selection", 135},
    {"D&uplicate the selection", 140},
    {"&Delete the selection", 148},
    {nullptr, 0},
    {"Select the &whole object", 141},
    {"&Clear the selection", 138},
    {"&Invert the selection", 139},
    {"&Mirror the selection", 143},
    {"&Harden the selection", 149},
    {"N&ormalise the selection", 150},
    {nullptr, 0},
    {"Hi&de the selected surface", 144},
    {"&Show the hidden surface", 145},
    {"&Lock the selected surface", 146},
    {"&Unlock the surface", 147},
    {"&Weld the selected points", 151},
    {nullptr, 0},
    {"Im&port a selection set...", 223},
    {"&Export the selections as a set...", 224},
};

// The recent projects, read again each time the menu opens: saving elsewhere changes them.
class TRecentMenu : public TZAVglutWigits_Menu
{
public:
    void OpenMenuFor(TZAVglutWigits_Node* owner) override
    {
        Highlighted = nullptr;
        DeleteChildren();
        const std::vector<std::string> paths = ReadRecentProjects();
        for (size_t index = 0; index < paths.size(); index++) {
            auto event = std::make_unique<TZAVEvent>(OpenRecentProjectCommand);
            event->SetIndex(int32_t(index));
            AddEntry(paths[index], std::move(event));
        }
        if (paths.empty())
            AddEntry("No project was opened or saved yet")->Enabled = false;
        TZAVglutWigits_Menu::OpenMenuFor(owner);
    }
};

void AddEntries(TZAVglutWigits_Menu& menu, std::span<const TCommandEntry> entries)
{
    for (const TCommandEntry& entry : entries) {
        if (entry.Text == nullptr)
            menu.AddSeparator();
        else
            menu.AddEntry(entry.Text, std::make_unique<TZAVEvent>(entry.Command));
    }
}

} // namespace

TTarnwick_MainMenu::TTarnwick_MainMenu(TZAVglutWigits_Master* window) : TZAVglutWigits_MenuBar(window)
{
    SetName("MainMenu");
    FileMenu = AddMenu("&File");
    AddEntries(*FileMenu, FileEntries);
    FileMenu->AddSeparator();
    QuitEntry = FileMenu->AddEntry("&Quit", std::make_unique<TZAVEvent>(QuitEntryCB, window, -1));
    AddMenu("&Recent", new TRecentMenu());
    EditMenu = AddMenu("&Edit");
    SetControlHotKey(*EditMenu->AddEntry("&Undo", std::make_unique<TZAVEvent>(MenuCommand_Undo)), 'Z',
                     ModifierCtrl);
    SetControlHotKey(*EditMenu->AddEntry("&Redo", std::make_unique<TZAVEvent>(MenuCommand_Redo)), 'Z',
                     ModifierCtrl | ModifierShift);
    new TZAVglutWigits_HotKeyNode(EditMenu, ControlCode('Y'), 0,
                                  std::make_unique<TZAVEvent>(MenuCommand_Redo), ModifierCtrl);
    EditMenu->AddSeparator();
    AddEntries(*EditMenu, EditEntries);
    if (window != nullptr && window->ExtraHotKeyScope == nullptr)
        window->ExtraHotKeyScope = this;
    ViewMenu = AddMenu("&View");
    AddEntries(*ViewMenu, ViewEntries);
    AddEntries(*AddMenu("&Object"), ObjectEntries);
    AddEntries(*AddMenu("&Morph"), MorphEntries);
    AddEntries(*AddMenu("&Selection"), SelectionEntries);
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
