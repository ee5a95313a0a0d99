#pragma once
// Draws the symbol list's cells with the ink of the symbol font centred in the row. The
// phonetic face reserves much room above and below its glyphs (for diacritics), so centring its
// line box would cut the symbols off in rows as low as the list's.

#include <QStyledItemDelegate>

namespace sonavix {

class SymbolCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace sonavix
