// Stereo processing on hand-built spectra: middle/side, MPEG-1 and MPEG-2 intensity stereo over
// long, short and mixed layouts, and the positions that have no ratio.
#include "decoder_access.h"

#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace mplay;

namespace {

constexpr double kSqrtHalf = 0.7071067690849304;

void FillSpectrum(double* x, double scale) {
    for (int j = 0; j < 576; ++j) {
        x[j] = scale * std::sin(0.37 * j + 1.0) * (j % 7 + 1);
    }
}

TEST(Stereo, SingleChannelIsCopiedBitForBit) {
    LayerIIIDecoderAccess a(1, 3, 0, 0);
    FillSpectrum(a.dequantised(0), 1e-3);
    a.dequantised(0)[7] = -0.0;
    EXPECT_EQ(a.StereoProcess(), 0);
    EXPECT_EQ(std::memcmp(a.stereoOut(0), a.dequantised(0), 576 * sizeof(double)), 0);
}

TEST(Stereo, PlainAndMiddleSideStereo) {
    for (int mode : {0, 1, 2}) {
        LayerIIIDecoderAccess a(1, mode, 2, 0); // mode_extension 2: middle/side, no intensity
        FillSpectrum(a.dequantised(0), 0.5);
        FillSpectrum(a.dequantised(1), -0.25);
        a.dequantised(1)[3] = 0.125;
        a.StereoProcess();
        for (int j = 0; j < 576; ++j) {
            const double m = a.dequantised(0)[j];
            const double s = a.dequantised(1)[j];
            if (mode == 1) {
                ASSERT_EQ(a.stereoOut(0)[j], (m + s) * kSqrtHalf) << j;
                ASSERT_EQ(a.stereoOut(1)[j], (m - s) * kSqrtHalf) << j;
            } else { // the extension only counts in joint stereo
                ASSERT_EQ(a.stereoOut(0)[j], m) << j;
                ASSERT_EQ(a.stereoOut(1)[j], s) << j;
            }
        }
    }
}

struct Mpeg1Intensity : ::testing::Test {
    LayerIIIDecoderAccess a{1, 1, 1, 0}; // MPEG-1 joint stereo, intensity only, 44.1 kHz
    const SfBandIndex& bands = g_sfBandTable[3];
    void SetUp() override {
        for (int j = 0; j < 576; ++j) {
            a.dequantised(0)[j] = 1.0 + j;
        }
    }
    void ExpectIntensity(int j, int position) {
        const double ratio = g_isRatioTable[position];
        const double right = a.dequantised(0)[j] / (1 + ratio);
        EXPECT_DOUBLE_EQ(a.stereoOut(1)[j], right) << "line " << j;
        EXPECT_DOUBLE_EQ(a.stereoOut(0)[j], right * ratio) << "line " << j;
    }
    void ExpectPlain(int j) {
        EXPECT_EQ(a.stereoOut(0)[j], a.dequantised(0)[j]) << "line " << j;
        EXPECT_EQ(a.stereoOut(1)[j], a.dequantised(1)[j]) << "line " << j;
    }
};

TEST_F(Mpeg1Intensity, SilentRightChannelMakesEveryLongBandIntensityCoded) {
    for (int b = 0; b < 21; ++b) {
        a.scalefac(1).l[b] = b % 7;
    }
    a.StereoProcess();
    for (int b = 0; b < 21; ++b) {
        for (int j = bands.l[b]; j < bands.l[b + 1]; ++j) {
            ExpectIntensity(j, b % 7);
        }
    }
    // Band 21 has no scale factor of its own and follows band 20.
    for (int j = bands.l[21]; j < 576; ++j) {
        ExpectIntensity(j, 20 % 7);
    }
}

TEST_F(Mpeg1Intensity, StartsAboveTheRightChannelsLastNonzeroLine) {
    for (int b = 0; b < 21; ++b) {
        a.scalefac(1).l[b] = 3;
    }
    a.dequantised(1)[100] = 2.0; // band 13 at 44.1 kHz (90-109)
    a.StereoProcess();
    for (int j = 0; j < bands.l[14]; ++j) {
        ExpectPlain(j);
    }
    for (int j = bands.l[14]; j < 576; ++j) {
        ExpectIntensity(j, 3);
    }
}

TEST_F(Mpeg1Intensity, PositionSixSendsAlmostEverythingLeft) {
    a.scalefac(1).l[0] = 6;
    a.StereoProcess();
    EXPECT_NEAR(a.stereoOut(0)[0], 1.0, 1e-10);
    EXPECT_NEAR(a.stereoOut(1)[0], 1e-11, 1e-12);
}

TEST_F(Mpeg1Intensity, PositionsSevenToFifteenAreNotIntensityCoded) {
    for (int extension : {1, 3}) {
        LayerIIIDecoderAccess b(1, 1, extension, 0);
        for (int j = 0; j < 576; ++j) {
            b.dequantised(0)[j] = 1.0 + j;
        }
        // Bands 0-8 take positions 7-15; 9 made 1 + ratio zero in the naive formula.
        for (int band = 0; band < 9; ++band) {
            b.scalefac(1).l[band] = 7 + band;
        }
        b.StereoProcess();
        for (int j = 0; j < bands.l[9]; ++j) {
            const double l = b.dequantised(0)[j];
            ASSERT_TRUE(std::isfinite(b.stereoOut(0)[j]) && std::isfinite(b.stereoOut(1)[j]));
            if (extension == 3) {
                EXPECT_EQ(b.stereoOut(0)[j], l * kSqrtHalf) << j;
                EXPECT_EQ(b.stereoOut(1)[j], l * kSqrtHalf) << j;
            } else {
                EXPECT_EQ(b.stereoOut(0)[j], l) << j;
                EXPECT_EQ(b.stereoOut(1)[j], 0.0) << j;
            }
        }
    }
}

TEST_F(Mpeg1Intensity, ShortBlocksScanEachWindowAndBand12FollowsBand11) {
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    for (int w = 0; w < 3; ++w) {
        for (int b = 0; b < 13; ++b) {
            a.scalefac(1).s[w][b] = (w + b) % 7;
        }
    }
    auto line = [&](int w, int b, int f) {
        const int width = bands.s[b + 1] - bands.s[b];
        return 3 * bands.s[b] + w * width + f;
    };
    a.dequantised(1)[line(1, 5, 2)] = 1.0; // window 1 ends its scan at band 5
    a.StereoProcess();
    for (int w = 0; w < 3; ++w) {
        const int first = w == 1 ? 6 : 0;
        for (int b = 0; b < 12; ++b) {
            for (int f = 0; f < bands.s[b + 1] - bands.s[b]; ++f) {
                if (b < first) {
                    ExpectPlain(line(w, b, f));
                } else {
                    ExpectIntensity(line(w, b, f), (w + b) % 7);
                }
            }
        }
        for (int f = 0; f < bands.s[13] - bands.s[12]; ++f) {
            ExpectIntensity(line(w, 12, f), (w + 11) % 7);
        }
    }
}

TEST(Stereo, NoPositionOrSpectrumMakesNanOrInfinity) {
    for (int id : {0, 1}) {
        for (int layout = 0; layout < 3; ++layout) {
            LayerIIIDecoderAccess a(id, 1, 3, 0);
            GranuleInfo& gi = a.granule(0);
            gi.window_switching_flag = layout > 0;
            gi.block_type = layout > 0 ? 2 : 0;
            gi.mixed_block_flag = layout == 2;
            gi.scalefac_compress = 1;
            FillSpectrum(a.dequantised(0), 1e4);
            for (int p = 0; p < 16; ++p) {
                for (int b = 0; b < 23; ++b) {
                    a.scalefac(1).l[b] = (p + b) % 16;
                }
                for (int w = 0; w < 3; ++w) {
                    for (int b = 0; b < 13; ++b) {
                        a.scalefac(1).s[w][b] = (p + 3 * b + w) % 16;
                    }
                }
                a.StereoProcess();
                for (int j = 0; j < 576; ++j) {
                    ASSERT_TRUE(std::isfinite(a.stereoOut(0)[j])) << id << layout << p << j;
                    ASSERT_TRUE(std::isfinite(a.stereoOut(1)[j])) << id << layout << p << j;
                }
            }
        }
    }
}

struct Mpeg2Intensity : ::testing::Test {
    LayerIIIDecoderAccess a{0, 1, 1, 0}; // MPEG-2 joint stereo, intensity only, 22.05 kHz
    const SfBandIndex& bands = g_sfBandTable[0];
    void SetUp() override {
        for (int j = 0; j < 576; ++j) {
            a.dequantised(0)[j] = 1.0 + j;
        }
        // The intensity scale is the right channel's bit: it selects the 2^(-k/2) row.
        a.granule(1).scalefac_compress = 1;
    }
    // The gains of an intensity position, as the left and right factors of the left input.
    static std::pair<double, double> Gains(int position) {
        if (position == 0) {
            return {1.0, 1.0};
        }
        if (position & 1) {
            return {g_lsfIntensityTable[1][(position + 1) / 2], 1.0};
        }
        return {1.0, g_lsfIntensityTable[1][position / 2]};
    }
    void ExpectPosition(int j, int position) {
        const auto [left, right] = Gains(position);
        EXPECT_EQ(a.stereoWork(0)[j], left) << "line " << j;
        EXPECT_EQ(a.stereoWork(1)[j], right) << "line " << j;
        EXPECT_EQ(a.stereoOut(0)[j], a.dequantised(0)[j] * left) << "line " << j;
        EXPECT_EQ(a.stereoOut(1)[j], a.dequantised(0)[j] * right) << "line " << j;
    }
};

TEST_F(Mpeg2Intensity, GainsFollowPositionParity) {
    const int positions[7] = {0, 1, 2, 3, 4, 6, 15};
    for (int b = 0; b < 21; ++b) {
        a.scalefac(1).l[b] = positions[b % 7];
    }
    a.StereoProcess();
    for (int b = 0; b < 21; ++b) {
        ExpectPosition(bands.l[b], positions[b % 7]);
        ExpectPosition(bands.l[b + 1] - 1, positions[b % 7]);
    }
    ExpectPosition(575, positions[20 % 7]);
}

TEST_F(Mpeg2Intensity, IntensityScaleIsTheRightChannelsBitNotTheLeftOnes) {
    a.granule(0).scalefac_compress = 0;
    a.scalefac(1).l[0] = 2;
    a.StereoProcess();
    EXPECT_EQ(a.stereoWork(1)[0], g_lsfIntensityTable[1][1]);
    a.granule(0).scalefac_compress = 1;
    a.granule(1).scalefac_compress = 0;
    a.StereoProcess();
    EXPECT_EQ(a.stereoWork(1)[0], g_lsfIntensityTable[0][1]);
}

TEST_F(Mpeg2Intensity, MixedBlockLongBandsSixAndSevenKeepTheShortPositions) {
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.mixed_block_flag = 1;
    for (int b = 0; b < 8; ++b) {
        a.scalefac(1).l[b] = 1;
    }
    a.scalefac(1).l[6] = 5;
    a.scalefac(1).l[7] = 5;
    for (int w = 0; w < 3; ++w) {
        for (int b = 0; b < 13; ++b) {
            a.scalefac(1).s[w][b] = 2;
        }
    }
    a.StereoProcess();
    ASSERT_EQ(bands.l[6], 36); // at 22.05 kHz long bands 6 and 7 cover lines 36-53
    for (int j = 0; j < 36; ++j) {
        ExpectPosition(j, 1);
    }
    for (int j = 36; j < 576; ++j) {
        ExpectPosition(j, 2);
    }
}

TEST_F(Mpeg2Intensity, MixedBlockWithShortContentLeavesTheLongPartAlone) {
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.mixed_block_flag = 1;
    for (int b = 0; b < 8; ++b) {
        a.scalefac(1).l[b] = 1;
    }
    a.dequantised(1)[3 * bands.s[4]] = 1.0; // window 0 of short band 4
    a.StereoProcess();
    for (int j = 0; j < 36; ++j) {
        EXPECT_EQ(a.stereoOut(0)[j], a.dequantised(0)[j]) << j;
        EXPECT_EQ(a.stereoOut(1)[j], a.dequantised(1)[j]) << j;
    }
}

} // namespace
