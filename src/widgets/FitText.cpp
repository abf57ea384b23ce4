#include "widgets/FitText.h"

#include <QFontMetrics>

QString FitTextToWidth(const QString& text, const QFontMetrics& metrics, int maxWidth,
                       const QString& ellipsis)
{
    QString base = text;
    QString result = text;
    while (!result.isEmpty() && metrics.horizontalAdvance(result) > maxWidth) {
        if (base.size() < 2) {
            result.chop(1);
        } else {
            base.chop(1);
            result = base + ellipsis;
        }
    }
    return result;
}
