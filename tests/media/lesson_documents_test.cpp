// The 90 lesson documents as the window shows them: each one is rich text that the program's
// reader turns into Chinese text, and each examples document lists the lesson source's words,
// glosses and transcriptions, the transcriptions drawn in the symbol font and the letters that
// give the sound set off in bold and colour.

#include "rtf/RtfReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kSymbols = 45;
const QString kPho = SONAVIX_SOURCE_DIR "/assets/pho/";
const QString kSource = SONAVIX_SOURCE_DIR "/tools/media/lessons/examples.json";
const QString kSymbolFont = "Sonavix Phonetic Plain";

struct SourceWord {
    QString word;
    QStringList targets; // bracketed letters of the spelling, in order
    QString transcription;
    QString gloss;
};

struct SourceLesson {
    QString code;
    std::vector<SourceWord> words;
};

std::vector<SourceLesson> LoadSource() {
    QFile file(kSource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<SourceLesson> lessons;
    static const QRegularExpression target(R"(\[([^\]]*)\])");
    for (const auto lessonValue : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject lesson = lessonValue.toObject();
        SourceLesson parsed{lesson["code"].toString(), {}};
        for (const auto wordValue : lesson["words"].toArray()) {
            const QJsonObject w = wordValue.toObject();
            SourceWord word{w["word"].toString(), {}, w["codes"].toString(), w["zh"].toString()};
            word.transcription.remove(' ');
            for (const auto& m : target.globalMatch(w["spell"].toString()))
                word.targets << m.captured(1);
            parsed.words.push_back(word);
        }
        lessons.push_back(parsed);
    }
    return lessons;
}

const std::vector<SourceLesson>& Source() {
    static const std::vector<SourceLesson> lessons = LoadSource();
    return lessons;
}

// Reads a document; returns false (with a message) when the file is missing or not rich text.
bool Load(const QString& name, QTextDocument& doc) {
    QFile file(kPho + name);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing " << name.toStdString();
        return false;
    }
    if (!sonavix::ReadRtf(file.readAll(), doc)) {
        ADD_FAILURE() << name.toStdString() << " was not read as rich text";
        return false;
    }
    return true;
}

bool HasChinese(const QString& text) {
    for (const QChar ch : text)
        if (ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF)
            return true;
    return false;
}

bool InSymbolFont(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    return !families.isEmpty() && families.front() == kSymbolFont;
}

// One numbered word line of an examples document, split at its tabs.
struct WordLine {
    QString word, transcription, gloss;
    QStringList highlighted; // bold fragments of the word in a colour of their own
    bool transcriptionInSymbolFont = false;
    bool wordInSymbolFont = false;
};

std::vector<WordLine> WordLines(const QTextDocument& doc) {
    static const QRegularExpression numbered(R"(^\d+\.\t)");
    std::vector<WordLine> lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!numbered.match(block.text()).hasMatch())
            continue;
        const QStringList fields = block.text().split('\t');
        if (fields.size() != 4) {
            ADD_FAILURE() << "word line with " << fields.size()
                          << " fields: " << block.text().toStdString();
            continue;
        }
        // Without the paragraph's tab stops the columns fall apart on a long word.
        EXPECT_EQ(block.blockFormat().tabPositions().size(), 3) << block.text().toStdString();
        WordLine line{fields[1], fields[2], fields[3], {}, false, false};
        const int wordStart = fields[0].size() + 1;
        const int wordEnd = wordStart + fields[1].size();
        const int transStart = wordEnd + 1;
        QColor plain;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int at = fragment.position() - block.position();
            const QTextCharFormat format = fragment.charFormat();
            if (at == 0)
                plain = format.foreground().color();
            if (at >= wordStart && at < wordEnd) {
                line.wordInSymbolFont |= InSymbolFont(format);
                if (format.fontWeight() == QFont::Bold && format.foreground().color() != plain)
                    line.highlighted << fragment.text();
            }
            if (at == transStart)
                line.transcriptionInSymbolFont = InSymbolFont(format) &&
                                                 fragment.text().startsWith(fields[2]) &&
                                                 format.fontWeight() == QFont::Bold;
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(LessonDocuments, EveryDocumentReadsAsChineseRichText) {
    for (int n = 0; n < kSymbols; ++n) {
        const QString rules = QString("%1.rtf").arg(n);
        const QString examples = QString("%1-%1.rtf").arg(n);
        QTextDocument doc;
        if (Load(rules, doc)) {
            const QString text = doc.toPlainText();
            EXPECT_TRUE(HasChinese(text)) << rules.toStdString();
            for (const char* heading : {"发音规则", "发音要领", "常见拼写", "易混辨析"})
                EXPECT_TRUE(text.contains(QString::fromUtf8(heading)))
                    << rules.toStdString() << " lacks " << heading;
        }
        if (Load(examples, doc)) {
            const QString text = doc.toPlainText();
            EXPECT_TRUE(text.startsWith(QString::fromUtf8("发音举例"))) << examples.toStdString();
            EXPECT_TRUE(text.contains(QString::fromUtf8("例句"))) << examples.toStdString();
        }
    }
}

TEST(LessonDocuments, TitleShowsTheLessonSymbolInTheSymbolFont) {
    ASSERT_EQ(Source().size(), size_t(kSymbols));
    for (int n = 0; n < kSymbols; ++n) {
        for (const QString& name : {QString("%1.rtf").arg(n), QString("%1-%1.rtf").arg(n)}) {
            QTextDocument doc;
            if (!Load(name, doc))
                continue;
            const QString expected = "/" + Source()[size_t(n)].code + "/";
            bool found = false;
            for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
                found |=
                    it.fragment().text() == expected && InSymbolFont(it.fragment().charFormat());
            EXPECT_TRUE(found) << name.toStdString() << " title lacks " << expected.toStdString();
        }
    }
}

TEST(LessonDocuments, ExampleWordsAgreeWithTheLessonSource) {
    ASSERT_EQ(Source().size(), size_t(kSymbols));
    for (int n = 0; n < kSymbols; ++n) {
        const std::string name = std::to_string(n) + "-" + std::to_string(n) + ".rtf";
        QTextDocument doc;
        if (!Load(QString::fromStdString(name), doc))
            continue;
        const std::vector<WordLine> lines = WordLines(doc);
        const std::vector<SourceWord>& words = Source()[size_t(n)].words;
        ASSERT_EQ(lines.size(), words.size()) << name;
        for (size_t i = 0; i < words.size(); ++i) {
            const WordLine& line = lines[i];
            const SourceWord& word = words[i];
            EXPECT_EQ(line.word.toStdString(), word.word.toStdString())
                << name << " line " << i + 1;
            EXPECT_EQ(line.transcription.toStdString(),
                      ("/" + word.transcription + "/").toStdString())
                << name;
            EXPECT_EQ(line.gloss.toStdString(), word.gloss.toStdString())
                << name << " " << word.word.toStdString();
            EXPECT_TRUE(line.transcriptionInSymbolFont) << name << " " << word.word.toStdString();
            EXPECT_FALSE(line.wordInSymbolFont) << name << " " << word.word.toStdString();
            EXPECT_EQ(line.highlighted.join('|').toStdString(),
                      word.targets.join('|').toStdString())
                << name << " " << word.word.toStdString();
        }
    }
}

} // namespace
