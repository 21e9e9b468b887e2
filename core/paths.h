// Paths, folders and file routines. The separator is '/'; splitting also accepts '\\' so that
// Windows paths read from figure and project files split the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr char PathSeparator = '/';

bool IsPathSeparator(char c);

// folder keeps its trailing separator; with no separator folder is empty and name the whole path.
void SplitPath(const std::string& path, std::string& out_folder, std::string& out_name);
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// The path without the extension of its name ("a/b.obj" -> "a/b"); a leading dot of the name
// ("a/.hidden") starts no extension.
std::string WithoutExtension(const std::string& path);
// The extension of the name without its dot ("a/b.obj" -> "obj"); empty when there is none, by
// the same rule.
std::string ExtensionOf(const std::string& path);
// Appends a separator unless the text is empty or already ends in one.
std::string WithTrailingSeparator(std::string folder);

bool ProgramFolder(std::string& result);
bool TempFolder(std::string& result);
bool DesktopFolder(std::string& result);
// The user folder ($XDG_CONFIG_HOME or ~/.config); with a subfolder, that folder, created if missing.
bool AppDataFolder(std::string& result, const char* subfolder);
// The program's own folder inside the user folder (the settings), created if missing.
constexpr const char* UserFolderName = "Tarnwick";
bool UserFolder(std::string& result);
// Where what outlives a crash is kept ($XDG_STATE_HOME or ~/.local/state, then Tarnwick): the
// autosave, the lock file and the crash marker. Created if missing.
bool StateFolder(std::string& result);
// What the user makes with the program and keeps ($XDG_DATA_HOME or ~/.local/share, then
// Tarnwick): the layer sets. Created if missing.
bool UserDataFolder(std::string& result);

// Makes a new empty file with a unique name in folder (mkstemp); result is its path.
bool MakeUniqueFileName(std::string& result, const std::string& folder, const char* extension);
bool MakeTempFileName(std::string& result, const char* extension);

struct TZAVFolderEntry
{
    std::string Name;
    bool IsFolder = false;
    bool IsLink = false;
};

// Lists a folder in name order, without "." and "..". False when it cannot be read.
bool ListFolder(const std::string& folder, std::vector<TZAVFolderEntry>& out_entries);
// Whether name matches one of the ';'-separated patterns ("*.obj;*.obz"), without regard to case;
// "*.*" matches every name.
bool MatchesFilePatterns(const std::string& name, std::string_view patterns);

// True for a readable file that is not a folder.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Creates the folder and any missing parents.
bool EnsureFolder(const std::string& path);
// Overwrites destination, which is replaced only once the copy is complete.
bool CopyFile(const std::string& destination, const std::string& source);
// Fails when destination exists; moves across file systems by copying.
bool MoveFile(const std::string& destination, const std::string& source);
bool DeleteFile(const std::string& path);

enum class TZAVSearchDepth
{
    FolderOnly,
    WithSubfolders,
};

// Looks for name in folder without regard to case (an exact match wins); with subfolders, descends
// depth-first, in name order, into sub-folders whose names do not begin with '.'. Links to folders
// are not followed, so a link loop cannot trap the search.
bool FindFileInFolder(const std::string& name, const std::string& folder, std::string& result,
                      TZAVSearchDepth depth);
// A file that another file names (a texture in an MTL, a library in an OBJ): absolute as given,
// else relative to folder, its folders and name matched without regard to case, else by its bare
// name in folder. Names written on Windows ("textures\skin.jpg", ".\Tex.jpg") are found too.
bool FindFileBeside(const std::string& name, const std::string& folder, std::string& result);
