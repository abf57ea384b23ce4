#pragma once

#include <QString>
#include <QStringList>

// Where a settings store goes to and comes from: sections of name=value entries.
// Open and Close bracket every use; the base versions do nothing.
class TConfigIO
{
public:
    TConfigIO() = default;
    virtual ~TConfigIO() = default;
    Q_DISABLE_COPY_MOVE(TConfigIO)

    virtual void Open() {}
    virtual void Close() {}
    virtual QStringList ReadSections() = 0;
    virtual QStringList ReadSection(const QString& section) = 0;
    virtual QString ReadValue(const QString& section, const QString& key, const QString& defaultValue) = 0;
    virtual void WriteValue(const QString& section, const QString& key, const QString& value) = 0;
    virtual void EraseSection(const QString& section) = 0;
};
