#include "common/SymbolFont.h"

#include <QRect>

namespace sonavix {
namespace {

// Every code of the catalogue: their ink together spans the tallest and the deepest symbol.
constexpr char kAllCodes[] = "ieAQCuEBZWFTVNpktfshbdgvzmnlrjw:";

} // namespace

QFont SymbolFont(int pixels) {
    QFont font(QString::fromLatin1(kSymbolFontFamily));
    font.setBold(true);
    // Set explicitly, so the widget does not take the dialog font's hint (and with it another
    // substitute face, of other metrics, when the symbol font is missing).
    font.setStyleHint(QFont::AnyStyle);
    font.setPixelSize(pixels);
    return font;
}

int InkCentredBaseline(const QFontMetrics& metrics, int top, int height) {
    const QRect ink = metrics.tightBoundingRect(QLatin1String(kAllCodes));
    return top + (height - ink.height()) / 2 - ink.top();
}

} // namespace sonavix
