#include "config/ui/SettingsLook.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

constexpr quint32 kSystemColorFlag = 0xFF000000u;

// The system colours a page can meet, by their index.
QColor systemColor(int index)
{
    const QPalette palette = QGuiApplication::palette();
    switch (index) {
    case 5: // window background
        return palette.color(QPalette::Base);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    default:
        return palette.color(QPalette::Window);
    }
}

} // namespace

QColor ColorFromSetting(TColor color)
{
    const auto bits = static_cast<quint32>(color);
    if ((bits & kSystemColorFlag) == kSystemColorFlag)
        return systemColor(int(bits & 0xFFu));
    return QColor(int(bits & 0xFFu), int((bits >> 8) & 0xFFu), int((bits >> 16) & 0xFFu));
}

TColor SettingFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return TColor(quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16));
}

QFont FontFromSetting(const TFontSetting& setting)
{
    QFont font(setting.Name.isEmpty() ? QGuiApplication::font().family() : setting.Name);
    if (setting.Size > 0)
        font.setPointSize(setting.Size);
    else if (setting.Size < 0)
        font.setPixelSize(-setting.Size);
    font.setBold(setting.Style & 1);
    font.setItalic(setting.Style & 2);
    font.setUnderline(setting.Style & 4);
    font.setStrikeOut(setting.Style & 8);
    return font;
}

TFontSetting SettingFromFont(const QFont& font, const QColor& color, quint8 charset)
{
    TFontSetting setting;
    setting.Name = font.family();
    setting.Size = font.pointSize() > 0 ? font.pointSize() : -font.pixelSize();
    setting.Style = quint8((font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) |
                           (font.strikeOut() ? 8 : 0));
    setting.Color = SettingFromColor(color);
    setting.Charset = charset;
    return setting;
}
