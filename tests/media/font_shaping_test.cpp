// Shapes every symbol code, and whole word transcriptions, with Qt and checks that the symbol
// font alone turns them into the IPA glyphs learners expect. Glyph ids are compared with the
// font's own character map for the IPA characters, so a wrong cmap entry or a missing
// contextual rule both show up as a mismatch. Plain Latin letters cannot be looked up that way
// (the font gives their code points to symbols), so those come from the font's glyph names.

#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QRawFont>
#include <QTextLayout>
#include <QtEndian>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const QString kFontPath = QStringLiteral(SONAVIX_SOURCE_DIR "/assets/font/Svphonet.ttf");
const QString kFamily = QStringLiteral("Sonavix Phonetic Plain");

struct Shown {
    const char* code;
    const char* ipa;
};

// The 45 catalogue codes in catalogue order, with what a textbook prints for each.
const Shown kSymbols[] = {
    {"i", "ɪ"},   {"e", "e"},   {"A", "æ"},   {"Q", "ʌ"},   {"C", "ɒ"},   {"u", "ʊ"},
    {"E", "ə"},   {"i:", "iː"}, {"B:", "ɑː"}, {"C:", "ɔː"}, {"u:", "uː"}, {"E:", "ɜː"},
    {"ei", "eɪ"}, {"ai", "aɪ"}, {"Ci", "ɔɪ"}, {"iE", "ɪə"}, {"ZE", "eə"}, {"CE", "ɔə"},
    {"uE", "ʊə"}, {"Eu", "əʊ"}, {"au", "aʊ"}, {"p", "p"},   {"t", "t"},   {"k", "k"},
    {"f", "f"},   {"W", "θ"},   {"s", "s"},   {"F", "ʃ"},   {"h", "h"},   {"tF", "tʃ"},
    {"b", "b"},   {"d", "d"},   {"g", "ɡ"},   {"v", "v"},   {"T", "ð"},   {"z", "z"},
    {"V", "ʒ"},   {"m", "m"},   {"n", "n"},   {"N", "ŋ"},   {"l", "l"},   {"r", "r"},
    {"j", "j"},   {"w", "w"},   {"dV", "dʒ"},
};

// Transcriptions where the same letter must change with its neighbours inside one word.
const Shown kWords[] = {
    {"si:", "siː"},
    {"sit", "sɪt"},
    {"fu:d", "fuːd"},
    {"fut", "fʊt"},
    {"bE:d", "bɜːd"},
    {"E'baut", "əˈbaʊt"},
    {"hCt", "hɒt"},
    {"hC:s", "hɔːs"},
    {"bCi", "bɔɪ"},
    {"pCE", "pɔə"},
    {"'Ak,tFuEl", "ˈækˌtʃʊəl"},
    {"'miNg", "ˈmɪŋɡ"},
    {"WiN", "θɪŋ"},
    {"'mEVE", "ˈməʒə"},
    {"TZE", "ðeə"},
};

class FontShaping : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char arg0[] = "font_shaping_test";
        static char* argv[] = {arg0, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
        fontId_ = QFontDatabase::addApplicationFont(kFontPath);
    }
    static void TearDownTestSuite() {
        QFontDatabase::removeApplicationFont(fontId_);
        app_.reset();
    }

    // The glyph ids Qt lays out for the text, refusing any run drawn in a fallback face.
    static std::vector<quint32> shape(const QString& text) {
        QFont font(kFamily);
        font.setPixelSize(48);
        font.setWeight(QFont::Bold);
        QTextLayout layout(text, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        std::vector<quint32> ids;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            EXPECT_EQ(run.rawFont().familyName(), kFamily) << text.toStdString();
            for (quint32 id : run.glyphIndexes())
                ids.push_back(id);
        }
        return ids;
    }

    // The glyph the font names after a lower-case Latin letter: in a version 2 'post' table the
    // standard Macintosh names number 'a' as 68, 'b' as 69 and so on.
    static quint32 latinGlyph(const QRawFont& raw, char letter) {
        const QByteArray post = raw.fontTable("post");
        if (post.size() < 34 || qFromBigEndian<quint32>(post.constData()) != 0x00020000u)
            return 0;
        const auto* p = reinterpret_cast<const uchar*>(post.constData());
        const quint32 glyphs = qFromBigEndian<quint16>(p + 32);
        const quint16 wanted = static_cast<quint16>(68 + (letter - 'a'));
        for (quint32 gid = 0; gid < glyphs && 34 + 2 * gid + 2 <= quint32(post.size()); ++gid) {
            if (qFromBigEndian<quint16>(p + 34 + 2 * gid) == wanted)
                return gid;
        }
        return 0;
    }

    static std::vector<quint32> expected(const QString& ipa) {
        QRawFont raw(kFontPath, 48);
        std::vector<quint32> ids;
        for (QChar c : ipa) {
            const quint32 id = (c >= u'a' && c <= u'z') ? latinGlyph(raw, char(c.unicode()))
                                                        : raw.glyphIndexesForString(c).value(0);
            EXPECT_NE(id, 0u) << "no glyph for " << QString(c).toStdString();
            ids.push_back(id);
        }
        return ids;
    }

    static inline std::unique_ptr<QGuiApplication> app_;
    static inline int fontId_ = -1;
};

TEST_F(FontShaping, LoadsUnderItsFamilyInBoldWeight) {
    ASSERT_TRUE(QFile::exists(kFontPath));
    ASSERT_NE(fontId_, -1);
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(fontId_), QStringList{kFamily});
    QRawFont raw(kFontPath, 24);
    ASSERT_TRUE(raw.isValid());
    EXPECT_EQ(raw.weight(), QFont::Bold);
    EXPECT_EQ(raw.style(), QFont::StyleNormal);
    // The source font's licence travels with it.
    EXPECT_TRUE(QFile::exists(QStringLiteral(SONAVIX_SOURCE_DIR "/assets/font/OFL.txt")));
}

TEST_F(FontShaping, EveryCodeShowsItsSymbol) {
    ASSERT_EQ(std::size(kSymbols), 45u);
    for (const Shown& s : kSymbols) {
        const QString code = QString::fromUtf8(s.code);
        EXPECT_EQ(shape(code), expected(QString::fromUtf8(s.ipa)))
            << "code \"" << s.code << "\" should show " << s.ipa;
    }
}

TEST_F(FontShaping, CodesChangeWithTheirNeighboursInsideWords) {
    for (const Shown& w : kWords) {
        EXPECT_EQ(shape(QString::fromUtf8(w.code)), expected(QString::fromUtf8(w.ipa)))
            << "\"" << w.code << "\" should show " << w.ipa;
    }
}

TEST_F(FontShaping, PlainIpaTextShowsItself) {
    // Lesson documents may also carry real IPA characters in this face.
    for (const char* ipa : {"ʃʒθðŋ", "æʌɒʊəɑɔɜ"}) {
        const QString text = QString::fromUtf8(ipa);
        EXPECT_EQ(shape(text), expected(text)) << ipa;
    }
}

} // namespace
