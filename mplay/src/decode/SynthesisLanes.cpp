// The vector kernels of the synthesis filter bank: the cosine transform of many time slots side
// by side, one to a lane; the windowing of a slot's 32 output sums side by side over contiguous
// columns; and the conversion to 16 bits. Each sum adds its products in the same order and no
// multiply-add is fused, so every width gives the bits of one value at a time.
#include "decode/Kernels.h"
#include "decode/Lanes.h"
#include "decode/SynthesisDct.h"
#include "decode/SynthesisFilter.h"
#include "decode/Tables.h"

#include <array>
#include <bit>
#include <cstring>

#ifdef MPLAY_LANES_X86
#include <immintrin.h>
#endif

namespace mplay {
namespace {

// The window by tap: entry 32 * k + j is coefficient k of output sample j.
alignas(64) const std::array<double, 512> g_windowByTap = [] {
    std::array<double, 512> w{};
    for (int j = 0; j < 32; ++j) {
        for (int k = 0; k < 16; ++k) {
            w[32 * k + j] = g_synthWindow[16 * j + k];
        }
    }
    return w;
}();

// Stores a slot's two new columns as column p and p + 16 of both buffers: the first half in a,
// the second in b. Unrolled, so that GCC does not make calls to memcpy of the copies.
template <int N>
MPLAY_INLINE void StoreColumn(const double* __restrict column, double* __restrict a,
                              double* __restrict b, int p) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
#pragma GCC unroll 16
    for (int j = 0; j < 32; j += N) {
        const V first = *reinterpret_cast<const U*>(column + j);
        const V second = *reinterpret_cast<const U*>(column + 32 + j);
        *reinterpret_cast<U*>(a + 32 * p + j) = first;
        *reinterpret_cast<U*>(a + 32 * (p + 16) + j) = first;
        *reinterpret_cast<U*>(b + 32 * p + j) = second;
        *reinterpret_cast<U*>(b + 32 * (p + 16) + j) = second;
    }
}

// Tap k of every output sample reads column p - k of a, which is also column p + 16 - k: the taps
// walk the buffer backwards from column p + 16 without wrapping. Tap 0 reads the new column where
// it came from, so it need not wait for the stores just made. Written as plain loops over the 32
// sums: each width's entry point vectorises them with its own registers. Block sums go through
// the taps together: at two doubles a vector, all 32 would want every register there is, and
// their spills cost more than walking the taps twice.
template <int N, int Block>
MPLAY_INLINE void StoreAndWindow(const double* __restrict column, double* __restrict a,
                                 double* __restrict b, int p, double* __restrict out) {
    StoreColumn<N>(column, a, b, p);
    const double* const taps = a + 32 * (p + 16);
    for (int first = 0; first < 32; first += Block) {
        // Kept in registers across the taps.
        double acc[Block] = {};
        for (int k = 0; k < 16; ++k) {
            const double* old = (k == 0 ? column : taps - 32 * k) + first;
            const double* d = g_windowByTap.data() + 32 * k + first;
            for (int j = 0; j < Block; ++j) {
                acc[j] += old[j] * d[j];
            }
        }
        for (int j = 0; j < Block; ++j) {
            out[first + j] = 32767.0 * acc[j];
        }
    }
}

// Pins x to a register at this point, so that the optimiser keeps the operations before it
// before it; no instruction comes of it. Without it, GCC emits each windowing sum's 16 dependent
// additions one after another, and the processor is left waiting on their latency. (Clang
// schedules them itself, and refuses wide vectors for the constraint.)
template <class T> MPLAY_INLINE void InRegister(T& x) {
#if defined(MPLAY_LANES_X86) && !defined(__clang__)
    asm("" : "+v"(x));
#else
    (void)x;
#endif
}

// Output lanes j.. of slots First..First + Count - 1 of a granule. Slot t's tap k reads half
// k % 2 of slot t - k's columns: those of this granule from columns, the 15 before it from the
// ring, slot s < 0 at offset 32 * s from even (its first half when s is even) or odd. Going
// through the slots that are read from, newest first, each column value is loaded once for all
// the sums that take it, and every sum still adds its taps from k = 0 up.
template <int N, int First, int Count>
MPLAY_INLINE void WindowSlots(const double* __restrict columns, const double* __restrict even,
                              const double* __restrict odd, int j, double* __restrict out) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
    V acc[Count] = {};
    const double* const window = g_windowByTap.data() + j;
#pragma GCC unroll 64
    for (int s = First + Count - 1; s >= First - 15; --s) {
        const double* firstHalf = s >= 0 ? columns + 64 * s : (s % 2 == 0 ? even : odd) + 32 * s;
        const double* secondHalf =
            s >= 0 ? columns + 64 * s + 32 : (s % 2 == 0 ? odd : even) + 32 * s;
        const V h[2] = {*reinterpret_cast<const U*>(firstHalf + j),
                        *reinterpret_cast<const U*>(secondHalf + j)};
#pragma GCC unroll 32
        for (int t = First; t < First + Count; ++t) {
            const int k = t - s;
            if (k >= 0 && k < 16) {
                acc[t - First] += h[k % 2] * *reinterpret_cast<const U*>(window + 32 * k);
            }
        }
        for (V& a : acc) {
            InRegister(a);
        }
    }
    for (int t = 0; t < Count; ++t) {
        *reinterpret_cast<U*>(out + 32 * (First + t) + j) = 32767.0 * acc[t];
    }
}

