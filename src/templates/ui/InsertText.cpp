#include "templates/ui/InsertText.h"

#include "core/PubUtils.h"
#include "notes/ui/PadMemo.h"

QString EvaluateTemplate(const QString& templateText, const TExprClock& clock)
{
    try {
        TExprParser parser(clock);
        parser.ParseAndEvaluate(templateText);
        QString result = parser.ResultText();
        // A value too long for a page fails like a text too long for the language.
        if (result.size() > TPadMemo::MaxInsertLength)
            return templateText;
        return result;
    } catch (...) {
        // Any failure of the language, a number conversion or the arithmetic: the template is
        // taken as the text itself, without a word to the user.
        return templateText;
    }
}

QString CustomItemText(const QString& stored)
{
    QString text = CommaTextToText(stored);
    // Only blanks and control characters are trimmed; an ideographic space stays.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    text = text.mid(begin, end - begin);
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text.left(100);
}
