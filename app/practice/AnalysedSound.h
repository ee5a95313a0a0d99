#pragma once
// A recording ready to be shown and played: its samples, the whole speech analysis and its
// spectrogram rendered once as an image.
#include "speech/Analysis.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace sonavix::practice {

struct AnalysedSound {
    speech::Sound sound;
    std::vector<std::int16_t> pcm; // the same samples for playback
    speech::Analysis analysis;
    QImage spectrogram; // frames left to right, 0 Hz at the bottom; null without one

    // Where the picture lines recordings up: the speech onset, or the start without speech.
    double Anchor() const { return analysis.speech ? analysis.onset : 0.0; }
};

using SoundPtr = std::shared_ptr<const AnalysedSound>;

SoundPtr Analyse(speech::Sound sound, speech::Voice voice);
SoundPtr Analyse(std::vector<std::int16_t> pcm, double rate, speech::Voice voice);

} // namespace sonavix::practice
