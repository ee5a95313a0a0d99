#pragma once
#include "speech/Endpointer.h"
#include "speech/Formants.h"
#include "speech/Measures.h"
#include "speech/Pitch.h"
#include "speech/Sound.h"
#include "speech/Spectrogram.h"

#include <string_view>
#include <vector>

namespace sonavix::speech {

enum class Voice { Male, Female, Child };

// Formant ceiling for a voice group: 5000 Hz for men, 5500 Hz for women, 6500 Hz for children.
double FormantCeiling(Voice voice);
bool ParseVoice(std::string_view name, Voice& voice);

// One stretch of continuous voicing within the speech.
struct VoicedSegment {
    double start = 0.0, end = 0.0; // s
    F0Summary f0;
    VowelMeasure formants; // F1..F3 at 20, 50, 80 % of the segment
};

struct Analysis {
    double duration = 0.0;            // of the sound, s
    bool speech = false;              // the endpointer found some
    double onset = 0.0, offset = 0.0; // speech, s
    double noiseFloorDb = 0.0;
    F0Summary f0;                 // over the speech
    double voicedFraction = 0.0;  // of the speech's pitch frames
    double centreOfGravity = 0.0; // Hz, of the speech at the original rate
    VowelMeasure vowel;           // at 20, 50, 80 % of the longest voiced segment
    std::vector<VoicedSegment> segments;
    PitchTrack pitch;
    FormantTrack formants; // tracked over the speech's voiced frames only
    Spectrogram spectrogram;
};

struct AnalysisOptions {
    Voice voice = Voice::Male;
    bool spectrogram = true;
};

// The whole analysis of one recording: where the speech is, pitch, formants over voiced frames,
// the wideband spectrogram and the summary figures.
Analysis Analyse(const Sound& sound, const AnalysisOptions& options = {});

} // namespace sonavix::speech
