// The vector kernel of middle/side stereo: a plain loop over the granule's lines, which each
// width's entry point vectorises with its own registers. Each line gets the sum (or difference)
// and the product of the one-line form, so every width gives the same bits.
#include "decode/Kernels.h"
#include "decode/Lanes.h"
#include "decode/Layout.h"
#include "decode/Tables.h"

namespace mplay {
namespace {

MPLAY_INLINE void MiddleSide(const double* __restrict middle, const double* __restrict side,
                             double* __restrict left, double* __restrict right) {
    for (int j = 0; j < kGranuleLines; ++j) {
        left[j] = (middle[j] + side[j]) * kSqrtHalf;
        right[j] = (middle[j] - side[j]) * kSqrtHalf;
    }
}

void MiddleSidePortable(const double* middle, const double* side, double* left, double* right) {
    MiddleSide(middle, side, left, right);
}

#ifdef MPLAY_LANES_X86
__attribute__((target("avx2"))) void MiddleSideAvx2(const double* middle, const double* side,
                                                    double* left, double* right) {
    MiddleSide(middle, side, left, right);
}
__attribute__((target("avx512f"))) void MiddleSideAvx512(const double* middle, const double* side,
                                                         double* left, double* right) {
    MiddleSide(middle, side, left, right);
}
#endif

} // namespace

void SetStereoKernels(LaneKernels& kernels, int lanes) {
    kernels.middleSide = MiddleSidePortable;
#ifdef MPLAY_LANES_X86
    if (lanes == 4) {
        kernels.middleSide = MiddleSideAvx2;
    } else if (lanes == 8) {
        kernels.middleSide = MiddleSideAvx512;
    }
#else
    (void)lanes;
#endif
}

} // namespace mplay
