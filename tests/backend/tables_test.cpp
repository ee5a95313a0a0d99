// Each formula table rebuilt independently (long double where the exact value matters) and
// compared with the stored one at its stated precision, and a few entries against values worked
// out by hand, in case the rebuild shares a mistake with the generator.
#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

using namespace mplay;

namespace {

double Single(long double x) {
    return static_cast<double>(static_cast<float>(x));
}
constexpr long double kPi = std::numbers::pi_v<long double>;

TEST(FormulaTables, PowTableIsFourThirdsToSixDecimals) {
    for (int n = 0; n < 8192; ++n) {
        const long double exact = std::pow(static_cast<long double>(n), 4.0L / 3.0L);
        // Rounded to six decimals: within half a unit of the sixth decimal, and on that grid.
        ASSERT_LE(std::fabs(g_powTable[n] - exact), 5.0e-7L + 1e-10L) << "n = " << n;
        const double scaled = g_powTable[n] * 1e6;
        ASSERT_NEAR(scaled, std::round(scaled), 1e-3) << "n = " << n;
    }
    EXPECT_EQ(g_powTable[8], 16.0);
    EXPECT_EQ(g_powTable[27], 81.0);
}

TEST(FormulaTables, ScaleStepsUseSingleSqrtHalf) {
    const double sqrtHalf = Single(std::sqrt(0.5L));
    EXPECT_EQ(sqrtHalf, 0.7071067690849304);
    for (int n = 0; n < 64; ++n) {
        const double even = std::ldexp(1.0, -(n / 2));
        EXPECT_EQ(g_scaleStepTable[n], (n & 1) ? even * sqrtHalf : even) << "n = " << n;
    }
}

TEST(FormulaTables, IntensityRatiosAsListed) {
    const double listed[16] = {0.0,         0.26794919, 0.57735027,    1.0,
                               1.73205081,  3.73205081, 99999999000.0, -3.73205081,
                               -1.73205081, -1.0,       -0.57735027,   -0.26794919,
                               0.0,         0.26794919, 0.57735027,    1.0};
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(g_isRatioTable[k], listed[k]) << "k = " << k;
        if (k % 12 != 6) {
            EXPECT_NEAR(g_isRatioTable[k], std::tan((k % 12) * kPi / 12), 5e-9) << "k = " << k;
        }
    }
}

TEST(FormulaTables, LsfIntensityGainsAtSinglePrecision) {
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(g_lsfIntensityTable[0][k], Single(std::pow(2.0L, -k / 4.0L))) << k;
        EXPECT_EQ(g_lsfIntensityTable[1][k], Single(std::pow(2.0L, -k / 2.0L))) << k;
    }
}

TEST(FormulaTables, AliasCoefficientsAtSinglePrecision) {
    const long double c[8] = {-0.6L,   -0.535L, -0.33L,   -0.185L,
                              -0.095L, -0.041L, -0.0142L, -0.0037L};
    for (int i = 0; i < 8; ++i) {
        const long double norm = std::sqrt(1.0L + c[i] * c[i]);
        EXPECT_EQ(g_aliasCs[i], Single(1.0L / norm)) << i;
        EXPECT_EQ(g_aliasCa[i], Single(c[i] / norm)) << i;
    }
}

TEST(FormulaTables, PretabAsPrinted) {
    const int32_t printed[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};
    for (int b = 0; b < 22; ++b) {
        EXPECT_EQ(g_pretab[b], printed[b]) << b;
    }
}

