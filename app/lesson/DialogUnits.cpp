#include "lesson/DialogUnits.h"

#include <QFontMetrics>

#include <cstdint>
#include <cstdlib>

namespace sonavix {

QFont DialogFont() {
    QFont font(QStringLiteral("AR PL UMing CN"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::Serif);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int extent = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(extent / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const int64_t product = int64_t{a} * b;
    const int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    const int64_t result = negative ? -magnitude : magnitude;
    return result > INT32_MAX || result < INT32_MIN ? -1 : static_cast<int>(result);
}

QRect DluToPixels(const DialogBaseUnits& units, int x, int y, int width, int height) {
    // Position and size are converted separately, as the dialog manager creates its controls.
    return {MulDiv(x, units.cx, 4), MulDiv(y, units.cy, 8), MulDiv(width, units.cx, 4),
            MulDiv(height, units.cy, 8)};
}

QSize DluToPixels(const DialogBaseUnits& units, int width, int height) {
    return {MulDiv(width, units.cx, 4), MulDiv(height, units.cy, 8)};
}

} // namespace sonavix
