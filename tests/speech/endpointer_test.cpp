// Voice activity on speech-like signals with silence, noise and clicks, whole and block by block.
#include "synth_voice.h"

#include "speech/Analysis.h"
#include "speech/Endpointer.h"
#include "speech/Lpc.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sonavix {
namespace {

constexpr double kRate = 16000.0;

// noise, then a vowel from 0.5 s for `voice` s, then noise for `after` s.
speech::Sound SpeechInNoise(double noiseRms, double voice, double after, uint32_t seed) {
    test::VowelSpec v;
    v.duration = voice;
    speech::Sound s = test::Noise(0.5 + voice + after, noiseRms, kRate, seed);
    test::MixInto(s, test::SynthVowel(v), static_cast<std::size_t>(0.5 * kRate));
    return s;
}

double Sec(std::size_t samples) {
    return static_cast<double>(samples) / kRate;
}

TEST(Endpointer, FindsOnsetAndOffsetInNoiseAndTrimsToMargins) {
    for (const double noise : {0.0, 1e-3, 1e-2}) {
        const speech::Sound s = SpeechInNoise(noise, 0.6, 0.5, 7);
        const speech::Endpoints e = speech::FindEndpoints(s.samples, kRate);
        ASSERT_TRUE(e.speech) << noise;
        // The vowel's 20 ms ramps sit below the onset level for a frame or two.
        EXPECT_NEAR(Sec(e.onset), 0.5, 0.03) << noise;
        EXPECT_NEAR(Sec(e.offset), 1.1, 0.03) << noise;
        EXPECT_EQ(e.onset - e.trimBegin, static_cast<std::size_t>(0.1 * kRate)) << noise;
        EXPECT_EQ(e.trimEnd - e.offset, static_cast<std::size_t>(0.1 * kRate)) << noise;
    }
}

TEST(Endpointer, IgnoresClicksAndSilence) {
    speech::Sound s = test::Noise(2.0, 1e-3, kRate, 3);
    for (const double at : {0.4, 0.9, 1.5}) { // 2 ms clicks at full scale
        for (std::size_t i = 0; i < 32; ++i) {
            s.samples[static_cast<std::size_t>(at * kRate) + i] = (i % 2) ? 0.9f : -0.9f;
        }
    }
    EXPECT_FALSE(speech::FindEndpoints(s.samples, kRate).speech);
    const std::vector<float> silence(static_cast<std::size_t>(kRate), 0.0f);
    const speech::Endpoints e = speech::FindEndpoints(silence, kRate);
    EXPECT_FALSE(e.speech);
    EXPECT_EQ(e.trimEnd, silence.size());
}

TEST(Endpointer, FedInBlocksStopsAfterTrailingSilenceAndAgreesWithTheWhole) {
    // Two words 0.3 s apart stay one utterance; 0.7 s of quiet after the second ends it.
    speech::Sound s = SpeechInNoise(1e-3, 0.4, 2.0, 11);
    test::VowelSpec v;
    v.duration = 0.3;
    test::MixInto(s, test::SynthVowel(v), static_cast<std::size_t>(1.2 * kRate));
    speech::Endpointer e(kRate);
    std::size_t fed = 0;
    while (!e.Done() && fed < s.samples.size()) {
        const std::size_t n = std::min<std::size_t>(160 + fed % 7, s.samples.size() - fed);
        e.Feed(std::span<const float>(s.samples).subspan(fed, n));
        fed += n;
    }
    ASSERT_TRUE(e.Done());
    EXPECT_NEAR(Sec(fed), 1.5 + 0.7, 0.05);
    const speech::Endpoints r = e.Result();
    EXPECT_NEAR(Sec(r.onset), 0.5, 0.03);
    EXPECT_NEAR(Sec(r.offset), 1.5, 0.03);
    const speech::Endpoints whole = speech::FindEndpoints(s.samples, kRate);
    EXPECT_EQ(whole.onset, r.onset);
    EXPECT_EQ(whole.offset, r.offset);
}

TEST(Endpointer, StopsAtTheMaximumDurationAndSurvivesBadSamples) {
    speech::Sound s = SpeechInNoise(1e-3, 9.0, 0.0, 5);
    s.samples[100] = std::nanf("");
    s.samples[200] = INFINITY;
    speech::Endpointer e(kRate);
    e.Feed(s.samples);
    EXPECT_TRUE(e.Done());
    EXPECT_EQ(e.SamplesSeen(), static_cast<std::size_t>(8.0 * kRate));
    EXPECT_TRUE(e.Result().speech);
}

} // namespace
} // namespace sonavix

namespace sonavix {
namespace {

// A model recording may begin speaking within its first 100 ms: held whole, its floor is its
// quietest stretch, not its opening.
TEST(Endpointer, AWholeRecordingThatSpeaksAtOnceStillHasSpeech) {
    test::VowelSpec v;
    v.duration = 0.4;
    v.amplitude = 0.05; // a quiet speaker: the opening's level is far from any floor
    speech::Sound s = test::Noise(1.2, 1e-4, kRate, 5);
    test::MixInto(s, test::SynthVowel(v), static_cast<std::size_t>(0.03 * kRate));
    test::MixInto(s, test::SynthVowel(v), static_cast<std::size_t>(0.7 * kRate));
    EXPECT_FALSE(speech::FindEndpoints(s.samples, kRate).speech); // the opening is no floor
    EXPECT_NEAR(speech::QuietestLevelDb(s.samples, kRate), -80.0, 1.0);
    const speech::Analysis a = speech::Analyse(s);
    ASSERT_TRUE(a.speech);
    EXPECT_NEAR(a.onset, 0.03, 0.03);
    EXPECT_NEAR(a.offset, 1.1, 0.03);
    EXPECT_EQ(speech::QuietestLevelDb({}, kRate), -200.0);
}

// Weighted covariance prediction recovers an all-pole filter exactly where the weights leave out
// the samples its excitation touches.
TEST(WeightedLpc, RecoversTheFilterAwayFromItsExcitation) {
    const std::vector<double> a = {1.0, -1.2, 0.8, -0.3};
    std::vector<double> x(400, 0.0), w(400, 1.0);
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double pulse = n % 100 == 0 ? 1.0 : 0.0;
        if (n % 100 < 4)
            w[n] = 0.0;
        x[n] = pulse;
        for (std::size_t k = 1; k < a.size() && k <= n; ++k)
            x[n] -= a[k] * x[n - k];
    }
    const std::vector<double> got = speech::WeightedLpc(x, w, 3);
    ASSERT_EQ(got.size(), a.size());
    for (std::size_t k = 0; k < a.size(); ++k)
        EXPECT_NEAR(got[k], a[k], 1e-6) << k;
    EXPECT_EQ(speech::WeightedLpc(x, std::vector<double>(400, 0.0), 3)[1], 0.0);
}

} // namespace
} // namespace sonavix
