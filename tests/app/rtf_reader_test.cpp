// The rich-text reader on the kinds of documents it meets: the program's own GBK documents,
// word-processor output with tables, fields and pictures, Unicode escapes, and broken or hostile
// bytes, which must end in bounded time without harm.
#include "offscreen_app.h"
#include "rtf/CodePage.h"
#include "rtf/RtfReader.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

QGuiApplication& App() {
    return OffscreenApp<QGuiApplication>();
}

struct Fragment {
    QString text;
    QTextCharFormat format;
};

class RtfReader : public ::testing::Test {
  protected:
    void SetUp() override { App(); }

    bool Read(const QByteArray& bytes) { return sonavix::ReadRtf(bytes, doc); }
    // The text as stored: no-break spaces and line separators kept, paragraphs joined by "\n".
    QString Text() const {
        return doc.toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    }
    std::vector<Fragment> Fragments() const {
        std::vector<Fragment> out;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                out.push_back({it.fragment().text(), it.fragment().charFormat()});
        return out;
    }
    // The first fragment holding text; an empty one (and a failure) when there is none.
    Fragment FragmentWith(const QString& text) const {
        for (const Fragment& f : Fragments())
            if (f.text.contains(text))
                return f;
        ADD_FAILURE() << "no fragment holds " << text.toStdString();
        return {};
    }

    QTextDocument doc;
};

// "发音规则" in GBK.
const char kGbkRules[] = "\\'b7\\'a2\\'d2\\'f4\\'b9\\'e6\\'d4\\'f2";

TEST_F(RtfReader, ProgramDocumentsInGbk) {
    const QByteArray rtf = QByteArray("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil"
                                      "\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\\f0\\fs18 ") +
                           kGbkRules + "\\par}";
    EXPECT_TRUE(Read(rtf));
    EXPECT_EQ(Text().trimmed(), QStringLiteral("发音规则"));
    const Fragment f = FragmentWith(QStringLiteral("发音"));
    EXPECT_EQ(f.format.fontFamilies().toStringList(), QStringList{QStringLiteral("宋体")});
    EXPECT_DOUBLE_EQ(f.format.fontPointSize(), 9.0);
}

TEST_F(RtfReader, CodePagesFollowTheFontOfEachRun) {
    // Latin \'e9 under a Western font stays one character even next to GBK text; a GBK pair
    // split across two escapes still decodes as one character.
    EXPECT_TRUE(Read("{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset0 Arial;}"
                     "{\\f1\\fcharset134 SimSun;}}\\f0 caf\\'e9 \\f1\\'d6\\'d0\\'ce\\'c4}"));
    EXPECT_EQ(Text(), QStringLiteral("café 中文"));
    // A document code page without any font table.
    EXPECT_TRUE(Read("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0}"));
    EXPECT_EQ(Text(), QStringLiteral("中"));
    // A lead byte without its trail byte, and a byte no code page maps: one U+FFFD each.
    EXPECT_TRUE(Read("{\\rtf1\\ansicpg936 a\\'d6}"));
    EXPECT_EQ(Text(), QStringLiteral("a\uFFFD"));
    EXPECT_EQ(sonavix::rtf::DecodeCodePage(QByteArray("\x81", 1), 1252), QStringLiteral("\uFFFD"));
    EXPECT_EQ(sonavix::rtf::CodePageOfCharset(134, 1252), 936);
    EXPECT_EQ(sonavix::rtf::CodePageOfCharset(1, 936), 936);
}

TEST_F(RtfReader, UnicodeEscapesSkipTheirFallbacks) {
    EXPECT_TRUE(Read("{\\rtf1\\uc1 \\u20013?\\u25991?}"));
    EXPECT_EQ(Text(), QStringLiteral("中文"));
    // Two fallback characters, the first of them an escape; a negative value; uc0.
    EXPECT_TRUE(Read("{\\rtf1\\uc2 \\u20013\\'d6\\'d0x\\u-3 ab{\\uc0 \\u65}c}"));
    EXPECT_EQ(Text(), QStringLiteral("中x\uFFFDAc"));
    // A pair of surrogates makes one character; a lone one does not get through.
    EXPECT_TRUE(Read("{\\rtf1\\u-10179?\\u-8704?|\\u-10179?}"));
    EXPECT_EQ(Text(), QStringLiteral("\U0001F600|\uFFFD"));
    // The fallback count belongs to the group it was set in.
    EXPECT_TRUE(Read("{\\rtf1{\\uc3 x}\\u66 yz}"));
    EXPECT_EQ(Text(), QStringLiteral("xBz"));
}

