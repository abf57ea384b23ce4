#pragma once

#include "config/PropertyList.h"
#include "config/StrHashTable.h"

#include <QString>

class TConfigIO;

// Every setting as text, in named sections of name=value entries, with typed readers and
// writers. Section names compare like the user locale ignoring case (SameTextFolded), names
// within a section with only A-Z folded. The store moves to and from a TConfigIO as a whole.
//
// A derived manager reads all its fields right after loading and writes them right before
// saving; entries it does not know stay in the store and go back to the file.
class TBaseConfigMgr
{
public:
    TBaseConfigMgr();
    virtual ~TBaseConfigMgr();
    Q_DISABLE_COPY_MOVE(TBaseConfigMgr)

    void Clear();
    TPropertyList* FindSection(const QString& name) const;
    TPropertyList* ForceSection(const QString& name);
    // All sections in the order they are saved.
    TStrHashItems Sections() const { return m_sections.GetItems(); }

    // The stored text when the section holds the key, even an empty one; otherwise defaultValue.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal with an optional sign, or hex after "$", "x" or "0x"; anything else, or a value
    // beyond 32 bits, gives defaultValue.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    // A number (non-zero is true) or "True"/"False" in any case; anything else gives defaultValue.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    // An existing key keeps its place; a new one goes to the end of its section.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Replaces the store by every entry io holds. A failure to read propagates (EFileError for
    // files) and leaves the store empty; a failure of io's Close after a complete read does
    // not, since nothing read is lost by it.
    void LoadFrom(TConfigIO& io);
    // Rewrites every section of the store into io, which keeps whatever else it holds. A failure
    // propagates.
    void SaveTo(TConfigIO& io);
    void LoadFromFile(const QString& path);
    void SaveToFile(const QString& path);

    // The message of the last failed load or save, empty after a success.
    QString LastError() const { return m_lastError; }
    // The message of a failure the caller has not taken yet: the first failure after a success
    // is handed out once, further failures in a row are not, so the user hears of it once.
    QString TakeUnreportedError();

protected:
    // The bookkeeping behind LastError and TakeUnreportedError.
    void NoteSuccess();
    void NoteFailure(const QString& message);
    // LoadFromFile / SaveToFile that note the outcome instead of raising; false on failure.
    bool TryLoadFromFile(const QString& path);
    bool TrySaveToFile(const QString& path);

private:
    static TPropertyList* listOf(void* value) { return static_cast<TPropertyList*>(value); }

    TStrHashTable m_sections;
    QString m_lastError;
    QString m_unreported;
    bool m_failing = false;
};
