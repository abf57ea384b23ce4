#include "core/TextFile.h"

#include "core/FileErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char kAnsiCodec[] = "GB18030";

// Makes a rename in the file's folder durable. The file itself is already complete on disk, so
// a folder that cannot be synced (some file systems refuse) costs only the rename's durability.
void syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

QByteArrayView markOf(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TTextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TTextEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case TTextEncoding::Ansi:
    case TTextEncoding::Utf8NoMark:
        break;
    }
    return {};
}

} // namespace

TTextEncoding DetectEncoding(const QByteArray& data)
{
    for (TTextEncoding marked : {TTextEncoding::Utf16LE, TTextEncoding::Utf16BE, TTextEncoding::Utf8})
        if (data.startsWith(markOf(marked)))
            return marked;
    return IsUtf8Text(data) ? TTextEncoding::Utf8NoMark : TTextEncoding::Ansi;
}

bool IsUtf8Text(QByteArrayView data)
{
    const auto nonAscii =
        std::find_if(data.begin(), data.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (nonAscii == data.end())
        return false;
    // Only the part from the first non-ASCII byte on can be invalid.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(data.sliced(nonAscii - data.begin()));
    return !decoder.hasError();
}

QString DecodeTextAs(const QByteArray& data, TTextEncoding encoding)
{
    QByteArrayView body(data);
    const QByteArrayView mark = markOf(encoding);
    if (!mark.isEmpty() && data.startsWith(mark))
        body = body.sliced(mark.size());
    switch (encoding) {
    case TTextEncoding::Utf16LE: {
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return decoder(body);
    }
    case TTextEncoding::Utf16BE: {
        QStringDecoder decoder(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless);
        return decoder(body);
    }
    case TTextEncoding::Utf8:
    case TTextEncoding::Utf8NoMark: {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        return decoder(body);
    }
    case TTextEncoding::Ansi:
        break;
    }
    return TextFromAnsi(body.toByteArray());
}

QString DecodeText(const QByteArray& data, TTextEncoding* encoding)
{
    const TTextEncoding found = DetectEncoding(data);
    if (encoding)
        *encoding = found;
    return DecodeTextAs(data, found);
}

QByteArray EncodeText(const QString& text, TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Utf16LE: {
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        return encoder(text);
    }
    case TTextEncoding::Utf16BE: {
        QStringEncoder encoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
        return encoder(text);
    }
    case TTextEncoding::Utf8: {
        QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::WriteBom);
        return encoder(text);
    }
    case TTextEncoding::Utf8NoMark:
        return text.toUtf8();
    case TTextEncoding::Ansi:
        break;
    }
    return AnsiFromText(text);
}

bool DecodesWithoutLoss(const QByteArray& data, QString* reason)
{
    return DecodeWithoutLoss(data, reason).has_value();
}

std::optional<QString> DecodeWithoutLoss(const QByteArray& data, QString* reason)
{
    const TTextEncoding encoding = DetectEncoding(data);
    const QByteArrayView body = QByteArrayView(data).sliced(markOf(encoding).size());
    std::optional<QStringDecoder> decoder;
    switch (encoding) {
    case TTextEncoding::Utf16LE:
    case TTextEncoding::Utf16BE:
        decoder.emplace(encoding == TTextEncoding::Utf16LE ? QStringConverter::Utf16LE
                                                           : QStringConverter::Utf16BE,
                        QStringConverter::Flag::Stateless);
        break;
    case TTextEncoding::Utf8:
    case TTextEncoding::Utf8NoMark:
        decoder.emplace(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        break;
    case TTextEncoding::Ansi:
        decoder.emplace(kAnsiCodec, QStringConverter::Flag::Stateless);
        break;
    }
    QString text = decoder->isValid() ? QString((*decoder)(body)) : QString::fromLocal8Bit(body);
    const auto fail = [reason](const QString& why) -> std::optional<QString> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (text.contains(QChar(0)))
        return fail(u"含有空字符"_s);
    if (decoder->hasError() ||
        (body.size() % 2 != 0 && (encoding == TTextEncoding::Utf16LE || encoding == TTextEncoding::Utf16BE)))
        return fail(u"含有无法识别的字节"_s);
    return text;
}

QByteArray AnsiFromText(const QString& text)
{
    QStringEncoder encoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder(text);
}

QString TextFromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder(kAnsiCodec, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder(bytes);
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    const QChar* start = p;
    for (; p != end; ++p) {
        const char16_t c = p->unicode();
        if (c == 0)
            break;
        if (c == u'\r' || c == u'\n') {
            lines.append(QString(start, p - start));
            if (c == u'\r' && p + 1 != end && p[1] == u'\n')
                ++p;
            start = p + 1;
        }
    }
    if (p != start)
        lines.append(QString(start, p - start));
    return lines;
}

QString JoinLines(const QStringList& lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += u"\r\n"_s;
    }
    return text;
}

QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(FileErrorMessage(u"打开文件"_s, path, errno, file.error()));
    errno = 0;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(FileErrorMessage(u"读取文件"_s, path, errno, file.error()));
    return data;
}

QString ReadTextFile(const QString& path, TTextEncoding* encoding)
{
    return DecodeText(ReadFileBytes(path), encoding);
}

QStringList ReadTextFileLines(const QString& path, TTextEncoding* encoding)
{
    return SplitLines(ReadTextFile(path, encoding));
}

void WriteFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw EFileError(FileErrorMessage(u"创建文件"_s, path, errno, file.error()));
    // The bytes reach the disk before the rename puts them in place: otherwise a power cut
    // right after a save can leave the renamed file empty on file systems that delay writing.
    // A full disk can cut the last buffered block short without the flush saying so: the size
    // on disk is checked too, so that a short file never replaces a whole one.
    struct stat written
    {
    };
    errno = 0;
    if (file.write(data) != data.size() || !file.flush() || ::fsync(file.handle()) != 0 ||
        ::fstat(file.handle(), &written) != 0 || written.st_size != data.size()) {
        if (errno == 0)
            errno = ENOSPC;
        const int failure = errno;
        const QFileDevice::FileError kind = file.error();
        file.cancelWriting();
        throw EFileError(FileErrorMessage(u"写入文件"_s, path, failure, kind));
    }
    errno = 0;
    if (!file.commit())
        throw EFileError(FileErrorMessage(u"写入文件"_s, path, errno, file.error()));
    syncFolderOf(path);
}

void WriteTextFileLines(const QString& path, const QStringList& lines, TTextEncoding encoding)
{
    WriteFileAtomically(path, EncodeText(JoinLines(lines), encoding));
}
