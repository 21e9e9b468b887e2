// The object commands. Deleting an object and copying groups or materials have no undo record:
// the undo buffer keeps records per object, and neither the object tree nor the polygons' group
// and material numbers are among what it can restore. Subdividing records the whole mesh with
// its morphs and selections in a hook, which puts it back; redoing subdivides again.
#include "app/object_commands.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/panel_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/subdivide.h"
#include "paint/material_map.h"
#include "paint/undo_buffer.h"

TTarnwick_ObjectDisplay ObjectDisplay;

namespace {

enum TObjectCommand : int32_t
{
    CopyGroupsCommand = 48,
    CopyMaterialsCommand = 49,
    NewObjectGroupCommand = 113,
    RenameObjectCommand = 114,
    SwitchObjectCommand = 115,
    DeleteObjectCommand = 116,
    ToggleShowAllCommand = 117,
    ToggleDimmingCommand = 118,
    // Every polygon split into quads, the surface smoothed, morphs and selections carried over.
    SubdivideCommand = 119,
};

constexpr int32_t RelayoutCommand = 66;
constexpr int32_t UploadMapsCommand = 77;
// Past the record types the buffer restores itself: only the hook acts on it.
constexpr int32_t SubdivideUndoType = 1009;

// Commands 48 and 49: string parameters 0 and 1 name the source and the destination object.
bool CopyPolygonOwners(const TZAVEvent& event, bool groups)
{
    const char* source_name = event.GetStringParameter(0);
    const char* destination_name = event.GetStringParameter(1);
    TTarnwick_Object* source = source_name != nullptr ? TarnwickProject->FindObject(source_name) : nullptr;
    TTarnwick_Object* destination =
        destination_name != nullptr ? TarnwickProject->FindObject(destination_name) : nullptr;
    if (source == nullptr || !source->Mesh) {
        AddWarning("Cannot find the source object");
        return false;
    }
    if (destination == nullptr || !destination->Mesh) {
        AddWarning("Cannot find the destination object");
        return false;
    }
    TTarnwick_Mesh& from = *source->Mesh;
    TTarnwick_Mesh& to = *destination->Mesh;
    if (from.GetPolygonCount() != to.GetPolygonCount()) {
        AddWarning("Polygon counts do not match");
        return false;
    }
    // The numbers refer to the destination's own lists, which must hold every one of them.
    const std::vector<int16_t>& owners = groups ? from.PolygonGroup : from.PolygonMaterial;
    const int32_t available = groups ? to.Groups2.Count() : to.Materials.Count();
    const int16_t largest = owners.empty() ? int16_t(-1) : *std::max_element(owners.begin(), owners.end());
    if (largest >= available) {
        AddWarning(groups ? "The destination object has too few groups"
                          : "The destination object has too few materials");
        return false;
    }
    (groups ? to.PolygonGroup : to.PolygonMaterial) = owners;
    if (groups)
        to.Prepare();
    TarnwickProject->SceneChanged = true;
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool DeleteFromTree(TTarnwick_TreeGroup* group, int32_t, void* item)
{
    return !group->List.Delete(static_cast<TTarnwick_Thingy*>(item));
}

// [Subdivision]

TTarnwick_Mesh* MeshOfObject(int32_t id)
{
    for (TTarnwick_Object* object :
         TarnwickProject != nullptr ? TarnwickProject->Objects() : std::vector<TTarnwick_Object*>())
        if (object->ID == id)
            return object->Mesh.get();
    return nullptr;
}

// The views and the maps' polygon lookups start again from the new polygons; the maps keep their
// pixels, the texture coordinates their layout.
void ShowNewPolygons(TTarnwick_Mesh& mesh)
{
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++)
        if (TZAVMaterialMap* map = MaterialMapAt(mesh, index)) {
            map->DropQuadTree();
            map->InvalidateCoverage();
        }
    TarnwickProject->SceneChanged = true;
    if (TarnwickMainWindow != nullptr) {
        TarnwickMainWindow->InvalidateViewportImages();
        TarnwickMainWindow->RequestRedisplay();
    }
    PostCommand(RelayoutCommand);
    PostCommand(RefreshPanelsCommand);
}

// Puts back the mesh from before a subdivision.
class TSubdivisionUndo : public TTarnwick_UndoHook
{
public:
    TSubdivisionUndo(int32_t object_id, TTarnwick_MeshSnapshot snapshot)
        : ObjectID(object_id), Snapshot(std::move(snapshot))
    {
    }
    void OnUndo(TTarnwick_UndoNode&) override;
    std::unique_ptr<TTarnwick_UndoHook> CaptureForRedo() override;
    int64_t MemorySize() const override { return Snapshot.ByteCount(); }

