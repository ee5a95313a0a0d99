// Requantisation of hand-made granules: gains, scale-factor steps, block layouts and the escape
// values beyond the power table.
#include "decoder_access.h"

#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>

using namespace mplay;

namespace {

struct RequantiseTest : ::testing::Test {
    LayerIIIDecoderAccess a{1, 0, 0, 0}; // MPEG-1 stereo, 44.1 kHz
    const SfBandIndex& bands = g_sfBandTable[3];

    void SetUp() override { a.granule(0).global_gain = 210; }
    void Fill(int count, int32_t value) {
        for (int j = 0; j < 576; ++j) {
            a.quantised()[j] = j < count ? value : 0;
        }
        a.nonzeroCount(0) = count;
    }
};

TEST_F(RequantiseTest, NoDecodedLinesGiveSilenceWhateverTheGains) {
    Fill(0, 0);
    a.quantised()[5] = 100; // beyond the count: must not be used
    a.granule(0).global_gain = 255;
    for (int j = 0; j < 576; ++j) {
        a.dequantised(0)[j] = 123.0;
    }
    a.Requantise(0);
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(a.dequantised(0)[j], 0.0) << j;
    }
}

TEST_F(RequantiseTest, UnitGainGivesThePowerTableAndSignsAreExact) {
    for (int j = 0; j < 576; ++j) {
        a.quantised()[j] = (j % 2 ? -1 : 1) * (j * 13 % 8192);
    }
    a.nonzeroCount(0) = 576;
    a.Requantise(0);
    for (int j = 0; j < 576; ++j) {
        const int32_t q = a.quantised()[j];
        const double expected = q < 0 ? -g_powTable[-q] : g_powTable[q];
        ASSERT_EQ(a.dequantised(0)[j], expected) << j;
    }
}

TEST_F(RequantiseTest, GlobalGainStepsByQuarterPowersOfTwo) {
    Fill(576, 1);
    a.granule(0).global_gain = 214;
    a.Requantise(0);
    EXPECT_DOUBLE_EQ(a.dequantised(0)[0], 2.0);
    a.granule(0).global_gain = 209;
    a.Requantise(0);
    EXPECT_DOUBLE_EQ(a.dequantised(0)[0], std::pow(2.0, -0.25));
}

TEST_F(RequantiseTest, EveryGlobalGainGivesTheBitsOfItsPowerOfTwo) {
    Fill(576, 1);
    for (int32_t g = -3; g < 260; ++g) {
        a.granule(0).global_gain = g;
        a.Requantise(0);
        const double want = g_powTable[1] * (std::pow(2.0, (g - 210) * 0.25) * g_scaleStepTable[0]);
        ASSERT_EQ(std::bit_cast<uint64_t>(a.dequantised(0)[0]), std::bit_cast<uint64_t>(want)) << g;
    }
}

TEST_F(RequantiseTest, EscapesPastTheTableAreRequantisedExactly) {
    // 13 linbits reach 15 + 8191 = 8206.
    for (int32_t q = 8190; q <= 8206; ++q) {
        a.quantised()[0] = q;
        a.quantised()[1] = -q;
        a.nonzeroCount(0) = 2;
        a.Requantise(0);
        const double exact = std::pow(static_cast<double>(q), 4.0 / 3.0);
        EXPECT_NEAR(a.dequantised(0)[0], exact, 1e-6) << q;
        EXPECT_EQ(a.dequantised(0)[1], -a.dequantised(0)[0]) << q;
    }
}

TEST_F(RequantiseTest, LongScaleFactorsScalePerBandAndScalefacScaleDoublesTheStep) {
    Fill(576, 1);
    a.scalefac(0).l[2] = 3; // lines 8-11 at 44.1 kHz
    a.Requantise(0);
    EXPECT_EQ(a.dequantised(0)[bands.l[2] - 1], 1.0);
    EXPECT_EQ(a.dequantised(0)[bands.l[2]], g_scaleStepTable[3]);
    EXPECT_NEAR(a.dequantised(0)[bands.l[2]], std::pow(2.0, -1.5), 1e-8);
    EXPECT_EQ(a.dequantised(0)[bands.l[3]], 1.0);
    a.granule(0).scalefac_scale = 1;
    a.Requantise(0);
    EXPECT_EQ(a.dequantised(0)[bands.l[2] + 1], 0.125);
}

TEST_F(RequantiseTest, PreflagAddsPretabToLongBandsOnly) {
    Fill(576, 1);
    a.granule(0).preflag = 1;
    a.Requantise(0);
    for (int b = 0; b < 22; ++b) {
        const double expected = g_scaleStepTable[g_pretab[b]];
        EXPECT_EQ(a.dequantised(0)[bands.l[b]], expected) << "band " << b;
        EXPECT_EQ(a.dequantised(0)[bands.l[b + 1] - 1], expected) << "band " << b;
    }
    // The same flag on a pure short block changes nothing.
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    a.Requantise(0);
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(a.dequantised(0)[j], 1.0) << j;
    }
}

