// The file commands. Projects are always written through a temporary file, so a save that fails
// leaves the file that was there before; the autosave replaces the last autosave only by a
// complete one.
//
// [SECTION] Helpers
// [SECTION] Recent projects
// [SECTION] Projects: open, start-up, new
// [SECTION] Projects: save, save as, save after an error, autosave
// [SECTION] OBJ and CR2 files
// [SECTION] Maps
// [SECTION] HandleFileCommand
#include "app/file_commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/cr2_export_window.h"
#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/panel_commands.h"
#include "app/set_commands.h"
#include "app/viewport_panel.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "core/tree_group.h"
#include "files/cr2_export.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/morph.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "paint/map_export.h"

namespace {

// The panels show the project again.
constexpr int32_t UploadMapsCommand = 77;
// The CR2 export: the wizard, then (posted by its choice) the export itself.
constexpr int32_t ExportCR2Command = 233;
// The maps of the current object as image files: the one the event's Index names, or all of them.
constexpr int32_t ExportMapCommand = 215;
constexpr int32_t ExportAllMapsCommand = 220;
constexpr int32_t ExportAllMapsFromPanelCommand = 231;
// The project the event's Index names in the list of recently opened and saved ones, newest first.
constexpr int32_t MaxRecentProjects = 8;
constexpr const char* RecentProjectsName = "Recent Projects.txt";
// Language entries: the questions before the open project is replaced, the autosave's base name
// and the autosave's status line.
constexpr int32_t CloseProjectToOpenText = 381;
constexpr int32_t CloseProjectForNewText = 388;
constexpr int32_t AutoSaveBaseNameText = 418;
constexpr int32_t AutoSavingText = 580;

constexpr const char* ProjectFilesDescription = "Project Files";
constexpr const char* SaveFailedText = "Error saving the project";

// [SECTION] Helpers

enum class TFileDialog
{
    Open,
    Save,
};

// The file a command works on: string parameter 0 when the poster named one (a drop, the command
// line), else the user's choice in a dialog starting at folder. False when the user cancelled.
bool ChooseFile(const TZAVEvent& event, TFileDialog dialog, std::string& folder, const char* description,
                const char* extension, const char* default_name, std::string& out_path)
{
    const char* given = event.GetStringParameter(0);
    if (given != nullptr && given[0] != '\0') {
        out_path = given;
        return true;
    }
    constexpr bool RememberFolder = true;
    if (dialog == TFileDialog::Open)
        return AskOpenFileName(GlobalDialogHost, out_path, folder, description, extension, default_name,
                               RememberFolder);
    return AskSaveFileName(GlobalDialogHost, out_path, folder, description, extension, default_name,
                           RememberFolder);
}

bool ProjectHasObjects()
{
    return TarnwickProject != nullptr && !TarnwickProject->Objects().empty();
}

// Asks before the open project, when it holds anything, is replaced.
bool MayReplaceProject(int32_t question)
{
    return !ProjectHasObjects() || AskYesNo(GlobalDialogHost, "%s", GetLanguageString(question));
}

TTarnwick_Mesh* CurrentMesh()
{
    if (TarnwickProject == nullptr || TarnwickProject->CurrentObject == nullptr)
        return nullptr;
    return TarnwickProject->CurrentObject->Mesh.get();
}

// Whether any view differs from a fresh project's: a project written by an earlier save holds the
// views it was saved with, a binary one and a new one none.
bool ProjectHoldsViews(const TTarnwick_Project& project)
{
    const TTarnwick_ViewportState fresh;
    for (const TTarnwick_ViewportState& state : project.Viewports) {
        if (state.Current || state.Maximized || state.Zoom != fresh.Zoom)
            return true;
        for (int32_t i = 0; i < 16; i++)
            if (state.RotationMatrix[i] != fresh.RotationMatrix[i])
                return true;
        for (int32_t i = 0; i < 3; i++)
            if (state.LookAt[i] != fresh.LookAt[i])
                return true;
    }
    return false;
}

// [SECTION] Recent projects

void ShowOpenedProject();

std::string RecentProjectsPath()
{
    const std::string& folder = TarnwickSettings->UserFolder;
    return folder.empty() ? std::string() : folder + RecentProjectsName;
}

} // namespace

