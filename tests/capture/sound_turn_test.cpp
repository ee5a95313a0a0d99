// One sound at a time: a recording stops the playback in progress (a file's or samples'), a
// playback request stops the recording, and whichever was asked for last wins, never with the
// output and the input open at once. Run under ThreadSanitizer as well.
#include "paced_device.h"
#include "playback_media.h"
#include "scripted_capture.h"

#include "mplay/PlayThread.h"
#include "mplay/Recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Passes = std::vector<sonavix::test::PacedDevice::Pass>;
using mplay::StopReason;

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = 3s) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class SoundTurnTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_long = sonavix::test::MakeToneRecording(5.0, 44100, 2); }
    void SetUp() override {
        ASSERT_FALSE(s_long.empty()) << "sox or lame missing";
        mplay::g_bRepeat = 0;
        m_input.speed = 1;
    }
    void TearDown() override {
        EXPECT_TRUE(Eventually([] { return mplay::RunningWorkerCount() == 0; }));
    }

    static std::string s_long;
    sonavix::test::PacedDevice m_output{1};
    sonavix::test::ScriptedCapture m_input;
};

std::string SoundTurnTest::s_long;

TEST_F(SoundTurnTest, RecordingStopsPlaybackAndPlaybackStopsRecording) {
    mplay::StartPlayWorker(s_long);
    ASSERT_TRUE(m_output.WaitFor([](const Passes& p) { return !p.empty(); }, 3s));

    mplay::Recorder recorder;
    std::atomic<bool> done{false};
    StopReason reason = StopReason::NotStarted;
    recorder.Start({.useEndpointer = false}, [&](mplay::Recording r) {
        reason = r.reason;
        done = true;
    });
    ASSERT_TRUE(m_output.WaitFor(
        [](const Passes& p) { return p.size() == 1 && p[0].stopped && !p[0].drained; }, 1s))
        << "the playback went on under the recording";
    ASSERT_TRUE(Eventually([&] { return m_input.open.load(); }));

    mplay::StartPlayWorker(s_long);
    ASSERT_TRUE(Eventually([&] { return done.load(); }, 1s)) << "the recording went on";
    EXPECT_EQ(reason, StopReason::Superseded);
    ASSERT_TRUE(m_output.WaitFor([](const Passes& p) { return p.size() == 2; }, 3s));
    // The new pass opened only once the input was closed.
    EXPECT_GE(m_output.Passes()[1].openedAt, m_input.Sessions().at(0).closed);
    mplay::StartPlayWorker(s_long + ".missing"); // stops the pass; plays nothing
}

TEST_F(SoundTurnTest, AStormOfRequestsEndsWithTheLastAndNeverOverlaps) {
    mplay::Recorder first;
    mplay::Recorder second;
    std::atomic<int> results{0};
    std::atomic<int> superseded{0};
    auto count = [&](mplay::Recording r) {
        ++results;
        superseded += r.reason == StopReason::Superseded || r.reason == StopReason::NotStarted;
    };
    for (int i = 0; i < 12; ++i) {
        switch (i % 3) {
        case 0:
            mplay::StartPlayWorker(s_long);
            break;
        case 1:
            first.Start({.useEndpointer = false}, count);
            break;
        default:
            second.Start({.useEndpointer = false}, count);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * (i % 4)));
    }
    // The last request was the second recorder's: it is the one still running.
    ASSERT_TRUE(Eventually([&] { return results.load() == 7; })) << results.load();
    EXPECT_EQ(superseded.load(), 7);
    EXPECT_TRUE(second.Active());
    EXPECT_TRUE(Eventually([] { return mplay::RunningWorkerCount() == 0; }));
    second.Stop();
    ASSERT_TRUE(Eventually([&] { return results.load() == 8; }));

    auto inputs = m_input.Sessions();
    for (const auto& pass : m_output.Passes()) {
        for (const auto& input : inputs) {
            EXPECT_TRUE(pass.stoppedAt <= input.opened || input.closed <= pass.openedAt)
                << "output and input were open at once";
        }
    }
}

TEST_F(SoundTurnTest, ARecordingCutsSamplesShort) {
    mplay::StartSamplesWorker(std::vector<int16_t>(5 * 16000, 1000), 16000);
    ASSERT_TRUE(m_output.WaitFor([](const Passes& p) { return !p.empty(); }, 3s));
    mplay::Recorder recorder;
    recorder.Start({.useEndpointer = false}, [](mplay::Recording) {});
    EXPECT_TRUE(m_output.WaitFor(
        [](const Passes& p) { return p.size() == 1 && p[0].stopped && !p[0].drained; }, 1s));
}

} // namespace
