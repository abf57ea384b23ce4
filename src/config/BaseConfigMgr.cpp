#include "config/BaseConfigMgr.h"
#include "config/ConfigIO.h"
#include "config/IniConfigIO.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSectionBuckets = 256;

} // namespace

TBaseConfigMgr::TBaseConfigMgr() : m_sections(kSectionBuckets, false) {}

TBaseConfigMgr::~TBaseConfigMgr()
{
    Clear();
}

void TBaseConfigMgr::Clear()
{
    m_sections.ForEach([](const QString&, void* value) { delete listOf(value); });
    m_sections.Clear();
}

TPropertyList* TBaseConfigMgr::FindSection(const QString& name) const
{
    void* value = nullptr;
    return m_sections.TryGetValue(name, value) ? listOf(value) : nullptr;
}

TPropertyList* TBaseConfigMgr::ForceSection(const QString& name)
{
    if (TPropertyList* found = FindSection(name))
        return found;
    auto list = std::make_unique<TPropertyList>();
    m_sections.Add(name, list.get());
    return list.release();
}

QString TBaseConfigMgr::ReadString(const QString& section, const QString& key,
                                   const QString& defaultValue) const
{
    QString value;
    if (const TPropertyList* list = FindSection(section); list && list->TryGetValue(key, value))
        return value;
    return defaultValue;
}

int TBaseConfigMgr::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    QString value;
    if (const TPropertyList* list = FindSection(section); list && list->TryGetValue(key, value))
        return StrToIntDef(value, defaultValue);
    return defaultValue;
}

bool TBaseConfigMgr::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    QString value;
    const TPropertyList* list = FindSection(section);
    if (!list || !list->TryGetValue(key, value))
        return defaultValue;
    if (IsInteger(value))
        return StrToIntDef(value, 0) != 0;
    if (value.compare(u"True"_s, Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(u"False"_s, Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

void TBaseConfigMgr::WriteString(const QString& section, const QString& key, const QString& value)
{
    ForceSection(section)->SetValue(key, value);
}

void TBaseConfigMgr::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TBaseConfigMgr::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? u"True"_s : u"False"_s);
}

void TBaseConfigMgr::LoadFrom(TConfigIO& io)
{
    Clear();
    io.Open();
    try {
        for (const QString& section : io.ReadSections()) {
            // WriteString for every key, with the section looked up once.
            const QStringList keys = io.ReadSection(section);
            if (keys.isEmpty())
                continue;
            TPropertyList* list = ForceSection(section);
            for (const QString& key : keys)
                list->SetValue(key, io.ReadValue(section, key, QString()));
        }
    } catch (...) {
        Clear();
        try {
            io.Close();
        } catch (const EFileError&) {
            // The read failure is the one to report.
        }
        throw;
    }
    // Closing writes the file back (and so creates a missing one). A settings file that can be
    // read but not written must still load; the failure shows at the next save.
    try {
        io.Close();
    } catch (const EFileError&) {
    }
}

void TBaseConfigMgr::SaveTo(TConfigIO& io)
{
    io.Open();
    try {
        for (const TStrHashItem& section : m_sections.GetItems()) {
            io.EraseSection(section.Key);
            const TPropertyList* list = listOf(section.Value);
            for (int i = 0; i < list->Count(); ++i) {
                const TPropertyItem& item = list->Items(i);
                io.WriteValue(section.Key, item.Name, item.Value);
            }
        }
    } catch (...) {
        io.Close();
        throw;
    }
    io.Close();
}

void TBaseConfigMgr::LoadFromFile(const QString& path)
{
    TIniConfigIO io(path);
    LoadFrom(io);
}

void TBaseConfigMgr::SaveToFile(const QString& path)
{
    TIniConfigIO io(path);
    SaveTo(io);
}

QString TBaseConfigMgr::TakeUnreportedError()
{
    return std::exchange(m_unreported, QString());
}

void TBaseConfigMgr::NoteSuccess()
{
    m_lastError.clear();
    m_unreported.clear();
    m_failing = false;
}

void TBaseConfigMgr::NoteFailure(const QString& message)
{
    m_lastError = message;
    if (!m_failing)
        m_unreported = message;
    m_failing = true;
}

bool TBaseConfigMgr::TryLoadFromFile(const QString& path)
{
    try {
        LoadFromFile(path);
    } catch (const EFileError& error) {
        NoteFailure(error.message());
        return false;
    }
    NoteSuccess();
    return true;
}

bool TBaseConfigMgr::TrySaveToFile(const QString& path)
{
    try {
        SaveToFile(path);
    } catch (const EFileError& error) {
        NoteFailure(error.message());
        return false;
    }
    NoteSuccess();
    return true;
}
