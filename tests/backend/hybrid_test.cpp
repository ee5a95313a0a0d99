// The factorised IMDCT against the defining sum with the standard's windows, the zero regions of
// each block type, and the overlap carried between granules.
#include "decoder_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

using namespace mplay;

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

long double LongWindow(int bt, int i) {
    const long double longSin = std::sin(kPi / 36 * (i + 0.5L));
    switch (bt) {
    case 1:
        return i < 18 ? longSin : i < 24 ? 1 : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5L)) : 0;
    case 3:
        return i < 6 ? 0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5L)) : i < 18 ? 1 : longSin;
    default:
        return longSin;
    }
}

// The standard's IMDCT and windowing, computed directly.
void DirectImdct(const double* x, long double* out, int bt) {
    if (bt != 2) {
        for (int i = 0; i < 36; ++i) {
            long double sum = 0;
            for (int k = 0; k < 18; ++k) {
                sum += x[k] * std::cos(kPi / 72 * (2 * i + 1 + 18) * (2 * k + 1));
            }
            out[i] = sum * LongWindow(bt, i);
        }
        return;
    }
    std::fill(out, out + 36, 0.0L);
    for (int w = 0; w < 3; ++w) {
        for (int i = 0; i < 12; ++i) {
            long double sum = 0;
            for (int k = 0; k < 6; ++k) {
                sum += x[3 * k + w] * std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * k + 1));
            }
            out[6 * w + 6 + i] += sum * std::sin(kPi / 12 * (i + 0.5L));
        }
    }
}

// Largest error relative to the output's largest magnitude. The single-precision constants of
// the factorisation leave up to about 4e-7; the factorisation itself is exact to 1e-15.
double RelativeError(const double* fast, const long double* direct) {
    long double peak = 0, err = 0;
    for (int i = 0; i < 36; ++i) {
        peak = std::max(peak, std::fabs(direct[i]));
        err = std::max(err, std::fabs(fast[i] - direct[i]));
    }
    return static_cast<double>(err / peak);
}

TEST(Imdct, EverySingleLineMatchesTheDefiningSum) {
    for (int bt = 0; bt < 4; ++bt) {
        for (int k = 0; k < 18; ++k) {
            double x[18] = {};
            x[k] = 1.0;
            long double direct[36];
            DirectImdct(x, direct, bt);
            double fast[36];
            Imdct(x, fast, bt);
            EXPECT_LT(RelativeError(fast, direct), 5e-7) << "block type " << bt << " line " << k;
        }
    }
}

TEST(Imdct, MixedInputsMatchTheDefiningSum) {
    for (int bt = 0; bt < 4; ++bt) {
        double x[18];
        for (int k = 0; k < 18; ++k) {
            x[k] = std::sin(1.3 * k * (bt + 1)) * 1000.0;
        }
        long double direct[36];
        DirectImdct(x, direct, bt);
        double fast[36];
        Imdct(x, fast, bt);
        EXPECT_LT(RelativeError(fast, direct), 5e-7) << "block type " << bt;
    }
}

TEST(Imdct, BlockTypesHaveTheirZeroRegions) {
    for (int bt = 0; bt < 4; ++bt) {
        double x[18];
        for (int k = 0; k < 18; ++k) {
            x[k] = 1.0 + k;
        }
        double out[36];
        Imdct(x, out, bt);
        for (int i = 0; i < 6; ++i) {
            if (bt == 1 || bt == 2) {
                EXPECT_EQ(out[30 + i], 0.0) << "block type " << bt << " i " << 30 + i;
            }
            if (bt == 3 || bt == 2) {
                EXPECT_EQ(out[i], 0.0) << "block type " << bt << " i " << i;
            }
        }
    }
}

TEST(Hybrid, SilenceStaysSilent) {
    LayerIIIDecoderAccess a;
    for (int bt = 0; bt < 4; ++bt) {
        a.granule(0).window_switching_flag = bt != 0;
        a.granule(0).block_type = bt;
        std::fill(a.hybridWork(), a.hybridWork() + 576, 0.0);
        a.Hybrid(0);
        for (int j = 0; j < 576; ++j) {
            ASSERT_EQ(a.hybridWork()[j], 0.0);
            ASSERT_EQ(a.overlap(0)[j], 0.0);
        }
    }
}

