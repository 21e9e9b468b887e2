// The storage of morphs and selections: compression, paging, the value cursor and persistence.
// Every count and index read from a file is checked before anything is allocated or applied.
//
// Sections: [SECTION] Checking data read from files, [SECTION] Forms and paging,
// [SECTION] Values and the cursor, [SECTION] Persistence.
#include "mesh/vertex_values.h"

#include <algorithm>
#include <cassert>
#include <cinttypes>
#include <cstring>

#include "core/binary_chunk.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "core/virtual_memory.h"

namespace {

// Values at or below this are not worth a record: a morph compares the displacement's length,
// a selection the weight itself.
constexpr double StoredThreshold = 1e-30;

void PageInArray(std::unique_ptr<uint8_t[]>& buffer, int32_t& id, int64_t expected_size,
                 const char* class_name)
{
    if (id == 0)
        return;
    int64_t size = 0;
    PageIn(buffer, size, id);
    if (size != expected_size)
        ReportError("paged data of %" PRId64 " bytes where %" PRId64 " were expected in %s::PageIn()", size,
                    expected_size, class_name);
}

// Reads size bytes in pieces, so that a size larger than what the file holds fails before it
// allocates more than twice what was there. False at a short read.
bool ReadGrowing(FILE* file, size_t size, std::vector<uint8_t>& out_data)
{
    constexpr size_t PieceSize = size_t(1) << 20;
    out_data.clear();
    while (out_data.size() < size) {
        const size_t start = out_data.size();
        out_data.resize(start + std::min(PieceSize, size - start));
        if (!ReadBytes(file, out_data.data() + start, out_data.size() - start))
            return false;
    }
    return true;
}

std::unique_ptr<uint8_t[]> CopyOf(std::span<const uint8_t> data)
{
    auto copy = std::make_unique_for_overwrite<uint8_t[]>(data.size());
    if (!data.empty())
        std::memcpy(copy.get(), data.data(), data.size());
    return copy;
}

} // namespace

// [SECTION] Checking data read from files

template <int32_t Components>
std::string TTarnwick_VertexValues<Components>::CheckCounts(bool compressed, int32_t vertex_count,
                                                            int32_t delta_count)
{
    if (vertex_count < 0 || vertex_count > MaxVertexCount)
        return FormatText("vcount %d is out of range (0 to %d)", vertex_count, MaxVertexCount);
    if (compressed && (delta_count < 0 || delta_count > vertex_count))
        return FormatText("DeltaCount %d is out of range (0 to vcount %d)", delta_count, vertex_count);
    return {};
}

template <int32_t Components>
std::string TTarnwick_VertexValues<Components>::CheckData(bool compressed, int32_t vertex_count,
                                                          int32_t delta_count, std::span<const uint8_t> data)
{
    if (std::string problem = CheckCounts(compressed, vertex_count, delta_count); !problem.empty())
        return problem;
    int64_t expected = compressed ? int64_t(delta_count) * RecordSize : int64_t(vertex_count) * ValueSize;
    if (int64_t(data.size()) != expected)
        return FormatText("the \"data\" block holds %zu bytes where %s %d need %" PRId64, data.size(),
                          compressed ? "DeltaCount" : "vcount", compressed ? delta_count : vertex_count,
                          expected);
    if (!compressed)
        return {};
    int32_t previous = -1;
    for (int32_t record = 0; record < delta_count; record++) {
        int32_t index = DecodeInt32LE(data.data() + int64_t(record) * RecordSize);
        if (index < 0 || index >= vertex_count)
            return FormatText("record %d names vertex %d of %d", record, index, vertex_count);
        if (index <= previous)
            return FormatText("record %d (vertex %d) does not follow vertex %d in ascending order", record,
                              index, previous);
        previous = index;
    }
    return {};
}

// [SECTION] Forms and paging

template <int32_t Components>
TTarnwick_VertexValues<Components>::TTarnwick_VertexValues(int32_t vertex_count,
                                                           const TTarnwick_VertexValueTraits& traits)
    : Traits(traits)
{
    if (vertex_count < 0 || vertex_count > MaxVertexCount)
        ReportError("vertex count %d is out of range in %s::%s()", vertex_count, traits.ClassName,
                    traits.ClassName);
    vcount = vertex_count;
    ValueBytes = std::make_unique<uint8_t[]>(size_t(vcount) * ValueSize);
    Register();
}

