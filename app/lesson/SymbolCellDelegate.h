#pragma once
// Draws the symbol list's cells with the ink of the symbol font centred in the row
// (common/SymbolFont.h says why).

#include <QStyledItemDelegate>

namespace sonavix {

class SymbolCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace sonavix
