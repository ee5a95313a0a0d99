#pragma once
#include "speech/Sound.h"

#include <vector>

namespace sonavix::speech {

struct PitchSettings {
    double floor = 75.0; // Hz
    double ceiling = 600.0;
    double timeStep = 0.0; // s; 0 = 0.75 / floor
    double periodsPerWindow = 3.0;
    double silenceThreshold = 0.03;
    double voicingThreshold = 0.45;
    double octaveCost = 0.01;
    double octaveJumpCost = 0.35;
    double voicedUnvoicedCost = 0.14;
    int maxCandidates = 15;
};

struct PitchFrame {
    double time = 0.0;     // s, centre of the frame
    double f0 = 0.0;       // Hz; 0 when unvoiced
    double strength = 0.0; // normalised autocorrelation of the chosen candidate
};

struct PitchTrack {
    double timeStep = 0.0;
    std::vector<PitchFrame> frames;
};

PitchTrack AnalysePitch(const Sound& sound, const PitchSettings& settings = {});

} // namespace sonavix::speech
