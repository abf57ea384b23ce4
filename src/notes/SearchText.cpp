#include "notes/SearchText.h"

QString UpperCaseUnits(const QString& text)
{
    QString upper = text;
    for (QChar& unit : upper)
        unit = unit.toUpper();
    return upper;
}

bool SameSearchText(const QString& a, const QString& b, bool matchCase)
{
    if (a.size() != b.size())
        return false;
    if (matchCase)
        return a == b;
    return UpperCaseUnits(a) == UpperCaseUnits(b);
}

int SearchText(const QString& text, int selStart, int selLength, int options, const QString& findText)
{
    const qint64 n = text.size();
    const qint64 m = findText.size();
    if (n <= 0 || m <= 0)
        return 0;

    qint64 start;
    qint64 count;
    qint64 step;
    if (options & soDown) {
        start = qint64(selStart) + selLength;
        count = n - start - m + 1;
        if (count < 0)
            return 0;
        step = 1;
    } else {
        start = qint64(selStart) - m;
        count = start + 1;
        step = -1;
    }
    if (start < 0 || start > n)
        return 0;

    const bool matchCase = options & soMatchCase;
    const QString haystack = matchCase ? text : UpperCaseUnits(text);
    const QString needle = matchCase ? findText : UpperCaseUnits(findText);
    const QStringView hay(haystack);
    for (qint64 p = start; count > 0; p += step, --count) {
        // An upward search from a selection that lies beyond the text would otherwise compare
        // past its end; such candidates simply do not match.
        if (p + m <= n && hay.sliced(p, m) == needle)
            return int(p + 1);
    }
    return 0;
}

QString ReplaceAllText(const QString& text, const QString& findText, const QString& replacement,
                       bool matchCase)
{
    if (findText.isEmpty() || text.size() < findText.size())
        return text;
    const QString haystack = matchCase ? text : UpperCaseUnits(text);
    const QString needle = matchCase ? findText : UpperCaseUnits(findText);
    QString result;
    result.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype hit = haystack.indexOf(needle, from, Qt::CaseSensitive);
        if (hit < 0)
            break;
        result += QStringView(text).sliced(from, hit - from);
        result += replacement;
        from = hit + needle.size();
    }
    result += QStringView(text).sliced(from);
    return result;
}
