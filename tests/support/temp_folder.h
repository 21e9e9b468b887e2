// Test folders: a fresh temporary folder removed with everything in it at the end, a scope that
// points the user folder and the temporary folder into one so tests never touch the real ones, and
// a child process whose writes fail as on a full disk.
//
//     UserFoldersInTemp folders;                 // XDG_CONFIG_HOME and TMPDIR under folders.Root
//     std::string path = folders.Root.Write("a.txt", "text");
//     TemporaryFolder::Names(folders.Root.Path()); // sorted, without "." and ".."
//     PassesWithFileSizeLimit(1024, [&] { return !Save(path); });
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        const char* base = getenv("TMPDIR");
        std::string pattern = base != nullptr && base[0] != '\0' ? base : "/tmp";
        pattern += "/tarnwick_test_XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) != nullptr)
            Folder = std::string(name.data()) + "/";
    }

    ~TemporaryFolder()
    {
        if (!Folder.empty())
            nftw(Folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // The folder with its trailing '/'; empty if it could not be made.
    const std::string& Path() const { return Folder; }

    // Writes contents to name inside the folder; returns the full path.
    std::string Write(const std::string& name, const std::string& contents) const
    {
        std::string path = Folder + name;
        if (FILE* file = std::fopen(path.c_str(), "wb")) {
            std::fwrite(contents.data(), 1, contents.size(), file);
            std::fclose(file);
        }
        return path;
    }

    static std::string Read(const std::string& path)
    {
        std::string contents;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t length;
            while ((length = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
                contents.append(buffer, length);
            std::fclose(file);
        }
        return contents;
    }

    // The entries of a folder in sorted order.
    static std::vector<std::string> Names(const std::string& folder)
    {
        std::vector<std::string> names;
        if (DIR* listing = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(listing)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            closedir(listing);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
    {
        remove(path);
        return 0;
    }

    std::string Folder;
};

// Sets an environment variable for the life of the object, then restores the old value.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::string& value) : Name(name)
    {
        if (const char* old = getenv(name))
            OldValue = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (OldValue)
            setenv(Name.c_str(), OldValue->c_str(), 1);
        else
            unsetenv(Name.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string Name;
    std::optional<std::string> OldValue;
};

// XDG_CONFIG_HOME and TMPDIR inside one temporary folder.
struct UserFoldersInTemp
{
    TemporaryFolder Root;
    ScopedEnvironment Config{"XDG_CONFIG_HOME", Root.Path() + "config"};
    ScopedEnvironment State{"XDG_STATE_HOME", Root.Path() + "state"};
    ScopedEnvironment Temp{"TMPDIR", Root.Path() + "tmp"};
    bool Made = MakeFolders();

    // The program's own user folder inside Root.
    std::string UserFolderPath() const { return Root.Path() + "config/Tarnwick/"; }
    std::string StateFolderPath() const { return Root.Path() + "state/Tarnwick/"; }

private:
    bool MakeFolders() const
    {
        std::string tmp = Root.Path() + "tmp";
        return !Root.Path().empty() && mkdir(tmp.c_str(), 0700) == 0;
    }
};

// Runs body in a child process whose files cannot grow past limit bytes: writes beyond it fail
// with EFBIG instead of raising SIGXFSZ. True when body returned true there.
template <typename Body> bool PassesWithFileSizeLimit(rlim_t limit, Body body)
{
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limits{limit, limit};
        setrlimit(RLIMIT_FSIZE, &limits);
        // The child never returns into the test: an exception counts as a failure.
        bool passed = false;
        try {
            passed = body();
        } catch (...) {
        }
        _exit(passed ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
