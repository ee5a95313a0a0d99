#include "drill/SessionChart.h"

#include <QPainter>

#include <algorithm>

namespace sonavix::drill {

void SessionChartDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, QModelIndex());
    const QVariantList points = index.data(Qt::UserRole).toList();
    const QRect box = option.rect.adjusted(4, 3, -4, -3);
    if (box.width() < kBars || box.height() < 4)
        return;
    painter->save();
    painter->setPen(QColor(0xcc, 0xcc, 0xcc));
    painter->drawLine(box.bottomLeft(), box.bottomRight());
    const int first = std::max(0, int(points.size()) - kBars);
    const int slot = box.width() / kBars;
    for (int i = first; i < points.size(); ++i) {
        const double a = std::clamp(points[i].toDouble(), 0.0, 1.0);
        const int h = std::max(1, int(a * box.height()));
        const int x = box.left() + (i - first) * slot;
        const QColor colour = a >= 0.8   ? QColor(0x1a, 0x7f, 0x37)
                              : a >= 0.5 ? QColor(0xd0, 0x9a, 0x00)
                                         : QColor(0xb3, 0x26, 0x1e);
        painter->fillRect(QRect(x + 1, box.bottom() - h + 1, slot - 2, h), colour);
    }
    painter->restore();
}

} // namespace sonavix::drill
