// Per-vertex values with two storage forms and paging: the storage that morph targets (three
// floats per vertex) and weighted selections (one weight per vertex) share, with their common
// text and binary persistence.
//
// Expanded form: vcount × Components floats, one entry per vertex. Compressed form: DeltaCount
// records of a 32-bit vertex index and Components floats, in ascending vertex order, holding only
// the values above 1e-30. Compress keeps the compressed form only when it is not larger than the
// expanded one. Either array can be paged out to the virtual memory manager; every operation that
// touches the values pages them back in first.
//
// Both arrays are persisted byte for byte as little-endian records; they have that layout in memory.
#pragma once

#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/thingy.h"

static_assert(std::endian::native == std::endian::little, "records are stored as they lie in memory");

template <int32_t Components> struct TTarnwick_VertexRecord
{
    int32_t Index;
    float Value[Components];
};

// What tells a morph from a selection in the shared storage.
struct TTarnwick_VertexValueTraits
{
    // Named in internal errors: "vertices == NULL in TTarnwick_Morph::Add()".
    const char* ClassName;
    const char* ExpandedName;
    // Keyword of the text block: "morph" or "selection".
    const char* BlockKeyword;
    // SetVertexCount keeps the first values (morphs) or zeroes them all (selections).
    bool KeepsValuesOnResize;
    // A read-only item that becomes current stays compressed (morphs).
    bool ReadOnlyStaysCompressed;
};

enum TTarnwick_ReleaseFlags : uint32_t
{
    TTarnwick_Release_None = 0,
    TTarnwick_Release_Compress = 1 << 0,
    TTarnwick_Release_PageOut = 1 << 1,
};

