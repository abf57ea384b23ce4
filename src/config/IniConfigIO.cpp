#include "config/IniConfigIO.h"
#include "config/KeyCompare.h"
#include "core/TextFile.h"

#include <QFile>
#include <QStringDecoder>

#include <stdexcept>
#include <utility>

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

bool isValidUtf8WithNonAscii(const QByteArray& data)
{
    bool nonAscii = false;
    for (char c : data) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            nonAscii = true;
            break;
        }
    }
    if (!nonAscii)
        return false;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(data);
    return !decoder.hasError();
}

QByteArray readFile(const QString& path, bool& exists)
{
    exists = QFile::exists(path);
    if (!exists)
        return {};
    return ReadFileBytes(path);
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
    // Files edited on Linux are mostly UTF-8 without a mark. GB18030 text is almost never valid
    // UTF-8 (宋体 is CB CE CC E5, and CE cannot follow CB there), so the test is safe; and
    // either way the bytes are written back exactly as they were read.
    if (isValidUtf8WithNonAscii(data))
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
            current = nullptr;
            for (TSection& section : document.Sections)
                if (SameTextFolded(section.Name, name))
                    current = &section;
            if (!current) {
                document.Sections.append(TSection{name, {}});
                current = &document.Sections.last();
            }
            continue;
        }
        if (!current)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            current->Entries.append(TEntry{});
        else
            current->Entries.append(TEntry{trimmed(QStringView(line).first(equals)),
                                           trimmed(QStringView(line).sliced(equals + 1))});
    }
}

QString TIniConfigIO::compose(const TDocument& document)
{
    QString text;
    for (const TSection& section : document.Sections) {
        text += u'[' + section.Name + u"]\r\n"_s;
        for (const TEntry& entry : section.Entries)
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
    WriteFileAtomically(m_fileName, Encode(compose(*document), document->Encoding));
}

TIniConfigIO::TDocument& TIniConfigIO::document() const
{
    if (!m_document)
        throw std::logic_error("TIniConfigIO used outside Open and Close");
    return *m_document;
}

TIniConfigIO::TSection* TIniConfigIO::findSection(const QString& name) const
{
    for (TSection& section : document().Sections)
        if (SameTextFolded(section.Name, name))
            return &section;
    return nullptr;
}

TIniConfigIO::TEncoding TIniConfigIO::Encoding() const
{
    return document().Encoding;
}

QStringList TIniConfigIO::ReadSections()
{
    QStringList names;
    for (const TSection& section : std::as_const(document().Sections))
        names.append(section.Name);
    return names;
}

QStringList TIniConfigIO::ReadSection(const QString& section)
{
    QStringList keys;
    if (const TSection* found = findSection(section))
        for (const TEntry& entry : found->Entries)
            keys.append(entry.Key);
    return keys;
}

QString TIniConfigIO::ReadValue(const QString& section, const QString& key, const QString& defaultValue)
{
    if (const TSection* found = findSection(section))
        for (qsizetype i = found->Entries.size() - 1; i >= 0; --i)
            if (SameTextAscii(found->Entries[i].Key, key))
                return found->Entries[i].Value;
    return defaultValue;
}

void TIniConfigIO::WriteValue(const QString& section, const QString& key, const QString& value)
{
    TSection* found = findSection(section);
    if (!found) {
        document().Sections.append(TSection{section, {}});
        found = &document().Sections.last();
    }
    for (qsizetype i = found->Entries.size() - 1; i >= 0; --i) {
        if (SameTextAscii(found->Entries[i].Key, key)) {
            found->Entries[i] = TEntry{key, value};
            return;
        }
    }
    found->Entries.append(TEntry{key, value});
}

void TIniConfigIO::EraseSection(const QString& section)
{
    QList<TSection>& sections = document().Sections;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (SameTextFolded(sections[i].Name, section)) {
            sections.removeAt(i);
            return;
        }
    }
}
