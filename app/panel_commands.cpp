// The help pages and the side panels. A page is looked for before the desktop's opener is started, so
// that a missing page is one clear error instead of the opener's own complaint.
#include "app/panel_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "app/application.h"
#include "app/main_window.h"
#include "app/side_panel.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "tools/tool.h"

namespace {

constexpr int32_t HelpPageCommand = 106;
// Posted by the link under the paint check's findings.
constexpr int32_t OpenGLHelpPageCommand = 108;
constexpr int32_t TutorialPageCommand = 109;

bool OpenPage(const char* kind, const char* file)
{
    const std::string path = DataFilePath(file);
    AddStatus("Launching the \"%s\" page at %s", kind, path.c_str());
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        ShowError(GlobalDialogHost, "Error opening the document\n%s", path.c_str());
        return false;
    }
    return OpenDocument(GlobalDialogHost, path.c_str());
}

} // namespace

bool HandleHelpCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case HelpPageCommand:
        return OpenPage("Help", "Help/index.html");
    case OpenGLHelpPageCommand:
        return OpenPage("OpenGL help", "Help/OpenGL.html");
    case TutorialPageCommand:
        return OpenPage("tutorial", "Help/Tutorials.html");
    default:
        return false;
    }
}

namespace {

// The side panel numbers. Each section has four: show (shown and unfolded), hide (out of the
// column), toggle (one or the other) and update (the list built anew).
//   243        the tool changed: tool bar, tool panel and the lists follow
//   244        a tree changed: the lists follow (each rebuilt only when its rows changed)
//   245, 246   show every section (folded ones stay folded), hide every section (the views take
//              the column's width)
//   247-250    objects: show, hide, toggle, update
//   251-254    layers: show, hide, toggle, update
//   255        the whole column: shown when every section is hidden, else hidden
//   256        choose a morph: the morph section is shown; 257 the same for the selections
//   258-260    morphs: hide, toggle, update
//   261-263    selections: hide, toggle, update
//   264-267    maps: show, hide, toggle, update
//   268        every section folded to its title line
enum TPanelAction : int32_t
{
    PanelShow,
    PanelHide,
    PanelToggle,
    PanelUpdate,
};

struct TPanelNumber
{
    int32_t ID;
    TTarnwick_PanelKind Kind;
    TPanelAction Action;
};

constexpr TPanelNumber PanelNumbers[] = {
    {247, TTarnwick_PanelKind::Objects, PanelShow},      {248, TTarnwick_PanelKind::Objects, PanelHide},
    {249, TTarnwick_PanelKind::Objects, PanelToggle},    {250, TTarnwick_PanelKind::Objects, PanelUpdate},
    {251, TTarnwick_PanelKind::Layers, PanelShow},       {252, TTarnwick_PanelKind::Layers, PanelHide},
    {253, TTarnwick_PanelKind::Layers, PanelToggle},     {254, TTarnwick_PanelKind::Layers, PanelUpdate},
    {256, TTarnwick_PanelKind::Morphs, PanelShow},       {258, TTarnwick_PanelKind::Morphs, PanelHide},
    {259, TTarnwick_PanelKind::Morphs, PanelToggle},     {260, TTarnwick_PanelKind::Morphs, PanelUpdate},
    {257, TTarnwick_PanelKind::Selections, PanelShow},   {261, TTarnwick_PanelKind::Selections, PanelHide},
    {262, TTarnwick_PanelKind::Selections, PanelToggle}, {263, TTarnwick_PanelKind::Selections, PanelUpdate},
    {264, TTarnwick_PanelKind::Maps, PanelShow},         {265, TTarnwick_PanelKind::Maps, PanelHide},
    {266, TTarnwick_PanelKind::Maps, PanelToggle},       {267, TTarnwick_PanelKind::Maps, PanelUpdate},
};

constexpr int32_t ShowAllPanelsCommand = 245;
constexpr int32_t HideAllPanelsCommand = 246;
constexpr int32_t ToggleSidePanelsCommand = 255;
constexpr int32_t FoldAllPanelsCommand = 268;

// Folded sections stay folded: five unfolded lists leave each too few rows.
void ShowAllSections(TTarnwick_SidePanel& panels, bool shown)
{
    for (int32_t kind = 0; kind < PanelKindCount; kind++)
        panels.ShowSection(TTarnwick_PanelKind(kind), shown, false);
}

// A tool that needs a current morph or selection says so in its own message box before it posts
// (the event has no sender); a menu entry or button does not.
void AskToChoose(const TZAVEvent& event)
{
    TTarnwick_Mesh* mesh = TarnwickProject != nullptr && TarnwickProject->CurrentObject != nullptr
                               ? TarnwickProject->CurrentObject->Mesh.get()
                               : nullptr;
    if (event.Sender == nullptr)
        return;
    if (event.GetID() == ChooseMorphPanelCommand && (mesh == nullptr || mesh->CurrentMorph == nullptr))
        AddWarning("Please choose a morph target first");
    if (event.GetID() == ChooseSelectionPanelCommand &&
        (mesh == nullptr || mesh->CurrentSelection == nullptr))
        AddWarning("Please choose a selection first");
}

bool RunPanelNumber(TTarnwick_SidePanel& panels, const TPanelNumber& number)
{
    TTarnwick_PanelSection* section = panels.Section(number.Kind);
    switch (number.Action) {
    case PanelShow:
        panels.ShowSection(number.Kind, true);
        section->Refresh();
        break;
    case PanelHide:
        panels.ShowSection(number.Kind, false);
        break;
    case PanelToggle: {
        const bool open = section->Shown && !section->IsCollapsed();
        panels.ShowSection(number.Kind, !open);
        break;
    }
    case PanelUpdate:
        section->Refresh(true);
        break;
    }
    return true;
}

} // namespace

bool HandlePanelCommand(TZAVEvent* event)
{
    TTarnwick_SidePanel* panels = TarnwickMainWindow->SidePanel();
    const int32_t id = event->GetID();
    switch (id) {
    case ToolChangedCommand:
    case RefreshPanelsCommand:
        TarnwickMainWindow->RefreshToolPanels();
        if (panels != nullptr)
            panels->RefreshLists();
        TarnwickMainWindow->RequestRedisplay();
        return true;
    default:
        break;
    }
    if (panels == nullptr)
        return false;
    bool handled = true;
    switch (id) {
    case ShowAllPanelsCommand:
    case HideAllPanelsCommand:
        ShowAllSections(*panels, id == ShowAllPanelsCommand);
        break;
    case ToggleSidePanelsCommand:
        ShowAllSections(*panels, !panels->AnyShown());
        break;
    case FoldAllPanelsCommand:
        for (int32_t kind = 0; kind < PanelKindCount; kind++)
            panels->Section(TTarnwick_PanelKind(kind))->Collapse();
        break;
    default: {
        const auto number = std::find_if(std::begin(PanelNumbers), std::end(PanelNumbers),
                                         [&](const TPanelNumber& entry) { return entry.ID == id; });
        if (number == std::end(PanelNumbers))
            return false;
        if (id == ChooseMorphPanelCommand || id == ChooseSelectionPanelCommand)
            AskToChoose(*event);
        handled = RunPanelNumber(*panels, *number);
        break;
    }
    }
    TarnwickMainWindow->Layout();
    TarnwickMainWindow->RequestRedisplay();
    return handled;
}
