#pragma once

#include "notes/FileCommands.h"

#include <QList>
#include <QString>

class TPadMemo;

// What the file commands need of the window.
class IFileHost
{
public:
    virtual ~IFileHost() = default;
    // The page being edited; nullptr without one.
    virtual TPadMemo* currentEditor() = 0;
    // A new page (titled like every new page) holding text, marked modified.
    virtual void openAsPage(const QString& text) = 0;
    // Writes the modified pages and stores the window state; throws EFileError on failure.
    virtual void saveAll() = 0;
    // The pages still modified: after a failed saveAll, those whose text is not in their files.
    virtual QList<TUnsavedPage> unsavedPages() = 0;
    // The messenger writes its chat log now, when it runs; throws EFileError on failure.
    virtual void saveMessengerState() = 0;
};
