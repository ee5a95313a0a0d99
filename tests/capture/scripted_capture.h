#pragma once
// An input device for the recorder tests: delivers a scripted signal into the ring from a
// thread of its own, as a sound system would, either as fast as the ring takes it or in real
// time, and can fail to open, fail mid-way or stall.
#include "output/CaptureDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sonavix::test {

class ScriptedCapture final : public mplay::CaptureDevice {
  public:
    // Script.
    mplay::RecordError openError = mplay::RecordError::None;
    uint32_t rate = 16000;
    std::vector<int16_t> signal;  // then silence, until stopped
    double speed = 0;             // 0: as fast as the ring takes it; 1: real time
    size_t failAfter = SIZE_MAX;  // samples delivered before the device is lost
    size_t stallAfter = SIZE_MAX; // samples delivered before it goes quiet without failing

    // Record.
    std::atomic<int> opens{0};
    std::atomic<bool> open{false};
    std::atomic<size_t> delivered{0};

    using Clock = std::chrono::steady_clock;
    struct Session {
        Clock::time_point opened;
        Clock::time_point closed;
    };
    // Every stream opened, once closed.
    std::vector<Session> Sessions() const;

    ScriptedCapture() { mplay::SetCaptureDevice(this); }
    ~ScriptedCapture() override { mplay::SetCaptureDevice(nullptr); }
    ScriptedCapture(const ScriptedCapture&) = delete;
    ScriptedCapture& operator=(const ScriptedCapture&) = delete;

    mplay::CaptureOpening Open(uint32_t preferredRate, mplay::CaptureRing& ring) override;

  private:
    friend class ScriptedStream;
    mutable std::mutex m_mutex;
    std::vector<Session> m_sessions;
};

} // namespace sonavix::test
