#include "pcm_compare.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace sonavix::test {

PcmDifference ComparePcm(const std::vector<double>& a, const std::vector<double>& b, long offset) {
    PcmDifference d;
    const long aSize = static_cast<long>(a.size());
    const long bSize = static_cast<long>(b.size());
    const long first = offset < 0 ? -offset : 0; // first index in b
    double sumSquares = 0;
    for (long i = first; i < bSize && i + offset < aSize; ++i) {
        const double diff =
            std::fabs(a[static_cast<size_t>(i + offset)] - b[static_cast<size_t>(i)]);
        sumSquares += diff * diff;
        if (diff > d.maxAbs) {
            d.maxAbs = diff;
            d.worstIndex = static_cast<size_t>(i + offset);
        }
        ++d.compared;
    }
    d.rms = d.compared ? std::sqrt(sumSquares / static_cast<double>(d.compared)) : 0.0;
    return d;
}

long BestAlignment(const std::vector<double>& a, const std::vector<double>& b, long maxShift,
                   int channels) {
    // A window well inside both signals keeps the search cheap and away from the edges.
    const long window =
        std::min<long>(static_cast<long>(std::min(a.size(), b.size())) / 2, 20000L * channels);
    const long start = maxShift;
    long best = 0;
    double bestError = std::numeric_limits<double>::infinity();
    for (long shift = -maxShift; shift <= maxShift; shift += channels) {
        double error = 0;
        for (long i = start; i < start + window; ++i) {
            const long j = i + shift;
            if (j < 0 || j >= static_cast<long>(a.size()) || i >= static_cast<long>(b.size())) {
                error = std::numeric_limits<double>::infinity();
                break;
            }
            const double diff = a[static_cast<size_t>(j)] - b[static_cast<size_t>(i)];
            error += diff * diff;
        }
        if (error < bestError) {
            bestError = error;
            best = shift;
        }
    }
    return best;
}

std::string Describe(const PcmDifference& d) {
    char text[160];
    std::snprintf(text, sizeof text, "%zu samples, max |diff| %.3g (at %zu), RMS diff %.3g",
                  d.compared, d.maxAbs, d.worstIndex, d.rms);
    return text;
}

::testing::AssertionResult PcmWithin(const PcmDifference& d, double maxBound, double rmsBound) {
    if (d.compared == 0) {
        return ::testing::AssertionFailure() << "nothing to compare";
    }
    if (d.maxAbs <= maxBound && d.rms <= rmsBound) {
        return ::testing::AssertionSuccess() << Describe(d);
    }
    return ::testing::AssertionFailure()
           << Describe(d) << "; bounds: max " << maxBound << ", RMS " << rmsBound;
}

std::vector<double> Channel(const std::vector<double>& interleaved, int channels, int channel) {
    std::vector<double> out;
    out.reserve(interleaved.size() / static_cast<size_t>(channels));
    for (size_t i = static_cast<size_t>(channel); i < interleaved.size();
         i += static_cast<size_t>(channels)) {
        out.push_back(interleaved[i]);
    }
    return out;
}

} // namespace sonavix::test
