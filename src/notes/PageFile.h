#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// One page as read at start. A page known from the page index comes without its text
// (TextRead false): the store's ReadPageText reads it when the page is first needed.
struct TPageItem
{
    int Index = 0;
    QString FileName;
    QString Title;
    QString Text;
    bool TextRead = true;
};
using TPageItems = QList<TPageItem>;

// How a page file reads: line 1 holds its position (the key), line 2 the title, line 3 is empty
// and the text follows.
namespace PageFile {

// The key is looked for in this many bytes at the start of the file.
inline constexpr int kKeyWindowBytes = 16;

// The integer on the first line of a page file, read from its first 16 bytes; false when that
// line holds none.
bool ParseKey(const QByteArray& data, int& key);

// Fills page's title and text from a page file's text, without a string per line: the title is
// the second line, the text every line from the fourth on, each ended by CR LF. Lines end as
// SplitLines has them end, and a NUL ends the text.
void Fill(TPageItem& page, QStringView text);

} // namespace PageFile
