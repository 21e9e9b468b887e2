// Paths, special folders and file routines on Linux: the user folder follows the XDG rules,
// temporary names come from mkstemps, and case-insensitive lookups list the folder.
#include "core/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/file_handle.h"
#include "core/safe_file.h"
#include "core/text_scan.h"

namespace {

constexpr size_t CopyBufferSize = 64 * 1024;

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return std::string();
}

} // namespace

bool ListFolder(const std::string& folder, std::vector<TZAVFolderEntry>& out_entries)
{
    std::string prefix = WithTrailingSeparator(folder);
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr)
        return false;
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        TZAVFolderEntry item;
        item.Name = entry->d_name;
        // The entry's own type spares a stat per file; links and file systems that do not
        // tell are asked.
        if (entry->d_type == DT_REG || entry->d_type == DT_DIR) {
            item.IsFolder = entry->d_type == DT_DIR;
        } else {
            std::string full_path = prefix + item.Name;
            struct stat link_status;
            if (lstat(full_path.c_str(), &link_status) != 0)
                continue;
            item.IsLink = S_ISLNK(link_status.st_mode);
            struct stat status;
            item.IsFolder = stat(full_path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        }
        out_entries.push_back(std::move(item));
    }
    closedir(listing);
    std::sort(out_entries.begin(), out_entries.end(),
              [](const TZAVFolderEntry& a, const TZAVFolderEntry& b) { return a.Name < b.Name; });
    return true;
}

bool MatchesFilePatterns(const std::string& name, std::string_view patterns)
{
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string_view::npos)
            end = patterns.size();
        std::string pattern(TrimBlanks(patterns.substr(start, end - start)));
        // "*.*" is every file, also those without a dot, as the dialogs always took it.
        if (pattern == "*.*" || (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0))
            return true;
        start = end + 1;
    }
    return false;
}

bool IsPathSeparator(char c)
{
    return c == '/' || c == '\\';
}

void SplitPath(const std::string& path, std::string& out_folder, std::string& out_name)
{
    size_t last = path.find_last_of("/\\");
    if (last == std::string::npos) {
        out_folder.clear();
        out_name = path;
        return;
    }
    out_folder = path.substr(0, last + 1);
    out_name = path.substr(last + 1);
}

std::string FolderOf(const std::string& path)
{
    std::string folder, name;
    SplitPath(path, folder, name);
    return folder;
}

std::string NameOf(const std::string& path)
{
    std::string folder, name;
    SplitPath(path, folder, name);
    return name;
}

namespace {

// Where the name's extension starts (its '.'), or npos when the name has none.
size_t ExtensionDot(const std::string& path)
{
    const size_t name_start = path.size() - NameOf(path).size();
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot <= name_start ? std::string::npos : dot;
}

} // namespace

