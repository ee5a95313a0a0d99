// The practice window on the offscreen platform, on the real lesson media: how it is opened and
// follows the lesson, what it offers per symbol, and what becomes of recordings good and bad.
#include "drill/DlgDrill.h"
#include "lesson/DlgSonavix.h"
#include "practice/DlgPractice.h"
#include "practice/VowelChart.h"
#include "program_dir.h"
#include "scripted_capture.h"
#include "synth_voice.h"
#include "synthetic_speech.h"

#include "mplay/PlayThread.h"
#include "mplay/Recorder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

using namespace sonavix;
using practice::DlgPractice;
namespace fs = std::filesystem;

namespace {

struct SamplesRequest {
    size_t count;
    uint32_t rate;
    double speed;
};
std::mutex g_mutex;
std::vector<SamplesRequest> g_requests;

void Hook(const std::vector<int16_t>& mono, uint32_t rate, double speed) {
    std::lock_guard lock(g_mutex);
    g_requests.push_back({mono.size(), rate, speed});
}

std::vector<SamplesRequest> TakeRequests() {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_requests, {});
}

// The built program directory's media, a learner of our own.
struct Learner {
    Learner() {
        QTemporaryDir* d = &dir;
        user.home = d->path();
        user.configHome = d->filePath(QStringLiteral("config"));
        user.dataHome = d->filePath(QStringLiteral("data"));
    }
    ProgramPaths Paths() const {
        return ProgramPaths::Resolve(QStringLiteral(SONAVIX_PROGRAM_DIR "/"), user,
                                     [](const QString&) { return false; });
    }
    fs::path Attempts(const char* item) const {
        return fs::path(user.dataHome.toStdString()) / "sonavix" / "attempts" / item;
    }
    QTemporaryDir dir;
    UserDirs user;
};

// A man's /iː/ (F1 300, F2 2300) between stretches of quiet, as the recorder hands it over.
mplay::Recording SpokenVowel(double f1 = 300, double f2 = 2300, double amplitude = 0.3) {
    test::VowelSpec spec;
    spec.formants = {f1, f2, 2900, 3500, 4500};
    spec.amplitude = amplitude;
    spec.duration = 0.35;
    const speech::Sound quiet = test::Noise(0.1, 0.0005, 16000, 3);
    const speech::Sound voice = test::Concat(test::Concat(quiet, test::SynthVowel(spec)), quiet);
    mplay::Recording r;
    r.reason = mplay::StopReason::Endpointer;
    r.heardSpeech = true;
    for (float x : voice.samples) {
        const auto s = static_cast<int16_t>(std::clamp(x * 32768.0f, -32768.0f, 32767.0f));
        r.samples.push_back(s);
        r.peak = std::max<int16_t>(r.peak, static_cast<int16_t>(std::abs(s)));
        r.clippedSamples += std::abs(s) >= 32767;
    }
    return r;
}

class PracticeWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        mplay::SetSamplesRequestHook(Hook);
        PlayRequests::Install();
        TakeRequests();
    }
    void TearDown() override { mplay::SetSamplesRequestHook(nullptr); }
};

} // namespace

