#include "plaintextdelegate.h"

#include <QApplication>
#include <QPainter>

void PlainTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : option.state & QStyle::State_Active   ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));

    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        const QVariant font = index.data(Qt::FontRole);
        const QFont cellFont = font.isValid() ? font.value<QFont>() : option.font;
        // The margin the style keeps on either side of an item's text.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
        const QRect room = option.rect.adjusted(margin, 0, -margin, 0);
        const QFontMetrics metrics(cellFont);
        // Measured only when it may not fit: texts are short, cells wide.
        const QString shown = text.size() * metrics.maxWidth() <= room.width()
                                  ? text
                                  : metrics.elidedText(text, option.textElideMode, room.width());
        const int alignment = index.data(Qt::TextAlignmentRole).toInt();
        painter->save();
        painter->setFont(cellFont);
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(room, Qt::TextSingleLine | Qt::AlignVCenter | (alignment & Qt::AlignHorizontal_Mask), shown);
        painter->restore();
    }

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}