TEST_F(RtfReader, GroupsRestoreFormatting) {
    EXPECT_TRUE(Read("{\\rtf1 plain {\\b bold {\\i both} bold} plain \\ul under\\ulnone  "
                     "{\\strike gone} \\b0 x\\super 2}"));
    EXPECT_EQ(Text(), QStringLiteral("plain bold both bold plain under gone x2"));
    EXPECT_EQ(FragmentWith("both").format.fontWeight(), QFont::Bold);
    EXPECT_TRUE(FragmentWith("both").format.fontItalic());
    EXPECT_FALSE(FragmentWith(" bold").format.fontItalic());
    EXPECT_NE(FragmentWith("plain ").format.fontWeight(), QFont::Bold);
    EXPECT_TRUE(FragmentWith("under").format.fontUnderline());
    EXPECT_TRUE(FragmentWith("gone").format.fontStrikeOut());
    EXPECT_EQ(FragmentWith("2").format.verticalAlignment(), QTextCharFormat::AlignSuperScript);
}

TEST_F(RtfReader, ColourAndFontTables) {
    EXPECT_TRUE(Read("{\\rtf1{\\fonttbl\\f0\\fswiss Arial;\\f1\\fmodern{\\*\\panose 0000}"
                     "Courier New;}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}"
                     "\\f1\\cf1 red \\cf2\\highlight1 green\\cf0\\highlight0  auto\\cf9  none}"));
    EXPECT_EQ(Text(), QStringLiteral("red green auto none"));
    EXPECT_EQ(FragmentWith("red").format.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FragmentWith("green").format.foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(FragmentWith("green").format.background().color(), QColor(255, 0, 0));
    EXPECT_FALSE(FragmentWith("auto").format.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_FALSE(FragmentWith("none").format.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(FragmentWith("red").format.fontFamilies().toStringList(),
              QStringList{QStringLiteral("Courier New")});
}

TEST_F(RtfReader, DestinationsThatHoldNoTextAreSkipped) {
    EXPECT_TRUE(Read("{\\rtf1{\\*\\generator Writer 1.0;}{\\info{\\title T}{\\author A}}"
                     "{\\stylesheet{\\s0 Normal;}}{\\*\\unknownthing {nested} text}"
                     "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} "
                     "{\\pict\\pngblip 89504e47}{\\object{\\*\\objdata 0102}}"
                     "a\\bin4 {}\\b{\\header head}}"));
    EXPECT_EQ(Text(), QStringLiteral("link a"));
    // \bin inside a skipped group must not let its bytes close the group.
    EXPECT_TRUE(Read("{\\rtf1{\\*\\blob\\bin3 }}x}shown}"));
    EXPECT_EQ(Text(), QStringLiteral("shown"));
}

TEST_F(RtfReader, ParagraphsBreaksAndAlignment) {
    EXPECT_TRUE(Read("{\\rtf1\\pard\\qc centred\\par\\pard\\li300\\fi-150 left\\line next\\tab t"
                     "\\par\\qr right\\par\\pard last}"));
    const QStringList blocks = Text().split(QChar::ParagraphSeparator);
    ASSERT_EQ(doc.blockCount(), 4);
    EXPECT_EQ(doc.findBlockByNumber(0).text(), QStringLiteral("centred"));
    EXPECT_EQ(doc.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(doc.findBlockByNumber(1).text(), QStringLiteral("left\u2028next\tt"));
    EXPECT_DOUBLE_EQ(doc.findBlockByNumber(1).blockFormat().leftMargin(), 20.0);
    EXPECT_DOUBLE_EQ(doc.findBlockByNumber(1).blockFormat().textIndent(), -10.0);
    EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(doc.findBlockByNumber(3).text(), QStringLiteral("last"));
    EXPECT_EQ(doc.findBlockByNumber(3).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
}

TEST_F(RtfReader, SymbolsEscapesAndText) {
    EXPECT_TRUE(Read("{\\rtf1 a\\{b\\}c\\\\d\\~e\\-f\\_g\\emdash\\bullet\\lquote x\\rquote"
                     "\r\n\\'41}"));
    EXPECT_EQ(Text(), QStringLiteral("a{b}c\\d\u00A0ef\u2011g\u2014\u2022\u2018x\u2019A"));
}

TEST_F(RtfReader, TruncatedAndUnbalancedDocuments) {
    EXPECT_TRUE(Read("{\\rtf1 abc {\\b def"));
    EXPECT_EQ(Text(), QStringLiteral("abc def"));
    EXPECT_EQ(FragmentWith("def").format.fontWeight(), QFont::Bold);
    EXPECT_TRUE(Read("{\\rtf1 kept} after the end"));
    EXPECT_EQ(Text(), QStringLiteral("kept"));
    for (const char* cut :
         {"{\\rtf1 \\", "{\\rtf1 \\'", "{\\rtf1 \\'4", "{\\rtf1 \\u", "{\\rtf1 \\u-",
          "{\\rtf1 \\bin999999 ab", "{\\rtf1{\\fonttbl{\\f0 Ar", "{\\rtf1 \\*"})
        EXPECT_TRUE(Read(cut)) << cut;
}

TEST_F(RtfReader, OtherBytesShowAsPlainText) {
    EXPECT_FALSE(Read("just words\r\nsecond line"));
    EXPECT_EQ(Text(), QStringLiteral("just words\nsecond line"));
    EXPECT_FALSE(Read("\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"));
    EXPECT_EQ(Text(), QStringLiteral("中文"));
    EXPECT_FALSE(Read("\xD6\xD0\xCE\xC4")); // not UTF-8: the Chinese code page
    EXPECT_EQ(Text(), QStringLiteral("中文"));
    EXPECT_FALSE(Read(""));
    EXPECT_EQ(Text(), QString());
    EXPECT_FALSE(Read("{\\rt not quite"));
}

TEST_F(RtfReader, CharactersWithAMeaningInsideTheDocumentStayText) {
    // Frame and object markers of the document model arrive as ordinary replacement text.
    EXPECT_TRUE(Read("{\\rtf1 a\\u64976?b\\u65532?c\\u8233?d\\'00e\\'0af}"));
    EXPECT_EQ(doc.blockCount(), 1);
    EXPECT_EQ(doc.rootFrame()->childFrames().size(), 0);
    EXPECT_EQ(Text(), QStringLiteral("a\uFFFDb\uFFFDc\uFFFDd e\u2028f"));
}

TEST_F(RtfReader, DeepNestingAndLargeInputsEndInBoundedTime) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    QByteArray deep = "{\\rtf1 ";
    deep += QByteArray(100000, '{') + "\\b deep" + QByteArray(100000, '}') + " after}";
    EXPECT_TRUE(Read(deep));
    EXPECT_EQ(Text(), QStringLiteral("deep after"));

    QByteArray noise(10 * 1024 * 1024, '\0');
    QRandomGenerator random(5);
    for (char& c : noise)
        c = static_cast<char>(random.bounded(256));
    EXPECT_FALSE(Read(noise));
    // As rich text, with the outer group kept open to the end so that every byte is read.
    noise.replace('}', 'x');
    noise.replace(0, 6, "{\\rtf1");
    EXPECT_TRUE(Read(noise));

    QByteArray paragraphs = "{\\rtf1 ";
    while (paragraphs.size() < 10 * 1024 * 1024)
        paragraphs += "x\\par ";
    EXPECT_TRUE(Read(paragraphs));
    EXPECT_GT(doc.blockCount(), 1000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

} // namespace
