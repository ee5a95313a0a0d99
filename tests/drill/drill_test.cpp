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

#include <QFontDatabase>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

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

// Two instances of the program on one file, each writing from a thread of its own.
TEST(ProgressStore, TwoWritersAtOnceKeepEveryTrial) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("progress.sqlite").toStdString();
    ProgressStore first(path), second(path);
    ASSERT_TRUE(first.Saving() && second.Saving());
    std::atomic<int> failed{0};
    const auto write = [&](ProgressStore& store, const char* contrast) {
        for (int i = 0; i < 40; ++i)
            failed += !store.Add(Make(contrast, i % 2 == 0));
    };
    std::thread a(write, std::ref(first), "a"), b(write, std::ref(second), "b");
    a.join();
    b.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(ProgressStore(path).History().size(), 80u);
}

TEST(ProgressStore, ReadOnlyOrUnmakeableDirectoryRunsUnsaved) {
    ProgressStore store("/proc/no/such/progress.sqlite");
    EXPECT_EQ(store.GetState(), ProgressStore::State::NotSaving);
    EXPECT_FALSE(store.Notice().empty());
    EXPECT_FALSE(store.Add(Make("x", true)));
    EXPECT_EQ(store.History().size(), 1u); // kept for this run
}

// The store's file through a connection of its own, as another program would see it.
class Sql {
  public:
    explicit Sql(const std::string& path) { sqlite3_open(path.c_str(), &m_db); }
    ~Sql() { sqlite3_close(m_db); }
    int Exec(const std::string& sql) {
        return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    std::string Text(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string out = "<error>";
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return out;
    }

  private:
    sqlite3* m_db = nullptr;
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

size_t FilesIn(const std::string& dir) {
    auto it = std::filesystem::directory_iterator(dir);
    return size_t(std::distance(it, std::filesystem::directory_iterator()));
}

void ExpectSame(const std::vector<Trial>& got, const std::vector<Trial>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].timeMs, want[i].timeMs) << i;
        EXPECT_EQ(got[i].session, want[i].session) << i;
        EXPECT_EQ(got[i].drill, want[i].drill) << i;
        EXPECT_EQ(got[i].contrast, want[i].contrast) << i;
        EXPECT_EQ(got[i].word, want[i].word) << i;
        EXPECT_EQ(got[i].voice, want[i].voice) << i;
        EXPECT_EQ(got[i].answer, want[i].answer) << i;
        EXPECT_EQ(got[i].correct, want[i].correct) << i;
        EXPECT_EQ(got[i].responseMs, want[i].responseMs) << i;
    }
}

TEST(ProgressStore, WalFileAtTheSchemaVersionWhereEachTrialIsDurableAtOnce) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("progress.sqlite").toStdString();
    std::vector<Trial> written;
    ProgressStore store(path);
    ASSERT_EQ(store.GetState(), ProgressStore::State::Saving) << store.Notice();
    for (int i = 0; i < 3; ++i) {
        Trial t = Make("i-i:", i != 1, store.StartSession(DrillKind::Listen));
        t.responseMs = 700 + i;
        if (i == 2) { // a spoken trial the recogniser was not sure of
            t.drill = DrillKind::Speak;
            t.voice.clear();
            t.answer.clear();
            t.correct.reset();
        }
        ASSERT_TRUE(store.Add(t));
        written.push_back(t);
        ExpectSame(ProgressStore(path).History(), written); // seen before any clean close
    }
    {
        Sql db(path);
        EXPECT_EQ(db.Text("PRAGMA journal_mode"), "wal");
        EXPECT_EQ(db.Text("PRAGMA user_version"), std::to_string(ProgressStore::kSchemaVersion));
    }
    // A process that dies straight after a trial: no destructor, no close, no checkpoint.
    written.push_back(Make("e-ae", false, 9));
    EXPECT_EXIT(
        {
            ProgressStore dying(path);
            _exit(dying.Add(written.back()) ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
    ExpectSame(ProgressStore(path).History(), written);
}

TEST(ProgressStore, ALockedFileRunsInMemoryAndLosesNothingStored) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("progress.sqlite").toStdString();
    std::vector<Trial> stored = {Make("i-i:", true), Make("i-i:", false)};
    {
        ProgressStore store(path);
        for (const Trial& t : stored)
            ASSERT_TRUE(store.Add(t));
    }
    {
        // Another program holds the whole file.
        Sql other(path);
        ASSERT_EQ(other.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                             " INSERT INTO sessions(started, drill) VALUES(0, 'listen');"),
                  SQLITE_OK);
        ProgressStore store(path);
        EXPECT_EQ(store.GetState(), ProgressStore::State::NotSaving);
        EXPECT_FALSE(store.Notice().empty());
        EXPECT_TRUE(store.MovedTo().empty());
        EXPECT_FALSE(store.Add(Make("e-ae", true)));
        EXPECT_EQ(store.History().size(), 1u);
        other.Exec("ROLLBACK");
    }
    {
        // ... or takes the write lock while the drill runs.
        ProgressStore store(path);
        ASSERT_EQ(store.GetState(), ProgressStore::State::Saving) << store.Notice();
        Sql other(path);
        ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
        EXPECT_FALSE(store.Add(Make("e-ae", true)));
        EXPECT_FALSE(store.Notice().empty());
        EXPECT_EQ(store.History().size(), 3u); // the stored ones and the one kept in memory
        other.Exec("ROLLBACK");
    }
    ExpectSame(ProgressStore(path).History(), stored);
    EXPECT_EQ(FilesIn(dir.path().toStdString()), 1u); // nothing moved aside
}

