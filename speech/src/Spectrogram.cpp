// Short-time power spectrum with a Gaussian window (Gabor's minimal time-frequency spread): the
// band is cut at maxFrequency, each frame is windowed and
// zero-padded to the transform size, and the power is scaled so that a full-scale sine reads 0 dB.
#include "speech/Spectrogram.h"

#include "speech/Fft.h"
#include "speech/Resample.h"

#include <algorithm>
#include <cmath>

namespace sonavix::speech {

Spectrogram AnalyseSpectrogram(const Sound& input, const SpectrogramSettings& s) {
    Spectrogram out;
    // A rate a little above twice the top is used as it is (the formant analysis shares it).
    const bool resample = input.rate > 3.0 * s.maxFrequency || input.rate < 2.0 * s.maxFrequency;
    Sound resampled;
    if (resample) {
        resampled = Resample(input, 2.0 * s.maxFrequency);
    }
    const Sound& sound = resample ? resampled : input;
    const double rate = sound.rate;
    const std::size_t n = sound.samples.size();
    const auto window =
        std::max<std::size_t>(4, static_cast<std::size_t>(std::round(2.0 * s.windowLength * rate)));
    if (n < window || !(rate > 0)) {
        return out;
    }
    const std::size_t nfft = NextPowerOfTwo(
        std::max(window, static_cast<std::size_t>(std::ceil(rate / s.frequencyStep))));
    std::vector<double> gauss(window);
    const double edge = std::exp(-12.0);
    const double mid = 0.5 * (window - 1);
    double sum = 0.0;
    for (std::size_t i = 0; i < window; ++i) {
        const double u = (i - mid) / (window + 1.0);
        gauss[i] = (std::exp(-48.0 * u * u) - edge) / (1.0 - edge);
        sum += gauss[i];
    }
    // A sine of amplitude 1 gives a peak of (sum / 2)^2 in the power spectrum.
    const double ref = 0.25 * sum * sum;

    out.timeStep = s.timeStep;
    out.frequencyStep = rate / static_cast<double>(nfft);
    out.bins =
        std::min(nfft / 2 + 1, static_cast<std::size_t>(s.maxFrequency / out.frequencyStep) + 1);
    const double duration = sound.Duration();
    out.frames = static_cast<std::size_t>((duration - window / rate) / s.timeStep) + 1;
    out.firstTime = 0.5 * (duration - (out.frames - 1) * s.timeStep);
    out.db.resize(out.frames * out.bins);

    RealFft& fft = ThreadFft(nfft);
    std::vector<double> frame(nfft, 0.0);
    std::vector<double> power(nfft / 2 + 1);
    const float floorDb = static_cast<float>(s.floorDb);
    const auto floorPower = static_cast<float>(std::pow(10.0, s.floorDb / 10.0));
    const double invRef = 1.0 / ref;
    for (std::size_t f = 0; f < out.frames; ++f) {
        const double t = out.firstTime + f * s.timeStep;
        const long startL = std::lround(t * rate - window / 2.0);
        const auto start =
            static_cast<std::size_t>(std::clamp(startL, 0L, static_cast<long>(n - window)));
        for (std::size_t i = 0; i < window; ++i) {
            frame[i] = sound.samples[start + i] * gauss[i];
        }
        fft.PowerSpectrum(frame.data(), power.data());
        float* row = &out.db[f * out.bins];
        for (std::size_t k = 0; k < out.bins; ++k) {
            // Single precision is plenty for a picture, and twice as fast.
            const auto p = static_cast<float>(power[k] * invRef);
            row[k] = p > floorPower ? 10.0f * std::log10(p) : floorDb;
        }
    }
    return out;
}

} // namespace sonavix::speech
