#include "app/focusstyle.h"

#include <QPainter>
#include <QStyleOption>

namespace app {

namespace {

constexpr int frameWidth = 2;

void drawFocusFrame(const QStyleOption &option, const QRect &around, QPainter &painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(option.palette.color(QPalette::Highlight), frameWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    // A pen's width straddles its line: half a width inwards keeps it all inside.
    painter.drawRect(QRectF(around).adjusted(frameWidth / 2.0, frameWidth / 2.0, -frameWidth / 2.0, -frameWidth / 2.0));
    painter.restore();
}

} // namespace

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    if (element == PE_FrameFocusRect) {
        drawFocusFrame(*option, option->rect, *painter);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

// Buttons show their focus in their bevel, which some styles only tint.
void FocusStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange))
        drawFocusFrame(*option, option->rect.adjusted(1, 1, -1, -1), *painter);
}

} // namespace app
