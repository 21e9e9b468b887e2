// Morph set files: named morph targets of one mesh with their strengths and displacements, in the
// text block syntax, so that sculpted morphs can be loaded onto another copy of the same figure.
//
//     VertexCount<TAB>1204
//     morph<TAB>Smile
//     {
//         Strength<TAB>0.500000
//         DeltaCount<TAB>2
//         d<TAB>12 0.1 -0.25 0           (vertex, dx, dy, dz; ascending vertices, each once)
//         d<TAB>13 0.125 0 0
//     }
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mesh/morph.h"

class TTarnwick_Mesh;

struct TTarnwick_MorphSetEntry
{
    std::string Name;
    float Strength = 1.0f;
    std::vector<TTarnwick_MorphDelta> Deltas;
};

// Reads the whole file, checking every count and vertex before it is used: false, with a message
// naming the file and the line, when a line is malformed or the set was made for another vertex
// count than vertex_count; out_entries is then left alone.
[[nodiscard]] bool ReadMorphSet(const std::string& path, int32_t vertex_count,
                                std::vector<TTarnwick_MorphSetEntry>& out_entries, std::string& out_problem);

// Writes the morphs through a temporary file; the values read back exactly. False, with the
// problem, when the file cannot be written.
[[nodiscard]] bool WriteMorphSet(const std::string& path, int32_t vertex_count,
                                 std::span<TTarnwick_Morph* const> morphs, std::string& out_problem);

// The morph an entry replaces: the user's morph of that name that may be edited; null when the
// entry becomes a new morph.
TTarnwick_Morph* MorphReplacedBy(TTarnwick_Mesh& mesh, const TTarnwick_MorphSetEntry& entry);
// Each entry replaces the values and strength of MorphReplacedBy, or becomes a new morph; the
// figure is resolved again. Returns the morphs set, in the entries' order.
std::vector<TTarnwick_Morph*> ApplyMorphSet(TTarnwick_Mesh& mesh,
                                            const std::vector<TTarnwick_MorphSetEntry>& entries);

// The morph of that name in the mesh's tree, hidden groups included; null when none.
TTarnwick_Morph* FindMorphNamed(TTarnwick_Mesh& mesh, const std::string& name);
// The user's morphs in tree order: those of the hidden working group are left out.
std::vector<TTarnwick_Morph*> UserMorphs(TTarnwick_Mesh& mesh);
