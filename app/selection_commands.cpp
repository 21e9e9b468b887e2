// The selection commands. Weights change only after the selection was recorded for undo; adding a
// selection or making another current changes no weights and records nothing.
#include "app/selection_commands.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/panel_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/tree_group.h"
#include "files/project.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/undo_buffer.h"

namespace {

enum TSelectionCommand : int32_t
{
    SelectMaterialCommand = 96,
    UnselectMaterialCommand = 97,
    SelectGroupCommand = 99,
    UnselectGroupCommand = 100,
    NewSelectionCommand = 135,
    ChooseSelectionCommand = 136,
    RenameSelectionCommand = 137,
    ClearSelectionCommand = 138,
    InvertSelectionCommand = 139,
    DuplicateSelectionCommand = 140,
    SelectWholeObjectCommand = 141,
    DeselectWholeObjectCommand = 142,
    MirrorSelectionCommand = 143,
    HideSelectedCommand = 144,
    ShowHiddenCommand = 145,
    LockSelectedCommand = 146,
    UnlockCommand = 147,
    DeleteSelectionCommand = 148,
    HardenSelectionCommand = 149,
    NormalizeSelectionCommand = 150,
    SelectionToLayerCommand = 152,
};

// Layer commands that the hide and lock commands post with a built-in layer.
constexpr int32_t AddSelectedToLayerCommand = 178;
constexpr int32_t RemoveLayerCommand = 179;
// A weight above this counts as selected when hardening.
constexpr float SelectedWeight = 0.1f;

// Every weight of the current selection through weight = change(vertex, weight), recorded first.
template <typename TChange> bool ChangeWeights(TTarnwick_Mesh& mesh, TChange change)
{
    TTarnwick_Selection* selection = RequireSelection(mesh);
    if (selection == nullptr)
        return false;
    RecordUndo(TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Selection, -1));
    for (int32_t vertex = 0; vertex < selection->vcount; vertex++)
        selection->SetVSelect(vertex, change(vertex, selection->GetVSelect(vertex)));
    mesh.SelectionDisplayStale = true;
    PostCommand(SelectionChangedCommand);
    return true;
}

// The vertices of the polygons whose material (or group) is index.
std::vector<uint8_t> VerticesOfPolygons(const TTarnwick_Mesh& mesh, const std::vector<int16_t>& owners,
                                        int32_t index)
{
    std::vector<uint8_t> marked(size_t(mesh.GetVertexCount()), 0);
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount() && size_t(polygon) < owners.size();
         polygon++) {
        if (owners[size_t(polygon)] != index)
            continue;
        for (int32_t corner = mesh.PolygonStart[size_t(polygon)];
             corner < mesh.PolygonStart[size_t(polygon) + 1]; corner++)
            if (uint32_t(mesh.CornerVertex[size_t(corner)]) < marked.size())
                marked[size_t(mesh.CornerVertex[size_t(corner)])] = 1;
    }
    return marked;
}

// The group or material the brush's drop-down names: string parameter 0 when given, else the
// event's Index.
template <typename TEntry>
int32_t ChosenEntry(const TZAVMultiList<TEntry*>& list, const TZAVEvent& event, std::string& out_name)
{
    const char* name = event.GetStringParameter(0);
    for (int32_t index = 0; index < list.Count(); index++) {
        TEntry* entry = nullptr;
        if (!list.Get(entry, index) || entry == nullptr)
            continue;
        const bool chosen =
            name != nullptr ? std::string(entry->GetName()) == name : index == event.GetIndex();
        if (chosen) {
            out_name = entry->GetName();
            return index;
        }
    }
    return -1;
}

