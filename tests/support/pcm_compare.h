#pragma once
// Comparing two decoders' output: sample-wise maximum and RMS difference, alignment of two
// outputs that start at different delays, and a gtest check that fails past a bound.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace sonavix::test {

struct PcmDifference {
    size_t compared = 0; // samples in the overlap
    double maxAbs = 0;
    double rms = 0;
    size_t worstIndex = 0; // sample index (in a) of the largest difference
};

// Compares a[offset + i] with b[i] over their overlap (offset may be negative: a starts later).
PcmDifference ComparePcm(const std::vector<double>& a, const std::vector<double>& b,
                         long offset = 0);

// The offset within [-maxShift, maxShift] that gives the smallest RMS difference over a
// stretch of the signals (both interleaved with the same channel count, offset counted in
// samples, a multiple of channels).
long BestAlignment(const std::vector<double>& a, const std::vector<double>& b, long maxShift,
                   int channels);

std::string Describe(const PcmDifference& d);

// Passes when maxAbs <= maxBound and rms <= rmsBound, and there was something to compare.
::testing::AssertionResult PcmWithin(const PcmDifference& d, double maxBound, double rmsBound);

// One channel of interleaved samples.
std::vector<double> Channel(const std::vector<double>& interleaved, int channels, int channel);

} // namespace sonavix::test
