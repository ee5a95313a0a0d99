#pragma once
// Voice activity by short-time energy against a noise floor, for ending a recording by itself
// and trimming it. The floor is the mean power of the first 100 ms; it may only fall later, so
// that a learner who speaks at once is not taken for the noise. Speech begins with 30 ms above
// the floor by 10 dB, and lasts while frames stay 6 dB above it; runs shorter than 30 ms (a
// click) are not speech.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace mplay {

class EnergyVad {
  public:
    static constexpr double kFrameSeconds = 0.01;

    explicit EnergyVad(uint32_t sampleRate);
    // Takes the next samples, in any portions.
    void Feed(std::span<const int16_t> samples);

    bool HeardSpeech() const { return m_speechFrames > 0; }
    // First sample of the first speech and one past the last sample of the last, when heard.
    size_t SpeechBegin() const { return m_firstSpeech * m_frameLength; }
    size_t SpeechEnd() const { return (m_lastSpeech + 1) * m_frameLength; }
    // Samples taken in whole frames so far.
    size_t Consumed() const { return m_frames * m_frameLength; }
    double NoiseFloorDb() const { return m_floorDb; }

  private:
    void EndFrame();
    void Judge(size_t frame);
    void Rejudge();

    size_t m_frameLength;
    size_t m_floorFrames;
    double m_power = 0; // sum of squares of the frame being filled
    size_t m_filled = 0;
    size_t m_frames = 0;
    std::vector<float> m_db;      // level of every whole frame, for judging again
    double m_recentPower = 0;     // sum of the mean powers of the last m_floorFrames frames
    std::vector<double> m_recent; // those powers, as a ring
    double m_floorDb = 0;
    double m_judgedFloorDb = 0; // the floor the frames so far were judged against
    bool m_floorKnown = false;
    // Judgement of the frames so far.
    size_t m_candidate = 0; // loud frames in a row, not yet speech
    bool m_inSpeech = false;
    size_t m_speechFrames = 0;
    size_t m_firstSpeech = 0;
    size_t m_lastSpeech = 0;
};

// The built-in "keep going?" of a recording: false once speech has been followed by silence
// for silenceSeconds, or when no speech has begun within noSpeechSeconds.
class EnergyEndpointer {
  public:
    explicit EnergyEndpointer(uint32_t sampleRate, double silenceSeconds = 0.7,
                              double noSpeechSeconds = 5.0);
    bool operator()(std::span<const int16_t> samples);
    const EnergyVad& Vad() const { return m_vad; }

  private:
    EnergyVad m_vad;
    size_t m_silence;
    size_t m_noSpeech;
};

// Where to cut samples so that margin seconds of the silence before and after its speech stay:
// [begin, end). The whole span when it holds no speech.
struct TrimRange {
    size_t begin = 0;
    size_t end = 0;
    bool speech = false;
};
TrimRange FindTrim(std::span<const int16_t> samples, uint32_t sampleRate, double margin = 0.1);

} // namespace mplay
