// Morph set files on fuzzed bytes, read for a 4 × 3 grid (20 vertices). A set that is taken must
// apply to the grid and write out again; a refused one must leave the entries alone.
#include "fuzz/fuzz_support.h"

#include <string>
#include <vector>

#include "mesh/morph_set.h"
#include "tests/support/grid_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = WriteInputFile("fuzz.MorphSet", data, size);
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 3);
    std::vector<TTarnwick_MorphSetEntry> entries(1);
    std::string problem;
    if (!ReadMorphSet(path, mesh.GetVertexCount(), entries, problem)) {
        if (entries.size() != 1 || problem.empty())
            FuzzCheckFailed("a refused morph set changed the entries or said nothing");
        return 0;
    }
    const std::vector<TTarnwick_Morph*> morphs = ApplyMorphSet(mesh, entries);
    if (morphs.size() != entries.size())
        FuzzCheckFailed("a morph set did not set every morph");
    if (!WriteMorphSet(InputFolder() + "saved.MorphSet", mesh.GetVertexCount(), morphs, problem))
        FuzzCheckFailed("an applied morph set could not be written");
    return 0;
}
