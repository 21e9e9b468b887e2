#include "mesh/mark_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

// Marks at block and word edges, repeated and in any order, come back once each, ascending; the
// set is empty afterwards, so the next update starts clean.
TEST(MarkSet, TakeListsEachMarkOnceInOrderAndEmptiesTheSet)
{
    constexpr int32_t BlockSize = 1 << TTarnwick_MarkSet::BlockShift;
    // Not a whole number of words, so that the last word is partly past the count.
    const int32_t count = 3 * BlockSize + 13;
    TTarnwick_MarkSet set;
    set.Resize(count);
    const std::vector<int32_t> edges = {count - 1, 0,         BlockSize, BlockSize - 1,    7,
                                        8,         count - 1, 0,         2 * BlockSize + 5};
    TTarnwick_MarkSet::TMarker marker = set.Marker();
    for (int32_t index : edges)
        marker.Mark(index);
    std::vector<int32_t> taken = {42, 43}; // replaced, not appended to
    set.Take(taken);
    const std::set<int32_t> expected(edges.begin(), edges.end());
    EXPECT_EQ(taken, std::vector<int32_t>(expected.begin(), expected.end()));
    set.Take(taken);
    EXPECT_TRUE(taken.empty());

    // Rounds of scattered and dense marks against a reference, reusing the set as an update does.
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> pick(0, count - 1);
    for (int round = 0; round < 20; round++) {
        std::set<int32_t> reference;
        const int marks = round * 37 % 500;
        for (int i = 0; i < marks; i++) {
            const int32_t index = pick(random);
            reference.insert(index);
            marker.Mark(index);
        }
        // A dense run too, as a stroke's band gives: whole words of marks.
        for (int32_t index = round * 150; index < round * 150 + 8 * round + 3; index++) {
            reference.insert(index);
            marker.Mark(index);
        }
        set.Take(taken);
        ASSERT_EQ(taken, std::vector<int32_t>(reference.begin(), reference.end())) << "round " << round;
    }
}

// A new count empties the set; the same count keeps it as it is.
TEST(MarkSet, ResizeToANewCountEmptiesTheSet)
{
    TTarnwick_MarkSet set;
    set.Resize(100);
    set.Marker().Mark(99);
    set.Resize(100);
    std::vector<int32_t> taken;
    set.Take(taken);
    EXPECT_EQ(taken, std::vector<int32_t>{99});

    set.Marker().Mark(50);
    set.Resize(5000);
    set.Marker().Mark(4999);
    set.Take(taken);
    EXPECT_EQ(taken, std::vector<int32_t>{4999});
    set.Resize(0);
    set.Take(taken);
    EXPECT_TRUE(taken.empty());
}

} // namespace
