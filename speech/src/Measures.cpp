// The figures a learner reads beside the pictures: centre of gravity, voicing, F0 and formants at
// set points of a stretch, and the Bark scale of the vowel chart.
#include "speech/Measures.h"

#include "speech/Fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonavix::speech {
namespace {

constexpr std::size_t kCogFrame = 1024;

double Median(std::vector<double>& v) {
    if (v.empty()) {
        return 0.0;
    }
    const auto mid = v.begin() + static_cast<long>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    if (v.size() % 2 == 1) {
        return *mid;
    }
    return 0.5 * (*mid + *std::max_element(v.begin(), mid));
}

} // namespace

double CentreOfGravity(std::span<const float> samples, double rate) {
    if (samples.size() < 2 || !(rate > 0)) {
        return 0.0;
    }
    // Welch's average of Hann-windowed power spectra, half overlapping: the same power-weighted
    // mean frequency as one transform of the whole stretch, at a fixed small transform size.
    const std::size_t frame = std::min(kCogFrame, NextPowerOfTwo(samples.size()));
    RealFft& fft = ThreadFft(frame);
    std::vector<double> x(frame), power(frame / 2 + 1), sum(frame / 2 + 1, 0.0);
    std::vector<double> hann(frame);
    for (std::size_t i = 0; i < frame; ++i) {
        hann[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / frame);
    }
    for (std::size_t start = 0;; start += frame / 2) {
        for (std::size_t i = 0; i < frame; ++i) {
            x[i] = start + i < samples.size() ? samples[start + i] * hann[i] : 0.0;
        }
        fft.PowerSpectrum(x.data(), power.data());
        for (std::size_t k = 0; k < power.size(); ++k) {
            sum[k] += power[k];
        }
        if (start + frame >= samples.size()) {
            break;
        }
    }
    double num = 0.0, den = 0.0;
    const double step = rate / static_cast<double>(frame);
    for (std::size_t k = 1; k < sum.size(); ++k) {
        num += static_cast<double>(k) * step * sum[k];
        den += sum[k];
    }
    return den > 0 ? num / den : 0.0;
}

double VoicedFraction(const PitchTrack& pitch, double begin, double end) {
    std::size_t all = 0, voiced = 0;
    for (const PitchFrame& f : pitch.frames) {
        if (f.time >= begin && f.time < end) {
            ++all;
            voiced += f.f0 > 0 ? 1 : 0;
        }
    }
    return all ? static_cast<double>(voiced) / static_cast<double>(all) : 0.0;
}

F0Summary SummariseF0(const PitchTrack& pitch, double begin, double end) {
    std::vector<double> v;
    for (const PitchFrame& f : pitch.frames) {
        if (f.time >= begin && f.time < end && f.f0 > 0) {
            v.push_back(f.f0);
        }
    }
    F0Summary s;
    if (v.empty()) {
        return s;
    }
    s.min = *std::min_element(v.begin(), v.end());
    s.max = *std::max_element(v.begin(), v.end());
    s.median = Median(v);
    return s;
}

std::array<Resonance, kTrackedFormants> FormantsAt(const FormantTrack& track, double time,
                                                   double halfWidth) {
    std::array<Resonance, kTrackedFormants> out{};
    for (std::size_t k = 0; k < kTrackedFormants; ++k) {
        std::vector<double> freq, bw;
        for (const FormantFrame& f : track.frames) {
            if (std::fabs(f.time - time) <= halfWidth + 1e-9 && f.formant[k].frequency > 0) {
                freq.push_back(f.formant[k].frequency);
                bw.push_back(f.formant[k].bandwidth);
            }
        }
        out[k] = {Median(freq), Median(bw)};
    }
    return out;
}

VowelMeasure MeasureVowel(const FormantTrack& track, double begin, double end) {
    VowelMeasure m;
    const double points[3] = {0.2, 0.5, 0.8};
    for (std::size_t i = 0; i < 3; ++i) {
        m.at[i] = FormantsAt(track, begin + points[i] * (end - begin));
    }
    return m;
}

double HzToBark(double hz) {
    double z = 26.81 * hz / (1960.0 + hz) - 0.53;
    if (z < 2.0) {
        z += 0.15 * (2.0 - z);
    } else if (z > 20.1) {
        z += 0.22 * (z - 20.1);
    }
    return z;
}

double BarkToHz(double bark) {
    double z = bark;
    if (z < 2.0) {
        z = (z - 0.3) / 0.85;
    } else if (z > 20.1) {
        z = (z + 4.422) / 1.22;
    }
    return 1960.0 * (z + 0.53) / (26.28 - z);
}

} // namespace sonavix::speech
