// The command dispatcher: checks the number, lets commands that change what the views show
// invalidate their cached images, and hands the event to the handler of its group. Commands 0 to
// 103 are switched here, most of them on to the handler of their subject.
#include "app/dispatcher.h"

#include <array>

#include "app/application.h"
#include "app/environment.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "app/map_commands.h"
#include "app/mesh_tool_commands.h"
#include "app/morph_commands.h"
#include "app/object_commands.h"
#include "app/option_commands.h"
#include "app/option_windows.h"
#include "app/panel_commands.h"
#include "app/selection_commands.h"
#include "app/texture_residency.h"
#include "app/toolbox.h"
#include "app/view_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/layer_commands.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
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
    MoveMorphItemCommand = 2,
    MoveMorphGroupCommand = 3,
    MoveSelectionCommand = 4,
    MoveObjectCommand = 5,
    GrabTextureCommand = 39,
    GrabColorCommand = 40,
    LoadEnvironmentCommand = 46,
    UndoCommand = 68,
    RedoCommand = 82,
    UploadChangedMapsCommand = 77,
    DeleteSelectedItemCommand = 85,
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

struct TInertCommand
{
    TCommandRange Numbers;
    const char* Reason;
};

constexpr const char* NoCase = "no case: the number is unused";
constexpr const char* NoBody = "a case with no action given for it: the subject it belongs to describes none";

// The numbers that do nothing, and why. The weld, merge and UV-map numbers (93, 94, 101, 102, 120,
// 151) are not here: the mesh tools route them.
constexpr TInertCommand InertCommands[] = {
    {{0, 0}, NoCase},
    {{1, 1}, NoBody},
    {{8, 11}, NoBody},
    {{14, 14}, NoBody},
    {{16, 19}, NoBody},
    {{41, 42}, "brush images are loaded and chosen by the brushes' own parameters"},
    {{45, 45}, "brush parameters reach their owners through 43 and 44"},
    {{47, 47}, NoBody},
    {{58, 59}, NoBody},
    {{67, 67}, NoCase},
    {{70, 71}, NoBody},
    {{76, 76}, NoBody},
    {{78, 79}, NoBody},
    {{81, 81}, NoBody},
    {{83, 84}, NoBody},
    {{91, 92}, NoBody},
    {{104, 104}, NoCase},
    {{105, 105}, "a help page that is not shipped"},
    {{107, 107}, "a help page that is not shipped"},
    {{110, 110}, "a help page that is not shipped"},
    {{111, 112}, NoCase},
    {{121, 122}, NoCase},
    {{133, 134}, NoCase},
    {{153, 154}, NoCase},
    {{174, 175}, NoCase},
    {{185, 190}, NoCase},
    {{199, 200}, NoCase},
    {{214, 214}, NoCase},
    {{219, 219}, NoCase},
    {{232, 232}, NoCase},
    {{235, 235}, NoCase},
    {{238, 239}, NoCase},
    {{241, 242}, NoCase},
    {{271, 271}, NoCase},
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

// Command 85: the kind of item is string parameter 0, as the tree panel that had the focus names it;
// a brush texture is named by string parameter 1.
bool DeleteSelectedItem(const TZAVEvent& event)
{
    const char* kind = event.GetStringParameter(0);
    if (kind == nullptr)
        return false;
    if (SameTextNoCase(kind, "Selection"))
        return DeleteCurrentSelection();
    if (SameTextNoCase(kind, "Morph"))
        return DeleteCurrentMorph();
    if (SameTextNoCase(kind, "Object"))
        return DeleteCurrentObject();
    if (SameTextNoCase(kind, "BrushTexture") && TarnwickProject != nullptr) {
        const char* name = event.GetStringParameter(1);
        TTarnwick_TextureBrushImage* image =
            name != nullptr ? TarnwickProject->FindBrushImage(name) : nullptr;
        if (image == nullptr || image->ReadOnly)
            return false;
        return TarnwickProject->BrushImages.Delete(image);
    }
    // A morph mixer row is not an item of its own: it shows the mixed morphs.
    return false;
}

TTarnwick_TreeGroup* TreeOfMoveCommand(int32_t id)
{
    if (id == MoveObjectCommand)
        return TarnwickProject != nullptr ? TarnwickProject->ObjectTree.get() : nullptr;
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    if (mesh == nullptr)
        return nullptr;
    return id == MoveSelectionCommand ? static_cast<TTarnwick_TreeGroup*>(mesh->SelectionTree.get())
                                      : static_cast<TTarnwick_TreeGroup*>(mesh->MorphTree.get());
}

bool HandleGeneralCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (IsMapCommand(id))
        return HandleMapCommand(event);
    if (IsOptionCommand(id))
        return HandleOptionCommand(event);
    if (IsSelectionCommand(id))
        return HandleSelectionCommand(event);
    if (IsObjectCommand(id))
        return HandleObjectCommand(event);
    switch (id) {
    case MoveMorphItemCommand:
    case MoveMorphGroupCommand:
    case MoveSelectionCommand:
    case MoveObjectCommand: {
        TTarnwick_TreeGroup* tree = TreeOfMoveCommand(id);
        return tree != nullptr && MoveDraggedTreeEntry(tree, *event);
    }
    case MorphChangedCommand:
        return HandleMorphCommand(event);
    case SelectionChangedCommand:
        if (TTarnwick_Mesh* mesh = TarnwickProject != nullptr && TarnwickProject->CurrentObject != nullptr
                                       ? TarnwickProject->CurrentObject->Mesh.get()
                                       : nullptr)
            mesh->SelectionDisplayStale = true;
        TarnwickMainWindow->RequestRedisplay();
        return true;
    case DeleteSelectedItemCommand:
        return DeleteSelectedItem(*event);
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
        return false;
    }
}

} // namespace

