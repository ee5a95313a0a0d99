#pragma once
#include "speech/Pitch.h"
#include "speech/Sound.h"

#include <array>
#include <vector>

namespace sonavix::speech {

struct FormantSettings {
    double maxFormant = 5000.0;    // Hz: 5000 for men, 5500 for women, higher for children
    int numberOfFormants = 5;      // the model has twice as many poles
    double windowLength = 0.025;   // s, effective; the Gaussian window is twice as long
    double timeStep = 0.005;       // s
    double preEmphasisFrom = 50.0; // Hz
    bool voicedOnly = false;       // analyse only frames the pitch track calls voiced
};

struct Resonance {
    double frequency = 0.0; // Hz
    double bandwidth = 0.0; // Hz
};

inline constexpr int kTrackedFormants = 3;

struct FormantFrame {
    double time = 0.0;
    std::vector<Resonance> candidates; // every root in range, by rising frequency
    // F1..F3 after tracking; frequency 0 where the frame has none to give.
    std::array<Resonance, kTrackedFormants> formant{};
};

struct FormantTrack {
    double timeStep = 0.0;
    std::vector<FormantFrame> frames;
};

// Candidates only, formant[] left empty. The sound is resampled to twice maxFormant first. Each
// frame gets Burg LPC; where pitch says the voice is high, the model is then refitted over the
// closed phases of the glottal cycles alone (weighted covariance LPC), which keeps F1 from being
// pulled towards a harmonic.
FormantTrack AnalyseFormantCandidates(const Sound& sound, const FormantSettings& settings = {},
                                      const PitchTrack* pitch = nullptr);

struct TrackerSettings {
    std::array<double, kTrackedFormants> reference{500.0, 1485.0, 2475.0}; // Hz, neutral vowel
    double frequencyCost = 1.0;
    double bandwidthCost = 1.0;
    double transitionCost = 1.0;
};

// Assigns candidates to F1..F3 along the track by a Viterbi search that weighs closeness to the
// reference, narrow bandwidths and continuity between frames.
void TrackFormants(FormantTrack& track, const TrackerSettings& settings = {});

// Candidates then tracking, with the reference scaled to the ceiling.
FormantTrack AnalyseFormants(const Sound& sound, const FormantSettings& settings = {},
                             const PitchTrack* pitch = nullptr);

} // namespace sonavix::speech
