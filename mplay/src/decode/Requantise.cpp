// Requantisation of one granule and channel.
//   in:  m_quantised (signed integers, lines at and above m_nonzeroCount[ch] are 0), the granule's
//        side information and m_scalefac[ch]
//   out: m_dequantised[ch], kGranuleLines lines: sign(q) * |q|^(4/3) * 2^((global_gain - 210) / 4)
//        * 2^(-n/2), n from the line's scale factor, pre-emphasis and subblock gain. No further
//        scaling: full scale of the later stages is 1.0.
#include "decode/Debug.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace mplay {
namespace {

constexpr int kPowTableSize = 8192;
constexpr int kMaxScaleStep = 63;

// |q|^(4/3). Escapes with 13 linbits reach 8206, past the table; those few are computed exactly.
double PowFourThirds(int32_t q) {
    const uint32_t magnitude = q < 0 ? 0u - static_cast<uint32_t>(q) : static_cast<uint32_t>(q);
    if (magnitude < kPowTableSize) {
        return g_powTable[magnitude];
    }
    return std::pow(static_cast<double>(magnitude), 4.0 / 3.0);
}

// Every |q| a stream can give: 15 plus 13 linbits.
constexpr int kMaxMagnitude = 15 + 8191;

// sign(q) * PowFourThirds(q) at q + kMaxMagnitude, so that a line costs one load and one
// multiply. With a positive finite factor, (-p) * f is -(p * f) and (+0) * f is +0, so the
// product has the bits of the copysign below.
struct SignedPowTable {
    double entries[2 * kMaxMagnitude + 1];
    SignedPowTable() {
        for (int q = -kMaxMagnitude; q <= kMaxMagnitude; ++q) {
            const double p = PowFourThirds(q);
            entries[q + kMaxMagnitude] = q < 0 ? -p : p;
        }
    }
};
const SignedPowTable g_signedPow;

// 2^((g - 210) / 4) for every 8-bit global gain, by the pow call that other values still take.
struct GainTable {
    double entries[256];
    GainTable() {
        for (int g = 0; g < 256; ++g) {
            entries[g] = std::pow(2.0, (g - 210) * 0.25);
        }
    }
};
const GainTable g_gains;

double Gain(int globalGain) {
    if (globalGain >= 0 && globalGain < 256) {
        return g_gains.entries[globalGain];
    }
    return std::pow(2.0, (globalGain - 210) * 0.25);
}

// Legal streams keep step indices below 64 and scale factors below 16; anything larger can only
// come from a malformed stream and is held at the table's end.
double ScaleStep(int n) {
    return g_scaleStepTable[std::clamp(n, 0, kMaxScaleStep)];
}
int Scaled(int scalefac, int scale) {
    return std::clamp(scalefac, 0, kMaxScaleStep) << scale;
}

// The sign is copied rather than chosen: signs of audio are random, and a branch on each
// mispredicts half the time. A zero line gives +0.0 either way.
[[gnu::noinline]] void ScaleLinesReference(const int32_t* q, double* out, int begin, int end,
                                           double factor) {
    for (int j = begin; j < end; ++j) {
        out[j] = std::copysign(PowFourThirds(q[j]) * factor, static_cast<double>(q[j]));
    }
}

// withinTable: every line of the granule lies within the signed table.
[[gnu::always_inline]] inline void ScaleLines(const int32_t* q, double* out, int begin, int end,
                                              double factor, bool withinTable) {
    if (!withinTable || !(factor > 0.0 && factor <= std::numeric_limits<double>::max())) {
        ScaleLinesReference(q, out, begin, end, factor);
        return;
    }
    const double* table = g_signedPow.entries + kMaxMagnitude;
    for (int j = begin; j < end; ++j) {
        out[j] = table[q[j]] * factor;
    }
}

// q ^ (q >> 31) is |q| for q >= 0 and |q| - 1 below, so an OR of them all under 8192 clears every
// line in one cheap pass; only a granule with a large escape needs the exact bounds.
bool WithinSignedTable(const int32_t* q, int count) {
    uint32_t any = 0;
    for (int j = 0; j < count; ++j) {
        any |= static_cast<uint32_t>(q[j] ^ (q[j] >> 31));
    }
    if (any < kPowTableSize) {
        return true;
    }
    const auto [lowest, highest] = std::minmax_element(q, q + count);
    return *lowest >= -kMaxMagnitude && *highest <= kMaxMagnitude;
}

} // namespace

void LayerIIIDecoder::Requantise(int ch, int gr) {
    RequantiseLines(m_sideInfo[ch].granule[gr], m_scalefac[ch], g_sfBandTable[m_sampleRateIndex],
                    m_quantised, m_nonzeroCount[ch], m_dequantised[ch]);
}

void RequantiseLines(const GranuleInfo& gi, const ScaleFactors& sf, const SfBandIndex& bands,
                     const int32_t* q, int32_t nonzeroCount, double* out) {
    const int count = std::clamp(nonzeroCount, 0, kGranuleLines);
    const int scale = gi.scalefac_scale ? 1 : 0;

    const double gain = Gain(gi.global_gain);
    // Values past any escape can only come from a malformed stream; they take the exact path.
    const bool withinTable = WithinSignedTable(q, count);

    const bool shortBlock = IsShortBlock(gi);
    const bool mixed = shortBlock && gi.mixed_block_flag;
    // Lines below longEnd follow the long rule, the rest the short rule by window.
    const int longEnd = !shortBlock ? kGranuleLines : (mixed ? 36 : 0);

    for (int cb = 0; cb < 22 && bands.l[cb] < std::min(longEnd, count); ++cb) {
        const int pre = gi.preflag ? g_pretab[cb] : 0;
        const int end = std::min({bands.l[cb + 1], longEnd, count});
        ScaleLines(q, out, bands.l[cb], end, gain * ScaleStep(Scaled(sf.l[cb] + pre, scale)),
                   withinTable);
    }
    if (shortBlock) {
        MPLAY_ASSERT(!mixed || 3 * bands.s[3] == longEnd);
        for (int cb = mixed ? 3 : 0; cb < 13 && 3 * bands.s[cb] < count; ++cb) {
            const int width = bands.s[cb + 1] - bands.s[cb];
            for (int w = 0; w < 3; ++w) {
                const int begin = 3 * bands.s[cb] + w * width;
                const int n = 4 * (gi.subblock_gain[w] & 7) + Scaled(sf.s[w][cb], scale);
                ScaleLines(q, out, begin, std::min(begin + width, count), gain * ScaleStep(n),
                           withinTable);
            }
        }
    }
    std::fill(out + count, out + kGranuleLines, 0.0);
}

} // namespace mplay