template <int32_t Components> class TTarnwick_VertexValues : public TTarnwick_Thingy
{
public:
    using TRecord = TTarnwick_VertexRecord<Components>;
    static constexpr int32_t RecordSize = sizeof(TRecord);
    static constexpr int32_t ValueSize = Components * sizeof(float);
    // Keeps every byte size of either form within 32 bits.
    static constexpr int32_t MaxVertexCount = INT32_MAX / RecordSize;

    ~TTarnwick_VertexValues() override;

    void Compress();
    void Expand();
    bool IsCompressed() const { return Compressed; }
    // Nothing while Locked or already paged out.
    void PageOut();
    void PageIn();
    bool IsPagedIn() const { return ExpandedPageID == 0 && CompressedPageID == 0; }

    // Becoming the current item: paged in and expanded for editing (a read-only morph stays
    // compressed). Stepping down compresses it and pages it out as the flags ask.
    void BecomeCurrent();
    void StopBeingCurrent(uint32_t release_flags);

    // Binary record after the item record: the form (1 byte), the subclass's fields, then
    // DeltaCount and the records, or vcount values. vcount is not stored: the loader relies on the
    // item having been made with its mesh's vertex count.
    bool SaveToStream(FILE* file) override;
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    // Counts and data are checked together, before anything is allocated from them, and applied
    // only when they agree; a refused block leaves the values as they were. A block with a vcount
    // and no data gives zero values held as no records, so a count alone allocates nothing.
    bool LoadFromStream_Text(TZAVTextReader& reader) override;
    // A record that is cut short or does not fit vcount changes nothing; the records are read as
    // they arrive, so a count larger than the file allocates nothing from it.
    bool LoadFromStream(FILE* file) override;
    int32_t GetMemorySize() override;

    int32_t vcount = 0;
    int32_t DeltaCount = 0;
    bool Compressed = false;
    bool Locked = false;
    // The ID of the item that Copy copied; -1 for none.
    int32_t SourceID = -1;
    // When not -1, a text block must give this vcount (its mesh's); checked before its data is read.
    int32_t ExpectedVertexCount = -1;

protected:
    TTarnwick_VertexValues(int32_t vertex_count, const TTarnwick_VertexValueTraits& traits);
    // Holds the records' values (ascending indices below vertex_count, each once) in the form that
    // filling the expanded array and compressing it would leave, without making that array.
    TTarnwick_VertexValues(int32_t vertex_count, const TTarnwick_VertexValueTraits& traits,
                           std::span<const TRecord> records);

    // Both paged in; ExpandedValues is null while compressed, Records null while expanded.
    float* ExpandedValues();
    // The expanded values when they are in memory already, without a call; null otherwise.
    float* ResidentExpandedValues()
    {
        return !Compressed && IsPagedIn() ? reinterpret_cast<float*>(ValueBytes.get()) : nullptr;
    }
    TRecord* Records();
    // The expanded values after Expand, or the internal error naming the operation.
    float* RequireExpanded(const char* operation);

    // The value cursor: every record when compressed, every vertex when expanded.
    bool FirstStored(int32_t& out_index, float*& out_value);
    bool NextStored(int32_t& out_index, float*& out_value);
    // The value at the cursor; null when the cursor is on nothing.
    float* CursorValue();

    void Resize(int32_t vertex_count);
    void ClearValues();
    // combine(this vertex's values, other's values) for each value other stores at a vertex this
    // one has; this item is worked on expanded and returned to its form, other keeps its form.
    template <typename TCombine>
    void CombineFrom(TTarnwick_VertexValues& other, const char* operation, TCombine combine);

    // Subclass fields between the form byte and the values (a morph's Strength). A failed load
    // restores them in the subclass.
    virtual bool WriteExtraFields(FILE*) { return true; }
    virtual bool ReadExtraFields(FILE*) { return true; }
    virtual bool WriteExtraTextLines(FILE*) { return true; }

private:
    // A text block's counts and data, held until the block has been read whole.
    struct TPendingBlock
    {
        int32_t VertexCount = 0;
        int32_t DeltaCount = 0;
        bool Compressed = false;
        bool VertexCountGiven = false;
        // From the "data" line on, DeltaCount must fit the data that follows.
        bool DataFollows = false;
        bool HasData = false;
        std::vector<uint8_t> Data;
    };

    // Empty when the counts (or data of that form and those counts) are sound, otherwise the problem.
    static std::string CheckCounts(bool compressed, int32_t vertex_count, int32_t delta_count);
    // The counts of the pending block, with its vcount held to ExpectedVertexCount.
    std::string CheckPendingCounts() const;
    static std::string CheckData(bool compressed, int32_t vertex_count, int32_t delta_count,
                                 std::span<const uint8_t> data);
    // Holds the pending block to its counts; a refusal goes to the reader.
    bool PendingBlockIsSound(TZAVTextReader& reader) const;
    static bool IsStored(const float* value);
    int32_t CountStored(const float* values) const;
    // Replaces the expanded values by `count` records of those stored.
    void BuildRecords(const float* values, int32_t count);
    // The compressed form whatever its size: records allocate only for the values stored.
    void ToRecords();
    void ReplaceData(bool compressed, int32_t vertex_count, int32_t delta_count,
                     std::span<const uint8_t> data);
    std::span<const uint8_t> PresentBytes();
    void RestoreForm(bool was_compressed, bool was_paged_in);

    const TTarnwick_VertexValueTraits& Traits;
    std::unique_ptr<uint8_t[]> ValueBytes;
    std::unique_ptr<uint8_t[]> RecordBytes;
    int32_t ExpandedPageID = 0;
    int32_t CompressedPageID = 0;
    int32_t Cursor = -1;
    TPendingBlock Pending;
};

template <int32_t Components>
template <typename TCombine>
void TTarnwick_VertexValues<Components>::CombineFrom(TTarnwick_VertexValues& other, const char* operation,
                                                     TCombine combine)
{
    bool was_compressed = Compressed;
    float* values = RequireExpanded(operation);
    int32_t index = -1;
    float* other_value = nullptr;
    for (bool more = other.FirstStored(index, other_value); more; more = other.NextStored(index, other_value))
        if (index >= 0 && index < vcount)
            combine(values + int64_t(index) * Components, other_value);
    if (was_compressed)
        Compress();
}

extern template class TTarnwick_VertexValues<1>;
extern template class TTarnwick_VertexValues<3>;
