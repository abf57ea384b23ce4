#include "config/IniConfigIO.h"
#include "config/KeyCompare.h"
#include "core/FileErrorText.h"
#include "core/TextFile.h"

#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= 0x20;
}

QString trimmed(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first).toString();
}

// Lines end at CR LF, CR or LF. Unlike SplitLines, a NUL is an ordinary character here: what
// follows it must not be lost when the file is written back.
QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start));
    return lines;
}

QByteArray readFile(const QString& path, bool& exists)
{
    exists = QFile::exists(path);
    if (!exists)
        return {};
    return ReadFileBytes(path);
}

// Creates the missing file path holding data (a byte-order mark at most) without waiting for
// the disk: a file lost to a power cut is only made again at the next start. A file that
// appeared meanwhile is left as it is.
void createEmpty(const QString& path, const QByteArray& data)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return;
        throw EFileError(FileErrorMessage(u"创建文件"_s, path, errno, QFileDevice::OpenError));
    }
    const ssize_t written = ::write(fd, data.constData(), size_t(data.size()));
    const int failure = written < 0 ? errno : ENOSPC;
    ::close(fd);
    if (written != data.size()) {
        ::unlink(QFile::encodeName(path).constData());
        throw EFileError(FileErrorMessage(u"写入文件"_s, path, failure, QFileDevice::WriteError));
    }
}

} // namespace

TIniConfigIO::TIniConfigIO(QString fileName) : m_fileName(std::move(fileName)) {}

TIniConfigIO::~TIniConfigIO() = default;

TIniConfigIO::TEncoding TIniConfigIO::EncodingOf(const QByteArray& data)
{
    if (data.startsWith("\xFF\xFE"))
        return TEncoding::Utf16LE;
    if (data.startsWith("\xFE\xFF"))
        return TEncoding::Utf16BE;
    if (data.startsWith("\xEF\xBB\xBF"))
        return TEncoding::Utf8Bom;
    // The rule of every text file: without a mark, valid UTF-8 is UTF-8, anything else GB18030.
    // Either way the bytes are written back in the encoding they were read in.
    if (IsUtf8Text(data))
        return TEncoding::Utf8;
    return TEncoding::Ansi;
}

QString TIniConfigIO::Decode(const QByteArray& data, TEncoding encoding)
{
    switch (encoding) {
    case TEncoding::Utf16LE:
        return DecodeTextAs(data, TTextEncoding::Utf16LE);
    case TEncoding::Utf16BE:
        return DecodeTextAs(data, TTextEncoding::Utf16BE);
    case TEncoding::Utf8Bom:
        return DecodeTextAs(data, TTextEncoding::Utf8);
    case TEncoding::Utf8:
        return QString::fromUtf8(data);
    case TEncoding::Ansi:
        break;
    }
    return TextFromAnsi(data);
}

QByteArray TIniConfigIO::Encode(const QString& text, TEncoding encoding)
{
    switch (encoding) {
    case TEncoding::Utf16LE:
        return EncodeText(text, TTextEncoding::Utf16LE);
    case TEncoding::Utf16BE:
        return EncodeText(text, TTextEncoding::Utf16BE);
    case TEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TEncoding::Utf8:
        return text.toUtf8();
    case TEncoding::Ansi:
        break;
    }
    return AnsiFromText(text);
}

void TIniConfigIO::parse(const QString& text, TDocument& document)
{
    TSection* current = nullptr;
    for (QStringView raw : splitLines(text)) {
        const QString line = trimmed(raw);
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']')) {
            const QString name = trimmed(QStringView(line).sliced(1, line.size() - 2));
            current = document.find(name);
            if (!current)
                current = document.append(name);
            continue;
        }
        if (!current)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            current->append(TEntry{});
        else
            current->append(TEntry{trimmed(QStringView(line).first(equals)),
                                   trimmed(QStringView(line).sliced(equals + 1))});
    }
}

