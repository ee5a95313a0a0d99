#pragma once
#include <cstddef>
#include <vector>

namespace sonavix::speech {

// Mono samples at full scale 1.0 and their rate in Hz.
struct Sound {
    std::vector<float> samples;
    double rate = 16000.0;

    double Duration() const { return rate > 0 ? static_cast<double>(samples.size()) / rate : 0.0; }
};

} // namespace sonavix::speech
