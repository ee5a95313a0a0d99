#pragma once
// The hand-over from the audio thread to the recorder: a single-producer, single-consumer ring
// of mono samples. The producer side never blocks, allocates or waits; what does not fit is
// counted as dropped.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace mplay {

class CaptureRing {
  public:
    // Room for 2^bits samples, allocated here and never again.
    explicit CaptureRing(unsigned bits = 17)
        : m_size(size_t{1} << bits), m_data(new int16_t[m_size]) {}
    CaptureRing(const CaptureRing&) = delete;
    CaptureRing& operator=(const CaptureRing&) = delete;

    // Producer: interleaved frames of channels samples, mixed down to mono. Returns the frames
    // taken; the rest are counted as dropped.
    size_t Write(const int16_t* frames, size_t count, unsigned channels = 1) {
        const size_t head = m_head.load(std::memory_order_relaxed);
        const size_t room = m_size - (head - m_tail.load(std::memory_order_acquire));
        const size_t n = std::min(count, room);
        for (size_t i = 0; i < n; ++i) {
            int sum = 0;
            for (unsigned c = 0; c < channels; ++c) {
                sum += frames[i * channels + c];
            }
            m_data[(head + i) & (m_size - 1)] =
                static_cast<int16_t>(channels > 1 ? sum / static_cast<int>(channels) : sum);
        }
        m_head.store(head + n, std::memory_order_release);
        if (n < count) {
            m_dropped.fetch_add(count - n, std::memory_order_relaxed);
        }
        return n;
    }

    // Producer: samples that fit now.
    size_t Room() const {
        return m_size -
               (m_head.load(std::memory_order_relaxed) - m_tail.load(std::memory_order_acquire));
    }

    // Consumer: up to max samples in arrival order.
    size_t Read(int16_t* out, size_t max) {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        const size_t n = std::min(max, m_head.load(std::memory_order_acquire) - tail);
        for (size_t i = 0; i < n; ++i) {
            out[i] = m_data[(tail + i) & (m_size - 1)];
        }
        m_tail.store(tail + n, std::memory_order_release);
        return n;
    }

    size_t Capacity() const { return m_size; }
    uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

  private:
    const size_t m_size;
    std::unique_ptr<int16_t[]> m_data;
    alignas(64) std::atomic<size_t> m_head{0}; // written by the producer
    alignas(64) std::atomic<size_t> m_tail{0}; // written by the consumer
    std::atomic<uint64_t> m_dropped{0};
};

} // namespace mplay