TEST(FormulaTables, ReorderTableInterleavesShortWindows) {
    for (int row = 0; row < 6; ++row) {
        const int32_t* s = g_sfBandTable[row].s;
        std::set<int32_t> seen;
        for (int b = 0; b < 13; ++b) {
            const int width = s[b + 1] - s[b];
            for (int w = 0; w < 3; ++w) {
                for (int f = 0; f < width; ++f) {
                    ASSERT_EQ(g_reorderTable[row][3 * s[b] + 3 * f + w], 3 * s[b] + w * width + f)
                        << "row " << row << " band " << b;
                }
            }
        }
        for (int i = 0; i < 576; ++i) {
            seen.insert(g_reorderTable[row][i]);
        }
        EXPECT_EQ(seen.size(), 576u) << "row " << row << " is not a permutation";
    }
    // 44.1 kHz (row 3): band 0 is four lines wide per window.
    EXPECT_EQ(g_reorderTable[3][1], 4);
    EXPECT_EQ(g_reorderTable[3][3], 1);
}

TEST(FormulaTables, LineTablesSplitSubbandAndSlot) {
    for (int j = 0; j < 576; ++j) {
        EXPECT_EQ(g_lineSubband[j] * 18 + g_lineSlot[j], j);
        EXPECT_LT(g_lineSlot[j], 18);
    }
}

long double Window(int bt, int i) {
    const long double longSin = std::sin(kPi / 36 * (i + 0.5L));
    switch (bt) {
    case 0:
        return longSin;
    case 1:
        return i < 18 ? longSin : i < 24 ? 1 : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5L)) : 0;
    case 3:
        return i < 6 ? 0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5L)) : i < 18 ? 1 : longSin;
    }
    return 0;
}

long double OutputFactor(int i) {
    if (i < 18) {
        const int m = std::min(i, 17 - i);
        return m == 4 ? -1 / (2 * std::cos(27 * kPi / 72))
                      : -1 / (4 * std::cos((2 * m + 19) * kPi / 72));
    }
    const int m = std::min(i, 53 - i);
    return m == 22 ? -1 / (2 * std::cos(9 * kPi / 72))
                   : -1 / (4 * std::cos((53 - 2 * m) * kPi / 72));
}

TEST(FormulaTables, ImdctWindowIsWindowTimesOutputFactor) {
    for (int bt : {0, 1, 3}) {
        for (int i = 0; i < 36; ++i) {
            const long double exact = Window(bt, i) * OutputFactor(i);
            EXPECT_NEAR(g_imdctWindow[bt][i], exact, 5e-7L * std::fabs(exact))
                << "block type " << bt << " i " << i;
            EXPECT_EQ(g_imdctWindow[bt][i], Single(g_imdctWindow[bt][i]));
        }
    }
    const double byHand[5] = {-0.016141215, -0.05360318, -0.10070714, -0.16280818, -0.5};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(g_imdctWindow[0][i], byHand[i], 5e-9);
    }
}

// The synthesis window's first coefficients as the ISO standard prints them.
TEST(FormulaTables, SynthesisWindowBeginsAsTheStandardPrintsIt) {
    const double printed[10] = {0.0,         -0.000442505, 0.003250122,  -0.007003784, 0.031082153,
                                -0.07862854, 0.100311279,  -0.572036743, 1.144989014,  0.572036743};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(g_synthWindow[k], printed[k]) << k;
    }
}

// Near pi/2 the cosine loses digits to cancellation, so double and long double differ in the
// last few bits.
TEST(FormulaTables, DctCoefficientsAreHalfSecants) {
    auto halfSecant = [](int num, int den) { return 1 / (2 * std::cos(num * kPi / den)); };
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(g_dctCoefficients.cos64[i], halfSecant(2 * i + 1, 64),
                    1e-14 * g_dctCoefficients.cos64[i]);
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(g_dctCoefficients.cos32[i], halfSecant(2 * i + 1, 32),
                    1e-14 * g_dctCoefficients.cos32[i]);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(g_dctCoefficients.cos16[i], halfSecant(2 * i + 1, 16),
                    1e-14 * g_dctCoefficients.cos16[i]);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(g_dctCoefficients.cos8[i], halfSecant(2 * i + 1, 8),
                    1e-14 * g_dctCoefficients.cos8[i]);
    }
    EXPECT_NEAR(g_dctCoefficients.cos4, std::sqrt(0.5), 1e-15);
}

} // namespace
