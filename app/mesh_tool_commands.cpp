// The mesh tools' commands. A mesh edit has no undo record type of its own: its record carries a
// hook holding the mesh's shape from before the edit (TTarnwick_MeshShape), which the hook puts
// back when the record is undone; a merge's hook takes the merged object out of the project and
// puts back the objects it replaced.
#include "app/mesh_tool_commands.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/scene_drawing.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "files/language.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "paint/undo_buffer.h"
#include "tools/weld_tools.h"

namespace {

// Past the record types the buffer restores itself: only the hook acts on these.
constexpr int32_t MeshShapeUndoType = 1007;
constexpr int32_t MergeUndoType = 1008;
constexpr int32_t MorphChangedCommand = 7;
constexpr int32_t ConfirmUVMapEntry = 434;
constexpr int32_t NoSelectedPolygonsEntry = 245;
constexpr const char* ConvertQuestion =
    "This mesh has polygons with more than 4 points. Would you like to convert "
    "it so it only contains polygons with 3 or 4 points?";

TTarnwick_Object* FindObjectByID(int32_t id)
{
    if (TarnwickProject == nullptr)
        return nullptr;
    for (TTarnwick_Object* object : TarnwickProject->Objects())
        if (object->ID == id)
            return object;
    return nullptr;
}

// The views show the mesh anew; its maps find their polygons again from the new coordinates.
void ShowMeshChanged(TTarnwick_Mesh& mesh)
{
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++)
        if (TZAVMaterialMap* map = MaterialMapAt(mesh, index)) {
            map->DropQuadTree();
            map->InvalidateCoverage();
        }
    if (TarnwickProject != nullptr)
        TarnwickProject->SceneChanged = true;
    if (TarnwickMainWindow != nullptr) {
        TarnwickMainWindow->InvalidateViewportImages();
        TarnwickMainWindow->RequestRedisplay();
    }
}

class TMeshShapeUndo : public TTarnwick_UndoHook
{
public:
    TMeshShapeUndo(int32_t object_id, TTarnwick_MeshShape shape)
        : ObjectID(object_id), Shape(std::move(shape))
    {
    }

    void OnUndo(TTarnwick_UndoNode&) override
    {
        TTarnwick_Object* object = FindObjectByID(ObjectID);
        if (object == nullptr || !object->Mesh || !Shape.Restore(*object->Mesh))
            return;
        ShowMeshChanged(*object->Mesh);
    }
    std::unique_ptr<TTarnwick_UndoHook> CaptureForRedo() override
    {
        TTarnwick_Object* object = FindObjectByID(ObjectID);
        if (object == nullptr || !object->Mesh)
            return nullptr;
        return std::make_unique<TMeshShapeUndo>(ObjectID, TTarnwick_MeshShape::Capture(*object->Mesh));
    }
    int64_t MemorySize() const override { return Shape.ByteCount(); }

private:
    int32_t ObjectID;
    TTarnwick_MeshShape Shape;
};

// Records the current object's mesh shape before an edit; nothing while undo is off.
void RecordMeshShape(TTarnwick_Object& object, int32_t type = MeshShapeUndoType)
{
    if (TarnwickProject == nullptr || !object.Mesh)
        return;
    TTarnwick_UndoNodePtr record = TarnwickProject->UndoBuffer.CreateUndoNode(type, -1);
    if (!record)
        return;
    record->Hook = std::make_unique<TMeshShapeUndo>(object.ID, TTarnwick_MeshShape::Capture(*object.Mesh));
    record->Memory = record->PayloadMemory();
    TarnwickProject->UndoBuffer.AddUndoNode(std::move(record));
}

TTarnwick_Object* CurrentMeshObject()
{
    TTarnwick_Object* object = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    return object != nullptr && object->Mesh && object->Mesh->GetVertexCount() > 0 ? object : nullptr;
}

// The tool whose button posted the event, or else the one of that kind in the toolbox. The
// context is compared, never cast: events from elsewhere may carry other contexts.
template <typename TTool> TTool* PostingTool(const TZAVEvent& event)
{
    TTool* first = nullptr;
    for (TTarnwick_Tool* tool : ApplicationToolbox().OtherTools) {
        auto* kind = dynamic_cast<TTool*>(tool);
        if (kind != nullptr && static_cast<void*>(tool) == event.Context)
            return kind;
        if (first == nullptr)
            first = kind;
    }
    return first;
}

// [UV mapping and conversion]

