// The recorder against a scripted input device: where it stops by itself, the cap, trimming,
// resampling, the meter, and devices that are missing, refuse or fail.
#include "output/CaptureRing.h"
#include "scripted_capture.h"
#include "synthetic_speech.h"

#include "mplay/Recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using mplay::Recorder;
using mplay::RecordError;
using mplay::StopReason;
using sonavix::test::ScriptedCapture;
using sonavix::test::SignalBuilder;

constexpr uint32_t kRate = Recorder::kSampleRate;

double Seconds(size_t samples) {
    return static_cast<double>(samples) / kRate;
}

double RmsDb(std::span<const int16_t> s) {
    double power = 0;
    for (const int16_t v : s) {
        power += static_cast<double>(v) * v;
    }
    return 10 * std::log10(power / static_cast<double>(s.size()) / (32768.0 * 32768.0) + 1e-12);
}

TEST(RecorderEndpointing, StopsAfterSilenceFollowingSpeechAndTrimsBothEnds) {
    ScriptedCapture device;
    // A pause of 0.4 s inside the utterance must not end it.
    device.signal =
        SignalBuilder(kRate).Pause(0.6).Speech(0.5).Pause(0.4).Speech(0.4).Pause(3.0).Build();
    Recorder recorder;
    const auto untrimmed = recorder.Record({.trim = false});
    EXPECT_EQ(untrimmed.reason, StopReason::Endpointer);
    EXPECT_EQ(untrimmed.error, RecordError::None);
    // Speech ends at 1.9 s; the stop comes 0.7 s later, give or take a frame or two.
    EXPECT_NEAR(Seconds(untrimmed.samples.size()), 2.6, 0.04);

    const auto trimmed = recorder.Record({});
    ASSERT_TRUE(trimmed.heardSpeech);
    EXPECT_NEAR(Seconds(trimmed.samples.size()), 1.3 + 0.2, 0.04);
    // 0.1 s of the noise before the speech is kept, and the speech itself starts right after.
    const std::span<const int16_t> s(trimmed.samples);
    EXPECT_LT(RmsDb(s.first(1200)), -45);
    EXPECT_GT(RmsDb(s.subspan(1700, 1600)), -40);
    EXPECT_LT(RmsDb(s.last(1200)), -45);
}

TEST(RecorderEndpointing, SpeechFromTheFirstSampleStillEnds) {
    ScriptedCapture device;
    device.signal = SignalBuilder(kRate).Speech(1.0).Pause(3.0).Build();
    Recorder recorder;
    const auto r = recorder.Record({.trim = false});
    EXPECT_EQ(r.reason, StopReason::Endpointer);
    EXPECT_TRUE(r.heardSpeech);
    EXPECT_NEAR(Seconds(r.samples.size()), 1.7, 0.05);
}

TEST(RecorderEndpointing, NoiseAndClicksAreNotSpeechAndEndAfterFiveSeconds) {
    ScriptedCapture device;
    device.signal =
        SignalBuilder(kRate, -40).Pause(1.0).Click().Pause(1.0).Click().Pause(4.0).Build();
    Recorder recorder;
    const auto r = recorder.Record({});
    EXPECT_EQ(r.reason, StopReason::Endpointer);
    EXPECT_FALSE(r.heardSpeech);
    // Nothing to trim to: kept whole.
    EXPECT_NEAR(Seconds(r.samples.size()), 5.0, 0.02);
    EXPECT_GE(r.peak, 30000);
}

TEST(RecorderEndpointing, DigitalSilenceThenQuietSpeechIsHeard) {
    ScriptedCapture device;
    device.signal = SignalBuilder(kRate, -200).Pause(0.5).Speech(0.6, -45).Pause(1.5).Build();
    Recorder recorder;
    const auto r = recorder.Record({});
    EXPECT_TRUE(r.heardSpeech);
    EXPECT_NEAR(Seconds(r.samples.size()), 0.8, 0.04);
}

TEST(RecorderCap, EndsAtTheCapExactly) {
    ScriptedCapture device;
    SignalBuilder talk(kRate);
    while (talk.Seconds() < 12) {
        talk.Pause(0.3).Speech(1.0);
    }
    device.signal = talk.Build();
    Recorder recorder;
    const auto r = recorder.Record({.trim = false});
    EXPECT_EQ(r.reason, StopReason::Cap);
    EXPECT_EQ(r.samples.size(), 8 * kRate);
    const auto shorter = recorder.Record(
        {.useEndpointer = false, .trim = false, .maxLength = std::chrono::milliseconds(1500)});
    EXPECT_EQ(shorter.reason, StopReason::Cap);
    EXPECT_EQ(shorter.samples.size(), 1500u * kRate / 1000);
}

TEST(RecorderEndpointer, ACustomOneSeesEverySampleInOrderAndCanEndIt) {
    ScriptedCapture device;
    device.signal.resize(3 * kRate);
    device.failAfter = device.signal.size();
    std::iota(device.signal.begin(), device.signal.end(), int16_t{0});
    size_t seen = 0;
    bool inOrder = true;
    Recorder recorder;
    const auto r = recorder.Record({.endpointer =
                                        [&](std::span<const int16_t> portion) {
                                            for (const int16_t v : portion) {
                                                inOrder &= v == static_cast<int16_t>(seen++);
                                            }
                                            return seen < kRate;
                                        },
                                    .trim = false});
    EXPECT_EQ(r.reason, StopReason::Endpointer);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(r.samples.size(), seen);
    EXPECT_GE(seen, size_t{kRate});
}

