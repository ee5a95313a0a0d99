// Energy voice activity: 10 ms frames, their mean power in dB of full scale, judged against the
// noise floor with hysteresis. When the floor falls (the first 100 ms held speech, not noise),
// every frame so far is judged again, so that the speech of a learner who spoke at once counts.
#include "mplay/Endpointer.h"

#include <algorithm>
#include <cmath>

namespace mplay {
namespace {

constexpr double kFullScalePower = 32768.0 * 32768.0;
constexpr double kOnsetDb = 10;
constexpr double kHoldDb = 6;
// Below these a sound is no speech however quiet the room (digital silence has no floor).
constexpr double kMinOnsetDb = -60;
constexpr double kMinHoldDb = -64;
constexpr size_t kOnsetFrames = 3;
constexpr double kRejudgeDb = 1;

double ToDb(double meanPower) {
    return 10.0 * std::log10(meanPower / kFullScalePower + 1e-12);
}

} // namespace

EnergyVad::EnergyVad(uint32_t sampleRate)
    : m_frameLength(std::max<size_t>(1, static_cast<size_t>(sampleRate * kFrameSeconds + 0.5))),
      m_floorFrames(10), m_recent(m_floorFrames, 0.0) {
    m_db.reserve(1024);
}

void EnergyVad::Feed(std::span<const int16_t> samples) {
    for (const int16_t s : samples) {
        m_power += static_cast<double>(s) * s;
        if (++m_filled == m_frameLength) {
            EndFrame();
        }
    }
}

void EnergyVad::EndFrame() {
    const double mean = m_power / static_cast<double>(m_frameLength);
    m_power = 0;
    m_filled = 0;
    m_db.push_back(static_cast<float>(ToDb(mean)));
    double& slot = m_recent[m_frames % m_floorFrames];
    m_recentPower += mean - slot;
    slot = mean;
    ++m_frames;
    if (m_frames < m_floorFrames) {
        return;
    }
    const double recentDb = ToDb(std::max(0.0, m_recentPower) / static_cast<double>(m_floorFrames));
    if (!m_floorKnown) {
        m_floorKnown = true;
        m_floorDb = recentDb;
        Rejudge();
        return;
    }
    m_floorDb = std::min(m_floorDb, recentDb);
    if (m_floorDb < m_judgedFloorDb - kRejudgeDb) {
        Rejudge();
    } else {
        Judge(m_frames - 1);
    }
}

void EnergyVad::Rejudge() {
    m_judgedFloorDb = m_floorDb;
    m_candidate = 0;
    m_inSpeech = false;
    m_speechFrames = 0;
    for (size_t frame = 0; frame < m_frames; ++frame) {
        Judge(frame);
    }
}

void EnergyVad::Judge(size_t frame) {
    const double db = m_db[frame];
    if (m_inSpeech) {
        m_inSpeech = db > std::max(m_floorDb + kHoldDb, kMinHoldDb);
        if (m_inSpeech) {
            m_lastSpeech = frame;
            ++m_speechFrames;
        }
        return;
    }
    if (db <= std::max(m_floorDb + kOnsetDb, kMinOnsetDb)) {
        m_candidate = 0;
        return;
    }
    if (++m_candidate < kOnsetFrames) {
        return;
    }
    if (m_speechFrames == 0) {
        m_firstSpeech = frame + 1 - kOnsetFrames;
    }
    m_inSpeech = true;
    m_candidate = 0;
    m_lastSpeech = frame;
    m_speechFrames += kOnsetFrames;
}

EnergyEndpointer::EnergyEndpointer(uint32_t sampleRate, double silenceSeconds,
                                   double noSpeechSeconds)
    : m_vad(sampleRate), m_silence(static_cast<size_t>(silenceSeconds * sampleRate)),
      m_noSpeech(static_cast<size_t>(noSpeechSeconds * sampleRate)) {}

bool EnergyEndpointer::operator()(std::span<const int16_t> samples) {
    m_vad.Feed(samples);
    if (!m_vad.HeardSpeech()) {
        return m_vad.Consumed() < m_noSpeech;
    }
    return m_vad.Consumed() - m_vad.SpeechEnd() < m_silence;
}

TrimRange FindTrim(std::span<const int16_t> samples, uint32_t sampleRate, double margin) {
    EnergyVad vad(sampleRate);
    vad.Feed(samples);
    if (!vad.HeardSpeech()) {
        return {0, samples.size(), false};
    }
    const auto keep = static_cast<size_t>(margin * sampleRate);
    const size_t begin = vad.SpeechBegin() > keep ? vad.SpeechBegin() - keep : 0;
    const size_t end = std::min(samples.size(), vad.SpeechEnd() + keep);
    return {begin, std::max(begin, end), true};
}

} // namespace mplay
