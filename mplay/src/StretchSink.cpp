#include "StretchSink.h"

#include <algorithm>

namespace mplay {
namespace {

// The first block: some 25 ms of sound, so that the device starts early.
constexpr uint32_t kFirstBlockDivisor = 40;
constexpr uint32_t kSmallestBlock = 256;
// Every later block: at least 250 ms. A block is reported done only once it has been heard, and
// by then the device has already taken its own latency's worth (at least 100 ms) of what
// follows; shorter blocks would leave it without sound before the next one is queued.
constexpr uint32_t kLaterBlockDivisor = 4;

} // namespace

StretchSink::StretchSink(PcmSink& next, uint32_t sampleRate, int channels, double speed,
                         const std::atomic<bool>* stop, TimeStretch::Engine engine)
    : m_next(next), m_stretch(sampleRate, channels, speed, engine), m_stop(stop),
      m_input(kInputCapacity + kFrameValues), m_laterFrames(sampleRate / kLaterBlockDivisor) {
    uint32_t capacity = 0;
    m_out = m_next.GetBuffer(capacity);
    m_outFrames = capacity / 2;
    m_blockFrames =
        std::min(std::max(sampleRate / kFirstBlockDivisor, kSmallestBlock), m_outFrames);
}

int16_t* StretchSink::GetBuffer(uint32_t& capacity) {
    capacity = kInputCapacity;
    return m_input.data();
}

int16_t* StretchSink::Write(uint32_t& count) {
    const auto values = static_cast<uint32_t>(std::min<size_t>(count, m_input.size()));
    count = 0;
    if (values > 0) {
        m_stretch.Push(m_input.data(), values / 2);
        Forward(false);
    } else {
        m_stretch.Finish();
        Forward(true);
    }
    return m_input.data();
}

void StretchSink::Forward(bool end) {
    while (m_out != nullptr && m_blockFrames > 0 && !Stopped()) {
        m_filled += m_stretch.Pull(m_out + 2 * size_t{m_filled}, m_blockFrames - m_filled);
        if (m_filled < m_blockFrames) {
            break;
        }
        HandOver();
    }
    if (!end || Stopped()) {
        return;
    }
    if (m_filled > 0) {
        HandOver();
    }
    uint32_t none = 0;
    m_next.Write(none);
}

void StretchSink::HandOver() {
    uint32_t values = 2 * m_filled;
    m_out = m_next.Write(values);
    m_filled = 0;
    m_blockFrames = std::min(std::max(2 * m_blockFrames, m_laterFrames), m_outFrames);
}

bool StretchSink::Stopped() const {
    return m_stop != nullptr && m_stop->load(std::memory_order_acquire);
}

} // namespace mplay
