#include "lesson/SymbolCellDelegate.h"

#include "common/SymbolFont.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace sonavix {
namespace {

constexpr int kFocusWidth = 2;

} // namespace

void SymbolCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    // The view marks its current cell while it has the focus; the mark is drawn here, the same
    // in every style, instead of a focus rectangle that some styles show only after a Tab.
    const bool focused = opt.state & QStyle::State_HasFocus;
    opt.state &= ~QStyle::State_HasFocus;
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    if (focused) {
        painter->save();
        QPen pen(opt.palette.color(QPalette::Active, QPalette::Highlight), kFocusWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        const qreal inset = kFocusWidth / 2.0 + 1;
        painter->drawRect(QRectF(opt.rect).adjusted(inset, inset, -inset, -inset));
        painter->restore();
    }
    if (text.isEmpty())
        return;

    const QFontMetrics metrics(opt.font);
    const QRect cell = opt.rect;
    const int baseline = InkCentredBaseline(metrics, cell.top(), cell.height());
    const int left =
        cell.left() + style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, widget) + 1;
    painter->save();
    painter->setClipRect(cell);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(QPalette::Text));
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (foreground.canConvert<QBrush>())
        painter->setPen(foreground.value<QBrush>().color());
    painter->drawText(QPoint(left, baseline), text);
    painter->restore();
}

} // namespace sonavix
