#pragma once
// A sound device that plays in real time (optionally faster) on a thread of its own, for the
// worker tests: completions arrive from another thread, as from a real sound system, and every
// pass is recorded with whether it played to its end or was cut short.
#include "output/AudioDevice.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace sonavix::test {

class PacedDevice final : public mplay::AudioDevice {
  public:
    using Clock = std::chrono::steady_clock;

    struct Pass {
        uint32_t sampleRate = 0;
        Clock::time_point openedAt;
        Clock::time_point stoppedAt;
        bool stopped = false;
        bool drained = false; // stopped after the closing write, with all its sound played
        int queued = 0;
    };

    // speed 10 plays a second of sound in 100 ms.
    explicit PacedDevice(double speed);
    ~PacedDevice() override;
    PacedDevice(const PacedDevice&) = delete;
    PacedDevice& operator=(const PacedDevice&) = delete;

    bool HasDevice(int device) override;
    int DeviceCount() override { return 0; }
    std::unique_ptr<mplay::AudioOutput> Open(int device, const mplay::PcmFormat& format,
                                             DoneCallback onDone) override;

    void SetPresent(bool present);
    std::vector<Pass> Passes() const;
    int MaxOpenAtOnce() const;
    // Waits until condition holds of the passes so far; false after timeout.
    bool WaitFor(const std::function<bool(const std::vector<Pass>&)>& condition,
                 std::chrono::milliseconds timeout);

  private:
    friend class PacedOutput;
    void Changed();

    const double m_speed;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_present = true;
    int m_open = 0;
    int m_maxOpen = 0;
    std::vector<Pass> m_passes;
};

} // namespace sonavix::test
