#pragma once

#include <QString>
#include <QStringList>

// The entry that starts the program with the desktop session.
class IAutostart
{
public:
    virtual ~IAutostart() = default;
    // Writes (enable) or removes the entry called name that starts program with arguments.
    // False only when the entry could not be written or removed.
    virtual bool setEntry(bool enable, const QString& name, const QString& program,
                          const QStringList& arguments) = 0;
};
