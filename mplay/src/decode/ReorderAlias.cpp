// Reordering and alias reduction of one channel's granule.
//   in:  m_stereoOut[ch], short-block lines ordered band by band and window by window
//   out: m_hybridWork, subband-major (line 18 * sb + i), short-block lines interleaved by window;
//        then the alias butterflies between neighbouring subbands of long-block lines, in place.
// Scale unchanged.
#include "decode/Kernels.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

#include <cstring>

namespace mplay {

namespace {

// Short bands from firstBand on: the band's three windows, one after the other in `in`, are
// interleaved line by line. No index table: each window is read in order.
void InterleaveWindows(const double* in, double* out, const SfBandIndex& bands, int firstBand) {
    for (int b = firstBand; b < 13; ++b) {
        const int base = 3 * bands.s[b];
        const int width = bands.s[b + 1] - bands.s[b];
        const double* w0 = in + base;
        const double* w1 = w0 + width;
        const double* w2 = w1 + width;
        double* o = out + base;
        for (int f = 0; f < width; ++f) {
            o[3 * f] = w0[f];
            o[3 * f + 1] = w1[f];
            o[3 * f + 2] = w2[f];
        }
    }
}

} // namespace

void LayerIIIDecoder::Reorder(int ch, int gr) {
    ReorderLines(m_sideInfo[ch].granule[gr], g_sfBandTable[m_sampleRateIndex], m_stereoOut[ch],
                 m_hybridWork);
}

void LayerIIIDecoder::AntiAlias(int ch, int gr) {
    AntiAliasLines(m_sideInfo[ch].granule[gr], m_hybridWork);
}

void ReorderLines(const GranuleInfo& gi, const SfBandIndex& bands, const double* in, double* out) {
    if (!IsShortBlock(gi)) {
        std::memcpy(out, in, kGranuleLines * sizeof(double));
        return;
    }
    if (!gi.mixed_block_flag) {
        InterleaveWindows(in, out, bands, 0);
        return;
    }
    // Mixed: the two long subbands stay, short bands 3-12 are interleaved as in a pure short block.
    std::memcpy(out, in, 36 * sizeof(double));
    InterleaveWindows(in, out, bands, 3);
}

void AntiAliasLines(const GranuleInfo& gi, double* lines) {
    const bool shortBlock = IsShortBlock(gi);
    if (shortBlock && !gi.mixed_block_flag) {
        return;
    }
    // A mixed block has only its two long subbands to reduce: one boundary.
    static const AliasButterflies butterflies = ChosenLaneKernels().butterflies;
    butterflies(lines, shortBlock ? 1 : 31);
}

} // namespace mplay
