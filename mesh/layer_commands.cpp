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

enum TLayerCommand : int32_t
{
    LayerCommand_FirstInGroup = 175,
    LayerCommand_SelectForBrush = 176,
    LayerCommand_MakeCurrent = 177,
    LayerCommand_AddSelected = 178,
    LayerCommand_Clear = 179,
    LayerCommand_RemoveSelected = 180,
    LayerCommand_AddAll = 181,
    LayerCommand_RemoveAll = 182,
    LayerCommand_SelectLayer = 183,
    LayerCommand_DeselectLayer = 184,
    LayerCommand_Nothing = 191,
    LayerCommand_ToggleDisplayFlags = 192,
    LayerCommand_StepLock = 193,
    LayerCommand_ToggleHidden = 194,
    LayerCommand_ChooseColour = 195,
    LayerCommand_Rename = 196,
    LayerCommand_MainWindow = 197,
    LayerCommand_RebuildPanel = 198,
    LayerCommand_LastInGroup = 199,
    LayerCommand_DeleteAllLayerSets = 240,
};

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
    TTarnwick_TreeGroup::Walk(objects, 0, VisitGroupMeshes, &walk, false);
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

// 178 and 179 act on the layer the event names; integer parameter 0 set to 1 lets them fill or
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

void ApplyLayersAndRedraw(TTarnwick_LayerCommandModel& model, bool locks)
{
    if (locks)
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
    int32_t id = event->GetID();
    if ((id < LayerCommand_FirstInGroup || id > LayerCommand_LastInGroup) &&
        id != LayerCommand_DeleteAllLayerSets)
        return false;
    if (model.CurrentObject == nullptr || model.Layers == nullptr)
        return true;
    TTarnwick_LayerList& layers = *model.Layers;
    TTarnwick_Mesh* mesh = model.CurrentObject->Mesh.get();
    int32_t index = event->GetIndex();
    int32_t current = layers.GetCurrentLayerIndex();
    TTarnwick_LayerHooks& hooks = layers.Hooks;

    switch (id) {
    case LayerCommand_SelectForBrush:
        layers.SetCurrentLayer(index);
        if (hooks.SelectLayerBrush != nullptr)
            hooks.SelectLayerBrush(hooks.Data);
        layers.RefreshLayerPanel();
        break;
    case LayerCommand_MakeCurrent:
        layers.SetCurrentLayer(index);
        break;
    case LayerCommand_AddSelected:
    case LayerCommand_Clear: {
        bool adding = id == LayerCommand_AddSelected;
        if (!CheckGivenLayer(layers, *event, adding ? RefuseInStatus : RefuseInMessageBox))
            break;
        if (mesh != nullptr)
            EditMembership(*mesh, LayerBit(index), adding ? TMembership::Add : TMembership::Remove,
                           adding ? TPolygons::UsingSelectedVertices : TPolygons::All);
        ApplyLayersAndRedraw(model, true);
        break;
    }
    case LayerCommand_RemoveSelected:
    case LayerCommand_RemoveAll:
        if (current == 0) {
            RefuseInMessageBox(SelectLayerMisspeltText);
            break;
        }
        if (mesh != nullptr)
            EditMembership(*mesh, LayerBit(current), TMembership::Remove,
                           id == LayerCommand_RemoveAll ? TPolygons::All : TPolygons::UsingSelectedVertices);
        ApplyLayersAndRedraw(model, true);
        break;
    case LayerCommand_AddAll:
        // Layer 0 is built in, so it is never filled.
        if (layers.Layers[current].BuiltIn != 0) {
            RefuseInMessageBox(SelectCustomLayerText);
            break;
        }
        if (mesh != nullptr)
            EditMembership(*mesh, LayerBit(current), TMembership::Add, TPolygons::All);
        ApplyLayersAndRedraw(model, true);
        break;
    case LayerCommand_SelectLayer:
        EditCurrentLayerSelection(model, mesh, 1.0f, SelectWholeObjectCommand);
        break;
    case LayerCommand_DeselectLayer:
        EditCurrentLayerSelection(model, mesh, 0.0f, DeselectWholeObjectCommand);
        break;
    case LayerCommand_ToggleDisplayFlags: {
        if (index != -1)
            layers.SetCurrentLayer(index);
        // The context must be one of the project's layers.
        if (TTarnwick_Layer* target = layers.GetLayer(layers.IndexOf(event->Context)))
            target->DisplayFlags ^= uint32_t(event->IntegerParameters[0]);
        ApplyLayersAndRedraw(model, false);
        break;
    }
    case LayerCommand_StepLock:
        layers.SetCurrentLayer(index);
        StepLockState(*layers.GetCurrentLayer());
        ApplyLayersAndRedraw(model, true);
        break;
    case LayerCommand_ToggleHidden: {
        layers.SetCurrentLayer(index);
        TTarnwick_Layer& layer = *layers.GetCurrentLayer();
        layer.SetHidden(!layer.IsHidden());
        ApplyLayersAndRedraw(model, false);
        break;
    }
    case LayerCommand_ChooseColour: {
        layers.SetCurrentLayer(index);
        TTarnwick_Layer& layer = *layers.GetCurrentLayer();
        float colour[3];
        if (ChooseColour(GlobalDialogHost, colour, layer.Color)) {
            std::copy(colour, colour + 3, layer.Color);
            layers.RefreshLayerPanel();
            layers.Redraw();
        }
        break;
    }
    case LayerCommand_Rename:
        layers.SetCurrentLayer(index);
        // The panel hands its edited text over in string parameter 0.
        if (const char* name = event->GetStringParameter(0)) {
            layers.GetCurrentLayer()->SetNameLiteral(name);
            layers.RefreshLayerPanel();
        }
        break;
    case LayerCommand_MainWindow:
        if (index != -1)
            layers.SetCurrentLayer(index);
        if (hooks.MainWindowLayerHandling != nullptr)
            hooks.MainWindowLayerHandling(hooks.Data, event);
        break;
    case LayerCommand_RebuildPanel:
        layers.SetCurrentLayer(index);
        layers.RebuildLayerPanel();
        break;
    case LayerCommand_DeleteAllLayerSets:
        DeleteAllLayerSets(LayerSetFolder(model.UserFolder));
        break;
    default:
        // 191 and the unused numbers of the group do nothing.
        break;
    }
    return true;
}
