#include "synth_voice.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace sonavix::test {

speech::Sound SynthVowel(const VowelSpec& v) {
    speech::Sound out;
    out.rate = v.rate;
    const auto n = static_cast<std::size_t>(v.duration * v.rate);
    std::vector<double> x(n);
    double phase = 0.0;
    double prev = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        // Rosenberg's pulse: opening 40 % of the period, closing 16 %, then closed.
        double g = 0.0;
        if (phase < 0.40) {
            g = 0.5 * (1.0 - std::cos(std::numbers::pi * phase / 0.40));
        } else if (phase < 0.56) {
            g = std::cos(0.5 * std::numbers::pi * (phase - 0.40) / 0.16);
        }
        x[i] = g - prev; // radiation at the lips
        prev = g;
        phase += v.f0 / v.rate;
        phase -= std::floor(phase);
    }
    const double T = 1.0 / v.rate;
    for (std::size_t k = 0; k < v.formants.size(); ++k) {
        const double c = -std::exp(-2.0 * std::numbers::pi * v.bandwidths[k] * T);
        const double b = 2.0 * std::exp(-std::numbers::pi * v.bandwidths[k] * T) *
                         std::cos(2.0 * std::numbers::pi * v.formants[k] * T);
        const double a = 1.0 - b - c;
        double y1 = 0.0, y2 = 0.0;
        for (double& s : x) {
            const double y = a * s + b * y1 + c * y2;
            y2 = y1;
            y1 = y;
            s = y;
        }
    }
    double peak = 0.0;
    for (const double s : x) {
        peak = std::max(peak, std::fabs(s));
    }
    const auto ramp = static_cast<std::size_t>(0.02 * v.rate);
    out.samples.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        double gain = v.amplitude / (peak > 0 ? peak : 1.0);
        if (i < ramp) {
            gain *= static_cast<double>(i) / ramp;
        } else if (n - i < ramp) {
            gain *= static_cast<double>(n - i) / ramp;
        }
        out.samples[i] = static_cast<float>(x[i] * gain);
    }
    return out;
}

speech::Sound Noise(double seconds, double rms, double rate, uint32_t seed) {
    speech::Sound out;
    out.rate = rate;
    std::mt19937 gen(seed);
    std::normal_distribution<float> dist(0.0f, static_cast<float>(rms));
    out.samples.resize(static_cast<std::size_t>(seconds * rate));
    for (float& s : out.samples) {
        s = dist(gen);
    }
    return out;
}

speech::Sound Concat(const speech::Sound& a, const speech::Sound& b) {
    speech::Sound out = a;
    out.samples.insert(out.samples.end(), b.samples.begin(), b.samples.end());
    return out;
}

void MixInto(speech::Sound& into, const speech::Sound& add, std::size_t offset) {
    for (std::size_t i = 0; i < add.samples.size() && offset + i < into.samples.size(); ++i) {
        into.samples[offset + i] += add.samples[i];
    }
}

} // namespace sonavix::test
