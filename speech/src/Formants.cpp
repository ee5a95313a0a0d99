// Formant candidates in the manner of Praat's "To Formant (burg)" (Boersma and Weenink, Praat
// manual): resampling to twice the ceiling, pre-emphasis, a Gaussian window twice the effective
// length, Burg LPC with two poles per formant, and the roots of the prediction polynomial turned
// into frequencies and bandwidths (Markel and Gray 1976, Linear Prediction of Speech, ch. 3).
#include "speech/Formants.h"

#include "speech/Lpc.h"
#include "speech/Resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonavix::speech {
namespace {

constexpr double kSafetyMargin = 50.0; // Hz kept clear of 0 and of the Nyquist frequency

} // namespace

FormantTrack AnalyseFormantCandidates(const Sound& input, const FormantSettings& s) {
    FormantTrack track;
    track.timeStep = s.timeStep;
    const Sound sound = Resample(input, 2.0 * s.maxFormant);
    const double rate = sound.rate;
    const std::size_t n = sound.samples.size();
    const auto window = static_cast<std::size_t>(std::round(2.0 * s.windowLength * rate));
    const int order = 2 * s.numberOfFormants;
    if (window <= static_cast<std::size_t>(order) || n < window || !(rate > 0)) {
        return track;
    }

    std::vector<double> x(n);
    const double alpha = std::exp(-2.0 * std::numbers::pi * s.preEmphasisFrom / rate);
    x[0] = sound.samples[0];
    for (std::size_t i = 1; i < n; ++i) {
        x[i] = sound.samples[i] - alpha * sound.samples[i - 1];
    }

    // Gaussian window reaching exp(-12) at its ends, lifted to zero there.
    std::vector<double> gauss(window);
    const double edge = std::exp(-12.0);
    const double mid = 0.5 * (window - 1);
    for (std::size_t i = 0; i < window; ++i) {
        const double u = (i - mid) / (window + 1.0);
        gauss[i] = (std::exp(-48.0 * u * u) - edge) / (1.0 - edge);
    }

    const double duration = sound.Duration();
    const std::size_t frames = static_cast<std::size_t>((duration - window / rate) / s.timeStep) + 1;
    const double firstTime = 0.5 * (duration - (frames - 1) * s.timeStep);
    track.frames.resize(frames);
    std::vector<double> frame(window);
    std::vector<double> poly(static_cast<std::size_t>(order) + 1);
    const double nyquist = 0.5 * rate;
    for (std::size_t f = 0; f < frames; ++f) {
        FormantFrame& out = track.frames[f];
        out.time = firstTime + f * s.timeStep;
        const long startL = std::lround(out.time * rate - window / 2.0);
        const auto start =
            static_cast<std::size_t>(std::clamp(startL, 0L, static_cast<long>(n - window)));
        double energy = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            frame[i] = x[start + i] * gauss[i];
            energy += frame[i] * frame[i];
        }
        if (energy <= 1e-20) {
            continue;
        }
        const std::vector<double> a = BurgLpc(frame, order);
        // z^p A(1/z) has the coefficients of A in the same order.
        std::copy(a.begin(), a.end(), poly.begin());
        for (const auto& z : PolynomialRoots(poly)) {
            if (z.imag() <= 0.0) {
                continue;
            }
            const double radius = std::abs(z);
            if (!(radius > 0.0) || radius >= 1.0) {
                continue; // an unstable or degenerate pole is no resonance
            }
            const double freq = std::arg(z) * rate / (2.0 * std::numbers::pi);
            const double bw = -std::log(radius) * rate / std::numbers::pi;
            if (freq > kSafetyMargin && freq < nyquist - kSafetyMargin) {
                out.candidates.push_back({freq, bw});
            }
        }
        std::sort(out.candidates.begin(), out.candidates.end(),
                  [](const Resonance& p, const Resonance& q) { return p.frequency < q.frequency; });
    }
    return track;
}

FormantTrack AnalyseFormants(const Sound& sound, const FormantSettings& s) {
    FormantTrack track = AnalyseFormantCandidates(sound, s);
    TrackerSettings t;
    for (double& r : t.reference) {
        r *= s.maxFormant / 5000.0;
    }
    TrackFormants(track, t);
    return track;
}

} // namespace sonavix::speech
