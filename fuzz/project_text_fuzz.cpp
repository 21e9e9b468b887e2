// The text project reader on fuzzed bytes after the first line: whatever loads must save, and what it saved
// must read back and save again to the same text (the "ID" lines aside: IDs are handed out afresh).
#include "fuzz/fuzz_support.h"

#include <string>

#include "files/project.h"

namespace {

std::string ReadWithoutIDs(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t length; (length = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
            text.append(buffer, length);
        std::fclose(file);
    }
    std::string kept;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + start, end - start);
        if (line.find_first_not_of('\t') == std::string_view::npos ||
            line.substr(line.find_first_not_of('\t'), 3) != "ID\t")
            kept.append(line);
        start = end;
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes follow the first line, so that every input reaches the text reader.
    std::string text = "Tarnwick Project File\n";
    text.append(reinterpret_cast<const char*>(data), size);
    const std::string input =
        WriteInputFile("fuzz.Tarnwick", reinterpret_cast<const uint8_t*>(text.data()), text.size());
    TTarnwick_Project project;
    if (!project.OpenProjectFile(input))
        FuzzCheckFailed("a text project was refused");
    const std::string first = InputFolder() + "first.Tarnwick";
    const std::string second = InputFolder() + "second.Tarnwick";
    if (!project.SaveProject(first, false))
        FuzzCheckFailed("a loaded project could not be saved");
    TTarnwick_Project reopened;
    if (!reopened.OpenProjectFile(first) || !reopened.SaveProject(second, false))
        FuzzCheckFailed("a saved project could not be read and saved again");
    if (ReadWithoutIDs(first) != ReadWithoutIDs(second))
        FuzzCheckFailed("a saved project read back different");
    return 0;
}
