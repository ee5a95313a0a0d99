// Hybrid synthesis of one channel's granule.
//   in:  m_hybridWork, alias-reduced lines, subband-major (line 18 * sb + i)
//   out: m_hybridWork, 18 time samples per subband (sample 18 * sb + t), each the sum of the
//        first half of this granule's windowed IMDCT and the second half of the previous
//        granule's, which m_overlap[ch] carries. Scale as defined by the standard's IMDCT.
// Imdct is a factorised 36-point (or three 12-point) transform whose window and output factor
// share one stored multiplication; its constants are single-precision values.
#include "ImdctConstants.h"
#include "mplay/HybridLanes.h"
#include "mplay/LayerIIIDecoder.h"
#include "mplay/Tables.h"

namespace mplay {
namespace {

using namespace imdct;

struct NinePoint {
    double t[5];
    double u[4];
};

// Nine-point transform of x[0], x[2], ..., x[16] (every other value from x).
NinePoint NinePointTransform(const double* x) {
    const double x0 = x[0], x2 = x[2], x4 = x[4], x6 = x[6], x8 = x[8];
    const double x10 = x[10], x12 = x[12], x14 = x[14], x16 = x[16];
    NinePoint r;
    r.t[0] = 2 * x0 + x12 + c1 * x4 + c2 * x8 + c3 * x16;
    r.t[1] = 2 * x0 + x4 - x8 - 2 * x12 - x16;
    r.t[2] = 2 * x0 + x12 - c3 * x4 - c1 * x8 + c2 * x16;
    r.t[3] = 2 * x0 + x12 - c2 * x4 + c3 * x8 - c1 * x16;
    r.t[4] = x0 - x4 + x8 - x12 + x16;
    r.u[0] = d1 * x2 + r3 * x6 + d2 * x10 + d3 * x14;
    r.u[1] = r3 * (x2 - x10 - x14);
    r.u[2] = d2 * x2 - r3 * x6 - d3 * x10 + d1 * x14;
    r.u[3] = d3 * x2 - r3 * x6 + d1 * x10 - d2 * x14;
    return r;
}

void LongImdct(double* x, double* out, const double* window) {
    for (int i = 17; i >= 1; --i) {
        x[i] += x[i - 1];
    }
    for (int i = 17; i >= 3; i -= 2) {
        x[i] += x[i - 2];
    }
    const NinePoint even = NinePointTransform(x);
    NinePoint odd = NinePointTransform(x + 1);
    odd.t[4] *= kTwiddle[4];

    double f[18];
    for (int k = 0; k < 4; ++k) {
        const double ev = even.t[k] + even.u[k];
        const double od = (odd.t[k] + odd.u[k]) * kTwiddle[k];
        f[k] = ev + od;
        f[17 - k] = ev - od;
    }
    f[4] = even.t[4] + odd.t[4];
    f[13] = even.t[4] - odd.t[4];
    for (int k = 5; k < 9; ++k) {
        const int p = 8 - k;
        const double ev = even.t[p] - even.u[p];
        const double od = (odd.t[p] - odd.u[p]) * kTwiddle[k];
        f[k] = ev + od;
        f[17 - k] = ev - od;
    }

    for (int i = 0; i < 9; ++i) {
        out[i] = -f[9 + i] * window[i];
    }
    for (int i = 9; i < 27; ++i) {
        out[i] = f[26 - i] * window[i];
    }
    for (int i = 27; i < 36; ++i) {
        out[i] = f[i - 27] * window[i];
    }
}

void ShortImdct(const double* x, double* out) {
    for (int i = 0; i < 36; ++i) {
        out[i] = 0.0;
    }
    for (int j = 0; j < 3; ++j) {
        double y[6];
        for (int k = 0; k < 6; ++k) {
            y[k] = x[3 * k + j];
        }
        y[5] += y[4];
        y[4] += y[3];
        y[3] += y[2];
        y[2] += y[1];
        y[1] += y[0];
        y[5] += y[3];
        y[3] += y[1];

        double a[6];
        const double s = y[0] + 0.5 * y[4];
        a[1] = y[0] - y[4];
        a[0] = s + h * y[2];
        a[2] = s - h * y[2];
        const double s2 = y[1] + 0.5 * y[5];
        a[4] = y[1] - y[5];
        a[5] = s2 + h * y[3];
        a[3] = s2 - h * y[3];

        a[3] *= kShortOdd[0];
        a[4] *= kShortOdd[1];
        a[5] *= kShortOdd[2];

        for (int k = 0; k < 3; ++k) {
            const double lo = a[k];
            const double hi = a[5 - k];
            a[k] = lo + hi;
            a[5 - k] = lo - hi;
        }
        for (int k = 0; k < 6; ++k) {
            a[k] *= kShortTwiddle[k];
        }

        const double* w = kShortWindow;
        const double z[12] = {a[3] * w[0],  a[4] * w[1],  a[5] * w[2],  -a[5] * w[3],
                              -a[4] * w[4], -a[3] * w[5], -a[2] * w[5], -a[1] * w[4],
                              -a[0] * w[3], -a[0] * w[2], -a[1] * w[1], -a[2] * w[0]};
        for (int k = 0; k < 12; ++k) {
            out[6 * j + 6 + k] += z[k];
        }
    }
}

} // namespace

void Imdct(double* x, double* out, int blockType) {
    if (blockType == 2) {
        ShortImdct(x, out);
    } else {
        LongImdct(x, out, g_imdctWindow[blockType & 3]);
    }
}

void LayerIIIDecoder::Hybrid(int ch, int gr) {
    static const GranuleHybrid granule = ChosenLaneKernels().granule;
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    granule(m_hybridWork, m_overlap[ch], gi.block_type & 3,
            gi.window_switching_flag && gi.mixed_block_flag);
}

} // namespace mplay
