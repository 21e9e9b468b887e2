// The batch commands. They share the program's own readers and writers, so a batch export writes
// what the wizard's export writes; only the start-up steps that need a display are left out.
#include "app/batch.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/application.h"
#include "core/dialogs.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/tree_group.h"
#include "core/virtual_memory.h"
#include "files/cr2_export.h"
#include "files/language.h"
#include "files/project.h"
#include "mesh/morph.h"
#include "mesh/morph_set.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"

const char* const BatchUsage =
    "Batch commands (no window, no display; messages on stderr, status 0 on success):\n"
    "  tarnwick import FIGURE.cr2 --save PROJECT.Tarnwick\n"
    "               read a figure with its morphs and save it as a project\n"
    "  tarnwick export-cr2 PROJECT.Tarnwick --source FIGURE.cr2 --out NEW.cr2\n"
    "                      [--maps] [--morphs] [--full-body]\n"
    "               write the project's figure into a copy of its CR2: the texture maps,\n"
    "               the morphs, and a full-body dial for each morph\n"
    "  tarnwick export-obj PROJECT.Tarnwick --out MESH.obj [--morph NAME]\n"
    "               write the figure's mesh, shaped by the morph NAME when given\n";

namespace {

// Texts go to stderr; questions get their negative answer and file dialogs are cancelled, so a
// batch never waits for anyone.
class TBatchDialogs : public TZAVDialogPresenter
{
public:
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        std::fprintf(stderr, "tarnwick: %s\n", request.Text.c_str());
        return TZAVDialogAnswer();
    }
};

void PrintStatus(TZAVStatusKind kind, const char* text)
{
    std::fprintf(stderr, kind == TZAVStatusKind::Warning ? "tarnwick: warning: %s\n" : "tarnwick: %s\n",
                 text);
}

int Fail(const char* format, const std::string& text)
{
    std::fputs("tarnwick: ", stderr);
    std::fprintf(stderr, format, text.c_str());
    std::fputs("\n", stderr);
    return BatchFailed;
}

int UsageFailure(const std::string& problem)
{
    std::fprintf(stderr, "tarnwick: %s\n%s", problem.c_str(), BatchUsage);
    return BatchUsageError;
}

// The arguments after the command: one file, options with values, switches.
struct TBatchArguments
{
    std::string File;
    std::vector<std::pair<std::string, std::string>> Values;
    std::vector<std::string> Switches;

    const std::string* Value(const char* option) const
    {
        for (const auto& [name, value] : Values)
            if (name == option)
                return &value;
        return nullptr;
    }
    bool Has(const char* option) const
    {
        for (const std::string& name : Switches)
            if (name == option)
                return true;
        return false;
    }
};

// False, with the problem, when an argument is not one of value_options or switch_options.
bool ParseArguments(int argc, char** argv, const std::vector<std::string>& value_options,
                    const std::vector<std::string>& switch_options, TBatchArguments& out,
                    std::string& out_problem)
{
    for (int i = 2; i < argc; i++) {
        const std::string argument = argv[i];
        if (argument.empty() || argument[0] != '-') {
            if (!out.File.empty()) {
                out_problem = "'" + argument + "': only one file is read";
                return false;
            }
            out.File = argument;
            continue;
        }
        if (std::find(switch_options.begin(), switch_options.end(), argument) != switch_options.end()) {
            out.Switches.push_back(argument);
            continue;
        }
        if (std::find(value_options.begin(), value_options.end(), argument) == value_options.end()) {
            out_problem = "unknown option '" + argument + "' for " + argv[1];
            return false;
        }
        if (i + 1 == argc) {
            out_problem = "option '" + argument + "' needs a value";
            return false;
        }
        out.Values.emplace_back(argument, argv[++i]);
    }
    if (out.File.empty()) {
        out_problem = std::string(argv[1]) + " needs a file";
        return false;
    }
    for (const std::string& option : value_options)
        if (out.Value(option.c_str()) == nullptr && option != "--morph") {
            out_problem = std::string(argv[1]) + " needs " + option;
            return false;
        }
    return true;
}

// The program's folder and language, paging, the map reader and the quiet dialogs: what the
// readers and writers need, without GLUT.
bool StartBatch()
{
    static TBatchDialogs dialogs;
    SetDialogPresenter(&dialogs);
    SetStatusHook(PrintStatus);
    std::string own_folder;
    if (!ProgramFolder(own_folder)) {
        std::fputs("tarnwick: cannot find the folder of the program\n", stderr);
        return false;
    }
    TarnwickApp.ProgramFolder = FindProgramFolder(WithTrailingSeparator(own_folder));
    std::string error;
    if (!LoadLanguage(TarnwickApp.ProgramFolder, error)) {
        Fail("failed to open the language file: %s", error);
        return false;
    }
    if (!InitVirtualMemory()) {
        std::fputs("tarnwick: cannot create the paging file\n", stderr);
        return false;
    }
    InstallMaterialMapReader();
    return true;
}

