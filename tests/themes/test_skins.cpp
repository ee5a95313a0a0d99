// The six shipped skins and the loader: every skin loads, looks different from the others, keeps
// body text readable, and a bad skin falls back to the plain look.
#include "offscreen_app.h"

#include "themes/SkinLoader.h"
#include <QApplication>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStyle>
#include <QTemporaryDir>

#include <cmath>
#include <set>
#include <vector>

namespace {

using sonavix::LoadSkin;
using sonavix::ReadSkin;
using sonavix::Skin;
using sonavix::SkinForTheme;
using sonavix::SkinRef;
using sonavix::StylesDirFor;

const QString kStylesDir = QStringLiteral(SONAVIX_SOURCE_DIR "/assets/Styles/");

double Channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class Skins : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        OffscreenApp<QApplication>();
        LoadSkin(QString(), QString()); // fix the plain look before any test changes it
        m_plainPalette = new QPalette(QApplication::palette());
    }
    static std::optional<Skin> Shipped(int theme) {
        const SkinRef ref = SkinForTheme(theme, kStylesDir);
        return ReadSkin(ref.path, ref.iniName);
    }
    static void ExpectPlain() {
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
        EXPECT_EQ(QApplication::palette().color(QPalette::Window),
                  m_plainPalette->color(QPalette::Window));
    }
    static inline QPalette* m_plainPalette = nullptr;
    QTemporaryDir m_dir;
};

TEST(ThemeTable, PathsHandedToTheLoader) {
    const QString d = QStringLiteral("/opt/sv/Styles/");
    EXPECT_EQ(SkinForTheme(1, d).path, "/opt/sv/Styles/iTunes");
    EXPECT_EQ(SkinForTheme(1, d).iniName, "Normalitunes.INI");
    EXPECT_EQ(SkinForTheme(2, d).path, "/opt/sv/Styles/Le5");
    EXPECT_EQ(SkinForTheme(2, d).iniName, "NormalBlue.INI");
    const char* packages[] = {"WinXP.Luna.cjstyles", "WinXP.Royale.cjstyles", "Office2007.cjstyles",
                              "Vista.cjstyles"};
    for (int theme = 3; theme <= 6; ++theme) {
        EXPECT_EQ(SkinForTheme(theme, d).path, d + packages[theme - 3]);
        EXPECT_TRUE(SkinForTheme(theme, d).iniName.isNull());
    }
    for (int theme : {0, 7, -1, 1 << 30}) {
        EXPECT_TRUE(SkinForTheme(theme, d).path.isEmpty());
        EXPECT_TRUE(SkinForTheme(theme, d).iniName.isEmpty());
    }
}

TEST(ThemeTable, StylesDirHasOneSeparatorOnEachSide) {
    EXPECT_EQ(StylesDirFor("/opt/sv/sonavix"), "/opt/sv/Styles/");
    EXPECT_EQ(StylesDirFor("/opt/sv/"), "/opt/sv/Styles/"); // a directory with its separator
    EXPECT_EQ(StylesDirFor("/sonavix"), "/Styles/");
    EXPECT_EQ(StylesDirFor("sonavix"), "Styles/");
}

TEST_F(Skins, AllSixLoadAndDifferFromEachOtherAndThePlainLook) {
    std::set<QString> names;
    std::set<QRgb> windows{m_plainPalette->color(QPalette::Window).rgb()};
    std::set<QRgb> buttons{m_plainPalette->color(QPalette::Button).rgb()};
    for (int theme = 1; theme <= 6; ++theme) {
        SCOPED_TRACE(theme);
        const std::optional<Skin> skin = Shipped(theme);
        ASSERT_TRUE(skin);
        EXPECT_FALSE(skin->styleSheet.isEmpty());
        EXPECT_FALSE(skin->styleSheet.contains('@')); // every colour name resolved
        EXPECT_TRUE(names.insert(skin->name).second);
        EXPECT_TRUE(windows.insert(skin->palette.color(QPalette::Window).rgb()).second);
        EXPECT_TRUE(buttons.insert(skin->palette.color(QPalette::Button).rgb()).second);
    }
}

// Body text must meet 4.5:1 on every background it is drawn on: the palette's own pairs, each
// named shade of a background role, and the list's fixed pure-blue symbols on the panes.
TEST_F(Skins, BodyTextMeetsContrastAAEverywhere) {
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Link, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::Text, QPalette::AlternateBase},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase}};
    // Shades named after a background carry that background's text (longest prefix first).
    const std::pair<const char*, QPalette::ColorRole> shades[] = {
        {"ToolTipBase", QPalette::ToolTipText},   {"AlternateBase", QPalette::Text},
        {"Highlight", QPalette::HighlightedText}, {"Window", QPalette::WindowText},
        {"Button", QPalette::ButtonText},         {"Base", QPalette::Text}};
    for (int theme = 1; theme <= 6; ++theme) {
        const std::optional<Skin> skin = Shipped(theme);
        ASSERT_TRUE(skin);
        const QPalette& p = skin->palette;
        for (const auto& [text, back] : pairs)
            EXPECT_GE(Contrast(p.color(text), p.color(back)), 4.5)
                << skin->name.toStdString() << ": role " << int(text) << " on " << int(back);
        for (const QPalette::ColorRole back : {QPalette::Base, QPalette::AlternateBase})
            EXPECT_GE(Contrast(QColor(0, 0, 255), p.color(back)), 4.5)
                << skin->name.toStdString() << ": symbol list on role " << int(back);
        int shaded = 0;
        for (auto it = skin->colors.cbegin(); it != skin->colors.cend(); ++it) {
            for (const auto& [prefix, text] : shades) {
                if (!it.key().startsWith(QLatin1StringView(prefix)))
                    continue;
                ++shaded;
                EXPECT_GE(Contrast(p.color(text), it.value()), 4.5)
                    << skin->name.toStdString() << ": text on " << it.key().toStdString();
                break;
            }
        }
        EXPECT_GT(shaded, 0) << skin->name.toStdString();
    }
}

