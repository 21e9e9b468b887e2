// Mirror tables built from positions that a damaged or extreme file can hold.
#include "mesh/mirror_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

TEST(MirrorTables, NonFiniteVerticesGetNoPartnerAndTheOthersStillMatch)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Pairs (1, 2) and (3, 4) across x = 0; the first vertex would seed the bounds.
    const float vertices[8][3] = {{nan, 0, 0}, {-1, 0, 0},  {1, 0, 0},    {-2, 1, 0},
                                  {2, 1, 0},   {inf, 0, 0}, {-inf, 2, 0}, {3, nan, 0}};
    const std::vector<float> positions(&vertices[0][0], &vertices[0][0] + 24);
    std::vector<uint32_t> flags(8, VertexFlag_MirrorPositive);
    TTarnwick_MirrorTables tables;
    tables.Build(positions, 0, 4, flags);
    EXPECT_EQ(tables.Mirror(1), 2);
    EXPECT_EQ(tables.Mirror(2), 1);
    EXPECT_EQ(tables.Mirror(3), 4);
    EXPECT_EQ(tables.Source(Mirror_ToPositive, 4), 3);
    for (int32_t vertex : {0, 5, 6, 7}) {
        EXPECT_EQ(tables.Source(Mirror_ToPositive, vertex), vertex) << vertex;
        EXPECT_EQ(tables.Source(Mirror_ToNegative, vertex), vertex) << vertex;
        EXPECT_FALSE(flags[vertex] & VertexFlag_MirrorPositive) << vertex;
    }

    // Coordinates near the float range: their box's diagonal is beyond it.
    const std::vector<float> huge = {-3e38f, 0, 0, 3e38f, 0, 0, 0, 3e38f, 0};
    tables.Build(huge, 0, 4, flags);
    EXPECT_EQ(tables.Mirror(0), 1);
    EXPECT_EQ(tables.Mirror(1), 0);
    EXPECT_EQ(tables.Mirror(2), 2);
}
