#include "mesh/morph.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/report.h"
#include "core/virtual_memory.h"
#include "mesh/morph_tree.h"
#include "support/largest_allocation.h"
#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

class Morph : public PagedItemTest
{
};

// The array of the present form, byte for byte.
std::string RawBytes(TTarnwick_Morph& morph)
{
    if (morph.IsCompressed())
        return std::string(reinterpret_cast<const char*>(morph.Deltas()), size_t(morph.DeltaCount) * 16);
    return std::string(reinterpret_cast<const char*>(morph.vertices()), size_t(morph.vcount) * 12);
}

// Vertex i displaced by (i + 1, -(i + 1), (i + 1) / 2) at the given vertices.
void Displace(TTarnwick_Morph& morph, std::initializer_list<int32_t> vertices)
{
    for (int32_t i : vertices)
        SetDelta(morph, i, float(i + 1), -float(i + 1), float(i + 1) / 2);
}

float FloatAt(const std::string& bytes, size_t offset)
{
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

int32_t Int32At(const std::string& bytes, size_t offset)
{
    return DecodeInt32LE(reinterpret_cast<const uint8_t*>(bytes.data() + offset));
}

} // namespace

// [SECTION] Forms

TEST_F(Morph, CompressKeepsRecordsOnlyWhileTheyAreSmaller)
{
    TTarnwick_Morph morph(8);
    Displace(morph, {1, 2, 4, 5, 6, 7});
    SetDelta(morph, 3, 1e-31f, 0.0f, 0.0f);
    std::vector<float> before = DenseDeltas(morph);
    before[9] = 0.0f;

    // Six of eight displaced: 96 bytes of records against 96 expanded.
    morph.Compress();
    ASSERT_TRUE(morph.IsCompressed());
    EXPECT_EQ(morph.vertices(), nullptr);
    ASSERT_EQ(morph.DeltaCount, 6);
    EXPECT_EQ(morph.GetMemorySize(), 96);
    std::vector<int32_t> indices;
    for (int32_t d = 0; d < morph.DeltaCount; d++)
        indices.push_back(morph.Deltas()[d].Index);
    EXPECT_EQ(indices, (std::vector<int32_t>{1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(morph.Deltas()[2].Value[1], -5.0f);

    morph.Expand();
    EXPECT_FALSE(morph.IsCompressed());
    EXPECT_EQ(morph.DeltaCount, 0);
    EXPECT_EQ(DenseDeltas(morph), before);

    // Seven of eight: more than three quarters stays expanded.
    SetDelta(morph, 3, 0.0f, 0.0f, 2.0f);
    before[11] = 2.0f;
    morph.Compress();
    EXPECT_FALSE(morph.IsCompressed());
    EXPECT_EQ(morph.DeltaCount, 0);
    EXPECT_EQ(morph.GetMemorySize(), 96);
    EXPECT_EQ(DenseDeltas(morph), before);
}

TEST_F(Morph, DeltaIteratorWalksEveryVertexExpandedAndOnlyTheRecordsCompressed)
{
    TTarnwick_Morph morph(4);
    Displace(morph, {1, 3});
    std::vector<int32_t> indices;
    DenseDeltas(morph, &indices);
    EXPECT_EQ(indices, (std::vector<int32_t>{0, 1, 2, 3}));
    morph.Compress();
    indices.clear();
    DenseDeltas(morph, &indices);
    EXPECT_EQ(indices, (std::vector<int32_t>{1, 3}));
    int32_t index = -1;
    float delta[3];
    ASSERT_TRUE(morph.GetFirstDelta(index, delta));
    EXPECT_EQ(delta[0], 2.0f);
    EXPECT_EQ(delta[1], -2.0f);
    EXPECT_EQ(delta[2], 1.0f);
    ASSERT_TRUE(morph.GetNextDelta(index, delta));
    EXPECT_FALSE(morph.GetNextDelta(index, delta));
    EXPECT_FALSE(morph.GetNextDelta(index, delta));

    // Nothing displaced compresses to no records; no vertices gives nothing in either form.
    TTarnwick_Morph zero(5);
    zero.Compress();
    EXPECT_TRUE(zero.IsCompressed());
    EXPECT_EQ(zero.DeltaCount, 0);
    EXPECT_FALSE(zero.GetFirstDelta(index, delta));
    TTarnwick_Morph empty(0);
    EXPECT_FALSE(empty.GetFirstDelta(index, delta));
}

TEST_F(Morph, SetVertexCountKeepsTheHeadInEitherForm)
{
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TTarnwick_Morph morph(4);
        Displace(morph, {0, 2, 3});
        if (compressed)
            morph.Compress();
        ASSERT_EQ(morph.IsCompressed(), compressed);
        std::vector<float> expected = DenseDeltas(morph);

        morph.SetVertexCount(6);
        expected.resize(18, 0.0f);
        EXPECT_EQ(morph.vcount, 6);
        EXPECT_EQ(morph.IsCompressed(), compressed);
        EXPECT_EQ(DenseDeltas(morph), expected);

        morph.SetVertexCount(3);
        expected.resize(9);
        EXPECT_EQ(morph.IsCompressed(), compressed);
        EXPECT_EQ(DenseDeltas(morph), expected);
        EXPECT_EQ(morph.DeltaCount, compressed ? 2 : 0);
    }
}

TEST_F(Morph, AddAndCopyKeepTheTargetsForm)
{
    TTarnwick_Morph source(4);
    Displace(source, {1, 3});
    source.Compress();

    TTarnwick_Morph expanded(4);
    SetDelta(expanded, 1, 10.0f, 10.0f, 10.0f);
    expanded.Add(&source);
    EXPECT_FALSE(expanded.IsCompressed());
    EXPECT_EQ(DenseDeltas(expanded), (std::vector<float>{0, 0, 0, 12, 8, 11, 0, 0, 0, 4, -4, 2}));

    TTarnwick_Morph compressed(4);
    SetDelta(compressed, 0, 1.0f, 0.0f, 0.0f);
    compressed.Compress();
    compressed.Add(&source);
    EXPECT_TRUE(compressed.IsCompressed());
    EXPECT_EQ(compressed.DeltaCount, 3);
    EXPECT_EQ(DenseDeltas(compressed), (std::vector<float>{1, 0, 0, 2, -2, 1, 0, 0, 0, 4, -4, 2}));
    EXPECT_TRUE(source.IsCompressed());

    compressed.Copy(&source);
    EXPECT_EQ(DenseDeltas(compressed), DenseDeltas(source));
    EXPECT_EQ(compressed.SourceID, source.ID);

    // Displacements of vertices this morph does not have are left out.
    TTarnwick_Morph smaller(2);
    smaller.Add(&source);
    EXPECT_EQ(DenseDeltas(smaller), (std::vector<float>{0, 0, 0, 2, -2, 1}));
}

TEST_F(Morph, AddToVerticesScalesEachDisplacementAndIgnoresAZeroFactor)
{
    const std::vector<float> base = {1, 1, 1, 2, 2, 2, 3, 3, 3};
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TTarnwick_Morph morph(3);
        Displace(morph, {2});
        if (compressed)
            morph.Compress();
        std::vector<float> positions = base;
        morph.AddToVertices(positions, 0.5f);
        EXPECT_EQ(positions, (std::vector<float>{1, 1, 1, 2, 2, 2, 4.5f, 1.5f, 3.75f}));
        for (float factor : {0.0f, 1e-31f, -1e-31f}) {
            positions = base;
            morph.AddToVertices(positions, factor);
            EXPECT_EQ(positions, base);
        }
    }
}

// [SECTION] Current morph and paging

TEST_F(Morph, ReadOnlyMorphStaysCompressedWhenMadeCurrent)
{
    TTarnwick_Morph morph(6);
    Displace(morph, {4});
    morph.StopBeingCurrent(TTarnwick_Release_Compress | TTarnwick_Release_PageOut);
    EXPECT_TRUE(morph.IsCompressed());
    EXPECT_FALSE(morph.IsPagedIn());

    morph.ReadOnly = true;
    morph.BecomeCurrent();
    EXPECT_TRUE(morph.Current);
    EXPECT_TRUE(morph.IsPagedIn());
    EXPECT_TRUE(morph.IsCompressed());

    morph.StopBeingCurrent(TTarnwick_Release_Compress);
    EXPECT_FALSE(morph.Current);
    EXPECT_TRUE(morph.IsPagedIn());
    morph.ReadOnly = false;
    morph.BecomeCurrent();
    EXPECT_FALSE(morph.IsCompressed());
    EXPECT_EQ(morph.GetVertex(4)[0], 5.0f);
}

TEST_F(Morph, PagingOutAndInKeepsEveryByte)
{
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TTarnwick_Morph morph(10);
        Displace(morph, {0, 3, 9});
        if (compressed)
            morph.Compress();
        std::string before = RawBytes(morph);
        morph.PageOut();
        EXPECT_FALSE(morph.IsPagedIn());
        EXPECT_EQ(PagedItemCount(), 1);
        morph.PageOut();
        EXPECT_EQ(PagedItemCount(), 1);
        morph.PageIn();
        EXPECT_TRUE(morph.IsPagedIn());
        EXPECT_EQ(PagedItemCount(), 0);
        EXPECT_EQ(RawBytes(morph), before);

        // Any access pages the morph in first.
        morph.PageOut();
        int32_t index = -1;
        float delta[3];
        EXPECT_TRUE(morph.GetFirstDelta(index, delta));
        EXPECT_TRUE(morph.IsPagedIn());
        EXPECT_EQ(RawBytes(morph), before);
    }

    // A locked morph stays in memory; a morph destroyed while paged out gives its slot back.
    TTarnwick_Morph locked(4);
    locked.Locked = true;
    locked.PageOut();
    EXPECT_TRUE(locked.IsPagedIn());
    {
        TTarnwick_Morph paged(4);
        paged.PageOut();
        EXPECT_EQ(PagedItemCount(), 1);
    }
    EXPECT_EQ(PagedItemCount(), 0);
}

