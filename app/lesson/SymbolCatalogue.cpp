#include "lesson/SymbolCatalogue.h"

namespace sonavix {
namespace {

constexpr const char* kShortVowels[] = {"i", "e", "A", "Q", "C", "u", "E"};
constexpr const char* kLongVowels[] = {"i:", "B:", "C:", "u:", "E:"};
constexpr const char* kDiphthongs[] = {"ei", "ai", "Ci", "iE", "ZE", "CE", "uE", "Eu", "au"};
constexpr const char* kVoiceless[] = {"p", "t", "k", "f", "W", "s", "F", "h", "tF"};
constexpr const char* kVoiced[] = {"b", "d", "g", "v", "T", "z", "V", "m",
                                   "n", "N", "l", "r", "j", "w", "dV"};

const std::array<SymbolRow, kRowCount> kRows = {{
    {"短元音：", kShortVowels},
    {"长元音：", kLongVowels},
    {"双元音：", kDiphthongs},
    {"清辅音：", kVoiceless},
    {"浊辅音：", kVoiced},
}};

QString LessonFile(int n, const char* extension, bool twice) {
    const QString number = QString::number(n);
    return QStringLiteral("pho/") + number + (twice ? QStringLiteral("-") + number : QString()) +
           QLatin1String(extension);
}

} // namespace

const std::array<SymbolRow, kRowCount>& SymbolRows() {
    return kRows;
}

QStringList SymbolCodes() {
    QStringList codes;
    codes.reserve(kSymbolCount);
    for (const SymbolRow& row : kRows)
        for (const char* code : row.codes)
            codes.append(QString::fromLatin1(code));
    return codes;
}

int FindSymbol(const QStringList& codes, const QString& code) {
    for (int i = 0; i < codes.size(); ++i)
        if (codes[i] == code)
            return i;
    return -1;
}

QString RecordingFile(int n) {
    return LessonFile(n, ".mp3", false);
}
QString RulesFile(int n) {
    return LessonFile(n, ".rtf", false);
}
QString ExamplesFile(int n) {
    return LessonFile(n, ".rtf", true);
}
QString ExampleRecordingFile(int n) {
    return LessonFile(n, ".mp3", true);
}

} // namespace sonavix
