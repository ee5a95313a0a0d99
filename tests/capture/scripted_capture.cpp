#include "scripted_capture.h"

#include <chrono>

namespace sonavix::test {

using Clock = std::chrono::steady_clock;

class ScriptedStream final : public mplay::CaptureStream {
  public:
    ScriptedStream(ScriptedCapture& device, mplay::CaptureRing& ring)
        : m_device(device), m_ring(ring), m_opened(Clock::now()), m_thread([this] { Deliver(); }) {}
    ~ScriptedStream() override { Stop(); }
    ScriptedStream(const ScriptedStream&) = delete;
    ScriptedStream& operator=(const ScriptedStream&) = delete;

    uint32_t SampleRate() const override { return m_device.rate; }
    bool Failed() const override { return m_failed.load(); }
    void Stop() override {
        m_stop.store(true);
        if (!m_thread.joinable()) {
            return;
        }
        m_thread.join();
        m_device.open.store(false);
        std::lock_guard lock(m_device.m_mutex);
        m_device.m_sessions.push_back({m_opened, Clock::now()});
    }

  private:
    void Deliver() {
        constexpr size_t kPortion = 160;
        const auto start = Clock::now();
        std::vector<int16_t> portion(kPortion);
        size_t at = 0;
        while (!m_stop.load()) {
            if (at >= m_device.failAfter) {
                m_failed.store(true);
                return;
            }
            if (at >= m_device.stallAfter) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (m_device.speed > 0) {
                const auto due =
                    start + std::chrono::duration<double>(at / (m_device.rate * m_device.speed));
                std::this_thread::sleep_until(due);
            }
            const size_t n =
                std::min(kPortion, std::min(m_device.failAfter, m_device.stallAfter) - at);
            for (size_t i = 0; i < n; ++i) {
                portion[i] = at + i < m_device.signal.size() ? m_device.signal[at + i] : 0;
            }
            // Waits for room rather than dropping: the tests are about what the recorder makes
            // of a signal, not about a consumer that falls behind.
            size_t taken = 0;
            while (taken < n && !m_stop.load()) {
                taken += m_ring.Write(portion.data() + taken, std::min(n - taken, m_ring.Room()));
                if (taken < n) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
            at += taken;
            m_device.delivered.store(at);
        }
    }

    ScriptedCapture& m_device;
    mplay::CaptureRing& m_ring;
    const Clock::time_point m_opened;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

std::vector<ScriptedCapture::Session> ScriptedCapture::Sessions() const {
    std::lock_guard lock(m_mutex);
    return m_sessions;
}

mplay::CaptureOpening ScriptedCapture::Open(uint32_t, mplay::CaptureRing& ring) {
    ++opens;
    if (openError != mplay::RecordError::None) {
        return {nullptr, openError};
    }
    open.store(true);
    delivered.store(0);
    return {std::make_unique<ScriptedStream>(*this, ring), mplay::RecordError::None};
}

} // namespace sonavix::test
