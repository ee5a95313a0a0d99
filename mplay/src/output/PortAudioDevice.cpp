// The sound device over PortAudio, the only place that knows the library. PortAudio reaches
// ALSA, and through ALSA's default device the sound server of a desktop.
//
// Buffers are handed to the audio callback through a small single-producer ring. The callback
// copies from the queued buffers into the device and counts the frames it has handed over; a
// buffer is reported done only once that count, less the device's output latency, has passed
// its last frame, so that the end of a recording is heard whole before the worker closes the
// device.
#include "output/AudioDevice.h"
#include "output/PortAudioLibrary.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace mplay {
namespace {

constexpr double kMinimumLatencySeconds = 0.1;

std::atomic<FirstSoundObserver> g_firstSoundObserver{nullptr};

PaDeviceIndex ToPaDevice(int device) {
    return device == AudioDevice::kDefaultDevice ? Pa_GetDefaultOutputDevice()
                                                 : static_cast<PaDeviceIndex>(device);
}

bool IsOutputDevice(PaDeviceIndex index) {
    if (index < 0 || index >= Pa_GetDeviceCount()) {
        return false;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return info != nullptr && info->maxOutputChannels > 0;
}

class PortAudioOutput final : public AudioOutput {
  public:
    PortAudioOutput(AudioDevice::DoneCallback onDone, uint32_t sampleRate)
        : m_onDone(onDone), m_sampleRate(sampleRate) {}
    ~PortAudioOutput() override { Stop(); }
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    // Called with PortAudioMutex held.
    bool Start(PaDeviceIndex device) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (info == nullptr) {
            return false;
        }
        PaStreamParameters out{};
        out.device = device;
        out.channelCount = 2;
        out.sampleFormat = paInt16;
        // A deep device buffer rides out a busy machine. It costs no delay at the start, since
        // the stream starts with the first sound, and none at a stop, which drops it.
        out.suggestedLatency = std::max(info->defaultHighOutputLatency, kMinimumLatencySeconds);
        // Started by the first Queue, not here, so that the sound does not wait behind a device
        // buffer's worth of silence.
        if (Pa_OpenStream(&m_stream, nullptr, &out, m_sampleRate, paFramesPerBufferUnspecified,
                          paClipOff, &PortAudioOutput::Callback, this) != paNoError) {
            m_stream = nullptr;
            return false;
        }
        Pa_SetStreamFinishedCallback(m_stream, &PortAudioOutput::Finished);
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(m_stream);
        if (streamInfo != nullptr && streamInfo->outputLatency > 0) {
            m_nominalLatencyFrames =
                static_cast<uint64_t>(streamInfo->outputLatency * m_sampleRate);
        }
        return true;
    }

    bool Queue(const uint8_t* data, uint32_t bytes) override {
        const uint32_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) >= kSlots) {
            return false;
        }
        Slot& slot = m_slots[head % kSlots];
        slot.data = data;
        slot.bytes = bytes;
        m_head.store(head + 1, std::memory_order_release);
        if (!m_started && m_stream != nullptr) {
            std::lock_guard lock(PortAudioMutex());
            m_started = Pa_StartStream(m_stream) == paNoError;
            if (!m_started) {
                m_failed.store(true);
            }
        }
        return m_started;
    }

    bool Failed() const override { return m_failed.load(); }

    // m_stream belongs to the worker that opened the output; only the calls need the lock.
    void Stop() override { AbortPortAudioStream(m_stream, m_stopping); }

  private:
    static constexpr uint32_t kSlots = 8;
    static constexpr uint32_t kFrameBytes = 4;

    struct Slot {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        uint64_t doneFrame = 0; // written and read by the callback only
    };

    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
        static_cast<PortAudioOutput*>(user)->Fill(static_cast<uint8_t*>(output), frames, time);
        return paContinue;
    }

    // The stream has become inactive: at our stop, or on its own when the device failed.
    static void Finished(void* user) {
        auto* self = static_cast<PortAudioOutput*>(user);
        if (!self->m_stopping.load()) {
            self->m_failed.store(true);
            self->m_onDone();
        }
    }

    // Runs on the audio thread: copies and counts, nothing that can block.
    void Fill(uint8_t* out, unsigned long frames, const PaStreamCallbackTimeInfo* time) {
        const size_t want = static_cast<size_t>(frames) * kFrameBytes;
        size_t pos = 0;
        const uint64_t latency = LatencyFrames(time);
        const uint32_t head = m_head.load(std::memory_order_acquire);
        const bool silentSoFar = !m_soundStarted;
        size_t soundAt = 0;
        while (m_consumed != head) {
            Slot& slot = m_slots[m_consumed % kSlots];
            const size_t n = std::min<size_t>(slot.bytes - m_offset, want - pos);
            if (n > 0 && !m_soundStarted) {
                m_soundStarted = true;
                soundAt = pos;
            }
            std::memcpy(out + pos, slot.data + m_offset, n);
            pos += n;
            m_offset += static_cast<uint32_t>(n);
            if (m_offset < slot.bytes) {
                break;
            }
            slot.doneFrame = m_framesHanded + pos / kFrameBytes + latency;
            m_offset = 0;
            ++m_consumed;
        }
        std::memset(out + pos, 0, want - pos);
        if (silentSoFar && m_soundStarted && time != nullptr) {
            if (FirstSoundObserver observe = g_firstSoundObserver.load(std::memory_order_relaxed)) {
                observe(time->outputBufferDacTime - time->currentTime +
                        static_cast<double>(soundAt / kFrameBytes) / m_sampleRate);
            }
        }

        // What the device has played by now: everything handed over before this call, less
        // what still waits in its buffer.
        uint32_t tail = m_tail.load(std::memory_order_relaxed);
        while (tail != m_consumed && m_slots[tail % kSlots].doneFrame <= m_framesHanded) {
            ++tail;
            m_tail.store(tail, std::memory_order_release);
            m_onDone();
        }
        m_framesHanded += frames;
    }

    uint64_t LatencyFrames(const PaStreamCallbackTimeInfo* time) const {
        if (time != nullptr) {
            const double ahead = time->outputBufferDacTime - time->currentTime;
            if (ahead > 0.0 && ahead < 2.0) {
                return static_cast<uint64_t>(ahead * m_sampleRate);
            }
        }
        return m_nominalLatencyFrames;
    }

    AudioDevice::DoneCallback m_onDone;
    uint32_t m_sampleRate;
    PaStream* m_stream = nullptr;
    bool m_started = false;
    uint64_t m_nominalLatencyFrames = 0;

    Slot m_slots[kSlots];
    std::atomic<uint32_t> m_head{0}; // written by the worker
    std::atomic<uint32_t> m_tail{0}; // written by the callback: slots reported done
    uint32_t m_consumed = 0;         // callback only: slots copied out whole
    uint32_t m_offset = 0;           // callback only: bytes copied of slot m_consumed
    uint64_t m_framesHanded = 0;     // callback only
    bool m_soundStarted = false;     // callback only
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_failed{false};
};

