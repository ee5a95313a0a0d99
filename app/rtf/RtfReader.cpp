// Rich text to QTextDocument.
//
// One pass over the bytes with an explicit stack of group states (no recursion), so neither
// nesting nor length can exhaust the call stack. Text bytes are collected per code page and
// decoded in runs, so multi-byte \'hh sequences (GBK) decode as a whole. Formatting is taken
// when text is emitted: a run ends only when the properties of the text actually change.
// Sizes: \fsN is in half points; indents and spacing (\li, \sb, ...) are in twips and become
// pixels at 96 per inch.

#include "rtf/RtfReader.h"

#include "rtf/CodePage.h"

#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace sonavix {
namespace {

// Deeper groups share the state of the deepest kept one: real documents nest a few dozen deep.
constexpr size_t kMaxDepth = 10000;
constexpr int kMaxWordLength = 32;
constexpr int kDefaultHalfPoints = 24;
constexpr size_t kMaxTabStops = 32; // per paragraph; further \tx words are ignored
// Reading stops after this many paragraphs: far beyond any lesson or letter, and it bounds the
// time a pathological document (millions of empty paragraphs) can take.
constexpr int kMaxParagraphs = 50000;

enum class Destination { Text, Skip, FontTable, ColorTable };

struct CharProps {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int font = -1;
    int halfPoints = kDefaultHalfPoints;
    int color = 0;
    int highlight = 0;
    int vertical = 0; // -1 subscript, 1 superscript
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    Qt::Alignment align = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    std::vector<int> tabTwips; // \tx stops, left-aligned
};

struct GroupState {
    CharProps chr;
    ParaProps para;
    Destination dest = Destination::Text;
    int uc = 1;
};

struct FontEntry {
    QString name;
    int charset = -1;
};

double TwipsToPixels(int twips) {
    return twips / 15.0;
}

bool IsLetter(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

int HexValue(uint8_t c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Characters with a meaning of their own inside QTextDocument (block and frame separators,
// object placeholders) or without any on screen must not reach it as text.
QString Sanitised(QString text, bool keepNewlines) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar& ch = text[i];
        const char16_t u = ch.unicode();
        if (u == u'\t')
            continue;
        if (u == u'\n' && keepNewlines)
            continue;
        if (u < 0x20 || u == 0x7F) {
            ch = (u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C) ? QChar(QChar::LineSeparator)
                                                                      : QChar(u' ');
        } else if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC) {
            ch = QChar(QChar::ReplacementCharacter);
        } else if (ch.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else
                ch = QChar(QChar::ReplacementCharacter);
        } else if (ch.isLowSurrogate()) {
            ch = QChar(QChar::ReplacementCharacter);
        }
    }
    return text;
}

const std::string_view kSkippedDestinations[] = {
    "annotation",
    "atnauthor",
    "atnid",
    "author",
    "bkmkend",
    "bkmkstart",
    "buptim",
    "colorschememapping",
    "comment",
    "creatim",
    "datastore",
    "doccomm",
    "docvar",
    "fchars",
    "filetbl",
    "fldinst",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "footnote",
    "generator",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "info",
    "keywords",
    "latentstyles",
    "lchars",
    "listoverridetable",
    "listtable",
    "mmathPr",
    "nonshppict",
    "object",
    "objdata",
    "operator",
    "pgdsctbl",
    "pict",
    "printim",
    "private",
    "revtbl",
    "revtim",
    "rsidtbl",
    "shpinst",
    "stylesheet",
    "subject",
    "tc",
    "template",
    "themedata",
    "title",
    "txe",
    "userprops",
    "xe",
    "xmlnstbl",
};

class Reader {
  public:
    Reader(const QByteArray& bytes, QTextDocument& doc)
        : m_data(reinterpret_cast<const uint8_t*>(bytes.constData())),
          m_size(static_cast<size_t>(bytes.size())), m_cursor(&doc) {}

    void Run();

