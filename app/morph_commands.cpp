// The morph commands. Displacements change only after the morph was recorded for undo; adding a
// morph, choosing another one or a strength changes no displacements. A strength has no undo
// record of its own: the dial is set again as easily as it was moved.
#include "app/morph_commands.h"

#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/panel_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/dialogs.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/tree_group.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/undo_buffer.h"

namespace {

enum TMorphCommand : int32_t
{
    NewMorphCommand = 123,
    ChooseMorphCommand = 124,
    RenameMorphCommand = 125,
    DeleteMorphCommand = 126,
    SetStrengthCommand = 127,
    ClearMorphCommand = 128,
    MirrorMorphCommand = 129,
    ExchangeSidesCommand = 130,
    ToggleMixingCommand = 131,
    SpawnMorphCommand = 132,
    ImportMorphCommand = 206,
};

// A morph the user may change: current and not read-only, recorded for undo.
TTarnwick_Morph* MorphToChange(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* morph = RequireMorph(mesh);
    if (morph == nullptr)
        return nullptr;
    if (morph->ReadOnly) {
        AddWarning("\"%s\" is read-only and cannot be edited", morph->GetName());
        return nullptr;
    }
    RecordUndo(TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Morph, -1));
    return morph;
}

void ShowMorphs(TTarnwick_Mesh& mesh)
{
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
    TarnwickProject->SceneChanged = true;
    PostCommand(RefreshPanelsCommand);
}

bool DeleteMorph(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* morph = RequireMorph(mesh);
    if (morph == nullptr)
        return false;
    if (morph->ReadOnly) {
        AddWarning("\"%s\" is read-only and cannot be edited", morph->GetName());
        return false;
    }
    TTarnwick_Morph* next = nullptr;
    for (TTarnwick_Morph* other : TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get()))
        if (other != morph && next == nullptr)
            next = other;
    const std::string name = morph->GetName();
    mesh.SetCurrentMorph(next);
    TTarnwick_TreeGroup::Walk(
        mesh.MorphTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* item) {
            return !group->List.Delete(static_cast<TTarnwick_Thingy*>(item));
        },
        morph, TZAVWalkOrder::PreOrder);
    AddStatus("Deleted morph \"%s\"", name.c_str());
    ShowMorphs(mesh);
    return true;
}

// A new current morph moving the base onto the shape of an OBJ of the same vertices: string
// parameter 0 names the file, else the user chooses it.
bool ImportMorphTarget(TTarnwick_Mesh& mesh, const TZAVEvent& event)
{
    std::string path = event.GetStringParameter(0) != nullptr ? event.GetStringParameter(0) : "";
    std::string folder = TarnwickSettings != nullptr ? TarnwickSettings->ImportPath : std::string();
    constexpr char MorphFiles[] = "All Morph Types\0*.obj\0OBJ Files\0*.obj\0";
    if (path.empty() && !AskOpenFileNameFromList(GlobalDialogHost, path, folder, MorphFiles, nullptr, true))
        return false;
    if (TarnwickSettings != nullptr)
        TarnwickSettings->ImportPath = folder;
    AddStatus("Importing the morph target %s", path.c_str());
    TZAVPolyMesh shape;
    std::string error;
    if (!ReadOBJ(path, shape, ObjRead_None, error)) {
        AddWarning("%s", error.c_str());
        return false;
    }
    if (shape.GetVertexCount() != mesh.GetVertexCount()) {
        AddWarning("The morph target %s has %d vertices, the object %d", path.c_str(), shape.GetVertexCount(),
                   mesh.GetVertexCount());
        return false;
    }
    TTarnwick_Morph* morph = mesh.NewMorph(-1);
    if (morph == nullptr)
        return false;
    morph->SetNameLiteral(NameOf(WithoutExtension(path)));
    float* deltas = morph->vertices();
    for (size_t i = 0; i < mesh.Vertices.size(); i++)
        deltas[i] = shape.Vertices[i] - mesh.Vertices[i];
    morph->Compress();
    mesh.SetCurrentMorph(morph);
    ShowMorphs(mesh);
    return true;
}

} // namespace

bool IsMorphCommand(int32_t id)
{
    return id == MorphChangedCommand || id == ImportMorphCommand ||
           (id >= NewMorphCommand && id <= SpawnMorphCommand);
}

bool DeleteCurrentMorph()
{
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    return mesh != nullptr && DeleteMorph(*mesh);
}

bool HandleMorphCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (TarnwickProject == nullptr || !IsMorphCommand(id))
        return false;
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    if (mesh == nullptr)
        return false;
    switch (id) {
    case MorphChangedCommand:
        ShowMorphs(*mesh);
        return true;
    case NewMorphCommand: {
        TTarnwick_Morph* morph = mesh->NewMorph(-1);
        if (morph == nullptr)
            return false;
        morph->SetName("New Morph");
        mesh->SetCurrentMorph(morph);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case ChooseMorphCommand: {
        const std::vector<TTarnwick_Morph*> all = TreeItemsOf<TTarnwick_Morph>(mesh->MorphTree.get());
        if (event->GetIndex() < 0 || event->GetIndex() >= int32_t(all.size())) {
            AddWarning("Please choose a morph first");
            return false;
        }
        mesh->SetCurrentMorph(all[size_t(event->GetIndex())]);
        ShowMorphs(*mesh);
        return true;
    }
    case RenameMorphCommand: {
        const char* name = event->GetStringParameter(0);
        if (RequireMorph(*mesh) == nullptr || name == nullptr || name[0] == '\0')
            return false;
        auto record = TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Rename, -1);
        if (record != nullptr) {
            record->ItemID = mesh->CurrentMorph->ID;
            record->SavedName = mesh->CurrentMorph->GetName();
            record->HasName = true;
        }
        RecordUndo(std::move(record));
        mesh->CurrentMorph->SetNameLiteral(name);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case DeleteMorphCommand:
        return DeleteMorph(*mesh);
    case SetStrengthCommand: {
        // The strength in hundredths, as the morph panel's dial posts it.
        if (RequireMorph(*mesh) == nullptr)
            return false;
        mesh->CurrentMorph->Strength = float(event->IntegerParameters[0]) / 100.0f;
        ShowMorphs(*mesh);
        return true;
    }
    case ClearMorphCommand: {
        TTarnwick_Morph* morph = MorphToChange(*mesh);
        if (morph == nullptr)
            return false;
        morph->Clear();
        ShowMorphs(*mesh);
        return true;
    }
    case MirrorMorphCommand:
    case ExchangeSidesCommand:
        if (MorphToChange(*mesh) == nullptr)
            return false;
        if (id == MirrorMorphCommand)
            mesh->MirrorCurrentMorph(TTarnwick_MirrorDirection(event->IntegerParameters[0] != 0));
        else
            mesh->ExchangeCurrentMorphSides();
        ShowMorphs(*mesh);
        return true;
    case ToggleMixingCommand:
        mesh->MixMorphs = !mesh->MixMorphs;
        AddStatus(mesh->MixMorphs ? "Mixing the morph targets." : "Showing the current morph target only.");
        ShowMorphs(*mesh);
        return true;
    case ImportMorphCommand:
        return ImportMorphTarget(*mesh, *event);
    case SpawnMorphCommand:
        AddStatus("Spawning a morph target");
        if (mesh->BakeToNewMorph(-1) == nullptr)
            return false;
        ShowMorphs(*mesh);
        return true;
    default:
        return false;
    }
}