class PortAudioBackend final : public AudioDevice {
  public:
    bool HasDevice(int device) override {
        std::lock_guard lock(PortAudioMutex());
        if (!EnsurePortAudio()) {
            return false;
        }
        if (device == kDefaultDevice && !IsOutputDevice(ToPaDevice(device)) &&
            !ReprobePortAudio()) {
            return false;
        }
        return IsOutputDevice(ToPaDevice(device));
    }

    int DeviceCount() override {
        std::lock_guard lock(PortAudioMutex());
        return EnsurePortAudio() ? std::max(0, static_cast<int>(Pa_GetDeviceCount())) : 0;
    }

    std::unique_ptr<AudioOutput> Open(int device, const PcmFormat& format,
                                      DoneCallback onDone) override {
        if (format.formatTag != 1 || format.channels != 2 || format.bitsPerSample != 16 ||
            format.sampleRate == 0 || onDone == nullptr) {
            return nullptr;
        }
        auto output = std::make_unique<PortAudioOutput>(onDone, format.sampleRate);
        std::lock_guard lock(PortAudioMutex());
        if (!EnsurePortAudio()) {
            return nullptr;
        }
        const PaDeviceIndex index = ToPaDevice(device);
        if (!IsOutputDevice(index) || !output->Start(index)) {
            return nullptr;
        }
        return output;
    }
};

} // namespace

void SetFirstSoundObserver(FirstSoundObserver observer) {
    g_firstSoundObserver.store(observer);
}

AudioDevice& PortAudioDevice() {
    static PortAudioBackend backend;
    return backend;
}

} // namespace mplay
