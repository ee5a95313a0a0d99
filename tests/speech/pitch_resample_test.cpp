// Pitch on voiced, gliding and unvoiced signals, and the resampler's pass band and stop band.
#include "synth_voice.h"

#include "speech/Pitch.h"
#include "speech/Resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace sonavix {
namespace {

speech::Sound Sine(double freq, double seconds, double rate) {
    speech::Sound s;
    s.rate = rate;
    for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * rate); ++i) {
        s.samples.push_back(
            static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * freq * i / rate)));
    }
    return s;
}

double Rms(const speech::Sound& s, std::size_t skip) {
    double sum = 0.0;
    for (std::size_t i = skip; i + skip < s.samples.size(); ++i) {
        sum += s.samples[i] * s.samples[i];
    }
    return std::sqrt(sum / static_cast<double>(s.samples.size() - 2 * skip));
}

TEST(Pitch, VoicedFramesWithinOnePercentAndNoOctaveErrors) {
    // Low and high voices, and a vowel whose first harmonic is weak (high F1, low F0).
    for (const double f0 : {80.0, 110.0, 175.0, 240.0, 320.0}) {
        test::VowelSpec v;
        v.f0 = f0;
        v.formants = {750, 1300, 2500, 3500, 4500};
        const speech::PitchTrack t = speech::AnalysePitch(test::SynthVowel(v));
        int voiced = 0, inside = 0;
        for (const auto& f : t.frames) {
            if (f.time < 0.06 || f.time > v.duration - 0.06) {
                continue; // the ramps
            }
            ++inside;
            if (f.f0 > 0) {
                ++voiced;
                EXPECT_NEAR(f.f0, f0, 0.01 * f0) << "at " << f.time;
            }
        }
        EXPECT_EQ(voiced, inside) << f0;
    }
}

TEST(Pitch, NoiseAndSilenceAreUnvoiced) {
    speech::Sound s =
        test::Concat(test::Noise(0.5, 0.1, 16000, 9), test::Noise(0.3, 0.0, 16000, 1));
    test::VowelSpec v;
    s = test::Concat(s, test::SynthVowel(v)); // a loud vowel sets the global peak
    const speech::PitchTrack t = speech::AnalysePitch(s);
    for (const auto& f : t.frames) {
        if (f.time < 0.75) {
            EXPECT_EQ(f.f0, 0.0) << "at " << f.time;
        }
    }
}

TEST(Resample, KeepsThePassBandAndRemovesWhatWouldAlias) {
    // Every rate pair the analysis meets: polyphase (whole-number rates) and the general path.
    const double pairs[][2] = {
        {44100, 10000}, {16000, 11000}, {22050, 13000}, {8000, 16000}, {44100.5, 10000}};
    for (const auto& p : pairs) {
        const double in = p[0], out = p[1];
        const double nyquist = 0.5 * std::min(in, out);
        const speech::Sound pass = speech::Resample(Sine(0.8 * nyquist, 0.5, in), out);
        EXPECT_EQ(pass.rate, out);
        EXPECT_NEAR(pass.samples.size(), 0.5 * out, 1.0);
        EXPECT_NEAR(Rms(pass, 200), 0.5 / std::sqrt(2.0), 0.01) << in << " -> " << out;
        if (out < in) {
            const speech::Sound stop = speech::Resample(Sine(1.2 * nyquist, 0.5, in), out);
            EXPECT_LT(Rms(stop, 200), 0.005) << in << " -> " << out;
        }
    }
    speech::Sound empty;
    EXPECT_TRUE(speech::Resample(empty, 10000).samples.empty());
}

} // namespace
} // namespace sonavix