// A granule's 18 slots (their columns 64 values each) windowed into out (32 values a slot, times
// 32767), then their columns stored into the ring as StoreColumn would have slot by slot from
// column p on, a taking the first half of the even slots. The first two are left out: the last
// two land on them. Against slot by slot this loads a third less.
template <int N>
MPLAY_INLINE void WindowGranule(const double* __restrict columns, double* __restrict a,
                                double* __restrict b, int p, double* __restrict out) {
    const double* const even = a + 32 * (p + 16);
    const double* const odd = b + 32 * (p + 16);
    // Half a granule at a time: 9 sums, two column halves and a product fit 16 registers. More
    // sums spill, fewer load each column value more often; both were slower at every width.
    // Each half goes over all lanes before the other starts: at the same lanes the two would
    // share loads that the compiler then keeps in registers, which spill.
    constexpr int kHalf = SynthesisFilter::kGranuleSlots / 2;
    for (int j = 0; j < 32; j += N) {
        WindowSlots<N, 0, kHalf>(columns, even, odd, j, out);
    }
    for (int j = 0; j < 32; j += N) {
        WindowSlots<N, kHalf, kHalf>(columns, even, odd, j, out);
    }
    for (int t = 2; t < SynthesisFilter::kGranuleSlots; ++t) {
        const int at = (p + t) & 15;
        if (t % 2 == 0) {
            StoreColumn<N>(columns + 64 * t, a, b, at);
        } else {
            StoreColumn<N>(columns + 64 * t, b, a, at);
        }
    }
}

// The transform of N slots from first on. eq null: every factor is 1.0, whose product changes no
// bit. The slots' columns leave their lanes N values at a time, by transposing blocks.
template <int N>
MPLAY_INLINE void TransformSlots(const double* work, const double* eq, int first, double* columns) {
    using V = typename Lanes<N>::V;
    using U = typename Lanes<N>::U;
    V x[32];
    for (int sb = 0; sb < 32; ++sb) {
        V s;
        std::memcpy(&s, work + SynthesisFilter::kGranuleSlots * sb + first, sizeof s);
        x[sb] = eq ? s * eq[sb] : s;
    }
    V v[32];
    synth::Dct32(x, v);
    // Each block of N column values is spread straight from v as it is transposed, so that the
    // spread columns never go through memory whole.
#pragma GCC unroll 64
    for (int i = 0; i < 64; i += N) {
        V block[N];
#pragma GCC unroll 8
        for (int l = 0; l < N; ++l) {
            synth::SpreadEntry(v, i + l, block + l);
        }
        Transpose<N>(block);
        for (int l = 0; l < N; ++l) {
            *reinterpret_cast<U*>(columns + 64 * (first + l) + i) = block[l];
        }
    }
}

// N slots at a time as far as they go, then pairs: 18 is 2 modulo 4 and 8.
template <int N>
MPLAY_INLINE void TransformAll(const double* work, const double* eq, double* columns) {
    int first = 0;
    for (; first + N <= SynthesisFilter::kGranuleSlots; first += N) {
        TransformSlots<N>(work, eq, first, columns);
    }
    for (; first < SynthesisFilter::kGranuleSlots; first += 2) {
        TransformSlots<2>(work, eq, first, columns);
    }
}

