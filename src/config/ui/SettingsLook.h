#pragma once

#include "config/AppConfigMgr.h"

#include <QColor>
#include <QFont>

// How the stored font and colour values become Qt's, and back.
//
// A colour is 00BBGGRR (red in the low byte); FF0000nn is system colour nn, taken from the
// palette (5, the window background, is the palette's base colour). A font's size is in points,
// its style bits 1 bold, 2 italic, 4 underline, 8 strike-out.
QColor ColorFromSetting(TColor color);
TColor SettingFromColor(const QColor& color);
QFont FontFromSetting(const TFontSetting& setting);
// The setting of a font in a colour; the character set stays as it was (Qt has none).
TFontSetting SettingFromFont(const QFont& font, const QColor& color, quint8 charset);
