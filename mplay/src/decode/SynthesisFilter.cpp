// Polyphase synthesis filter bank of one output channel.
//   in:  32 subband samples of one time slot (InputSample), full scale 1.0, or the 18 slots of
//        a granule at once (SynthesiseGranule)
//   out: 32 PCM values per CalculatePcmSamples, multiplied by 32767 and converted by the
//        callback (or ClipSample) into buffer[2 * position + channel]; 576 such values per
//        granule, before conversion
// The 1024-value V shift register of the standard is kept as two buffers of 16 columns of 32
// rows, written at a rotating column, so nothing moves per time slot; each column is stored a
// second time 16 columns on, so that a slot's taps never wrap round the buffer. Each column is
// contiguous (entry 32 * column + row) and the window is regrouped to match, so that the 32
// output sums of a time slot run side by side over contiguous data and vectorise
// (SynthesisLanes.cpp); each sum still adds its 16 products in the same order, so the results are
// those of one sum at a time.
#include "decode/SynthesisFilter.h"

#include "decode/SynthesisDct.h"
#include "decode/Tables.h"

#include <cmath>
#include <numbers>

namespace mplay {
namespace {

DctCoefficients ComputeDctCoefficients() {
    constexpr double pi = std::numbers::pi;
    DctCoefficients c{};
    for (int i = 0; i < 16; ++i) {
        c.cos64[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 64.0));
    }
    for (int i = 0; i < 8; ++i) {
        c.cos32[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 32.0));
    }
    for (int i = 0; i < 4; ++i) {
        c.cos16[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 16.0));
    }
    for (int i = 0; i < 2; ++i) {
        c.cos8[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 8.0));
    }
    c.cos4 = 1.0 / (2.0 * std::cos(pi / 4.0));
    return c;
}

} // namespace

const DctCoefficients g_dctCoefficients = ComputeDctCoefficients();

SynthesisFilter::SynthesisFilter(int32_t channel, const LaneKernels& kernels)
    : m_kernels(&kernels), m_channel(channel) {
    Reset();
}

void SynthesisFilter::Reset() {
    for (int i = 0; i < kRingValues; ++i) {
        m_v1[i] = 0.0;
        m_v2[i] = 0.0;
    }
    for (double& s : m_samples) {
        s = 0.0;
    }
    for (double& s : m_output) {
        s = 0.0;
    }
    m_actualV = m_v1;
    m_writePos = 15;
    for (double& e : m_eq) {
        e = 1.0;
    }
    m_eqFlat = true;
}

void SynthesisFilter::NextColumn(const double* column, double* out) {
    double* a = m_actualV;
    double* b = (m_actualV == m_v1) ? m_v2 : m_v1;
    m_kernels->slotWindow(column, a, b, m_writePos, out);
    m_writePos = (m_writePos + 1) & 15;
    m_actualV = b;
}

int32_t SynthesisFilter::CalculatePcmSamples(int16_t* buffer, int32_t& written, int32_t& position,
                                             PcmCallback callback) {
    double v[32];
    synth::Dct32(m_samples, v);
    double column[64];
    synth::SpreadColumns(v, column);
    double values[32];
    NextColumn(column, values);
    if (buffer) {
        int16_t* out = buffer + 2 * position + m_channel;
        // The player's own converter is the clip below; calling it through the pointer per
        // value would cost more than the conversion itself.
        if (callback == nullptr || callback == SampleToPcm) {
            m_kernels->slotClip(values, out);
        } else {
            Deliver(values, 32, out, m_channel, callback);
        }
    }
    position += 32;
    written += 32;
    return 1;
}

void SynthesisFilter::SynthesiseGranule(const double* work, double* levels) {
    if (levels) {
        for (int sb = 0; sb < kSubbands; ++sb) {
            double sum = levels[sb];
            for (int ss = 0; ss < kGranuleSlots; ++ss) {
                sum += std::fabs(work[kGranuleSlots * sb + ss]);
            }
            levels[sb] = sum;
        }
    }
    alignas(64) double columns[2 * kGranuleValues];
    m_kernels->slotTransform(work, m_eqFlat ? nullptr : m_eq, columns);
    double* b = (m_actualV == m_v1) ? m_v2 : m_v1;
    m_kernels->granuleWindow(columns, m_actualV, b, m_writePos, m_output);
    // An even number of slots: the buffers end where they started.
    static_assert(kGranuleSlots % 2 == 0);
    m_writePos = (m_writePos + kGranuleSlots) & 15;
    // As if the slots had come through InputSample.
    for (int sb = 0; sb < kSubbands; ++sb) {
        m_samples[sb] = work[kGranuleSlots * sb + kGranuleSlots - 1] * m_eq[sb];
    }
}

void SynthesisFilter::Deliver(const double* values, int32_t count, int16_t* out, int32_t channel,
                              PcmCallback callback) {
    for (int32_t n = 0; n < count; ++n) {
        double value = values[n];
        out[2 * n] = static_cast<int16_t>(callback(&value, nullptr, channel));
    }
}

void SynthesisFilter::ConvertPairs(const double* left, const double* right, int32_t count,
                                   int16_t* out, const LaneKernels& kernels) {
    kernels.pairClip(left, right, count, out);
}

int16_t SynthesisFilter::ClipSample(double value) {
    return static_cast<int16_t>(ClipToInt16(value));
}

int32_t SampleToPcm(double* sample, double* /*levels*/, int32_t /*n*/) {
    return sample ? ClipToInt16(*sample) : 0;
}

} // namespace mplay