// [SECTION] Binary record

TEST_F(Morph, BinaryRecordHoldsTheCompressedFormAndReadsBack)
{
    TTarnwick_Morph morph(4);
    morph.SetNameLiteral("Smile %d");
    morph.Strength = 0.25f;
    SetDelta(morph, 2, 1.0f, 2.0f, 3.0f);
    std::string payload = PayloadOf(morph);
    EXPECT_FALSE(morph.IsCompressed());

    ASSERT_EQ(payload.size(), AfterItemRecord + 1 + 4 + 4 + 16);
    EXPECT_EQ(payload[AfterItemRecord], 1);
    EXPECT_EQ(FloatAt(payload, AfterItemRecord + 1), 0.25f);
    EXPECT_EQ(Int32At(payload, AfterItemRecord + 5), 1);
    EXPECT_EQ(Int32At(payload, AfterItemRecord + 9), 2);
    EXPECT_EQ(FloatAt(payload, AfterItemRecord + 13), 1.0f);
    EXPECT_EQ(FloatAt(payload, AfterItemRecord + 21), 3.0f);

    TTarnwick_Morph copy(4);
    ASSERT_TRUE(LoadPayload(copy, payload));
    EXPECT_EQ(copy.Name, "Smile %d");
    EXPECT_EQ(copy.Strength, 0.25f);
    EXPECT_EQ(copy.LoadedID, morph.ID);
    EXPECT_TRUE(copy.IsCompressed());
    EXPECT_EQ(DenseDeltas(copy), DenseDeltas(morph));

    // Every vertex displaced: the record carries the expanded displacements.
    Displace(morph, {0, 1, 3});
    payload = PayloadOf(morph);
    ASSERT_EQ(payload.size(), AfterItemRecord + 1 + 4 + 48);
    EXPECT_EQ(payload[AfterItemRecord], 0);
    ASSERT_TRUE(LoadPayload(copy, payload));
    EXPECT_FALSE(copy.IsCompressed());
    EXPECT_EQ(DenseDeltas(copy), DenseDeltas(morph));
}