TEST(Hybrid, SecondGranuleAddsTheFirstOnesSecondHalf) {
    LayerIIIDecoderAccess a;
    double lines[576];
    for (int j = 0; j < 576; ++j) {
        lines[j] = std::cos(0.01 * j * j);
    }
    std::copy(lines, lines + 576, a.hybridWork());
    a.Hybrid(0);
    std::copy(lines, lines + 576, a.hybridWork());
    a.Hybrid(0, 1);
    for (int sb = 0; sb < 32; ++sb) {
        double x[18];
        std::copy(lines + 18 * sb, lines + 18 * sb + 18, x);
        double raw[36];
        Imdct(x, raw, 0);
        for (int i = 0; i < 18; ++i) {
            ASSERT_NEAR(a.hybridWork()[18 * sb + i], raw[i] + raw[18 + i], 1e-12);
            ASSERT_NEAR(a.overlap(0)[18 * sb + i], raw[18 + i], 1e-12);
        }
    }
    // The other channel's overlap is untouched.
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(a.overlap(1)[j], 0.0);
    }
}

TEST(Hybrid, MixedBlockUsesTheLongWindowInSubbands0And1) {
    LayerIIIDecoderAccess a;
    GranuleInfo& gi = a.granule(0);
    gi.window_switching_flag = 1;
    gi.block_type = 2;
    gi.mixed_block_flag = 1;
    double lines[576];
    for (int j = 0; j < 576; ++j) {
        lines[j] = 1.0 + (j % 18);
    }
    std::copy(lines, lines + 576, a.hybridWork());
    a.Hybrid(0);
    for (int sb = 0; sb < 32; ++sb) {
        double x[18];
        std::copy(lines + 18 * sb, lines + 18 * sb + 18, x);
        double raw[36];
        Imdct(x, raw, sb < 2 ? 0 : 2);
        for (int i = 0; i < 18; ++i) {
            ASSERT_EQ(a.hybridWork()[18 * sb + i], raw[i]) << sb << " " << i;
        }
    }
}

// Silent subbands take a stored transform; loud, silent and -0.0 subbands side by side, over
// granules of every block type, must give exactly the bits of the transform done each time,
// overlap included.
TEST(Hybrid, SilentSubbandsGiveTheBitsOfTheTransform) {
    LayerIIIDecoderAccess a;
    double overlap[576] = {};
    for (int granule = 0; granule < 8; ++granule) {
        const int bt = granule % 4;
        a.granule(0).window_switching_flag = bt != 0;
        a.granule(0).block_type = bt;
        double lines[576];
        for (int j = 0; j < 576; ++j) {
            const int sb = j / 18;
            const bool silent = (sb + granule) % 3 == 0;
            lines[j] = silent ? 0.0 : std::sin(0.37 * j + granule);
            if (sb == 31 - granule) {
                lines[j] = -0.0;
            }
        }
        std::copy(lines, lines + 576, a.hybridWork());
        a.Hybrid(0);
        for (int sb = 0; sb < 32; ++sb) {
            double x[18];
            std::copy(lines + 18 * sb, lines + 18 * sb + 18, x);
            double raw[36];
            Imdct(x, raw, bt);
            for (int i = 0; i < 18; ++i) {
                const int j = 18 * sb + i;
                const double expected = raw[i] + overlap[j];
                overlap[j] = raw[18 + i];
                ASSERT_EQ(std::bit_cast<uint64_t>(a.hybridWork()[j]),
                          std::bit_cast<uint64_t>(expected))
                    << "granule " << granule << " line " << j;
                ASSERT_EQ(std::bit_cast<uint64_t>(a.overlap(0)[j]),
                          std::bit_cast<uint64_t>(overlap[j]))
                    << "granule " << granule << " line " << j;
            }
        }
    }
}

} // namespace
