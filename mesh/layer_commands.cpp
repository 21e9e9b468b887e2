// The layer commands and the layers' hidden and locked state over the object tree.
//
// [SECTION] Layers over the object tree
// [SECTION] Membership edits
// [SECTION] The command handler
#include "mesh/layer_commands.h"

#include <algorithm>
#include <span>

#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/tree_group.h"
#include "mesh/scene_object.h"

namespace {

constexpr float SelectedWeight = 0.1f;

constexpr const char* SelectLayerText = "Please select a layer before proceeding";
constexpr const char* SelectCustomLayerText = "Please select a custom layer before proceeding";
// Two commands have always spelt it this way.
constexpr const char* SelectLayerMisspeltText = "Please select a layer beforee proceeding";

constexpr int32_t SelectWholeObjectCommand = 141;
constexpr int32_t DeselectWholeObjectCommand = 142;

// [SECTION] Layers over the object tree

using TMeshVisit = void (*)(const TTarnwick_LayerList& layers, TTarnwick_Mesh& mesh);

struct TMeshWalk
{
    const TTarnwick_LayerList* Layers;
    TMeshVisit Visit;
};

bool VisitGroupMeshes(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* walk = static_cast<TMeshWalk*>(data);
    for (TTarnwick_Thingy* item : group->List)
        if (auto* object = dynamic_cast<TTarnwick_Object*>(item); object != nullptr && object->Mesh)
            walk->Visit(*walk->Layers, *object->Mesh);
    return true;
}

void ForEachMesh(const TTarnwick_LayerList& layers, TTarnwick_TreeGroup* objects, TMeshVisit visit)
{
    TMeshWalk walk{&layers, visit};
    TTarnwick_TreeGroup::Walk(objects, 0, VisitGroupMeshes, &walk, TZAVWalkOrder::PreOrder);
}

// [SECTION] Membership edits

// The weights of the mesh's current selection, expanded; empty without one.
std::span<const float> SelectionWeights(TTarnwick_Mesh& mesh)
{
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    if (selection == nullptr)
        return {};
    selection->Expand();
    const float* weights = selection->vselect();
    return weights != nullptr ? std::span<const float>(weights, size_t(selection->vcount))
                              : std::span<const float>();
}

bool IsSelected(std::span<const float> weights, int32_t vertex)
{
    return vertex >= 0 && vertex < int32_t(weights.size()) && weights[vertex] > SelectedWeight;
}

bool UsesSelectedVertex(const TTarnwick_Mesh& mesh, std::span<const float> weights, int32_t polygon)
{
    for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
        int32_t vertex = mesh.CornerVertex[corner];
        if (IsSelected(weights, vertex) || IsSelected(weights, mesh.WeldedVertex(vertex)))
            return true;
    }
    return false;
}

enum class TMembership
{
    Add,
    Remove,
};

enum class TPolygons
{
    All,
    UsingSelectedVertices,
};

void EditMembership(TTarnwick_Mesh& mesh, uint32_t bit, TMembership membership, TPolygons polygons)
{
    std::span<const float> weights;
    if (polygons == TPolygons::UsingSelectedVertices) {
        weights = SelectionWeights(mesh);
        if (weights.empty())
            return;
    }
    int32_t polygon_count = std::min<int32_t>(mesh.GetPolygonCount(), int32_t(mesh.PolygonLayerFlags.size()));
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        if (polygons == TPolygons::UsingSelectedVertices && !UsesSelectedVertex(mesh, weights, polygon))
            continue;
        uint32_t& mask = mesh.PolygonLayerFlags[polygon];
        mask = membership == TMembership::Add ? mask | bit : mask & ~bit;
    }
}

// Every vertex of every polygon in the layer gets the weight in the current selection.
void SetLayerSelection(TTarnwick_Mesh& mesh, uint32_t bit, float weight)
{
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    if (selection == nullptr)
        return;
    bool was_compressed = selection->IsCompressed();
    selection->Expand();
    float* weights = selection->vselect();
    int32_t vertex_count = selection->vcount;
    int32_t polygon_count = std::min<int32_t>(mesh.GetPolygonCount(), int32_t(mesh.PolygonLayerFlags.size()));
    for (int32_t polygon = 0; weights != nullptr && polygon < polygon_count; polygon++) {
        if ((mesh.PolygonLayerFlags[polygon] & bit) == 0)
            continue;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            int32_t vertex = mesh.CornerVertex[corner];
            if (vertex >= 0 && vertex < vertex_count)
                weights[vertex] = weight;
        }
    }
    if (was_compressed)
        selection->Compress();
    mesh.SelectionDisplayStale = true;
}

// [SECTION] The command handler

