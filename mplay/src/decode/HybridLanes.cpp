// The vector kernels of alias reduction and hybrid synthesis. The IMDCT runs several subbands
// side by side, one to a vector lane, through the same transform code as Imdct (ImdctKernels.h);
// no multiply-add is fused, so every subband gets exactly the bits of Imdct at any width.
#include "decode/Kernels.h"

#include "decode/Debug.h"
#include "decode/ImdctKernels.h"
#include "decode/Lanes.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/Layout.h"
#include "decode/Tables.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace mplay {
namespace {

using namespace imdct;

// What the lanes past the last subband of a group read; they write to a sink, unused.
constexpr double kSpareLane[kSlots] = {};

// Values from, from + 1, ... of N subbands' transforms (raw(i, &value) gives value i of all N)
// into to[l][0..17], each plus carried[l][i] when Carried. N values at a time by transposing
// blocks; the two values past the last whole block move one by one.
template <int N, bool Carried, class Raw>
MPLAY_INLINE void StoreHalf(const Raw& raw, int from, double* const* to,
                            const double* const* carried) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
    constexpr int kBlocked = kSlots / N * N;
#pragma GCC unroll 18
    for (int i = 0; i < kBlocked; i += N) {
        V t[N];
#pragma GCC unroll 8
        for (int l = 0; l < N; ++l) {
            raw(from + i + l, t + l);
        }
        Transpose<N>(t);
        for (int l = 0; l < N; ++l) {
            if constexpr (Carried) {
                t[l] += *reinterpret_cast<const U*>(carried[l] + i);
            }
            *reinterpret_cast<U*>(to[l] + i) = t[l];
        }
    }
#pragma GCC unroll 2
    for (int i = kBlocked; i < kSlots; ++i) {
        V t;
        raw(from + i, &t);
        for (int l = 0; l < N; ++l) {
            to[l][i] = Carried ? t[l] + carried[l][i] : t[l];
        }
    }
}

// The first half of N subbands' transforms plus the carried overlap replaces their lines; the
// second half becomes the new overlap.
template <int N, class Raw>
MPLAY_INLINE void StoreLanes(const Raw& raw, double* const* y, double* const* o,
                             const double* const* oIn) {
    StoreHalf<N, true>(raw, 0, y, oIn);
    StoreHalf<N, false>(raw, kSlots, o, nullptr);
}

// N subbands at a time. A subband's lines move into a lane N values at a time by transposing
// blocks, the two values past the last whole block one by one. A long block's outputs are
// windowed as they are stored, so that its 36 windowed values never go through memory whole.
template <int N>
MPLAY_INLINE void TransformLanes(double* lines, double* overlap, const int32_t* subbands, int count,
                                 int blockType) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
    constexpr int kBlocked = kSlots / N * N;
    for (int first = 0; first < count; first += N) {
        const int n = std::min(N, count - first);
        double sink[36];
        const double* yIn[N];
        const double* oIn[N];
        double* y[N];
        double* o[N];
        for (int l = 0; l < N; ++l) {
            const int sb = l < n ? subbands[first + l] : -1;
            MPLAY_ASSERT(sb < kSubbands);
            y[l] = sb >= 0 ? lines + kSlots * sb : sink;
            o[l] = sb >= 0 ? overlap + kSlots * sb : sink + kSlots;
            yIn[l] = sb >= 0 ? y[l] : kSpareLane;
            oIn[l] = sb >= 0 ? o[l] : kSpareLane;
        }
        V x[kSlots];
        for (int k = 0; k < kBlocked; k += N) {
            for (int l = 0; l < N; ++l) {
                x[k + l] = *reinterpret_cast<const U*>(yIn[l] + k);
            }
            Transpose<N>(x + k);
        }
        for (int k = kBlocked; k < kSlots; ++k) {
            for (int l = 0; l < N; ++l) {
                x[k][l] = yIn[l][k];
            }
        }
        if (blockType == 2) {
            V raw[36];
            ShortImdct(x, raw);
            StoreLanes<N>([&](int i, V* to) { *to = raw[i]; }, y, o, oIn);
        } else {
            V f[18];
            LongTransform(x, f);
            const double* window = g_imdctWindow[blockType & 3];
            StoreLanes<N>([&](int i, V* to) { LongWindowed(f, window, i, to); }, y, o, oIn);
        }
    }
}

// The transform of 18 lines of +0.0 for each block type, made by Imdct itself, so that a silent
// subband (most of the top ones) can take it without computing it again.
struct SilentTransforms {
    double raw[4][36];
    SilentTransforms() {
        for (int blockType = 0; blockType < 4; ++blockType) {
            double lines[kSlots] = {};
            Imdct(lines, raw[blockType], blockType);
        }
    }
};
const SilentTransforms g_silent;

// Bit for bit +0.0, so that a -0.0 line (whose transform may differ in the sign of a zero)
// still goes through the transform.
MPLAY_INLINE bool IsSilent(const double* lines) {
    uint64_t bits = 0;
    for (int i = 0; i < kSlots; ++i) {
        uint64_t v;
        std::memcpy(&v, lines + i, sizeof v);
        bits |= v;
    }
    return bits == 0;
}

