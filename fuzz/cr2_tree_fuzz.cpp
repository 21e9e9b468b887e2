// ParseCR2File on a file of fuzzed bytes, flat or merging actors and props as the first byte
// says; a parsed tree is written back out, as the CR2 export does.
#include "fuzz/fuzz_support.h"

#include <memory>
#include <string>

#include "files/cr2_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const TZAVCR2Merge merge = (data[0] & 1) != 0 ? TZAVCR2Merge::Flat : TZAVCR2Merge::ActorsAndProps;
    const std::string path = WriteInputFile("figure.cr2", data + 1, size - 1);
    std::unique_ptr<TZAVCR2TreeNode> root;
    std::string error;
    if (!ParseCR2File(path, merge, root, error))
        return 0;
    if (!root)
        FuzzCheckFailed("a parse that succeeded gave no tree");
    if (!WriteCR2File(InputFolder() + "written.cr2", *root, error))
        FuzzCheckFailed("a parsed tree could not be written");
    return 0;
}
