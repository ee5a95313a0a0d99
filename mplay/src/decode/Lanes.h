#pragma once
// Vectors of doubles for the kernels written once for every width (Kernels.h picks the width at
// run time), and the inlining they need: each width's entry point compiles the shared templates
// with its own instruction set only if they are inlined into it.
#include <cstddef>
#include <cstdint>
#include <utility>

#define MPLAY_INLINE [[gnu::always_inline]] inline

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MPLAY_LANES_X86 1
#endif

namespace mplay {

// N values side by side: V and Ints in registers; U loads and stores a V at the address of any
// double.
template <int N> struct Lanes {
    typedef double V __attribute__((vector_size(8 * N)));
    typedef double U __attribute__((vector_size(8 * N), aligned(8), may_alias));
    typedef int32_t Ints __attribute__((vector_size(4 * N)));
    typedef uint32_t Words __attribute__((vector_size(4 * N)));
};

// One stage of an N x N transpose: rows a and b exchange their blocks of S values.
template <int N, int S, std::size_t... P>
MPLAY_INLINE void TransposeStage(typename Lanes<N>::V* a, typename Lanes<N>::V* b,
                                 std::index_sequence<P...>) {
    const typename Lanes<N>::V x = *a, y = *b;
    *a = __builtin_shufflevector(x, y, ((P & S) ? N + P - S : P)...);
    *b = __builtin_shufflevector(x, y, ((P & S) ? N + P : P + S)...);
}

// Rows r[0..N-1] become the columns they were.
template <int N, int S = 1> MPLAY_INLINE void Transpose(typename Lanes<N>::V* r) {
    for (int i = 0; i < N; ++i) {
        if ((i & S) == 0) {
            TransposeStage<N, S>(r + i, r + i + S, std::make_index_sequence<N>{});
        }
    }
    if constexpr (2 * S < N) {
        Transpose<N, 2 * S>(r);
    }
}

} // namespace mplay
