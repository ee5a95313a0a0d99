#pragma once
// The seam between the recorder and the sound system: what Recorder needs of any platform's
// input. The process uses PortAudio; tests put a scripted device in its place.
#include "mplay/Recorder.h"
#include "output/CaptureRing.h"

#include <cstdint>
#include <memory>

namespace mplay {

// One running input stream, delivering into the ring it was opened with.
class CaptureStream {
  public:
    // Stops, like Stop, and releases the device.
    virtual ~CaptureStream() = default;
    // The rate the samples arrive at.
    virtual uint32_t SampleRate() const = 0;
    // True once the device has stopped delivering on its own (unplugged, server gone).
    virtual bool Failed() const = 0;
    // Once it returns, nothing more is written into the ring.
    virtual void Stop() = 0;
};

struct CaptureOpening {
    std::unique_ptr<CaptureStream> stream; // null on failure
    RecordError error = RecordError::None;
};

class CaptureDevice {
  public:
    virtual ~CaptureDevice() = default;
    // Opens and starts the default input, mono if it can, at preferredRate or else at a rate of
    // its own. The ring outlives the stream.
    virtual CaptureOpening Open(uint32_t preferredRate, CaptureRing& ring) = 0;
};

// The device Recorder opens: PortAudio unless a test has put another one in its place.
CaptureDevice& CurrentCaptureDevice();
// For tests: the device stays owned by the caller; nullptr restores PortAudio.
void SetCaptureDevice(CaptureDevice* device);

CaptureDevice& PortAudioCapture();

// For the benchmark: called on the audio thread after each input callback has done its work,
// with the frames it took and the seconds it spent. Must not block.
using CaptureCallbackObserver = void (*)(unsigned long frames, double seconds);
void SetCaptureCallbackObserver(CaptureCallbackObserver observer);

} // namespace mplay
