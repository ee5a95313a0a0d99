// Formant candidates in the manner of Praat's "To Formant (burg)" (Boersma and Weenink, Praat
// manual): resampling to twice the ceiling, pre-emphasis, a Gaussian window twice the effective
// length, Burg LPC with two poles per formant, and the roots of the prediction polynomial turned
// into frequencies and bandwidths (Markel and Gray 1976, Linear Prediction of Speech, ch. 3).
#include "speech/Formants.h"

#include "speech/Fft.h"
#include "speech/Lpc.h"
#include "speech/Resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonavix::speech {
namespace {

constexpr double kSafetyMargin = 50.0; // Hz kept clear of 0 and of the Nyquist frequency
// From here up the window's main lobe is narrower than the spacing of the harmonics.
constexpr double kHarmonicModelF0 = 150.0;

double F0At(const PitchTrack* pitch, double time) {
    if (!pitch || pitch->frames.empty() || !(pitch->timeStep > 0)) {
        return 0.0;
    }
    const double pos = (time - pitch->frames.front().time) / pitch->timeStep;
    const long i = std::lround(pos);
    if (i < 0 || i >= static_cast<long>(pitch->frames.size())) {
        return 0.0;
    }
    return pitch->frames[static_cast<std::size_t>(i)].f0;
}

// The peaks of the harmonics of f0 in a power spectrum of nfft points: frequency (radians per
// sample, refined by a parabola through the log power) and power.
void HarmonicPeaks(const std::vector<double>& power, std::size_t nfft, double rate, double f0,
                   std::vector<double>& w, std::vector<double>& p) {
    w.clear();
    p.clear();
    const double binHz = rate / static_cast<double>(nfft);
    const std::size_t last = power.size() - 2;
    for (int m = 1;; ++m) {
        const double centre = m * f0;
        if (centre + 0.5 * f0 > 0.5 * rate) {
            break;
        }
        const auto lo = static_cast<std::size_t>(std::max(1.0, (centre - 0.3 * f0) / binHz));
        const auto hi = std::min(last, static_cast<std::size_t>((centre + 0.3 * f0) / binHz));
        if (hi <= lo) {
            continue;
        }
        std::size_t k = lo;
        for (std::size_t j = lo + 1; j <= hi; ++j) {
            if (power[j] > power[k]) {
                k = j;
            }
        }
        if (!(power[k] > 0) || !(power[k - 1] > 0) || !(power[k + 1] > 0)) {
            continue;
        }
        const double a = std::log(power[k - 1]), b = std::log(power[k]), c = std::log(power[k + 1]);
        const double denom = a - 2.0 * b + c;
        const double shift = denom < 0 ? std::clamp(0.5 * (a - c) / denom, -0.5, 0.5) : 0.0;
        w.push_back(2.0 * std::numbers::pi * (k + shift) / static_cast<double>(nfft));
        p.push_back(std::exp(b - 0.25 * (a - c) * shift));
    }
}

} // namespace

FormantTrack AnalyseFormantCandidates(const Sound& input, const FormantSettings& s,
                                      const PitchTrack* pitch) {
    FormantTrack track;
    track.timeStep = s.timeStep;
    Sound resampled;
    const bool atRate = std::fabs(input.rate - 2.0 * s.maxFormant) < 1e-9;
    if (!atRate) {
        resampled = Resample(input, 2.0 * s.maxFormant);
    }
    const Sound& sound = atRate ? input : resampled;
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
    const std::size_t frames =
        static_cast<std::size_t>((duration - window / rate) / s.timeStep) + 1;
    const double firstTime = 0.5 * (duration - (frames - 1) * s.timeStep);
    track.frames.resize(frames);
    std::vector<double> frame(window);
    std::vector<double> poly(static_cast<std::size_t>(order) + 1);
    const double nyquist = 0.5 * rate;
    const std::size_t nfft = NextPowerOfTwo(window * 2);
    RealFft& fft = ThreadFft(nfft);
    std::vector<double> padded(nfft, 0.0), power(nfft / 2 + 1), hw, hp;
    for (std::size_t f = 0; f < frames; ++f) {
        FormantFrame& out = track.frames[f];
        out.time = firstTime + f * s.timeStep;
        const long startL = std::lround(out.time * rate - window / 2.0);
        const auto start =
            static_cast<std::size_t>(std::clamp(startL, 0L, static_cast<long>(n - window)));
        const double f0 = F0At(pitch, out.time);
        if (s.voicedOnly && pitch && f0 <= 0) {
            continue;
        }
        double energy = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            frame[i] = x[start + i] * gauss[i];
            energy += frame[i] * frame[i];
        }
        if (energy <= 1e-20) {
            continue;
        }
        std::vector<double> a;
        if (f0 >= kHarmonicModelF0) {
            std::copy(frame.begin(), frame.end(), padded.begin());
            fft.PowerSpectrum(padded.data(), power.data());
            HarmonicPeaks(power, nfft, rate, f0, hw, hp);
            a = DiscreteAllPole(hw, hp, order);
        } else {
            a = BurgLpc(frame, order);
        }
        // z^p A(1/z) has the coefficients of A in the same order.
        poly.assign(a.begin(), a.end());
        for (const auto& z : PolynomialRoots(poly)) {
            if (z.imag() <= 0.0) {
                continue;
            }
            double radius = std::abs(z);
            if (!(radius > 0.0) || radius == 1.0 || !std::isfinite(radius)) {
                continue;
            }
            if (radius > 1.0) {
                radius = 1.0 / radius; // reflected inside: the same magnitude response, stable
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

FormantTrack AnalyseFormants(const Sound& sound, const FormantSettings& s,
                             const PitchTrack* pitch) {
    FormantTrack track = AnalyseFormantCandidates(sound, s, pitch);
    TrackerSettings t;
    for (double& r : t.reference) {
        r *= s.maxFormant / 5000.0;
    }
    TrackFormants(track, t);
    return track;
}

} // namespace sonavix::speech
