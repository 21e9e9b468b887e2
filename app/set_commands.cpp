// The file commands of sets and images. Their numbers:
//
//   208  an image file as a new map of the current object, on its colour channel
//   209  an image file as a new brush image of the project
//   210  the pixels of the map the Index names replaced by an image file, at the map's size
//   222  the current morph as a morph injection file
//   223  import a selection set: selections of the same name are replaced, others made
//   224  export every selection of the current object as a selection set
//   225  import a morph set: morphs of the same name are replaced, others made
//   226  export every morph of the current object as a morph set
//   227  import a layer set from a file the user chooses
//   228  export the layer set to a file the user chooses
//   229  save the layer set into the user's layer set folder, named after the object, and list it
//   230  the current morph's removal file ("_REM"), which takes an injected morph away again
//   236  import the layer set the Index names in the user's layer set folder's index
//
// String parameter 0, when given, names the file instead of a dialog. Replaced selections, morphs
// and maps are recorded for undo first; layers have no undo record, so a layer set import is
// taken back by loading the set saved before it.
#include "app/set_commands.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/morph_commands.h"
#include "app/panel_commands.h"
#include "app/selection_commands.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "files/cr2_export.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/layer_commands.h"
#include "mesh/layer_set.h"
#include "mesh/morph_set.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "mesh/selection_set.h"
#include "paint/brush_image.h"
#include "paint/image_file.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "paint/undo_buffer.h"

namespace {

enum TSetCommand : int32_t
{
    ImportImageAsMapCommand = 208,
    LoadBrushImageCommand = 209,
    ReplaceMapPixelsCommand = 210,
    ExportInjectionCommand = 222,
    ImportSelectionSetCommand = 223,
    ExportSelectionSetCommand = 224,
    ImportMorphSetCommand = 225,
    ExportMorphSetCommand = 226,
    ImportLayerSetCommand = 227,
    ExportLayerSetCommand = 228,
    SaveLayerSetCommand = 229,
    ExportRemovalCommand = 230,
    LoadListedLayerSetCommand = 236,
};

constexpr int32_t RefreshBrushImagesCommand = 243;
constexpr int32_t UploadMapsCommand = 77;

constexpr const char* ImageFilesDescription = "Image Files";
constexpr const char* InjectionFilesDescription = "Poser Pose Files";
constexpr const char* InjectionExtension = "pz2";
constexpr const char* SelectionSetDescription = "Selection Set Files";
constexpr const char* SelectionSetExtension = "txt";
constexpr const char* MorphSetDescription = "Morph Set Files";
constexpr const char* MorphSetExtension = "MorphSet";
constexpr const char* LayerSetDescription = "Layer Set Files";
constexpr const char* LayerSetExtension = "LaySet";
constexpr const char* RemovalSuffix = "_REM";

// Settings folders that a dialog starts in and remembers; a copy when there are no settings.
std::string& Folder(std::string TTarnwick_Settings::*member)
{
    static std::string none;
    return TarnwickSettings != nullptr ? TarnwickSettings->*member : none;
}

// String parameter 0 when the poster named a file, else the user's choice; false on cancel.
bool ChooseFile(const TZAVEvent& event, bool save, std::string& folder, const char* description,
                const char* extension, const std::string& default_name, std::string& out_path)
{
    const char* given = event.GetStringParameter(0);
    if (given != nullptr && given[0] != '\0') {
        out_path = given;
        return true;
    }
    const char* name = default_name.empty() ? nullptr : default_name.c_str();
    return save ? AskSaveFileName(GlobalDialogHost, out_path, folder, description, extension, name, true)
                : AskOpenFileName(GlobalDialogHost, out_path, folder, description, extension, name, true);
}

TTarnwick_Object* RequireObject()
{
    TTarnwick_Object* object = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    if (object == nullptr || !object->Mesh) {
        AddWarning("Please select or load an object");
        return nullptr;
    }
    return object;
}

// A record of the current object made by the buffer (null when undo is off), carrying a copy of
// an item that need not be the current one.
std::unique_ptr<TTarnwick_UndoNode> RecordFrame(int32_t type)
{
    // A name record has no payload of its own; the type is set once the payload is in.
    std::unique_ptr<TTarnwick_UndoNode> record =
        TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Rename, -1);
    if (record != nullptr)
        record->Type = type;
    return record;
}

void RecordSelection(TTarnwick_Selection& selection)
{
    std::unique_ptr<TTarnwick_UndoNode> record = RecordFrame(UndoType_Selection);
    if (record == nullptr)
        return;
    record->Selection = std::make_unique<TTarnwick_Selection>(selection.vcount);
    record->Selection->Copy(&selection);
    record->Memory = record->PayloadMemory();
    RecordUndo(std::move(record));
}