namespace {

// What the layer commands ask of the window: the views drawn again once layers hid, showed or
// locked polygons, or changed the selection's weights, and the layer list shown again once the
// current layer, a name or a colour changed. The layer brush comes with its own work and leaves
// its hook empty.
void ConnectLayerHooks(TTarnwick_LayerHooks& hooks)
{
    hooks.Data = TarnwickMainWindow;
    hooks.RefreshLayerPanel = [](void*) { PostCommand(RefreshPanelsCommand); };
    hooks.RebuildLayerPanel = hooks.RefreshLayerPanel;
    hooks.RefreshSelection = [](void* window) {
        static_cast<TTarnwick_MainWindow*>(window)->InvalidateViewportImages();
        static_cast<TTarnwick_MainWindow*>(window)->RequestRedisplay();
    };
    // A layer hidden, shown or locked is marked so in its row.
    hooks.Redraw = [](void* window) {
        static_cast<TTarnwick_MainWindow*>(window)->InvalidateViewportImages();
        static_cast<TTarnwick_MainWindow*>(window)->RequestRedisplay();
        PostCommand(RefreshPanelsCommand);
    };
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
    if (InertCommandReason(id) != nullptr)
        return false;

    if (IsMeshToolCommand(id))
        return HandleMeshToolCommand(event);
    if (id <= LastGeneralCommand)
        return HandleGeneralCommand(event);
    // The clipboard's maps and the morph targets are numbered among the files.
    if (IsMapCommand(id))
        return HandleMapCommand(event);
    if (IsMorphCommand(id))
        return HandleMorphCommand(event);
    if (id <= LastHelpCommand)
        return HandleHelpCommand(event);
    if (id <= LastObjectCommand)
        return HandleObjectCommand(event);
    if (id <= LastMorphCommand)
        return HandleMorphCommand(event);
    if (id <= LastSelectionCommand)
        return HandleSelectionCommand(event);
    if (id <= LastViewportCommand)
        return HandleViewportCommand(event);
    if (id <= 199)
        return HandleProjectLayerCommand(event);
    if (id <= LastFileCommand)
        return HandleFileCommand(event);
    if (IsOptionWindowCommand(id))
        return HandleOptionWindowCommand(event);
    return HandlePanelCommand(event);
}

void InstallDispatcher()
{
    SetDefaultEventHandler([](TZAVEvent* event) { DispatchCommand(event); });
}

const char* InertCommandReason(int32_t id)
{
    for (const TInertCommand& inert : InertCommands)
        if (id >= inert.Numbers.First && id <= inert.Numbers.Last)
            return inert.Reason;
    return nullptr;
}

TTarnwick_Mesh* RequireCurrentMesh()
{
    TTarnwick_Object* object = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    if (object == nullptr || !object->Mesh) {
        AddWarning("Please select an object.");
        return nullptr;
    }
    return object->Mesh.get();
}

TTarnwick_Morph* RequireMorph(TTarnwick_Mesh& mesh)
{
    if (mesh.CurrentMorph == nullptr)
        AddWarning("Please choose a morph first");
    return mesh.CurrentMorph;
}

TTarnwick_Selection* RequireSelection(TTarnwick_Mesh& mesh)
{
    if (mesh.CurrentSelection == nullptr)
        AddWarning("Please choose a selection first");
    return mesh.CurrentSelection;
}

void RecordUndo(std::unique_ptr<TTarnwick_UndoNode> record)
{
    if (record != nullptr && TarnwickProject != nullptr)
        TarnwickProject->UndoBuffer.AddUndoNode(std::move(record));
}

namespace {

struct TTreeSearch
{
    std::string_view Name;
    TTarnwick_TreeGroup* Group = nullptr;
    int32_t ItemIndex = -1;
};

bool FindItemOrGroup(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* search = static_cast<TTreeSearch*>(data);
    for (int32_t index = 0; index < group->List.Count(); index++) {
        TTarnwick_Thingy* item = nullptr;
        if (group->List.Get(item, index) && item != nullptr && search->Name == item->GetName()) {
            search->Group = group;
            search->ItemIndex = index;
            return false;
        }
    }
    if (search->Name == group->Label) {
        search->Group = group;
        return false;
    }
    return true;
}

TTreeSearch FindInTree(TTarnwick_TreeGroup* tree, const char* name)
{
    TTreeSearch search;
    if (name != nullptr) {
        search.Name = name;
        TTarnwick_TreeGroup::Walk(tree, 0, FindItemOrGroup, &search, TZAVWalkOrder::PreOrder);
    }
    return search;
}

bool IsWithin(const TTarnwick_TreeGroup* group, const TTarnwick_TreeGroup* ancestor)
{
    for (; group != nullptr; group = group->ParentGroup())
        if (group == ancestor)
            return true;
    return false;
}

} // namespace

bool MoveDraggedTreeEntry(TTarnwick_TreeGroup* tree, const TZAVEvent& event)
{
    const TTreeSearch dragged = FindInTree(tree, event.GetStringParameter(0));
    const TTreeSearch target = FindInTree(tree, event.GetStringParameter(1));
    // Only a group can take what is dropped on it.
    if (dragged.Group == nullptr || target.Group == nullptr || target.ItemIndex >= 0)
        return false;
    if (dragged.ItemIndex >= 0) {
        TTarnwick_Thingy* item = nullptr;
        dragged.Group->List.Get(item, dragged.ItemIndex);
        if (item->ReadOnly) {
            AddWarning("\"%s\" is read-only and cannot be edited", item->GetName());
            return false;
        }
        if (dragged.Group == target.Group)
            return false;
        dragged.Group->List.RemoveAt(dragged.ItemIndex);
        target.Group->List.Add(item);
    } else {
        if (dragged.Group == tree)
            return false;
        if (dragged.Group->ReadOnly) {
            AddWarning("\"%s\" is read-only and cannot be edited", dragged.Group->Label.c_str());
            return false;
        }
        if (IsWithin(target.Group, dragged.Group)) {
            AddWarning("Cannot move this group into a child group");
            return false;
        }
        dragged.Group->Unlink();
        target.Group->AddChild(dragged.Group);
    }
    PostCommand(RefreshPanelsCommand);
    return true;
}
