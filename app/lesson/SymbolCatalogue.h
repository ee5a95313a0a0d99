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
    std::span<const char* const> ipa; // UTF-8, one per code
};

// Where symbol n stands: its row and its index in the row (column index + 1 of the list).
struct SymbolPlace {
    int row;
    int index;
};

// The rows in list order; numbers run row by row, left to right, from 0.
const std::array<SymbolRow, kRowCount>& SymbolRows();

// All codes in catalogue order.
QStringList SymbolCodes();

// {-1, -1} for a number outside 0..44.
SymbolPlace PlaceOf(int n);
// The number of the symbol at index of row, or -1 where the row has no such cell.
int NumberAt(int row, int index);
// The row's caption without its colon ("短元音"); empty outside 0..4.
QString RowName(int row);
// What a screen reader says for symbol n: its row and its IPA ("短元音 ɪ"); empty outside 0..44.
QString SpokenName(int n);
// The IPA of symbol n ("ɪ"); empty outside 0..44.
QString SymbolIpa(int n);

// The symbol delta rows above (negative) or below n at the same index, or the row's last symbol
// where that row is shorter; n itself when there is no such row (no wrap-around).
int SymbolInRow(int n, int rowDelta);

// Index of the first entry equal to code as a whole (case-sensitive), or -1.
int FindSymbol(const QStringList& codes, const QString& code);

// Lesson file names inside the program directory, for symbol number n.
QString RecordingFile(int n);        // "pho/n.mp3"
QString RulesFile(int n);            // "pho/n.rtf"
QString ExamplesFile(int n);         // "pho/n-n.rtf"
QString ExampleRecordingFile(int n); // "pho/n-n.mp3"

} // namespace sonavix
