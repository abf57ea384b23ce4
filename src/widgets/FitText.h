#pragma once

#include <QString>

class QFontMetrics;

// Shortens text from its end, adding ellipsis, until it fits maxWidth pixels in the metrics' font;
// once only one character of the text is left, the ellipsis itself is eaten from the end.
QString FitTextToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth,
                       const QString& ellipsis);