    int32_t ObjectID;
    TTarnwick_MeshSnapshot Snapshot;
};

// Subdivides again; the hook it captured for the next undo learns where the old vertices went.
class TSubdivisionRedo : public TTarnwick_UndoHook
{
public:
    explicit TSubdivisionRedo(int32_t object_id) : ObjectID(object_id) {}
    void OnUndo(TTarnwick_UndoNode&) override
    {
        TTarnwick_Mesh* mesh = MeshOfObject(ObjectID);
        std::vector<int32_t> places;
        if (mesh == nullptr || SubdivideMesh(*mesh, &places) != TTarnwick_SubdivideOutcome::Subdivided)
            return;
        if (Captured != nullptr)
            Captured->Snapshot.NewPlaces = std::move(places);
        ShowNewPolygons(*mesh);
    }
    std::unique_ptr<TTarnwick_UndoHook> CaptureForRedo() override
    {
        TTarnwick_Mesh* mesh = MeshOfObject(ObjectID);
        if (mesh == nullptr)
            return nullptr;
        auto undo = std::make_unique<TSubdivisionUndo>(ObjectID, TTarnwick_MeshSnapshot::Capture(*mesh));
        Captured = undo.get();
        return undo;
    }

private:
    int32_t ObjectID;
    // Owned by the record made for the next undo, which outlives this call.
    TSubdivisionUndo* Captured = nullptr;
};

void TSubdivisionUndo::OnUndo(TTarnwick_UndoNode&)
{
    if (TTarnwick_Mesh* mesh = MeshOfObject(ObjectID)) {
        Snapshot.Restore(*mesh);
        ShowNewPolygons(*mesh);
    }
}

std::unique_ptr<TTarnwick_UndoHook> TSubdivisionUndo::CaptureForRedo()
{
    return std::make_unique<TSubdivisionRedo>(ObjectID);
}

bool SubdivideCurrentObject()
{
    TTarnwick_Object* object = TarnwickProject->CurrentObject;
    if (object == nullptr || !object->Mesh) {
        AddWarning("Please select or load an object");
        return false;
    }
    TTarnwick_Mesh& mesh = *object->Mesh;
    if (mesh.GetPolygonCount() == 0) {
        AddWarning("The object has no polygons to subdivide");
        return false;
    }
    AddStatus("Subdividing object");
    TTarnwick_UndoBuffer& undo = TarnwickProject->UndoBuffer;
    TTarnwick_UndoNodePtr record = undo.CreateUndoNode(SubdivideUndoType, -1);
    std::unique_ptr<TSubdivisionUndo> hook;
    if (record)
        hook = std::make_unique<TSubdivisionUndo>(object->ID, TTarnwick_MeshSnapshot::Capture(mesh));
    std::vector<int32_t> places;
    if (SubdivideMesh(mesh, &places) == TTarnwick_SubdivideOutcome::TooLarge) {
        AddWarning("The object is too large to subdivide: its vertices or polygons could not be numbered");
        return false;
    }
    if (record) {
        hook->Snapshot.NewPlaces = std::move(places);
        record->Hook = std::move(hook);
        record->Memory = record->PayloadMemory();
        undo.AddUndoNode(std::move(record));
    }
    AddStatus("Subdivided \"%s\" into %d polygons", object->GetName(), mesh.GetPolygonCount());
    ShowNewPolygons(mesh);
    return true;
}

} // namespace

bool DeleteCurrentObject()
{
    TTarnwick_Object* object = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    if (object == nullptr) {
        AddWarning("Please select or load an object");
        return false;
    }
    const std::string name = object->GetName();
    TarnwickProject->CurrentObject = nullptr;
    // The undo records of the object go with it: they would restore into nothing.
    TarnwickProject->UndoBuffer.Clear();
    TTarnwick_TreeGroup::Walk(TarnwickProject->ObjectTree.get(), 0, DeleteFromTree, object,
                              TZAVWalkOrder::PreOrder);
    TarnwickProject->ChooseCurrentObject();
    TarnwickProject->SceneChanged = true;
    AddStatus("Deleted the object \"%s\"", name.c_str());
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool IsObjectCommand(int32_t id)
{
    return (id >= NewObjectGroupCommand && id <= SubdivideCommand) || id == CopyGroupsCommand ||
           id == CopyMaterialsCommand;
}

bool HandleObjectCommand(TZAVEvent* event)
{
    if (TarnwickProject == nullptr)
        return false;
    switch (event->GetID()) {
    case CopyGroupsCommand:
    case CopyMaterialsCommand:
        return CopyPolygonOwners(*event, event->GetID() == CopyGroupsCommand);
    case NewObjectGroupCommand: {
        auto* group = new TTarnwick_ObjectTreeGroup(CreateSceneObject);
        group->Label = "New Group";
        TarnwickProject->ObjectTree->AddChild(group);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case RenameObjectCommand: {
        const char* name = event->GetStringParameter(0);
        if (TarnwickProject->CurrentObject == nullptr) {
            AddWarning("Please select or load an object");
            return false;
        }
        if (name == nullptr || name[0] == '\0')
            return false;
        TarnwickProject->CurrentObject->SetNameLiteral(name);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case SwitchObjectCommand: {
        const std::vector<TTarnwick_Object*> objects = TarnwickProject->Objects();
        const int32_t index = event->GetIndex();
        if (index < 0 || index >= int32_t(objects.size()) || !objects[size_t(index)]->Mesh) {
            AddWarning("Please select an object.");
            return false;
        }
        TarnwickProject->CurrentObject = objects[size_t(index)];
        TarnwickProject->SceneChanged = true;
        AddStatus("Switching to object \"%s\"", objects[size_t(index)]->GetName());
        PostCommand(UploadMapsCommand);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case DeleteObjectCommand:
        return DeleteCurrentObject();
    case ToggleShowAllCommand:
        ObjectDisplay.ShowAll = !ObjectDisplay.ShowAll;
        AddStatus(ObjectDisplay.ShowAll ? "Displaying all objects." : "Displaying the current object only.");
        TarnwickProject->SceneChanged = true;
        return true;
    case ToggleDimmingCommand:
        ObjectDisplay.DimUnselected = !ObjectDisplay.DimUnselected;
        AddStatus(ObjectDisplay.DimUnselected
                      ? "The unselected objects will appear darker in the viewport."
                      : "The unselected objects will appear as bright as the current object.");
        TarnwickProject->SceneChanged = true;
        return true;
    case SubdivideCommand:
        return SubdivideCurrentObject();
    default:
        return false;
    }
}
