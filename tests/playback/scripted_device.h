#pragma once
// A sound device on a simulated clock for the wave-output and player tests. Buffers "play" one
// after another at the opened rate; time passes only inside Wait, which jumps to the next
// completion or by the whole bound, so that a test sees every wait and its length.
#include "output/AudioDevice.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace sonavix::test {

class ScriptedDevice final : public mplay::AudioDevice {
  public:
    struct Buffer {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        std::vector<uint8_t> contents; // copied when queued
        double endMs = 0;
        bool done = false;    // reported, or dropped by a stop
        bool dropped = false; // stopped before it had played
    };

    // Script.
    std::set<int> missing;  // capabilities cannot be read (kDefaultDevice for the default)
    std::set<int> refusing; // refuse the format
    int deviceCount = 0;
    bool reportsCompletion = true;
    bool fails = false; // stops on its own: a wait ends at once, and nothing is reported

    // Record.
    double nowMs = 0;
    std::vector<int> openAttempts;
    int openedDevice = -2;
    mplay::PcmFormat format;
    std::vector<Buffer> queued; // of the output opened last
    std::vector<double> waits;  // simulated length of each wait, ms
    int stops = 0;
    double stoppedAtMs = -1;
    std::vector<std::string> log; // "queue BYTES", "wait MS", "stop"

    ScriptedDevice() { mplay::SetAudioDevice(this); }
    ~ScriptedDevice() override { mplay::SetAudioDevice(nullptr); }
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    bool HasDevice(int device) override;
    int DeviceCount() override { return deviceCount; }
    std::unique_ptr<mplay::AudioOutput> Open(int device, const mplay::PcmFormat& fmt,
                                             DoneCallback onDone) override;
    bool Wait(mplay::BufferDoneSignal& signal, std::chrono::milliseconds timeout) override;

    // Buffers queued and not yet reported done: what the device may still read.
    std::vector<const Buffer*> InFlight() const;
    // The bytes of every queued buffer, in queue order.
    std::vector<uint8_t> PlayedBytes() const;

  private:
    friend class ScriptedOutput;
    void DeliverDue();

    DoneCallback m_onDone = nullptr;
    bool m_open = false;
};

} // namespace sonavix::test
