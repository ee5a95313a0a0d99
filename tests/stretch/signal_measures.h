#pragma once
// What the stretching tests measure of a signal: its pitch, its largest step, where it starts.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonavix::test {

// One channel (0 left, 1 right) of interleaved 16-bit pairs.
std::vector<double> Channel(const std::vector<int16_t>& pairs, int channel);

// The largest difference between neighbouring samples.
double LargestStep(const std::vector<double>& samples);

// Frequency from the positive zero crossings in [begin, end) (seconds); 0 if there are none.
double CrossingFrequency(const std::vector<double>& samples, uint32_t rate, double begin,
                         double end);

// The fundamental of the stretched sound over that of the original at the same moment (t / speed
// in the stretched one), median over the 40 ms frames voiced in both (autocorrelation between
// 70 and 500 Hz); 0 when no frame is.
double MedianF0Ratio(const std::vector<double>& original, const std::vector<double>& stretched,
                     uint32_t rate, double speed);

// Time (seconds) of the first sample whose magnitude reaches threshold; -1 if none does.
double FirstLoud(const std::vector<double>& samples, uint32_t rate, double threshold);

// Interleaved pairs of generated sound: left(t) and right(t) at full scale 1.0.
template <typename Left, typename Right>
std::vector<int16_t> MakePairs(uint32_t rate, double seconds, Left left, Right right) {
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> pcm(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        pcm[2 * i] = static_cast<int16_t>(32767.0 * left(t));
        pcm[2 * i + 1] = static_cast<int16_t>(32767.0 * right(t));
    }
    return pcm;
}

} // namespace sonavix::test