std::vector<std::string> ReadRecentProjects()
{
    std::vector<std::string> paths;
    if (TarnwickSettings == nullptr)
        return paths;
    std::ifstream file(RecentProjectsPath());
    for (std::string line; std::getline(file, line) && int32_t(paths.size()) < MaxRecentProjects;)
        if (!line.empty())
            paths.push_back(line);
    return paths;
}

namespace {

// Moves path to the top of the list; the list is a convenience, so a failed write only warns.
void RememberRecentProject(const std::string& path)
{
    if (RecentProjectsPath().empty() || path.empty())
        return;
    std::vector<std::string> paths = ReadRecentProjects();
    std::erase(paths, path);
    paths.insert(paths.begin(), path);
    if (int32_t(paths.size()) > MaxRecentProjects)
        paths.resize(size_t(MaxRecentProjects));
    TZAVSafeFileWriter writer(RecentProjectsPath());
    FILE* file = writer.Open();
    bool written = file != nullptr;
    for (const std::string& recent : paths)
        written = written && std::fprintf(file, "%s\n", recent.c_str()) > 0;
    if (file == nullptr || !writer.Commit() || !written)
        AddWarning("Cannot write the file %s: %s", RecentProjectsPath().c_str(), writer.Error().c_str());
}

bool OpenRecentProjectCommandRun(const TZAVEvent& event)
{
    const std::vector<std::string> paths = ReadRecentProjects();
    const int32_t index = std::max(event.GetIndex(), 0);
    if (size_t(index) >= paths.size()) {
        AddWarning("There is no recent project %d", index + 1);
        return false;
    }
    const std::string& path = paths[size_t(index)];
    if (!FileExists(path)) {
        AddWarning("The project %s no longer exists", path.c_str());
        return false;
    }
    if (!MayReplaceProject(CloseProjectToOpenText))
        return false;
    AddStatus("Loading the project %s", path.c_str());
    if (!OpenProject(path))
        return false;
    ShowOpenedProject();
    RememberRecentProject(path);
    return true;
}

// [SECTION] Projects: open, start-up, new

// A project just opened shows its views as saved (fresh ones when it saved none) and its maps.
void ShowOpenedProject()
{
    TarnwickMainWindow->LoadViewportState();
    if (!ProjectHoldsViews(*TarnwickProject))
        TarnwickMainWindow->ResetViewports();
    PostCommand(UploadMapsCommand);
}

bool OpenProjectCommandRun(const TZAVEvent& event)
{
    if (!MayReplaceProject(CloseProjectToOpenText))
        return false;
    std::string path;
    if (!ChooseFile(event, TFileDialog::Open, TarnwickSettings->ProjectsPath, ProjectFilesDescription,
                    ProjectFileExtension, nullptr, path))
        return false;
    AddStatus("Loading the project %s", path.c_str());
    // OpenProject shows why a project cannot be read, and keeps the open one then.
    if (!OpenProject(path))
        return false;
    ShowOpenedProject();
    RememberRecentProject(path);
    return true;
}

// The start-up project shows off one of its morphs: r is drawn from 1..count, morph r gets full
// strength and every other one but the first none (r = count raises none).
void RaiseRandomMorph(TTarnwick_Mesh& mesh)
{
    // The hidden group holds the mesh's working morphs, which are nobody's choice.
    const std::vector<TTarnwick_Morph*> morphs = TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get(), false);
    const int32_t count = int32_t(morphs.size());
    if (count == 0)
        return;
    std::random_device seed;
    std::mt19937 generator(seed());
    const int32_t raised = std::uniform_int_distribution<int32_t>(1, count)(generator);
    for (int32_t i = 1; i < count; i++)
        morphs[size_t(i)]->Strength = i == raised ? 1.0f : 0.0f;
    mesh.ResolveVertices();
}

// The start-up project, from the reading done ahead when there is one.
bool OpenStartupProject(std::unique_ptr<TTarnwick_Project> preloaded)
{
    if (!preloaded)
        return OpenProject(TarnwickApp.StartupProject);
    ReplaceProject(std::move(preloaded));
    return true;
}

