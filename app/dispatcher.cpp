// The command dispatcher: checks the number, lets commands that change what the views show
// invalidate their cached images, and hands the event to the handler of its group. Commands 0 to
// 103 are handled here.
#include "app/dispatcher.h"

#include <array>

#include "app/application.h"
#include "app/environment.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "app/mesh_tool_commands.h"
#include "app/texture_residency.h"
#include "app/toolbox.h"
#include "app/view_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/layer_commands.h"
#include "mesh/scene_object.h"
#include "paint/grabbers.h"
#include "paint/paint_brush.h"
#include "tools/parameter.h"
#include "tools/tool.h"

namespace {

enum TCommandFlags : uint32_t
{
    CommandFlag_None = 0,
    // The views' cached images no longer show the scene once the command ran.
    CommandFlag_InvalidatesViews = 1 << 0,
};

enum TGeneralCommand : int32_t
{
    GrabTextureCommand = 39,
    GrabColorCommand = 40,
    LoadEnvironmentCommand = 46,
    UndoCommand = 68,
    RedoCommand = 82,
    UploadChangedMapsCommand = 77,
    LastGeneralCommand = 103,
};

struct TCommandRange
{
    int32_t First;
    int32_t Last;
};

constexpr TCommandRange InvalidatingCommands[] = {
    {7, 7},     {13, 15},   {66, 66},   {68, 73},   {78, 80},   {82, 85},   {103, 103}, {115, 115},
    {127, 127}, {139, 139}, {169, 171}, {176, 195}, {202, 210}, {216, 216}, {218, 219},
};

// Built on the first dispatch.
const std::array<uint32_t, CommandCount>& CommandFlags()
{
    static const std::array<uint32_t, CommandCount> flags = [] {
        std::array<uint32_t, CommandCount> table{};
        for (const TCommandRange& range : InvalidatingCommands)
            for (int32_t id = range.First; id <= range.Last; id++)
                table[size_t(id)] |= CommandFlag_InvalidatesViews;
        return table;
    }();
    return flags;
}

bool UploadChangedMaps()
{
    if (TarnwickProject == nullptr || TarnwickProject->CurrentObject == nullptr ||
        !TarnwickProject->CurrentObject->Mesh)
        return false;
    const bool compress = TarnwickSettings != nullptr && TarnwickSettings->UseTextureCompression &&
                          TarnwickApp.TextureCompression;
    SendMapsToOpenGL(*TarnwickProject->CurrentObject->Mesh, MaxTextureSize,
                     compress ? TZAVTextureCompression::Driver : TZAVTextureCompression::Off);
    return true;
}

// The grabber takes over from the current paint brush (the first one when another tool is
// current), and gives control back to it after its click.
bool ChooseGrabber(TTarnwick_Tool* tool)
{
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    auto* grabber = dynamic_cast<TTarnwick_GrabberBrush*>(tool);
    auto* brush = dynamic_cast<TTarnwick_PaintBrush*>(toolbox.CurrentTool);
    for (int32_t index = 0; brush == nullptr && index < toolbox.PaintBrushes.Count(); index++) {
        TTarnwick_Tool* entry = nullptr;
        if (toolbox.PaintBrushes.Get(entry, index))
            brush = dynamic_cast<TTarnwick_PaintBrush*>(entry);
    }
    if (grabber == nullptr || !ChooseTool(grabber))
        return false;
    grabber->Brush = brush;
    return true;
}

bool HandleGeneralCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case LoadEnvironmentCommand: {
        const bool loaded = LoadEnvironment();
        // Without the environment the program still works; the callbacks may start.
        TarnwickApp.Ready = true;
        return loaded;
    }
    case WindowReshapedCommand:
    case LayOutWindowCommand:
    case SceneSettledCommand:
        return HandleLayoutCommand(event);
    case UploadChangedMapsCommand:
        return UploadChangedMaps();
    case GrabTextureCommand:
        AddStatus(
            "Click on the viewport and drag a rectangle around the section that you would like to grab");
        return ChooseGrabber(ApplicationToolbox().TextureGrabber);
    case GrabColorCommand:
        AddStatus("Click on pixel in the viewport to grab it's color");
        return ChooseGrabber(ApplicationToolbox().ColorGrabber);
    case SliderChangedCommand:
    case CheckBoxChangedCommand:
        return RelayParameterChange(*event);
    case UndoCommand:
    case RedoCommand:
        if (TarnwickProject == nullptr)
            return false;
        if (event->GetID() == UndoCommand) {
            AddStatus("Undoing the last (undo-able) action");
            TarnwickProject->UndoBuffer.Undo();
        } else {
            AddStatus("Redoing the last undone action");
            TarnwickProject->UndoBuffer.Redo();
        }
        return true;
    default:
        // Tools, brushes, maps, options and the tree moves come with the work on their subjects.
        return false;
    }
}

