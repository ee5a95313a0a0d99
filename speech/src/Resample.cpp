// Windowed-sinc interpolation (Smith, "Digital Audio Resampling Home Page", bandlimited
// interpolation): each output sample is a sum over the input under a Kaiser-windowed sinc whose
// cut-off is the lower of the two Nyquist frequencies. The kernel is tabulated once and read with
// linear interpolation.
#include "speech/Resample.h"

#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

namespace sonavix::speech {
namespace {

constexpr int kZeroCrossings = 12;     // half width of the kernel, in zero crossings
constexpr int kTableSteps = 512;       // table entries per zero crossing
constexpr double kKaiserBeta = 8.0;    // about 80 dB stop band
constexpr double kPassFraction = 0.95; // of the lower Nyquist frequency

double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 30; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

const std::array<float, kZeroCrossings * kTableSteps + 2>& Kernel() {
    static const auto table = [] {
        std::array<float, kZeroCrossings * kTableSteps + 2> t{};
        const double norm = BesselI0(kKaiserBeta);
        for (size_t i = 0; i < t.size(); ++i) {
            const double x = static_cast<double>(i) / kTableSteps; // in zero crossings
            if (x >= kZeroCrossings) {
                t[i] = 0.0f;
                continue;
            }
            const double sinc =
                i == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double r = x / kZeroCrossings;
            const double window = BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm;
            t[i] = static_cast<float>(sinc * window);
        }
        return t;
    }();
    return table;
}

double KernelAt(double pos) { // pos in zero crossings, >= 0
    const auto& kernel = Kernel();
    const double x = pos * kTableSteps;
    const auto k = static_cast<std::size_t>(x);
    if (k + 1 >= kernel.size()) {
        return 0.0;
    }
    const double frac = x - static_cast<double>(k);
    return kernel[k] + frac * (kernel[k + 1] - kernel[k]);
}

// Whole-number rates in a small ratio L/M (16000 to 11000 is 11/16): the kernel takes only L
// different phases, so its weights are computed once per phase instead of once per tap.
bool ResamplePolyphase(const Sound& sound, double newRate, Sound& out) {
    const auto inRate = static_cast<long>(sound.rate);
    const auto outRate = static_cast<long>(newRate);
    if (static_cast<double>(inRate) != sound.rate || static_cast<double>(outRate) != newRate) {
        return false;
    }
    const long g = std::gcd(inRate, outRate);
    const long L = outRate / g, M = inRate / g;
    if (L > 1024) {
        return false;
    }
    const double ratio = newRate / sound.rate;
    const double cutoff = kPassFraction * std::min(1.0, ratio);
    const long K = static_cast<long>(std::ceil(kZeroCrossings / cutoff)) + 1;
    const long taps = 2 * K + 1;
    std::vector<float> weights(static_cast<std::size_t>(L * taps));
    for (long p = 0; p < L; ++p) {
        const double frac = static_cast<double>(p) / static_cast<double>(L);
        for (long t = -K; t <= K; ++t) {
            weights[static_cast<std::size_t>(p * taps + t + K)] = static_cast<float>(
                cutoff * KernelAt(std::fabs(static_cast<double>(t) - frac) * cutoff));
        }
    }
    const long n = static_cast<long>(sound.samples.size());
    const long outCount = static_cast<long>((static_cast<long double>(n) * L) / M);
    out.rate = newRate;
    out.samples.assign(static_cast<std::size_t>(std::max(0L, outCount)), 0.0f);
    const float* x = sound.samples.data();
    for (long j = 0; j < outCount; ++j) {
        const long num = j * M;
        const long base = num / L;
        const float* w = &weights[static_cast<std::size_t>((num % L) * taps)];
        const long lo = std::max(-K, -base), hi = std::min(K, n - 1 - base);
        float sum = 0.0f;
        for (long t = lo; t <= hi; ++t) {
            sum += w[t + K] * x[base + t];
        }
        out.samples[static_cast<std::size_t>(j)] = sum;
    }
    return true;
}

} // namespace

Sound Resample(const Sound& sound, double newRate) {
    if (!(newRate > 0) || !(sound.rate > 0) || std::fabs(newRate - sound.rate) < 1e-9 ||
        sound.samples.empty()) {
        Sound same = sound;
        if (newRate > 0 && sound.samples.empty()) {
            same.rate = newRate;
        }
        return same;
    }
    Sound out;
    if (ResamplePolyphase(sound, newRate, out)) {
        return out;
    }
    const auto& kernel = Kernel();
    const double ratio = newRate / sound.rate;
    const double cutoff = kPassFraction * std::min(1.0, ratio); // relative to the input Nyquist
    const double halfWidth = kZeroCrossings / cutoff;           // in input samples
    const long n = static_cast<long>(sound.samples.size());
    const long outCount = static_cast<long>(std::floor(static_cast<double>(n) * ratio));

    out.rate = newRate;
    out.samples.resize(static_cast<size_t>(std::max(0L, outCount)));
    for (long j = 0; j < outCount; ++j) {
        const double centre = static_cast<double>(j) / ratio;
        const long first = std::max(0L, static_cast<long>(std::ceil(centre - halfWidth)));
        const long last = std::min(n - 1, static_cast<long>(std::floor(centre + halfWidth)));
        double sum = 0.0;
        for (long i = first; i <= last; ++i) {
            const double pos = std::fabs(static_cast<double>(i) - centre) * cutoff * kTableSteps;
            const auto k = static_cast<size_t>(pos);
            if (k + 1 >= kernel.size()) {
                continue;
            }
            const double frac = pos - static_cast<double>(k);
            const double w = kernel[k] + frac * (kernel[k + 1] - kernel[k]);
            sum += w * sound.samples[static_cast<size_t>(i)];
        }
        out.samples[static_cast<size_t>(j)] = static_cast<float>(sum * cutoff);
    }
    return out;
}

} // namespace sonavix::speech
