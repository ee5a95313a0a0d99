// The playback workers against a device that plays on its own thread: passes and pauses of the
// repeat loop, silent failures, and the newest request winning over a storm of requests with
// never two passes at once. Run under ThreadSanitizer as well.
#include "paced_device.h"
#include "playback_media.h"
#include "scripted_device.h"

#include "mplay/PlayThread.h"
#include "mplay/Player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Pass = sonavix::test::PacedDevice::Pass;
using Passes = std::vector<Pass>;
using sonavix::test::PacedDevice;

constexpr double kSpeed = 10; // a 1.5 s recording plays in 150 ms

std::atomic<int> g_messages{0};
void CountMessage(const char*) {
    ++g_messages;
}

bool WorkersEnd(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (mplay::RunningWorkerCount() != 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

int Drained(const Passes& passes) {
    int n = 0;
    for (const auto& p : passes) {
        n += p.stopped && p.drained;
    }
    return n;
}

class PlayThreadTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_tone = sonavix::test::MakeToneRecording(1.5, 44100, 2);
        s_long = sonavix::test::MakeToneRecording(5.0, 44100, 2);
        s_other = sonavix::test::MakeToneRecording(0.5, 22050, 2);
    }
    void SetUp() override {
        ASSERT_FALSE(s_tone.empty() || s_long.empty() || s_other.empty()) << "sox or lame missing";
        g_messages = 0;
        mplay::g_bRepeat = 0;
        mplay::SetDeviceFailureMessage(&CountMessage);
    }
    void TearDown() override {
        mplay::g_bRepeat = 0;
        EXPECT_TRUE(WorkersEnd(10s));
        mplay::SetDeviceFailureMessage(nullptr);
    }

    static std::string s_tone, s_long, s_other;
};
std::string PlayThreadTest::s_tone, PlayThreadTest::s_long, PlayThreadTest::s_other;

TEST_F(PlayThreadTest, WithRepetitionOffARequestPlaysOnceToItsEnd) {
    PacedDevice device(kSpeed);
    mplay::StartPlayWorker(s_tone);
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_TRUE(passes[0].drained);
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayThreadTest, RepetitionSwitchedOffDuringTheThirdPassLetsItFinish) {
    PacedDevice device(kSpeed);
    mplay::g_bRepeat = 1;
    mplay::StartPlayWorker(s_tone);
    ASSERT_TRUE(device.WaitFor([](const Passes& p) { return p.size() == 3; }, 10s));
    mplay::g_bRepeat = 0;
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_EQ(Drained(passes), 3);
    // About a second of pause between passes.
    const auto gap = passes[1].openedAt - passes[0].stoppedAt;
    EXPECT_GE(gap, 900ms);
    EXPECT_LT(gap, 2000ms);
}

TEST_F(PlayThreadTest, RepetitionSwitchedOffDuringAPauseEndsTheWorkerPromptly) {
    PacedDevice device(kSpeed);
    mplay::g_bRepeat = 1;
    mplay::StartPlayWorker(s_tone);
    ASSERT_TRUE(device.WaitFor([](const Passes& p) { return p.size() == 1 && p[0].stopped; }, 5s));
    std::this_thread::sleep_for(250ms);
    const auto off = std::chrono::steady_clock::now();
    mplay::g_bRepeat = 0;
    ASSERT_TRUE(WorkersEnd(5s));
    // The rest of the pause would be some 750 ms.
    EXPECT_LT(std::chrono::steady_clock::now() - off, 400ms);
    EXPECT_EQ(device.Passes().size(), 1u);
}