bool SelectPolygonsOf(TTarnwick_Mesh& mesh, const TZAVEvent& event, bool by_group, bool select)
{
    std::string name;
    const int32_t index =
        by_group ? ChosenEntry(mesh.Groups2, event, name) : ChosenEntry(mesh.Materials, event, name);
    if (index < 0) {
        AddWarning(by_group ? "Please choose a group first" : "Please choose a material first");
        return false;
    }
    const std::vector<uint8_t> marked =
        VerticesOfPolygons(mesh, by_group ? mesh.PolygonGroup : mesh.PolygonMaterial, index);
    const bool changed = ChangeWeights(mesh, [&](int32_t vertex, float weight) {
        return marked[size_t(vertex)] != 0 ? (select ? 1.0f : 0.0f) : weight;
    });
    if (changed && by_group)
        AddStatus(select ? "Selected the group %s" : "Unselected the group %s", name.c_str());
    else if (changed)
        AddStatus(select ? "Selected the material %s" : "Unselected the material %s", name.c_str());
    return changed;
}

void PostLayerCommand(int32_t command, int32_t layer)
{
    auto* event = new TZAVEvent(command);
    event->SetIndex(layer);
    // The built-in layers take these commands only when asked for explicitly.
    event->IntegerParameters[0] = 1;
    PostEvent(event);
}

bool NewSelection(TTarnwick_Mesh& mesh, TTarnwick_Selection* like)
{
    TTarnwick_Selection* selection = mesh.NewSelection(-1);
    if (selection == nullptr)
        return false;
    if (like != nullptr) {
        selection->Copy(like);
        selection->SetName("Copy of %s", like->GetName());
    } else {
        selection->SetName("New Selection");
    }
    mesh.SetCurrentSelection(selection, TZAVOldSelection::Compress);
    PostCommand(RefreshPanelsCommand);
    PostCommand(SelectionChangedCommand);
    return true;
}

bool DeleteSelection(TTarnwick_Mesh& mesh)
{
    TTarnwick_Selection* selection = RequireSelection(mesh);
    if (selection == nullptr)
        return false;
    if (selection->ReadOnly) {
        AddWarning("\"%s\" is read-only and cannot be edited", selection->GetName());
        return false;
    }
    const std::vector<TTarnwick_Selection*> all = TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get());
    TTarnwick_Selection* next = nullptr;
    for (TTarnwick_Selection* other : all)
        if (other != selection && next == nullptr)
            next = other;
    const std::string name = selection->GetName();
    mesh.SetCurrentSelection(next, TZAVOldSelection::Keep);
    TTarnwick_TreeGroup::Walk(
        mesh.SelectionTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* item) {
            return !group->List.Delete(static_cast<TTarnwick_Thingy*>(item));
        },
        selection, TZAVWalkOrder::PreOrder);
    AddStatus("Deleted selection \"%s\"", name.c_str());
    PostCommand(RefreshPanelsCommand);
    PostCommand(SelectionChangedCommand);
    return true;
}

} // namespace

bool DeleteCurrentSelection()
{
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    return mesh != nullptr && DeleteSelection(*mesh);
}

bool IsSelectionCommand(int32_t id)
{
    return (id >= FirstSelectionCommand && id <= LastSelectionCommand) || id == SelectMaterialCommand ||
           id == UnselectMaterialCommand || id == SelectGroupCommand || id == UnselectGroupCommand;
}

