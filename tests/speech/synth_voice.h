#pragma once
#include "speech/Sound.h"

#include <array>
#include <cstdint>

namespace sonavix::test {

// A source-filter vowel: a Rosenberg glottal pulse train (spectral tilt about -12 dB per octave,
// plus +6 dB for radiation) through five cascaded second-order resonators (Klatt 1980).
struct VowelSpec {
    double f0 = 120.0;
    std::array<double, 5> formants{500, 1500, 2500, 3500, 4500};
    std::array<double, 5> bandwidths{80, 100, 140, 200, 250};
    double duration = 0.4;  // s of voice, with 20 ms ramps at each end
    double amplitude = 0.3; // peak
    double rate = 16000.0;
};

speech::Sound SynthVowel(const VowelSpec& spec);

// Silence of the given length with white noise of the given RMS (deterministic per seed).
speech::Sound Noise(double seconds, double rms, double rate, uint32_t seed);

// a then b, and b added onto a sample by sample from offset on.
speech::Sound Concat(const speech::Sound& a, const speech::Sound& b);
void MixInto(speech::Sound& into, const speech::Sound& add, std::size_t offset);

} // namespace sonavix::test
