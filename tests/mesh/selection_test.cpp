#include "mesh/selection.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/paged_items.h"

namespace {

class Selection : public PagedItemTest
{
};

std::vector<float> Weights(TTarnwick_Selection& selection)
{
    std::vector<float> weights(size_t(selection.vcount), 0.0f);
    int32_t index = -1;
    float weight = 0.0f;
    for (bool more = selection.GetFirstValue(index, weight); more;
         more = selection.GetNextValue(index, weight))
        weights[size_t(index)] = weight;
    return weights;
}

void Select(TTarnwick_Selection& selection, const std::vector<float>& weights)
{
    for (size_t i = 0; i < weights.size(); i++)
        selection.SetVSelect(int32_t(i), weights[i]);
}

} // namespace

// [SECTION] Forms and weights

TEST_F(Selection, CompressKeepsRecordsOnlyWhileTheyAreSmaller)
{
    TTarnwick_Selection selection(8);
    const std::vector<float> half = {0, 1, 0.5f, 0, 0.25f, 0, 1e-31f, 0.75f};
    Select(selection, half);

    // Four of eight selected: 32 bytes of records against 32 expanded.
    selection.Compress();
    ASSERT_TRUE(selection.IsCompressed());
    EXPECT_EQ(selection.vselect(), nullptr);
    ASSERT_EQ(selection.DeltaCount, 4);
    EXPECT_EQ(selection.GetMemorySize(), 32);
    EXPECT_EQ(selection.Records()[3].Index, 7);
    EXPECT_EQ(selection.Records()[3].Value[0], 0.75f);
    std::vector<float> expected = half;
    expected[6] = 0.0f;
    EXPECT_EQ(Weights(selection), expected);

    // Reading a weight expands; more than half selected stays expanded.
    EXPECT_EQ(selection.GetVSelect(2), 0.5f);
    EXPECT_FALSE(selection.IsCompressed());
    selection.SetVSelect(0, 0.1f);
    selection.Compress();
    EXPECT_FALSE(selection.IsCompressed());
    EXPECT_EQ(selection.DeltaCount, 0);
    EXPECT_EQ(selection.GetMemorySize(), 32);

    // Nothing above 1e-30 compresses to no records.
    TTarnwick_Selection empty(6);
    Select(empty, {1e-31f, 0, -0.5f});
    empty.Compress();
    EXPECT_TRUE(empty.IsCompressed());
    EXPECT_EQ(empty.DeltaCount, 0);
}

TEST_F(Selection, WeightsOutsideTheSelectionAreIgnored)
{
    TTarnwick_Selection none(0);
    none.SetVSelect(0, 1.0f);
    EXPECT_EQ(none.GetVSelect(0), 0.0f);
    int32_t index = -1;
    float weight = 0.0f;
    EXPECT_FALSE(none.GetFirstValue(index, weight));

    TTarnwick_Selection selection(3);
    selection.SetVSelect(3, 1.0f);
    selection.SetVSelect(-1, 1.0f);
    EXPECT_EQ(selection.GetVSelect(3), 0.0f);
    EXPECT_EQ(Weights(selection), std::vector<float>(3, 0.0f));
}

TEST_F(Selection, AddClampsAndCopyReplacesAndBothKeepTheTargetsForm)
{
    TTarnwick_Selection target(4);
    Select(target, {0.7f, 0.2f, 0.0f, 0.0f});
    TTarnwick_Selection other(4);
    Select(other, {0.6f, -0.5f, 0.0f, 0.0f});
    target.Add(&other);
    EXPECT_EQ(Weights(target), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_FALSE(target.IsCompressed());

    TTarnwick_Selection compressed(4);
    Select(compressed, {0, 0, 0, 0.3f});
    compressed.Compress();
    other.Compress();
    compressed.Add(&other);
    EXPECT_TRUE(compressed.IsCompressed());
    EXPECT_TRUE(other.IsCompressed());
    EXPECT_EQ(Weights(compressed), (std::vector<float>{0.6f, 0, 0, 0.3f}));

    target.Copy(&other);
    EXPECT_FALSE(target.IsCompressed());
    EXPECT_TRUE(other.IsCompressed());
    EXPECT_EQ(Weights(target), (std::vector<float>{0.6f, 0, 0, 0}));
    EXPECT_EQ(target.SourceID, other.ID);
}

TEST_F(Selection, SetVertexCountDiscardsEveryWeightInEitherForm)
{
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        TTarnwick_Selection selection(4);
        Select(selection, {1, 0, 0.5f, 0});
        if (compressed)
            selection.Compress();
        selection.SetVertexCount(6);
        EXPECT_EQ(selection.IsCompressed(), compressed);
        EXPECT_EQ(Weights(selection), std::vector<float>(6, 0.0f));
        selection.SetVertexCount(1);
        EXPECT_EQ(Weights(selection), std::vector<float>(1, 0.0f));
    }
}

