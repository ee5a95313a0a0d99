#include "practice/PracticeItems.h"

#include "common/BoundedFile.h"
#include "lesson/SymbolCatalogue.h"
#include "practice/WordIndex.h"

#include "mplay/DecodeMono.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace sonavix::practice {
namespace {

constexpr qint64 kMaxRecordingBytes = 16 << 20;
// The word index marks where each word's sound starts and ends; a little more keeps its
// stop closure and release.
constexpr double kSpanRoom = 0.06;

QString WordIndexFile(int symbol) {
    QString file = ExampleRecordingFile(symbol);
    file.chop(4); // ".mp3"
    return file + QStringLiteral(".json");
}

} // namespace

PracticeItem SymbolItem(int symbol) {
    return {QString::number(symbol),
            QStringLiteral("/%1/ 本音").arg(SymbolIpa(symbol)),
            false,
            0,
            0,
            {}};
}

std::vector<PracticeItem> ItemsOf(const ProgramPaths& paths, int symbol) {
    std::vector<PracticeItem> items;
    if (SymbolIpa(symbol).isEmpty())
        return items;
    const QString number = QString::number(symbol);
    items.push_back(SymbolItem(symbol));
    std::vector<WordSpan> spans;
    if (!ReadWordIndexFile(QFile::encodeName(paths.Data(WordIndexFile(symbol))).toStdString(),
                           spans))
        return items;
    for (const WordSpan& w : spans) {
        const QString word = QString::fromStdString(w.word);
        items.push_back({number + QLatin1Char('-') + word, word, true, w.start, w.end, {}});
    }
    return items;
}

SoundPtr LoadModel(const ProgramPaths& paths, int symbol, const PracticeItem& item) {
    const QString file = !item.modelFile.isEmpty() ? item.modelFile
                         : item.word               ? paths.Data(ExampleRecordingFile(symbol))
                                                   : paths.Data(RecordingFile(symbol));
    const std::optional<QByteArray> bytes = ReadBoundedFile(file, kMaxRecordingBytes);
    if (!bytes)
        return nullptr;
    std::vector<int16_t> mono;
    uint32_t rate = 0;
    if (!mplay::DecodeMono({reinterpret_cast<const uint8_t*>(bytes->constData()),
                            static_cast<size_t>(bytes->size())},
                           mono, rate))
        return nullptr;
    if (item.word && item.modelFile.isEmpty()) {
        // Clamped as doubles first: an index may hold any finite time.
        const auto at = [&](double t) {
            return static_cast<size_t>(std::clamp(t * rate, 0.0, static_cast<double>(mono.size())));
        };
        const size_t begin = at(item.start - kSpanRoom), end = at(item.end + kSpanRoom);
        if (end <= begin)
            return nullptr;
        mono = std::vector<int16_t>(mono.begin() + static_cast<std::ptrdiff_t>(begin),
                                    mono.begin() + static_cast<std::ptrdiff_t>(end));
    }
    // The model voice is a man's.
    return Analyse(std::move(mono), rate, speech::Voice::Male);
}

} // namespace sonavix::practice
