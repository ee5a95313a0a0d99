// Energy-based endpoint detection in the manner of Rabiner and Sambur (1975), "An algorithm for
// determining the endpoints of isolated utterances", Bell Syst. Tech. J. 54: a noise floor from
// the opening stretch, a higher level to start speech and a lower one to keep it, and a minimum
// duration so that clicks are not taken for speech.
#include "speech/Endpointer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace sonavix::speech {
namespace {

std::size_t Frames(double seconds, double frame) {
    const double n = std::round(seconds / frame);
    if (!(n < 1e15)) {
        return std::numeric_limits<std::size_t>::max(); // never
    }
    return static_cast<std::size_t>(std::max(1.0, n));
}

} // namespace

Endpointer::Endpointer(double rate, EndpointerSettings settings)
    : m_rate(rate > 0 ? rate : 16000.0), m_s(settings) {
    m_frameLength = std::max<std::size_t>(1, static_cast<std::size_t>(m_rate * m_s.frame));
    m_noiseFrames = Frames(m_s.noiseWindow, m_s.frame);
    m_minSpeechFrames = Frames(m_s.minSpeech, m_s.frame);
    m_silenceFrames = Frames(m_s.trailingSilence, m_s.frame);
    const double maxSamples = m_rate * m_s.maxDuration;
    m_maxSamples = maxSamples < 1e18 ? static_cast<std::size_t>(std::max(0.0, maxSamples))
                                     : std::numeric_limits<std::size_t>::max();
    if (std::isfinite(m_s.knownFloorDb)) {
        m_floorDb = std::clamp(m_s.knownFloorDb, m_s.floorMinDb, m_s.floorMaxDb);
        m_floorSet = true;
    }
}

void Endpointer::Feed(std::span<const float> block) {
    for (const float s : block) {
        if (m_done) {
            return;
        }
        const double v = std::isfinite(s) ? s : 0.0;
        m_acc += v * v;
        ++m_seen;
        if (++m_inFrame == m_frameLength) {
            EndFrame();
        }
        if (m_seen >= m_maxSamples) {
            m_done = true;
        }
    }
}

void Endpointer::EndFrame() {
    const double meanSquare = m_acc / static_cast<double>(m_frameLength);
    m_acc = 0.0;
    m_inFrame = 0;
    const std::size_t index = m_frames++;
    if (!m_floorSet) {
        m_noiseSum += meanSquare;
        if (m_frames == m_noiseFrames) {
            const double db = 10.0 * std::log10(m_noiseSum / m_noiseFrames + 1e-20);
            m_floorDb = std::clamp(db, m_s.floorMinDb, m_s.floorMaxDb);
            m_floorSet = true;
        }
        // The opening frames still count: speech may begin at once.
        if (!m_floorSet) {
            return;
        }
    }
    const double db = 10.0 * std::log10(meanSquare + 1e-20);
    if (!m_speech) {
        m_run = db > m_floorDb + m_s.onsetMargin ? m_run + 1 : 0;
        if (m_run >= m_minSpeechFrames) {
            m_speech = true;
            m_onsetFrame = index + 1 - m_run;
            m_lastSpeechFrame = index + 1;
            m_quiet = 0;
        }
        return;
    }
    if (db > m_floorDb + m_s.offsetMargin) {
        m_lastSpeechFrame = index + 1;
        m_quiet = 0;
    } else if (++m_quiet >= m_silenceFrames) {
        m_done = true;
    }
}

Endpoints Endpointer::Result() const {
    Endpoints e;
    e.noiseFloorDb = m_floorDb;
    if (!m_floorSet && m_frames > 0) {
        e.noiseFloorDb =
            std::clamp(10.0 * std::log10(m_noiseSum / static_cast<double>(m_frames) + 1e-20),
                       m_s.floorMinDb, m_s.floorMaxDb);
    }
    if (!m_speech) {
        e.trimEnd = m_seen;
        return e;
    }
    e.speech = true;
    e.onset = std::min(m_seen, m_onsetFrame * m_frameLength);
    e.offset = std::min(m_seen, m_lastSpeechFrame * m_frameLength);
    const auto keep = static_cast<std::size_t>(m_s.keep * m_rate);
    e.trimBegin = e.onset > keep ? e.onset - keep : 0;
    e.trimEnd = std::min(m_seen, e.offset + keep);
    return e;
}

Endpoints FindEndpoints(std::span<const float> samples, double rate, EndpointerSettings settings) {
    Endpointer e(rate, settings);
    e.Feed(samples);
    return e.Result();
}

double QuietestLevelDb(std::span<const float> samples, double rate, double window, double frame) {
    const auto frameLength = static_cast<std::size_t>(std::max(1.0, rate * frame));
    std::vector<double> power; // mean square per frame
    for (std::size_t at = 0; at + frameLength <= samples.size(); at += frameLength) {
        double sum = 0.0;
        for (std::size_t i = at; i < at + frameLength; ++i) {
            const double v = std::isfinite(samples[i]) ? samples[i] : 0.0;
            sum += v * v;
        }
        power.push_back(sum / static_cast<double>(frameLength));
    }
    const std::size_t span = std::min(power.size(), Frames(window, frame));
    if (span == 0) {
        return 10.0 * std::log10(1e-20);
    }
    double run = 0.0;
    for (std::size_t i = 0; i < span; ++i) {
        run += power[i];
    }
    double quietest = run;
    for (std::size_t i = span; i < power.size(); ++i) {
        run += power[i] - power[i - span];
        quietest = std::min(quietest, run);
    }
    return 10.0 * std::log10(std::max(0.0, quietest) / static_cast<double>(span) + 1e-20);
}

} // namespace sonavix::speech
