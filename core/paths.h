// Paths, folders and file routines. The separator is '/'; splitting also accepts '\\' so that
// Windows paths read from figure and project files split the same way.
#pragma once

#include <string>

constexpr char PathSeparator = '/';

bool IsPathSeparator(char c);

// folder keeps its trailing separator; with no separator folder is empty and name the whole path.
void SplitPath(const std::string& path, std::string& out_folder, std::string& out_name);
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// Appends a separator unless the text is empty or already ends in one.
std::string WithTrailingSeparator(std::string folder);

bool ProgramFolder(std::string& result);
bool TempFolder(std::string& result);
bool DesktopFolder(std::string& result);
// The user folder ($XDG_CONFIG_HOME or ~/.config); with a subfolder, that folder, created if missing.
bool AppDataFolder(std::string& result, const char* subfolder);

// Makes a new empty file with a unique name in folder (mkstemp); result is its path.
bool MakeUniqueFileName(std::string& result, const std::string& folder, const char* extension);
bool MakeTempFileName(std::string& result, const char* extension);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool EnsureFolder(const std::string& path);
bool CopyFile(const std::string& destination, const std::string& source);
bool MoveFile(const std::string& destination, const std::string& source);
bool DeleteFile(const std::string& path);

// Looks for name in folder without regard to case; with recursive, descends depth-first into
// sub-folders whose names do not begin with '.'.
bool FindFileInFolder(const std::string& name, const std::string& folder, std::string& result,
                      bool recursive);