// A literal colour in a sheet would escape the contrast check above.
TEST_F(Skins, SheetsNameEveryColour) {
    const QStringList files = {"iTunes/Normalitunes.INI", "iTunes/Normalitunes.qss",
                               "Le5/NormalBlue.INI",      "WinXP.Luna.cjstyles",
                               "WinXP.Royale.cjstyles",   "Office2007.cjstyles",
                               "Vista.cjstyles"};
    static const QRegularExpression literal(
        QStringLiteral(R"(#[0-9A-Fa-f]{3,8}\b|\brgba?\s*\(|\bhsva?\s*\(|\bpalette\s*\()"));
    for (const QString& name : files) {
        QFile f(kStylesDir + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        QString text = QString::fromUtf8(f.readAll());
        const qsizetype sheet = text.indexOf(QLatin1StringView("[StyleSheet]"));
        if (name.endsWith(QLatin1StringView(".qss")))
            text = text.remove(QRegularExpression(QStringLiteral(R"(/\*.*?\*/)"),
                                                  QRegularExpression::DotMatchesEverythingOption));
        else if (sheet >= 0)
            text = text.mid(sheet);
        else
            continue;
        EXPECT_FALSE(literal.match(text).hasMatch()) << name.toStdString();
    }
}

TEST_F(Skins, LoadingAppliesToTheWholeApplicationAndEmptyNameIsPlain) {
    const std::optional<Skin> royale = Shipped(4);
    ASSERT_TRUE(royale);
    const SkinRef ref = SkinForTheme(4, kStylesDir);
    EXPECT_TRUE(LoadSkin(ref.path, ref.iniName));
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
              royale->palette.color(QPalette::Window));
    EXPECT_EQ(qApp->styleSheet(), royale->styleSheet);

    EXPECT_TRUE(LoadSkin(QString(), QString()));
    ExpectPlain();
}

TEST_F(Skins, BrokenSkinsLeaveThePlainLook) {
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile f(m_dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return m_dir.filePath(name);
    };
    const QByteArray good = "[Skin]\nName=T\n[Palette]\nWindow=#102030\n[StyleSheet]\n"
                            "QDialog { background: @Window; }\n";
    ASSERT_TRUE(ReadSkin(write("good.cjstyles", good), QString()));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("sub"));
    write("sub/x.qss", "QLabel {}");
    write("outside.qss", "QLabel {}");

    write("sub/esc.INI", "[Skin]\nStyleSheet=../outside.qss\n");
    const std::vector<std::pair<QString, QString>> broken = {
        {m_dir.filePath("missing.cjstyles"), {}},
        {m_dir.path(), {}}, // a directory is no package
        {m_dir.path(), "absent.INI"},
        {m_dir.path(), "sub/x.qss"}, // the INI name is a name, not a path
        {write("tok.cjstyles", "[Palette]\nWindow=#fff\n[StyleSheet]\nQLabel{color:@Nope}"), {}},
        {write("col.cjstyles", "[Palette]\nWindow=notacolour\n"), {}},
        {write("role.cjstyles", "[Palette]\nWindowish=#fff\n"), {}},
        {write("style.cjstyles", "[Skin]\nStyle=NoSuchStyle\n"), {}},
        // A package may not pull in other files; a directory skin only from its own directory.
        {write("pkg.cjstyles", "[Skin]\nStyleSheet=outside.qss\n"), {}},
        {m_dir.filePath("sub"), "esc.INI"},
        {write("big.cjstyles", QByteArray(2 * 1024 * 1024, ';')), {}},
    };
    for (const auto& [path, ini] : broken) {
        SCOPED_TRACE((path + " | " + ini).toStdString());
        ASSERT_TRUE(LoadSkin(m_dir.filePath("good.cjstyles"), QString()));
        EXPECT_FALSE(qApp->styleSheet().isEmpty());
        EXPECT_FALSE(LoadSkin(path, ini));
        ExpectPlain();
    }
}

TEST_F(Skins, DirectorySkinReadsItsSheetFileAndDisabledTextFades) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("d"));
    QFile ini(m_dir.filePath("d/s.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Skin]\r\nStyleSheet=s.qss\r\n[Palette]\r\nWindow=#000000\r\nWindowText=#ffffff\r\n"
              "[Colors]\r\nWindowEdge=#222222\r\n"
              "[StyleSheet]\r\nQLabel { color: @WindowText; }\r\n");
    ini.close();
    QFile qss(m_dir.filePath("d/s.qss"));
    ASSERT_TRUE(qss.open(QIODevice::WriteOnly));
    qss.write("QDialog { background: @WindowEdge; }\n");
    qss.close();

    const std::optional<Skin> skin = ReadSkin(m_dir.filePath("d"), "s.INI");
    ASSERT_TRUE(skin);
    EXPECT_TRUE(skin->styleSheet.contains("QDialog { background: #222222; }"));
    EXPECT_TRUE(skin->styleSheet.contains("QLabel { color: #ffffff; }"));
    const QColor faded = skin->palette.color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_LT(Contrast(faded, QColor(Qt::black)), Contrast(QColor(Qt::white), QColor(Qt::black)));
    EXPECT_GT(Contrast(faded, QColor(Qt::black)), 1.5);
}

} // namespace
