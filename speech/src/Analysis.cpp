// Runs the stages over one recording. Pitch, formants and the spectrogram share one resampled
// copy at twice the formant ceiling; the centre of gravity keeps the full band of the original.
#include "speech/Analysis.h"

#include "speech/Resample.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sonavix::speech {
namespace {

constexpr double kMinSegment = 0.040; // s of voicing that make a segment

std::vector<VoicedSegment> FindSegments(const PitchTrack& pitch, double begin, double end) {
    std::vector<VoicedSegment> out;
    const double half = 0.5 * pitch.timeStep;
    std::size_t i = 0;
    const auto& fr = pitch.frames;
    while (i < fr.size()) {
        if (fr[i].f0 <= 0 || fr[i].time < begin || fr[i].time >= end) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < fr.size() && fr[j + 1].f0 > 0 && fr[j + 1].time < end) {
            ++j;
        }
        VoicedSegment s;
        s.start = std::max(begin, fr[i].time - half);
        s.end = std::min(end, fr[j].time + half);
        if (s.end - s.start >= kMinSegment) {
            out.push_back(s);
        }
        i = j + 1;
    }
    return out;
}

} // namespace

double FormantCeiling(Voice voice) {
    switch (voice) {
    case Voice::Female:
        return 5500.0;
    case Voice::Child:
        return 6500.0;
    case Voice::Male:
        break;
    }
    return 5000.0;
}

bool ParseVoice(std::string_view name, Voice& voice) {
    if (name == "male" || name == "man" || name == "men") {
        voice = Voice::Male;
    } else if (name == "female" || name == "woman" || name == "women") {
        voice = Voice::Female;
    } else if (name == "child" || name == "children") {
        voice = Voice::Child;
    } else {
        return false;
    }
    return true;
}

Analysis Analyse(const Sound& original, const AnalysisOptions& options) {
    Analysis a;
    a.duration = original.Duration();
    const double ceiling = FormantCeiling(options.voice);
    const Sound sound = Resample(original, 2.0 * ceiling);

    // A file is analysed whole: pauses between words do not end it, and its floor is its
    // quietest stretch wherever that lies.
    EndpointerSettings es;
    es.trailingSilence = std::numeric_limits<double>::infinity();
    es.maxDuration = std::numeric_limits<double>::infinity();
    es.knownFloorDb = QuietestLevelDb(original.samples, original.rate, es.noiseWindow, es.frame);
    const Endpoints ends = FindEndpoints(original.samples, original.rate, es);
    a.speech = ends.speech;
    a.noiseFloorDb = ends.noiseFloorDb;
    a.onset = ends.speech ? ends.onset / original.rate : 0.0;
    a.offset = ends.speech ? ends.offset / original.rate : a.duration;
    const double begin = a.speech ? a.onset : 0.0;
    const double end = a.speech ? a.offset : a.duration;

    a.pitch = AnalysePitch(sound);
    a.f0 = SummariseF0(a.pitch, begin, end);
    a.voicedFraction = VoicedFraction(a.pitch, begin, end);
    a.segments = FindSegments(a.pitch, begin, end);

    FormantSettings fs;
    fs.maxFormant = ceiling;
    fs.voicedOnly = true;
    a.formants = AnalyseFormantCandidates(sound, fs, &a.pitch);
    // Formants mean something only where the voice is: elsewhere frames keep no candidates, which
    // also keeps the tracker from bridging across consonants.
    for (FormantFrame& f : a.formants.frames) {
        const bool inside = std::any_of(a.segments.begin(), a.segments.end(), [&](const auto& s) {
            return f.time >= s.start && f.time < s.end;
        });
        if (!inside) {
            f.candidates.clear();
        }
    }
    TrackerSettings ts;
    for (double& r : ts.reference) {
        r *= ceiling / 5000.0;
    }
    TrackFormants(a.formants, ts);

    const VoicedSegment* longest = nullptr;
    for (VoicedSegment& s : a.segments) {
        s.f0 = SummariseF0(a.pitch, s.start, s.end);
        s.formants = MeasureVowel(a.formants, s.start, s.end);
        if (!longest || s.end - s.start > longest->end - longest->start) {
            longest = &s;
        }
    }
    if (longest) {
        a.vowel = longest->formants;
    }

    const auto first = static_cast<std::size_t>(begin * original.rate);
    const auto last =
        std::min(original.samples.size(), static_cast<std::size_t>(end * original.rate));
    if (last > first) {
        a.centreOfGravity = CentreOfGravity(
            std::span<const float>(original.samples).subspan(first, last - first), original.rate);
    }
    if (options.spectrogram) {
        a.spectrogram = AnalyseSpectrogram(sound);
    }
    return a;
}

} // namespace sonavix::speech
