// Properties of the generated tables that the decoder's bounds rely on.
#include "decode/Tables.h"

#include <gtest/gtest.h>

using mplay::g_huffTables;
using mplay::g_sfBandTable;
using mplay::nr_of_sfb_block;

TEST(BandTables, RowsRiseToTheSpectrumEnd) {
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(g_sfBandTable[row].l[0], 0);
        EXPECT_EQ(g_sfBandTable[row].l[22], 576);
        EXPECT_EQ(g_sfBandTable[row].s[13], 192);
        for (int b = 1; b < 23; ++b) {
            EXPECT_LT(g_sfBandTable[row].l[b - 1], g_sfBandTable[row].l[b]) << row << " " << b;
        }
        for (int b = 1; b < 14; ++b) {
            EXPECT_LT(g_sfBandTable[row].s[b - 1], g_sfBandTable[row].s[b]) << row << " " << b;
        }
    }
    // 44.1 kHz: region 1 of long blocks with region0_count 7 starts at line 36.
    EXPECT_EQ(g_sfBandTable[3].l[8], 36);
}

TEST(BandTables, LsfGroupCountsFitTheBuffer) {
    const int sums[3] = {21, 36, 33};
    for (int block = 0; block < 6; ++block) {
        for (int kind = 0; kind < 3; ++kind) {
            int sum = 0;
            for (int g = 0; g < 4; ++g) {
                sum += nr_of_sfb_block[block][kind][g];
            }
            EXPECT_EQ(sum, sums[kind]) << block << " " << kind;
        }
    }
    EXPECT_EQ(mplay::slen1[15], 4);
    EXPECT_EQ(mplay::slen2[15], 3);
}

// Every tree is complete and reaches every entry from the root through in-range distances, so a
// walk with any bits ends on a leaf inside the array.
TEST(HuffmanTrees, EveryPathEndsOnALeafInside) {
    for (int t = 0; t < 34; ++t) {
        const auto& table = g_huffTables[t];
        if (table.treelen == 0) {
            continue;
        }
        std::vector<int> reached(table.treelen, 0);
        int leaves = 0;
        // Depth-first over (entry, depth).
        std::vector<std::pair<uint32_t, int>> stack = {{0u, 0}};
        while (!stack.empty()) {
            const auto [index, depth] = stack.back();
            stack.pop_back();
            ASSERT_LT(index, table.treelen) << "table " << t;
            ++reached[index];
            if (table.tree[index][0] == 0) {
                ++leaves;
                ASSERT_LE(depth, 19) << "table " << t;
                continue;
            }
            for (int bit = 0; bit < 2; ++bit) {
                uint32_t step = table.tree[index][bit];
                uint32_t next = index + step;
                while (step >= 250) {
                    ASSERT_LT(next, table.treelen) << "table " << t;
                    step = table.tree[next][bit];
                    next += step;
                }
                stack.push_back({next, depth + 1});
            }
        }
        EXPECT_EQ(leaves, static_cast<int>(table.xlen * table.ylen)) << "table " << t;
    }
}
