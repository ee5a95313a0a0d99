#pragma once
// Time stretching of 16-bit stereo PCM with its pitch kept, as a stream: pairs go in as they are
// decoded and the stretched pairs come out a little later. The output has exactly
// OutputFrames(input) frames and starts in step with the input (the stretcher's own delay is
// cut off), so that a pass lasts its nominal length at every speed; its last 5 ms fade out, and
// no step between neighbouring output values is larger than the largest the input has had.
#include <cstdint>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace mplay {

class TimeStretch {
  public:
    // The library's engines: Faster (R2), Finer (R3 with all its window sizes) and FinerShort
    // (R3 restricted to its short window: less work and less delay).
    enum class Engine { Faster, Finer, FinerShort };
    // The engine speech is slowed down with: chosen by bench/stretch on the lesson recordings.
    static constexpr Engine kSpeechEngine = Engine::FinerShort;

    // channels 1: the left value of each pair is stretched and the result fills both (for
    // streams whose channels are the same); 2: both, kept in step. speed as PlaySpeed gives it.
    TimeStretch(uint32_t sampleRate, int channels, double speed, Engine engine = kSpeechEngine);
    ~TimeStretch();
    TimeStretch(const TimeStretch&) = delete;
    TimeStretch& operator=(const TimeStretch&) = delete;

    // Takes frames (left, right) pairs.
    void Push(const int16_t* pairs, uint32_t frames);
    // No more input: everything left becomes available.
    void Finish();
    // Frames that Pull can give now.
    uint32_t Available() const;
    // Moves up to maxFrames stretched pairs to out; returns how many.
    uint32_t Pull(int16_t* out, uint32_t maxFrames);
    // Finish has been called and every frame pulled.
    bool Done() const;

    // Output values the step bound has changed so far; for tests and the bench.
    uint64_t LimitedValues() const { return m_limited; }

    // The length of the output for inputFrames frames at speed: the nearest whole frame.
    static uint64_t OutputFrames(uint64_t inputFrames, double speed);

  private:
    void Process(uint32_t frames, bool final);
    void Collect();
    uint64_t Allowed() const;
    uint64_t Ready() const;

    std::unique_ptr<RubberBand::RubberBandStretcher> m_stretcher;
    const int m_channels;
    const double m_speed;
    const uint32_t m_fadeFrames;
    uint64_t m_inputFrames = 0;
    uint64_t m_pulled = 0;
    uint64_t m_delayLeft = 0; // stretcher output still to drop at the start
    bool m_finished = false;
    std::vector<float> m_in[2];
    // Stretched frames not yet pulled: m_ready[c][m_readPos ...].
    std::vector<float> m_ready[2];
    size_t m_readPos = 0;
    int32_t m_lastIn[2] = {0, 0};
    int32_t m_lastOut[2] = {0, 0};
    int32_t m_largestStep = 0;
    uint64_t m_limited = 0;
};

} // namespace mplay
