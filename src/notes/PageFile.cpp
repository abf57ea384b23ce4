#include "notes/PageFile.h"

#include "core/PubUtils.h"
#include "core/TextFile.h"

#include <algorithm>

using namespace Qt::StringLiterals;

bool PageFile::ParseKey(const QByteArray& data, int& key)
{
    QString text = DecodeText(data.left(kKeyWindowBytes));
    qsizetype cut = text.indexOf(u'\r');
    if (cut >= 0)
        text.truncate(cut);
    cut = text.indexOf(u'\n');
    if (cut >= 0)
        text.truncate(cut);
    if (!IsInteger(text))
        return false;
    key = StrToIntDef(text, 0);
    return true;
}

void PageFile::Fill(TPageItem& page, QStringView text)
{
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    const auto pastBreak = [&text](qsizetype at) {
        if (at < text.size() && text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            return at + 2;
        return std::min(at + 1, text.size());
    };
    qsizetype pos = 0;
    page.Title.clear();
    for (int line = 0; line < 3 && pos < text.size(); ++line) {
        qsizetype end = pos;
        while (end < text.size() && !isBreak(text[end]))
            ++end;
        if (line == 1)
            page.Title = text.sliced(pos, end - pos).toString();
        pos = pastBreak(end);
    }
    // Every break becomes CR LF, and an unended last line gets one.
    const QStringView rest = text.sliced(pos);
    QString body;
    body.reserve(rest.size() + 2);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (!isBreak(rest[i])) {
            body += rest[i];
            continue;
        }
        if (rest[i] == u'\r' && i + 1 < rest.size() && rest[i + 1] == u'\n')
            ++i;
        body += u"\r\n"_s;
    }
    if (!rest.isEmpty() && !isBreak(rest.back()))
        body += u"\r\n"_s;
    page.Text = std::move(body);
}