TEST_F(Morph, BadOrShortBinaryRecordChangesNothing)
{
    TTarnwick_Morph source(4);
    source.Strength = 0.75f;
    Displace(source, {1, 3});
    source.Compress();
    const std::string payload = PayloadOf(source);
    const size_t records = AfterItemRecord + 9;

    TTarnwick_Morph target(4);
    target.SetNameLiteral("Keep");
    target.Strength = 0.5f;
    SetDelta(target, 0, 9.0f, 9.0f, 9.0f);
    const std::vector<float> kept = DenseDeltas(target);
    auto expect_unchanged = [&] {
        EXPECT_EQ(target.Name, "Keep");
        EXPECT_EQ(target.Strength, 0.5f);
        EXPECT_FALSE(target.IsCompressed());
        EXPECT_EQ(DenseDeltas(target), kept);
    };

    for (size_t length = 0; length < payload.size(); length++) {
        ASSERT_FALSE(LoadPayload(target, payload.substr(0, length))) << length;
        expect_unchanged();
    }
    EXPECT_TRUE(TakeStatusLines().empty());

    struct BadRecord
    {
        size_t Offset;
        int32_t Value;
        const char* Message;
    };
    const BadRecord bad_records[] = {
        {AfterItemRecord + 5, 5, "DeltaCount 5 is out of range"},
        {AfterItemRecord + 5, -1, "DeltaCount -1 is out of range"},
        {records, 4, "record 0 names vertex 4 of 4"},
        {records, -2, "record 0 names vertex -2 of 4"},
        {records + 16, 1, "record 1 (vertex 1) does not follow vertex 1"},
    };
    for (const BadRecord& bad : bad_records) {
        SCOPED_TRACE(bad.Message);
        std::string damaged = payload;
        PutInt32(damaged, bad.Offset, bad.Value);
        EXPECT_FALSE(LoadPayload(target, damaged));
        expect_unchanged();
        std::vector<TZAVStatusLine> lines = TakeStatusLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].Text.find(bad.Message), std::string::npos) << lines[0].Text;
    }

    // Counts beyond what the file holds are refused before they allocate for it.
    TTarnwick_Morph large(1 << 20);
    for (uint8_t form : {0, 1}) {
        SCOPED_TRACE(form);
        std::string counted = payload.substr(0, records);
        counted[AfterItemRecord] = char(form);
        PutInt32(counted, AfterItemRecord + 5, 1 << 20);
        ResetLargestAllocation();
        EXPECT_FALSE(LoadPayload(large, counted));
        EXPECT_LE(LargestAllocation(), size_t(1) << 20);
    }
}

