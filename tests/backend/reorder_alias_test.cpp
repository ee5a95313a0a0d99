// Reordering of short and mixed blocks, and which lines the alias butterflies may touch.
#include "decoder_access.h"

#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

using namespace mplay;

namespace {

void SetShort(LayerIIIDecoderAccess& a, bool mixed) {
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.mixed_block_flag = mixed;
}

TEST(Reorder, LongBlocksAreCopied) {
    LayerIIIDecoderAccess a;
    for (int j = 0; j < 576; ++j) {
        a.stereoOut(0)[j] = j;
    }
    a.Reorder(0);
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(a.hybridWork()[j], j);
    }
}

TEST(Reorder, PureShortBlockAt44kInterleavesWindows) {
    LayerIIIDecoderAccess a; // 44.1 kHz
    SetShort(a, false);
    for (int j = 0; j < 576; ++j) {
        a.stereoOut(0)[j] = j;
    }
    a.Reorder(0);
    EXPECT_EQ(a.hybridWork()[0], 0);
    EXPECT_EQ(a.hybridWork()[1], 4); // window 1 of band 0
    EXPECT_EQ(a.hybridWork()[2], 8);
    EXPECT_EQ(a.hybridWork()[3], 1);
    EXPECT_EQ(a.hybridWork()[575], 575);
}

TEST(Reorder, MixedBlockKeepsTheLongSubbandsAndReordersFromBand3) {
    for (int sf : {0, 1, 2}) { // 44.1, 48 and 32 kHz
        LayerIIIDecoderAccess a(1, 0, 0, sf);
        SetShort(a, true);
        for (int j = 0; j < 576; ++j) {
            a.stereoOut(0)[j] = j;
        }
        a.Reorder(0);
        for (int j = 0; j < 36; ++j) {
            ASSERT_EQ(a.hybridWork()[j], j);
        }
        for (int j = 36; j < 576; ++j) {
            ASSERT_EQ(a.hybridWork()[j], g_reorderTable[a.sampleRateIndex()][j]) << j;
        }
    }
}

// Every sample rate, pure and mixed: each line lands where the reorder table says, bit for bit.
TEST(Reorder, ShortBlocksFollowTheReorderTableAtEverySampleRate) {
    for (int id : {0, 1}) {
        for (int sf : {0, 1, 2}) {
            for (bool mixed : {false, true}) {
                LayerIIIDecoderAccess a(id, 0, 0, sf);
                SetShort(a, mixed);
                for (int j = 0; j < 576; ++j) {
                    a.stereoOut(0)[j] = j % 7 == 0 ? -0.0 : std::sin(1.7 * j) * 1e5;
                }
                a.Reorder(0);
                const int32_t* table = g_reorderTable[a.sampleRateIndex()];
                for (int j = 0; j < 576; ++j) {
                    const double want = a.stereoOut(0)[mixed && j < 36 ? j : table[j]];
                    ASSERT_EQ(std::bit_cast<uint64_t>(a.hybridWork()[j]),
                              std::bit_cast<uint64_t>(want))
                        << "id " << id << " sf " << sf << " mixed " << mixed << " line " << j;
                }
            }
        }
    }
}

TEST(AntiAlias, PureShortBlocksAreLeftAlone) {
    LayerIIIDecoderAccess a;
    SetShort(a, false);
    for (int j = 0; j < 576; ++j) {
        a.hybridWork()[j] = 1.0 + j;
    }
    a.AntiAlias(0);
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(a.hybridWork()[j], 1.0 + j);
    }
}

TEST(AntiAlias, MixedBlocksTouchOnlyLines10To25) {
    LayerIIIDecoderAccess a;
    SetShort(a, true);
    for (int j = 0; j < 576; ++j) {
        a.hybridWork()[j] = 1.0 + j;
    }
    a.AntiAlias(0);
    for (int j = 0; j < 576; ++j) {
        if (j >= 10 && j <= 25) {
            EXPECT_NE(a.hybridWork()[j], 1.0 + j) << j;
        } else {
            ASSERT_EQ(a.hybridWork()[j], 1.0 + j) << j;
        }
    }
}

TEST(AntiAlias, LongBlocksRotateEachBoundaryPair) {
    LayerIIIDecoderAccess a;
    double before[576];
    for (int j = 0; j < 576; ++j) {
        before[j] = a.hybridWork()[j] = std::cos(0.1 * j * j);
    }
    a.AntiAlias(0);
    for (int sb = 0; sb < 31; ++sb) {
        for (int i = 0; i < 8; ++i) {
            const int lo = 18 * sb + 17 - i;
            const int hi = 18 * sb + 18 + i;
            // The butterfly of the standard, and a rotation: the pair's energy is kept.
            EXPECT_NEAR(a.hybridWork()[lo], before[lo] * g_aliasCs[i] - before[hi] * g_aliasCa[i],
                        1e-15);
            EXPECT_NEAR(a.hybridWork()[hi], before[hi] * g_aliasCs[i] + before[lo] * g_aliasCa[i],
                        1e-15);
            const double e0 = before[lo] * before[lo] + before[hi] * before[hi];
            const double e1 =
                a.hybridWork()[lo] * a.hybridWork()[lo] + a.hybridWork()[hi] * a.hybridWork()[hi];
            EXPECT_NEAR(e1, e0, 1e-6 * (e0 + 1e-30));
        }
    }
    // Lines 0-9 of subband 0 and 566-575 of subband 31 are beyond any butterfly.
    for (int j : {0, 9, 566, 575}) {
        EXPECT_EQ(a.hybridWork()[j], before[j]) << j;
    }
}

} // namespace