bool StartupProjectCommandRun()
{
    std::unique_ptr<TTarnwick_Project> preloaded = TakePreloadedProject(TarnwickApp.StartupProject);
    const std::string previous_autosave = TarnwickSettings->AutoSaveFileName;
    if (!previous_autosave.empty() && FileExists(previous_autosave)) {
        if (AskYesNo(GlobalDialogHost, "Would you like to recover the file\n%s", previous_autosave.c_str())) {
            if (OpenProject(previous_autosave)) {
                // Save must ask for a name rather than write over the autosave.
                TarnwickProject->FileName.clear();
                ShowOpenedProject();
                return true;
            }
        } else {
            DeleteFile(previous_autosave);
        }
    }
    // A user's own project, named on the command line, opens as it was saved, views and name
    // included, whatever LoadDefaultProject says.
    if (TarnwickApp.StartupProjectIsUsers) {
        if (OpenStartupProject(std::move(preloaded)))
            ShowOpenedProject();
        return true;
    }
    if (!TarnwickSettings->LoadDefaultProject)
        return true;
    // The default project is a show piece: Save asks for a name rather than write over it, and
    // one of its morphs is raised.
    if (!TarnwickApp.StartupProject.empty() && OpenStartupProject(std::move(preloaded))) {
        TarnwickProject->FileName.clear();
        if (TTarnwick_Mesh* mesh = CurrentMesh())
            RaiseRandomMorph(*mesh);
    }
    TarnwickMainWindow->ResetViewports();
    PostCommand(UploadMapsCommand);
    return true;
}

bool NewProjectCommandRun()
{
    if (!MayReplaceProject(CloseProjectForNewText))
        return false;
    AddStatus("Creating a new (empty) project.");
    NewProject();
    PostCommand(RefreshPanelsCommand);
    return true;
}

// [SECTION] Projects: save, save as, save after an error, autosave

// Writes the project with the views as they are now; a failed write is an internal error.
void SaveProjectTo(const std::string& path, bool remember)
{
    TarnwickMainWindow->StoreViewportState();
    if (!TarnwickProject->SaveProject(path, remember))
        ReportError("%s\n%s", SaveFailedText, TarnwickProject->Error().c_str());
}

bool SaveProjectCommandRun()
{
    std::string path = TarnwickProject->FileName;
    // A project recovered from an autosave keeps no name; one named like the autosave is not
    // saved over it either.
    if (path.empty() || !FileExists(path) ||
        path.find(GetLanguageString(AutoSaveBaseNameText)) != std::string::npos) {
        if (!AskSaveFileName(GlobalDialogHost, path, TarnwickSettings->ProjectsPath, ProjectFilesDescription,
                             ProjectFileExtension, nullptr, true))
            return false;
    }
    AddStatus("Saving the project %s", path.c_str());
    SaveProjectTo(path, true);
    TarnwickMainWindow->UpdateTitle();
    RememberRecentProject(path);
    return true;
}

bool SaveProjectAsCommandRun(const TZAVEvent& event)
{
    std::string path;
    if (!ChooseFile(event, TFileDialog::Save, TarnwickSettings->ProjectsPath, ProjectFilesDescription,
                    ProjectFileExtension, nullptr, path))
        return false;
    AddStatus("Saving the project as %s", path.c_str());
    SaveProjectTo(path, true);
    TarnwickMainWindow->UpdateTitle();
    RememberRecentProject(path);
    return true;
}

// After an error the project may be damaged: it goes to a new "_SavedAfterError" file beside a
// "_LastGood" copy of this run's autosave, and no file the user had is written over unasked.
bool SaveAfterErrorCommandRun()
{
    std::string last_good;
    std::string saved_after_error;
    for (;;) {
        std::string chosen;
        if (!AskSaveFileName(GlobalDialogHost, chosen, TarnwickSettings->ProjectsPath,
                             ProjectFilesDescription, ProjectFileExtension, nullptr, true))
            return false;
        std::string extension = ExtensionOf(chosen);
        if (extension.empty())
            extension = ProjectFileExtension;
        const std::string base = WithoutExtension(chosen);
        last_good = FormatText("%s_LastGood.%s", base.c_str(), extension.c_str());
        saved_after_error = FormatText("%s_SavedAfterError.%s", base.c_str(), extension.c_str());
        const bool last_good_exists = FileExists(last_good);
        const bool saved_exists = FileExists(saved_after_error);
        if (last_good_exists && saved_exists) {
            if (AskYesNo(GlobalDialogHost,
                         "The files\n\n%s\n\nand\n\n%s\n\nexist. Would you like to overwrite them?",
                         last_good.c_str(), saved_after_error.c_str()))
                break;
        } else if (last_good_exists || saved_exists) {
            if (AskYesNo(GlobalDialogHost, "The file\n\n%s\n\nexists. Would you like to overwrite it?",
                         last_good_exists ? last_good.c_str() : saved_after_error.c_str()))
                break;
        } else {
            break;
        }
    }

    DeleteFile(last_good);
    DeleteFile(saved_after_error);
    const std::string& autosave = TarnwickSettings->AutoSavePath;
    if (!autosave.empty() && FileExists(autosave))
        CopyFile(last_good, autosave);
    AddStatus("Saving the project as %s", saved_after_error.c_str());
    // The project keeps its own name: the next Save still goes where the user saved before.
    SaveProjectTo(saved_after_error, false);

    const bool last_good_saved = FileExists(last_good);
    const bool saved = FileExists(saved_after_error);
    if (last_good_saved && saved)
        ShowMessage(GlobalDialogHost, "The files\n\n%s\n\nand\n\n%s\n\n have been saved.", last_good.c_str(),
                    saved_after_error.c_str());
    else if (last_good_saved)
        ShowMessage(GlobalDialogHost, "The file\n\n%s\n\n has been saved/", last_good.c_str());
    else if (saved)
        ShowMessage(GlobalDialogHost, "The file\n\n%s\n\n has been saved.", saved_after_error.c_str());
    else
        ShowError(GlobalDialogHost, "No files were successfully saved.");
    return saved;
}

