// The binary project reader on fuzzed bytes: a refused file must say why; a loaded one must save
// as text and read back.
#include "fuzz/fuzz_support.h"

#include <string>

#include "files/project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input = WriteInputFile("fuzz.Tarnwick", data, size);
    TTarnwick_Project project;
    if (!project.LoadProject(input)) {
        if (project.Error().empty())
            FuzzCheckFailed("a refused binary project left no message");
        return 0;
    }
    const std::string saved = InputFolder() + "saved.Tarnwick";
    TTarnwick_Project reopened;
    if (!project.SaveProject(saved, false) || !reopened.OpenProjectFile(saved))
        FuzzCheckFailed("a loaded binary project could not be saved and read back");
    return 0;
}
