// The drills' store, schedule, a round of 20 driven by keys on the offscreen platform, and the
// learner hearing their own recording.
#include "drill/DlgDrill.h"
#include "drill/ProgressStore.h"
#include "drill/Schedule.h"
#include "program_dir.h"
#include "scripted_capture.h"
#include "synthetic_speech.h"

#include "mplay/PlayThread.h"
#include "mplay/Recorder.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace sonavix::drill;

namespace {

Trial Make(const std::string& contrast, bool right, int64_t session = 1) {
    Trial t;
    t.timeMs = NowMs();
    t.session = session;
    t.contrast = contrast;
    t.word = "ship";
    t.voice = "v";
    t.answer = right ? "ship" : "sheep";
    t.correct = right;
    return t;
}

TEST(ProgressStore, TrialsSurviveReopenAndACorruptFileIsMovedAside) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("deep/er/progress.sqlite").toStdString();
    {
        ProgressStore store(path);
        ASSERT_EQ(store.GetState(), ProgressStore::State::Saving) << store.Notice();
        EXPECT_TRUE(store.Add(Make("i-i:", true)));
        EXPECT_TRUE(store.Add(Make("i-i:", false)));
    }
    {
        ProgressStore store(path);
        ASSERT_EQ(store.History().size(), 2u);
        EXPECT_FALSE(*store.History()[1].correct);
    }
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a database at all, really"; }
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
    ProgressStore store(path);
    EXPECT_EQ(store.GetState(), ProgressStore::State::MovedAside);
    EXPECT_FALSE(store.Notice().empty());
    ASSERT_TRUE(std::filesystem::exists(store.MovedTo()));
    EXPECT_TRUE(store.Add(Make("e-ae", true)));
    EXPECT_EQ(store.History().size(), 1u);
}

TEST(ProgressStore, ReadOnlyOrUnmakeableDirectoryRunsUnsaved) {
    ProgressStore store("/proc/no/such/progress.sqlite");
    EXPECT_EQ(store.GetState(), ProgressStore::State::NotSaving);
    EXPECT_FALSE(store.Notice().empty());
    EXPECT_FALSE(store.Add(Make("x", true)));
    EXPECT_EQ(store.History().size(), 1u); // kept for this run
}

TEST(Schedule, MissesComeBackMostAndUnseenIsIntroduced) {
    std::vector<Trial> history;
    for (int i = 0; i < 6; ++i)
        history.push_back(Make("good", true));
    history.push_back(Make("bad", true));
    history.push_back(Make("bad", false));
    const auto stats = StatsFrom(history);
    EXPECT_EQ(stats.at("good").box, kTopBox);
    EXPECT_EQ(stats.at("bad").box, 1);
    std::mt19937 rng(1);
    const auto round = AutoRound({"good", "bad", "new"}, stats, 400, rng);
    const auto n = [&](const char* id) { return std::count(round.begin(), round.end(), id); };
    EXPECT_GT(n("bad"), 4 * n("good"));
    EXPECT_GT(n("new"), 0);
    EXPECT_EQ(Weakest(stats, 1).front(), "bad");
}

std::vector<std::string> g_played;
void Hook(const std::string& path, double) {
    g_played.push_back(path);
}

TEST(DrillWindow, ARoundOfTwentyByKeysNeverRepeatsAVoice) {
    TestApp();
    mplay::SetSpeedRequestHook(&Hook);
    QTemporaryDir data;
    DlgDrill window(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pairs"),
                    data.filePath(QStringLiteral("progress.sqlite")));
    window.SeedForTests(7);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Return);
    ASSERT_NE(window.Round(), nullptr);
    for (int i = 0; i < kRoundLength; ++i) {
        ASSERT_FALSE(window.Round()->Finished());
        QTest::keyClick(&window, Qt::Key_1);
        if (!window.Round()->Finished() && window.Round()->CurrentTrial()->answered)
            QTest::keyClick(&window, Qt::Key_Return);
    }
    EXPECT_TRUE(window.Round()->Finished());
    const auto& trials = window.Round()->Trials();
    for (size_t i = 1; i < trials.size(); ++i)
        EXPECT_NE(trials[i].voice, trials[i - 1].voice);
    EXPECT_GE(g_played.size(), size_t(kRoundLength));
    EXPECT_EQ(window.Store().History().size(), size_t(kRoundLength));
    window.grab().save(QStringLiteral("/tmp/drill-summary.png"));
    mplay::SetSpeedRequestHook(nullptr);
}

std::vector<std::vector<int16_t>> g_own;
uint32_t g_ownRate = 0;
void OwnHook(const std::vector<int16_t>& mono, uint32_t rate, double) {
    g_own.push_back(mono);
    g_ownRate = rate;
}

TEST(DrillWindow, HearMinePlaysTheRecordingJustMadeFromMemory) {
    TestApp();
    sonavix::test::ScriptedCapture input;
    const std::vector<int16_t> said = sonavix::test::SignalBuilder(mplay::Recorder::kSampleRate)
                                          .Pause(0.3)
                                          .Speech(0.6)
                                          .Pause(1.0)
                                          .Build();
    input.signal = said;
    mplay::SetSamplesRequestHook(&OwnHook);
    mplay::SetSpeedRequestHook(&Hook);
    g_played.clear();
    QTemporaryDir data;
    DlgDrill window(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pairs"),
                    data.filePath(QStringLiteral("progress.sqlite")));
    window.NextSpeakWord();
    window.PlayOwn(); // nothing recorded yet
    EXPECT_TRUE(g_own.empty());
    window.ToggleRecording();
    auto* own = window.findChild<QPushButton*>(QStringLiteral("btnOwn"));
    ASSERT_NE(own, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return own->isEnabled(); }, 5000));
    window.PlayOwn();
    mplay::SetSamplesRequestHook(nullptr);
    mplay::SetSpeedRequestHook(nullptr);

    ASSERT_EQ(g_own.size(), 1u);
    EXPECT_EQ(g_ownRate, mplay::Recorder::kSampleRate);
    // The speech with a little of the pauses around it, exactly as the device delivered it.
    const std::vector<int16_t>& heard = g_own[0];
    EXPECT_GT(heard.size(), said.size() / 4);
    EXPECT_NE(std::search(said.begin(), said.end(), heard.begin(), heard.end()), said.end());
    EXPECT_TRUE(g_played.empty()) << "a file was asked for: " << g_played.front();
}

} // namespace
