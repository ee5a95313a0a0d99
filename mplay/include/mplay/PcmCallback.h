#pragma once
#include <cstdint>

namespace mplay {

// Converts one PCM value (sample != nullptr, levels == nullptr, n = output channel) to the 16-bit
// value to store, or receives the per-granule level report (sample == nullptr, levels -> 32 sums
// of subband magnitudes, n = 32). Only the low 16 bits of the result are used.
using PcmCallback = int32_t (*)(double* sample, double* levels, int32_t n);

} // namespace mplay
