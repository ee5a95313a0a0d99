#include "output/Resampler.h"

#include <samplerate.h>

#include <algorithm>

namespace mplay {

Resampler::Resampler(uint32_t fromRate, uint32_t toRate, size_t maxInput)
    : m_ratio(static_cast<double>(toRate) / fromRate), m_in(maxInput) {
    int error = 0;
    m_state = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &error);
    m_out.resize(static_cast<size_t>(maxInput * m_ratio) + 256);
    m_shorts.resize(m_out.size());
}

Resampler::~Resampler() {
    if (m_state != nullptr) {
        src_delete(m_state);
    }
}

void Resampler::Process(std::span<const int16_t> input, bool last, std::vector<int16_t>& out) {
    if (m_state == nullptr) {
        return;
    }
    const size_t offered = std::min(input.size(), m_in.size());
    src_short_to_float_array(input.data(), m_in.data(), static_cast<int>(offered));
    SRC_DATA data{};
    data.data_in = m_in.data();
    data.input_frames = static_cast<long>(offered);
    data.src_ratio = m_ratio;
    // The converter may keep input back; it is offered again until all is taken and, at the
    // end, until nothing more comes out.
    for (;;) {
        data.data_out = m_out.data();
        data.output_frames = static_cast<long>(m_out.size());
        data.end_of_input = last ? 1 : 0;
        if (src_process(m_state, &data) != 0) {
            return;
        }
        src_float_to_short_array(m_out.data(), m_shorts.data(),
                                 static_cast<int>(data.output_frames_gen));
        out.insert(out.end(), m_shorts.begin(), m_shorts.begin() + data.output_frames_gen);
        if (data.input_frames_used == 0 && data.output_frames_gen == 0) {
            return;
        }
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
        if (data.input_frames == 0 && (!last || data.output_frames_gen == 0)) {
            return;
        }
    }
}

} // namespace mplay
