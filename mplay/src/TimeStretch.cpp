// Time stretching over the library's real-time mode, which streams (the offline mode would need
// the whole recording before the first sample). The real-time mode neither pads nor trims: the
// preferred silence goes in first, the start delay is dropped from the output, and the output
// is cut or filled with silence to its exact length at the end.
//
// Where the input is steepest, the stretcher's phases can line up into a step a little steeper
// than any the input had (by up to some 15 % on a few samples of a lesson recording). No output
// step may be larger than the largest input step so far: the output lags the input, so that
// bound already covers the stretch of input the output comes from.
#include "TimeStretch.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace mplay {
namespace {

using RubberBand::RubberBandStretcher;

// Frames handed to the stretcher per call; it is told so before the first.
constexpr uint32_t kBlockFrames = 1024;
// Calls with no input after the last one; each lets the stretcher finish more of its tail.
constexpr int kMaxFinalCalls = 64;
// Blocks of silence after the input at most (some 4 s at 8 kHz): far more than any delay.
constexpr int kMaxTailBlocks = 32;
// The stretched end rarely falls on a zero crossing: the last 5 ms fade out, so that the pass
// ends without a click.
constexpr uint32_t kFadeDivisor = 200;

RubberBandStretcher::Options OptionsFor(TimeStretch::Engine engine) {
    RubberBandStretcher::Options options = RubberBandStretcher::OptionProcessRealTime |
                                           RubberBandStretcher::OptionThreadingNever |
                                           RubberBandStretcher::OptionChannelsTogether;
    switch (engine) {
    case TimeStretch::Engine::Faster:
        options |= RubberBandStretcher::OptionEngineFaster;
        break;
    case TimeStretch::Engine::Finer:
        options |= RubberBandStretcher::OptionEngineFiner;
        break;
    case TimeStretch::Engine::FinerShort:
        options |= RubberBandStretcher::OptionEngineFiner | RubberBandStretcher::OptionWindowShort;
        break;
    }
    return options;
}

int16_t ToPcm(float value) {
    const float scaled = std::nearbyint(value * 32768.0f);
    // Also catches NaN.
    if (!(scaled >= -32768.0f)) {
        return -32768;
    }
    return scaled > 32767.0f ? int16_t{32767} : static_cast<int16_t>(scaled);
}

} // namespace

TimeStretch::TimeStretch(uint32_t sampleRate, int channels, double speed, Engine engine)
    : m_channels(channels == 1 ? 1 : 2), m_speed(speed),
      m_fadeFrames(std::max<uint32_t>(sampleRate / kFadeDivisor, 1)) {
    m_stretcher = std::make_unique<RubberBandStretcher>(sampleRate, m_channels, OptionsFor(engine),
                                                        1.0 / speed, 1.0);
    m_stretcher->setMaxProcessSize(kBlockFrames);
    for (int c = 0; c < m_channels; ++c) {
        m_in[c].assign(kBlockFrames, 0.0f);
    }
    m_delayLeft = m_stretcher->getStartDelay();
    for (size_t pad = m_stretcher->getPreferredStartPad(); pad > 0;) {
        const auto frames = static_cast<uint32_t>(std::min<size_t>(pad, kBlockFrames));
        Process(frames, false);
        pad -= frames;
    }
}

TimeStretch::~TimeStretch() = default;

uint64_t TimeStretch::OutputFrames(uint64_t inputFrames, double speed) {
    return static_cast<uint64_t>(std::llround(static_cast<double>(inputFrames) / speed));
}

void TimeStretch::Push(const int16_t* pairs, uint32_t frames) {
    if (m_finished) {
        return;
    }
    while (frames > 0) {
        const uint32_t n = std::min(frames, kBlockFrames);
        if (m_inputFrames == 0) {
            m_lastIn[0] = pairs[0];
            m_lastIn[1] = pairs[1];
        }
        for (uint32_t i = 0; i < n; ++i) {
            for (int c = 0; c < m_channels; ++c) {
                const int32_t value = pairs[2 * i + c];
                m_largestStep = std::max(m_largestStep, std::abs(value - m_lastIn[c]));
                m_lastIn[c] = value;
                m_in[c][i] = static_cast<float>(value) * (1.0f / 32768.0f);
            }
        }
        Process(n, false);
        m_inputFrames += n;
        pairs += 2 * size_t{n};
        frames -= n;
    }
}

