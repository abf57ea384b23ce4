#include "core/DelimitedText.h"

namespace {

bool IsBlank(QChar ch)
{
    return ch.unicode() >= 1 && ch.unicode() <= 0x20;
}

} // namespace

QString JoinDelimited(const QStringList& items, QChar delimiter, QChar quote)
{
    if (items.size() == 1 && items.first().isEmpty())
        return QString(2, quote);
    QString result;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& item = items.at(i);
        bool needsQuotes = false;
        for (QChar ch : item) {
            if (ch.unicode() <= 0x20 || ch == quote || ch == delimiter) {
                needsQuotes = true;
                break;
            }
        }
        if (i > 0)
            result += delimiter;
        if (needsQuotes) {
            QString doubled = item;
            doubled.replace(quote, QString(2, quote));
            result += quote + doubled + quote;
        } else {
            result += item;
        }
    }
    return result;
}

QStringList SplitDelimited(const QString& source, QChar delimiter, QChar quote)
{
    QString text = source;
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);

    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && IsBlank(text.at(i)))
        ++i;
    while (i < n) {
        QString item;
        if (text.at(i) == quote) {
            ++i;
            while (i < n) {
                if (text.at(i) == quote) {
                    if (i + 1 < n && text.at(i + 1) == quote) {
                        item += quote;
                        i += 2;
                        continue;
                    }
                    ++i; // the closing quote
                    break;
                }
                item += text.at(i++);
            }
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i).unicode() > 0x20 && text.at(i) != delimiter)
                ++i;
            item = text.mid(start, i - start);
        }
        items.append(item);
        while (i < n && IsBlank(text.at(i)))
            ++i;
        if (i < n && text.at(i) == delimiter) {
            if (i == n - 1)
                items.append(QString());
            ++i;
            while (i < n && IsBlank(text.at(i)))
                ++i;
        }
    }
    return items;
}