MPLAY_INLINE void ClipSlot(const double* __restrict values, int16_t* __restrict out) {
    int32_t pcm[32];
    for (int j = 0; j < 32; ++j) {
        pcm[j] = ClipToInt16(values[j]);
    }
    for (int j = 0; j < 32; ++j) {
        out[2 * j] = static_cast<int16_t>(pcm[j]);
    }
}

// One pair of 16-bit values as the 32-bit word that holds them in memory.
inline uint32_t Pair(int32_t left, int32_t right) {
    const auto l = static_cast<uint16_t>(left);
    const auto r = static_cast<uint16_t>(right);
    if constexpr (std::endian::native == std::endian::little) {
        return l | static_cast<uint32_t>(r) << 16;
    } else {
        return r | static_cast<uint32_t>(l) << 16;
    }
}

// Both channels at once, each pair stored as one 32-bit word; N lanes as far as they go, with
// ClipToInt16's selects and conversion lane by lane.
template <int N>
MPLAY_INLINE void ClipPairs(const double* left, const double* right, int32_t count, int16_t* out) {
    using V = typename Lanes<N>::V;
    using Ints = typename Lanes<N>::Ints;
    using Words = typename Lanes<N>::Words;
    const V high = V{} + 32767.0;
    const V low = V{} - 32768.0;
    int32_t n = 0;
    for (; n + N <= count; n += N) {
        V l;
        V r;
        std::memcpy(&l, left + n, sizeof l);
        std::memcpy(&r, right + n, sizeof r);
        l = l > high ? high : l;
        l = l >= low ? l : low;
        r = r > high ? high : r;
        r = r >= low ? r : low;
        const Words l16 = reinterpret_cast<Words>(__builtin_convertvector(l, Ints)) & 0xFFFFu;
        const Words r16 = reinterpret_cast<Words>(__builtin_convertvector(r, Ints)) & 0xFFFFu;
        const Words pairs =
            std::endian::native == std::endian::little ? l16 | r16 << 16 : r16 | l16 << 16;
        std::memcpy(out + 2 * n, &pairs, sizeof pairs);
    }
    for (; n < count; ++n) {
        const uint32_t pair = Pair(ClipToInt16(left[n]), ClipToInt16(right[n]));
        std::memcpy(out + 2 * n, &pair, sizeof pair);
    }
}

// One entry point per width and kernel.
#define MPLAY_SYNTHESIS_KERNELS(TARGET, SUFFIX, N)                                                 \
    TARGET void TransformGranule##SUFFIX(const double* work, const double* eq, double* columns) {  \
        TransformAll<N>(work, eq, columns);                                                        \
    }                                                                                              \
    TARGET void StoreAndWindow##SUFFIX(const double* column, double* a, double* b, int p,          \
                                       double* out) {                                              \
        StoreAndWindow<N, (N == 2 ? 16 : 32)>(column, a, b, p, out);                               \
    }                                                                                              \
    TARGET void WindowGranule##SUFFIX(const double* columns, double* a, double* b, int p,          \
                                      double* out) {                                               \
        WindowGranule<N>(columns, a, b, p, out);                                                   \
    }                                                                                              \
    TARGET void ClipSlot##SUFFIX(const double* values, int16_t* out) {                             \
        ClipSlot(values, out);                                                                     \
    }

MPLAY_SYNTHESIS_KERNELS(, Portable, 2)
#ifdef MPLAY_LANES_X86
MPLAY_SYNTHESIS_KERNELS(__attribute__((target("avx2"))), Avx2, 4)
MPLAY_SYNTHESIS_KERNELS(__attribute__((target("avx512f"))), Avx512, 8)
#endif

#ifdef MPLAY_LANES_X86
// The pair clip with the processor's own min and max, which GCC does not make of the selects:
// min(32767, v) gives v unless 32767 < v, max(v, -32768) gives -32768 unless v > -32768 (so
// also for NaN), exactly ClipToInt16's selects. After them the conversion is exact, the
// saturating pack to 16 bits changes nothing, and interleaving the packed halves makes the pairs.
// Eight pairs a step; the rest as ClipToInt16 does it.
inline void ClipPairsRest(const double* left, const double* right, int32_t n, int32_t count,
                          int16_t* out) {
    for (; n < count; ++n) {
        const uint32_t pair = Pair(ClipToInt16(left[n]), ClipToInt16(right[n]));
        std::memcpy(out + 2 * n, &pair, sizeof pair);
    }
}