TEST_F(Selection, CurrentValueIsWrittenInThePresentForm)
{
    TTarnwick_Selection selection(6);
    Select(selection, {0, 0.5f, 0, 0, 0.25f, 0});
    selection.Compress();
    int32_t index = -1;
    float weight = 0.0f;
    ASSERT_TRUE(selection.GetFirstValue(index, weight));
    ASSERT_TRUE(selection.GetNextValue(index, weight));
    EXPECT_EQ(index, 4);
    selection.SetCurrentValue(0.75f);
    EXPECT_TRUE(selection.IsCompressed());
    EXPECT_EQ(Weights(selection), (std::vector<float>{0, 0.5f, 0, 0, 0.75f, 0}));

    selection.Expand();
    ASSERT_TRUE(selection.GetFirstValue(index, weight));
    EXPECT_EQ(index, 0);
    selection.SetCurrentValue(1.0f);
    EXPECT_EQ(Weights(selection), (std::vector<float>{1.0f, 0.5f, 0, 0, 0.75f, 0}));
}

// [SECTION] Binary record

TEST_F(Selection, BinaryRecordCarriesTheFormItHolds)
{
    struct Case
    {
        std::vector<float> Weights;
        uint8_t Flag;
        size_t DataSize;
    };
    const Case cases[] = {
        {{0, 0, 0, 0.5f, 0, 0, 0, 0}, 1, 4 + 8},
        // Exactly half: records and weights are the same size; the records are kept.
        {{1, 0, 1, 0, 1, 0, 1, 0}, 1, 4 + 32},
        {{1, 1, 1, 1, 1, 0, 0, 0}, 0, 32},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.DataSize);
        TTarnwick_Selection selection(8);
        selection.SetNameLiteral("Left Arm");
        Select(selection, test.Weights);
        std::string payload = PayloadOf(selection);
        EXPECT_FALSE(selection.IsCompressed());
        ASSERT_EQ(payload.size(), AfterItemRecord + 1 + test.DataSize);
        EXPECT_EQ(payload[AfterItemRecord], test.Flag);

        TTarnwick_Selection read(8);
        ASSERT_TRUE(LoadPayload(read, payload));
        EXPECT_EQ(read.Name, "Left Arm");
        EXPECT_EQ(read.IsCompressed(), test.Flag == 1);
        EXPECT_EQ(Weights(read), test.Weights);
    }
}

TEST_F(Selection, BadOrShortBinaryRecordChangesNothing)
{
    TTarnwick_Selection source(4);
    Select(source, {0, 0.5f, 0, 0});
    const std::string payload = PayloadOf(source);

    TTarnwick_Selection target(4);
    Select(target, {1, 1, 1, 1});
    for (size_t length = 0; length < payload.size(); length++)
        ASSERT_FALSE(LoadPayload(target, payload.substr(0, length))) << length;
    std::string damaged = payload;
    PutInt32(damaged, AfterItemRecord + 5, 4);
    EXPECT_FALSE(LoadPayload(target, damaged));
    std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].Text.find("record 0 names vertex 4 of 4"), std::string::npos) << lines[0].Text;
    EXPECT_FALSE(target.IsCompressed());
    EXPECT_EQ(Weights(target), std::vector<float>(4, 1.0f));
}

// [SECTION] Text block

TEST_F(Selection, TextBlockWhoseCountsDoNotFitItsDataIsRefused)
{
    TTarnwick_Selection source(10);
    Select(source, {0, 0.5f, 0, 1, 0, 0, 0, 0, 0, 0.25f});
    const std::string text = TextOf(source);
    EXPECT_NE(text.find("\tvcount\t10\n\tDeltaCount\t3\n\tCompressed\t1\n"), std::string::npos) << text;

    TTarnwick_Selection read(0);
    ASSERT_TRUE(ReadText(read, text));
    EXPECT_EQ(Weights(read), Weights(source));

    std::string larger_count = text;
    larger_count.replace(larger_count.find("DeltaCount\t3"), 12, "DeltaCount\t4");
    TTarnwick_Selection target(2);
    Select(target, {0.5f, 1.0f});
    std::string error;
    EXPECT_FALSE(ReadText(target, larger_count, &error));
    EXPECT_NE(error.find("holds 24 bytes where DeltaCount 4 need 32"), std::string::npos) << error;
    EXPECT_EQ(target.vcount, 2);
    EXPECT_EQ(Weights(target), (std::vector<float>{0.5f, 1.0f}));
    TakeStatusLines();
}
