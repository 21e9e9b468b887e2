// The object commands. Deleting an object and copying groups or materials have no undo record:
// the undo buffer keeps records per object, and neither the object tree nor the polygons' group
// and material numbers are among what it can restore.
#include "app/object_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"

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
};

constexpr int32_t RefreshPanelsCommand = 244;
constexpr int32_t UploadMapsCommand = 77;

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
    return (id >= NewObjectGroupCommand && id <= ToggleDimmingCommand) || id == CopyGroupsCommand ||
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
    default:
        return false;
    }
}
