#include "practice/AnalysedSound.h"

#include <algorithm>
#include <cmath>

namespace sonavix::practice {
namespace {

// The darkest grey is this far below the loudest point, as on a phonetician's wideband display.
constexpr float kDynamicRangeDb = 50.0f;

QImage Render(const speech::Spectrogram& s) {
    if (s.frames == 0 || s.bins == 0)
        return {};
    QImage image(static_cast<int>(s.frames), static_cast<int>(s.bins), QImage::Format_Grayscale8);
    const float top = *std::max_element(s.db.begin(), s.db.end());
    for (size_t bin = 0; bin < s.bins; ++bin) {
        uchar* line = image.scanLine(static_cast<int>(s.bins - 1 - bin));
        for (size_t frame = 0; frame < s.frames; ++frame) {
            const float depth = std::clamp((top - s.at(frame, bin)) / kDynamicRangeDb, 0.0f, 1.0f);
            line[frame] = static_cast<uchar>(std::lround(255.0f * depth));
        }
    }
    return image;
}

} // namespace

SoundPtr Analyse(speech::Sound sound, speech::Voice voice) {
    auto result = std::make_shared<AnalysedSound>();
    result->pcm = speech::ToPcm16(sound);
    speech::AnalysisOptions options;
    options.voice = voice;
    result->analysis = speech::Analyse(sound, options);
    result->spectrogram = Render(result->analysis.spectrogram);
    result->sound = std::move(sound);
    return result;
}

SoundPtr Analyse(std::vector<std::int16_t> pcm, double rate, speech::Voice voice) {
    return Analyse(speech::FromPcm16(pcm, rate), voice);
}

} // namespace sonavix::practice
