// Morph targets: per-vertex displacements of one mesh with a strength, stored expanded or as
// sparse records and paged out while not in use; and the mixer that records which morphs take
// part in a mix.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "core/list.h"
#include "mesh/vertex_values.h"

class TTarnwick_Mesh;
class TTarnwick_TreeGroup;

// A compressed displacement: vertex index, dx, dy, dz (16 bytes).
using TTarnwick_MorphDelta = TTarnwick_VertexRecord<3>;

class TTarnwick_Morph : public TTarnwick_VertexValues<3>
{
public:
    static constexpr TTarnwick_VertexValueTraits ItemTraits{"TTarnwick_Morph", "vertices", "morph", true,
                                                            true};

    // Expanded and zero.
    explicit TTarnwick_Morph(int32_t vertex_count);
    // The displacements of the deltas (ascending vertices, each once), compressed unless that
    // form would be the larger.
    TTarnwick_Morph(int32_t vertex_count, std::span<const TTarnwick_MorphDelta> deltas);

    // The displacement of vertex i (three floats); expands the morph first.
    float* GetVertex(int32_t i);
    // Every stored displacement when compressed, every vertex when expanded; false when exhausted
    // or when there are no vertices.
    bool GetFirstDelta(int32_t& out_index, float out_delta[3]);
    bool GetNextDelta(int32_t& out_index, float out_delta[3]);

    // Adds the other morph's displacements; this morph keeps its form.
    void Add(TTarnwick_Morph* other);
    // Clear, Add, and SourceID = the other's ID.
    void Copy(TTarnwick_Morph* other);
    // All displacements zero; the form is kept.
    void Clear();
    // Keeps the first min(old, n) displacements and zeroes the rest; the form is kept.
    void SetVertexCount(int32_t vertex_count);
    // positions[i] += factor × displacement of vertex i; nothing when |factor| <= 1e-30.
    void AddToVertices(std::span<float> positions, float factor);

    // The arrays of the two forms, paged in: vertices is null while compressed, Deltas while expanded.
    float* vertices() { return ExpandedValues(); }
    const TTarnwick_MorphDelta* Deltas() { return Records(); }

    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    bool LoadFromStream_Text(TZAVTextReader& reader) override;
    bool LoadFromStream(FILE* file) override;

    float Strength = 1.0f;

protected:
    bool WriteExtraFields(FILE* file) override;
    bool ReadExtraFields(FILE* file) override;
    bool WriteExtraTextLines(FILE* file) override;
};

// The morphs taking part in a mix. The mixer does not own them.
class TTarnwick_MorphMixer : public TTarnwick_Thingy
{
public:
    // The item record, the number of morphs, then each morph's ID in list order.
    bool SaveToStream(FILE* file) override;
    // Reads the IDs into MorphIDs for the project loader to reconnect; List is left alone.
    bool LoadFromStream(FILE* file) override;

    // Tree-walk callback (data is the mixer): appends every morph of the group's List that is not
    // yet in the mix. The mixer's Mesh must be set.
    static bool AddMorphsToMixer_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t depth, void* mixer);

    TTarnwick_Mesh* Mesh = nullptr;
    TZAVMultiList<TTarnwick_Morph*> List;
    std::vector<int32_t> MorphIDs;
};

using TTarnwick_MorphPtr = TTarnwick_Morph*;
using TTarnwick_MorphMixerPtr = TTarnwick_MorphMixer*;
