#pragma once

#include <QString>
#include <QStringList>

// Opening documents, folders and addresses with the desktop's default handler, and starting
// programs.
class IShell
{
public:
    virtual ~IShell() = default;
    // A document, folder or address (with or without a scheme); true when a handler took it.
    virtual bool openDocument(const QString& target) = 0;
    // Starts a program detached from this process; true when it started.
    virtual bool startProgram(const QString& program, const QStringList& arguments,
                              const QString& workingFolder) = 0;
    // The program that stands in for a Windows tool name ("notepad.exe", "calc.exe"), or the
    // name itself when it names no such tool.
    virtual QString mapProgram(const QString& name) const = 0;
};
