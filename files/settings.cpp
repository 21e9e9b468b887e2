#include "files/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/paths.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_line.h"
#include "core/text_scan.h"

int32_t MaxTextureSize = DefaultMaxTextureSize;
int32_t MinTextureSize = DefaultMinTextureSize;

TTarnwick_Settings* TarnwickSettings = nullptr;

namespace {

// Numbers that do not parse read as 0; out-of-range ones are clamped.
int32_t ParseInteger(const std::string& value)
{
    long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (number > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (number < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(number);
}

float ParseDecimal(std::string_view value)
{
    float number = 0.0f;
    ParseFloatList(value, &number, 1);
    return std::isfinite(number) ? number : 0.0f;
}

bool ParseFlag(const std::string& value)
{
    return ParseInteger(value) != 0;
}

} // namespace

TTarnwick_SearchPath::TTarnwick_SearchPath(const std::string& folder, TZAVSearchDepth depth)
    : Path(WithTrailingSeparator(folder)), Recursive(depth == TZAVSearchDepth::WithSubfolders)
{
    SetNameLiteral(Path);
}

TTarnwick_Settings::TTarnwick_Settings(std::string autosave_base_name)
    : AutoSaveBaseName(std::move(autosave_base_name))
{
    SetDefaults();
    if (!::UserFolder(UserFolder)) {
        UserFolder.clear();
        AddWarning("Cannot make the user folder: the settings are neither read nor saved in this run");
    }
    ReadSettings();
    // A count read at the limit stays there.
    if (RunCount < std::numeric_limits<int32_t>::max())
        RunCount++;
    std::string state_folder;
    if (StateFolder(state_folder))
        AutoSavePath = state_folder + AutoSaveBaseName + "." + ProjectFileExtension;
    else
        AddWarning("Cannot make the folder for autosaves: the project is not autosaved in this run");
    // RunCount is stored at once, before anything else can fail.
    WriteSettings();
}

TTarnwick_Settings::~TTarnwick_Settings()
{
    // An orderly exit leaves nothing to recover.
    if (!AutoSavePath.empty() && !KeepAutoSave)
        DeleteFile(AutoSavePath);
    WriteSettings();
    GlobalSearchPaths.Clear();
}

void TTarnwick_Settings::SetDefaults()
{
    std::string program_folder;
    ProgramFolder(program_folder);
    ImportPath = program_folder + "Objects/";
    ExportPath = program_folder + "Objects/";
    ImagesPath = program_folder + "Images/";
    ProjectsPath = program_folder + "Projects/";
    MaxTextureSize = DefaultMaxTextureSize;
    MinTextureSize = DefaultMinTextureSize;
}

std::string TTarnwick_Settings::SettingsFilePath() const
{
    return UserFolder + SettingsFileName;
}

void TTarnwick_Settings::ReadSettings()
{
    GlobalSearchPaths.Clear();
    if (!UserFolder.empty()) {
        TZAVFileHandle file(std::fopen(SettingsFilePath().c_str(), "rb"));
        std::string line;
        while (file && ReadTextLine(line, file.get()))
            ConsiderLine(line);
    }
    for (std::string* folder : {&ImportPath, &ExportPath, &ImagesPath, &ProjectsPath})
        *folder = WithTrailingSeparator(*folder);
    // Only these numbers exist for now; the widget toolkit applies them when it builds the interface.
    ColorScheme = 1;
    Font = 2;
}

// One line: the first word is the key, the rest of the line, trimmed, its value.
void TTarnwick_Settings::ConsiderLine(const std::string& line)
{
    std::string_view key;
    std::string_view value_text;
    SplitKeyValue(line, key, value_text);
    const std::string value(value_text);

    struct FolderKey
    {
        const char* Key;
        std::string* Folder;
    };
    for (const FolderKey& folder_key :
         {FolderKey{"ImportPath", &ImportPath}, FolderKey{"ExportPath", &ExportPath},
          FolderKey{"ImagesPath", &ImagesPath}, FolderKey{"ProjectsPath", &ProjectsPath}}) {
        if (SameTextNoCase(key, folder_key.Key)) {
            // A folder that has gone keeps the default.
            if (FolderExists(value))
                *folder_key.Folder = value;
            return;
        }
    }
    if (SameTextNoCase(key, "AutoSaveFileName"))
        AutoSaveFileName = value;
    else if (SameTextNoCase(key, "AutoSaveTime"))
        AutoSaveTime = ParseDecimal(value);
    else if (SameTextNoCase(key, "SearchPath"))
        AddSearchPath(value, TZAVSearchDepth::FolderOnly);
    else if (SameTextNoCase(key, "RecursiveSearchPath"))
        AddSearchPath(value, TZAVSearchDepth::WithSubfolders);
    else if (SameTextNoCase(key, "MaxTextureSize2")) {
        // A limit below the minimum would leave no valid texture size.
        int32_t size = ParseInteger(value);
        if (size >= MinTextureSize)
            MaxTextureSize = size;
    } else if (SameTextNoCase(key, "RunCount"))
        RunCount = ParseInteger(value);
    else if (SameTextNoCase(key, "UndoLimit"))
        UndoLimit = std::max(ParseInteger(value), 0);
    else if (SameTextNoCase(key, "PaintBleedWidth"))
        PaintBleedWidth = std::clamp(ParseInteger(value), 0, MaxPaintBleedWidth);
    else if (SameTextNoCase(key, "UseTextureCompression"))
        UseTextureCompression = ParseFlag(value);
    else if (SameTextNoCase(key, "Font"))
        Font = ParseInteger(value);
    else if (SameTextNoCase(key, "ColorScheme"))
        ColorScheme = ParseInteger(value);
    else if (SameTextNoCase(key, "CacheViewports"))
        CacheViewports = ParseFlag(value);
    else if (SameTextNoCase(key, "LoadDefaultProject"))
        LoadDefaultProject = ParseFlag(value);
}

bool TTarnwick_Settings::WriteSettings()
{
    if (UserFolder.empty())
        return false;
    TZAVSafeFileWriter writer(SettingsFilePath());
    FILE* file = writer.Open();
    if (file != nullptr) {
        std::fprintf(file, "%s\t%s\n", "ImportPath", ImportPath.c_str());
        std::fprintf(file, "%s\t%s\n", "ExportPath", ExportPath.c_str());
        std::fprintf(file, "%s\t%s\n", "ImagesPath", ImagesPath.c_str());
        std::fprintf(file, "%s\t%s\n", "ProjectsPath", ProjectsPath.c_str());
        std::fprintf(file, "%s\t%s\n", "AutoSaveFileName", AutoSavePath.c_str());
        std::fprintf(file, "%s\t%.6f\n", "AutoSaveTime", static_cast<double>(AutoSaveTime));
        for (const TTarnwick_SearchPath* search_path : GlobalSearchPaths)
            std::fprintf(file, search_path->Recursive ? "RecursiveSearchPath\t%s\n" : "SearchPath\t%s\n",
                         search_path->Path.c_str());
        std::fprintf(file, "%s\t%d\n", "MaxTextureSize2", MaxTextureSize);
        std::fprintf(file, "%s\t%d\n", "RunCount", RunCount);
        std::fprintf(file, "%s\t%d\n", "Hints", Hints ? 1 : 0);
        std::fprintf(file, "%s\t%d\n", "UseTextureCompression", UseTextureCompression ? 1 : 0);
        std::fprintf(file, "%s\t%d\n", "Font", Font);
        std::fprintf(file, "%s\t%d\n", "ColorScheme", ColorScheme);
        std::fprintf(file, "%s\t%d\n", "CacheViewports", CacheViewports ? 1 : 0);
        std::fprintf(file, "%s\t%d\n", "UndoLimit", UndoLimit);
        std::fprintf(file, "%s\t%d\n", "PaintBleedWidth", PaintBleedWidth);
        std::fprintf(file, "%s\t%d\n", "LoadDefaultProject", LoadDefaultProject ? 1 : 0);
    }
    if (file == nullptr || !writer.Commit()) {
        AddWarning("The settings were not saved: %s", writer.Error().c_str());
        return false;
    }
    return true;
}

void TTarnwick_Settings::AddSearchPath(const std::string& folder, TZAVSearchDepth depth)
{
    if (folder.empty())
        return;
    std::string path = WithTrailingSeparator(folder);
    for (const TTarnwick_SearchPath* search_path : GlobalSearchPaths) {
        if (search_path->Path == path)
            return;
    }
    GlobalSearchPaths.Add(new TTarnwick_SearchPath(path, depth));
}

void TTarnwick_Settings::AddSearchPathOfFile(const std::string& path, TZAVSearchDepth depth)
{
    AddSearchPath(FolderOf(path), depth);
}

bool TTarnwick_Settings::FindFile(std::string& path, TZAVMissingFile missing)
{
    if (path.empty())
        return false;
    if (FileExists(path)) {
        AddSearchPathOfFile(path, TZAVSearchDepth::FolderOnly);
        return true;
    }
    std::string folder, name;
    SplitPath(path, folder, name);
    if (name.empty())
        return false;
    for (const TTarnwick_SearchPath* search_path : GlobalSearchPaths) {
        std::string found;
        if (FindFileInFolder(name, search_path->Path, found,
                             search_path->Recursive ? TZAVSearchDepth::WithSubfolders : TZAVSearchDepth::FolderOnly)) {
            path = found;
            return true;
        }
    }
    if (missing != TZAVMissingFile::AskUser ||
        !AskYesNo(GlobalDialogHost, "The file '%s' cannot be found. Do you want to find it now?",
                  name.c_str()))
        return false;
    std::string chosen;
    std::string start_folder = FolderExists(folder) ? folder : ImportPath;
    if (!AskOpenFileName(GlobalDialogHost, chosen, start_folder, "", "", name.c_str(), false) ||
        !FileExists(chosen))
        return false;
    path = chosen;
    AddSearchPathOfFile(path, TZAVSearchDepth::FolderOnly);
    return true;
}