QString TIniConfigIO::compose(const TDocument& document)
{
    QString text;
    for (const auto& section : document.Sections) {
        if (section->Erased)
            continue;
        text += u'[' + section->Name + u"]\r\n"_s;
        for (const TEntry& entry : section->Entries)
            text += entry.Key + u'=' + entry.Value + u"\r\n"_s;
        text += u"\r\n"_s;
    }
    return text;
}

void TIniConfigIO::Open()
{
    bool exists = false;
    const QByteArray data = readFile(m_fileName, exists);
    auto document = std::make_unique<TDocument>();
    document->Existed = exists;
    document->Read = data;
    if (exists) {
        document->Encoding = EncodingOf(data);
        parse(Decode(data, document->Encoding), *document);
    }
    m_document = std::move(document);
}

void TIniConfigIO::Close()
{
    if (!m_document)
        return;
    const std::unique_ptr<TDocument> document = std::move(m_document);
    const QByteArray data = Encode(compose(*document), document->Encoding);
    if (document->Existed && data == document->Read)
        return;
    if (!document->Existed && document->Sections.empty())
        createEmpty(m_fileName, data);
    else
        WriteFileAtomically(m_fileName, data);
}

TIniConfigIO::TDocument& TIniConfigIO::document() const
{
    if (!m_document)
        throw std::logic_error("TIniConfigIO used outside Open and Close");
    return *m_document;
}

void TIniConfigIO::TSection::append(TEntry entry)
{
    LastEntry.insert(AsciiLowerFormOf(entry.Key), Entries.size());
    Entries.append(std::move(entry));
}

TIniConfigIO::TEntry* TIniConfigIO::TSection::find(const QString& key)
{
    const auto found = LastEntry.constFind(AsciiLowerFormOf(key));
    return found == LastEntry.cend() ? nullptr : &Entries[*found];
}

TIniConfigIO::TSection* TIniConfigIO::TDocument::find(const QString& name) const
{
    return ByName.value(FoldedFormOf(name), nullptr);
}

TIniConfigIO::TSection* TIniConfigIO::TDocument::append(const QString& name)
{
    auto section = std::make_unique<TSection>();
    section->Name = name;
    TSection* added = section.get();
    Sections.push_back(std::move(section));
    ByName.insert(FoldedFormOf(name), added);
    return added;
}

TIniConfigIO::TSection* TIniConfigIO::findSection(const QString& name) const
{
    return document().find(name);
}

TIniConfigIO::TEncoding TIniConfigIO::Encoding() const
{
    return document().Encoding;
}

QStringList TIniConfigIO::ReadSections()
{
    QStringList names;
    for (const auto& section : document().Sections)
        if (!section->Erased)
            names.append(section->Name);
    return names;
}

QStringList TIniConfigIO::ReadSection(const QString& section)
{
    QStringList keys;
    if (const TSection* found = findSection(section)) {
        keys.reserve(found->Entries.size());
        for (const TEntry& entry : found->Entries)
            keys.append(entry.Key);
    }
    return keys;
}

QString TIniConfigIO::ReadValue(const QString& section, const QString& key, const QString& defaultValue)
{
    if (TSection* found = findSection(section))
        if (const TEntry* entry = found->find(key))
            return entry->Value;
    return defaultValue;
}

void TIniConfigIO::WriteValue(const QString& section, const QString& key, const QString& value)
{
    TSection* found = findSection(section);
    if (!found)
        found = document().append(section);
    if (TEntry* entry = found->find(key))
        *entry = TEntry{key, value};
    else
        found->append(TEntry{key, value});
}

void TIniConfigIO::EraseSection(const QString& section)
{
    // Marked rather than removed: erasing every section before writing it again stays linear.
    TDocument& doc = document();
    if (TSection* found = doc.find(section)) {
        found->Erased = true;
        found->Entries.clear();
        found->LastEntry.clear();
        doc.ByName.remove(FoldedFormOf(section));
    }
}
