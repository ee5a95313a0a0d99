#pragma once
#include "speech/Formants.h"
#include "speech/Pitch.h"

#include <span>

namespace sonavix::speech {

// Spectral centre of gravity in Hz: the mean frequency weighted by power (|X|^2) over the whole
// stretch, as phoneticians measure fricatives (Forrest et al. 1988, JASA 84). 0 for silence.
double CentreOfGravity(std::span<const float> samples, double rate);

// Share of pitch frames in [begin, end) seconds that are voiced; 0 when there are none.
double VoicedFraction(const PitchTrack& pitch, double begin, double end);

struct F0Summary {
    double median = 0.0, min = 0.0, max = 0.0; // Hz over voiced frames; 0 when none
};
F0Summary SummariseF0(const PitchTrack& pitch, double begin, double end);

// F1..F3 at a time: the median over tracked frames within +-halfWidth seconds of it, so that one
// stray frame does not decide. A formant no frame supplies is 0.
std::array<Resonance, kTrackedFormants> FormantsAt(const FormantTrack& track, double time,
                                                   double halfWidth = 0.0125);

// Vowel measurement points: 20 %, 50 % (the steady state of a monophthong) and 80 % (the ends of
// a diphthong's glide) of the stretch [begin, end).
struct VowelMeasure {
    std::array<std::array<Resonance, kTrackedFormants>, 3> at{}; // 20 %, 50 %, 80 %
};
VowelMeasure MeasureVowel(const FormantTrack& track, double begin, double end);

// Traunmüller (1990), "Analytical expressions for the tonotopic sensory scale", JASA 88, with his
// corrections below 2 Bark and above 20.1 Bark.
double HzToBark(double hz);
double BarkToHz(double bark);

} // namespace sonavix::speech