bool UVMapSelectionFromView()
{
    if (!AskYesNo(GlobalDialogHost, "%s", GetLanguageString(ConfirmUVMapEntry)))
        return false;
    AddStatus("%s", UVMappingStatus);
    TTarnwick_Object* object = CurrentMeshObject();
    if (object == nullptr) {
        ShowMessage(GlobalDialogHost, "Please select an object.");
        return false;
    }
    TTarnwick_Mesh& mesh = *object->Mesh;
    if (SelectedPolygons(mesh).empty()) {
        ShowMessage(GlobalDialogHost, "%s", GetLanguageString(NoSelectedPolygonsEntry));
        return false;
    }
    TTarnwick_ViewportPanel* panel =
        TarnwickMainWindow != nullptr ? TarnwickMainWindow->CurrentViewportPanel() : nullptr;
    if (panel == nullptr) {
        ShowMessage(GlobalDialogHost, "%s", NoViewportMessage);
        return false;
    }
    float projection[16], model_view[16], scene_to_screen[16];
    panel->Viewport.GetProjectionMatrix(SceneDepth(*TarnwickProject, panel->Viewport.LookAt), projection);
    panel->Viewport.GetModelViewMatrix(model_view);
    for (int32_t column = 0; column < 4; column++)
        for (int32_t row = 0; row < 4; row++) {
            float sum = 0;
            for (int32_t k = 0; k < 4; k++)
                sum += projection[4 * k + row] * model_view[4 * column + k];
            scene_to_screen[4 * column + row] = sum;
        }
    RecordMeshShape(*object);
    UVMapFromView(mesh, scene_to_screen);
    ShowMeshChanged(mesh);
    return true;
}

bool ConvertPolygons()
{
    TTarnwick_Object* object = CurrentMeshObject();
    if (object == nullptr)
        return false;
    const TTarnwick_Mesh& mesh = *object->Mesh;
    bool large = false;
    for (int32_t polygon = 0; !large && polygon < mesh.GetPolygonCount(); polygon++)
        large = mesh.GetPolygonCornerCount(polygon) > 4;
    if (!large) {
        AddStatus("Every polygon of this mesh has 3 or 4 points already.");
        return true;
    }
    if (!AskYesNo(GlobalDialogHost, "%s", ConvertQuestion))
        return false;
    RecordMeshShape(*object);
    ConvertToQuadsAndTriangles(*object->Mesh);
    ShowMeshChanged(*object->Mesh);
    return true;
}

// [Welding]

bool WeldOrUnweld(TZAVEvent& event)
{
    auto* tool = PostingTool<TTarnwick_WeldVertices>(event);
    if (tool == nullptr)
        ReportError("WeldVertices = NULL in mCase(eWeldVertices)");
    TTarnwick_Object* object = CurrentMeshObject();
    if (object == nullptr)
        return false;
    TTarnwick_Mesh& mesh = *object->Mesh;
    RecordMeshShape(*object);
    if (event.GetID() == UnweldCommand) {
        UnweldMesh(mesh);
        AddStatus("Unwelded every vertex of \"%s\"", object->Name.c_str());
    } else {
        WeldMeshByThreshold(mesh, tool->WeldThreshold);
        const auto welded =
            std::count_if(mesh.WeldMap.begin(), mesh.WeldMap.end(), [](int32_t to) { return to >= 0; });
        AddStatus("%d vertices are welded", int32_t(welded));
    }
    ShowMeshChanged(mesh);
    return true;
}

bool WeldPoints()
{
    AddStatus("%s", WeldingPointsStatus);
    TTarnwick_Object* object = CurrentMeshObject();
    if (object == nullptr)
        return false;
    TTarnwick_Mesh& mesh = *object->Mesh;
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    bool any = false;
    for (int32_t vertex = 0;
         selection != nullptr && !any && vertex < std::min(selection->vcount, mesh.GetVertexCount());
         vertex++)
        any = selection->GetVSelect(vertex) > 0.1f;
    if (!any) {
        ShowMessage(GlobalDialogHost, "%s", NothingToWeldMessage);
        return false;
    }
    // The survivor's weight changes with the corners: both records belong to the one action.
    if (TarnwickProject != nullptr)
        TarnwickProject->UndoBuffer.AddUndoNode(
            TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Selection, -1));
    RecordMeshShape(*object);
    WeldSelectedPoints(mesh);
    ShowMeshChanged(mesh);
    PostCommand(MorphChangedCommand);
    return true;
}

// [Merging]

struct TPlacedObject
{
    TTarnwick_TreeGroup* Group;
    TTarnwick_Object* Object;
};

void CollectObjects(TTarnwick_TreeGroup* group, bool visible_only, std::vector<TPlacedObject>& out_objects)
{
    for (; group != nullptr; group = group->NextGroup()) {
        if (visible_only && group->Hidden)
            continue;
        for (TTarnwick_Thingy* item : group->List) {
            auto* object = dynamic_cast<TTarnwick_Object*>(item);
            if (object != nullptr && object->Mesh && object->Mesh->GetVertexCount() > 0)
                out_objects.push_back({group, object});
        }
        CollectObjects(group->FirstChildGroup(), visible_only, out_objects);
    }
}

bool GroupInTree(TTarnwick_TreeGroup* tree, const TTarnwick_TreeGroup* wanted)
{
    for (; tree != nullptr; tree = tree->NextGroup())
        if (tree == wanted || GroupInTree(tree->FirstChildGroup(), wanted))
            return true;
    return false;
}

