// Where the program reads its data and writes its settings: beside the executable in the build
// tree, under ../share/sonavix and the user's configuration folder once installed, and never
// inside the install prefix or a read-only program directory.
#include "common/ProgramPaths.h"
#include "lesson/DlgSonavix.h"
#include "program_dir.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using sonavix::ProgramPaths;
using sonavix::UserDirs;

bool NeverWritable(const QString&) {
    return false;
}

void Put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray Slurp(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// Every file below dir with its size and time, to see that nothing changed there.
QStringList Listing(const QString& dir) {
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << info.filePath() + ' ' + QString::number(info.size()) + ' ' +
                       QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

class Layouts : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_base = m_root.path() + '/';
        m_user.home = m_base + "home";
        m_user.configHome = m_base + "config";
        m_user.dataHome = m_base + "data";
    }

    // prefix/bin/ for the executable and the data in prefix/share/sonavix/.
    QString MakePrefix() const {
        const QString prefix = m_base + "prefix/";
        QDir().mkpath(prefix + "bin");
        Put(prefix + "share/sonavix/web/index.html", "<html></html>");
        Put(prefix + "share/sonavix/pho/0.rtf", RtfWithText("rules"));
        return prefix;
    }

    QString UserSettings() const { return m_base + "config/sonavix/SetInfo.ini"; }

    QTemporaryDir m_root;
    QString m_base;
    UserDirs m_user;
};

TEST_F(Layouts, BuildTreeKeepsEverythingBesideTheProgram) {
    const QString dir = m_base + "program/";
    Put(dir + "web/index.html", "<html></html>");
    const ProgramPaths paths = ProgramPaths::Resolve(dir, m_user);
    EXPECT_FALSE(paths.IsInstalled());
    EXPECT_EQ(paths.DataDir(), dir);
    EXPECT_EQ(paths.Data("pho/3.mp3"), dir + "pho/3.mp3");
    EXPECT_EQ(paths.HomePage(), dir + "web/index.html");
    EXPECT_EQ(paths.SymbolFontFile(), dir + "Svphonet.ttf");
    EXPECT_EQ(paths.SettingsFile(), dir + "SetInfo.ini");
    EXPECT_EQ(paths.SettingsReadOrder(), QStringList{dir + "SetInfo.ini"});
    EXPECT_EQ(paths.LearnerDataDir(), m_base + "data/sonavix/");
}

TEST_F(Layouts, InstalledProgramReadsSharedDataAndWritesToTheUser) {
    const QString prefix = MakePrefix();
    // The prefix is writable here (as ~/.local would be): the settings still go to the user.
    const ProgramPaths paths = ProgramPaths::Resolve(prefix + "bin/", m_user);
    EXPECT_TRUE(paths.IsInstalled());
    EXPECT_EQ(paths.DataDir(), prefix + "share/sonavix/");
    EXPECT_EQ(paths.SymbolFontFile(), prefix + "share/sonavix/Svphonet.ttf");
    EXPECT_EQ(paths.SettingsFile(), UserSettings());
    EXPECT_EQ(paths.SettingsReadOrder().constFirst(), UserSettings());
}

TEST_F(Layouts, ReadOnlyProgramDirectoryWritesToTheUserAndReadsThatFirst) {
    const QString dir = m_base + "program/";
    Put(dir + "pho/0.rtf", RtfWithText("rules"));
    const ProgramPaths paths = ProgramPaths::Resolve(dir, m_user, NeverWritable);
    EXPECT_FALSE(paths.IsInstalled());
    EXPECT_EQ(paths.DataDir(), dir);
    EXPECT_EQ(paths.SettingsFile(), UserSettings());
    EXPECT_EQ(paths.SettingsReadOrder(), (QStringList{UserSettings(), dir + "SetInfo.ini"}));

    // And with the directory really read-only (root may write anywhere, so only as a user).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(QFile::encodeName(dir).constData(), 0555), 0);
        EXPECT_EQ(ProgramPaths::Resolve(dir, m_user).SettingsFile(), UserSettings());
        chmod(QFile::encodeName(dir).constData(), 0755);
    }
}

TEST_F(Layouts, UserDirectoriesFollowTheEnvironment) {
    const QByteArray home = qgetenv("HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", "/home/learner");
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    qunsetenv("XDG_DATA_HOME");
    UserDirs dirs = UserDirs::FromEnvironment();
    EXPECT_EQ(dirs.configHome, "/home/learner/.config");
    EXPECT_EQ(dirs.dataHome, "/home/learner/.local/share");
    qputenv("XDG_CONFIG_HOME", "/cfg/");
    qputenv("XDG_DATA_HOME", "/d");
    dirs = UserDirs::FromEnvironment();
    EXPECT_EQ(dirs.configHome, "/cfg");
    EXPECT_EQ(dirs.dataHome, "/d");
    const ProgramPaths paths = ProgramPaths::Resolve("/nowhere/", dirs, NeverWritable);
    EXPECT_EQ(paths.SettingsFile(), "/cfg/sonavix/SetInfo.ini");
    EXPECT_EQ(paths.LearnerDataDir(), "/d/sonavix/");
    qputenv("HOME", home);
    config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);
    data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", data);
}

// The window in an installed layout: the saved theme comes from the user's file, a pick lands
// there, and nothing under the prefix changes.
TEST_F(Layouts, InstalledWindowNeverWritesUnderThePrefix) {
    TestApp();
    const QString prefix = MakePrefix();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_base + "config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_base + "data"));
    Put(UserSettings(), "[Skin]\ndefault=3\n");
    Put(prefix + "bin/SetInfo.ini", "[Skin]\ndefault=5\n"); // a stray file the user's overrides
    const QStringList before = Listing(prefix);
    {
        CDlgSonavix window(prefix + "bin/");
        window.show();
        QCoreApplication::processEvents();
        auto* combo = window.findChild<QComboBox*>(QStringLiteral("m_comboTheme"));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->currentIndex(), 2);
        combo->setCurrentIndex(5);
        emit combo->activated(5);
    }
    EXPECT_EQ(Slurp(UserSettings()), "[Skin]\ndefault=6\n");
    EXPECT_EQ(Listing(prefix), before);
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
}

// A read-only copy of the program with its own settings: they are read until the user picks a
// theme, which is then kept in the user's file.
TEST_F(Layouts, FirstPickBesideAReadOnlyProgramGoesToTheUser) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    TestApp();
    const QString dir = m_base + "program/";
    Put(dir + "web/index.html", "<html></html>");
    Put(dir + "SetInfo.ini", "[Skin]\ndefault=5\n");
    ASSERT_EQ(chmod(QFile::encodeName(dir).constData(), 0555), 0);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_base + "config"));
    {
        CDlgSonavix window(dir);
        window.show();
        QCoreApplication::processEvents();
        auto* combo = window.findChild<QComboBox*>(QStringLiteral("m_comboTheme"));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->currentIndex(), 4);
        combo->setCurrentIndex(1);
        emit combo->activated(1);
    }
    chmod(QFile::encodeName(dir).constData(), 0755);
    EXPECT_EQ(Slurp(UserSettings()), "[Skin]\ndefault=2\n");
    EXPECT_EQ(Slurp(dir + "SetInfo.ini"), "[Skin]\ndefault=5\n");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
