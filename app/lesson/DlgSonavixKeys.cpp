// The lesson window's keys. Each one runs the command its button or a click runs, so a move by
// key plays the symbol exactly as clicking it does:
//   ← →  previous, next symbol     ↑ ↓  same place in the row above, below     Home End  first,
//   last Space  replay     L  loop on/off     E  examples     S  next speed F  reader     R
//   practice     D  drill
// Enter and Escape close the window (DlgSonavix.cpp); no other key closes anything.
#include "lesson/DlgSonavix.h"

#include <QKeyEvent>

namespace {

// Shift is allowed so that Caps Lock or a held Shift makes no difference to the letters.
bool IsPlain(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier;
}

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

bool IsShortcut(int key) {
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Space:
    case Qt::Key_L:
    case Qt::Key_E:
    case Qt::Key_S:
    case Qt::Key_F:
    case Qt::Key_R:
    case Qt::Key_D:
        return true;
    default:
        return IsArrow(key);
    }
}

} // namespace

bool CDlgSonavix::OnCommandKey(const QKeyEvent& key) {
    if (!IsPlain(key))
        return false;
    // Held keys repeat only the moves; a repeated toggle or play would stutter.
    const bool repeat = key.isAutoRepeat() && !IsArrow(key.key());
    switch (repeat ? Qt::Key_unknown : key.key()) {
    case Qt::Key_Left:
        OnPrev();
        return true;
    case Qt::Key_Right:
        OnNext();
        return true;
    case Qt::Key_Up:
        OnRowUp();
        return true;
    case Qt::Key_Down:
        OnRowDown();
        return true;
    case Qt::Key_Home:
        OnFirst();
        return true;
    case Qt::Key_End:
        OnLast();
        return true;
    case Qt::Key_Space:
        OnReplay();
        return true;
    case Qt::Key_L:
        OnLoopPlay();
        return true;
    case Qt::Key_E:
        OnPlayExample();
        return true;
    case Qt::Key_S:
        OnStepSpeed();
        return true;
    case Qt::Key_F:
        OpenReader();
        return true;
    case Qt::Key_R:
        emit openPracticeRequested();
        return true;
    case Qt::Key_D:
        emit openDrillRequested();
        return true;
    default:
        return repeat && IsShortcut(key.key());
    }
}

bool CDlgSonavix::OnListKey(const QKeyEvent& key) {
    if (OnCommandKey(key))
        return true;
    // Whatever else would move the list's current cell (paging, typing a symbol's letters to
    // search for it) is swallowed: the current cell is the current symbol. Tab and shortcuts
    // with Ctrl or Alt keep their meaning.
    if (!IsPlain(key))
        return false;
    switch (key.key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        return !key.text().isEmpty();
    }
}
