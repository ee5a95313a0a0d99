// Reordering and alias reduction of one channel's granule.
//   in:  m_stereoOut[ch], short-block lines ordered band by band and window by window
//   out: m_hybridWork, subband-major (line 18 * sb + i), short-block lines interleaved by window;
//        then the alias butterflies between neighbouring subbands of long-block lines, in place.
// Scale unchanged.
#include "mplay/HybridLanes.h"
#include "mplay/LayerIIIDecoder.h"
#include "mplay/Tables.h"

#include <cstring>

namespace mplay {

void LayerIIIDecoder::Reorder(int ch, int gr) {
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    const double* in = m_stereoOut[ch];
    double* out = m_hybridWork;
    if (!gi.window_switching_flag || gi.block_type != 2) {
        std::memcpy(out, in, sizeof m_hybridWork);
        return;
    }
    if (!gi.mixed_block_flag) {
        const int32_t* table = g_reorderTable[m_sampleRateIndex];
        for (int i = 0; i < 576; ++i) {
            out[i] = in[table[i]];
        }
        return;
    }
    // Mixed: the two long subbands stay, short bands 3-12 are interleaved as in a pure short block.
    const SfBandIndex& bands = g_sfBandTable[m_sampleRateIndex];
    std::memcpy(out, in, 36 * sizeof(double));
    for (int b = 3; b < 13; ++b) {
        const int base = 3 * bands.s[b];
        const int width = bands.s[b + 1] - bands.s[b];
        for (int w = 0; w < 3; ++w) {
            for (int f = 0; f < width; ++f) {
                out[base + 3 * f + w] = in[base + w * width + f];
            }
        }
    }
}

void LayerIIIDecoder::AntiAlias(int ch, int gr) {
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    const bool shortBlock = gi.window_switching_flag && gi.block_type == 2;
    if (shortBlock && !gi.mixed_block_flag) {
        return;
    }
    // A mixed block has only its two long subbands to reduce: one boundary.
    static const AliasButterflies butterflies = ChosenLaneKernels().butterflies;
    butterflies(m_hybridWork, shortBlock ? 1 : 31);
}

} // namespace mplay
