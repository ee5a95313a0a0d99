#pragma once
#include "speech/Sound.h"

#include <vector>

namespace sonavix::speech {

struct SpectrogramSettings {
    double windowLength = 0.005; // s, effective length of the Gaussian window (wideband)
    double maxFrequency = 5000.0;
    double timeStep = 0.002;
    double frequencyStep = 20.0; // at most; the transform size rounds it down
    double floorDb = -100.0;
};

// Power in dB relative to a full-scale sine, frames by time, bins by frequency from 0 Hz.
struct Spectrogram {
    double firstTime = 0.0;
    double timeStep = 0.0;
    double frequencyStep = 0.0;
    std::size_t frames = 0;
    std::size_t bins = 0;
    std::vector<float> db; // frames * bins, frame after frame

    float at(std::size_t frame, std::size_t bin) const { return db[frame * bins + bin]; }
};

Spectrogram AnalyseSpectrogram(const Sound& sound, const SpectrogramSettings& settings = {});

} // namespace sonavix::speech
