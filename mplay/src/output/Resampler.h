#pragma once
// Mono 16-bit samples from the device's rate to the recording's, through libsamplerate's
// medium-quality sinc converter. Buffers are allocated once, here.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct SRC_STATE_tag;

namespace mplay {

class Resampler {
  public:
    // maxInput: the most samples one Process call is given.
    Resampler(uint32_t fromRate, uint32_t toRate, size_t maxInput);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool Ready() const { return m_state != nullptr; }
    // Converts input and appends what comes out to out; last flushes the converter's delay.
    void Process(std::span<const int16_t> input, bool last, std::vector<int16_t>& out);

  private:
    SRC_STATE_tag* m_state = nullptr;
    double m_ratio;
    std::vector<float> m_in;
    std::vector<float> m_out;
    std::vector<int16_t> m_shorts;
};

} // namespace mplay
