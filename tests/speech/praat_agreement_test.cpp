// The 21 vowel recordings of the lesson media against Praat's "To Formant (burg)" at the same
// instant (the midpoint of the longest voiced stretch), Praat run as a black box. Skipped where
// Praat is not installed. And both programs on synthetic vowels whose formants are known.
#include "synth_voice.h"

#include "speech/Analysis.h"
#include "speech/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace sonavix {
namespace {

const char kScript[] = R"(form Formants
    sentence file
    real ceiling 5000
    real t 0.3
endform
s = Read from file: file$
f = To Formant (burg): 0, 5, ceiling, 0.025, 50
f1 = Get value at time: 1, t, "hertz", "linear"
f2 = Get value at time: 2, t, "hertz", "linear"
writeInfoLine: fixed$(f1, 1), " ", fixed$(f2, 1)
)";

std::string Shell(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) {
            out += buf;
        }
        ::pclose(p);
    }
    return out;
}

TEST(PraatAgreement, VowelFormantsOfTheLessonRecordingsAtTheMidpoint) {
    if (Shell("command -v praat").empty()) {
        GTEST_SKIP() << "praat is not installed";
    }
    const std::string decode = std::string(SONAVIX_BIN_DIR) + "/sonavix-decode";
    if (!std::filesystem::exists(decode)) {
        GTEST_SKIP() << "sonavix-decode is not built";
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("speech_praat_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string script = (dir / "formants.praat").string();
    std::ofstream(script) << kScript;
    int within = 0;
    for (int n = 0; n <= 20; ++n) {
        const std::string mp3 =
            std::string(SONAVIX_SOURCE_DIR) + "/assets/pho/" + std::to_string(n) + ".mp3";
        const std::string stereo = (dir / "stereo.wav").string();
        const std::string mono = (dir / "mono.wav").string();
        ASSERT_TRUE(Shell("'" + decode + "' '" + mp3 + "' '" + stereo + "' && echo ok") == "ok\n");
        const speech::WavReadResult wav = speech::ReadWavFile(stereo);
        ASSERT_TRUE(wav.ok) << wav.error;
        // Both programs read the same mono file.
        ASSERT_TRUE(speech::WriteWavFileAtomic(mono, wav.sound));
        const speech::Sound sound = speech::ReadWavFile(mono).sound;
        speech::AnalysisOptions options;
        options.spectrogram = false;
        speech::Analysis a = speech::Analyse(sound, options);
        if (a.f0.median > 165) {
            options.voice = speech::Voice::Female;
            a = speech::Analyse(sound, options);
        }
        ASSERT_FALSE(a.segments.empty()) << n;
        const speech::VoicedSegment* longest = &a.segments[0];
        for (const auto& s : a.segments) {
            longest = s.end - s.start > longest->end - longest->start ? &s : longest;
        }
        const double t = 0.5 * (longest->start + longest->end);
        char args[64];
        std::snprintf(args, sizeof args, " %.0f %.4f", speech::FormantCeiling(options.voice), t);
        double p1 = 0, p2 = 0;
        const std::string got = Shell("praat --run '" + script + "' '" + mono + "'" + args);
        ASSERT_EQ(std::sscanf(got.c_str(), "%lf %lf", &p1, &p2), 2) << got;
        const double o1 = a.vowel.at[1][0].frequency, o2 = a.vowel.at[1][1].frequency;
        const double d1 = std::fabs(o1 - p1) / p1, d2 = std::fabs(o2 - p2) / p2;
        std::printf("%2d at %.3f s: F1 %6.1f (Praat %6.1f)  F2 %6.1f (Praat %6.1f)\n", n, t, o1, p1,
                    o2, p2);
        EXPECT_LT(d1, 0.10) << "vowel " << n;
        EXPECT_LT(d2, 0.10) << "vowel " << n;
        within += d1 < 0.10 && d2 < 0.10;
    }
    std::printf("%d of 21 within 10 %% of Praat in F1 and F2\n", within);
    std::filesystem::remove_all(dir);
}

TEST(PraatAgreement, SyntheticVowelsAsCloseAsPraatInF2AndCloserInF1) {
    if (Shell("command -v praat").empty()) {
        GTEST_SKIP() << "praat is not installed";
    }
    struct Case {
        double f0, f1, f2, f3;
        bool male;
    };
    // Women's vowels at high F0, where tracking errs most, and two men's.
    const Case cases[] = {{250, 437, 2761, 3372, false}, {235, 459, 1105, 2735, false},
                          {220, 936, 1551, 2815, false}, {180, 781, 1136, 2824, false},
                          {230, 519, 1225, 2827, false}, {217, 523, 1588, 1929, false},
                          {214, 731, 2058, 2979, false}, {200, 669, 2349, 2972, false},
                          {160, 580, 1799, 2605, true},  {110, 469, 1122, 2434, true}};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("speech_praat_synth_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string script = (dir / "formants.praat").string();
    std::ofstream(script) << kScript;
    double ours1 = 0, ours2 = 0, praat1 = 0, praat2 = 0;
    for (const Case& c : cases) {
        test::VowelSpec v;
        v.f0 = c.f0;
        v.formants = {c.f1, c.f2, c.f3, c.male ? 3500.0 : 4100.0, c.male ? 4300.0 : 4900.0};
        const std::string wav = (dir / "vowel.wav").string();
        ASSERT_TRUE(speech::WriteWavFileAtomic(wav, test::SynthVowel(v)));
        const speech::Sound sound = speech::ReadWavFile(wav).sound;
        speech::AnalysisOptions options;
        options.voice = c.male ? speech::Voice::Male : speech::Voice::Female;
        options.spectrogram = false;
        const speech::Analysis a = speech::Analyse(sound, options);
        char args[64];
        std::snprintf(args, sizeof args, " %.0f %.4f", speech::FormantCeiling(options.voice),
                      0.5 * v.duration);
        double p1 = 0, p2 = 0;
        const std::string got = Shell("praat --run '" + script + "' '" + wav + "'" + args);
        ASSERT_EQ(std::sscanf(got.c_str(), "%lf %lf", &p1, &p2), 2) << got;
        const auto& mid = a.vowel.at[1];
        ours1 = std::max(ours1, std::fabs(mid[0].frequency - c.f1) / c.f1);
        ours2 = std::max(ours2, std::fabs(mid[1].frequency - c.f2) / c.f2);
        praat1 = std::max(praat1, std::fabs(p1 - c.f1) / c.f1);
        praat2 = std::max(praat2, std::fabs(p2 - c.f2) / c.f2);
    }
    std::printf("worst error: F1 %.1f %% (Praat %.1f %%), F2 %.1f %% (Praat %.1f %%)\n",
                100 * ours1, 100 * praat1, 100 * ours2, 100 * praat2);
    EXPECT_LT(ours1, praat1);
    EXPECT_LE(ours2, praat2 + 0.005);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace sonavix