// [SECTION] Text block

TEST_F(Morph, TextBlockWritesTheCompressedFormAndReadsBack)
{
    TTarnwick_Morph morph(5);
    morph.SetNameLiteral("Brow Up");
    morph.Strength = 0.75f;
    morph.ReadOnly = true;
    SetDelta(morph, 4, 0.5f, 0.0f, -1.0f);
    std::string text = TextOf(morph);
    EXPECT_FALSE(morph.IsCompressed());
    EXPECT_EQ(text.substr(0, 16), "morph\tBrow Up\n{\n");
    EXPECT_NE(
        text.find("\n\tvcount\t5\n\tDeltaCount\t1\n\tStrength\t0.75000000\n\tCompressed\t1\n\tdata\t\n"),
        std::string::npos)
        << text;

    TTarnwick_Morph copy(0);
    ASSERT_TRUE(ReadText(copy, text));
    EXPECT_EQ(copy.Name, "Brow Up");
    EXPECT_TRUE(copy.ReadOnly);
    EXPECT_EQ(copy.Strength, 0.75f);
    EXPECT_EQ(copy.vcount, 5);
    EXPECT_TRUE(copy.IsCompressed());
    EXPECT_FALSE(copy.IsPagedIn());
    EXPECT_EQ(DenseDeltas(copy), DenseDeltas(morph));

    // A block with a vertex count and no data resizes as SetVertexCount does.
    TTarnwick_Morph resized(2);
    SetDelta(resized, 1, 1.0f, 1.0f, 1.0f);
    ASSERT_TRUE(ReadText(resized, "morph\tr\n{\n\tvcount\t3\n}\n"));
    EXPECT_EQ(DenseDeltas(resized), (std::vector<float>{0, 0, 0, 1, 1, 1, 0, 0, 0}));
}

