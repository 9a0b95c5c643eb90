#pragma once

#include <QProxyStyle>

namespace app {

// The desktop's style, with the keyboard focus drawn as a solid frame in the
// highlight colour: the style's own faint line is lost on a bright screen
// or a coloured button.
class FocusStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};

} // namespace app