TEST(ProgressStore, ANewerOrForeignFileIsLeftAsItIsAndAnEmptyOneGetsTheSchema) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("progress.sqlite").toStdString();
    const auto expectUntouched = [&](const std::string& sql) {
        std::filesystem::remove(path);
        ASSERT_EQ(Sql(path).Exec(sql), SQLITE_OK);
        const std::string before = Bytes(path);
        {
            ProgressStore store(path);
            EXPECT_EQ(store.GetState(), ProgressStore::State::NotSaving) << sql;
            EXPECT_FALSE(store.Notice().empty());
            EXPECT_FALSE(store.Add(Make("i-i:", true)));
        }
        EXPECT_TRUE(Bytes(path) == before) << sql; // not dumped: a page of zeros
        EXPECT_EQ(FilesIn(dir.path().toStdString()), 1u) << sql;
    };
    expectUntouched("CREATE TABLE trials(id INTEGER PRIMARY KEY, future BLOB);"
                    "INSERT INTO trials(future) VALUES(x'00');"
                    "PRAGMA user_version=" +
                    std::to_string(ProgressStore::kSchemaVersion + 1));
    // Unversioned, with a table of that name this program did not make.
    expectUntouched("CREATE TABLE trials(id INTEGER PRIMARY KEY, other TEXT);"
                    "INSERT INTO trials(other) VALUES('x');");

    std::filesystem::remove(path);
    { std::ofstream empty(path); }
    {
        ProgressStore store(path);
        ASSERT_EQ(store.GetState(), ProgressStore::State::Saving) << store.Notice();
        EXPECT_TRUE(store.Add(Make("i-i:", true)));
    }
    Sql db(path);
    EXPECT_EQ(db.Text("PRAGMA user_version"), std::to_string(ProgressStore::kSchemaVersion));
    EXPECT_EQ(db.Text("SELECT count(*) FROM trials"), "1");
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

// Pictures of the window for people and the metainfo, not checks: run with
// SONAVIX_SCREENSHOT_DIR=<dir>.
TEST(DrillWindow, Screenshots) {
    const QString out = qEnvironmentVariable("SONAVIX_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "SONAVIX_SCREENSHOT_DIR is not set";
    TestApp();
    QFontDatabase::addApplicationFont(
        QStringLiteral(SONAVIX_SOURCE_DIR "/assets/font/Svphonet.ttf"));
    mplay::SetSpeedRequestHook(&Hook);
    QTemporaryDir data;
    const QString progress = data.filePath(QStringLiteral("progress.sqlite"));
    {
        // A few weeks of rounds: some contrasts learnt, some still missed, most not yet met.
        ProgressStore store(progress.toStdString());
        const std::pair<const char*, double> learnt[] = {
            {"i-i:", 0.9}, {"e-A", 0.75}, {"W-s", 0.4}, {"l-n", 0.6}, {"v-w", 0.3}, {"t-d", 0.95}};
        for (int round = 0; round < 8; ++round) {
            const int64_t session = store.StartSession(DrillKind::Listen);
            for (const auto& [contrast, p] : learnt) {
                const int right = int(std::lround(std::min(1.0, p + round * 0.04) * 4));
                for (int i = 0; i < 4; ++i) // the misses first, as a learner warms up
                    store.Add(Make(contrast, i >= 4 - right, session));
            }
        }
    }
    DlgDrill window(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pairs"), progress);
    window.SeedForTests(11);
    window.resize(900, 560);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto save = [&](const char* name) {
        QTest::qWait(50);
        EXPECT_TRUE(window.grab().save(out + QLatin1Char('/') + QLatin1String(name)));
    };
    window.StartRound();
    ASSERT_NE(window.Round(), nullptr);
    save("drill-listening.png");
    window.Answer(!window.Round()->CurrentTrial()->playB);
    save("drill-answered.png");
    // The rest of the round, about four in five right, to its summary.
    for (int trial = 1; !window.Round()->Finished(); ++trial) {
        window.Next();
        if (window.Round()->Finished())
            break;
        const bool playB = window.Round()->CurrentTrial()->playB;
        window.Answer(trial % 5 == 0 ? !playB : playB);
    }
    save("drill-summary.png");
    window.findChild<QTabWidget*>()->setCurrentIndex(1);
    save("drill-speaking.png");
    window.ShowProgress();
    save("drill-progress.png");
    mplay::SetSpeedRequestHook(nullptr);
}

} // namespace
