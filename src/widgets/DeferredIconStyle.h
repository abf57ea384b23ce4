#pragma once

#include <QProxyStyle>

// The desktop's own style, except that its standard icons are loaded when first drawn. A menu
// bar asks for its extension arrow as it is made; loading that image at once has Qt try every
// image-format plugin it has before the window can show, for an arrow seen only when the menu
// bar runs out of room.
class TDeferredIconStyle final : public QProxyStyle
{
public:
    // Wraps the style the application would use (its -style argument and QT_STYLE_OVERRIDE
    // included). Made after the application object, and handed to QApplication::setStyle.
    TDeferredIconStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
