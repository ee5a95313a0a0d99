// The application's start-up sequence on a program directory of its own: the font message
// appears once when the font file is missing, the window opens either way, and the font is
// withdrawn after the window has closed.
#include "DlgSonavix.h"
#include "Sonavix.h"
#include "program_dir.h"

#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
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

} // namespace