TEST_F(PracticeWindow, OpensFromButtonAndKeyAndFollowsTheLessonWindow) {
    ProgramDir dir;
    CDlgSonavix lesson(dir.Path());
    lesson.show();
    auto* button = lesson.findChild<QPushButton*>(QStringLiteral("m_btnPractice"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("跟读练习 (R)"));
    button->click();
    ASSERT_NE(lesson.Practice(), nullptr);
    EXPECT_TRUE(lesson.Practice()->isVisible());
    EXPECT_FALSE(lesson.Practice()->isModal());
    lesson.Practice()->close();
    QTest::keyClick(&lesson, Qt::Key_R);
    EXPECT_TRUE(lesson.Practice()->isVisible());
    lesson.OnNext();
    EXPECT_EQ(lesson.Practice()->Symbol(), lesson.CurrentSymbol());
    lesson.OnLast();
    EXPECT_EQ(lesson.Practice()->Symbol(), 44);
}

TEST_F(PracticeWindow, OffersTheSymbolAndItsWordsAndTheChartOnlyForVowels) {
    Learner learner;
    DlgPractice window(learner.Paths(), 3, 0.75);
    window.show();
    std::vector<QString> titles;
    for (const auto& item : window.Items())
        titles.push_back(item.title);
    ASSERT_GE(titles.size(), 2u);
    EXPECT_EQ(titles[0], QStringLiteral("/ʌ/ 本音"));
    EXPECT_EQ(titles[1], QStringLiteral("cup"));
    EXPECT_TRUE(window.ChartShown());
    EXPECT_TRUE(window.Message().isEmpty()) << window.Message().toStdString();

    window.PlayModel();
    auto requests = TakeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_DOUBLE_EQ(requests[0].speed, 0.75);
    const double wholeSeconds = double(requests[0].count) / requests[0].rate;
    window.ChooseItem(1);
    window.PlayModel();
    requests = TakeRequests();
    ASSERT_EQ(requests.size(), 1u);
    // "cup" is the first 0.31 s of its example recording, with a little room.
    EXPECT_NEAR(double(requests[0].count) / requests[0].rate, 0.37, 0.02);
    EXPECT_GT(wholeSeconds, 0.2);

    window.SetSymbol(27); // ʃ
    EXPECT_FALSE(window.ChartShown());
    EXPECT_EQ(window.Items()[0].title, QStringLiteral("/ʃ/ 本音"));
    const auto* readouts = window.findChild<QLabel*>(QStringLiteral("readouts"));
    ASSERT_NE(readouts, nullptr);
    EXPECT_TRUE(readouts->text().contains(QStringLiteral("频谱重心")));
    EXPECT_TRUE(readouts->text().contains(QStringLiteral("/s/")));
}

TEST_F(PracticeWindow, TheSpeakingDrillOpensItOnItsWordWithItsRecordingAsTheModel) {
    QTemporaryDir data;
    drill::DlgDrill drill(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pairs"),
                          data.filePath(QStringLiteral("progress.sqlite")));
    QSignalSpy asked(&drill, &drill::DlgDrill::practiseRequested);
    drill.show();
    drill.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&drill));
    drill.findChild<QTabWidget*>()->setCurrentIndex(1); // the speaking page and its keys
    QTest::keyClick(&drill, Qt::Key_G);
    ASSERT_EQ(asked.size(), 1);
    const QString word = asked[0][0].toString(), recording = asked[0][1].toString();
    EXPECT_TRUE(QFile::exists(recording)) << recording.toStdString();

    Learner learner;
    DlgPractice window(learner.Paths(), 40, 1.0);
    window.PractiseWord(word, recording, asked[0][2].toString());
    ASSERT_FALSE(window.Items().empty());
    EXPECT_TRUE(window.Items()[0].title.startsWith(word));
    EXPECT_TRUE(window.Message().isEmpty()) << window.Message().toStdString();
    window.PlayModel();
    const auto requests = TakeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_GT(requests[0].count, requests[0].rate / 10);
    // A word of the contrast's own sound is practised under that symbol.
    window.PractiseWord(QStringLiteral("ship"), recording, QStringLiteral("i"));
    EXPECT_EQ(window.Symbol(), 0);
    EXPECT_TRUE(window.ChartShown());
}

TEST_F(PracticeWindow, ARecordingIsKeptShownOnTheChartAndComparedWithTheModel) {
    Learner learner;
    DlgPractice window(learner.Paths(), 7, 1.0); // iː
    window.show();
    window.TakeRecording(SpokenVowel());
    EXPECT_EQ(window.AttemptCount(), 1);
    EXPECT_TRUE(window.Message().contains(QStringLiteral("录好了")))
        << window.Message().toStdString();
    ASSERT_EQ(
        std::distance(fs::directory_iterator(learner.Attempts("7")), fs::directory_iterator()), 1);
    const auto* chart = window.findChild<practice::VowelChart*>(QStringLiteral("chart"));
    ASSERT_NE(chart, nullptr);
    ASSERT_EQ(chart->Attempts().size(), 1u);
    ASSERT_TRUE(chart->Attempts()[0].onset);
    EXPECT_NEAR(chart->Attempts()[0].onset->x(), 300, 300 * 0.05);
    EXPECT_NEAR(chart->Attempts()[0].onset->y(), 2300, 2300 * 0.03);

    window.PlayMine();
    window.Compare();
    const auto requests = TakeRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rate, mplay::Recorder::kSampleRate);
    EXPECT_EQ(requests[0].speed, 1.0);
    const double mine = double(requests[0].count) / requests[0].rate;
    EXPECT_GT(double(requests[1].count) / requests[1].rate, mine + 0.4);

    // A second window finds the attempt again.
    DlgPractice again(learner.Paths(), 7, 1.0);
    EXPECT_EQ(again.AttemptCount(), 1);
}

TEST_F(PracticeWindow, TheRecordButtonRecordsAndAPlaybackRequestStopsARecording) {
    Learner learner;
    test::ScriptedCapture input;
    input.signal =
        test::SignalBuilder(mplay::Recorder::kSampleRate).Pause(0.3).Speech(0.6).Pause(1.0).Build();
    DlgPractice window(learner.Paths(), 3, 1.0);
    window.show();
    auto* record = window.findChild<QPushButton*>(QStringLiteral("record"));
    ASSERT_NE(record, nullptr);
    record->click();
    EXPECT_EQ(record->text(), QStringLiteral("停止 (R)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.AttemptCount() == 1; }, 5000))
        << window.Message().toStdString();
    EXPECT_EQ(record->text(), QStringLiteral("录音 (R)"));

    // In real time the recording is still going when a playback is asked for (nothing to sound,
    // so no device opens): it ends, quietly, and keeps nothing.
    input.speed = 1;
    QTest::keyClick(&window, Qt::Key_R);
    ASSERT_TRUE(QTest::qWaitFor([&] { return input.open.load(); }, 2000));
    mplay::SetSamplesRequestHook(nullptr);
    mplay::StartSamplesWorker({}, mplay::Recorder::kSampleRate);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return record->text() == QStringLiteral("录音 (R)"); }, 3000));
    EXPECT_EQ(window.AttemptCount(), 1);
    EXPECT_TRUE(window.Message().isEmpty()) << window.Message().toStdString();

    // Nor is a recording kept under the next symbol when the lesson moves on mid-way.
    record->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return input.delivered.load() > 15000; }, 3000));
    window.SetSymbol(4);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return record->text() == QStringLiteral("录音 (R)"); }, 3000));
    EXPECT_EQ(window.AttemptCount(), 0);
    EXPECT_FALSE(fs::exists(learner.Attempts("4")));
}

