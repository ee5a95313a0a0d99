// Hybrid synthesis of one channel's granule.
//   in:  m_hybridWork, alias-reduced lines, subband-major (line 18 * sb + i)
//   out: m_hybridWork, 18 time samples per subband (sample 18 * sb + t), each the sum of the
//        first half of this granule's windowed IMDCT and the second half of the previous
//        granule's, which m_overlap[ch] carries. Scale as defined by the standard's IMDCT.
// Imdct is a factorised 36-point (or three 12-point) transform whose window and output factor
// share one stored multiplication; its constants are single-precision values.
#include "decode/ImdctKernels.h"
#include "decode/Kernels.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

namespace mplay {

void Imdct(double* x, double* out, int blockType) {
    if (blockType == 2) {
        imdct::ShortImdct(x, out);
    } else {
        imdct::LongImdct(x, out, g_imdctWindow[blockType & 3]);
    }
}

void LayerIIIDecoder::Hybrid(int ch, int gr) {
    static const GranuleHybrid granule = ChosenLaneKernels().granule;
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    granule(m_hybridWork, m_overlap[ch], gi.block_type & 3,
            gi.window_switching_flag && gi.mixed_block_flag);
}

} // namespace mplay
