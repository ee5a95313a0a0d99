// The application's start-up sequence on a program directory of its own: the font message
// appears once when the font file is missing, the window opens either way, and the font is
// withdrawn after the window has closed.
#include "Sonavix.h"
#include "lesson/DlgSonavix.h"
#include "program_dir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Observed {
    QStringList messages;
    int windows = 0;
    bool familyWhileOpen = false;
};

// Dismisses each message box and closes the lesson window as they come up.
Observed RunApp(const QString& appDir) {
    Observed seen;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.messages.append(box->text());
            box->accept();
        } else if (auto* window = qobject_cast<CDlgSonavix*>(modal)) {
            ++seen.windows;
            seen.familyWhileOpen =
                QFontDatabase::families().contains(QStringLiteral("Sonavix Phonetic Plain"));
            window->reject();
        }
    });
    timer.start();
    CSonavixApp app(appDir);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.m_strAppDir, appDir);
    return seen;
}

TEST(Startup, MissingFontShowsTheMessageOnceAndTheWindowStillOpens) {
    TestApp();
    PlayRequests::Install();
    ProgramDir dir;
    const Observed seen = RunApp(dir.Path());
    ASSERT_EQ(seen.messages.size(), 1);
    EXPECT_EQ(seen.messages[0], QString::fromUtf8(kFontFailureText));
    EXPECT_TRUE(seen.messages[0].contains(QStringLiteral("~/.local/share/fonts/")));
    EXPECT_TRUE(seen.messages[0].contains(QLatin1Char('\n')));
    EXPECT_EQ(seen.windows, 1);
    EXPECT_EQ(PlayRequests::Take(),
              std::vector<std::string>{(dir.Path() + "pho/0.mp3").toStdString()});
}

TEST(Startup, FontBesideTheProgramIsAddedForTheWindowAndWithdrawnAfter) {
    TestApp();
    ProgramDir dir;
    QFile font(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/font/Svphonet.ttf"));
    if (!font.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no symbol font in the checkout";
    dir.Write(QStringLiteral("Svphonet.ttf"), font.readAll());
    const Observed seen = RunApp(dir.Path());
    EXPECT_TRUE(seen.messages.isEmpty());
    EXPECT_EQ(seen.windows, 1);
    EXPECT_TRUE(seen.familyWhileOpen);
    EXPECT_FALSE(QFontDatabase::families().contains(QStringLiteral("Sonavix Phonetic Plain")));
}

// The child half of the next test: the real start-up with a recording looping, the window closed
// while it plays, and the process ended as the program ends it.
TEST(Startup, ChildClosesWhileARecordingLoops) {
    if (qEnvironmentVariableIsEmpty("SONAVIX_SHUTDOWN_CHILD"))
        GTEST_SKIP() << "run by ClosingWhilePlayingEndsTheProcessAtOnce";
    TestApp();
    ProgramDir dir;
    QFile recording(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pho/0.mp3"));
    ASSERT_TRUE(recording.open(QIODevice::ReadOnly));
    dir.Write(QStringLiteral("pho/0.mp3"), recording.readAll());
    QTimer timer;
    timer.setInterval(50);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->accept(); // no font here; maybe no sound device either
        else if (auto* window = qobject_cast<CDlgSonavix*>(modal)) {
            if (++ticks == 2)
                window->findChild<QPushButton*>(QStringLiteral("m_btnLoopPlay"))->click();
            else if (ticks == 10)
                window->reject();
        }
    });
    timer.start();
    CSonavixApp app(dir.Path());
    app.InitInstance();
    EndProcess();
}

TEST(Startup, ClosingWhilePlayingEndsTheProcessAtOnce) {
    TestApp();
    if (!QFile::exists(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/pho/0.mp3")))
        GTEST_SKIP() << "no lesson recording in the checkout";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // The recording goes to the null device, so the test needs no sound server.
    QFile asoundrc(home.path() + QStringLiteral("/.asoundrc"));
    ASSERT_TRUE(asoundrc.open(QIODevice::WriteOnly));
    asoundrc.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
    asoundrc.close();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONAVIX_SHUTDOWN_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=Startup.ChildClosesWhileARecordingLoops")});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    // The loop would go on for ever: the process did not wait for it.
    EXPECT_LT(clock.elapsed(), 15000);
}

} // namespace
