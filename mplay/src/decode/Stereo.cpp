// Stereo processing of one granule.
//   in:  m_dequantised[0], m_dequantised[1]; channel 0's block layout, channel 1's scale factors
//        (the intensity positions) and intensity scale
//   out: m_stereoOut[0], m_stereoOut[1]; m_stereoWork holds the MPEG-2 intensity gains per line
// Middle/side scales by sqrt(1/2) at single precision; intensity lines are built from the left
// input alone. The scale of the spectrum is unchanged.
#include "decode/Debug.h"
#include "decode/Kernels.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

#include <algorithm>
#include <cstring>

namespace mplay {
namespace {

constexpr int kNotIntensity = 7;

// Highest line in [begin, end) whose value is not 0, or begin - 1.
int HighestNonzero(const double* x, int begin, int end) {
    for (int j = end - 1; j >= begin; --j) {
        if (x[j] != 0.0) {
            return j;
        }
    }
    return begin - 1;
}

int FirstLongBandAbove(const SfBandIndex& bands, int line) {
    int b = 0;
    while (b < 22 && bands.l[b] <= line) {
        ++b;
    }
    return b;
}

// Long bands from above the right channel's last non-zero line up to band 20 take the scale
// factor as position; the lines of band 21 on follow band 20.
void LongPositions(const SfBandIndex& bands, const ScaleFactors& sf, const double* right,
                   int* position) {
    for (int b = FirstLongBandAbove(bands, HighestNonzero(right, 0, kGranuleLines)); b <= 20; ++b) {
        std::fill(position + bands.l[b], position + bands.l[b + 1], sf.l[b]);
    }
    std::fill(position + bands.l[21], position + kGranuleLines, position[bands.l[20]]);
}

// Short bands per window, scanning down from band 12 to lowestBand; returns the largest first
// intensity band over the three windows.
int ShortPositions(const SfBandIndex& bands, const ScaleFactors& sf, const double* right,
                   int lowestBand, int* position) {
    int maxBand = lowestBand;
    for (int w = 0; w < 3; ++w) {
        int k = lowestBand - 1;
        for (int b = 12; b >= lowestBand; --b) {
            const int width = bands.s[b + 1] - bands.s[b];
            const int begin = 3 * bands.s[b] + w * width;
            if (HighestNonzero(right, begin, begin + width) >= begin) {
                k = b;
                break;
            }
        }
        for (int b = k + 1; b <= 11; ++b) {
            const int width = bands.s[b + 1] - bands.s[b];
            const int begin = 3 * bands.s[b] + w * width;
            std::fill(position + begin, position + begin + width, sf.s[w][b]);
        }
        const int width11 = bands.s[12] - bands.s[11];
        const int width12 = bands.s[13] - bands.s[12];
        const int begin12 = 3 * bands.s[12] + w * width12;
        std::fill(position + begin12, position + begin12 + width12,
                  position[3 * bands.s[11] + w * width11]);
        maxBand = std::max(maxBand, k + 1);
    }
    return maxBand;
}

// The long part of a mixed block is lines 0-35. At the lower sampling frequencies long bands 6
// and 7 start at or above line 36, inside the short part; they are left to the short part's
// positions so that the two parts never overwrite each other.
void MixedLongPositions(const SfBandIndex& bands, const ScaleFactors& sf, const double* right,
                        int* position) {
    constexpr int kLongPartEnd = 36;
    for (int b = FirstLongBandAbove(bands, HighestNonzero(right, 0, 54)); b <= 7; ++b) {
        const int end = std::min(bands.l[b + 1], kLongPartEnd);
        for (int j = bands.l[b]; j < end; ++j) {
            position[j] = sf.l[b];
        }
    }
}

// The lines that are not intensity-coded: left and right as they are, or from middle and side.
void MiddleSide(const double* __restrict left, const double* __restrict right, bool msStereo,
                double* __restrict outLeft, double* __restrict outRight) {
    if (!msStereo) {
        std::memcpy(outLeft, left, kGranuleLines * sizeof(double));
        std::memcpy(outRight, right, kGranuleLines * sizeof(double));
        return;
    }
    static const MiddleSideLines middleSide = ChosenLaneKernels().middleSide;
    middleSide(left, right, outLeft, outRight);
}

} // namespace

void LayerIIIDecoder::LsfIntensityGains(int position, int scaleSelect, int line) {
    MPLAY_ASSERT(line >= 0 && line < kGranuleLines);
    const double* gains = g_lsfIntensityTable[scaleSelect & 1];
    // Legal positions stay below 32; the clamp only keeps a malformed one inside the table.
    const int p = std::clamp(position, 0, 61);
    double left = 1.0;
    double right = 1.0;
    if (p & 1) {
        left = gains[(p + 1) / 2];
    } else if (p != 0) {
        right = gains[p / 2];
    }
    m_stereoWork[0][line] = left;
    m_stereoWork[1][line] = right;
}

int32_t LayerIIIDecoder::StereoProcess(int gr) {
    if (m_channels == 1) {
        std::memcpy(m_stereoOut[0], m_dequantised[0], sizeof m_stereoOut[0]);
        return 0;
    }
    const bool msStereo = m_mode == 1 && (m_modeExtension & 2);
    const bool intensityStereo = m_mode == 1 && (m_modeExtension & 1);
    const bool lsf = m_id == 0;
    const GranuleInfo& gi = m_sideInfo[0].granule[gr];
    // The intensity scale travels with the positions, in the right channel's scalefac_compress.
    const int scaleSelect = m_sideInfo[1].granule[gr].scalefac_compress & 1;
    const double* left = m_dequantised[0];
    const double* right = m_dequantised[1];

    if (!intensityStereo) {
        MiddleSide(left, right, msStereo, m_stereoOut[0], m_stereoOut[1]);
        return 0;
    }

    int position[kGranuleLines];
    std::fill(position, position + kGranuleLines, kNotIntensity);
    {
        const SfBandIndex& bands = g_sfBandTable[m_sampleRateIndex];
        const ScaleFactors& sf = m_scalefac[1];
        const bool shortBlock = IsShortBlock(gi);
        if (!shortBlock) {
            LongPositions(bands, sf, right, position);
        } else if (!gi.mixed_block_flag) {
            ShortPositions(bands, sf, right, 0, position);
        } else if (ShortPositions(bands, sf, right, 3, position) <= 3) {
            MixedLongPositions(bands, sf, right, position);
        }
    }

    for (int j = 0; j < kGranuleLines; ++j) {
        const double a = left[j];
        const double b = right[j];
        const int p = position[j];
        // MPEG-1 positions 7-15 are not intensity-coded: 7 is the standard's marker, and
        // tan(p * pi / 12) for 8-15 would give negative ratios and, at 9, a division by zero.
        const bool intensity = p != kNotIntensity && (lsf || (p >= 0 && p < kNotIntensity));
        if (!intensity) {
            m_stereoOut[0][j] = msStereo ? (a + b) * kSqrtHalf : a;
            m_stereoOut[1][j] = msStereo ? (a - b) * kSqrtHalf : b;
        } else if (lsf) {
            LsfIntensityGains(p, scaleSelect, j);
            m_stereoOut[0][j] = a * m_stereoWork[0][j];
            m_stereoOut[1][j] = a * m_stereoWork[1][j];
        } else {
            const double ratio = g_isRatioTable[p];
            const double r = a / (1.0 + ratio);
            m_stereoOut[0][j] = r * ratio;
            m_stereoOut[1][j] = r;
        }
    }
    return 0;
}

} // namespace mplay
