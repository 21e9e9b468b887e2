// The settings file on fuzzed bytes: the object is made as at start-up (defaults, read, write).
// What it wrote must read back to the same file, so that preferences survive every restart.
#include "fuzz/fuzz_support.h"

#include <string>

#include "files/settings.h"

namespace {

std::string ReadWhole(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t length; (length = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
            text.append(buffer, length);
        std::fclose(file);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string user_folder = FuzzFolder() + "config/Tarnwick/";
    mkdir(user_folder.c_str(), 0700);
    WriteInputFile("../config/Tarnwick/" + std::string(SettingsFileName), data, size);
    TTarnwick_Settings settings;
    if (settings.UserFolder.empty())
        FuzzCheckFailed("no user folder");
    const std::string path = settings.SettingsFilePath();
    const std::string first = ReadWhole(path);
    settings.ReadSettings();
    if (!settings.WriteSettings())
        FuzzCheckFailed("the settings could not be written again");
    if (ReadWhole(path) != first)
        FuzzCheckFailed("settings written by us read back different");
    return 0;
}
