#include "paced_device.h"

#include <deque>
#include <thread>

namespace sonavix::test {

class PacedOutput final : public mplay::AudioOutput {
  public:
    PacedOutput(PacedDevice& device, size_t pass, uint32_t rate,
                mplay::AudioDevice::DoneCallback onDone)
        : m_device(device), m_pass(pass), m_rate(rate), m_onDone(onDone),
          m_thread([this] { Play(); }) {}

    ~PacedOutput() override { Stop(); }
    PacedOutput(const PacedOutput&) = delete;
    PacedOutput& operator=(const PacedOutput&) = delete;

    bool Queue(const uint8_t* /*data*/, uint32_t bytes) override {
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(bytes);
            m_closingWriteSeen = m_closingWriteSeen || bytes == 0;
        }
        {
            std::lock_guard lock(m_device.m_mutex);
            ++m_device.m_passes[m_pass].queued;
        }
        m_wake.notify_all();
        m_device.Changed();
        return true;
    }

    void Stop() override {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return;
            }
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
        // Ended as a finished pass ends: after the closing empty write, with all sound played.
        bool drained = m_closingWriteSeen;
        for (uint32_t bytes : m_pending) {
            drained = drained && bytes == 0;
        }
        {
            std::lock_guard lock(m_device.m_mutex);
            PacedDevice::Pass& pass = m_device.m_passes[m_pass];
            pass.stopped = true;
            pass.stoppedAt = PacedDevice::Clock::now();
            pass.drained = drained;
            --m_device.m_open;
        }
        m_device.Changed();
    }

  private:
    void Play() {
        std::unique_lock lock(m_mutex);
        auto end = PacedDevice::Clock::now();
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
            if (m_stopping) {
                return;
            }
            const auto now = PacedDevice::Clock::now();
            const double seconds = m_pending.front() / (4.0 * m_rate) / m_device.m_speed;
            end = std::max(end, now) + std::chrono::duration_cast<PacedDevice::Clock::duration>(
                                           std::chrono::duration<double>(seconds));
            if (m_wake.wait_until(lock, end, [this] { return m_stopping; })) {
                return;
            }
            m_pending.pop_front();
            m_onDone();
        }
    }

    PacedDevice& m_device;
    const size_t m_pass;
    const uint32_t m_rate;
    const mplay::AudioDevice::DoneCallback m_onDone;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<uint32_t> m_pending;
    bool m_stopping = false;
    bool m_closingWriteSeen = false;
    std::thread m_thread; // last: starts once the members above exist
};

PacedDevice::PacedDevice(double speed) : m_speed(speed) {
    mplay::SetAudioDevice(this);
}

PacedDevice::~PacedDevice() {
    mplay::SetAudioDevice(nullptr);
}

bool PacedDevice::HasDevice(int device) {
    std::lock_guard lock(m_mutex);
    return m_present && device == kDefaultDevice;
}

std::unique_ptr<mplay::AudioOutput> PacedDevice::Open(int device, const mplay::PcmFormat& format,
                                                      DoneCallback onDone) {
    size_t pass = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_present || device != kDefaultDevice) {
            return nullptr;
        }
        Pass p;
        p.sampleRate = format.sampleRate;
        p.openedAt = Clock::now();
        m_passes.push_back(p);
        pass = m_passes.size() - 1;
        m_maxOpen = std::max(m_maxOpen, ++m_open);
    }
    Changed();
    return std::make_unique<PacedOutput>(*this, pass, format.sampleRate, onDone);
}

void PacedDevice::SetPresent(bool present) {
    std::lock_guard lock(m_mutex);
    m_present = present;
}

std::vector<PacedDevice::Pass> PacedDevice::Passes() const {
    std::lock_guard lock(m_mutex);
    return m_passes;
}

int PacedDevice::MaxOpenAtOnce() const {
    std::lock_guard lock(m_mutex);
    return m_maxOpen;
}

bool PacedDevice::WaitFor(const std::function<bool(const std::vector<Pass>&)>& condition,
                          std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_passes); });
}

void PacedDevice::Changed() {
    m_changed.notify_all();
}

} // namespace sonavix::test
