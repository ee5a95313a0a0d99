// The stretching stage on its own: exact lengths, pitch kept, no steps the input did not have,
// the start in step with the input, at each speed and with both engines, on tones, a chirp and
// a lesson recording.
#include "TimeStretch.h"
#include "playback_media.h"
#include "signal_measures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <tuple>

namespace {

using mplay::TimeStretch;
using sonavix::test::Channel;
using sonavix::test::CrossingFrequency;
using sonavix::test::LargestStep;
using sonavix::test::MakePairs;

constexpr double kPi = std::numbers::pi;

// Rises over 20 ms at the start and falls over 20 ms before the end, as a recorded sound does: a
// tone cut off dead would end in a step of its own.
double Envelope(double t, double seconds) {
    return std::min({1.0, t / 0.02, (seconds - t) / 0.02});
}

// On a pure tone the stretcher's slight ripple in level makes steps a few per cent steeper than
// the tone's own at some peaks, which the step bound takes off: a few per cent of the values at
// most, where a stretcher gone wrong would break the bound all over.
constexpr uint64_t kToneLimitedShare = 20;

// Fed as the decoder feeds it (a frame at a time), pulled in odd-sized pieces. limited, if given,
// gets the number of values the step bound changed.
std::vector<int16_t> Stretch(const std::vector<int16_t>& pairs, uint32_t rate, int channels,
                             double speed, TimeStretch::Engine engine,
                             uint64_t* limited = nullptr) {
    TimeStretch stretch(rate, channels, speed, engine);
    std::vector<int16_t> out;
    std::vector<int16_t> piece(2 * 777);
    const auto pull = [&] {
        while (const uint32_t got = stretch.Pull(piece.data(), 777)) {
            out.insert(out.end(), piece.begin(), piece.begin() + 2 * got);
        }
    };
    const size_t frames = pairs.size() / 2;
    for (size_t pos = 0; pos < frames; pos += 1152) {
        stretch.Push(pairs.data() + 2 * pos,
                     static_cast<uint32_t>(std::min<size_t>(1152, frames - pos)));
        pull();
    }
    stretch.Finish();
    pull();
    EXPECT_TRUE(stretch.Done());
    if (limited != nullptr) {
        *limited = stretch.LimitedValues();
    }
    return out;
}

std::string EngineName(TimeStretch::Engine engine) {
    switch (engine) {
    case TimeStretch::Engine::Faster:
        return "Faster";
    case TimeStretch::Engine::Finer:
        return "Finer";
    case TimeStretch::Engine::FinerShort:
        return "FinerShort";
    }
    return "";
}

class StretchAtSpeed : public ::testing::TestWithParam<std::tuple<TimeStretch::Engine, double>> {
  protected:
    TimeStretch::Engine Engine() const { return std::get<0>(GetParam()); }
    double Speed() const { return std::get<1>(GetParam()); }
};

TEST_P(StretchAtSpeed, ATonePlaysItsExactLengthAtItsPitchWithoutSteps) {
    constexpr uint32_t kRate = 44100;
    const auto tone = [](double t) { return 0.5 * Envelope(t, 1.0) * std::sin(2 * kPi * 440 * t); };
    const auto in = MakePairs(kRate, 1.0, tone, tone);
    uint64_t limited = 0;
    const auto out = Stretch(in, kRate, 1, Speed(), Engine(), &limited);
    ASSERT_EQ(out.size() / 2, TimeStretch::OutputFrames(kRate, Speed()));
    const auto left = Channel(out, 0);
    EXPECT_EQ(left, Channel(out, 1));
    const double seconds = 1.0 / Speed();
    EXPECT_NEAR(CrossingFrequency(left, kRate, 0.1 * seconds, 0.9 * seconds), 440, 440 * 0.02);
    EXPECT_LE(LargestStep(left), LargestStep(Channel(in, 0)));
    EXPECT_LT(limited, out.size() / kToneLimitedShare);
    // Faded out: the pass ends without a click.
    EXPECT_LT(std::abs(out[out.size() - 2]), 100);
}

TEST_P(StretchAtSpeed, AChirpKeepsItsFrequencyAtEachMomentOfTheSlowerTime) {
    constexpr uint32_t kRate = 22050;
    // 200 Hz rising to 400 Hz over two seconds.
    const auto freq = [](double t) { return 200 + 100 * t; };
    const auto chirp = [](double t) {
        return 0.5 * Envelope(t, 2.0) * std::sin(2 * kPi * (200 * t + 50 * t * t));
    };
    const auto in = MakePairs(kRate, 2.0, chirp, chirp);
    uint64_t limited = 0;
    const auto out = Stretch(in, kRate, 2, Speed(), Engine(), &limited);
    ASSERT_EQ(out.size() / 2, TimeStretch::OutputFrames(2 * kRate, Speed()));
    const auto left = Channel(out, 0);
    for (double t : {0.4, 1.0, 1.6}) {
        // 0.1 s of input around t, at its place in the output.
        const double f = CrossingFrequency(left, kRate, (t - 0.05) / Speed(), (t + 0.05) / Speed());
        EXPECT_NEAR(f, freq(t), freq(t) * 0.02) << "at " << t << " s of the input";
    }
    EXPECT_LE(LargestStep(left), LargestStep(Channel(in, 0)));
    EXPECT_LT(limited, out.size() / kToneLimitedShare);
    // Faded out: the pass ends without a click.
    EXPECT_LT(std::abs(out[out.size() - 2]), 100);
}

TEST_P(StretchAtSpeed, TheSoundStartsWhereTheSlowerTimeSaysAndNotBefore) {
    constexpr uint32_t kRate = 44100;
    // Silence, then a tone from 0.3 s on.
    const auto burst = [](double t) { return t < 0.3 ? 0.0 : 0.5 * std::sin(2 * kPi * 300 * t); };
    const auto in = MakePairs(kRate, 0.8, burst, burst);
    const auto out = Stretch(in, kRate, 1, Speed(), Engine());
    const double onset = sonavix::test::FirstLoud(Channel(out, 0), kRate, 0.1);
    // The stretcher may let a little of the onset spread ahead of it, but not by 20 ms.
    EXPECT_NEAR(onset, 0.3 / Speed(), 0.02);
}

TEST_P(StretchAtSpeed, ALessonRecordingKeepsItsLengthPitchAndSmoothness) {
    const std::string path = std::string(SONAVIX_SOURCE_DIR) + "/assets/pho/0.mp3";
    const auto pcm = sonavix::test::DecodeToPcm(sonavix::test::ReadBytes(path));
    ASSERT_FALSE(pcm.empty()) << path;
    constexpr uint32_t kRate = 44100; // as the recording's frames say
    uint64_t limited = 0;
    const auto out = Stretch(pcm, kRate, 2, Speed(), Engine(), &limited);
    ASSERT_EQ(out.size() / 2, TimeStretch::OutputFrames(pcm.size() / 2, Speed()));
    const auto in = Channel(pcm, 0);
    const auto left = Channel(out, 0);
    EXPECT_NEAR(sonavix::test::MedianF0Ratio(in, left, kRate, Speed()), 1.0, 0.02);
    EXPECT_LE(LargestStep(left), LargestStep(in));
    // Speech hardly ever needs the bound.
    EXPECT_LT(limited, out.size() / 10000);
}

INSTANTIATE_TEST_SUITE_P(EnginesAndSpeeds, StretchAtSpeed,
                         ::testing::Combine(::testing::Values(TimeStretch::Engine::Faster,
                                                              TimeStretch::Engine::Finer,
                                                              TimeStretch::Engine::FinerShort),
                                            ::testing::Values(0.5, 0.75)),
                         [](const auto& info) {
                             return EngineName(std::get<0>(info.param)) + "_" +
                                    std::to_string(static_cast<int>(std::get<1>(info.param) * 100));
                         });

TEST(TimeStretch, TwoChannelsKeepTheirOwnSound) {
    constexpr uint32_t kRate = 44100;
    const auto in = MakePairs(
        kRate, 0.6, [](double t) { return 0.4 * std::sin(2 * kPi * 330 * t); },
        [](double t) { return 0.4 * std::sin(2 * kPi * 550 * t); });
    const auto out = Stretch(in, kRate, 2, 0.5, TimeStretch::kSpeechEngine);
    EXPECT_NEAR(CrossingFrequency(Channel(out, 0), kRate, 0.2, 1.0), 330, 330 * 0.02);
    EXPECT_NEAR(CrossingFrequency(Channel(out, 1), kRate, 0.2, 1.0), 550, 550 * 0.02);
}

TEST(TimeStretch, FullScaleInputIsClippedNotWrappedAround) {
    constexpr uint32_t kRate = 22050;
    // A full-scale tone: the stretcher's ripple in level takes its peaks past the 16-bit range.
    const auto tone = [](double t) { return Envelope(t, 0.5) * std::sin(2 * kPi * 150 * t); };
    const auto in = MakePairs(kRate, 0.5, tone, tone);
    const auto out = Stretch(in, kRate, 1, 0.5, TimeStretch::kSpeechEngine);
    ASSERT_EQ(out.size() / 2, TimeStretch::OutputFrames(in.size() / 2, 0.5));
    // A value wrapped around would show as a step of nearly the whole range.
    EXPECT_LT(LargestStep(Channel(out, 0)), 0.5);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 32000);
}

TEST(TimeStretch, NoInputGivesNoOutputAndLateCallsChangeNothing) {
    TimeStretch stretch(44100, 2, 0.5);
    EXPECT_EQ(stretch.Available(), 0u);
    EXPECT_FALSE(stretch.Done());
    stretch.Finish();
    EXPECT_TRUE(stretch.Done());
    const int16_t pair[2] = {1000, -1000};
    stretch.Push(pair, 1);
    stretch.Finish();
    int16_t out[2] = {7, 7};
    EXPECT_EQ(stretch.Pull(out, 1), 0u);
    EXPECT_EQ(out[0], 7);
}

TEST(TimeStretch, OutputLengthsRoundToTheNearestFrame) {
    EXPECT_EQ(TimeStretch::OutputFrames(44100, 0.5), 88200u);
    EXPECT_EQ(TimeStretch::OutputFrames(1000, 0.75), 1333u);
    EXPECT_EQ(TimeStretch::OutputFrames(1001, 0.75), 1335u);
    EXPECT_EQ(TimeStretch::OutputFrames(0, 0.5), 0u);
}

} // namespace