TEST_F(PracticeWindow, BadRecordingsSayWhyInTheWindow) {
    Learner learner;
    DlgPractice window(learner.Paths(), 0, 1.0);
    mplay::Recording none;
    none.error = mplay::RecordError::NoDevice;
    window.TakeRecording(none);
    EXPECT_TRUE(window.Message().contains(QStringLiteral("找不到麦克风")));
    mplay::Recording silence = SpokenVowel();
    silence.heardSpeech = false;
    window.TakeRecording(silence);
    EXPECT_TRUE(window.Message().contains(QStringLiteral("没有听到声音")));
    window.TakeRecording(SpokenVowel(400, 2000, 3.0)); // far past full scale
    EXPECT_TRUE(window.Message().contains(QStringLiteral("声音太大")));
    window.TakeRecording(SpokenVowel(400, 2000, 0.01));
    EXPECT_TRUE(window.Message().contains(QStringLiteral("声音太小")));
    mplay::Recording lost = SpokenVowel();
    lost.error = mplay::RecordError::DeviceLost;
    lost.reason = mplay::StopReason::DeviceLost;
    window.TakeRecording(lost);
    EXPECT_TRUE(window.Message().contains(QStringLiteral("已保留")));
    EXPECT_EQ(window.AttemptCount(), 3);
}

TEST_F(PracticeWindow, BrokenAttemptFilesAndAnUnwritableDataDirectoryAreSurvived) {
    Learner learner;
    fs::create_directories(learner.Attempts("7"));
    const auto at = [&](const char* name) { return learner.Attempts("7") / name; };
    std::ofstream(at("0000000000001.wav")); // empty
    std::ofstream(at("0000000000002.wav")) << "RIFF\x24\x00\x00\x00WAVEfmt ";
    std::ofstream(at("0000000000003.wav")) << "not a recording at all";
    std::ofstream(at("0000000000004.wav")).close();
    fs::resize_file(at("0000000000004.wav"), 200u << 20); // sparse, beyond any attempt
    DlgPractice window(learner.Paths(), 7, 1.0);
    EXPECT_EQ(window.AttemptCount(), 0);

    Learner locked;
    locked.user.dataHome = QStringLiteral("/proc/sonavix-no-such-dir");
    DlgPractice unsaved(locked.Paths(), 7, 1.0);
    unsaved.TakeRecording(SpokenVowel());
    EXPECT_TRUE(unsaved.Message().contains(QStringLiteral("无法保存")));
    EXPECT_EQ(unsaved.AttemptCount(), 1);
}

TEST_F(PracticeWindow, VoiceGroupAndSizeAreRemembered) {
    Learner learner;
    {
        DlgPractice window(learner.Paths(), 0, 1.0);
        window.show();
        auto* voice = window.findChild<QComboBox*>(QStringLiteral("voice"));
        ASSERT_NE(voice, nullptr);
        EXPECT_EQ(voice->currentIndex(), 0);
        voice->setCurrentIndex(1);
        emit voice->activated(1);
        window.resize(1111, 700);
        QTest::qWait(700);
    }
    DlgPractice window(learner.Paths(), 0, 1.0);
    EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("voice"))->currentIndex(), 1);
    EXPECT_EQ(window.size(), QSize(1111, 700));
}

// Not a check: with SONAVIX_SCREENSHOT_DIR set, pictures of the window for a vowel, a
// diphthong and a fricative, each after one attempt, for people to look at.
TEST_F(PracticeWindow, Screenshots) {
    const QString out = qEnvironmentVariable("SONAVIX_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "SONAVIX_SCREENSHOT_DIR not set";
    struct Shot {
        int symbol;
        double f1, f2;
        const char* name;
    };
    for (const Shot& shot :
         {Shot{7, 330, 2250, "practice-vowel.png"}, Shot{13, 700, 1300, "practice-diphthong.png"},
          Shot{25, 500, 1500, "practice-fricative.png"}}) {
        Learner learner;
        DlgPractice window(learner.Paths(), shot.symbol, 1.0);
        window.resize(980, 620);
        window.show();
        window.TakeRecording(SpokenVowel(shot.f1, shot.f2));
        QTest::qWait(50);
        ASSERT_TRUE(window.grab().save(out + QLatin1Char('/') + QLatin1String(shot.name)));
    }
}
