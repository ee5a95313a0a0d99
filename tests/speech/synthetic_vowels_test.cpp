// The analysis against vowels whose formants and F0 are known: men's and women's average
// formants (Hillenbrand et al. 1995) at F0 from 100 to 250 Hz, measured at the midpoint.
#include "synth_voice.h"

#include "speech/Analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace sonavix {
namespace {

struct Case {
    const char* name;
    speech::Voice voice;
    double f0;
    double f1, f2, f3;
};

// Men at 100-160 Hz, women at 180-250 Hz; every corner of the chart and r-coloured ɝ, whose
// F3 crowds F2.
const Case kCases[] = {
    {"i", speech::Voice::Male, 100, 342, 2322, 3000},
    {"ɪ", speech::Voice::Male, 130, 427, 2034, 2684},
    {"ɛ", speech::Voice::Male, 160, 580, 1799, 2605},
    {"æ", speech::Voice::Male, 120, 588, 1952, 2601},
    {"ɑ", speech::Voice::Male, 100, 768, 1333, 2522},
    {"ɔ", speech::Voice::Male, 140, 652, 997, 2538},
    {"ʊ", speech::Voice::Male, 110, 469, 1122, 2434},
    {"u", speech::Voice::Male, 150, 378, 997, 2343},
    {"ʌ", speech::Voice::Male, 130, 623, 1200, 2550},
    {"ɝ", speech::Voice::Male, 125, 474, 1379, 1710},
    {"i", speech::Voice::Female, 250, 437, 2761, 3372},
    {"æ", speech::Voice::Female, 200, 669, 2349, 2972},
    {"ɑ", speech::Voice::Female, 220, 936, 1551, 2815},
    {"u", speech::Voice::Female, 235, 459, 1105, 2735},
    {"ɔ", speech::Voice::Female, 180, 781, 1136, 2824},
    {"ɛ", speech::Voice::Female, 214, 731, 2058, 2979},
    {"ʊ", speech::Voice::Female, 230, 519, 1225, 2827},
    {"ɝ", speech::Voice::Female, 217, 523, 1588, 1929},
};

test::VowelSpec Spec(const Case& c) {
    test::VowelSpec v;
    v.f0 = c.f0;
    const bool male = c.voice == speech::Voice::Male;
    v.formants = {c.f1, c.f2, c.f3, male ? 3500.0 : 4100.0, male ? 4300.0 : 4900.0};
    return v;
}

TEST(SyntheticVowels, FormantsAndPitchAtTheMidpoint) {
    double worstF1 = 0, worstF2 = 0, worstF0 = 0;
    for (const Case& c : kCases) {
        const speech::Sound voice = test::SynthVowel(Spec(c));
        speech::Sound sound = test::Concat(test::Noise(0.2, 1e-4, voice.rate, 1), voice);
        sound = test::Concat(sound, test::Noise(0.2, 1e-4, voice.rate, 2));
        speech::AnalysisOptions options;
        options.voice = c.voice;
        options.spectrogram = false;
        const speech::Analysis a = speech::Analyse(sound, options);
        const std::string label = std::string(c.name) + " F0 " + std::to_string(int(c.f0));
        ASSERT_FALSE(a.segments.empty()) << label;
        const auto& mid = a.vowel.at[1];
        const double e1 = std::fabs(mid[0].frequency - c.f1) / c.f1;
        const double e2 = std::fabs(mid[1].frequency - c.f2) / c.f2;
        const double e0 = std::fabs(a.f0.median - c.f0) / c.f0;
        std::printf("%-3s %-6s F0 %5.1f/%3.0f  F1 %6.1f/%4.0f  F2 %6.1f/%4.0f  F3 %6.1f/%4.0f\n",
                    c.name, c.voice == speech::Voice::Male ? "male" : "female", a.f0.median, c.f0,
                    mid[0].frequency, c.f1, mid[1].frequency, c.f2, mid[2].frequency, c.f3);
        // Even with one harmonic below F1 and none at it (i and u at 235-250 Hz).
        EXPECT_LT(e1, 0.05) << label;
        EXPECT_LT(e2, 0.03) << label;
        EXPECT_LT(e0, 0.01) << label;
        worstF1 = std::max(worstF1, e1);
        worstF2 = std::max(worstF2, e2);
        worstF0 = std::max(worstF0, e0);
    }
    std::printf("worst: F1 %.1f %%  F2 %.1f %%  F0 %.2f %%\n", 100 * worstF1, 100 * worstF2,
                100 * worstF0);
}

} // namespace
} // namespace sonavix