void StopBatch()
{
    FreeLanguage();
    ShutdownVirtualMemory();
}

// The project at path with its first object made current; null after saying why.
std::unique_ptr<TTarnwick_Project> OpenBatchProject(const std::string& path)
{
    if (!FileExists(path)) {
        Fail("cannot find the project %s", path);
        return nullptr;
    }
    auto project = std::make_unique<TTarnwick_Project>();
    if (!project->OpenProjectFile(path)) {
        Fail("%s", project->Error());
        return nullptr;
    }
    project->ChooseCurrentObject();
    if (project->CurrentObject == nullptr || !project->CurrentObject->Mesh) {
        Fail("the project %s holds no figure", path);
        return nullptr;
    }
    return project;
}

int ImportCommand(const TBatchArguments& arguments)
{
    const std::string& figure = arguments.File;
    if (!FileExists(figure))
        return Fail("cannot find the figure %s", figure);
    TTarnwick_Project project;
    project.ImportMorphs = true;
    auto object = std::make_unique<TTarnwick_Object>();
    if (!project.ImportCR2File(figure, *object))
        return Fail("%s", project.Error());
    project.AddObject(object.release());
    if (!project.SaveProject(*arguments.Value("--save"), true))
        return Fail("%s", project.Error());
    return BatchSucceeded;
}

int ExportCR2Command(const TBatchArguments& arguments)
{
    TTarnwick_CR2ExportFiles files;
    files.Source = *arguments.Value("--source");
    files.Output = *arguments.Value("--out");
    files.DataFolder = DataFilePath("");
    if (!FileExists(files.Source))
        return Fail("cannot find the figure %s", files.Source);
    std::unique_ptr<TTarnwick_Project> project = OpenBatchProject(arguments.File);
    if (!project)
        return BatchFailed;
    project->ExportMaps = arguments.Has("--maps");
    project->ExportMorphs = arguments.Has("--morphs");
    project->CR2SetupFullBodyMorphs = arguments.Has("--full-body");
    project->CR2SaveNewOBJ = false;
    project->CR2AutoRig = false;
    std::string error;
    if (!ExportCR2(*project, files, error))
        return Fail("the CR2 export failed: %s", error);
    return BatchSucceeded;
}

int ExportOBJCommand(const TBatchArguments& arguments)
{
    std::unique_ptr<TTarnwick_Project> project = OpenBatchProject(arguments.File);
    if (!project)
        return BatchFailed;
    TTarnwick_Mesh& mesh = *project->CurrentObject->Mesh;
    if (const std::string* name = arguments.Value("--morph")) {
        TTarnwick_Morph* chosen = FindMorphNamed(mesh, *name);
        if (chosen == nullptr)
            return Fail("the figure has no morph named %s", *name);
        // The base shape and that morph alone.
        mesh.MixMorphs = false;
        chosen->Strength = 1.0f;
        mesh.SetCurrentMorph(chosen);
        mesh.ResolveVertices();
    }
    uint32_t flags = ObjWrite_None;
    if (project->ExportVerticesOnly)
        flags |= ObjWrite_VerticesOnly;
    if (project->ExportGroups)
        flags |= ObjWrite_Groups;
    std::string error;
    if (!WriteOBJ(mesh, *arguments.Value("--out"), flags, error))
        return Fail("%s", error);
    return BatchSucceeded;
}

int RunCommand(int argc, char** argv)
{
    const std::string command = argv[1];
    TBatchArguments arguments;
    std::string problem;
    bool parsed = false;
    if (command == "import")
        parsed = ParseArguments(argc, argv, {"--save"}, {}, arguments, problem);
    else if (command == "export-cr2")
        parsed = ParseArguments(argc, argv, {"--source", "--out"}, {"--maps", "--morphs", "--full-body"},
                                arguments, problem);
    else
        parsed = ParseArguments(argc, argv, {"--out", "--morph"}, {}, arguments, problem);
    if (!parsed)
        return UsageFailure(problem);
    if (!StartBatch())
        return BatchFailed;
    int status = BatchFailed;
    if (command == "import")
        status = ImportCommand(arguments);
    else if (command == "export-cr2")
        status = ExportCR2Command(arguments);
    else
        status = ExportOBJCommand(arguments);
    StopBatch();
    return status;
}

} // namespace

bool IsBatchCommand(const char* word)
{
    return std::strcmp(word, "import") == 0 || std::strcmp(word, "export-cr2") == 0 ||
           std::strcmp(word, "export-obj") == 0;
}

int RunBatch(int argc, char** argv)
{
    // Internal errors end the command, not the process's chance to say why.
    try {
        return RunCommand(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tarnwick: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwick: %s\n", error.what());
    }
    return BatchFailed;
}