// The project goes to a new file beside the autosave, which only a complete file replaces; the
// project's own name is left alone.
bool AutoSaveCommandRun()
{
    AddStatus("%s", GetLanguageString(AutoSavingText));
    const std::string& autosave = TarnwickSettings->AutoSavePath;
    std::string temporary;
    if (autosave.empty() || !MakeUniqueFileName(temporary, FolderOf(autosave), ProjectFileExtension)) {
        AddWarning("Error autosaving the project");
        return false;
    }
    TarnwickMainWindow->StoreViewportState();
    if (!TarnwickProject->SaveProject(temporary, false)) {
        AddWarning("Error autosaving the project");
        DeleteFile(temporary);
        return false;
    }
    // rename replaces the old autosave in one step, so there is always one to recover.
    const bool renamed = std::rename(temporary.c_str(), autosave.c_str()) == 0;
    if (!renamed)
        AddWarning("Cannot rename the file %s to %s", temporary.c_str(), autosave.c_str());
    if (FileExists(temporary))
        AddWarning("the temp file %s was not purged", temporary.c_str());
    return renamed;
}

// [SECTION] OBJ and CR2 files

bool ImportCR2CommandRun(const TZAVEvent& event)
{
    std::string path;
    if (!ChooseFile(event, TFileDialog::Open, TarnwickSettings->ImportPath, "CR2 Files", "CR2", nullptr,
                    path))
        return false;
    AddStatus("Importing the CR2 file %s", path.c_str());
    auto object = std::make_unique<TTarnwick_Object>();
    if (!TarnwickProject->ImportCR2File(path, *object)) {
        AddWarning("%s", TarnwickProject->Error().c_str());
        return false;
    }
    TarnwickProject->AddObject(object.release());
    if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->CurrentViewportPanel())
        panel->FitToObject();
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool ImportOBJCommandRun(const TZAVEvent& event)
{
    std::string path;
    if (!ChooseFile(event, TFileDialog::Open, TarnwickSettings->ImportPath, "OBJ Files", "obj", nullptr,
                    path))
        return false;
    AddStatus("Importing the OBJ file %s", path.c_str());
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    std::string error;
    if (!ReadOBJ(path, *mesh, ObjRead_None, error)) {
        AddWarning("%s", error.c_str());
        return false;
    }
    auto object = std::make_unique<TTarnwick_Object>();
    object->SetNameLiteral(NameOf(WithoutExtension(path)));
    object->FileName = path;
    object->OBJFileName = path;
    object->SetMesh(std::move(mesh));
    TarnwickProject->AddObject(object.release());
    if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->CurrentViewportPanel())
        panel->FitToObject();
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool ExportOBJCommandRun(const TZAVEvent& event)
{
    TTarnwick_Mesh* mesh = CurrentMesh();
    if (mesh == nullptr) {
        AddWarning("Please select an object.");
        return false;
    }
    std::string path;
    if (!ChooseFile(event, TFileDialog::Save, TarnwickSettings->ExportPath, "OBJ Files", "obj",
                    TarnwickProject->CurrentObject->GetName(), path))
        return false;
    AddStatus("Exporting the OBJ file %s", path.c_str());
    uint32_t flags = ObjWrite_None;
    if (TarnwickProject->ExportVerticesOnly)
        flags |= ObjWrite_VerticesOnly;
    if (TarnwickProject->ExportGroups)
        flags |= ObjWrite_Groups;
    std::string error;
    bool written = false;
    if (TarnwickProject->ExportGroupsAsSeparateFiles) {
        AddStatus("Exporting a separate object for each group");
        written = WriteOBJGroups(*mesh, path, flags, error);
    } else {
        written = WriteOBJ(*mesh, path, flags, error);
    }
    if (!written) {
        AddWarning("%s", error.c_str());
        return false;
    }
    return true;
}

