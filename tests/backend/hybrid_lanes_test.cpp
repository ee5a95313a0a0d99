// The vector kernels at every width this processor runs, against the one-at-a-time forms: the
// same bits for every line they are given, and no other line touched.
#include "decode/Kernels.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using namespace mplay;

namespace {

// Ordinary, tiny, huge, subnormal, signed-zero and integer values, mixed within a subband.
double HostileValue(std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    switch (rng() % 8) {
    case 0:
        return 0.0;
    case 1:
        return -0.0;
    case 2:
        return unit(rng) * 1e-310;
    case 3:
        return unit(rng) * 1e150;
    case 4:
        return static_cast<double>(static_cast<int>(rng() % 20001) - 10000);
    case 5:
        return unit(rng) * 1e-30;
    default:
        return unit(rng) * 32768.0;
    }
}

void ReferenceTransform(double* lines, double* overlap, const std::vector<int32_t>& subbands,
                        int blockType) {
    for (int32_t sb : subbands) {
        double x[18];
        std::copy(lines + 18 * sb, lines + 18 * sb + 18, x);
        double raw[36];
        Imdct(x, raw, blockType);
        for (int i = 0; i < 18; ++i) {
            lines[18 * sb + i] = raw[i] + overlap[18 * sb + i];
            overlap[18 * sb + i] = raw[18 + i];
        }
    }
}

void ExpectSameBits(const double* got, const double* want, const std::string& context) {
    for (int j = 0; j < 576; ++j) {
        ASSERT_EQ(std::bit_cast<uint64_t>(got[j]), std::bit_cast<uint64_t>(want[j]))
            << context << ": line " << j;
    }
}

std::string Context(const char* what, const char* variant, int blockType, size_t count) {
    return std::string(what) + ", " + variant + ", block type " + std::to_string(blockType) + ", " +
           std::to_string(count) + " subbands";
}

TEST(HybridLanes, EveryWidthGivesTheBitsOfImdctForAnySetOfSubbands) {
    std::mt19937 rng(20240611);
    for (const LaneKernels& variant : LaneKernelVariants()) {
        for (int blockType = 0; blockType < 4; ++blockType) {
            for (size_t count = 0; count <= 32; ++count) {
                std::vector<int32_t> subbands(32);
                std::iota(subbands.begin(), subbands.end(), 0);
                std::shuffle(subbands.begin(), subbands.end(), rng);
                subbands.resize(count);
                double lines[576], overlap[576];
                for (int j = 0; j < 576; ++j) {
                    lines[j] = HostileValue(rng);
                    overlap[j] = HostileValue(rng);
                }
                double wantLines[576], wantOverlap[576];
                std::copy(lines, lines + 576, wantLines);
                std::copy(overlap, overlap + 576, wantOverlap);
                ReferenceTransform(wantLines, wantOverlap, subbands, blockType);
                variant.transform(lines, overlap, subbands.data(), static_cast<int>(count),
                                  blockType);
                ExpectSameBits(lines, wantLines, Context("line", variant.name, blockType, count));
                ExpectSameBits(overlap, wantOverlap,
                               Context("overlap", variant.name, blockType, count));
            }
        }
    }
}

// A subband that is one impulse, or -0.0 throughout, has zero lanes beside it in a group.
TEST(HybridLanes, ImpulsesAndNegativeZerosBesideUnusedLanes) {
    for (const LaneKernels& variant : LaneKernelVariants()) {
        for (int blockType = 0; blockType < 4; ++blockType) {
            for (int k = 0; k < 19; ++k) {
                double lines[576], overlap[576];
                std::fill(lines, lines + 576, 0.0);
                std::fill(overlap, overlap + 576, -0.0);
                for (int i = 0; i < 18; ++i) {
                    lines[18 * 5 + i] = k == 18 ? -0.0 : (i == k ? -1.0 : 0.0);
                }
                double wantLines[576], wantOverlap[576];
                std::copy(lines, lines + 576, wantLines);
                std::copy(overlap, overlap + 576, wantOverlap);
                const std::vector<int32_t> subbands = {5};
                ReferenceTransform(wantLines, wantOverlap, subbands, blockType);
                variant.transform(lines, overlap, subbands.data(), 1, blockType);
                ExpectSameBits(lines, wantLines, Context("line", variant.name, blockType, 1));
                ExpectSameBits(overlap, wantOverlap,
                               Context("overlap", variant.name, blockType, 1));
            }
        }
    }
}

// Whole granules: silent, -0.0 and loud subbands side by side, every block type with and without
// the mixed flag, the overlap carried from granule to granule.
TEST(HybridLanes, EveryWidthGivesTheBitsOfImdctForWholeGranules) {
    std::mt19937 rng(5);
    for (const LaneKernels& variant : LaneKernelVariants()) {
        double overlap[576] = {}, wantOverlap[576] = {};
        for (int granule = 0; granule < 64; ++granule) {
            const int blockType = granule % 4;
            const bool mixed = (granule / 4) % 2 == 1;
            double lines[576];
            for (int sb = 0; sb < 32; ++sb) {
                const uint32_t kind = rng() % 4;
                const int negativeZero = static_cast<int>(rng() % 18);
                for (int i = 0; i < 18; ++i) {
                    double& v = lines[18 * sb + i];
                    if (kind == 3) {
                        v = HostileValue(rng);
                    } else {
                        v = kind == 2 || (kind == 1 && i == negativeZero) ? -0.0 : 0.0;
                    }
                }
            }
            double wantLines[576];
            std::copy(lines, lines + 576, wantLines);
            std::vector<int32_t> low = {0, 1}, rest;
            for (int32_t sb = mixed ? 2 : 0; sb < 32; ++sb) {
                rest.push_back(sb);
            }
            if (mixed) {
                ReferenceTransform(wantLines, wantOverlap, low, 0);
            }
            ReferenceTransform(wantLines, wantOverlap, rest, blockType);
            variant.granule(lines, overlap, blockType, mixed);
            const std::string context =
                std::string(variant.name) + ", granule " + std::to_string(granule);
            ExpectSameBits(lines, wantLines, context + " lines");
            ExpectSameBits(overlap, wantOverlap, context + " overlap");
        }
    }
}

// The alias butterflies one pair at a time, as the decoder first did them.
void ReferenceButterflies(double* x, int boundaries) {
    for (int sb = 0; sb < boundaries; ++sb) {
        double* lower = x + 18 * sb + 17;
        double* upper = x + 18 * sb + 18;
        for (int i = 0; i < 8; ++i) {
            const double a = lower[-i];
            const double b = upper[i];
            lower[-i] = a * g_aliasCs[i] - b * g_aliasCa[i];
            upper[i] = b * g_aliasCs[i] + a * g_aliasCa[i];
        }
    }
}

TEST(HybridLanes, EveryWidthGivesTheBitsOfTheAliasButterflies) {
    std::mt19937 rng(99);
    for (const LaneKernels& variant : LaneKernelVariants()) {
        for (int boundaries = 0; boundaries <= 31; ++boundaries) {
            double lines[576];
            for (double& v : lines) {
                v = HostileValue(rng);
            }
            double want[576];
            std::copy(lines, lines + 576, want);
            ReferenceButterflies(want, boundaries);
            variant.butterflies(lines, boundaries);
            ExpectSameBits(lines, want,
                           std::string(variant.name) + ", " + std::to_string(boundaries) +
                               " boundaries");
        }
    }
}

TEST(HybridLanes, EveryWidthGivesTheBitsOfMiddleSide) {
    std::mt19937 rng(5);
    for (const LaneKernels& variant : LaneKernelVariants()) {
        double middle[576], side[576], want[2][576];
        for (int j = 0; j < 576; ++j) {
            middle[j] = HostileValue(rng);
            side[j] = j % 7 == 0 ? middle[j] : HostileValue(rng); // some differences exactly 0
            want[0][j] = (middle[j] + side[j]) * kSqrtHalf;
            want[1][j] = (middle[j] - side[j]) * kSqrtHalf;
        }
        double left[576], right[576];
        variant.middleSide(middle, side, left, right);
        ExpectSameBits(left, want[0], std::string(variant.name) + ", left");
        ExpectSameBits(right, want[1], std::string(variant.name) + ", right");
    }
}

TEST(HybridLanes, TheDecoderTakesTheWidestWidth) {
    const auto& variants = LaneKernelVariants();
    ASSERT_FALSE(variants.empty());
    EXPECT_STREQ(variants.front().name, "portable");
    EXPECT_EQ(&ChosenLaneKernels(), &variants.back());
}

} // namespace
