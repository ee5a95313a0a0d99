#include "lesson/SymbolCellDelegate.h"

#include "common/SymbolFont.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

namespace sonavix {

void SymbolCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
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
