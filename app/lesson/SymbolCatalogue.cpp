#include "lesson/SymbolCatalogue.h"

#include <algorithm>
#include <iterator>

namespace sonavix {
namespace {

constexpr const char* kShortVowels[] = {"i", "e", "A", "Q", "C", "u", "E"};
constexpr const char* kLongVowels[] = {"i:", "B:", "C:", "u:", "E:"};
constexpr const char* kDiphthongs[] = {"ei", "ai", "Ci", "iE", "ZE", "CE", "uE", "Eu", "au"};
constexpr const char* kVoiceless[] = {"p", "t", "k", "f", "W", "s", "F", "h", "tF"};
constexpr const char* kVoiced[] = {"b", "d", "g", "v", "T", "z", "V", "m",
                                   "n", "N", "l", "r", "j", "w", "dV"};

// What a screen reader says for each code: the IPA the font draws for it (UTF-8).
constexpr const char* kShortVowelsIpa[] = {"ɪ", "e", "æ", "ʌ", "ɒ", "ʊ", "ə"};
constexpr const char* kLongVowelsIpa[] = {"iː", "ɑː", "ɔː", "uː", "ɜː"};
constexpr const char* kDiphthongsIpa[] = {"eɪ", "aɪ", "ɔɪ", "ɪə", "eə", "ɔə", "ʊə", "əʊ", "aʊ"};
constexpr const char* kVoicelessIpa[] = {"p", "t", "k", "f", "θ", "s", "ʃ", "h", "tʃ"};
constexpr const char* kVoicedIpa[] = {"b", "d", "ɡ", "v", "ð", "z", "ʒ", "m",
                                      "n", "ŋ", "l", "r", "j", "w", "dʒ"};
static_assert(std::size(kShortVowels) == std::size(kShortVowelsIpa) &&
              std::size(kLongVowels) == std::size(kLongVowelsIpa) &&
              std::size(kDiphthongs) == std::size(kDiphthongsIpa) &&
              std::size(kVoiceless) == std::size(kVoicelessIpa) &&
              std::size(kVoiced) == std::size(kVoicedIpa));

const std::array<SymbolRow, kRowCount> kRows = {{
    {"短元音：", kShortVowels, kShortVowelsIpa},
    {"长元音：", kLongVowels, kLongVowelsIpa},
    {"双元音：", kDiphthongs, kDiphthongsIpa},
    {"清辅音：", kVoiceless, kVoicelessIpa},
    {"浊辅音：", kVoiced, kVoicedIpa},
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

SymbolPlace PlaceOf(int n) {
    if (n < 0)
        return {-1, -1};
    for (int row = 0; row < kRowCount; ++row) {
        const int length = static_cast<int>(kRows[row].codes.size());
        if (n < length)
            return {row, n};
        n -= length;
    }
    return {-1, -1};
}

int NumberAt(int row, int index) {
    if (row < 0 || row >= kRowCount || index < 0 ||
        index >= static_cast<int>(kRows[row].codes.size()))
        return -1;
    int n = index;
    for (int r = 0; r < row; ++r)
        n += static_cast<int>(kRows[r].codes.size());
    return n;
}

int SymbolInRow(int n, int rowDelta) {
    const SymbolPlace place = PlaceOf(n);
    const int row = place.row + rowDelta;
    if (place.row < 0 || row < 0 || row >= kRowCount)
        return n;
    const int last = static_cast<int>(kRows[row].codes.size()) - 1;
    return NumberAt(row, std::min(place.index, last));
}

QString RowName(int row) {
    if (row < 0 || row >= kRowCount)
        return {};
    QString label = QString::fromUtf8(kRows[row].label);
    if (label.endsWith(QChar(0xFF1A))) // the full-width colon of the caption
        label.chop(1);
    return label;
}

QString SpokenName(int n) {
    const SymbolPlace place = PlaceOf(n);
    if (place.row < 0)
        return {};
    return RowName(place.row) + QLatin1Char(' ') + SymbolIpa(n);
}

QString SymbolIpa(int n) {
    const SymbolPlace place = PlaceOf(n);
    if (place.row < 0)
        return {};
    return QString::fromUtf8(kRows[place.row].ipa[place.index]);
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