  private:
    GroupState& State() { return m_stack.back(); }

    void OpenGroup();
    bool CloseGroup(); // false once the document's outer group has closed
    void ControlWord();
    void ControlSymbol();
    void Word(std::string_view word, bool hasParam, int param);
    bool ParagraphWord(std::string_view word, bool hasParam, int param);
    bool CharacterWord(std::string_view word, bool hasParam, int param);
    bool SpecialCharacter(std::string_view word);

    void Byte(uint8_t byte);
    void Text(const QString& text);
    void Paragraph();
    int CodePageOf(const CharProps& chr) const;
    void DecodeBytes();
    void FlushRun();
    QTextCharFormat FormatOf(const CharProps& chr) const;
    static QTextBlockFormat BlockFormatOf(const ParaProps& para);
    void FinishFontEntry();
    void FinishColorEntry();

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    QTextCursor m_cursor;

    std::vector<GroupState> m_stack{GroupState{}};
    size_t m_overflowDepth = 0;
    bool m_starNext = false;
    int m_paragraphs = 0;
    int m_skipChars = 0;

    int m_codePage = 1252;
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    std::vector<QColor> m_colors; // invalid colour = automatic

    int m_fontNumber = 0;
    int m_fontCharset = -1;
    QByteArray m_fontName;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;