void TimeStretch::Finish() {
    if (m_finished) {
        return;
    }
    // The stretcher holds the last input back until more comes: silence pushes it out, so that
    // the cut at the exact length falls after the stretched end and not before it.
    std::fill(m_in[0].begin(), m_in[0].end(), 0.0f);
    std::fill(m_in[1].begin(), m_in[1].end(), 0.0f);
    const uint64_t total = OutputFrames(m_inputFrames, m_speed);
    for (int block = 0; block < kMaxTailBlocks && Ready() < total - m_pulled; ++block) {
        Process(kBlockFrames, false);
    }
    m_finished = true;
    Process(0, true);
    for (int call = 0; call < kMaxFinalCalls && m_stretcher->available() >= 0; ++call) {
        Collect();
        if (m_stretcher->available() == 0) {
            Process(0, true);
        }
    }
}

void TimeStretch::Process(uint32_t frames, bool final) {
    const float* input[2] = {m_in[0].data(), m_channels == 2 ? m_in[1].data() : nullptr};
    m_stretcher->process(input, frames, final);
    Collect();
}

// Moves what the stretcher has ready into m_ready, dropping its start delay, and never keeps
// more than the output may hold.
void TimeStretch::Collect() {
    if (m_readPos > 0) {
        for (int c = 0; c < m_channels; ++c) {
            m_ready[c].erase(m_ready[c].begin(), m_ready[c].begin() + m_readPos);
        }
        m_readPos = 0;
    }
    for (int ready = m_stretcher->available(); ready > 0; ready = m_stretcher->available()) {
        const size_t start = m_ready[0].size();
        float* output[2] = {nullptr, nullptr};
        for (int c = 0; c < m_channels; ++c) {
            m_ready[c].resize(start + static_cast<size_t>(ready));
            output[c] = m_ready[c].data() + start;
        }
        const size_t got = m_stretcher->retrieve(output, static_cast<size_t>(ready));
        size_t keep = got;
        size_t drop = 0;
        if (m_delayLeft > 0) {
            drop = static_cast<size_t>(std::min<uint64_t>(m_delayLeft, got));
            m_delayLeft -= drop;
            keep -= drop;
        }
        for (int c = 0; c < m_channels; ++c) {
            if (drop > 0) {
                std::copy(output[c] + drop, output[c] + got, output[c]);
            }
            m_ready[c].resize(start + keep);
        }
        if (got == 0) {
            break;
        }
    }
}

// Frames the output may still give: never more than the input so far calls for, less the fade,
// so that the total cannot pass its exact length and the fade can still be applied.
uint64_t TimeStretch::Allowed() const {
    const uint64_t total = OutputFrames(m_inputFrames, m_speed);
    const uint64_t held = m_finished ? 0 : m_fadeFrames;
    return total > m_pulled + held ? total - m_pulled - held : 0;
}

uint64_t TimeStretch::Ready() const {
    return m_ready[0].size() - m_readPos;
}

uint32_t TimeStretch::Available() const {
    // After the end, silence makes up for frames the stretcher did not give.
    const uint64_t n = m_finished ? Allowed() : std::min(Ready(), Allowed());
    return static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX));
}

uint32_t TimeStretch::Pull(int16_t* out, uint32_t maxFrames) {
    const uint32_t n = std::min(Available(), maxFrames);
    const size_t fromStretcher = std::min<size_t>(n, Ready());
    const float* left = m_ready[0].data() + m_readPos;
    const float* right = m_ready[m_channels - 1].data() + m_readPos;
    const uint64_t total = OutputFrames(m_inputFrames, m_speed);
    const uint64_t fadeFrom = total > m_fadeFrames ? total - m_fadeFrames : 0;
    for (size_t i = 0; i < n; ++i) {
        float gain = 1.0f;
        if (m_finished && m_pulled + i >= fadeFrom) {
            gain =
                static_cast<float>(total - (m_pulled + i)) / static_cast<float>(m_fadeFrames + 1);
        }
        for (int c = 0; c < 2; ++c) {
            const float* values = c == 0 ? left : right;
            int32_t value = i < fromStretcher ? ToPcm(gain * values[i]) : 0;
            if (m_pulled + i > 0) {
                const int32_t bounded =
                    std::clamp(value, m_lastOut[c] - m_largestStep, m_lastOut[c] + m_largestStep);
                m_limited += bounded != value;
                value = bounded;
            }
            m_lastOut[c] = value;
            out[2 * i + c] = static_cast<int16_t>(value);
        }
    }
    m_readPos += fromStretcher;
    m_pulled += n;
    return n;
}

bool TimeStretch::Done() const {
    return m_finished && Allowed() == 0;
}

} // namespace mplay
