#pragma once
// Vectors of doubles for the kernels written once for every width (Kernels.h picks the width at
// run time), and the inlining they need: each width's entry point compiles the shared templates
// with its own instruction set only if they are inlined into it.
#include <cstdint>

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

} // namespace mplay
