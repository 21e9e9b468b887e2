// Selection set files: named weighted selections of one mesh in plain text, so that the regions of
// a figure can be loaded onto another copy of it (the head template tool names its regions so).
//
//     VertexCount 1204
//     Selection Left Eye          (the name is the rest of the line)
//     17 1                        (vertex, weight; vertices not listed weigh 0)
//     18 0.5
//     # a comment
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

class TTarnwick_Mesh;
class TTarnwick_Selection;

struct TTarnwick_SelectionSetEntry
{
    std::string Name;
    std::vector<std::pair<int32_t, float>> Weights;
};

// Reads the whole file before anything is used: false, with the problem naming the file and the
// line, when a line is malformed or the set was made for another vertex count than vertex_count.
[[nodiscard]] bool ReadSelectionSet(const std::string& path, int32_t vertex_count,
                                    std::vector<TTarnwick_SelectionSetEntry>& out_entries,
                                    std::string& out_problem);
// Each entry replaces the weights of the selection of its name, or becomes a new selection.
void ApplySelectionSet(TTarnwick_Mesh& mesh, const std::vector<TTarnwick_SelectionSetEntry>& entries);
// ReadSelectionSet, then ApplySelectionSet; a refused file leaves the mesh unchanged.
[[nodiscard]] bool ImportSelectionSet(TTarnwick_Mesh& mesh, const std::string& path,
                                      std::string& out_problem);

// Writes the selections through a temporary file; weights are written so that they read back
// exactly. False, with the problem, when the file cannot be written.
[[nodiscard]] bool WriteSelectionSet(const std::string& path, int32_t vertex_count,
                                     std::span<TTarnwick_Selection* const> selections,
                                     std::string& out_problem);

// The selection of that name in the mesh's tree, hidden groups included; null when none.
TTarnwick_Selection* FindSelectionNamed(TTarnwick_Mesh& mesh, const std::string& name);
// The user's selections in tree order: those of the hidden working group are left out.
std::vector<TTarnwick_Selection*> UserSelections(TTarnwick_Mesh& mesh);