// AddSelected and Clear act on the layer the event names; integer parameter 0 set to 1 lets them fill or
// empty a built-in layer (hiding and locking the selection does that).
bool CheckGivenLayer(const TTarnwick_LayerList& layers, const TZAVEvent& event, void (*refuse)(const char*))
{
    int32_t index = event.Index;
    // Layer 0 has no membership bit to set or clear, even when built-in layers are allowed.
    if (index <= 0 || index >= LayerCount) {
        refuse(index == 0 && event.IntegerParameters[0] != 1 ? SelectCustomLayerText : SelectLayerText);
        return false;
    }
    if (layers.Layers[index].BuiltIn != 0 && event.IntegerParameters[0] != 1) {
        refuse(SelectCustomLayerText);
        return false;
    }
    return true;
}

void RefuseInStatus(const char* text)
{
    AddStatus("%s", text);
}

void RefuseInMessageBox(const char* text)
{
    ShowMessage(GlobalDialogHost, "%s", text);
}

// Commands that change no lock and no membership apply visibility alone.
enum class TLayerStates
{
    LocksAndVisibility,
    VisibilityOnly,
};

void ApplyLayersAndRedraw(TTarnwick_LayerCommandModel& model, TLayerStates states)
{
    if (states == TLayerStates::LocksAndVisibility)
        ApplyLayerLocks(*model.Layers, model.Objects);
    ApplyLayerVisibility(*model.Layers, model.Objects);
    model.Layers->Redraw();
}

// unlocked and shown -> locked; unlocked and hidden -> shown; locked -> hidden and unlocked.
void StepLockState(TTarnwick_Layer& layer)
{
    if (layer.Locked != 0) {
        layer.Locked = 0;
        layer.SetHidden(true);
    } else if (layer.IsHidden()) {
        layer.SetHidden(false);
    } else {
        layer.Locked = 1;
    }
}

void EditCurrentLayerSelection(TTarnwick_LayerCommandModel& model, TTarnwick_Mesh* mesh, float weight,
                               int32_t whole_object_command)
{
    int32_t current = model.Layers->GetCurrentLayerIndex();
    if (current == 0) {
        PostCommand(whole_object_command);
        return;
    }
    if (mesh == nullptr)
        return;
    SetLayerSelection(*mesh, LayerBit(current), weight);
    TTarnwick_LayerHooks& hooks = model.Layers->Hooks;
    if (hooks.RefreshSelection != nullptr)
        hooks.RefreshSelection(hooks.Data);
    model.Layers->Redraw();
}

// AddSelected fills the layer the event names from the selection; Clear empties it.
void EditGivenLayer(TTarnwick_LayerCommandModel& model, TTarnwick_Mesh* mesh, const TZAVEvent& event)
{
    const bool adding = event.GetID() == int32_t(TZAVLayerCommand::AddSelected);
    if (!CheckGivenLayer(*model.Layers, event, adding ? RefuseInStatus : RefuseInMessageBox))
        return;
    if (mesh != nullptr)
        EditMembership(*mesh, LayerBit(event.GetIndex()), adding ? TMembership::Add : TMembership::Remove,
                       adding ? TPolygons::UsingSelectedVertices : TPolygons::All);
    ApplyLayersAndRedraw(model, TLayerStates::LocksAndVisibility);
}

// RemoveSelected, AddAll and RemoveAll act on the current layer.
void EditCurrentLayer(TTarnwick_LayerCommandModel& model, TTarnwick_Mesh* mesh, TZAVLayerCommand command)
{
    const int32_t current = model.Layers->GetCurrentLayerIndex();
    if (command == TZAVLayerCommand::AddAll) {
        // Layer 0 is built in, so it is never filled.
        if (model.Layers->Layers[current].BuiltIn != 0) {
            RefuseInMessageBox(SelectCustomLayerText);
            return;
        }
    } else if (current == 0) {
        RefuseInMessageBox(SelectLayerMisspeltText);
        return;
    }
    const TMembership membership =
        command == TZAVLayerCommand::AddAll ? TMembership::Add : TMembership::Remove;
    const TPolygons polygons =
        command == TZAVLayerCommand::RemoveSelected ? TPolygons::UsingSelectedVertices : TPolygons::All;
    if (mesh != nullptr)
        EditMembership(*mesh, LayerBit(current), membership, polygons);
    ApplyLayersAndRedraw(model, TLayerStates::LocksAndVisibility);
}

void ToggleLayerDisplayFlags(TTarnwick_LayerCommandModel& model, const TZAVEvent& event)
{
    TTarnwick_LayerList& layers = *model.Layers;
    if (event.GetIndex() != -1)
        layers.SetCurrentLayer(event.GetIndex());
    // The context must be one of the project's layers.
    if (TTarnwick_Layer* target = layers.GetLayer(layers.IndexOf(event.Context)))
        target->DisplayFlags ^= uint32_t(event.IntegerParameters[0]);
    ApplyLayersAndRedraw(model, TLayerStates::VisibilityOnly);
}

void ChooseLayerColour(TTarnwick_LayerList& layers)
{
    TTarnwick_Layer& layer = *layers.GetCurrentLayer();
    float colour[3];
    if (ChooseColour(GlobalDialogHost, colour, layer.Color)) {
        std::copy(colour, colour + 3, layer.Color);
        layers.RefreshLayerPanel();
        layers.Redraw();
    }
}

