#pragma once

#include "platform/Autostart.h"

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
