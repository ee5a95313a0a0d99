// Fundamental frequency by the autocorrelation method of Boersma (1993), "Accurate short-term
// analysis of the fundamental frequency and the harmonics-to-noise ratio of a sampled sound",
// IFA Proceedings 17: the autocorrelation of the Hann-windowed frame divided by that of the
// window, peaks refined by parabolic interpolation, and a Viterbi path through the candidates
// (and an unvoiced one per frame) with octave-jump and voicing-change costs.
#include "speech/Pitch.h"

#include "speech/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace sonavix::speech {
namespace {

struct Candidate {
    double f0;       // 0 = unvoiced
    double strength; // before octave cost, for the report
    double score;    // with it, for the path
};

// Autocorrelation of x (n values, zero-padded into the transform), normalised to r(0) = 1.
void Autocorrelate(RealFft& fft, std::vector<double>& buf, std::vector<std::complex<double>>& spec,
                   std::vector<double>& r) {
    fft.Forward(buf.data(), spec.data());
    for (auto& c : spec) {
        c = std::norm(c);
    }
    fft.Inverse(spec.data(), r.data());
    const double r0 = r[0];
    for (double& v : r) {
        v = r0 > 0 ? v / r0 : 0.0;
    }
}

} // namespace

PitchTrack AnalysePitch(const Sound& sound, const PitchSettings& s) {
    PitchTrack track;
    const double rate = sound.rate;
    const double dt = s.timeStep > 0 ? s.timeStep : 0.75 / s.floor;
    track.timeStep = dt;
    const auto window = static_cast<std::size_t>(std::round(s.periodsPerWindow / s.floor * rate));
    const std::size_t n = sound.samples.size();
    if (window < 4 || n < window || !(rate > 0)) {
        return track;
    }
    const std::size_t nfft = NextPowerOfTwo(window * 2);
    RealFft& fft = ThreadFft(nfft);
    std::vector<double> buf(nfft, 0.0);
    std::vector<std::complex<double>> spec(nfft / 2 + 1);

    std::vector<double> hann(window);
    for (std::size_t i = 0; i < window; ++i) {
        hann[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / window);
    }
    std::vector<double> rw(nfft);
    std::copy(hann.begin(), hann.end(), buf.begin());
    Autocorrelate(fft, buf, spec, rw);

    double mean = 0.0;
    for (const float v : sound.samples) {
        mean += v;
    }
    mean /= static_cast<double>(n);
    double globalPeak = 0.0;
    for (const float v : sound.samples) {
        globalPeak = std::max(globalPeak, std::fabs(v - mean));
    }

    const double minLag = rate / s.ceiling;
    // Beyond half the window the window's autocorrelation is too small to divide by.
    const double maxLag = std::min(rate / s.floor, window / 2.0);
    const auto lo = static_cast<std::size_t>(std::max(2.0, std::floor(minLag)));
    const auto hi = std::min(static_cast<std::size_t>(std::ceil(maxLag)), window / 2);

    const std::size_t frames =
        static_cast<std::size_t>((sound.Duration() - window / rate) / dt) + 1;
    const double firstTime = 0.5 * (sound.Duration() - (frames - 1) * dt);
    std::vector<std::vector<Candidate>> cands(frames);
    std::vector<double> r(nfft);

    for (std::size_t f = 0; f < frames; ++f) {
        const double t = firstTime + f * dt;
        const long startL = std::lround(t * rate - window / 2.0);
        const std::size_t start =
            static_cast<std::size_t>(std::clamp(startL, 0L, static_cast<long>(n - window)));
        double localMean = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            localMean += sound.samples[start + i];
        }
        localMean /= static_cast<double>(window);
        double localPeak = 0.0;
        for (std::size_t i = 0; i < window; ++i) {
            const double v = sound.samples[start + i] - localMean;
            localPeak = std::max(localPeak, std::fabs(v));
            buf[i] = v * hann[i];
        }
        std::fill(buf.begin() + static_cast<long>(window), buf.end(), 0.0);

        auto& list = cands[f];
        const double rel = globalPeak > 0 ? localPeak / globalPeak : 0.0;
        const double unvoiced =
            s.voicingThreshold +
            std::max(0.0, 2.0 - rel / (s.silenceThreshold / (1.0 + s.voicingThreshold)));
        list.push_back({0.0, 0.0, unvoiced});
        if (localPeak <= 0) {
            continue;
        }
        Autocorrelate(fft, buf, spec, r);
        for (std::size_t i = lo; i < hi; ++i) {
            r[i] /= rw[i];
        }
        r[lo - 1] /= rw[lo - 1];
        r[hi] /= rw[hi];
        for (std::size_t i = lo; i < hi; ++i) {
            if (!(r[i] > r[i - 1] && r[i] >= r[i + 1]) || r[i] < 0.5 * s.voicingThreshold) {
                continue;
            }
            const double a = r[i - 1], b = r[i], c = r[i + 1];
            const double denom = a - 2.0 * b + c;
            const double shift = denom < 0 ? 0.5 * (a - c) / denom : 0.0;
            double peak = b - 0.25 * (a - c) * shift;
            if (peak > 1.0) {
                peak = 1.0 / peak; // more than perfect periodicity is a windowing artefact
            }
            const double lag = static_cast<double>(i) + shift;
            if (lag < minLag || lag > maxLag) {
                continue;
            }
            const double score = peak - s.octaveCost * std::log2(s.floor * lag / rate);
            list.push_back({rate / lag, peak, score});
        }
        if (static_cast<int>(list.size()) > s.maxCandidates) {
            std::partial_sort(
                list.begin() + 1, list.begin() + s.maxCandidates, list.end(),
                [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
            list.resize(static_cast<std::size_t>(s.maxCandidates));
        }
    }

    // Viterbi: the path with the greatest total score less transition costs.
    const double correction = 0.01 / dt;
    std::vector<std::vector<double>> total(frames);
    std::vector<std::vector<int>> from(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        const auto& cur = cands[f];
        total[f].assign(cur.size(), 0.0);
        from[f].assign(cur.size(), 0);
        for (std::size_t j = 0; j < cur.size(); ++j) {
            if (f == 0) {
                total[f][j] = cur[j].score;
                continue;
            }
            const auto& prev = cands[f - 1];
            double best = -1e300;
            int arg = 0;
            for (std::size_t k = 0; k < prev.size(); ++k) {
                double cost = 0.0;
                const bool pv = prev[k].f0 > 0, cv = cur[j].f0 > 0;
                if (pv != cv) {
                    cost = s.voicedUnvoicedCost * correction;
                } else if (pv) {
                    cost = s.octaveJumpCost * correction *
                           std::fabs(std::log2(cur[j].f0 / prev[k].f0));
                }
                const double v = total[f - 1][k] - cost;
                if (v > best) {
                    best = v;
                    arg = static_cast<int>(k);
                }
            }
            total[f][j] = best + cur[j].score;
            from[f][j] = arg;
        }
    }
    track.frames.resize(frames);
    if (frames == 0) {
        return track;
    }
    int j = static_cast<int>(std::max_element(total.back().begin(), total.back().end()) -
                             total.back().begin());
    for (std::size_t f = frames; f-- > 0;) {
        const Candidate& c = cands[f][static_cast<std::size_t>(j)];
        track.frames[f] = {firstTime + f * dt, c.f0, c.strength};
        j = from[f][static_cast<std::size_t>(j)];
    }
    return track;
}

} // namespace sonavix::speech
