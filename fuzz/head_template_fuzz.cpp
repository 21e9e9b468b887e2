// The head template's files and selection sets on fuzzed bytes. The first byte chooses: below
// 0x60 the rest is a definitions file read into a fresh template, which is then evaluated; below
// 0xc0 a values file read onto a small template; from 0xc0 on a selection set imported into a
// 4 × 3 grid, which a refused file must leave as it was.
#include "fuzz/fuzz_support.h"

#include <random>
#include <string>

#include "mesh/selection.h"
#include "mesh/selection_set.h"
#include "tests/support/grid_mesh.h"
#include "tools/head_molder_template.h"

namespace {

constexpr const char* SmallDefinitions = "Category Face\nSection Nose\nTransform Translate 0 -1 -1 0 1 1\n"
                                         "Symmetry 0\nExponent 2\nTransform Smooth 0 0 0 1 0 0\n";

// Every weight of every selection, in tree order.
std::string Weights(TTarnwick_Mesh& mesh)
{
    std::string text;
    std::vector<TTarnwick_TreeRow> rows;
    TTarnwick_TreeGroup::FlattenTree(mesh.SelectionTree.get(), rows);
    for (const TTarnwick_TreeRow& row : rows)
        if (auto* selection = dynamic_cast<TTarnwick_Selection*>(row.Item)) {
            text += selection->Name + ":";
            for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
                text += std::to_string(selection->GetVSelect(vertex)) + " ";
        }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const std::string path = WriteInputFile("fuzz.txt", data + 1, size - 1);
    std::string problem;
    TTarnwick_HeadMolderTemplate head;
    if (data[0] < 0x60) {
        if (head.LoadDefinitions(path, problem)) {
            std::mt19937 random(7);
            head.Randomise(random);
            head.Evaluate();
        }
        return 0;
    }
    if (data[0] < 0xc0) {
        WriteInputText("definitions.dat", SmallDefinitions);
        if (!head.LoadDefinitions(InputFolder() + "definitions.dat", problem))
            FuzzCheckFailed("the small definitions were refused");
        if (head.LoadValues(path, problem))
            head.Evaluate();
        return 0;
    }
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 3);
    const std::string before = Weights(mesh);
    if (!ImportSelectionSet(mesh, path, problem) && Weights(mesh) != before)
        FuzzCheckFailed("a refused selection set changed the selections");
    return 0;
}
