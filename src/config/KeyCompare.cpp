#include "config/KeyCompare.h"

namespace {

// Simple (one-to-one) mappings of a single code unit; a unit whose mapping would leave the
// basic plane (none does today) stays as it is.
char16_t foldUnit(char16_t c)
{
    const char32_t folded = QChar::toCaseFolded(char32_t(c));
    return folded <= 0xFFFF ? char16_t(folded) : c;
}

char16_t upperUnit(char16_t c)
{
    const char32_t upper = QChar::toUpper(char32_t(c));
    return upper <= 0xFFFF ? char16_t(upper) : c;
}

char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

} // namespace

bool SameTextFolded(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y && foldUnit(x) != foldUnit(y))
            return false;
    }
    return true;
}

QString HashFormOf(const QString& key)
{
    QString form = key;
    for (QChar& c : form)
        c = QChar(upperUnit(foldUnit(c.unicode())));
    return form;
}

bool SameTextAscii(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i].unicode()) != asciiLower(b[i].unicode()))
            return false;
    return true;
}

QString FoldedFormOf(const QString& key)
{
    QString form = key;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t c = key[i].unicode();
        const char16_t folded = foldUnit(c);
        if (folded != c)
            form[i] = QChar(folded);
    }
    return form;
}

QString AsciiLowerFormOf(const QString& key)
{
    QString form = key;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t c = key[i].unicode();
        if (c >= u'A' && c <= u'Z')
            form[i] = QChar(asciiLower(c));
    }
    return form;
}