bool HandleSelectionCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (TarnwickProject == nullptr || id == 134 || id == 151 || id == 153 || !IsSelectionCommand(id))
        return false;
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    if (mesh == nullptr)
        return false;
    switch (id) {
    case SelectMaterialCommand:
    case UnselectMaterialCommand:
        return SelectPolygonsOf(*mesh, *event, false, id == SelectMaterialCommand);
    case SelectGroupCommand:
    case UnselectGroupCommand:
        return SelectPolygonsOf(*mesh, *event, true, id == SelectGroupCommand);
    case NewSelectionCommand:
        return NewSelection(*mesh, nullptr);
    case DuplicateSelectionCommand:
        return RequireSelection(*mesh) != nullptr && NewSelection(*mesh, mesh->CurrentSelection);
    case ChooseSelectionCommand: {
        const std::vector<TTarnwick_Selection*> all =
            TreeItemsOf<TTarnwick_Selection>(mesh->SelectionTree.get());
        if (event->GetIndex() < 0 || event->GetIndex() >= int32_t(all.size())) {
            AddWarning("Please choose a selection first");
            return false;
        }
        mesh->SetCurrentSelection(all[size_t(event->GetIndex())], TZAVOldSelection::Compress);
        PostCommand(SelectionChangedCommand);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case RenameSelectionCommand: {
        const char* name = event->GetStringParameter(0);
        if (RequireSelection(*mesh) == nullptr || name == nullptr || name[0] == '\0')
            return false;
        auto record = TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Rename, -1);
        if (record != nullptr) {
            record->ItemID = mesh->CurrentSelection->ID;
            record->SavedName = mesh->CurrentSelection->GetName();
            record->HasName = true;
        }
        RecordUndo(std::move(record));
        mesh->CurrentSelection->SetNameLiteral(name);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case ClearSelectionCommand:
    case DeselectWholeObjectCommand:
        return ChangeWeights(*mesh, [](int32_t, float) { return 0.0f; });
    case SelectWholeObjectCommand:
        AddStatus("Selecting the entire object");
        return ChangeWeights(*mesh, [](int32_t, float) { return 1.0f; });
    case InvertSelectionCommand:
        return ChangeWeights(*mesh, [](int32_t, float weight) { return 1.0f - weight; });
    case HardenSelectionCommand:
        AddStatus("Hardening the current selection.");
        return ChangeWeights(*mesh,
                             [](int32_t, float weight) { return weight > SelectedWeight ? 1.0f : 0.0f; });
    case NormalizeSelectionCommand: {
        if (RequireSelection(*mesh) == nullptr)
            return false;
        AddStatus("Normalizing the current selection.");
        float largest = 0;
        for (int32_t vertex = 0; vertex < mesh->CurrentSelection->vcount; vertex++)
            largest = std::max(largest, mesh->CurrentSelection->GetVSelect(vertex));
        if (largest <= 1e-30f)
            return false;
        return ChangeWeights(*mesh, [largest](int32_t, float weight) { return weight / largest; });
    }
    case MirrorSelectionCommand: {
        if (RequireSelection(*mesh) == nullptr)
            return false;
        RecordUndo(TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Selection, -1));
        std::vector<int32_t> vertices(size_t(mesh->GetVertexCount()));
        std::iota(vertices.begin(), vertices.end(), 0);
        mesh->MirrorCurrentSelection(TTarnwick_MirrorDirection(event->IntegerParameters[0] != 0), vertices);
        mesh->SelectionDisplayStale = true;
        PostCommand(SelectionChangedCommand);
        return true;
    }
    case HideSelectedCommand:
        AddStatus("Hiding the selected surface");
        PostLayerCommand(AddSelectedToLayerCommand, HiddenLayerIndex);
        return true;
    case ShowHiddenCommand:
        AddStatus("Showing the hidden surface");
        PostLayerCommand(RemoveLayerCommand, HiddenLayerIndex);
        return true;
    case LockSelectedCommand:
        AddStatus("Locking the selected surface");
        PostLayerCommand(AddSelectedToLayerCommand, LockedLayerIndex);
        return true;
    case UnlockCommand:
        AddStatus("Unlocking the locked surface");
        PostLayerCommand(RemoveLayerCommand, LockedLayerIndex);
        return true;
    case DeleteSelectionCommand:
        return DeleteSelection(*mesh);
    case SelectionToLayerCommand:
        if (RequireSelection(*mesh) == nullptr)
            return false;
        PostLayerCommand(AddSelectedToLayerCommand, TarnwickProject->Layers.GetCurrentLayerIndex());
        return true;
    default:
        return false;
    }
}