TEST_F(PlayThreadTest, AMissingFileEndsSilently) {
    PacedDevice device(kSpeed);
    mplay::StartPlayWorker(s_tone + ".missing");
    ASSERT_TRUE(WorkersEnd(5s));
    EXPECT_TRUE(device.Passes().empty());
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayThreadTest, WithoutADeviceTheMessageReturnsAfterEveryPause) {
    PacedDevice device(kSpeed);
    device.SetPresent(false);
    mplay::g_bRepeat = 1;
    mplay::StartPlayWorker(s_tone);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (g_messages < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    mplay::g_bRepeat = 0;
    ASSERT_TRUE(WorkersEnd(5s));
    EXPECT_EQ(g_messages, 2);
}

TEST_F(PlayThreadTest, ANewerRequestCutsThePassInProgressShortAtOnce) {
    PacedDevice device(1); // real time: the first pass would last five seconds
    mplay::StartPlayWorker(s_long);
    // Two blocks queued: the worker now waits for the device.
    ASSERT_TRUE(device.WaitFor([](const Passes& p) { return !p.empty() && p[0].queued >= 2; }, 5s));
    std::this_thread::sleep_for(50ms);
    const auto request = PacedDevice::Clock::now();
    mplay::StartPlayWorker(s_other);
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_FALSE(passes[0].drained);
    EXPECT_LT(passes[0].stoppedAt - request, 200ms);
    EXPECT_TRUE(passes[1].drained);
    EXPECT_EQ(passes[1].sampleRate, 22050u);
    EXPECT_GE(passes[1].openedAt, passes[0].stoppedAt);
}

TEST_F(PlayThreadTest, AStormOfRequestsPlaysOnlyTheLastToItsEnd) {
    PacedDevice device(kSpeed);
    for (int i = 0; i < 49; ++i) {
        mplay::StartPlayWorker(s_tone);
    }
    mplay::StartPlayWorker(s_other);
    ASSERT_TRUE(WorkersEnd(10s));
    const Passes passes = device.Passes();
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(device.MaxOpenAtOnce(), 1);
    EXPECT_EQ(Drained(passes), 1);
    EXPECT_TRUE(passes.back().drained);
    EXPECT_EQ(passes.back().sampleRate, 22050u);
}

TEST_F(PlayThreadTest, PlayThreadProcPlaysOnTheCallingThreadAndFreesThePath) {
    PacedDevice device(kSpeed);
    mplay::PlayThreadProc(new std::string(s_tone));
    EXPECT_EQ(mplay::RunningWorkerCount(), 0);
    ASSERT_EQ(device.Passes().size(), 1u);
    EXPECT_TRUE(device.Passes()[0].drained);
    mplay::PlayThreadProc(new std::string(s_tone + ".missing"));
    mplay::PlayThreadProc(nullptr);
    EXPECT_EQ(device.Passes().size(), 1u);
}

std::vector<std::string> g_hooked;
void Hook(const std::string& path) {
    g_hooked.push_back(path);
}

TEST_F(PlayThreadTest, ARegisteredRequestHookTakesThePathInsteadOfAWorker) {
    PacedDevice device(kSpeed);
    mplay::SetPlayRequestHook(&Hook);
    mplay::StartPlayWorker(s_tone);
    mplay::SetPlayRequestHook(nullptr);
    EXPECT_EQ(g_hooked, std::vector<std::string>{s_tone});
    EXPECT_EQ(mplay::RunningWorkerCount(), 0);
    EXPECT_TRUE(device.Passes().empty());
}

std::vector<std::pair<std::string, double>> g_speedHooked;
void SpeedHook(const std::string& path, double speed) {
    g_speedHooked.emplace_back(path, speed);
}

TEST_F(PlayThreadTest, TheSpeedRequestHookSeesEachRequestsSpeed) {
    PacedDevice device(kSpeed);
    mplay::SetPlayRequestHook(&Hook);
    mplay::SetSpeedRequestHook(&SpeedHook);
    g_hooked.clear();
    mplay::StartPlayWorker(s_tone, 0.5);
    mplay::StartPlayWorker(s_other);
    mplay::SetSpeedRequestHook(nullptr);
    mplay::SetPlayRequestHook(nullptr);
    const std::vector<std::pair<std::string, double>> expected = {{s_tone, 0.5}, {s_other, 1.0}};
    EXPECT_EQ(g_speedHooked, expected);
    EXPECT_TRUE(g_hooked.empty());
    EXPECT_TRUE(device.Passes().empty());
}

TEST_F(PlayThreadTest, ARequestAtNormalSpeedReachesTheDeviceBitForBit) {
    const auto mp3 = sonavix::test::ReadBytes(s_long);
    const std::vector<int16_t> pcm = sonavix::test::DecodeToPcm(mp3);
    sonavix::test::ScriptedDevice device;
    mplay::StartPlayWorker(s_long, 1.0);
    ASSERT_TRUE(WorkersEnd(10s));
    const std::vector<uint8_t> played = device.PlayedBytes();
    ASSERT_EQ(played.size(), pcm.size() * 2);
    EXPECT_EQ(std::memcmp(played.data(), pcm.data(), played.size()), 0);
}

TEST_F(PlayThreadTest, RepetitionAtHalfSpeedPlaysLongerPassesWithTheUsualPause) {
    PacedDevice device(kSpeed);
    mplay::g_bRepeat = 1;
    mplay::StartPlayWorker(s_tone, 0.5);
    ASSERT_TRUE(device.WaitFor([](const Passes& p) { return p.size() == 2; }, 10s));
    mplay::g_bRepeat = 0;
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(Drained(passes), 2);
    // Three seconds of sound at ten times real time (150 ms would be the recording unstretched);
    // on a busy machine the stretching rather than the device may set the pace.
    const auto length = passes[0].stoppedAt - passes[0].openedAt;
    EXPECT_GE(length, 290ms);
    EXPECT_LT(length, 3s);
    const auto gap = passes[1].openedAt - passes[0].stoppedAt;
    EXPECT_GE(gap, 900ms);
    EXPECT_LT(gap, 2000ms);
}

TEST_F(PlayThreadTest, ANewerRequestCutsASlowPassShortAtOnce) {
    PacedDevice device(1);
    mplay::StartPlayWorker(s_long, 0.5);
    ASSERT_TRUE(device.WaitFor([](const Passes& p) { return !p.empty() && p[0].queued >= 3; }, 5s));
    std::this_thread::sleep_for(50ms);
    const auto request = PacedDevice::Clock::now();
    mplay::StartPlayWorker(s_other, 0.75);
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_FALSE(passes[0].drained);
    EXPECT_LT(passes[0].stoppedAt - request, 200ms);
    EXPECT_TRUE(passes[1].drained);
    EXPECT_EQ(passes[1].sampleRate, 22050u);
    EXPECT_GE(passes[1].openedAt, passes[0].stoppedAt);
}

TEST_F(PlayThreadTest, AStormOfRequestsAtMixedSpeedsPlaysOnlyTheLastToItsEnd) {
    PacedDevice device(kSpeed);
    const double speeds[] = {1.0, 0.75, 0.5};
    for (int i = 0; i < 30; ++i) {
        mplay::StartPlayWorker(s_tone, speeds[i % 3]);
    }
    mplay::StartPlayWorker(s_other, 0.5);
    ASSERT_TRUE(WorkersEnd(10s));
    const Passes passes = device.Passes();
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(device.MaxOpenAtOnce(), 1);
    EXPECT_EQ(Drained(passes), 1);
    EXPECT_TRUE(passes.back().drained);
    EXPECT_EQ(passes.back().sampleRate, 22050u);
}

std::vector<std::tuple<size_t, uint32_t, double>> g_samplesHooked;
void SamplesHook(const std::vector<int16_t>& mono, uint32_t rate, double speed) {
    g_samplesHooked.emplace_back(mono.size(), rate, speed);
}

TEST_F(PlayThreadTest, TheSamplesRequestHookTakesTheSamplesInsteadOfAWorker) {
    PacedDevice device(kSpeed);
    mplay::SetSamplesRequestHook(&SamplesHook);
    mplay::StartSamplesWorker(std::vector<int16_t>(800), 16000);
    mplay::StartSamplesWorker({}, 22050, 0.5);
    mplay::SetSamplesRequestHook(nullptr);
    const std::vector<std::tuple<size_t, uint32_t, double>> expected = {{800, 16000, 1.0},
                                                                        {0, 22050, 0.5}};
    EXPECT_EQ(g_samplesHooked, expected);
    EXPECT_EQ(mplay::RunningWorkerCount(), 0);
    EXPECT_TRUE(device.Passes().empty());
}

TEST_F(PlayThreadTest, SamplesPlayOnceWhateverTheRepetitionAndAFileCutsThemShort) {
    PacedDevice device(1);
    mplay::g_bRepeat = 1;
    mplay::StartSamplesWorker(std::vector<int16_t>(1600, 100), 16000);
    ASSERT_TRUE(WorkersEnd(3s)) << "the samples repeated";
    mplay::g_bRepeat = 0;
    mplay::StartSamplesWorker(std::vector<int16_t>(5 * 16000, 100), 16000, 0.75);
    ASSERT_TRUE(
        device.WaitFor([](const Passes& p) { return p.size() == 2 && p[1].queued >= 2; }, 5s));
    const auto request = PacedDevice::Clock::now();
    mplay::StartPlayWorker(s_other);
    ASSERT_TRUE(WorkersEnd(5s));
    const Passes passes = device.Passes();
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_TRUE(passes[0].drained);
    EXPECT_EQ(passes[0].sampleRate, 16000u);
    EXPECT_FALSE(passes[1].drained);
    EXPECT_LT(passes[1].stoppedAt - request, 200ms);
    EXPECT_TRUE(passes[2].drained);
    EXPECT_EQ(device.MaxOpenAtOnce(), 1);
}

} // namespace
