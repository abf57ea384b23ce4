#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

#include "core/Error.h"

// How a text file is encoded on disk. Files the program writes are Utf16LE. A file without a
// byte-order mark is read as UTF-8 when its bytes are valid UTF-8 with at least one non-ASCII
// character (the usual form of a text file on Linux), otherwise in the system's ANSI code page,
// which here is GB18030. Plain ASCII reads the same either way and counts as Ansi.
enum class TTextEncoding
{
    Utf16LE,
    Utf16BE,
    Utf8,       // with the mark EF BB BF
    Ansi,       // no mark: GB18030
    Utf8NoMark, // no mark, valid UTF-8
};

// A file could not be opened, read or written. The message names the file.
class EFileError : public EJotvaneError
{
public:
    using EJotvaneError::EJotvaneError;
};

// The encoding a byte-order mark at the start of data announces; without one, Utf8NoMark when
// IsUtf8Text(data), else Ansi.
TTextEncoding DetectEncoding(const QByteArray& data);
// True when data is valid UTF-8 and holds at least one non-ASCII character. Some short GBK texts
// are valid UTF-8 too ("十一" is CA AE D2 BB, which is also "ʮһ"); they read as UTF-8.
bool IsUtf8Text(QByteArrayView data);
// Decodes data by its byte-order mark (which is not part of the result), or without one by the
// UTF-8 test above.
QString DecodeText(const QByteArray& data, TTextEncoding* encoding = nullptr);
// Decodes data known to be in one encoding; a leading mark of that encoding is skipped.
QString DecodeTextAs(const QByteArray& data, TTextEncoding encoding);
// Encodes text, with the byte-order mark for the Unicode encodings.
QByteArray EncodeText(const QString& text, TTextEncoding encoding);

// True when data, read by its byte-order mark as DecodeText does, decodes without loss: no NUL
// and no bytes invalid in its encoding. Otherwise false, with the reason in reason.
bool DecodesWithoutLoss(const QByteArray& data, QString* reason = nullptr);
// The same check, giving the text as DecodeText does when it passes and nothing otherwise.
std::optional<QString> DecodeWithoutLoss(const QByteArray& data, QString* reason = nullptr);

QByteArray AnsiFromText(const QString& text);
QString TextFromAnsi(const QByteArray& bytes);

// Lines end at CR LF, a lone CR or a lone LF; a final break makes no empty last line, and a NUL
// ends the text. "a\r\n\r\nb" gives a, "", b; "a\n" gives a alone; "" gives no line.
QStringList SplitLines(const QString& text);
// Every line followed by CR LF, the last one included.
QString JoinLines(const QStringList& lines);

// Reads a whole file's bytes. Throws EFileError when it cannot be read.
QByteArray ReadFileBytes(const QString& path);
// Reads a whole file by its byte-order mark. Throws EFileError when it cannot be read.
QString ReadTextFile(const QString& path, TTextEncoding* encoding = nullptr);
QStringList ReadTextFileLines(const QString& path, TTextEncoding* encoding = nullptr);
// Writes the lines, each followed by CR LF, through a temporary file that replaces the target
// only once it is complete. Throws EFileError on failure, leaving an existing file untouched.
void WriteTextFileLines(const QString& path, const QStringList& lines,
                        TTextEncoding encoding = TTextEncoding::Utf16LE);
// Writes bytes the same safe way.
void WriteFileAtomically(const QString& path, const QByteArray& data);
