#pragma once

#include <QStyledItemDelegate>

// Paints a cell as its one line of text in the cell's font and alignment, on
// the selection's colour when selected, straight with the painter. The
// style's way lays out every cell as a text document with room for icons and
// check boxes; for a list rewritten four times a second that was most of
// what the open window cost.
class PlainTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