bool HandleHelpCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    default:
        // The help and tutorial pages are still to come.
        return false;
    }
}

bool HandleObjectCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    default:
        // New groups, switching, deleting, showing and subdividing objects are still to come.
        return false;
    }
}

bool HandleMorphCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    default:
        // The morph commands come with the morph panel.
        return false;
    }
}

bool HandleSelectionCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    default:
        // The selection commands come with the selection panel.
        return false;
    }
}

bool HandlePanelCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case ToolChangedCommand:
        TarnwickMainWindow->RefreshToolPanels();
        return true;
    default:
        // Showing, hiding and refreshing the side panels and option windows is still to come.
        return false;
    }
}

} // namespace

namespace {

// What the layer commands ask of the window: the views drawn again once layers hid, showed or
// locked polygons, or changed the selection's weights. The layer panel and the layer brush come
// with their own work and leave their hooks empty.
void ConnectLayerHooks(TTarnwick_LayerHooks& hooks)
{
    hooks.Data = TarnwickMainWindow;
    hooks.Redraw = [](void* window) {
        static_cast<TTarnwick_MainWindow*>(window)->InvalidateViewportImages();
        static_cast<TTarnwick_MainWindow*>(window)->RequestRedisplay();
    };
    hooks.RefreshSelection = hooks.Redraw;
}

} // namespace

bool HandleProjectLayerCommand(TZAVEvent* event)
{
    if (TarnwickProject == nullptr)
        return false;
    // Set for each command: the project, and so its layers, may have been replaced since.
    ConnectLayerHooks(TarnwickProject->Layers.Hooks);
    TTarnwick_LayerCommandModel model;
    model.Layers = &TarnwickProject->Layers;
    model.Objects = TarnwickProject->ObjectTree.get();
    model.CurrentObject = TarnwickProject->CurrentObject;
    // Layer sets are the user's own work: they live in the data folder, beside nothing else.
    if (!UserDataFolder(model.UserFolder))
        model.UserFolder.clear();
    // Without a current object the layer commands do nothing.
    return HandleLayerCommand(model, event) && model.CurrentObject != nullptr;
}

bool DispatchCommand(TZAVEvent* event)
{
    if (TarnwickMainWindow == nullptr || event == nullptr)
        return false;
    const std::array<uint32_t, CommandCount>& flags = CommandFlags();
    const int32_t id = event->GetID();
    if (id < 0 || id >= CommandCount) {
        AddWarning("Event %d is not recognized", id);
        return false;
    }
    if (flags[size_t(id)] & CommandFlag_InvalidatesViews) {
        TarnwickMainWindow->InvalidateViewportImages();
        TarnwickMainWindow->Layout();
    }

    if (IsMeshToolCommand(id))
        return HandleMeshToolCommand(event);
    if (id <= LastGeneralCommand)
        return HandleGeneralCommand(event);
    if (id <= 111)
        return HandleHelpCommand(event);
    if (id <= 121)
        return HandleObjectCommand(event);
    if (id <= 133)
        return HandleMorphCommand(event);
    if (id <= 153)
        return HandleSelectionCommand(event);
    if (id <= LastViewportCommand)
        return HandleViewportCommand(event);
    if (id <= 199)
        return HandleProjectLayerCommand(event);
    if (id <= LastFileCommand)
        return HandleFileCommand(event);
    return HandlePanelCommand(event);
}

void InstallDispatcher()
{
    SetDefaultEventHandler([](TZAVEvent* event) { DispatchCommand(event); });
}
