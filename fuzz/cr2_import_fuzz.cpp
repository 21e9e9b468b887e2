// ImportCR2File on a figure of fuzzed bytes, with or without its morphs as the first byte says. The
// figure lies in a small figure library written once, so the paths it names can find the library's
// geometry and textures.
#include "fuzz/fuzz_support.h"

#include <string>

#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "tests/support/cr2_figure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    static const TestFigure library = WriteTestFigure(InputFolder());
    const std::string path =
        WriteInputFile("Runtime/Libraries/Character/Tarnwick/fuzzed.cr2", data + 1, size - 1);
    {
        TTarnwick_Project project;
        project.ImportMorphs = (data[0] & 1) != 0;
        TTarnwick_Object object;
        const bool imported = project.ImportCR2File(path, object);
        if (imported && (object.Mesh == nullptr || object.Mesh->GetVertexCount() == 0))
            FuzzCheckFailed("an import that succeeded gave no mesh");
        if (!imported && (object.Mesh != nullptr || project.Error().empty()))
            FuzzCheckFailed("a failed import changed the object or gave no reason");
    }
    ResetVirtualMemory();
    return 0;
}