template <int32_t Components>
TTarnwick_VertexValues<Components>::TTarnwick_VertexValues(int32_t vertex_count,
                                                           const TTarnwick_VertexValueTraits& traits,
                                                           std::span<const TRecord> records)
    : Traits(traits)
{
    if (vertex_count < 0 || vertex_count > MaxVertexCount)
        ReportError("vertex count %d is out of range in %s::%s()", vertex_count, traits.ClassName,
                    traits.ClassName);
    vcount = vertex_count;
    int32_t count = 0;
    for (size_t i = 0; i < records.size(); i++) {
        if (records[i].Index < 0 || records[i].Index >= vcount || (i > 0 && records[i].Index <= records[i - 1].Index))
            ReportError("record %zu out of order in %s::%s()", i, traits.ClassName, traits.ClassName);
        count += IsStored(records[i].Value) ? 1 : 0;
    }
    if (int64_t(count) * RecordSize > int64_t(vcount) * ValueSize) {
        // As Compress would: the expanded form is the smaller one.
        ValueBytes = std::make_unique<uint8_t[]>(size_t(vcount) * ValueSize);
        float* values = reinterpret_cast<float*>(ValueBytes.get());
        for (const TRecord& record : records)
            std::memcpy(values + int64_t(record.Index) * Components, record.Value, ValueSize);
    } else {
        auto record_bytes = std::make_unique_for_overwrite<uint8_t[]>(size_t(count) * RecordSize);
        TRecord* stored = reinterpret_cast<TRecord*>(record_bytes.get());
        for (const TRecord& record : records)
            if (IsStored(record.Value))
                *stored++ = record;
        RecordBytes = std::move(record_bytes);
        DeltaCount = count;
        Compressed = true;
    }
    Register();
}

template <int32_t Components> TTarnwick_VertexValues<Components>::~TTarnwick_VertexValues()
{
    DiscardPaged(ExpandedPageID);
    DiscardPaged(CompressedPageID);
}

template <int32_t Components> bool TTarnwick_VertexValues<Components>::IsStored(const float* value)
{
    if constexpr (Components == 1) {
        return value[0] > StoredThreshold;
    } else {
        double length_squared = 0.0;
        for (int32_t k = 0; k < Components; k++)
            length_squared += double(value[k]) * double(value[k]);
        return length_squared > StoredThreshold * StoredThreshold;
    }
}

template <int32_t Components>
int32_t TTarnwick_VertexValues<Components>::CountStored(const float* values) const
{
    int32_t count = 0;
    for (int32_t i = 0; i < vcount; i++)
        count += IsStored(values + int64_t(i) * Components) ? 1 : 0;
    return count;
}

