#pragma once
// Recording from the default input device: mono 16-bit at 16 kHz (resampled when the device
// runs at another rate), ended by the caller, by an endpointer or at a length cap. A recording
// takes the process's one sound turn: it stops any playback, and a later playback request
// (StartPlayWorker) or recording stops it, so a window needs no bookkeeping of its own for one
// sound at a time. Errors come back as values in the result.
//
// A window calls Start from its thread, reads CurrentLevel on a timer for the meter, and hands
// the result from the done callback (which runs on the recorder's thread) over to its own.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>
#include <vector>

namespace mplay {

enum class RecordError {
    None,
    NoDevice,         // no input device, or no sound system
    PermissionDenied, // the system refuses access to the device
    DeviceBusy,       // another program holds it
    OpenFailed,       // it refused the format or failed to start
    DeviceLost,       // it stopped delivering mid-recording; what came before is kept
};

enum class StopReason {
    NotStarted, // failed to open, or overtaken before the turn came
    Endpointer, // the endpointer said stop
    Cap,        // reached the length cap
    Stopped,    // Recorder::Stop
    Superseded, // a playback or another recording was requested
    DeviceLost,
};

// "Keep going?": called on the recorder's thread with every new portion of the recording (mono,
// kSampleRate), in order and without gaps; false ends the recording. Must not call back into
// the Recorder.
using Endpointer = std::function<bool(std::span<const int16_t>)>;

struct Recording {
    RecordError error = RecordError::None;
    StopReason reason = StopReason::NotStarted;
    std::vector<int16_t> samples; // mono at kSampleRate, trimmed if asked
    bool heardSpeech = false;     // by the energy measure, whatever the endpointer
    int16_t peak = 0;             // largest magnitude in samples
    size_t clippedSamples = 0;    // at full scale
    uint32_t deviceRate = 0;      // what the device delivered at
    uint64_t droppedSamples = 0;  // lost because the recorder fell behind the device
    double firstSampleMs = -1;    // from the request to the first sample in hand
};

struct RecordOptions {
    // Empty: the built-in EnergyEndpointer.
    Endpointer endpointer = {};
    // False: record until Stop or the cap.
    bool useEndpointer = true;
    // Keep only 0.1 s of silence before and after the speech.
    bool trim = true;
    std::chrono::milliseconds maxLength{8000};
};

// A live level for a meter, as fractions of full scale over the last 50 ms.
struct Level {
    float peak = 0;
    float rms = 0;
};

class Recorder {
  public:
    static constexpr uint32_t kSampleRate = 16000;
    using DoneCallback = std::function<void(Recording)>;

    Recorder();
    // Stops a recording in progress and waits for it to end (its callback runs first).
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Takes the sound turn at once (so a playback stops) and records on a thread of the
    // recorder's own; onDone is called there, once, with the result (on the caller's thread,
    // at once, when no thread can be started). A recording of this recorder still running is
    // stopped first.
    void Start(RecordOptions options, DoneCallback onDone);
    // The same on the calling thread: returns when the recording has ended.
    Recording Record(RecordOptions options);
    // Ends the recording in progress; its result is still delivered. Never blocks.
    void Stop();
    // From Start until the device is closed.
    bool Active() const { return m_active.load(); }
    // Safe from any thread at any time; zero when idle.
    Level CurrentLevel() const;

  private:
    Recording Run(const RecordOptions& options, uint64_t request,
                  std::chrono::steady_clock::time_point requested);
    void Join();
    void ShowLevel(std::span<const int16_t> samples);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_active{false};
    std::atomic<float> m_peak{0};
    std::atomic<float> m_rms{0};
};

} // namespace mplay