// The panel hands its edited text over in string parameter 0.
void RenameLayer(TTarnwick_LayerList& layers, const TZAVEvent& event)
{
    if (const char* name = event.GetStringParameter(0)) {
        layers.GetCurrentLayer()->SetNameLiteral(name);
        layers.RefreshLayerPanel();
    }
}

bool IsLayerCommand(int32_t id)
{
    return (id >= int32_t(TZAVLayerCommand::FirstInGroup) && id <= int32_t(TZAVLayerCommand::LastInGroup)) ||
           id == int32_t(TZAVLayerCommand::DeleteAllLayerSets);
}

} // namespace

void ApplyLayerLocks(const TTarnwick_LayerList& layers, TTarnwick_TreeGroup* objects)
{
    ForEachMesh(layers, objects, [](const TTarnwick_LayerList& list, TTarnwick_Mesh& mesh) {
        ApplyLayerLocksToMesh(list, mesh, mesh.PolygonLayerFlags);
    });
}

void ApplyLayerVisibility(const TTarnwick_LayerList& layers, TTarnwick_TreeGroup* objects)
{
    ForEachMesh(layers, objects, [](const TTarnwick_LayerList& list, TTarnwick_Mesh& mesh) {
        ApplyLayerVisibilityToMesh(list, mesh, mesh.PolygonLayerFlags);
    });
}

TTarnwick_LayerSetMesh LayerSetMeshOf(TTarnwick_Object* object)
{
    if (object == nullptr || !object->Mesh)
        return {};
    TTarnwick_Mesh& mesh = *object->Mesh;
    return {mesh.GetVertexCount(), mesh.GetPolygonCount(), &mesh.PolygonLayerFlags};
}

bool HandleLayerCommand(TTarnwick_LayerCommandModel& model, TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (!IsLayerCommand(id))
        return false;
    if (model.CurrentObject == nullptr || model.Layers == nullptr)
        return true;
    TTarnwick_LayerList& layers = *model.Layers;
    TTarnwick_Mesh* mesh = model.CurrentObject->Mesh.get();
    const int32_t index = event->GetIndex();
    TTarnwick_LayerHooks& hooks = layers.Hooks;

    switch (const TZAVLayerCommand command = static_cast<TZAVLayerCommand>(id)) {
    case TZAVLayerCommand::SelectForBrush:
        layers.SetCurrentLayer(index);
        if (hooks.SelectLayerBrush != nullptr)
            hooks.SelectLayerBrush(hooks.Data);
        layers.RefreshLayerPanel();
        break;
    case TZAVLayerCommand::MakeCurrent:
        layers.SetCurrentLayer(index);
        break;
    case TZAVLayerCommand::AddSelected:
    case TZAVLayerCommand::Clear:
        EditGivenLayer(model, mesh, *event);
        break;
    case TZAVLayerCommand::RemoveSelected:
    case TZAVLayerCommand::RemoveAll:
    case TZAVLayerCommand::AddAll:
        EditCurrentLayer(model, mesh, command);
        break;
    case TZAVLayerCommand::SelectLayer:
        EditCurrentLayerSelection(model, mesh, 1.0f, SelectWholeObjectCommand);
        break;
    case TZAVLayerCommand::DeselectLayer:
        EditCurrentLayerSelection(model, mesh, 0.0f, DeselectWholeObjectCommand);
        break;
    case TZAVLayerCommand::ToggleDisplayFlags:
        ToggleLayerDisplayFlags(model, *event);
        break;
    case TZAVLayerCommand::StepLock:
        layers.SetCurrentLayer(index);
        StepLockState(*layers.GetCurrentLayer());
        ApplyLayersAndRedraw(model, TLayerStates::LocksAndVisibility);
        break;
    case TZAVLayerCommand::ToggleHidden: {
        layers.SetCurrentLayer(index);
        TTarnwick_Layer& layer = *layers.GetCurrentLayer();
        layer.SetHidden(!layer.IsHidden());
        ApplyLayersAndRedraw(model, TLayerStates::VisibilityOnly);
        break;
    }
    case TZAVLayerCommand::ChooseColour:
        layers.SetCurrentLayer(index);
        ChooseLayerColour(layers);
        break;
    case TZAVLayerCommand::Rename:
        layers.SetCurrentLayer(index);
        RenameLayer(layers, *event);
        break;
    case TZAVLayerCommand::MainWindow:
        if (index != -1)
            layers.SetCurrentLayer(index);
        if (hooks.MainWindowLayerHandling != nullptr)
            hooks.MainWindowLayerHandling(hooks.Data, event);
        break;
    case TZAVLayerCommand::RebuildPanel:
        layers.SetCurrentLayer(index);
        layers.RebuildLayerPanel();
        break;
    case TZAVLayerCommand::DeleteAllLayerSets:
        DeleteAllLayerSets(LayerSetFolder(model.UserFolder));
        break;
    default:
        // Nothing, and the unused numbers of the group, do nothing.
        break;
    }
    return true;
}
