// The lesson window's theme chooser and its settings file, end to end: what a first start
// writes, what a pick writes and applies, and the stored files that must not stop the window.
#include "lesson/DlgSonavix.h"
#include "offscreen_app.h"

#include "themes/SkinLoader.h"
#include <QApplication>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using sonavix::LoadSkin;
using sonavix::ReadSkin;
using sonavix::Skin;
using sonavix::SkinForTheme;
using sonavix::SkinRef;

const QString kAssetStyles = QStringLiteral(SONAVIX_SOURCE_DIR "/assets/Styles");

class ThemeWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        OffscreenApp<QApplication>();
        LoadSkin(QString(), QString());
    }

    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_appDir = m_root.path() + QLatin1Char('/');
        QDirIterator it(kAssetStyles, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString to = m_appDir + "Styles/" + QDir(kAssetStyles).relativeFilePath(from);
            QDir().mkpath(QFileInfo(to).path());
            ASSERT_TRUE(QFile::copy(from, to));
        }
    }

    void TearDown() override { m_window.reset(); }

    // What the program sees of the file: the window builds appDir + "/SetInfo.ini".
    QString Settings() const { return m_appDir + "/SetInfo.ini"; }

    void Store(const QByteArray& bytes) const {
        QFile f(Settings());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QByteArray Stored() const {
        QFile f(Settings());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }

    QComboBox* Open() {
        m_window = std::make_unique<CDlgSonavix>(m_appDir);
        m_window->show();
        QCoreApplication::processEvents();
        auto* combo = m_window->findChild<QComboBox*>(QStringLiteral("m_comboTheme"));
        EXPECT_NE(combo, nullptr);
        return combo;
    }

    static void Pick(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // The application wears theme `n`'s skin (or the plain look for 0).
    void ExpectTheme(int n) const {
        if (n == 0) {
            EXPECT_TRUE(qApp->styleSheet().isEmpty());
            return;
        }
        const SkinRef ref = SkinForTheme(n, m_appDir + "Styles/");
        const std::optional<Skin> skin = ReadSkin(ref.path, ref.iniName);
        ASSERT_TRUE(skin);
        EXPECT_EQ(qApp->styleSheet(), skin->styleSheet) << "theme " << n;
        EXPECT_EQ(QApplication::palette().color(QPalette::Window),
                  skin->palette.color(QPalette::Window));
    }

    QTemporaryDir m_root;
    QString m_appDir;
    std::unique_ptr<CDlgSonavix> m_window;
};

TEST_F(ThemeWindow, FirstStartShowsThemeOneAndWritesNothing) {
    QComboBox* combo = Open();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), QStringLiteral("界面主题 1"));
    ExpectTheme(1);
    m_window.reset();
    EXPECT_FALSE(QFile::exists(Settings()));
}

TEST_F(ThemeWindow, PickWritesTheNumberAndAppliesItsSkin) {
    QComboBox* combo = Open();
    Pick(combo, 3);
    EXPECT_EQ(Stored(), "[Skin]\ndefault=4\n");
    ExpectTheme(4);
    Pick(combo, 5);
    EXPECT_EQ(Stored(), "[Skin]\ndefault=6\n");
    ExpectTheme(6);

    // The next start comes back in the last theme picked.
    m_window.reset();
    LoadSkin(QString(), QString());
    combo = Open();
    EXPECT_EQ(combo->currentIndex(), 5);
    ExpectTheme(6);
}

