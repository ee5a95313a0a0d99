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
#include <span>

namespace sonavix::speech {
namespace {

constexpr double kSafetyMargin = 50.0; // Hz kept clear of 0 and of the Nyquist frequency
// From here up a harmonic sits close enough to F1 to pull an ordinary LPC's pole towards it; the
// frame is then analysed again over the closed phases of the glottal cycles alone.
constexpr double kClosedPhaseF0 = 150.0;
// The closed phase analysed, in periods after the closure: clear of the closure's own ringing in
// the resampling filter, and ending before the next opening of any voice that is closed for at
// least 60 % of the cycle.
constexpr double kClosedFrom = 0.05;
constexpr double kClosedTo = 0.40;
constexpr double kClosedRamp = 0.0003; // s over which the weight rises and falls

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

// Closed-phase weights for multi-cycle covariance analysis (Wong, Markel and Gray 1979, "Least
// squares glottal inverse filtering from the acoustic speech waveform", IEEE Trans. ASSP 27;
// Yegnanarayana and Veldhuis 1998, IEEE Trans. Speech Audio Proc. 6): between a glottal closure
// and the next opening the tract rings freely, so only those stretches of the Gaussian window
// count. Closures are the sharpest peaks of the prediction residual e of the first model, of the
// polarity its skew gives, one per period of f0 (in samples) walking out from the strongest.
void ClosedPhaseWeights(const std::vector<double>& e, const std::vector<double>& gauss,
                        double period, double rate, std::vector<double>& weight) {
    const std::size_t n = e.size();
    double skew = 0.0;
    for (const double v : e) {
        skew += v * v * v;
    }
    const double sign = skew < 0 ? -1.0 : 1.0;
    const auto peak = [&](long lo, long hi) {
        long best = lo;
        for (long i = lo + 1; i <= hi; ++i) {
            if (sign * e[static_cast<std::size_t>(i)] > sign * e[static_cast<std::size_t>(best)]) {
                best = i;
            }
        }
        return best;
    };
    constexpr double kFloor = 1e-5;
    std::vector<double> closed(n, kFloor);
    const auto ramp = std::max(1L, std::lround(kClosedRamp * rate));
    const auto mark = [&](long closure) {
        const long lo = closure + std::lround(kClosedFrom * period);
        const long hi = closure + std::lround(kClosedTo * period);
        for (long i = std::max(0L, lo); i <= hi && i < static_cast<long>(n); ++i) {
            const double edge = static_cast<double>(std::min(i - lo, hi - i)) / ramp;
            auto& w = closed[static_cast<std::size_t>(i)];
            w = std::max(w, std::clamp(edge, kFloor, 1.0));
        }
    };
    const long first = peak(0, static_cast<long>(n) - 1);
    mark(first);
    for (const int dir : {-1, 1}) {
        for (long at = first;;) {
            const double expect = static_cast<double>(at) + dir * period;
            const long lo = std::lround(expect - 0.2 * period);
            const long hi = std::lround(expect + 0.2 * period);
            if (lo < 0 || hi >= static_cast<long>(n)) {
                break;
            }
            at = peak(lo, hi);
            mark(at);
        }
    }
    weight.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        weight[i] = gauss[i] * closed[i];
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
    std::vector<double> residual(window), weight;
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
        std::vector<double> a = BurgLpc(frame, order);
        if (f0 >= kClosedPhaseF0) {
            const std::span<const double> span(x.data() + start, window);
            std::fill(residual.begin(), residual.end(), 0.0);
            for (std::size_t i = static_cast<std::size_t>(order); i < window; ++i) {
                double e = 0.0;
                for (std::size_t k = 0; k <= static_cast<std::size_t>(order); ++k) {
                    e += a[k] * span[i - k];
                }
                residual[i] = e;
            }
            ClosedPhaseWeights(residual, gauss, rate / f0, rate, weight);
            std::vector<double> qcp = WeightedLpc(span, weight, order);
            if (std::any_of(qcp.begin() + 1, qcp.end(), [](double v) { return v != 0.0; })) {
                a = std::move(qcp);
            }
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