TEST_F(Morph, TextBlockWhoseCountsDoNotFitItsDataIsRefused)
{
    TTarnwick_Morph source(8);
    source.Strength = 0.25f;
    Displace(source, {1, 5});
    source.Compress();
    const std::string text = TextOf(source);

    struct BadBlock
    {
        const char* Line;
        const char* Replacement;
        const char* Message;
    };
    const BadBlock bad_blocks[] = {
        {"DeltaCount\t2", "DeltaCount\t3", "holds 32 bytes where DeltaCount 3 need 48"},
        {"DeltaCount\t2", "DeltaCount\t-1", "DeltaCount -1 is out of range"},
        {"DeltaCount\t2", "DeltaCount\t9", "DeltaCount 9 is out of range"},
        {"vcount\t8", "vcount\t-4", "vcount -4 is out of range"},
        {"vcount\t8", "vcount\t2000000000", "vcount 2000000000 is out of range"},
        {"vcount\t8", "vcount\t3", "record 1 names vertex 5 of 3"},
        {"Compressed\t1", "Compressed\t0", "holds 32 bytes where vcount 8 need 96"},
        // Counts after the data are held to it too.
        {"\n}\n", "\n\tDeltaCount\t1\n}\n", "holds 32 bytes where DeltaCount 1 need 16"},
    };
    for (const BadBlock& bad : bad_blocks) {
        SCOPED_TRACE(bad.Replacement);
        std::string damaged = text;
        size_t at = damaged.rfind(bad.Line);
        ASSERT_NE(at, std::string::npos);
        damaged.replace(at, std::strlen(bad.Line), bad.Replacement);

        TTarnwick_Morph target(3);
        target.Strength = 0.5f;
        SetDelta(target, 0, 1.0f, 2.0f, 3.0f);
        std::string error;
        EXPECT_FALSE(ReadText(target, damaged, &error));
        EXPECT_NE(error.find(bad.Message), std::string::npos) << error;
        EXPECT_NE(error.find("figure.Tarnwick"), std::string::npos) << error;
        EXPECT_NE(error.find("line"), std::string::npos) << error;
        EXPECT_EQ(target.vcount, 3);
        EXPECT_EQ(target.Strength, 0.5f);
        EXPECT_FALSE(target.IsCompressed());
        EXPECT_EQ(DenseDeltas(target), (std::vector<float>{1, 2, 3, 0, 0, 0, 0, 0, 0}));
        TakeStatusLines();
    }
}

TEST_F(Morph, VertexCountWithoutDataAllocatesNothingForMorphsOrSelections)
{
    TTarnwick_Morph largest(0);
    ResetLargestAllocation();
    ASSERT_TRUE(ReadText(largest, "morph\tBig\n{\n\tvcount\t134217727\n}\n"));
    EXPECT_LT(LargestAllocation(), size_t(1) << 16);
    EXPECT_EQ(largest.vcount, 134217727);
    EXPECT_EQ(largest.GetMemorySize(), 0);
    // Nothing to page out: it stays in memory.
    EXPECT_TRUE(largest.IsPagedIn());
    int32_t index = -1;
    float delta[3];
    EXPECT_FALSE(largest.GetFirstDelta(index, delta));

    TTarnwick_Morph beyond(0);
    std::string error;
    ResetLargestAllocation();
    EXPECT_FALSE(ReadText(beyond, "morph\tBig\n{\n\tvcount\t2147483647\n}\n", &error));
    EXPECT_LT(LargestAllocation(), size_t(1) << 16);
    EXPECT_NE(error.find("line 2: vcount 2147483647 is out of range"), std::string::npos) << error;
    EXPECT_EQ(beyond.vcount, 0);
    TakeStatusLines();

    TTarnwick_Selection selection(0);
    ResetLargestAllocation();
    ASSERT_TRUE(ReadText(selection, "selection\tBig\n{\n\tvcount\t200000000\n}\n"));
    EXPECT_LT(LargestAllocation(), size_t(1) << 16);
    EXPECT_EQ(selection.vcount, 200000000);
    EXPECT_EQ(selection.GetMemorySize(), 0);
}