TEST_F(RequantiseTest, ShortBlocksUseEachWindowsGainAndScaleFactor) {
    Fill(576, 1);
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.subblock_gain[0] = 0;
    gi.subblock_gain[1] = 1;
    gi.subblock_gain[2] = 2;
    a.scalefac(0).s[2][5] = 1;
    a.Requantise(0);
    for (int b = 0; b < 13; ++b) {
        const int width = bands.s[b + 1] - bands.s[b];
        for (int w = 0; w < 3; ++w) {
            const int n = 4 * gi.subblock_gain[w] + a.scalefac(0).s[w][b];
            const int first = 3 * bands.s[b] + w * width;
            EXPECT_EQ(a.dequantised(0)[first], g_scaleStepTable[n]) << b << "/" << w;
            EXPECT_EQ(a.dequantised(0)[first + width - 1], g_scaleStepTable[n]) << b << "/" << w;
        }
    }
}

TEST_F(RequantiseTest, MixedBlocksAreLongBelowLine36AndShortAbove) {
    Fill(576, 1);
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.mixed_block_flag = 1;
    gi.subblock_gain[1] = 1;
    a.scalefac(0).l[7] = 2;    // lines 30-35
    a.scalefac(0).s[0][2] = 5; // a short band inside the long part: unused
    a.scalefac(0).s[0][3] = 4; // lines 36-39, window 0
    a.Requantise(0);
    EXPECT_EQ(a.dequantised(0)[29], 1.0);
    EXPECT_EQ(a.dequantised(0)[30], 0.5);
    EXPECT_EQ(a.dequantised(0)[35], 0.5);
    EXPECT_EQ(a.dequantised(0)[36], 0.25);
    EXPECT_EQ(a.dequantised(0)[39], 0.25);
    EXPECT_EQ(a.dequantised(0)[40], 0.25); // window 1: subblock gain 1
    EXPECT_EQ(a.dequantised(0)[44], 1.0);  // window 2
    EXPECT_EQ(a.dequantised(0)[24], 1.0);  // long band 6, not short band 2
}

TEST_F(RequantiseTest, MalformedScaleFactorsStayInsideTheStepTable) {
    Fill(576, 1);
    GranuleInfo& gi = a.granule(0);
    gi.scalefac_scale = 1;
    gi.preflag = 1;
    for (int b = 0; b < 23; ++b) {
        a.scalefac(0).l[b] = 1 << 30;
    }
    a.Requantise(0);
    EXPECT_EQ(a.dequantised(0)[400], g_scaleStepTable[63]);
    a.scalefac(0).l[0] = -5;
    a.Requantise(0);
    EXPECT_EQ(a.dequantised(0)[0], 1.0);
}

// A granule with a value past every escape takes the exact path for all its lines; every other
// line must come out with the same bits as on the table path, whatever the layout and gains.
TEST_F(RequantiseTest, TheTablePathGivesTheBitsOfTheExactPath) {
    std::mt19937 rng(7);
    GranuleInfo& gi = a.granule(0);
    for (int round = 0; round < 300; ++round) {
        const int layout = round % 3; // long, short, mixed
        gi.window_switching_flag = layout != 0;
        gi.block_type = layout != 0 ? 2 : static_cast<int32_t>(rng() % 4) & ~2;
        gi.mixed_block_flag = layout == 2;
        gi.global_gain = static_cast<int32_t>(rng() % 256);
        gi.scalefac_scale = static_cast<int32_t>(rng() % 2);
        gi.preflag = static_cast<int32_t>(rng() % 2);
        for (int32_t& g : gi.subblock_gain) {
            g = static_cast<int32_t>(rng() % 8);
        }
        for (int32_t& sf : a.scalefac(0).l) {
            sf = static_cast<int32_t>(rng() % 20);
        }
        for (auto& window : a.scalefac(0).s) {
            for (int32_t& sf : window) {
                sf = static_cast<int32_t>(rng() % 20);
            }
        }
        const int count = 2 + static_cast<int>(rng() % 575);
        for (int j = 0; j < 576; ++j) {
            const uint32_t kind = rng() % 16;
            int32_t q = kind < 4    ? 0
                        : kind < 13 ? static_cast<int32_t>(rng() % 16)
                                    : static_cast<int32_t>(rng() % 8207);
            a.quantised()[j] = j < count ? ((rng() & 1) ? -q : q) : 0;
        }
        a.nonzeroCount(0) = count;
        a.Requantise(0);
        double table[576];
        std::copy(a.dequantised(0), a.dequantised(0) + 576, table);

        const int32_t hostile[] = {8207, -8207, INT_MAX, INT_MIN, 1 << 20};
        a.quantised()[count - 1] = hostile[round % 5];
        a.Requantise(0);
        for (int j = 0; j < 576; ++j) {
            if (j == count - 1) {
                continue;
            }
            ASSERT_EQ(std::bit_cast<uint64_t>(a.dequantised(0)[j]),
                      std::bit_cast<uint64_t>(table[j]))
                << "round " << round << " line " << j;
        }
        const double past = a.dequantised(0)[count - 1];
        EXPECT_EQ(std::signbit(past), hostile[round % 5] < 0) << round;
        EXPECT_GT(std::fabs(past), 0.0) << round;
    }
}

} // namespace