MPLAY_INLINE void PackPairs(__m128i left4a, __m128i left4b, __m128i right4a, __m128i right4b,
                            int16_t* out) {
    const __m128i l = _mm_packs_epi32(left4a, left4b);
    const __m128i r = _mm_packs_epi32(right4a, right4b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(l, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi16(l, r));
}

void ClipPairsPortable(const double* left, const double* right, int32_t count, int16_t* out) {
    const __m128d high = _mm_set1_pd(32767.0);
    const __m128d low = _mm_set1_pd(-32768.0);
    const auto four = [&](const double* p) {
        const __m128d a = _mm_max_pd(_mm_min_pd(high, _mm_loadu_pd(p)), low);
        const __m128d b = _mm_max_pd(_mm_min_pd(high, _mm_loadu_pd(p + 2)), low);
        return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
    };
    int32_t n = 0;
    for (; n + 8 <= count; n += 8) {
        PackPairs(four(left + n), four(left + n + 4), four(right + n), four(right + n + 4),
                  out + 2 * n);
    }
    ClipPairsRest(left, right, n, count, out);
}

__attribute__((target("avx2"))) void ClipPairsAvx2(const double* left, const double* right,
                                                   int32_t count, int16_t* out) {
    const __m256d high = _mm256_set1_pd(32767.0);
    const __m256d low = _mm256_set1_pd(-32768.0);
    int32_t n = 0;
    for (; n + 8 <= count; n += 8) {
        __m128i v[4];
        const double* from[4] = {left + n, left + n + 4, right + n, right + n + 4};
        for (int i = 0; i < 4; ++i) {
            v[i] = _mm256_cvttpd_epi32(
                _mm256_max_pd(_mm256_min_pd(high, _mm256_loadu_pd(from[i])), low));
        }
        PackPairs(v[0], v[1], v[2], v[3], out + 2 * n);
    }
    ClipPairsRest(left, right, n, count, out);
}

// The masked forms with every lane set: the plain ones start from an undefined register, which
// GCC 12 warns of.
__attribute__((target("avx512f"))) void ClipPairsAvx512(const double* left, const double* right,
                                                        int32_t count, int16_t* out) {
    const __m512d high = _mm512_set1_pd(32767.0);
    const __m512d low = _mm512_set1_pd(-32768.0);
    const __mmask8 all = 0xFF;
    int32_t n = 0;
    for (; n + 8 <= count; n += 8) {
        __m256i v[2];
        const double* from[2] = {left + n, right + n};
        for (int i = 0; i < 2; ++i) {
            const __m512d x = _mm512_loadu_pd(from[i]);
            v[i] = _mm512_maskz_cvttpd_epi32(
                all, _mm512_maskz_max_pd(all, _mm512_maskz_min_pd(all, high, x), low));
        }
        PackPairs(_mm256_castsi256_si128(v[0]), _mm256_extracti128_si256(v[0], 1),
                  _mm256_castsi256_si128(v[1]), _mm256_extracti128_si256(v[1], 1), out + 2 * n);
    }
    ClipPairsRest(left, right, n, count, out);
}
#else
void ClipPairsPortable(const double* left, const double* right, int32_t count, int16_t* out) {
    ClipPairs<2>(left, right, count, out);
}
#endif

} // namespace

void SetSynthesisKernels(LaneKernels& kernels, int lanes) {
    kernels.slotTransform = TransformGranulePortable;
    kernels.slotWindow = StoreAndWindowPortable;
    kernels.granuleWindow = WindowGranulePortable;
    kernels.slotClip = ClipSlotPortable;
    kernels.pairClip = ClipPairsPortable;
#ifdef MPLAY_LANES_X86
    if (lanes == 4) {
        kernels.slotTransform = TransformGranuleAvx2;
        kernels.slotWindow = StoreAndWindowAvx2;
        kernels.granuleWindow = WindowGranuleAvx2;
        kernels.slotClip = ClipSlotAvx2;
        kernels.pairClip = ClipPairsAvx2;
    } else if (lanes == 8) {
        kernels.slotTransform = TransformGranuleAvx512;
        kernels.slotWindow = StoreAndWindowAvx512;
        kernels.granuleWindow = WindowGranuleAvx512;
        kernels.slotClip = ClipSlotAvx512;
        kernels.pairClip = ClipPairsAvx512;
    }
#else
    (void)lanes;
#endif
}

} // namespace mplay
