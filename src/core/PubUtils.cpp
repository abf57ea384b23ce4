#include "core/PubUtils.h"

#include "core/DelimitedText.h"
#include "core/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <optional>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Parses the integer forms IsInteger accepts; false when the text is not one.
bool parseInteger(const QString& text, int& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const int digit = hexDigitValue(text[i].unicode());
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > qint64(std::numeric_limits<quint32>::max()))
            return false;
    }
    if (base == 16) {
        // Hexadecimal text may spell the full 32 bits: $FFFFFFFF is -1.
        qint64 result = negative ? -magnitude : magnitude;
        if (!negative && magnitude > std::numeric_limits<qint32>::max())
            result = qint32(quint32(magnitude));
        else if (negative && magnitude > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
        value = int(result);
        return true;
    }
    const qint64 result = negative ? -magnitude : magnitude;
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return false;
    value = int(result);
    return true;
}

} // namespace

TAppLocations ResolveAppLocations(const QString& exeDir, const QString& userDataHome, bool exeDirWritable)
{
    TAppLocations result;
    result.exeDir = NormalizeDir(exeDir);
    const QString shareDir = QDir::cleanPath(result.exeDir + u"../share/jotvane"_s) + u'/';
    result.installed = !exeDirWritable || QFileInfo::exists(shareDir + QString::fromUtf16(kInstalledMarker));
    if (!result.installed) {
        result.dataDir = result.exeDir;
        return result;
    }
    result.companionDir = QFileInfo(shareDir).isDir() ? shareDir : QString();
    // Without a usable $XDG_DATA_HOME the XDG default under the home folder applies.
    QString home = userDataHome.trimmed();
    if (home.isEmpty() || QDir::isRelativePath(home))
        home = QDir::homePath() + u"/.local/share"_s;
    result.dataDir = NormalizeDir(QDir::cleanPath(home + u"/Jotvane"_s));
    QDir().mkpath(result.dataDir);
    return result;
}

namespace {

TAppLocations locationsOf(const QString& exeDir)
{
    const bool writable = ::access(QFile::encodeName(exeDir).constData(), W_OK) == 0;
    return ResolveAppLocations(exeDir, qEnvironmentVariable("XDG_DATA_HOME"), writable);
}

} // namespace

const TAppLocations& AppLocations()
{
    // Decided once the application object knows its executable; every later call agrees.
    static std::optional<TAppLocations> decided;
    if (decided)
        return *decided;
    if (!QCoreApplication::instance()) {
        // Nothing is known yet about the executable: no folder is created for it.
        static const TAppLocations unknown;
        return unknown;
    }
    decided = locationsOf(QCoreApplication::applicationDirPath());
    return *decided;
}

std::optional<TAppLocations> AppLocationsBeforeStart()
{
    const QString exe = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    if (exe.isEmpty())
        return std::nullopt;
    return locationsOf(QFileInfo(exe).path());
}

QString AppDir()
{
    return AppLocations().dataDir;
}

QString CompanionPath(const TAppLocations& locations, const QString& name)
{
    const QString beside = locations.exeDir + name;
    if (locations.companionDir.isEmpty() || QFileInfo::exists(beside))
        return beside;
    const QString shared = locations.companionDir + name;
    return QFileInfo::exists(shared) ? shared : beside;
}

QString CompanionPath(const QString& name)
{
    return CompanionPath(AppLocations(), name);
}

QString AppSubDir(const QString& name)
{
    return NormalizeDir(AppDir() + name);
}

QString NormalizeDir(const QString& path)
{
    qsizetype first = 0;
    qsizetype last = path.size();
    while (first < last && isBlankOrControl(path[first]))
        ++first;
    while (last > first && isBlankOrControl(path[last - 1]))
        --last;
    QString result = path.mid(first, last - first);
    if (!result.isEmpty() && !isSeparator(result.back()))
        result += u'/';
    return result;
}

bool IsFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (path.contains(u'*') || path.contains(u'?')) {
        const QFileInfo info(path);
        QDir dir = info.dir();
        const QStringList matches = dir.entryList({info.fileName()}, QDir::AllEntries | QDir::Hidden |
                                                                         QDir::System | QDir::NoDotAndDotDot);
        return !matches.isEmpty() && QFileInfo(dir.filePath(matches.first())).isDir();
    }
    return QFileInfo(path).isDir();
}

bool IsInteger(const QString& text)
{
    int value = 0;
    return parseInteger(text, value);
}

int StrToIntDef(const QString& text, int fallback)
{
    int value = 0;
    return parseInteger(text, value) ? value : fallback;
}

int LastCharPos(QChar ch, const QString& text)
{
    return int(text.lastIndexOf(ch)) + 1;
}

QString ReplaceChar(const QString& text, QChar from, QChar to)
{
    QString result = text;
    result.replace(from, to);
    return result;
}

QString LowerAsciiLetters(const QString& text)
{
    QString result = text;
    for (QChar& unit : result) {
        if (unit >= u'A' && unit <= u'Z')
            unit = QChar(unit.unicode() + (u'a' - u'A'));
    }
    return result;
}

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

QByteArray BytesToHex(const QByteArray& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray hex;
    hex.reserve(bytes.size() * 2);
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        hex.append(digits[b >> 4]);
        hex.append(digits[b & 0x0F]);
    }
    return hex;
}

QByteArray HexToBytes(const QByteArray& hex)
{
    auto value = [](char c) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z')
            u = static_cast<unsigned char>(u - 32);
        return u < 58 ? int(u) - 48 : int(u) - 55;
    };
    QByteArray bytes;
    bytes.reserve((hex.size() + 1) / 2);
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int high = value(hex[i]);
        // An odd last character has no partner: it is the high nibble of a last byte.
        const int low = i + 1 < hex.size() ? value(hex[i + 1]) : 0;
        bytes.append(static_cast<char>(((high << 4) | low) & 0xFF));
    }
    return bytes;
}

QString TextToCommaText(const QString& text)
{
    return JoinDelimited(SplitLines(text), u',');
}

QString CommaTextToText(const QString& text)
{
    QString result;
    for (const QString& item : SplitDelimited(text, u',')) {
        result += item;
        result += u"\r\n"_s;
    }
    while (!result.isEmpty() && (result.back() == u'\r' || result.back() == u'\n'))
        result.chop(1);
    return result;
}

void CopyFolder(const QString& source, const QString& target, bool recursive)
{
    const QString from = NormalizeDir(source);
    const QString to = NormalizeDir(target);
    QDir().mkpath(to);
    QDir dir(from);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (recursive && entry.isDir() && !entry.isSymLink()) {
            CopyFolder(from + name, to + name, recursive);
        } else if (!entry.isDir()) {
            QFile::remove(to + name);
            QFile::copy(from + name, to + name);
        }
    }
}
