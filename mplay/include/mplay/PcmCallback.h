#pragma once
#include <cstdint>

namespace mplay {

// Converts one PCM value (sample != nullptr, levels == nullptr, n = output channel) to the 16-bit
// value to store, or receives the per-granule level report (sample == nullptr, levels -> 32 sums
// of subband magnitudes, n = 32). Only the low 16 bits of the result are used.
using PcmCallback = int32_t (*)(double* sample, double* levels, int32_t n);

// The 16-bit rule: saturates at both ends (a NaN counts as below the range) and truncates toward
// zero. Written as selects on doubles and one conversion, so that the compiler can do many side
// by side.
inline int32_t ClipToInt16(double value) {
    value = value > 32767.0 ? 32767.0 : value;
    value = value >= -32768.0 ? value : -32768.0;
    return static_cast<int32_t>(value);
}

// The decoder's own converter: ClipToInt16 of every sample; a level report (null sample)
// returns 0. The decoder recognises it and converts whole granules at once instead of calling it.
int32_t SampleToPcm(double* sample, double* levels, int32_t n);

} // namespace mplay
