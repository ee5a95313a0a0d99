#include "synthetic_speech.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonavix::test {
namespace {

double Amplitude(double db) {
    return 32768.0 * std::pow(10.0, db / 20.0);
}

} // namespace

double SignalBuilder::Noise() {
    // Uniform noise of unit RMS.
    m_seed = m_seed * 1664525u + 1013904223u;
    return (static_cast<double>(m_seed) / 4294967296.0 - 0.5) * std::sqrt(12.0);
}

void SignalBuilder::Append(double value) {
    m_samples.push_back(value + Amplitude(m_noiseDb) * Noise());
}

SignalBuilder& SignalBuilder::Pause(double seconds) {
    const auto n = static_cast<size_t>(seconds * m_rate);
    for (size_t i = 0; i < n; ++i) {
        Append(0);
    }
    return *this;
}

SignalBuilder& SignalBuilder::Speech(double seconds, double levelDb) {
    const auto n = static_cast<size_t>(seconds * m_rate);
    const double amplitude = Amplitude(levelDb) * std::sqrt(2.0) / 3.0;
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / m_rate;
        const double f0 = 130 + 30 * std::sin(2 * std::numbers::pi * 1.3 * t);
        phase += 2 * std::numbers::pi * f0 / m_rate;
        double v = 0;
        for (int h = 1; h <= 12; ++h) {
            v += std::sin(h * phase) / h;
        }
        // Syllables of 250 ms that rise and fall, never quite to nothing, with 15 ms ramps at
        // the ends of the whole stretch.
        const double syllable = 0.6 + 0.4 * std::sin(std::numbers::pi * std::fmod(t, 0.25) / 0.25);
        const double ramp = std::min({1.0, t / 0.015, (seconds - t) / 0.015});
        Append(amplitude * v * syllable * ramp);
    }
    return *this;
}

SignalBuilder& SignalBuilder::Click() {
    for (int i = 0; i < 8; ++i) {
        Append(i % 2 == 0 ? 30000 : -30000);
    }
    return *this;
}

std::vector<int16_t> SignalBuilder::Build() const {
    std::vector<int16_t> out(m_samples.size());
    std::transform(m_samples.begin(), m_samples.end(), out.begin(), [](double v) {
        return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
    });
    return out;
}

std::vector<int16_t> Sine(uint32_t rate, double hz, double seconds, double levelDb) {
    const auto n = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> out(n);
    const double amplitude = Amplitude(levelDb) * std::sqrt(2.0);
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
    }
    return out;
}

} // namespace sonavix::test
