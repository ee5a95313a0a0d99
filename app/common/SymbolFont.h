#pragma once
// The phonetic face whose ASCII glyphs are the sound symbols, and where to put its baseline.
// The face reserves much room above and below its glyphs (for diacritics), so centring its line
// box would push the symbols off boxes as low as the list's rows; every place that draws symbols
// centres their ink instead, measured on the same codes so that all of them share one baseline.

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace sonavix {

// The family the font file declares; it is added for the process at start-up.
inline constexpr char kSymbolFontFamily[] = "Sonavix Phonetic Plain";
inline constexpr char kSymbolFontFile[] = "Svphonet.ttf";

// The symbol face, bold, at a pixel size.
QFont SymbolFont(int pixels);

// The baseline, from the top of a box `height` pixels high that starts at `top`, that puts the
// ink of the symbol codes in the middle of the box.
int InkCentredBaseline(const QFontMetrics& metrics, int top, int height);

} // namespace sonavix
