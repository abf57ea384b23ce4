#pragma once

#include "platform/Shell.h"

class DesktopShell final : public IShell
{
public:
    bool openDocument(const QString& target) override;
    bool startProgram(const QString& program, const QStringList& arguments,
                      const QString& workingFolder) override;
    QString mapProgram(const QString& name) const override;
};
