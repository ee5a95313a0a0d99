// The input device over PortAudio. The callback only mixes the device's frames down into the
// capture ring; everything else (resampling, level, endpointing) happens on the recorder's
// thread.
#include "output/CaptureDevice.h"
#include "output/PortAudioLibrary.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

namespace mplay {
namespace {

std::atomic<CaptureCallbackObserver> g_callbackObserver{nullptr};

// Portions of about 20 ms: a meter and an endpointer need no finer ones, and every callback
// wakes the audio thread.
constexpr double kInputLatencySeconds = 0.02;

class PortAudioInput final : public CaptureStream {
  public:
    PortAudioInput(CaptureRing& ring, unsigned channels, uint32_t rate)
        : m_ring(ring), m_channels(channels), m_rate(rate) {}
    ~PortAudioInput() override { Stop(); }
    PortAudioInput(const PortAudioInput&) = delete;
    PortAudioInput& operator=(const PortAudioInput&) = delete;

    // Called with PortAudioMutex held.
    PaError Open(const PaStreamParameters& in) {
        PaError rc = Pa_OpenStream(&m_stream, &in, nullptr, m_rate,
                                   static_cast<unsigned long>(m_rate * kInputLatencySeconds),
                                   paClipOff, &PortAudioInput::Callback, this);
        if (rc != paNoError) {
            m_stream = nullptr;
            return rc;
        }
        Pa_SetStreamFinishedCallback(m_stream, &PortAudioInput::Finished);
        rc = Pa_StartStream(m_stream);
        if (rc != paNoError) {
            m_stopping.store(true);
            Pa_CloseStream(m_stream);
            m_stream = nullptr;
        }
        return rc;
    }

    uint32_t SampleRate() const override { return m_rate; }
    bool Failed() const override { return m_failed.load(); }

    void Stop() override { AbortPortAudioStream(m_stream, m_stopping); }

  private:
    static int Callback(const void* input, void*, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<PortAudioInput*>(user);
        const CaptureCallbackObserver observe = g_callbackObserver.load(std::memory_order_relaxed);
        const auto start = observe != nullptr ? std::chrono::steady_clock::now()
                                              : std::chrono::steady_clock::time_point{};
        if (input != nullptr) {
            self->m_ring.Write(static_cast<const int16_t*>(input), frames, self->m_channels);
        }
        if (observe != nullptr) {
            observe(
                frames,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return paContinue;
    }

    static void Finished(void* user) {
        auto* self = static_cast<PortAudioInput*>(user);
        if (!self->m_stopping.load()) {
            self->m_failed.store(true);
        }
    }

    CaptureRing& m_ring;
    const unsigned m_channels;
    const uint32_t m_rate;
    PaStream* m_stream = nullptr;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_failed{false};
};

RecordError ToRecordError(PaError rc) {
    switch (rc) {
    case paInvalidDevice:
        return RecordError::NoDevice;
    case paDeviceUnavailable:
        return RecordError::DeviceBusy;
    case paUnanticipatedHostError: {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host != nullptr && (host->errorCode == -EACCES || host->errorCode == -EPERM)) {
            return RecordError::PermissionDenied;
        }
        if (host != nullptr && host->errorCode == -EBUSY) {
            return RecordError::DeviceBusy;
        }
        return RecordError::OpenFailed;
    }
    default:
        return RecordError::OpenFailed;
    }
}

bool IsInputDevice(PaDeviceIndex index) {
    if (index < 0 || index >= Pa_GetDeviceCount()) {
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return info != nullptr && info->maxInputChannels > 0;
}

// Called with PortAudioMutex held. Mono at the rate wanted if the device takes it; else two
// channels, else its own rate.
CaptureOpening OpenDefaultInput(uint32_t preferredRate, CaptureRing& ring) {
    const PaDeviceIndex device = Pa_GetDefaultInputDevice();
    if (!IsInputDevice(device)) {
        return {nullptr, RecordError::NoDevice};
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    PaStreamParameters in{};
    in.device = device;
    in.sampleFormat = paInt16;
    // Low latency: the first sample soon after the button, small portions for the meter. The
    // stream is opened straight away rather than asked first whether it would open: each
    // question opens the device, which costs as much as the opening itself.
    in.suggestedLatency = std::max(info->defaultLowInputLatency, kInputLatencySeconds);
    PaError last = paInvalidSampleRate;
    for (const int channels : {1, 2}) {
        if (channels > info->maxInputChannels) {
            break;
        }
        in.channelCount = channels;
        for (const double rate : {static_cast<double>(preferredRate), info->defaultSampleRate}) {
            if (rate < 1000 || rate > 384000) {
                continue;
            }
            auto stream = std::make_unique<PortAudioInput>(ring, static_cast<unsigned>(channels),
                                                           static_cast<uint32_t>(rate));
            last = stream->Open(in);
            if (last == paNoError) {
                return {std::move(stream), RecordError::None};
            }
            if (last != paInvalidSampleRate && last != paInvalidChannelCount &&
                last != paSampleFormatNotSupported) {
                return {nullptr, ToRecordError(last)};
            }
        }
    }
    return {nullptr, ToRecordError(last)};
}

class PortAudioCaptureBackend final : public CaptureDevice {
  public:
    CaptureOpening Open(uint32_t preferredRate, CaptureRing& ring) override {
        std::lock_guard lock(PortAudioMutex());
        QuietStderr quiet;
        if (!EnsurePortAudio()) {
            return {nullptr, RecordError::NoDevice};
        }
        CaptureOpening opening = OpenDefaultInput(preferredRate, ring);
        // The device list is PortAudio's from when it started: a sound server that has come or
        // gone since is seen only after starting it again.
        if (!opening.stream && opening.error != RecordError::PermissionDenied &&
            ReprobePortAudio()) {
            opening = OpenDefaultInput(preferredRate, ring);
        }
        return opening;
    }
};

} // namespace

void SetCaptureCallbackObserver(CaptureCallbackObserver observer) {
    g_callbackObserver.store(observer);
}

CaptureDevice& PortAudioCapture() {
    static PortAudioCaptureBackend backend;
    return backend;
}

} // namespace mplay
