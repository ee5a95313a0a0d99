#pragma once
// The seam between the wave output and the sound system: what WaveOut needs of any platform.
// The process uses PortAudio; tests put a scripted device in its place.
#include "output/BufferDoneSignal.h"

#include <chrono>
#include <cstdint>
#include <memory>

namespace mplay {

// The format the device is opened in: two channels whatever the stream's mode.
struct PcmFormat {
    uint16_t formatTag = 1; // linear PCM
    uint16_t channels = 2;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 4;
    uint16_t bitsPerSample = 16;
};

// One open output stream.
class AudioOutput {
  public:
    // Stops at once, like Stop, and releases the device.
    virtual ~AudioOutput() = default;
    // Plays bytes after everything queued before; the bytes stay untouched until the device has
    // reported them done. Returns false when the device cannot take another buffer now.
    virtual bool Queue(const uint8_t* data, uint32_t bytes) = 0;
    // Stops at once: buffers not yet played are dropped without a completion notice. Once it
    // returns, the device no longer reads any queued bytes and reports nothing more.
    virtual void Stop() = 0;
    // True once the device has stopped playing on its own (its server went away, say): it will
    // report nothing more. It then also sets the completion signal once, to end a wait.
    virtual bool Failed() const { return false; }
};

class AudioDevice {
  public:
    static constexpr int kDefaultDevice = -1;
    // Called once per queued buffer, in queue order, once the device has played all of it; on a
    // thread of the sound system, where it must not block.
    using DoneCallback = void (*)();

    virtual ~AudioDevice() = default;
    // True when the device exists and its capabilities can be read.
    virtual bool HasDevice(int device) = 0;
    // Numbered output devices, tried in order after the default one.
    virtual int DeviceCount() = 0;
    // Null when the device refuses the format.
    virtual std::unique_ptr<AudioOutput> Open(int device, const PcmFormat& format,
                                              DoneCallback onDone) = 0;
    // Waits for a completion notice; the device's clock measures the bound.
    virtual bool Wait(BufferDoneSignal& signal, std::chrono::milliseconds timeout) {
        return signal.WaitFor(timeout);
    }
};

// The device WaveOut opens: PortAudio unless a test has put another one in its place.
AudioDevice& CurrentAudioDevice();
// For tests: device stays owned by the caller; nullptr restores PortAudio.
void SetAudioDevice(AudioDevice* device);

AudioDevice& PortAudioDevice();

// For the latency benchmark: called on the audio thread when an output first hands sound to the
// device, with the time from then until the sound library expects it to be heard. Must not block.
using FirstSoundObserver = void (*)(double secondsUntilHeard);
void SetFirstSoundObserver(FirstSoundObserver observer);

} // namespace mplay
