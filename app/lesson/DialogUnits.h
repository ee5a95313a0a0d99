#pragma once
// Dialog units to pixels, the way the dialog manager of the original platform converts a
// template: one horizontal unit is a quarter of the dialog font's average character width, one
// vertical unit an eighth of its height.

#include <QFont>
#include <QRect>
#include <QSize>

namespace sonavix {

struct DialogBaseUnits {
    int cx = 0; // average character width in pixels
    int cy = 0; // character height in pixels
};

// The dialog font: a Song/Ming face standing in for the template's 9-point font (12 pixels).
QFont DialogFont();

// Average width from the extent of "A..Za..z", rounded as the dialog manager rounds it.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// a * b / c rounded to nearest, halves away from zero; -1 when c is 0 or the result overflows.
int MulDiv(int a, int b, int c);

QRect DluToPixels(const DialogBaseUnits& units, int x, int y, int width, int height);
QSize DluToPixels(const DialogBaseUnits& units, int width, int height);

} // namespace sonavix