std::string WithoutExtension(const std::string& path)
{
    const size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string ExtensionOf(const std::string& path)
{
    const size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string WithTrailingSeparator(std::string folder)
{
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder.push_back(PathSeparator);
    return folder;
}

bool ProgramFolder(std::string& result)
{
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<size_t>(length) < buffer.size()) {
            result = FolderOf(std::string(buffer.data(), static_cast<size_t>(length)));
            return !result.empty();
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool TempFolder(std::string& result)
{
    const char* from_environment = std::getenv("TMPDIR");
    if (from_environment != nullptr && from_environment[0] != '\0' && FolderExists(from_environment)) {
        result = WithTrailingSeparator(from_environment);
        return true;
    }
    if (!FolderExists("/tmp"))
        return false;
    result = "/tmp/";
    return true;
}

bool DesktopFolder(std::string& result)
{
    std::string home = HomeFolder();
    if (home.empty())
        return false;
    result = WithTrailingSeparator(home) + "Desktop/";
    return true;
}

namespace {

// $variable, or fallback under the home folder; with a subfolder, that folder. Created if missing.
bool XdgFolder(std::string& result, const char* variable, const char* fallback, const char* subfolder)
{
    // XDG asks for relative values to be ignored.
    const char* configured = std::getenv(variable);
    std::string base;
    if (configured != nullptr && configured[0] == '/')
        base = configured;
    else {
        std::string home = HomeFolder();
        if (home.empty())
            return false;
        base = WithTrailingSeparator(home) + fallback;
    }
    base = WithTrailingSeparator(base);
    if (subfolder != nullptr && subfolder[0] != '\0')
        base = WithTrailingSeparator(base + subfolder);
    if (!EnsureFolder(base))
        return false;
    result = base;
    return true;
}

} // namespace

bool AppDataFolder(std::string& result, const char* subfolder)
{
    return XdgFolder(result, "XDG_CONFIG_HOME", ".config", subfolder);
}

bool UserFolder(std::string& result)
{
    return AppDataFolder(result, UserFolderName);
}

bool StateFolder(std::string& result)
{
    return XdgFolder(result, "XDG_STATE_HOME", ".local/state", UserFolderName);
}

bool UserDataFolder(std::string& result)
{
    return XdgFolder(result, "XDG_DATA_HOME", ".local/share", UserFolderName);
}

bool MakeUniqueFileName(std::string& result, const std::string& folder, const char* extension)
{
    std::string suffix;
    if (extension != nullptr && extension[0] != '\0')
        suffix = std::string(".") + extension;
    std::string pattern = WithTrailingSeparator(folder) + "tarnwick-XXXXXX" + suffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int descriptor = mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (descriptor < 0)
        return false;
    close(descriptor);
    result = name.data();
    return true;
}

bool MakeTempFileName(std::string& result, const char* extension)
{
    std::string folder;
    return TempFolder(folder) && MakeUniqueFileName(result, folder, extension);
}

bool FileExists(const std::string& path)
{
    TZAVFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    return file.IsOpen() && fstat(file.Get(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool FolderExists(const std::string& path)
{
    struct stat status;
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool EnsureFolder(const std::string& path)
{
    if (path.empty())
        return false;
    if (FolderExists(path))
        return true;
    // Create each missing level in turn, like mkdir -p.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        std::string level = path.substr(0, end);
        if (!level.empty() && mkdir(level.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            break;
    }
    return FolderExists(path);
}

bool CopyFile(const std::string& destination, const std::string& source)
{
    TZAVFileDescriptor input(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.IsOpen())
        return false;
    TZAVSafeFileWriter writer(destination);
    FILE* output = writer.Open();
    if (output == nullptr)
        return false;
    std::vector<char> buffer(CopyBufferSize);
    for (;;) {
        ssize_t length = read(input.Get(), buffer.data(), buffer.size());
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return false;
        if (length == 0)
            break;
        if (std::fwrite(buffer.data(), 1, static_cast<size_t>(length), output) != static_cast<size_t>(length))
            return false;
    }
    return writer.Commit();
}

bool MoveFile(const std::string& destination, const std::string& source)
{
    struct stat status;
    if (lstat(destination.c_str(), &status) == 0)
        return false;
    if (rename(source.c_str(), destination.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    return CopyFile(destination, source) && DeleteFile(source);
}

bool DeleteFile(const std::string& path)
{
    return unlink(path.c_str()) == 0;
}

bool FindFileInFolder(const std::string& name, const std::string& folder, std::string& result,
                      TZAVSearchDepth depth)
{
    if (name.empty())
        return false;
    std::vector<TZAVFolderEntry> entries;
    if (!ListFolder(folder, entries))
        return false;
    std::string prefix = WithTrailingSeparator(folder);
    const TZAVFolderEntry* match = nullptr;
    for (const TZAVFolderEntry& entry : entries) {
        if (entry.IsFolder)
            continue;
        if (entry.Name == name) {
            match = &entry;
            break;
        }
        if (match == nullptr && SameTextNoCase(entry.Name, name))
            match = &entry;
    }
    if (match != nullptr) {
        result = prefix + match->Name;
        return true;
    }
    if (depth == TZAVSearchDepth::FolderOnly)
        return false;
    for (const TZAVFolderEntry& entry : entries) {
        if (!entry.IsFolder || entry.IsLink || entry.Name[0] == '.')
            continue;
        if (FindFileInFolder(name, prefix + entry.Name, result, depth))
            return true;
    }
    return false;
}

bool FindFileBeside(const std::string& name, const std::string& folder, std::string& result)
{
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', PathSeparator);
    if (relative.empty())
        return false;
    if (relative[0] == PathSeparator) {
        if (FileExists(relative)) {
            result = relative;
            return true;
        }
    } else {
        while (relative.starts_with("./"))
            relative.erase(0, 2);
        if (FileExists(WithTrailingSeparator(folder) + relative)) {
            result = WithTrailingSeparator(folder) + relative;
            return true;
        }
        // Each folder of the name, then the name itself, without regard to case.
        std::string current = folder;
        size_t start = 0;
        for (size_t slash; (slash = relative.find(PathSeparator, start)) != std::string::npos;
             start = slash + 1) {
            const std::string part = relative.substr(start, slash - start);
            if (part.empty() || part == ".")
                continue;
            std::vector<TZAVFolderEntry> entries;
            const TZAVFolderEntry* match = nullptr;
            if (ListFolder(current, entries))
                for (const TZAVFolderEntry& entry : entries)
                    if (entry.IsFolder && SameTextNoCase(entry.Name, part) &&
                        (match == nullptr || entry.Name == part))
                        match = &entry;
            if (match == nullptr) {
                current.clear();
                break;
            }
            current = WithTrailingSeparator(current) + match->Name;
        }
        if (!current.empty() &&
            FindFileInFolder(relative.substr(start), current, result, TZAVSearchDepth::FolderOnly))
            return true;
    }
    // A folder that exists only on the machine that wrote the name.
    return FindFileInFolder(NameOf(relative), folder, result, TZAVSearchDepth::FolderOnly);
}
