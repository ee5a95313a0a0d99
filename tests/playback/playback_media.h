#pragma once
// Short recordings made at test time with sox and lame, and their reference decode.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sonavix::test {

// An MP3 of two sine tones, made once per test run; empty when the tools are missing.
std::string MakeToneRecording(double seconds, uint32_t rate, int channels);

// The 16-bit stereo PCM the decoder makes of the file, through the frame loop.
std::vector<int16_t> DecodeToPcm(const std::vector<uint8_t>& mp3);

std::vector<uint8_t> ReadBytes(const std::string& path);

// The normalised correlation of a and b over their common length; 0 when either is silent.
double Correlation(std::span<const int16_t> a, std::span<const int16_t> b);

} // namespace sonavix::test
