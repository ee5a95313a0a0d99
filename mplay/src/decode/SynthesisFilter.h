#pragma once
#include "decode/Kernels.h"
#include "decode/Layout.h"
#include "mplay/PcmCallback.h"

#include <cmath>
#include <cstdint>

namespace mplay {

// Polyphase synthesis filter bank for one output channel: 32 subband samples of one time slot in,
// 32 PCM values (scaled by 32767) out, converted and stored at buffer[2 * position + channel].
// A whole granule can go through at once; it gives the same values as its slots one by one.
class SynthesisFilter {
  public:
    static constexpr int kGranuleSlots = kSlots;
    static constexpr int kGranuleValues = kGranuleLines;
    static constexpr int kRingValues = 2 * 16 * 32;

    // kernels: the vector width to run; every width gives the same bits.
    explicit SynthesisFilter(int32_t channel, const LaneKernels& kernels = ChosenLaneKernels());

    void Reset();
    // Called for every sample of every channel: defined here so that the decoder inlines it.
    double InputSample(double sample, int32_t subband) {
        m_samples[subband & 31] = sample * m_eq[subband & 31];
        return std::fabs(sample);
    }
    int32_t CalculatePcmSamples(int16_t* buffer, int32_t& written, int32_t& position,
                                PcmCallback callback);
    static int16_t ClipSample(double value);

    // The 18 time slots of one granule, held by subband (entry 18 * subband + slot), as if each
    // slot went through InputSample and CalculatePcmSamples: Output() then holds the 576 values
    // (scaled by 32767, entry 32 * slot + j) that a callback would have been given. levels, if
    // not null, gets each input's magnitude added, per subband in slot order.
    void SynthesiseGranule(const double* work, double* levels);
    const double* Output() const { return m_output; }
    // Hands values[0..count) to the callback in order; its results go to out[2 * n].
    static void Deliver(const double* values, int32_t count, int16_t* out, int32_t channel,
                        PcmCallback callback);
    // ClipSample of left[n] and right[n] into out[2 * n] and out[2 * n + 1].
    static void ConvertPairs(const double* left, const double* right, int32_t count, int16_t* out,
                             const LaneKernels& kernels = ChosenLaneKernels());

  private:
    friend struct SynthesisFilterAccess; // tests

    // Stores one slot's two new columns (64 values) and windows them into out (32 values).
    void NextColumn(const double* column, double* out);

    // 16 columns (time slots) of 32 rows: entry 32 * column + row, each column kept again 16
    // columns on, so that the taps of any slot read columns in a row without wrapping round.
    // Aligned to cache lines, so that no vector load of the windowing straddles two.
    alignas(64) double m_v1[kRingValues];
    alignas(64) double m_v2[kRingValues];
    double m_samples[32];
    const LaneKernels* m_kernels;
    double* m_actualV;
    int32_t m_writePos;
    int32_t m_channel;
    double m_eq[40];
    bool m_eqFlat; // every factor of m_eq is 1.0
    alignas(64) double m_output[kGranuleValues];
};

} // namespace mplay
