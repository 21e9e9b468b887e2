#include "mesh/morph.h"

#include <cmath>
#include <cstring>

#include "core/binary_chunk.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "core/tree_group.h"

// [SECTION] Morph

TTarnwick_Morph::TTarnwick_Morph(int32_t vertex_count) : TTarnwick_VertexValues<3>(vertex_count, ItemTraits)
{
}

TTarnwick_Morph::TTarnwick_Morph(int32_t vertex_count, std::span<const TTarnwick_MorphDelta> deltas)
    : TTarnwick_VertexValues<3>(vertex_count, ItemTraits, deltas)
{
}

float* TTarnwick_Morph::GetVertex(int32_t i)
{
    Expand();
    float* values = ExpandedValues();
    if (values == nullptr)
        ReportError("vertices == NULL in *TTarnwick_Morph::GetVertex(int i)");
    if (i < 0 || i >= vcount)
        ReportError("vertex %d of %d in *TTarnwick_Morph::GetVertex(int i)", i, vcount);
    return values + int64_t(i) * 3;
}

bool TTarnwick_Morph::GetFirstDelta(int32_t& out_index, float out_delta[3])
{
    float* value = nullptr;
    if (!FirstStored(out_index, value))
        return false;
    std::memcpy(out_delta, value, ValueSize);
    return true;
}

bool TTarnwick_Morph::GetNextDelta(int32_t& out_index, float out_delta[3])
{
    float* value = nullptr;
    if (!NextStored(out_index, value))
        return false;
    std::memcpy(out_delta, value, ValueSize);
    return true;
}

void TTarnwick_Morph::Add(TTarnwick_Morph* other)
{
    if (other == nullptr)
        ReportError("Morph == NULL in TTarnwick_Morph::Add()");
    CombineFrom(*other, "Add", [](float* value, const float* other_value) {
        for (int32_t k = 0; k < 3; k++)
            value[k] += other_value[k];
    });
}

void TTarnwick_Morph::Copy(TTarnwick_Morph* other)
{
    if (other == nullptr)
        ReportError("Morph == NULL in TTarnwick_Morph::Copy()");
    if (other == this)
        return;
    Clear();
    Add(other);
    SourceID = other->ID;
}

void TTarnwick_Morph::Clear()
{
    ClearValues();
}

void TTarnwick_Morph::SetVertexCount(int32_t vertex_count)
{
    Resize(vertex_count);
}

void TTarnwick_Morph::AddToVertices(std::span<float> positions, float factor)
{
    if (std::fabs(factor) <= 1e-30f)
        return;
    if (positions.size() < size_t(vcount) * 3)
        ReportError("%zu positions for %d vertices in TTarnwick_Morph::AddToVertices()", positions.size() / 3,
                    vcount);
    float* position = positions.data();
    if (IsCompressed()) {
        const TTarnwick_MorphDelta* deltas = Records();
        for (int32_t d = 0; d < DeltaCount; d++)
            for (int32_t k = 0; k < 3; k++)
                position[int64_t(deltas[d].Index) * 3 + k] += factor * deltas[d].Value[k];
        return;
    }
    const float* values = ExpandedValues();
    for (int64_t i = 0; i < int64_t(vcount) * 3; i++)
        position[i] += factor * values[i];
}

bool TTarnwick_Morph::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                          std::string_view value)
{
    if (SameTextNoCase(key, "Strength")) {
        Strength = TextValueFloat(value);
        return true;
    }
    return TTarnwick_VertexValues<3>::LoadFromStream_Text_ConsiderCommand(reader, key, value);
}

// A refused block or record leaves the strength as it was, with the displacements.
bool TTarnwick_Morph::LoadFromStream_Text(TZAVTextReader& reader)
{
    float previous_strength = Strength;
    bool read = TTarnwick_VertexValues<3>::LoadFromStream_Text(reader);
    if (!read)
        Strength = previous_strength;
    return read;
}

bool TTarnwick_Morph::LoadFromStream(FILE* file)
{
    float previous_strength = Strength;
    bool read = TTarnwick_VertexValues<3>::LoadFromStream(file);
    if (!read)
        Strength = previous_strength;
    return read;
}

bool TTarnwick_Morph::WriteExtraFields(FILE* file)
{
    return WriteFloatLE(file, Strength);
}

bool TTarnwick_Morph::ReadExtraFields(FILE* file)
{
    return ReadFloatLE(file, Strength);
}

bool TTarnwick_Morph::WriteExtraTextLines(FILE* file)
{
    return WriteTextFloat(file, "Strength", Strength);
}

// [SECTION] Mixer

bool TTarnwick_MorphMixer::SaveToStream(FILE* file)
{
    int64_t size_position = 0;
    bool written = OpenChunk(file, ChunkType, size_position) && WriteThingyRecord(file) &&
                   WriteInt32LE(file, List.Count());
    for (TTarnwick_Morph* morph : List)
        written = written && WriteInt32LE(file, morph->ID);
    return written && CloseChunk(file, size_position);
}

bool TTarnwick_MorphMixer::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    int32_t count = 0;
    if (!ReadThingyRecord(file, record) || !ReadInt32LE(file, count))
        return false;
    if (count < 0) {
        AddWarning("The morph mixer \"%s\" cannot be read: it names %d morphs", record.Name.c_str(), count);
        return false;
    }
    // Grown as IDs arrive, so a count larger than the file allocates nothing from it.
    std::vector<int32_t> morph_ids;
    for (int32_t i = 0; i < count; i++) {
        int32_t id = 0;
        if (!ReadInt32LE(file, id))
            return false;
        morph_ids.push_back(id);
    }
    ApplyThingyRecord(record);
    MorphIDs = std::move(morph_ids);
    return true;
}

bool TTarnwick_MorphMixer::AddMorphsToMixer_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* mixer = static_cast<TTarnwick_MorphMixer*>(data);
    if (mixer == nullptr || mixer->Mesh == nullptr)
        ReportError("Mesh == NULL in TTarnwick_Mesh::AddMorphsToMixer_OnVisitMorph()");
    for (TTarnwick_Thingy* item : group->List)
        if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
            morph != nullptr && mixer->List.IndexOf(morph) < 0)
            mixer->List.Add(morph);
    return true;
}
