#pragma once
// The 45 sound symbols: their codes (drawn by the phonetic font), their rows and columns in the
// symbol list, and the names of each symbol's lesson files.

#include <QString>
#include <QStringList>

#include <array>
#include <span>

namespace sonavix {

inline constexpr int kSymbolCount = 45;
inline constexpr int kRowCount = 5;
// Column 0 of the list holds the row's item; symbols stand in columns 1..15.
inline constexpr int kListColumns = 16;

struct SymbolRow {
    const char* label; // UTF-8 caption left of the row
    std::span<const char* const> codes;
};

// The rows in list order; numbers run row by row, left to right, from 0.
const std::array<SymbolRow, kRowCount>& SymbolRows();

// All codes in catalogue order.
QStringList SymbolCodes();

// Index of the first entry equal to code as a whole (case-sensitive), or -1.
int FindSymbol(const QStringList& codes, const QString& code);

// Lesson file names inside the program directory, for symbol number n.
QString RecordingFile(int n);        // "pho/n.mp3"
QString RulesFile(int n);            // "pho/n.rtf"
QString ExamplesFile(int n);         // "pho/n-n.rtf"
QString ExampleRecordingFile(int n); // "pho/n-n.mp3"

} // namespace sonavix