void RecordMorph(TTarnwick_Morph& morph)
{
    std::unique_ptr<TTarnwick_UndoNode> record = RecordFrame(UndoType_Morph);
    if (record == nullptr)
        return;
    record->Morph = std::make_unique<TTarnwick_Morph>(morph.vcount);
    record->Morph->Copy(&morph);
    record->Memory = record->PayloadMemory();
    RecordUndo(std::move(record));
}

void RecordMap(const TZAVMaterialMap& map)
{
    std::unique_ptr<TTarnwick_UndoNode> record = TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Map, -1);
    if (record != nullptr)
        record->SavedMap = TTarnwick_SavedMap::From(map);
    RecordUndo(std::move(record));
}

void RecordAssignments(const TTarnwick_Mesh& mesh)
{
    std::unique_ptr<TTarnwick_UndoNode> record =
        TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_MapAssignments, -1);
    if (record != nullptr) {
        record->Assignments = CaptureMapAssignments(mesh);
        record->HasAssignments = true;
    }
    RecordUndo(std::move(record));
}

// [SECTION] Images

bool ImportImageAsMap(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    std::string path;
    if (object == nullptr || !ChooseFile(event, false, Folder(&TTarnwick_Settings::ImagesPath),
                                         ImageFilesDescription, nullptr, {}, path))
        return false;
    AddStatus("Importing the image %s", path.c_str());
    std::string error;
    std::unique_ptr<TZAVMaterialMap> map = LoadMapFile(path, error);
    if (!map) {
        AddWarning("%s", error.c_str());
        return false;
    }
    TTarnwick_Mesh& mesh = *object->Mesh;
    RecordAssignments(mesh);
    map->UploadPending = 1;
    AttachMap(mesh, map.release(), "Color", "");
    mesh.MapsEdited = true;
    PostCommand(UploadMapsCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool LoadBrushImage(const TZAVEvent& event)
{
    std::string path;
    if (!ChooseFile(event, false, Folder(&TTarnwick_Settings::ImagesPath), ImageFilesDescription, nullptr, {},
                    path))
        return false;
    AddStatus("Loading the brush image %s", path.c_str());
    auto image = std::make_unique<TTarnwick_TextureBrushImage>();
    image->FileName = path;
    std::string error;
    if (!image->LoadPixels(error)) {
        AddWarning("%s", error.c_str());
        return false;
    }
    const std::string base = NameOf(WithoutExtension(path));
    std::string name = base;
    for (int32_t number = 1; TarnwickProject->FindBrushImage(name) != nullptr; number++)
        name = FormatText("%s_%d", base.c_str(), number);
    image->SetNameLiteral(name);
    TarnwickProject->BrushImages.Add(image.release());
    PostCommand(RefreshBrushImagesCommand);
    return true;
}

bool ReplaceMapPixels(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    if (object == nullptr)
        return false;
    TTarnwick_Mesh& mesh = *object->Mesh;
    TZAVMaterialMap* map = event.GetIndex() >= 0 ? MaterialMapAt(mesh, event.GetIndex()) : nullptr;
    if (map == nullptr) {
        AddWarning("Please select a map");
        return false;
    }
    if (!map->HasPixels()) {
        AddWarning("This map has no pixels!");
        return false;
    }
    std::string path;
    if (!ChooseFile(event, false, Folder(&TTarnwick_Settings::ImagesPath), ImageFilesDescription, nullptr, {},
                    path))
        return false;
    AddStatus("Loading the image %s into the map \"%s\"", path.c_str(), map->GetName());
    TZAVPixelBuffer pixels;
    int32_t width = map->Width;
    int32_t height = map->Height;
    std::string error;
    if (!LoadImageFile(path, pixels, width, height, ImageLoad_KeepSize | ImageLoad_ForceRGB, nullptr,
                       error)) {
        AddWarning("%s", error.c_str());
        return false;
    }
    // The texture size limits may have clamped the size asked for.
    if (width != map->Width || height != map->Height) {
        AddWarning("The image %s cannot be fitted to the map's %d x %d pixels", path.c_str(), map->Width,
                   map->Height);
        return false;
    }
    RecordMap(*map);
    std::copy_n(pixels.get(), map->Pixels.size(), map->Pixels.data());
    map->DropQuadTree();
    map->InvalidateCoverage();
    map->UploadPending = 1;
    mesh.MapsEdited = true;
    PostCommand(UploadMapsCommand);
    return true;
}

// [SECTION] Morph injection files

bool ExportInjection(const TZAVEvent& event, bool remove)
{
    TTarnwick_Object* object = RequireObject();
    TTarnwick_Morph* morph = object != nullptr ? RequireMorph(*object->Mesh) : nullptr;
    if (morph == nullptr)
        return false;
    std::string default_name = morph->Name;
    if (remove)
        default_name += RemovalSuffix;
    std::string path;
    if (!ChooseFile(event, true, Folder(&TTarnwick_Settings::ExportPath), InjectionFilesDescription,
                    InjectionExtension, default_name, path))
        return false;
    if (remove) {
        // The removal file never takes the injection file's own name.
        const std::string base = WithoutExtension(path);
        const std::string extension = ExtensionOf(path).empty() ? InjectionExtension : ExtensionOf(path);
        if (base.size() < 4 || base.compare(base.size() - 4, 4, RemovalSuffix) != 0)
            path = base + RemovalSuffix + "." + extension;
        if (FileExists(path) &&
            !AskYesNo(GlobalDialogHost,
                      "The following file already exists...\n\n%s\n\nWould you like to overwrite it?",
                      path.c_str()))
            return false;
    }
    AddStatus("Exporting the morph \"%s\" as %s", morph->GetName(), path.c_str());
    std::string error;
    if (!WriteMorphInjectionFile(path, *object->Mesh, *morph, remove, DataFilePath(""), error)) {
        AddWarning("%s", error.c_str());
        return false;
    }
    return true;
}

// [SECTION] Selection and morph sets

bool ImportSelectionSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    std::string path;
    if (object == nullptr || !ChooseFile(event, false, Folder(&TTarnwick_Settings::ImportPath),
                                         SelectionSetDescription, SelectionSetExtension, {}, path))
        return false;
    AddStatus("Importing the Selection Set %s", path.c_str());
    TTarnwick_Mesh& mesh = *object->Mesh;
    std::vector<TTarnwick_SelectionSetEntry> entries;
    std::string problem;
    if (!ReadSelectionSet(path, mesh.GetVertexCount(), entries, problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    for (const TTarnwick_SelectionSetEntry& entry : entries)
        if (TTarnwick_Selection* replaced = FindSelectionNamed(mesh, entry.Name))
            RecordSelection(*replaced);
    ApplySelectionSet(mesh, entries);
    PostCommand(SelectionChangedCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool ExportSelectionSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    if (object == nullptr)
        return false;
    TTarnwick_Mesh& mesh = *object->Mesh;
    if (RequireSelection(mesh) == nullptr)
        return false;
    std::string path;
    if (!ChooseFile(event, true, Folder(&TTarnwick_Settings::ExportPath), SelectionSetDescription,
                    SelectionSetExtension, object->Name, path))
        return false;
    AddStatus("Exporting the Selection Set %s", path.c_str());
    std::string problem;
    if (!WriteSelectionSet(path, mesh.GetVertexCount(), UserSelections(mesh), problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    return true;
}

bool ImportMorphSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    std::string path;
    if (object == nullptr || !ChooseFile(event, false, Folder(&TTarnwick_Settings::ImportPath),
                                         MorphSetDescription, MorphSetExtension, {}, path))
        return false;
    AddStatus("Importing the Morph Set %s", path.c_str());
    TTarnwick_Mesh& mesh = *object->Mesh;
    std::vector<TTarnwick_MorphSetEntry> entries;
    std::string problem;
    if (!ReadMorphSet(path, mesh.GetVertexCount(), entries, problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    for (const TTarnwick_MorphSetEntry& entry : entries)
        if (TTarnwick_Morph* replaced = MorphReplacedBy(mesh, entry))
            RecordMorph(*replaced);
    ApplyMorphSet(mesh, entries);
    PostCommand(MorphChangedCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool ExportMorphSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    if (object == nullptr || RequireMorph(*object->Mesh) == nullptr)
        return false;
    std::string path;
    if (!ChooseFile(event, true, Folder(&TTarnwick_Settings::ExportPath), MorphSetDescription,
                    MorphSetExtension, object->Name, path))
        return false;
    AddStatus("Exporting the Morph Set %s", path.c_str());
    TTarnwick_Mesh& mesh = *object->Mesh;
    std::string problem;
    if (!WriteMorphSet(path, mesh.GetVertexCount(), UserMorphs(mesh), problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    return true;
}

// [SECTION] Layer sets

std::string UserLayerSetFolder()
{
    return LayerSetFolder(TarnwickSettings != nullptr ? TarnwickSettings->UserFolder : std::string());
}

// Loads the layer set at path onto the project's layers and the current object's masks.
bool LoadLayerSetFile(TTarnwick_Object& object, const std::string& path)
{
    AddStatus("Importing the Layer Set %s", path.c_str());
    if (!LoadLayerSet(path, TarnwickProject->Layers, LayerSetMeshOf(&object)))
        return false;
    ApplyLayerVisibility(TarnwickProject->Layers, TarnwickProject->ObjectTree.get());
    ApplyLayerLocks(TarnwickProject->Layers, TarnwickProject->ObjectTree.get());
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool ImportLayerSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    std::string folder = UserLayerSetFolder();
    std::string path;
    if (object == nullptr ||
        !ChooseFile(event, false, folder, LayerSetDescription, LayerSetExtension, {}, path))
        return false;
    return LoadLayerSetFile(*object, path);
}

bool LoadListedLayerSet(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    if (object == nullptr)
        return false;
    const std::string folder = UserLayerSetFolder();
    std::vector<std::string> names;
    const int32_t index = event.GetIndex();
    if (!ReadLayerSetIndex(folder, names) || index < 0 || size_t(index) >= names.size()) {
        AddWarning("There is no layer set %d in %s%s", index, folder.c_str(), LayerSetIndexName);
        return false;
    }
    // The index names files inside its folder only.
    return LoadLayerSetFile(*object, folder + NameOf(names[size_t(index)]));
}

bool ExportLayerSetFile(const TZAVEvent& event)
{
    TTarnwick_Object* object = RequireObject();
    std::string path;
    if (object == nullptr || !ChooseFile(event, true, Folder(&TTarnwick_Settings::ExportPath),
                                         LayerSetDescription, LayerSetExtension, object->Name, path))
        return false;
    AddStatus("Exporting the Layer Set %s", path.c_str());
    return SaveLayerSet(path, TarnwickProject->Layers, LayerSetMeshOf(object));
}

// Into the user's folder, named after the object without replacing an earlier set, and listed.
bool SaveLayerSetToFolder()
{
    TTarnwick_Object* object = RequireObject();
    if (object == nullptr)
        return false;
    const std::string folder = UserLayerSetFolder();
    if (!EnsureFolder(folder)) {
        AddWarning("Error making the folder %s", folder.c_str());
        return false;
    }
    const std::string name = object->Name.empty() ? std::string("Layers") : NameOf(object->Name);
    std::string path = FormatText("%s%s.%s", folder.c_str(), name.c_str(), LayerSetExtension);
    for (int32_t number = 1; FileExists(path); number++)
        path = FormatText("%s%s_%d.%s", folder.c_str(), name.c_str(), number, LayerSetExtension);
    AddStatus("Saving the Layer Set %s", path.c_str());
    if (!SaveLayerSet(path, TarnwickProject->Layers, LayerSetMeshOf(object)))
        return false;
    if (!AddLayerSetToIndex(folder, NameOf(path)))
        return false;
    PostCommand(RefreshPanelsCommand);
    return true;
}

} // namespace

bool IsSetCommand(int32_t id)
{
    return (id >= ImportImageAsMapCommand && id <= ReplaceMapPixelsCommand) ||
           (id >= ExportInjectionCommand && id <= ExportRemovalCommand) || id == LoadListedLayerSetCommand;
}

bool HandleSetCommand(TZAVEvent* event)
{
    if (TarnwickProject == nullptr)
        return false;
    switch (event->GetID()) {
    case ImportImageAsMapCommand:
        return ImportImageAsMap(*event);
    case LoadBrushImageCommand:
        return LoadBrushImage(*event);
    case ReplaceMapPixelsCommand:
        return ReplaceMapPixels(*event);
    case ExportInjectionCommand:
        return ExportInjection(*event, false);
    case ExportRemovalCommand:
        return ExportInjection(*event, true);
    case ImportSelectionSetCommand:
        return ImportSelectionSetFile(*event);
    case ExportSelectionSetCommand:
        return ExportSelectionSetFile(*event);
    case ImportMorphSetCommand:
        return ImportMorphSetFile(*event);
    case ExportMorphSetCommand:
        return ExportMorphSetFile(*event);
    case ImportLayerSetCommand:
        return ImportLayerSetFile(*event);
    case ExportLayerSetCommand:
        return ExportLayerSetFile(*event);
    case SaveLayerSetCommand:
        return SaveLayerSetToFolder();
    case LoadListedLayerSetCommand:
        return LoadListedLayerSet(*event);
    default:
        return false;
    }
}
