#pragma once
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

namespace sonavix::speech {

struct EndpointerSettings {
    double noiseWindow = 0.100;     // s at the start that set the noise floor
    double frame = 0.010;           // s per energy frame
    double onsetMargin = 12.0;      // dB above the floor that count as speech
    double offsetMargin = 8.0;      // dB above the floor that keep speech going
    double minSpeech = 0.040;       // s above the onset level before it counts (clicks do not)
    double trailingSilence = 0.700; // s of silence after speech that end the recording
    double maxDuration = 8.0;       // s after which a recording ends regardless
    double keep = 0.100;            // s of silence kept before the onset and after the offset
    double floorMinDb = -70.0;      // digital silence still gets a finite floor
    double floorMaxDb = -30.0;      // speech from the first instant cannot raise it further
    // A floor known beforehand (dB), used instead of the opening frames' when finite.
    double knownFloorDb = std::numeric_limits<double>::quiet_NaN();
};

struct Endpoints {
    bool speech = false;       // any speech found
    std::size_t onset = 0;     // first sample of speech
    std::size_t offset = 0;    // one past its last sample
    std::size_t trimBegin = 0; // the span to keep: speech plus the margins, within the input
    std::size_t trimEnd = 0;
    double noiseFloorDb = 0.0; // RMS level of the noise, dB relative to full scale
};

// Voice activity over a recording fed block by block, as the recorder receives it. Energy is
// measured in fixed frames; the noise floor is the level of the first frames; speech begins
// where the level stays above floor + onsetMargin for minSpeech and lasts while it stays above
// floor + offsetMargin, bridging pauses shorter than trailingSilence.
class Endpointer {
  public:
    Endpointer(double rate, EndpointerSettings settings = {});

    void Feed(std::span<const float> block);
    // The recorder stops here: trailing silence after speech, or the maximum duration.
    bool Done() const { return m_done; }
    bool SpeechStarted() const { return m_speech; }
    std::size_t SamplesSeen() const { return m_seen; }
    // The result so far; at the end of input, speech that is still going ends where input did.
    Endpoints Result() const;

  private:
    void EndFrame();

    double m_rate;
    EndpointerSettings m_s;
    std::size_t m_frameLength;
    std::size_t m_noiseFrames;
    std::size_t m_minSpeechFrames;
    std::size_t m_silenceFrames;
    std::size_t m_maxSamples;
    std::size_t m_seen = 0;
    std::size_t m_frames = 0; // complete frames
    double m_acc = 0.0;       // sum of squares of the frame in progress
    std::size_t m_inFrame = 0;
    double m_noiseSum = 0.0;
    bool m_floorSet = false;
    double m_floorDb = 0.0;
    std::size_t m_run = 0;   // frames in a row above the onset level
    std::size_t m_quiet = 0; // frames in a row below the offset level since speech
    bool m_speech = false;
    std::size_t m_onsetFrame = 0;
    std::size_t m_lastSpeechFrame = 0; // one past
    bool m_done = false;
};

// The same analysis over a whole recording.
Endpoints FindEndpoints(std::span<const float> samples, double rate,
                        EndpointerSettings settings = {});

// The level (dB of full scale) of the quietest stretch of window seconds, in steps of frame
// seconds: the noise floor of a recording held whole, which need not open with silence (a model
// recording may start speaking at once). The whole recording's level when it is shorter.
double QuietestLevelDb(std::span<const float> samples, double rate, double window = 0.100,
                       double frame = 0.010);

} // namespace sonavix::speech