// Undoing a merge: the merged object leaves the project (the hook keeps it alive until its record
// goes, since the buffer still holds the object while it undoes) and the originals come back.
class TMergeUndo : public TTarnwick_UndoHook
{
public:
    void OnUndo(TTarnwick_UndoNode& record) override
    {
        TTarnwick_Project* project = TarnwickProject;
        if (project == nullptr)
            return;
        TTarnwick_Object* merged = FindObjectByID(record.ObjectID);
        std::vector<TPlacedObject> placed;
        CollectObjects(project->ObjectTree.get(), false, placed);
        for (const TPlacedObject& entry : placed)
            if (entry.Object == merged) {
                entry.Group->List.Remove(merged, TZAVRemoveCount::FirstOnly);
                Merged.reset(merged);
            }
        for (auto& original : Originals) {
            TTarnwick_TreeGroup* group = GroupInTree(project->ObjectTree.get(), original.Group)
                                             ? original.Group
                                             : project->ObjectTree.get();
            group->List.InsertAt(original.Object.release(),
                                 std::clamp(original.Index, 0, group->List.Count()));
        }
        Originals.clear();
        project->CurrentObject = nullptr;
        project->ChooseCurrentObject();
        project->SceneChanged = true;
        if (TarnwickMainWindow != nullptr) {
            TarnwickMainWindow->InvalidateViewportImages();
            TarnwickMainWindow->RequestRedisplay();
        }
    }
    int64_t MemorySize() const override
    {
        int64_t bytes = 0;
        for (const auto& original : Originals)
            bytes += original.Object->Mesh->GetArrayBytes();
        return bytes;
    }

    struct TOriginal
    {
        TTarnwick_TreeGroup* Group;
        int32_t Index;
        std::unique_ptr<TTarnwick_Object> Object;
    };
    std::vector<TOriginal> Originals;
    std::unique_ptr<TTarnwick_Object> Merged;
};

bool MergeObjects(TZAVEvent& event)
{
    if (TarnwickProject == nullptr)
        return false;
    auto* tool = PostingTool<TTarnwick_MergeObjects>(event);
    const TTarnwick_MergeOptions options = tool != nullptr ? tool->Options : TTarnwick_MergeOptions{};
    std::vector<TPlacedObject> placed;
    CollectObjects(TarnwickProject->ObjectTree.get(), options.VisibleOnly, placed);
    if (placed.size() < 2) {
        ShowMessage(GlobalDialogHost, "At least two objects with polygons are needed for merging.");
        return false;
    }
    AddStatus("Merging %d objects into \"%s\"", int32_t(placed.size()), MergedObjectName);
    std::vector<const TTarnwick_Mesh*> meshes;
    for (const TPlacedObject& entry : placed)
        meshes.push_back(entry.Object->Mesh.get());
    auto* merged = new TTarnwick_Object;
    merged->SetNameLiteral(MergedObjectName);
    merged->SetMesh(MergeMeshes(meshes, options));
    TarnwickProject->AddObject(merged);

    // The record names the merged object, which is what undo takes away again.
    TTarnwick_UndoNodePtr record = TarnwickProject->UndoBuffer.CreateUndoNode(MergeUndoType, -1);
    auto hook = std::make_unique<TMergeUndo>();
    if (options.DeleteOriginals) {
        for (const TPlacedObject& entry : placed) {
            const auto& items = entry.Group->List;
            const int32_t index =
                int32_t(std::find(items.begin(), items.end(), entry.Object) - items.begin());
            entry.Group->List.Remove(entry.Object, TZAVRemoveCount::FirstOnly);
            // Without undo nothing can bring them back.
            if (record)
                hook->Originals.push_back(
                    {entry.Group, index, std::unique_ptr<TTarnwick_Object>(entry.Object)});
            else
                delete entry.Object;
        }
    }
    if (record) {
        record->Hook = std::move(hook);
        record->Memory = record->PayloadMemory();
        TarnwickProject->UndoBuffer.AddUndoNode(std::move(record));
    }
    ShowMeshChanged(*merged->Mesh);
    return true;
}

} // namespace

bool IsMeshToolCommand(int32_t id)
{
    switch (id) {
    case UVMapFromViewCommand:
    case ConvertPolygonsCommand:
    case WeldByThresholdCommand:
    case UnweldCommand:
    case MergeObjectsCommand:
    case WeldSelectedPointsCommand:
        return true;
    default:
        return false;
    }
}

bool HandleMeshToolCommand(TZAVEvent* event)
{
    if (event == nullptr)
        return false;
    switch (event->GetID()) {
    case UVMapFromViewCommand:
        return UVMapSelectionFromView();
    case ConvertPolygonsCommand:
        return ConvertPolygons();
    case WeldByThresholdCommand:
    case UnweldCommand:
        return WeldOrUnweld(*event);
    case MergeObjectsCommand:
        return MergeObjects(*event);
    case WeldSelectedPointsCommand:
        return WeldPoints();
    default:
        return false;
    }
}
