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

// An XDG autostart file "<name>.desktop" in the user's autostart folder.
class XdgAutostart final : public IAutostart
{
public:
    // folder: the autostart folder; empty means $XDG_CONFIG_HOME/autostart.
    explicit XdgAutostart(QString folder = {});
    bool setEntry(bool enable, const QString& name, const QString& program,
                  const QStringList& arguments) override;
    QString entryPath(const QString& name) const;

private:
    QString m_folder;
};
