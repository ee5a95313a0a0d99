#pragma once
#include "mplay/PcmCallback.h"

#include <cmath>
#include <cstdint>

namespace mplay {

// Polyphase synthesis filter bank for one output channel: 32 subband samples of one time slot in,
// 32 PCM values (scaled by 32767) out, converted and stored at buffer[2 * position + channel].
class SynthesisFilter {
  public:
    explicit SynthesisFilter(int32_t channel);

    void Reset();
    // Called for every sample of every channel: defined here so that the decoder inlines it.
    double InputSample(double sample, int32_t subband) {
        m_samples[subband & 31] = sample * m_eq[subband & 31];
        return std::fabs(sample);
    }
    int32_t CalculatePcmSamples(int16_t* buffer, int32_t& written, int32_t& position,
                                PcmCallback callback);
    static int16_t ClipSample(double value);

  private:
    friend struct SynthesisFilterAccess; // tests

    void ComputeNewV();

    double m_v1[512]; // 16 columns (time slots) of 32 rows: entry 32 * column + row
    double m_v2[512];
    double m_samples[32];
    double* m_actualV;
    int32_t m_writePos;
    int32_t m_channel;
    double m_eq[40];
};

} // namespace mplay