template <int32_t Components>
void TTarnwick_VertexValues<Components>::BuildRecords(const float* values, int32_t count)
{
    auto record_bytes = std::make_unique_for_overwrite<uint8_t[]>(size_t(count) * RecordSize);
    TRecord* records = reinterpret_cast<TRecord*>(record_bytes.get());
    int32_t written = 0;
    for (int32_t i = 0; i < vcount; i++) {
        const float* value = values + int64_t(i) * Components;
        if (!IsStored(value))
            continue;
        if (written >= count)
            ReportError("id and DeltaCount are out of sync in void TZAVMorph::Compress()");
        records[written].Index = i;
        std::memcpy(records[written].Value, value, ValueSize);
        written++;
    }
    RecordBytes = std::move(record_bytes);
    ValueBytes.reset();
    DeltaCount = count;
    Compressed = true;
    Cursor = -1;
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::Compress()
{
    PageIn();
    if (Compressed)
        return;
    const float* values = reinterpret_cast<const float*>(ValueBytes.get());
    if (values == nullptr)
        ReportError("%s == NULL in %s::Compress(). i.e. Compression/Expansion system is out of sync",
                    Traits.ExpandedName, Traits.ClassName);
    const int32_t count = CountStored(values);
    // Records larger than the expanded array are not worth making.
    if (int64_t(count) * RecordSize > int64_t(vcount) * ValueSize)
        return;
    BuildRecords(values, count);
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::ToRecords()
{
    Compress();
    if (const float* values = ExpandedValues())
        BuildRecords(values, CountStored(values));
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::Expand()
{
    PageIn();
    if (!Compressed)
        return;
    const TRecord* records = reinterpret_cast<const TRecord*>(RecordBytes.get());
    if (records == nullptr && DeltaCount > 0)
        ReportError("Deltas == NULL in %s::Expand()", Traits.ClassName);
    auto value_bytes = std::make_unique<uint8_t[]>(size_t(vcount) * ValueSize);
    float* values = reinterpret_cast<float*>(value_bytes.get());
    for (int32_t d = 0; d < DeltaCount; d++) {
        assert(records[d].Index >= 0 && records[d].Index < vcount);
        std::memcpy(values + int64_t(records[d].Index) * Components, records[d].Value, ValueSize);
    }
    ValueBytes = std::move(value_bytes);
    RecordBytes.reset();
    DeltaCount = 0;
    Compressed = false;
    Cursor = -1;
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::PageOut()
{
    if (Locked || !IsPagedIn())
        return;
    if (Compressed)
        ::PageOut(RecordBytes, int64_t(DeltaCount) * RecordSize, CompressedPageID);
    else
        ::PageOut(ValueBytes, int64_t(vcount) * ValueSize, ExpandedPageID);
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::PageIn()
{
    PageInArray(RecordBytes, CompressedPageID, int64_t(DeltaCount) * RecordSize, Traits.ClassName);
    PageInArray(ValueBytes, ExpandedPageID, int64_t(vcount) * ValueSize, Traits.ClassName);
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::BecomeCurrent()
{
    Current = true;
    PageIn();
    if (!(ReadOnly && Traits.ReadOnlyStaysCompressed))
        Expand();
}

template <int32_t Components>
void TTarnwick_VertexValues<Components>::StopBeingCurrent(uint32_t release_flags)
{
    if (release_flags & TTarnwick_Release_Compress)
        Compress();
    Current = false;
    if (release_flags & TTarnwick_Release_PageOut)
        PageOut();
}

template <int32_t Components>
void TTarnwick_VertexValues<Components>::RestoreForm(bool was_compressed, bool was_paged_in)
{
    if (!was_compressed)
        Expand();
    if (!was_paged_in)
        PageOut();
}

template <int32_t Components>
void TTarnwick_VertexValues<Components>::ReplaceData(bool compressed, int32_t vertex_count,
                                                     int32_t delta_count, std::span<const uint8_t> data)
{
    DiscardPaged(ExpandedPageID);
    DiscardPaged(CompressedPageID);
    ExpandedPageID = 0;
    CompressedPageID = 0;
    if (compressed) {
        RecordBytes = CopyOf(data);
        ValueBytes.reset();
    } else {
        ValueBytes = CopyOf(data);
        RecordBytes.reset();
    }
    vcount = vertex_count;
    DeltaCount = compressed ? delta_count : 0;
    Compressed = compressed;
    Cursor = -1;
}

template <int32_t Components> int32_t TTarnwick_VertexValues<Components>::GetMemorySize()
{
    return Compressed ? DeltaCount * RecordSize : vcount * ValueSize;
}

// [SECTION] Values and the cursor

template <int32_t Components> float* TTarnwick_VertexValues<Components>::ExpandedValues()
{
    PageIn();
    return Compressed ? nullptr : reinterpret_cast<float*>(ValueBytes.get());
}

template <int32_t Components>
typename TTarnwick_VertexValues<Components>::TRecord* TTarnwick_VertexValues<Components>::Records()
{
    PageIn();
    return Compressed ? reinterpret_cast<TRecord*>(RecordBytes.get()) : nullptr;
}

template <int32_t Components>
float* TTarnwick_VertexValues<Components>::RequireExpanded(const char* operation)
{
    Expand();
    float* values = ExpandedValues();
    if (values == nullptr)
        ReportError("%s == NULL in %s::%s()", Traits.ExpandedName, Traits.ClassName, operation);
    return values;
}

template <int32_t Components>
bool TTarnwick_VertexValues<Components>::FirstStored(int32_t& out_index, float*& out_value)
{
    Cursor = -1;
    return NextStored(out_index, out_value);
}

template <int32_t Components>
bool TTarnwick_VertexValues<Components>::NextStored(int32_t& out_index, float*& out_value)
{
    PageIn();
    int32_t limit = Compressed ? DeltaCount : vcount;
    if (vcount < 1 || Cursor + 1 >= limit) {
        Cursor = limit;
        return false;
    }
    Cursor++;
    if (Compressed) {
        TRecord& record = Records()[Cursor];
        out_index = record.Index;
        out_value = record.Value;
    } else {
        out_index = Cursor;
        out_value = ExpandedValues() + int64_t(Cursor) * Components;
    }
    return true;
}

template <int32_t Components> float* TTarnwick_VertexValues<Components>::CursorValue()
{
    PageIn();
    if (Cursor < 0 || Cursor >= (Compressed ? DeltaCount : vcount))
        return nullptr;
    return Compressed ? Records()[Cursor].Value : ExpandedValues() + int64_t(Cursor) * Components;
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::Resize(int32_t vertex_count)
{
    if (vertex_count < 0 || vertex_count > MaxVertexCount)
        ReportError("vertex count %d is out of range in %s::SetVertexCount()", vertex_count,
                    Traits.ClassName);
    PageIn();
    bool keep = Traits.KeepsValuesOnResize;
    if (Compressed) {
        // Records are in vertex order: the ones kept are a prefix.
        const TRecord* records = Records();
        int32_t kept = 0;
        while (keep && kept < DeltaCount && records[kept].Index < vertex_count)
            kept++;
        DeltaCount = kept;
    } else {
        auto value_bytes = std::make_unique<uint8_t[]>(size_t(vertex_count) * ValueSize);
        int32_t kept = keep ? std::min(vertex_count, vcount) : 0;
        if (kept > 0)
            std::memcpy(value_bytes.get(), ValueBytes.get(), size_t(kept) * ValueSize);
        ValueBytes = std::move(value_bytes);
    }
    vcount = vertex_count;
    Cursor = -1;
}

template <int32_t Components> void TTarnwick_VertexValues<Components>::ClearValues()
{
    PageIn();
    if (Compressed) {
        DeltaCount = 0;
        RecordBytes = std::make_unique<uint8_t[]>(0);
    } else {
        float* values = ExpandedValues();
        if (values == nullptr)
            ReportError("%s == NULL in %s::Clear()", Traits.ExpandedName, Traits.ClassName);
        std::memset(values, 0, size_t(vcount) * ValueSize);
    }
    Cursor = -1;
}

// [SECTION] Persistence

template <int32_t Components> std::span<const uint8_t> TTarnwick_VertexValues<Components>::PresentBytes()
{
    PageIn();
    if (Compressed)
        return {RecordBytes.get(), size_t(DeltaCount) * RecordSize};
    return {ValueBytes.get(), size_t(vcount) * ValueSize};
}

template <int32_t Components> bool TTarnwick_VertexValues<Components>::SaveToStream(FILE* file)
{
    bool was_compressed = Compressed;
    bool was_paged_in = IsPagedIn();
    Compress();
    std::span<const uint8_t> bytes = PresentBytes();
    int64_t size_position = 0;
    bool written = OpenChunk(file, ChunkType, size_position) && WriteThingyRecord(file) &&
                   WriteUInt8(file, Compressed ? 1 : 0) && WriteExtraFields(file) &&
                   (!Compressed || WriteInt32LE(file, DeltaCount)) &&
                   WriteBytes(file, bytes.data(), bytes.size()) && CloseChunk(file, size_position);
    RestoreForm(was_compressed, was_paged_in);
    return written;
}

template <int32_t Components> bool TTarnwick_VertexValues<Components>::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    uint8_t compressed = 0;
    int32_t delta_count = 0;
    if (!ReadThingyRecord(file, record) || !ReadUInt8(file, compressed) || !ReadExtraFields(file))
        return false;
    if (compressed != 0 && !ReadInt32LE(file, delta_count))
        return false;
    // The counts are checked before anything is read by them.
    std::string problem = CheckCounts(compressed != 0, vcount, delta_count);
    std::vector<uint8_t> data;
    if (problem.empty()) {
        if (!ReadGrowing(
                file, compressed != 0 ? size_t(delta_count) * RecordSize : size_t(vcount) * ValueSize, data))
            return false;
        problem = CheckData(compressed != 0, vcount, delta_count, data);
    }
    if (!problem.empty()) {
        AddWarning("The %s \"%s\" cannot be read: %s", Traits.BlockKeyword, record.Name.c_str(),
                   problem.c_str());
        return false;
    }
    ApplyThingyRecord(record);
    ReplaceData(compressed != 0, vcount, delta_count, data);
    return true;
}

template <int32_t Components> bool TTarnwick_VertexValues<Components>::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, Traits.BlockKeyword, Name);
    bool was_compressed = Compressed;
    bool was_paged_in = IsPagedIn();
    Compress();
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) &&
                   WriteTextInt(file, "vcount", vcount) && WriteTextInt(file, "DeltaCount", DeltaCount) &&
                   WriteExtraTextLines(file) && WriteTextFlag(file, "Compressed", Compressed) &&
                   WriteBinaryBlock(file, PresentBytes(), "data");
    RestoreForm(was_compressed, was_paged_in);
    return block.Close() && written;
}

template <int32_t Components>
bool TTarnwick_VertexValues<Components>::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader,
                                                                             std::string_view key,
                                                                             std::string_view value)
{
    if (SameTextNoCase(key, "vcount")) {
        Pending.VertexCount = TextValueInt(value);
        Pending.VertexCountGiven = true;
        // A count out of range, or one its mesh cannot take, ends the block here.
        PendingBlockIsSound(reader);
        return true;
    }
    if (SameTextNoCase(key, "DeltaCount")) {
        Pending.DeltaCount = TextValueInt(value);
        return true;
    }
    if (SameTextNoCase(key, "Compressed")) {
        Pending.Compressed = TextValueInt(value) != 0;
        return true;
    }
    if (!SameTextNoCase(key, "data"))
        return false;
    Pending.DataFollows = true;
    // The counts are checked before the data is decoded, and the data against them after, so
    // that each message names the data block's line.
    if (!PendingBlockIsSound(reader))
        return true;
    if (ReadBinaryBlock(reader, Pending.Data)) {
        Pending.HasData = true;
        PendingBlockIsSound(reader);
    }
    return true;
}

template <int32_t Components> std::string TTarnwick_VertexValues<Components>::CheckPendingCounts() const
{
    if (ExpectedVertexCount >= 0 && Pending.VertexCount != ExpectedVertexCount)
        return FormatText("vcount %d does not match the %d vertices of its mesh", Pending.VertexCount,
                          ExpectedVertexCount);
    return CheckCounts(Pending.Compressed && Pending.DataFollows, Pending.VertexCount, Pending.DeltaCount);
}

template <int32_t Components>
bool TTarnwick_VertexValues<Components>::PendingBlockIsSound(TZAVTextReader& reader) const
{
    std::string problem = CheckPendingCounts();
    if (problem.empty() && Pending.HasData)
        problem = CheckData(Pending.Compressed, Pending.VertexCount, Pending.DeltaCount, Pending.Data);
    if (problem.empty())
        return true;
    reader.Fail("%s", problem.c_str());
    return false;
}

template <int32_t Components>
bool TTarnwick_VertexValues<Components>::LoadFromStream_Text(TZAVTextReader& reader)
{
    Pending = TPendingBlock{};
    Pending.VertexCount = vcount;
    Pending.DeltaCount = DeltaCount;
    Pending.Compressed = Compressed;
    // Counts written after the data block are held to it as well.
    bool read = TTarnwick_Thingy::LoadFromStream_Text(reader) && PendingBlockIsSound(reader);
    if (read) {
        if (Pending.HasData) {
            ReplaceData(Pending.Compressed, Pending.VertexCount, Pending.DeltaCount, Pending.Data);
        } else if (Pending.VertexCountGiven) {
            // Resized as records, which the count alone never makes larger.
            ToRecords();
            Resize(Pending.VertexCount);
        }
        PageOut();
    }
    Pending = TPendingBlock{};
    return read;
}

template class TTarnwick_VertexValues<1>;
template class TTarnwick_VertexValues<3>;