// Loud subbands are transformed together, by block type: the two lowest of a mixed block are
// long blocks with the normal window, and come first in the list.
template <int N>
MPLAY_INLINE void GranuleLanes(double* lines, double* overlap, int blockType, bool mixed) {
    int32_t loud[kSubbands];
    int loudCount = 0;
    int mixedLongCount = 0;
    for (int sb = 0; sb < kSubbands; ++sb) {
        const bool longOfMixed = mixed && sb < 2;
        double* y = lines + kSlots * sb;
        double* o = overlap + kSlots * sb;
        if (!IsSilent(y)) {
            loud[loudCount++] = sb;
            mixedLongCount += longOfMixed;
            continue;
        }
        const double* raw = g_silent.raw[longOfMixed ? 0 : blockType & 3];
        for (int i = 0; i < kSlots; ++i) {
            y[i] = raw[i] + o[i];
            o[i] = raw[kSlots + i];
        }
    }
    TransformLanes<N>(lines, overlap, loud, mixedLongCount, 0);
    TransformLanes<N>(lines, overlap, loud + mixedLongCount, loudCount - mixedLongCount, blockType);
}

// The eight butterflies of each boundary, N pairs to a vector. Line 18 sb + 10 + m, below the
// boundary, pairs with line 18 sb + 25 - m above it, so one side of each pair is turned around.
// Each line gets the products and the sum (or difference) of the one-pair form, in that order.
template <int N> MPLAY_INLINE void ButterflyLanes(double* x, int boundaries) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
    constexpr int C = 8 / N;
    V cs[C], ca[C], csDown[C], caDown[C];
    for (int c = 0; c < C; ++c) {
        for (int l = 0; l < N; ++l) {
            cs[c][l] = g_aliasCs[N * c + l];
            ca[c][l] = g_aliasCa[N * c + l];
            csDown[c][l] = g_aliasCs[7 - N * c - l];
            caDown[c][l] = g_aliasCa[7 - N * c - l];
        }
    }
    for (int sb = 0; sb < boundaries; ++sb) {
        double* lower = x + kSlots * sb + 10;
        double* upper = x + kSlots * sb + kSlots;
        V a[C], b[C];
        for (int c = 0; c < C; ++c) {
            a[c] = *reinterpret_cast<const U*>(lower + N * c);
            b[c] = *reinterpret_cast<const U*>(upper + N * c);
        }
        V newLower[C], newUpper[C];
        for (int c = 0; c < C; ++c) {
            V aUp, bDown;
            for (int l = 0; l < N; ++l) {
                aUp[l] = a[C - 1 - c][N - 1 - l];
                bDown[l] = b[C - 1 - c][N - 1 - l];
            }
            newLower[c] = a[c] * csDown[c] - bDown * caDown[c];
            newUpper[c] = b[c] * cs[c] + aUp * ca[c];
        }
        for (int c = 0; c < C; ++c) {
            *reinterpret_cast<U*>(lower + N * c) = newLower[c];
            *reinterpret_cast<U*>(upper + N * c) = newUpper[c];
        }
    }
}

void TransformPortable(double* lines, double* overlap, const int32_t* subbands, int count,
                       int blockType) {
    TransformLanes<2>(lines, overlap, subbands, count, blockType);
}
void ButterfliesPortable(double* x, int boundaries) {
    ButterflyLanes<2>(x, boundaries);
}
void GranulePortable(double* lines, double* overlap, int blockType, bool mixed) {
    GranuleLanes<2>(lines, overlap, blockType, mixed);
}

#ifdef MPLAY_LANES_X86
__attribute__((target("avx2"))) void
TransformAvx2(double* lines, double* overlap, const int32_t* subbands, int count, int blockType) {
    TransformLanes<4>(lines, overlap, subbands, count, blockType);
}
__attribute__((target("avx2"))) void ButterfliesAvx2(double* x, int boundaries) {
    ButterflyLanes<4>(x, boundaries);
}
__attribute__((target("avx2"))) void GranuleAvx2(double* lines, double* overlap, int blockType,
                                                 bool mixed) {
    GranuleLanes<4>(lines, overlap, blockType, mixed);
}
__attribute__((target("avx512f"))) void
TransformAvx512(double* lines, double* overlap, const int32_t* subbands, int count, int blockType) {
    TransformLanes<8>(lines, overlap, subbands, count, blockType);
}
__attribute__((target("avx512f"))) void ButterfliesAvx512(double* x, int boundaries) {
    ButterflyLanes<8>(x, boundaries);
}
__attribute__((target("avx512f"))) void GranuleAvx512(double* lines, double* overlap, int blockType,
                                                      bool mixed) {
    GranuleLanes<8>(lines, overlap, blockType, mixed);
}
#endif

} // namespace

void SetHybridKernels(LaneKernels& kernels, int lanes) {
    kernels.transform = TransformPortable;
    kernels.butterflies = ButterfliesPortable;
    kernels.granule = GranulePortable;
#ifdef MPLAY_LANES_X86
    if (lanes == 4) {
        kernels.transform = TransformAvx2;
        kernels.butterflies = ButterfliesAvx2;
        kernels.granule = GranuleAvx2;
    } else if (lanes == 8) {
        kernels.transform = TransformAvx512;
        kernels.butterflies = ButterfliesAvx512;
        kernels.granule = GranuleAvx512;
    }
#else
    (void)lanes;
#endif
}

} // namespace mplay