// The device's own rate is resampled to 16 kHz: length, pitch and level are kept.
class RecorderResampling : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RecorderResampling, KeepsLengthPitchAndLevel) {
    ScriptedCapture device;
    device.rate = GetParam();
    device.signal = sonavix::test::Sine(device.rate, 1000, 2.0, -12);
    Recorder recorder;
    const auto r = recorder.Record(
        {.useEndpointer = false, .trim = false, .maxLength = std::chrono::seconds(2)});
    EXPECT_EQ(r.deviceRate, GetParam());
    ASSERT_EQ(r.samples.size(), 2 * kRate);
    const std::span<const int16_t> middle =
        std::span<const int16_t>(r.samples).subspan(kRate / 2, kRate);
    int crossings = 0;
    for (size_t i = 1; i < middle.size(); ++i) {
        crossings += (middle[i - 1] < 0) != (middle[i] < 0);
    }
    EXPECT_NEAR(crossings, 2000, 2);
    EXPECT_NEAR(RmsDb(middle), -12, 0.2);
    EXPECT_EQ(r.droppedSamples, 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, RecorderResampling, ::testing::Values(16000u, 44100u, 48000u));

TEST(RecorderDevice, OpenErrorsComeBackAsValues) {
    for (const RecordError error :
         {RecordError::NoDevice, RecordError::PermissionDenied, RecordError::DeviceBusy}) {
        ScriptedCapture device;
        device.openError = error;
        Recorder recorder;
        const auto r = recorder.Record({});
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(r.reason, StopReason::NotStarted);
        EXPECT_TRUE(r.samples.empty());
        EXPECT_FALSE(recorder.Active());
    }
}

TEST(RecorderDevice, ALostDeviceKeepsWhatWasCaptured) {
    ScriptedCapture device;
    device.signal = SignalBuilder(kRate).Pause(0.3).Speech(2.0).Build();
    device.failAfter = static_cast<size_t>(1.5 * kRate);
    Recorder recorder;
    const auto r = recorder.Record({.trim = false});
    EXPECT_EQ(r.error, RecordError::DeviceLost);
    EXPECT_EQ(r.reason, StopReason::DeviceLost);
    EXPECT_EQ(r.samples.size(), device.failAfter);
    EXPECT_TRUE(r.heardSpeech);
}

TEST(RecorderDevice, ADeviceThatGoesQuietCountsAsLost) {
    ScriptedCapture device;
    device.signal = SignalBuilder(kRate).Speech(0.5).Build();
    device.stallAfter = kRate / 2;
    Recorder recorder;
    const auto start = std::chrono::steady_clock::now();
    const auto r = recorder.Record({.trim = false});
    EXPECT_EQ(r.error, RecordError::DeviceLost);
    EXPECT_EQ(r.samples.size(), kRate / 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(RecorderLevel, FollowsTheSignalWhileRecordingAndIsZeroAfter) {
    ScriptedCapture device;
    device.speed = 1;
    device.signal = sonavix::test::Sine(kRate, 440, 3.0, -6);
    Recorder recorder;
    std::atomic<bool> done{false};
    mplay::Recording result;
    recorder.Start({.useEndpointer = false}, [&](mplay::Recording r) {
        result = std::move(r);
        done = true;
    });
    mplay::Level level;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (level.rms < 0.4f && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        level = recorder.CurrentLevel();
    }
    EXPECT_NEAR(level.rms, 0.5f, 0.02f);
    EXPECT_NEAR(level.peak, 0.707f, 0.02f);
    EXPECT_TRUE(recorder.Active());
    recorder.Stop();
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(result.reason, StopReason::Stopped);
    EXPECT_GT(result.firstSampleMs, 0);
    EXPECT_EQ(recorder.CurrentLevel().peak, 0.0f);
    EXPECT_FALSE(device.open);
}

TEST(CaptureRing, MixesDownWrapsAroundAndCountsWhatDidNotFit) {
    mplay::CaptureRing ring(3);
    const int16_t stereo[] = {100, 300, -5, -7, 32767, 32767, -32768, -32768};
    EXPECT_EQ(ring.Write(stereo, 4, 2), 4u);
    int16_t out[16] = {};
    ASSERT_EQ(ring.Read(out, 16), 4u);
    EXPECT_EQ(std::vector<int16_t>(out, out + 4), (std::vector<int16_t>{200, -6, 32767, -32768}));
    std::vector<int16_t> counting(12);
    std::iota(counting.begin(), counting.end(), int16_t{1});
    EXPECT_EQ(ring.Write(counting.data(), 6), 6u);
    ASSERT_EQ(ring.Read(out, 3), 3u);
    // Five places are free: the rest of the portion is dropped, not written over unread ones.
    EXPECT_EQ(ring.Write(counting.data() + 6, 6), 5u);
    EXPECT_EQ(ring.Dropped(), 1u);
    ASSERT_EQ(ring.Read(out + 3, 16), 8u);
    EXPECT_EQ(std::vector<int16_t>(out, out + 11),
              (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

} // namespace
