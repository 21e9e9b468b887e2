// The project object, the current project and the entries that open and save project files.
#include "files/project.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"

TTarnwick_Project* TarnwickProject = nullptr;

namespace {

constexpr std::string_view TextFirstLine = "Tarnwick Project File";
// The first line is read up to this many characters.
constexpr size_t MaxFirstLineLength = 999;

} // namespace

// [SECTION] TTarnwick_Project

TTarnwick_Project::TTarnwick_Project()
    : ObjectTree(NewObjectTree()), UndoBuffer({&ObjectTree, &CurrentObject, &Layers, &SceneChanged, {}, {}})
{
}

TTarnwick_Project::~TTarnwick_Project()
{
    BrushImages.Clear();
}

std::unique_ptr<TTarnwick_ObjectTreeGroup> TTarnwick_Project::NewObjectTree()
{
    auto tree = std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    tree->SetNameLiteral("Objects");
    tree->Label = "objects";
    return tree;
}

void TTarnwick_Project::SetBinaryDefaults()
{
    MirrorX = false;
    MirrorY = false;
    MirrorInViewport = true;
    PaintOnBackFaces = false;
    AngleFade = false;
    ExtraSoftBrushStrokes = false;
    TileSize = 0.5f;
    ExportVerticesOnly = false;
    ExportGroups = true;
    ExportGroupsAsSeparateFiles = false;
    ExportChangedGroups = true;
    ExportMaps = true;
    ExportMorphs = true;
    ScaleOnImport = false;
    ScaleFactor = 1.0f;
    CenterOnImport = false;
    WeldThreshold = 8.0f;
    ImportMaps = true;
    ImportMorphs = false;
}

void TTarnwick_Project::ShowRootGroups()
{
    ObjectTree->Hidden = false;
    for (TTarnwick_Object* object : Objects()) {
        if (object->Mesh) {
            object->Mesh->MorphTree->Hidden = false;
            object->Mesh->SelectionTree->Hidden = false;
        }
    }
}

std::vector<TTarnwick_Object*> TTarnwick_Project::Objects() const
{
    std::vector<TTarnwick_Object*> objects;
    TTarnwick_TreeGroup::Walk(
        ObjectTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* data) {
            for (TTarnwick_Thingy* item : group->List)
                if (auto* object = dynamic_cast<TTarnwick_Object*>(item))
                    static_cast<std::vector<TTarnwick_Object*>*>(data)->push_back(object);
            return true;
        },
        &objects, TZAVWalkOrder::PreOrder);
    return objects;
}

TTarnwick_Object* TTarnwick_Project::FindObject(std::string_view name) const
{
    for (TTarnwick_Object* object : Objects())
        if (object->Name == name)
            return object;
    return nullptr;
}

void TTarnwick_Project::ChooseCurrentObject()
{
    CurrentObject = nullptr;
    for (TTarnwick_Object* object : Objects()) {
        if (object->Mesh && object->Mesh->GetVertexCount() > 0) {
            CurrentObject = object;
            break;
        }
    }
    SceneChanged = true;
}

void TTarnwick_Project::AddObject(TTarnwick_Object* object)
{
    ObjectTree->List.Add(object);
    CurrentObject = object;
    SceneChanged = true;
}

float TTarnwick_Project::SceneSize() const
{
    if (CurrentObject == nullptr || !CurrentObject->Mesh || CurrentObject->Mesh->GetVertexCount() == 0)
        return 1.0f;
    const TTarnwick_Mesh& mesh = *CurrentObject->Mesh;
    float size = 0;
    for (int axis = 0; axis < 3; axis++) {
        const float half = 0.5f * (mesh.BoundingMax[axis] - mesh.BoundingMin[axis]);
        size += half * half;
    }
    return size > 0 ? size : 1.0f;
}

TTarnwick_TextureBrushImage* TTarnwick_Project::FindBrushImage(std::string_view name) const
{
    for (TTarnwick_TextureBrushImage* image : BrushImages)
        if (image->Name == name)
            return image;
    return nullptr;
}

bool TTarnwick_Project::SaveProject(const std::string& path, bool remember)
{
    ErrorText.clear();
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        ErrorText = FormatText("The project \"%s\" was not saved: %s", path.c_str(), writer.Error().c_str());
        return false;
    }
    // A write that failed left its cause in errno; a partial file is never renamed over the old one.
    const bool written = WriteTextProject(file);
    const std::string cause = written ? std::string() : std::strerror(errno);
    if (!written || !writer.Commit()) {
        ErrorText = FormatText("The project \"%s\" was not saved, the file that was there is unchanged: %s",
                               path.c_str(), written ? writer.Error().c_str() : cause.c_str());
        return false;
    }
    if (remember)
        FileName = path;
    if (TarnwickSettings != nullptr)
        TarnwickSettings->AutoSaveStopwatch.Restart();
    return true;
}

TZAVFileHandle TTarnwick_Project::OpenToRead(const std::string& path)
{
    ErrorText.clear();
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file)
        ErrorText = FormatText("The project \"%s\" cannot be opened: %s", path.c_str(), std::strerror(errno));
    else
        FileName = path;
    return file;
}

bool TTarnwick_Project::OpenProjectFile(const std::string& path)
{
    // Meshes read their "map" blocks through the paint code.
    InstallMaterialMapReader();
    TZAVFileHandle file = OpenToRead(path);
    if (!file)
        return false;
    char first_line[MaxFirstLineLength + 1];
    size_t length = 0;
    for (int c = std::fgetc(file.get()); c != EOF && c != '\n' && c != '\r' && length < MaxFirstLineLength;
         c = std::fgetc(file.get()))
        first_line[length++] = static_cast<char>(c);
    const std::string_view line(first_line, length);
    bool read = false;
    if (line.size() >= TextFirstLine.size() &&
        SameTextNoCase(line.substr(0, TextFirstLine.size()), TextFirstLine)) {
        std::rewind(file.get());
        read = ReadTextProject(file.get(), path);
    } else {
        file.reset();
        read = LoadProject(path);
    }
    if (read)
        ChooseCurrentObject();
    return read;
}

// [SECTION] The current project

bool OpenProject(const std::string& path)
{
    auto project = std::make_unique<TTarnwick_Project>();
    if (!project->OpenProjectFile(path)) {
        ShowError(GlobalDialogHost, "%s", project->Error().c_str());
        return false;
    }
    ReplaceProject(std::move(project));
    return true;
}

void ReplaceProject(std::unique_ptr<TTarnwick_Project> project)
{
    delete TarnwickProject;
    TarnwickProject = project.release();
}

bool AutoSaveProject()
{
    if (TarnwickProject == nullptr || TarnwickSettings == nullptr || TarnwickSettings->AutoSavePath.empty())
        return false;
    // The project's own file name and the recent files stay as they are.
    if (!TarnwickProject->SaveProject(TarnwickSettings->AutoSavePath, false)) {
        AddWarning("Error autosaving the project: %s", TarnwickProject->Error().c_str());
        return false;
    }
    return true;
}

void NewProject()
{
    delete TarnwickProject;
    TarnwickProject = new TTarnwick_Project();
}
