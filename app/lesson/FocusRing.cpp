#include "lesson/FocusRing.h"

#include <QApplication>
#include <QPainter>
#include <QPen>

namespace sonavix {
namespace {

constexpr int kRingWidth = 2;

} // namespace

FocusRing::FocusRing(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { Follow(now); });
}

void FocusRing::Exempt(QWidget* widget) {
    m_exempt.append(widget);
    if (widget == m_target)
        Follow(widget);
}

void FocusRing::Follow(QWidget* focused) {
    QWidget* window = parentWidget();
    // A control's inner part (a combo box's edit field, a pane's viewport) rings the control.
    QWidget* control = focused;
    while (control != nullptr && control->parentWidget() != window)
        control = control->parentWidget();
    if (control == nullptr || control == this || m_exempt.contains(control) ||
        focused->window() != window) {
        m_target = nullptr;
        hide();
        return;
    }
    m_target = control;
    const int grow = kRingWidth + 1;
    setGeometry(control->geometry().adjusted(-grow, -grow, grow, grow) & window->rect());
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const qreal inset = kRingWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

} // namespace sonavix
