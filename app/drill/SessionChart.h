#pragma once
// The progress view's small chart: one bar per session of a contrast (its accuracy), the latest
// on the right, from a QVariantList of doubles in Qt::UserRole.
#include <QStyledItemDelegate>

namespace sonavix::drill {

class SessionChartDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kBars = 10;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace sonavix::drill