// The fuzzer's input, kept as found: a selection block with several counts and no data.
TEST_F(Morph, FuzzedSelectionWithCountsAloneAllocatesNothing)
{
    StreamFile file(std::fopen(TARNWICK_TEST_DATA "fuzz/vcount-alone-allocates.selection", "rb"));
    ASSERT_TRUE(file);
    TZAVTextReader reader(file.get(), "vcount-alone-allocates.selection");
    TTarnwick_Selection selection(12);
    ResetLargestAllocation();
    (void)selection.LoadFromStream_Text(reader);
    EXPECT_LT(LargestAllocation(), size_t(1) << 20);
    TakeStatusLines();
}

// [SECTION] Morph tree and mixer

TEST_F(Morph, MorphAndSelectionTreesNestedTooDeeplyAreRefused)
{
    constexpr int32_t Depth = 100000;
    std::string text = "morphs\t\n{\n";
    for (int32_t level = 0; level < Depth; level++)
        text += "group\tg\n{\n";
    for (int32_t level = 0; level <= Depth; level++)
        text += "}\n";
    TTarnwick_MorphTreeGroup morphs;
    TTarnwick_SelectionTreeGroup selections;
    for (TTarnwick_TreeGroup* tree :
         {static_cast<TTarnwick_TreeGroup*>(&morphs), static_cast<TTarnwick_TreeGroup*>(&selections)}) {
        std::string error;
        EXPECT_FALSE(ReadText(*tree, text, &error));
        // The group whose "{" is one level too many.
        const std::string line = "line " + std::to_string(2 * MaxTextBlockDepth + 1) + ":";
        EXPECT_NE(error.find(line), std::string::npos) << error;
        EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
    }
    TakeStatusLines();
}

TEST_F(Morph, MixerGathersEachMorphOnceAndSavesTheirIDs)
{
    TTarnwick_MorphTreeGroup tree;
    auto* child = new TTarnwick_MorphTreeGroup();
    tree.AddChild(child);
    auto* first = new TTarnwick_Morph(2);
    auto* second = new TTarnwick_Morph(2);
    tree.List.Add(first);
    child->List.Add(second);

    TTarnwick_MorphMixer mixer;
    try {
        TTarnwick_TreeGroup::Walk(&tree, 0, TTarnwick_MorphMixer::AddMorphsToMixer_OnVisitMorph, &mixer,
                                  TZAVWalkOrder::PreOrder);
        ADD_FAILURE() << "a mixer without a mesh was accepted";
    } catch (const TZAVError& error) {
        EXPECT_STREQ(error.what(), "Mesh == NULL in TTarnwick_Mesh::AddMorphsToMixer_OnVisitMorph()");
    }
    // The mixer only checks that it has a mesh; it never looks into it.
    int placeholder = 0;
    mixer.Mesh = reinterpret_cast<TTarnwick_Mesh*>(&placeholder);
    mixer.List.Add(second);
    TTarnwick_TreeGroup::Walk(&tree, 0, TTarnwick_MorphMixer::AddMorphsToMixer_OnVisitMorph, &mixer,
                              TZAVWalkOrder::PreOrder);
    ASSERT_EQ(mixer.List.Count(), 2);
    EXPECT_EQ(mixer.List.Data()[0], second);
    EXPECT_EQ(mixer.List.Data()[1], first);

    std::string payload = PayloadOf(mixer);
    ASSERT_EQ(payload.size(), AfterItemRecord + 12);
    TTarnwick_MorphMixer read;
    ASSERT_TRUE(LoadPayload(read, payload));
    EXPECT_EQ(read.MorphIDs, (std::vector<int32_t>{second->ID, first->ID}));
    EXPECT_EQ(read.List.Count(), 0);

    // A short or negative count changes nothing.
    std::string damaged = payload;
    PutInt32(damaged, AfterItemRecord, 3);
    EXPECT_FALSE(LoadPayload(read, damaged));
    PutInt32(damaged, AfterItemRecord, -1);
    EXPECT_FALSE(LoadPayload(read, damaged));
    EXPECT_EQ(read.MorphIDs, (std::vector<int32_t>{second->ID, first->ID}));
    TakeStatusLines();
}
