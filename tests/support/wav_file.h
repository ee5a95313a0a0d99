#pragma once
// Reads the WAV files the decode tool writes (16-bit PCM or 32-bit float) as doubles at full
// scale 1.0.
#include <cstdint>
#include <string>
#include <vector>

namespace sonavix::test {

struct WavData {
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bitsPerSample = 0;
    bool isFloat = false;
    std::vector<double> samples; // interleaved
};

// False when the file is missing or not a WAV file of those two kinds.
bool ReadWav(const std::string& path, WavData& out);

} // namespace sonavix::test
