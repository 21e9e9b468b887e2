// Weighted vertex selections: a weight from 0 (not selected) to 1 (fully selected) for every
// vertex of a mesh, stored expanded or as sparse records and paged out while not in use.
#pragma once

#include <cstdint>

#include "mesh/vertex_values.h"

// A compressed weight: vertex index and weight (8 bytes).
using TTarnwick_SelectionValue = TTarnwick_VertexRecord<1>;

class TTarnwick_Selection : public TTarnwick_VertexValues<1>
{
public:
    static constexpr TTarnwick_VertexValueTraits ItemTraits{"TTarnwick_Selection", "vselect", "selection",
                                                            false, false};

    // Named "New Selection", expanded, every weight 0.
    explicit TTarnwick_Selection(int32_t vertex_count);

    // Both expand the selection first. A vertex outside the selection is ignored (weight 0). A
    // brush reads and writes them per vertex, so an expanded selection in memory takes no call.
    void SetVSelect(int32_t i, float weight)
    {
        if (float* values = ResidentExpandedValues(); values != nullptr && uint32_t(i) < uint32_t(vcount))
            values[i] = weight;
        else
            SetVSelectExpanding(i, weight);
    }
    float GetVSelect(int32_t i)
    {
        if (const float* values = ResidentExpandedValues(); values != nullptr && uint32_t(i) < uint32_t(vcount))
            return values[i];
        return GetVSelectExpanding(i);
    }

    // weight = clamp(weight + other's weight, 0, 1) at every vertex; this selection keeps its form.
    void Add(TTarnwick_Selection* other);
    // The other's weights, and SourceID = the other's ID; both keep their form.
    void Copy(TTarnwick_Selection* other);
    void Clear();
    // n weights, all 0: weights are not kept.
    void SetVertexCount(int32_t vertex_count);

    // Every record when compressed, every vertex when expanded.
    bool GetFirstValue(int32_t& out_index, float& out_weight);
    bool GetNextValue(int32_t& out_index, float& out_weight);
    // Writes the weight at the cursor, in whichever form is present.
    void SetCurrentValue(float weight);

    // The expanded weights, paged in; null while compressed.
    float* vselect() { return ExpandedValues(); }
    const TTarnwick_SelectionValue* Records() { return TTarnwick_VertexValues<1>::Records(); }

private:
    void SetVSelectExpanding(int32_t i, float weight);
    float GetVSelectExpanding(int32_t i);
};

using TTarnwick_SelectionPtr = TTarnwick_Selection*;
