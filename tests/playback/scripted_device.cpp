#include "scripted_device.h"

#include <algorithm>

namespace sonavix::test {

class ScriptedOutput final : public mplay::AudioOutput {
  public:
    explicit ScriptedOutput(ScriptedDevice& device) : m_device(device) {}
    ~ScriptedOutput() override { Stop(); }
    ScriptedOutput(const ScriptedOutput&) = delete;
    ScriptedOutput& operator=(const ScriptedOutput&) = delete;

    bool Queue(const uint8_t* data, uint32_t bytes) override {
        ScriptedDevice& d = m_device;
        d.DeliverDue();
        ScriptedDevice::Buffer buffer;
        buffer.data = data;
        buffer.bytes = bytes;
        buffer.contents.assign(data, data + bytes);
        double startMs = d.nowMs;
        for (const auto& b : d.queued) {
            if (!b.done) {
                startMs = std::max(startMs, b.endMs);
            }
        }
        buffer.endMs = startMs + 1000.0 * bytes / (4.0 * d.format.sampleRate);
        d.queued.push_back(std::move(buffer));
        d.log.push_back("queue " + std::to_string(bytes));
        return true;
    }

    bool Failed() const override { return m_device.fails; }

    void Stop() override {
        if (!m_device.m_open) {
            return;
        }
        m_device.m_open = false;
        ++m_device.stops;
        m_device.stoppedAtMs = m_device.nowMs;
        m_device.log.push_back("stop");
        // Pending buffers are dropped: they are never reported.
        for (auto& b : m_device.queued) {
            b.dropped = b.dropped || !b.done;
            b.done = true;
        }
    }

  private:
    ScriptedDevice& m_device;
};

bool ScriptedDevice::HasDevice(int device) {
    if (device == kDefaultDevice) {
        return !missing.contains(device);
    }
    return device >= 0 && device < deviceCount && !missing.contains(device);
}

std::unique_ptr<mplay::AudioOutput> ScriptedDevice::Open(int device, const mplay::PcmFormat& fmt,
                                                         DoneCallback onDone) {
    openAttempts.push_back(device);
    if (refusing.contains(device) || missing.contains(device)) {
        return nullptr;
    }
    openedDevice = device;
    format = fmt;
    queued.clear();
    m_onDone = onDone;
    m_open = true;
    return std::make_unique<ScriptedOutput>(*this);
}

void ScriptedDevice::DeliverDue() {
    if (!m_open || !reportsCompletion) {
        return;
    }
    for (auto& b : queued) {
        if (!b.done && b.endMs <= nowMs) {
            b.done = true;
            m_onDone();
        }
    }
}

bool ScriptedDevice::Wait(mplay::BufferDoneSignal& signal, std::chrono::milliseconds timeout) {
    const double startMs = nowMs;
    if (fails) {
        waits.push_back(0);
        log.push_back("wait 0");
        return true;
    }
    DeliverDue();
    bool got = signal.TryConsume();
    if (!got && m_open && reportsCompletion) {
        for (const auto& b : queued) {
            if (!b.done) {
                if (b.endMs <= nowMs + static_cast<double>(timeout.count())) {
                    nowMs = b.endMs;
                    DeliverDue();
                    got = signal.TryConsume();
                }
                break;
            }
        }
    }
    if (!got) {
        nowMs += static_cast<double>(timeout.count());
        DeliverDue();
    }
    waits.push_back(nowMs - startMs);
    log.push_back("wait " + std::to_string(static_cast<long>(nowMs - startMs)));
    return got;
}

std::vector<const ScriptedDevice::Buffer*> ScriptedDevice::InFlight() const {
    std::vector<const Buffer*> inFlight;
    for (const auto& b : queued) {
        if (!b.done) {
            inFlight.push_back(&b);
        }
    }
    return inFlight;
}

std::vector<uint8_t> ScriptedDevice::PlayedBytes() const {
    std::vector<uint8_t> bytes;
    for (const auto& b : queued) {
        bytes.insert(bytes.end(), b.contents.begin(), b.contents.end());
    }
    return bytes;
}

} // namespace sonavix::test
