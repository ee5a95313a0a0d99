// Windowed-sinc interpolation (Smith, "Digital Audio Resampling Home Page", bandlimited
// interpolation): each output sample is a sum over the input under a Kaiser-windowed sinc whose
// cut-off is the lower of the two Nyquist frequencies. The kernel is tabulated once and read with
// linear interpolation.
#include "speech/Resample.h"

#include <array>
#include <cmath>
#include <numbers>

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
    const auto& kernel = Kernel();
    const double ratio = newRate / sound.rate;
    const double cutoff = kPassFraction * std::min(1.0, ratio); // relative to the input Nyquist
    const double halfWidth = kZeroCrossings / cutoff;           // in input samples
    const long n = static_cast<long>(sound.samples.size());
    const long outCount = static_cast<long>(std::floor(static_cast<double>(n) * ratio));

    Sound out;
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
