#pragma once

#include "config/ConfigIO.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

// An INI text file: "[name]" lines open sections, "key=value" lines are their entries.
//
// Open reads the whole file into a document; Close writes the document back in the encoding
// the file came in and frees it. Close writes after a pure load as well, so loading a missing
// file creates it (holding only the byte-order mark). A file whose bytes would not change is
// not written again, and the empty file that a load creates is not forced onto the disk: it
// holds nothing that could be lost.
//
// Reading: every line is trimmed of characters up to U+0020; empty lines and lines starting
// with ";" are dropped, and so are lines before the first section. Inside a section a line
// without "=" is an entry with an empty name and an empty value. A section name that occurs
// again (ignoring case) continues the section of that name, so none of its entries is hidden.
// Section names compare like the settings' section table (SameTextFolded), entry names with
// only A-Z folded (SameTextAscii); of repeated entry names the last one counts.
//
// Writing: every section as "[name]", its entries as "key=value" (no blanks around "="), then
// an empty line; CR LF after every line. Comments, blank lines and lines outside sections are
// not written back.
//
// Section and entry names are indexed: loading and saving take time in proportion to the size
// of the file, also for millions of keys.
class TIniConfigIO final : public TConfigIO
{
public:
    enum class TEncoding
    {
        Utf16LE, // mark FF FE; also every new file
        Utf16BE, // mark FE FF
        Utf8Bom, // mark EF BB BF
        Utf8,    // no mark, and the bytes are valid UTF-8 with at least one non-ASCII character
        Ansi,    // anything else: GB18030
    };

    explicit TIniConfigIO(QString fileName);
    ~TIniConfigIO() override;

    QString FileName() const { return m_fileName; }

    // Throws EFileError when the file exists but cannot be read.
    void Open() override;
    // Throws EFileError when the file cannot be written; the document is freed either way and
    // an existing file is left as it was.
    void Close() override;

    QStringList ReadSections() override;
    QStringList ReadSection(const QString& section) override;
    QString ReadValue(const QString& section, const QString& key, const QString& defaultValue) override;
    void WriteValue(const QString& section, const QString& key, const QString& value) override;
    void EraseSection(const QString& section) override;

    // Valid between Open and Close.
    TEncoding Encoding() const;

    // The encoding file data is read and written in.
    static TEncoding EncodingOf(const QByteArray& data);
    static QString Decode(const QByteArray& data, TEncoding encoding);
    static QByteArray Encode(const QString& text, TEncoding encoding);

private:
    struct TEntry
    {
        QString Key;
        QString Value;
    };
    struct TSection
    {
        QString Name;
        QList<TEntry> Entries;
        // AsciiLowerFormOf(key) -> position of the last entry of that key.
        QHash<QString, qsizetype> LastEntry;
        bool Erased = false; // left out of the document, and never found again

        void append(TEntry entry);
        // The last entry of key, or nullptr.
        TEntry* find(const QString& key);
    };
    struct TDocument
    {
        TEncoding Encoding = TEncoding::Utf16LE;
        bool Existed = false;
        QByteArray Read; // the file's bytes as Open found them
        // In document order; a section never moves, so the index below can point at it.
        std::vector<std::unique_ptr<TSection>> Sections;
        // FoldedFormOf(name) -> the section of that name that is not erased.
        QHash<QString, TSection*> ByName;

        TSection* find(const QString& name) const;
        TSection* append(const QString& name);
    };

    TDocument& document() const;
    TSection* findSection(const QString& name) const;
    static void parse(const QString& text, TDocument& document);
    static QString compose(const TDocument& document);

    QString m_fileName;
    std::unique_ptr<TDocument> m_document;
};
