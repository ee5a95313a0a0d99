#include "signal_measures.h"

#include <algorithm>
#include <cmath>

namespace sonavix::test {

std::vector<double> Channel(const std::vector<int16_t>& pairs, int channel) {
    std::vector<double> out(pairs.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = pairs[2 * i + static_cast<size_t>(channel)] / 32768.0;
    }
    return out;
}

double LargestStep(const std::vector<double>& samples) {
    double step = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        step = std::max(step, std::fabs(samples[i] - samples[i - 1]));
    }
    return step;
}

double CrossingFrequency(const std::vector<double>& samples, uint32_t rate, double begin,
                         double end) {
    const auto from = static_cast<size_t>(begin * rate);
    const auto to = std::min(samples.size(), static_cast<size_t>(end * rate));
    // Interpolated crossing times, so that the estimate does not snap to whole samples.
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double t =
                static_cast<double>(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (first < 0) {
                first = t;
            }
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * rate / (last - first);
}

namespace {

// Fundamental of the 40 ms frame starting at x (autocorrelation between 70 and 500 Hz); 0 when
// the frame is quiet or its strongest peak too weak to call it voiced.
double FrameF0(const double* x, uint32_t rate) {
    const size_t frame = rate / 25;
    const auto minLag = static_cast<size_t>(rate / 500);
    const auto maxLag = static_cast<size_t>(rate / 70);
    double energy = 0;
    for (size_t i = 0; i < frame; ++i) {
        energy += x[i] * x[i];
    }
    if (energy < 1e-4 * static_cast<double>(frame)) {
        return 0;
    }
    std::vector<double> r(maxLag + 2, 0.0);
    for (size_t lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        double norm = 0;
        for (size_t i = 0; i < frame; ++i) {
            sum += x[i] * x[i + lag];
            norm += x[i + lag] * x[i + lag];
        }
        r[lag] = sum / std::sqrt(energy * norm + 1e-12);
    }
    size_t best = minLag;
    for (size_t lag = minLag; lag <= maxLag; ++lag) {
        if (r[lag] > r[best]) {
            best = lag;
        }
    }
    if (r[best] < 0.8) {
        return 0;
    }
    // Parabolic peak for a lag between samples.
    const double a = r[best - 1];
    const double b = r[best];
    const double c = r[best + 1];
    const double denom = a - 2 * b + c;
    const double lag = static_cast<double>(best) + (denom != 0 ? 0.5 * (a - c) / denom : 0);
    return rate / lag;
}

} // namespace

double MedianF0Ratio(const std::vector<double>& original, const std::vector<double>& stretched,
                     uint32_t rate, double speed) {
    const size_t frame = rate / 25;
    const auto span = frame + rate / 70 + 2;
    std::vector<double> ratios;
    for (size_t start = 0; start + span <= original.size(); start += frame / 2) {
        // The same moment of the sound, centred alike.
        const double centre = (static_cast<double>(start) + frame / 2.0) / speed;
        const auto at = static_cast<size_t>(std::max(0.0, centre - frame / 2.0));
        if (at + span > stretched.size()) {
            break;
        }
        const double before = FrameF0(original.data() + start, rate);
        const double after = FrameF0(stretched.data() + at, rate);
        if (before > 0 && after > 0) {
            ratios.push_back(after / before);
        }
    }
    if (ratios.empty()) {
        return 0;
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    return ratios[ratios.size() / 2];
}

double FirstLoud(const std::vector<double>& samples, uint32_t rate, double threshold) {
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) >= threshold) {
            return static_cast<double>(i) / rate;
        }
    }
    return -1;
}

} // namespace sonavix::test