    ParaProps m_textPara; // paragraph properties of the latest text
    CharProps m_runProps;
    int m_runCodePage = 1252;
    QByteArray m_runBytes;
    QString m_runText;
};

void Reader::Run() {
    m_cursor.beginEditBlock();
    while (m_pos < m_size && m_paragraphs < kMaxParagraphs) {
        const uint8_t c = m_data[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            OpenGroup();
            break;
        case '}':
            ++m_pos;
            if (!CloseGroup()) {
                m_pos = m_size;
            }
            break;
        case '\\':
            ++m_pos;
            if (m_pos < m_size && IsLetter(m_data[m_pos]))
                ControlWord();
            else
                ControlSymbol();
            break;
        case '\r':
        case '\n':
            ++m_pos;
            break;
        case '\t':
            ++m_pos;
            Word("tab", false, 0);
            break;
        default:
            ++m_pos;
            if (m_skipChars > 0)
                --m_skipChars;
            else
                Byte(c);
            break;
        }
    }
    FinishFontEntry();
    FlushRun();
    // A last paragraph without its \par takes the properties its text was written with.
    m_cursor.setBlockFormat(BlockFormatOf(m_textPara));
    m_cursor.endEditBlock();
}

void Reader::OpenGroup() {
    m_skipChars = 0;
    m_starNext = false;
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    m_stack.push_back(State());
}

bool Reader::CloseGroup() {
    m_skipChars = 0;
    m_starNext = false;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (State().dest == Destination::FontTable)
        FinishFontEntry();
    if (m_stack.size() > 1)
        m_stack.pop_back();
    // The base state stands outside the document's outer group: back there, the document ended.
    return m_stack.size() > 1;
}

void Reader::ControlWord() {
    const size_t start = m_pos;
    while (m_pos < m_size && IsLetter(m_data[m_pos]))
        ++m_pos;
    const size_t length = std::min<size_t>(m_pos - start, kMaxWordLength);
    const std::string_view word(reinterpret_cast<const char*>(m_data + start), length);

    bool negative = false;
    if (m_pos + 1 < m_size && m_data[m_pos] == '-' && IsDigit(m_data[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    bool hasParam = false;
    int64_t value = 0;
    while (m_pos < m_size && IsDigit(m_data[m_pos])) {
        hasParam = true;
        value = std::min<int64_t>(value * 10 + (m_data[m_pos] - '0'), INT32_MAX);
        ++m_pos;
    }
    if (m_pos < m_size && m_data[m_pos] == ' ')
        ++m_pos;
    const int param = static_cast<int>(negative ? -value : value);

    // Binary data is skipped whatever the destination: it may hold braces and backslashes.
    if (word == "bin") {
        const size_t count = hasParam && param > 0 ? static_cast<size_t>(param) : 0;
        m_pos += std::min(count, m_size - m_pos);
        return;
    }
    if (m_skipChars > 0) {
        --m_skipChars;
        return;
    }
    if (m_starNext) {
        // An ignorable destination this reader has no use for: skip its group.
        m_starNext = false;
        State().dest = Destination::Skip;
        return;
    }
    Word(word, hasParam, param);
}

void Reader::ControlSymbol() {
    if (m_pos >= m_size)
        return;
    const uint8_t c = m_data[m_pos++];
    if (c == '\'') {
        int value = 0;
        for (int digits = 0; digits < 2 && m_pos < m_size; ++digits) {
            const int h = HexValue(m_data[m_pos]);
            if (h < 0)
                break;
            value = value * 16 + h;
            ++m_pos;
        }
        if (m_skipChars > 0)
            --m_skipChars;
        else
            Byte(static_cast<uint8_t>(value));
        return;
    }
    if (c == '*') {
        m_starNext = true;
        return;
    }
    if (m_skipChars > 0) {
        --m_skipChars;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        Byte(c);
        break;
    case '~':
        Text(QString(QChar(0x00A0)));
        break;
    case '_':
        Text(QString(QChar(0x2011)));
        break;
    case '\r':
    case '\n':
        Word("par", false, 0);
        break;
    default: // \- optional hyphen, \| \: index marks and anything unknown
        break;
    }
}

void Reader::Word(std::string_view word, bool hasParam, int param) {
    GroupState& state = State();
    if (word == "fonttbl") {
        state.dest = Destination::FontTable;
        return;
    }
    if (word == "colortbl") {
        state.dest = Destination::ColorTable;
        m_colorSet = false;
        return;
    }
    if (std::find(std::begin(kSkippedDestinations), std::end(kSkippedDestinations), word) !=
        std::end(kSkippedDestinations)) {
        state.dest = Destination::Skip;
        return;
    }
    switch (state.dest) {
    case Destination::Skip:
        return;
    case Destination::FontTable:
        if (word == "f") {
            FinishFontEntry();
            m_fontNumber = param;
        } else if (word == "fcharset") {
            m_fontCharset = param;
        }
        return;
    case Destination::ColorTable:
        if (word == "red" || word == "green" || word == "blue") {
            const int v = std::clamp(param, 0, 255);
            (word == "red" ? m_red : word == "green" ? m_green : m_blue) = v;
            m_colorSet = true;
        }
        return;
    case Destination::Text:
        break;
    }

    if (word == "ansi") {
        m_codePage = 1252;
    } else if (word == "ansicpg" && hasParam) {
        m_codePage = param;
    } else if (word == "mac") {
        m_codePage = 10000;
    } else if (word == "pc") {
        m_codePage = 437;
    } else if (word == "pca") {
        m_codePage = 850;
    } else if (word == "deff") {
        m_defaultFont = param;
        state.chr.font = param;
    } else if (word == "uc") {
        state.uc = std::clamp(param, 0, 16);
    } else if (word == "u" && hasParam) {
        const int unit = param < 0 ? param + 65536 : param;
        if (unit >= 0 && unit <= 0xFFFF)
            Text(QString(QChar(static_cast<char16_t>(unit))));
        m_skipChars = state.uc;
    } else if (!ParagraphWord(word, hasParam, param) && !CharacterWord(word, hasParam, param)) {
        SpecialCharacter(word);
    }
}

bool Reader::ParagraphWord(std::string_view word, bool hasParam, int param) {
    ParaProps& para = State().para;
    const int twips = std::clamp(hasParam ? param : 0, -31680, 31680);
    if (word == "par" || word == "page" || word == "sect" || word == "row")
        Paragraph();
    else if (word == "pard")
        para = ParaProps{};
    else if (word == "ql")
        para.align = Qt::AlignLeft;
    else if (word == "qc")
        para.align = Qt::AlignHCenter;
    else if (word == "qr")
        para.align = Qt::AlignRight;
    else if (word == "qj")
        para.align = Qt::AlignJustify;
    else if (word == "li")
        para.leftTwips = twips;
    else if (word == "ri")
        para.rightTwips = twips;
    else if (word == "fi")
        para.firstTwips = twips;
    else if (word == "sb")
        para.beforeTwips = twips;
    else if (word == "sa")
        para.afterTwips = twips;
    else if (word == "tx" && twips > 0 && para.tabTwips.size() < kMaxTabStops)
        para.tabTwips.push_back(twips);
    else
        return false;
    return true;
}

bool Reader::CharacterWord(std::string_view word, bool hasParam, int param) {
    CharProps& chr = State().chr;
    const bool on = !hasParam || param != 0;
    if (word == "plain") {
        chr = CharProps{};
        chr.font = m_defaultFont;
    } else if (word == "b") {
        chr.bold = on;
    } else if (word == "i") {
        chr.italic = on;
    } else if (word == "ulnone") {
        chr.underline = false;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" ||
               word == "uldash" || word == "ulth" || word == "ulwave") {
        chr.underline = on;
    } else if (word == "strike" || word == "striked") {
        chr.strike = on;
    } else if (word == "fs") {
        chr.halfPoints = hasParam && param > 0 ? std::min(param, 3276) : kDefaultHalfPoints;
    } else if (word == "f") {
        chr.font = param;
    } else if (word == "cf") {
        chr.color = param;
    } else if (word == "cb" || word == "highlight") {
        chr.highlight = param;
    } else if (word == "super" || word == "up") {
        chr.vertical = on ? 1 : 0;
    } else if (word == "sub" || word == "dn") {
        chr.vertical = on ? -1 : 0;
    } else if (word == "nosupersub") {
        chr.vertical = 0;
    } else {
        return false;
    }
    return true;
}

bool Reader::SpecialCharacter(std::string_view word) {
    struct Special {
        std::string_view word;
        char16_t ch;
    };
    static constexpr Special kSpecials[] = {
        {"tab", u'\t'},        {"cell", u'\t'},       {"line", 0x2028},    {"emdash", 0x2014},
        {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002},
        {"qmspace", 0x2005},   {"zwj", 0x200D},       {"zwnj", 0x200C},
    };
    for (const Special& special : kSpecials) {
        if (special.word == word) {
            Text(QString(QChar(special.ch)));
            return true;
        }
    }
    return false;
}

int Reader::CodePageOf(const CharProps& chr) const {
    const auto it = m_fonts.find(chr.font);
    if (it == m_fonts.end())
        return m_codePage;
    return rtf::CodePageOfCharset(it->second.charset, m_codePage);
}

void Reader::Byte(uint8_t byte) {
    switch (State().dest) {
    case Destination::Skip:
        return;
    case Destination::FontTable:
        if (byte == ';')
            FinishFontEntry();
        else
            m_fontName.append(static_cast<char>(byte));
        return;
    case Destination::ColorTable:
        if (byte == ';')
            FinishColorEntry();
        return;
    case Destination::Text:
        break;
    }
    m_textPara = State().para;
    const CharProps& chr = State().chr;
    if (!(chr == m_runProps)) {
        FlushRun();
        m_runProps = chr;
    }
    const int codePage = CodePageOf(chr);
    if (codePage != m_runCodePage) {
        DecodeBytes();
        m_runCodePage = codePage;
    }
    m_runBytes.append(static_cast<char>(byte));
}

void Reader::Text(const QString& text) {
    if (State().dest != Destination::Text)
        return;
    m_textPara = State().para;
    const CharProps& chr = State().chr;
    if (!(chr == m_runProps)) {
        FlushRun();
        m_runProps = chr;
    }
    DecodeBytes();
    m_runText += text;
}

void Reader::DecodeBytes() {
    if (m_runBytes.isEmpty())
        return;
    m_runText += rtf::DecodeCodePage(m_runBytes, m_runCodePage);
    m_runBytes.clear();
}

void Reader::FlushRun() {
    DecodeBytes();
    if (m_runText.isEmpty())
        return;
    m_cursor.insertText(Sanitised(m_runText, false), FormatOf(m_runProps));
    m_runText.clear();
}

QTextCharFormat Reader::FormatOf(const CharProps& chr) const {
    QTextCharFormat format;
    const auto font = m_fonts.find(chr.font);
    if (font != m_fonts.end() && !font->second.name.isEmpty())
        format.setFontFamilies({font->second.name});
    format.setFontPointSize(chr.halfPoints / 2.0);
    format.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chr.italic);
    format.setFontUnderline(chr.underline);
    format.setFontStrikeOut(chr.strike);
    if (chr.color > 0 && chr.color < static_cast<int>(m_colors.size()) &&
        m_colors[static_cast<size_t>(chr.color)].isValid())
        format.setForeground(m_colors[static_cast<size_t>(chr.color)]);
    if (chr.highlight > 0 && chr.highlight < static_cast<int>(m_colors.size()) &&
        m_colors[static_cast<size_t>(chr.highlight)].isValid())
        format.setBackground(m_colors[static_cast<size_t>(chr.highlight)]);
    if (chr.vertical != 0)
        format.setVerticalAlignment(chr.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                     : QTextCharFormat::AlignSubScript);
    return format;
}

void Reader::Paragraph() {
    if (State().dest != Destination::Text)
        return;
    FlushRun();
    const QTextBlockFormat format = BlockFormatOf(State().para);
    if (m_cursor.blockFormat() != format)
        m_cursor.setBlockFormat(format);
    m_cursor.insertBlock();
    ++m_paragraphs;
}

QTextBlockFormat Reader::BlockFormatOf(const ParaProps& para) {
    QTextBlockFormat format;
    format.setAlignment(para.align);
    format.setLeftMargin(TwipsToPixels(para.leftTwips));
    format.setRightMargin(TwipsToPixels(para.rightTwips));
    format.setTextIndent(TwipsToPixels(para.firstTwips));
    format.setTopMargin(TwipsToPixels(para.beforeTwips));
    format.setBottomMargin(TwipsToPixels(para.afterTwips));
    if (!para.tabTwips.empty()) {
        QList<QTextOption::Tab> tabs;
        for (const int twips : para.tabTwips)
            tabs.append(QTextOption::Tab(TwipsToPixels(twips), QTextOption::LeftTab));
        format.setTabPositions(tabs);
    }
    return format;
}

void Reader::FinishFontEntry() {
    if (m_fontName.isEmpty() && m_fontCharset < 0)
        return;
    FontEntry entry;
    entry.charset = m_fontCharset;
    entry.name = rtf::DecodeCodePage(m_fontName, rtf::CodePageOfCharset(m_fontCharset, m_codePage))
                     .trimmed();
    m_fonts[m_fontNumber] = entry;
    m_fontName.clear();
    m_fontCharset = -1;
}

void Reader::FinishColorEntry() {
    m_colors.push_back(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_red = m_green = m_blue = 0;
    m_colorSet = false;
}

bool IsRtf(const QByteArray& bytes) {
    qsizetype i = 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

QString PlainText(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError())
        text = rtf::DecodeCodePage(body, 936);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return Sanitised(text, true);
}

} // namespace

bool ReadRtf(const QByteArray& bytes, QTextDocument& doc) {
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    const bool rich = IsRtf(bytes);
    if (rich) {
        Reader reader(bytes, doc);
        reader.Run();
    } else {
        doc.setPlainText(PlainText(bytes));
    }
    doc.setUndoRedoEnabled(undo);
    return rich;
}

} // namespace sonavix