// The source CR2 is the file the object was imported from, or the user's choice.
bool LocateSourceCR2(const TTarnwick_Object& object, std::string& out_source)
{
    const std::string& remembered = object.FileName;
    if (remembered.size() > 4 && SameTextNoCase(ExtensionOf(remembered), "CR2") && FileExists(remembered)) {
        out_source = remembered;
        return true;
    }
    ShowMessage(GlobalDialogHost, "Please locate the original CR2 file for this character");
    return AskOpenFileName(GlobalDialogHost, out_source, TarnwickSettings->ImportPath, "CR2 Files", "CR2",
                           nullptr, true);
}

bool ContinueCR2ExportCommandRun(const TZAVEvent& event)
{
    if (CurrentMesh() == nullptr) {
        AddWarning("Please select an object.");
        return false;
    }
    TTarnwick_CR2ExportFiles files;
    if (!LocateSourceCR2(*TarnwickProject->CurrentObject, files.Source))
        return false;
    if (!ChooseFile(event, TFileDialog::Save, TarnwickSettings->ExportPath, "CR2 Files", "CR2",
                    TarnwickProject->CurrentObject->GetName(), files.Output))
        return false;
    files.DataFolder = DataFilePath("");
    AddStatus("Exporting the CR2 file %s", files.Output.c_str());
    AddStatus("- Original CR2 file %s", files.Source.c_str());
    std::string error;
    if (!ExportCR2(*TarnwickProject, files, error)) {
        AddWarning("The CR2 export failed: %s", error.c_str());
        return false;
    }
    return true;
}

// [SECTION] Maps

TTarnwick_MapExportTarget CurrentMapExportTarget()
{
    return {CurrentMesh(), &TarnwickProject->ExportImageFileTypes, &TarnwickSettings->ImagesPath};
}

} // namespace

// [SECTION] HandleFileCommand

bool HandleFileCommand(TZAVEvent* event)
{
    // Every command here works on the current project and the settings' folders.
    if (TarnwickProject == nullptr || TarnwickSettings == nullptr)
        return false;
    switch (event->GetID()) {
    case OpenRecentProjectCommand:
        return OpenRecentProjectCommandRun(*event);
    case OpenProjectCommand:
        return OpenProjectCommandRun(*event);
    case StartupProjectCommand:
        return StartupProjectCommandRun();
    case ImportCR2Command:
        return ImportCR2CommandRun(*event);
    case ImportOBJCommand:
        return ImportOBJCommandRun(*event);
    case NewProjectCommand:
        return NewProjectCommandRun();
    case SaveProjectCommand:
        return SaveProjectCommandRun();
    case SaveProjectAsCommand:
        return SaveProjectAsCommandRun(*event);
    case SaveAfterErrorCommand:
        return SaveAfterErrorCommandRun();
    case ExportOBJCommand:
        return ExportOBJCommandRun(*event);
    case AutoSaveCommand:
        return AutoSaveCommandRun();
    case ExportCR2Command:
        if (CurrentMesh() == nullptr) {
            AddWarning("Please select an object.");
            return false;
        }
        CR2ExportWindow().Open();
        return true;
    case ContinueCR2ExportCommand:
        return ContinueCR2ExportCommandRun(*event);
    case DeleteAllLayerSetsCommand:
        return HandleProjectLayerCommand(event);
    case ExportMapCommand:
        return ExportSelectedMap(CurrentMapExportTarget(), event->GetIndex());
    case ExportAllMapsCommand:
    case ExportAllMapsFromPanelCommand:
        return ExportAllMaps(CurrentMapExportTarget()) > 0;
    default:
        // Sets, injection files and images have their own file.
        return IsSetCommand(event->GetID()) && HandleSetCommand(event);
    }
}
