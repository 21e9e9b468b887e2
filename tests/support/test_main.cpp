// The main of every test program. HOME, the XDG folders and TMPDIR point into a fresh temporary
// folder, so that no test reads or writes the user's own settings, state, data or temporary
// files; the folder goes, with everything in it, when the tests are done.
#include <gtest/gtest.h>

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    std::remove(path);
    return 0;
}

// A new folder under $TMPDIR, or /tmp when that is unset or unusable; empty on failure.
std::string MakeRoot()
{
    const char* configured = getenv("TMPDIR");
    for (std::string base : {std::string(configured != nullptr ? configured : ""), std::string("/tmp")}) {
        if (base.empty())
            continue;
        std::string pattern = base + "/tarnwick-tests-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            return pattern;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    const std::string root = MakeRoot();
    if (root.empty()) {
        std::perror("tests: cannot make a temporary folder");
        return 1;
    }
    const char* const folders[][2] = {
        {"HOME", "/home"},          {"XDG_CONFIG_HOME", "/config"}, {"XDG_STATE_HOME", "/state"},
        {"XDG_DATA_HOME", "/data"}, {"XDG_CACHE_HOME", "/cache"},   {"TMPDIR", "/tmp"},
    };
    for (const auto& [name, folder] : folders) {
        const std::string path = root + folder;
        mkdir(path.c_str(), 0700);
        setenv(name, path.c_str(), 1);
    }
    // Death tests fork; only this process, after the last test, removes the folder.
    const int result = RUN_ALL_TESTS();
    nftw(root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    return result;
}
