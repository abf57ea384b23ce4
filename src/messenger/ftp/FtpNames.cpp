#include "messenger/ftp/FtpNames.h"

#include "core/PubUtils.h"
#include "core/TextFile.h"

#include <algorithm>

QString HexText(const QString& text)
{
    return QString::fromLatin1(BytesToHex(AnsiFromText(text)));
}

bool IsHexText(const QString& hex)
{
    if (hex.size() % 2 != 0)
        return false;
    return std::all_of(hex.begin(), hex.end(), IsHexDigit);
}

QString TextFromHex(const QString& hex)
{
    return TextFromAnsi(HexToBytes(hex.toLatin1()));
}

QString DecodeLastSegment(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return TextFromHex(path);
    return path.left(slash + 1) + TextFromHex(path.mid(slash + 1));
}

bool IsPlainName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() == 0)
            return false;
    }
    return true;
}

namespace {
qsizetype LastSeparator(const QString& path)
{
    return std::max({path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'), path.lastIndexOf(u':')});
}
} // namespace

QString FolderPart(const QString& path)
{
    return path.left(LastSeparator(path) + 1);
}

QString NamePart(const QString& path)
{
    return path.mid(LastSeparator(path) + 1);
}

QString WirePath(const QString& localPath)
{
    QString wire = localPath;
    return wire.replace(u'/', u'\\');
}

QString LocalName(const QString& offeredName)
{
    qsizetype dots = 0;
    while (dots < offeredName.size() && offeredName[dots] == u'.')
        ++dots;
    const QString name = offeredName.mid(dots);
    return name.isEmpty() ? QStringLiteral("_") : name;
}
