// The viewport commands: the standard views of the current view, its display options and
// colours, fitting, and laying the window out again. None changes the figure, so none records
// undo.
#include "app/view_commands.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/main_window.h"
#include "app/viewport_panel.h"
#include "app/object_commands.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/report.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

namespace {

// The current view fills the view area, or gives it back to the four.
constexpr int32_t MaximizeViewCommand = 162;

// The panel whose orientation menu posted the event, else the current one. The context is only
// compared with the live panels, never followed blindly.
TTarnwick_ViewportPanel* TargetPanel(const TZAVEvent& event)
{
    for (int32_t index = 0; index < ViewportCount; index++)
        if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index))
            if (static_cast<void*>(panel) == event.Context)
                return panel;
    return TarnwickMainWindow->CurrentViewportPanel();
}

bool SetStandardView(const TZAVEvent& event, TTarnwick_StandardView view)
{
    TTarnwick_ViewportPanel* panel = TargetPanel(event);
    if (panel == nullptr)
        ReportError("Panel == NULL for the standard view %d", int32_t(view));
    AddStatus("%s", TTarnwick_Viewport::GetStandardViewInfo(view).StatusText);
    panel->SetView(view);
    return true;
}

struct TSwitchEntry
{
    int32_t Command;
    int32_t TTarnwick_ViewOptions::*Switch;
    const char* OnText;
    const char* OffText;
};

constexpr TSwitchEntry Switches[] = {
    {ToggleWireframeCommand, &TTarnwick_ViewOptions::Wireframe, "Showing the wireframe over the surface.",
     "Hiding the wireframe."},
    {ToggleBackFacesCommand, &TTarnwick_ViewOptions::BackFaces, "Showing the back faces of polygons.",
     "Hiding the back faces of polygons."},
    {ToggleSelectionOverlayCommand, &TTarnwick_ViewOptions::ShowSelection, "Showing the selection.",
     "Hiding the selection."},
    {ToggleLightingCommand, &TTarnwick_ViewOptions::Lighting, "Lighting the scene.",
     "Showing the plain colours of the scene."},
};

const TSwitchEntry* FindSwitch(int32_t id)
{
    for (const TSwitchEntry& entry : Switches)
        if (entry.Command == id)
            return &entry;
    return nullptr;
}

bool SetSwitch(const TZAVEvent& event, const TSwitchEntry& entry)
{
    TTarnwick_ViewportPanel* panel = TargetPanel(event);
    if (panel == nullptr)
        return false;
    int32_t& value = panel->Options.*(entry.Switch);
    value = event.Mode == 1 ? int32_t(event.IntegerParameters[0] != 0) : int32_t(value == 0);
    AddStatus("%s", value != 0 ? entry.OnText : entry.OffText);
    panel->DiscardCachedImage();
    return true;
}

bool ChooseViewColour(float* colour, const char* status)
{
    float chosen[3];
    if (!ChooseColour(GlobalDialogHost, chosen, colour))
        return false;
    std::copy_n(chosen, 3, colour);
    AddStatus("%s", status);
    TarnwickMainWindow->InvalidateViewportImages();
    return true;
}

// The box of the objects the views show: all of them, or the current one alone.
bool SceneBox(float box_min[3], float box_max[3])
{
    std::fill_n(box_min, 3, std::numeric_limits<float>::max());
    std::fill_n(box_max, 3, std::numeric_limits<float>::lowest());
    bool any = false;
    for (const TTarnwick_Object* object : TarnwickProject->Objects()) {
        if (!object->Mesh || object->Mesh->GetVertexCount() == 0 ||
            (!ObjectDisplay.ShowAll && object != TarnwickProject->CurrentObject))
            continue;
        for (int32_t axis = 0; axis < 3; axis++) {
            box_min[axis] = std::min(box_min[axis], object->Mesh->BoundingMin[axis]);
            box_max[axis] = std::max(box_max[axis], object->Mesh->BoundingMax[axis]);
        }
        any = true;
    }
    return any;
}

bool FitViewsToScene()
{
    float box_min[3], box_max[3];
    if (!SceneBox(box_min, box_max))
        return false;
    AddStatus("Fitting the views to the scene.");
    for (int32_t index = 0; index < ViewportCount; index++)
        if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index)) {
            panel->Viewport.Resize(panel->Width, panel->Height);
            panel->Viewport.FitToBox(box_min, box_max);
            panel->DiscardCachedImage();
        }
    return true;
}

// Every view takes the switches of options.
bool SpreadOptions(const TTarnwick_ViewOptions& options, const char* status)
{
    for (int32_t index = 0; index < ViewportCount; index++)
        if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index)) {
            panel->Options = options;
            panel->DiscardCachedImage();
        }
    AddStatus("%s", status);
    return true;
}

} // namespace

bool HandleViewportCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    switch (id) {
    case int32_t(TTarnwick_StandardView::Front):
    case int32_t(TTarnwick_StandardView::Back):
    case int32_t(TTarnwick_StandardView::Right):
    case int32_t(TTarnwick_StandardView::Left):
    case int32_t(TTarnwick_StandardView::Top):
    case int32_t(TTarnwick_StandardView::Bottom):
    case int32_t(TTarnwick_StandardView::Perspective):
        return SetStandardView(*event, static_cast<TTarnwick_StandardView>(id));
    case MaximizeViewCommand:
        TarnwickMainWindow->ToggleMaximized(TargetPanel(*event));
        return true;
    case KeyPressedCommand:
        TarnwickMainWindow->RequestRedisplay();
        return true;
    default:
        break;
    }
    if (const TSwitchEntry* entry = FindSwitch(id))
        return SetSwitch(*event, *entry);
    if (TarnwickProject == nullptr)
        return false;
    switch (id) {
    case FitViewToObjectCommand: {
        TTarnwick_ViewportPanel* panel = TargetPanel(*event);
        if (panel == nullptr || !panel->FitToObject()) {
            AddWarning("Please select or load an object");
            return false;
        }
        return true;
    }
    case BackgroundColourCommand:
        return ChooseViewColour(TarnwickProject->BackgroundColor,
                                "Changed the background color of the viewports.");
    case WireframeColourCommand:
        return ChooseViewColour(TarnwickProject->WireframeColor, "Changed the wireframe color.");
    case FitViewsToSceneCommand:
        return FitViewsToScene();
    case CopyViewOptionsCommand: {
        TTarnwick_ViewportPanel* panel = TargetPanel(*event);
        return panel != nullptr && SpreadOptions(panel->Options, "Every viewport now shows the scene alike.");
    }
    case ResetViewOptionsCommand:
        return SpreadOptions(TTarnwick_ViewOptions{},
                             "The viewports show the scene as they did at the start.");
    default:
        return false;
    }
}

bool HandleLayoutCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case WindowReshapedCommand:
    case LayOutWindowCommand:
    case SceneSettledCommand:
        TarnwickMainWindow->Layout();
        return true;
    default:
        return false;
    }
}