// The change must reach the pixels of the open window, not only the application's settings.
TEST_F(ThemeWindow, PickRepaintsTheOpenWindow) {
    QComboBox* combo = Open();
    auto* button = m_window->findChild<QPushButton*>(QStringLiteral("m_btnFirst"));
    ASSERT_NE(button, nullptr);
    const QPoint inButton = button->geometry().topLeft() + QPoint(4, 4);
    const QImage before = m_window->grab().toImage();

    Pick(combo, 3); // a skin with flat faces, so single pixels tell
    const SkinRef ref = SkinForTheme(4, m_appDir + "Styles/");
    const std::optional<Skin> skin = ReadSkin(ref.path, ref.iniName);
    ASSERT_TRUE(skin);
    const QImage after = m_window->grab().toImage();
    EXPECT_EQ(after.pixelColor(2, 2), skin->palette.color(QPalette::Window));
    EXPECT_EQ(after.pixelColor(inButton), skin->palette.color(QPalette::Button));
    EXPECT_NE(before.pixelColor(2, 2), after.pixelColor(2, 2));
    EXPECT_EQ(button->palette().color(QPalette::ButtonText),
              skin->palette.color(QPalette::ButtonText));
}

TEST_F(ThemeWindow, OutOfRangeValuesSelectNothingUntilAPickRepairsThem) {
    for (const QByteArray value : {"0", "7", "-2", "banana", "99999999999"}) {
        SCOPED_TRACE(value.toStdString());
        Store("[Skin]\ndefault=" + value + "\n");
        QComboBox* combo = Open();
        EXPECT_EQ(combo->currentIndex(), -1);
        ExpectTheme(0);
        Pick(combo, 1);
        EXPECT_EQ(Stored(), "[Skin]\ndefault=2\n");
        ExpectTheme(2);
        m_window.reset();
    }
}

TEST_F(ThemeWindow, WindowsWrittenFileKeepsEverythingButOurValue) {
    const QByteArray before = "; written elsewhere\r\n[Lesson]\r\nLast=12\r\n\r\n"
                              "[SKIN]\r\nDEFAULT = 5\r\nExtra=yes\r\n[Tail]\r\nk=v";
    Store(before);
    QComboBox* combo = Open();
    EXPECT_EQ(combo->currentIndex(), 4);
    ExpectTheme(5);
    Pick(combo, 2);
    QByteArray expected = before;
    expected.replace("DEFAULT = 5", "DEFAULT = 3");
    EXPECT_EQ(Stored(), expected);
    ExpectTheme(3);
}

TEST_F(ThemeWindow, ThemeIsRememberedEvenWhenItsSkinIsGone) {
    ASSERT_TRUE(QFile::remove(m_appDir + "Styles/WinXP.Royale.cjstyles"));
    QComboBox* combo = Open();
    Pick(combo, 3);
    EXPECT_EQ(Stored(), "[Skin]\ndefault=4\n");
    ExpectTheme(0);
    Pick(combo, 4);
    ExpectTheme(5);
}

TEST_F(ThemeWindow, SettingsThatCannotBeUsedAreSilent) {
    // A directory where the file should be.
    ASSERT_TRUE(QDir().mkdir(m_appDir + "SetInfo.ini"));
    QComboBox* combo = Open();
    EXPECT_EQ(combo->currentIndex(), 0);
    Pick(combo, 2);
    ExpectTheme(3);
    EXPECT_TRUE(QFileInfo(Settings()).isDir());
    m_window.reset();
    ASSERT_TRUE(QDir().rmdir(m_appDir + "SetInfo.ini"));

    // Binary junk.
    QByteArray junk(3000, '\0');
    for (qsizetype i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 131 + 7) & 0xff);
    Store(junk);
    combo = Open();
    Pick(combo, 1);
    EXPECT_TRUE(Stored().startsWith(junk));
    ExpectTheme(2);
}

TEST_F(ThemeWindow, ReadOnlyProgramDirectory) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const QByteArray dir = QFile::encodeName(m_root.path());
    ASSERT_EQ(chmod(dir.constData(), 0500), 0);
    QComboBox* combo = Open();
    Pick(combo, 3);
    ExpectTheme(4);
    EXPECT_FALSE(QFile::exists(Settings()));
    chmod(dir.constData(), 0700);
}

} // namespace
