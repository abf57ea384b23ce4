#pragma once

#include "core/TextFile.h"

class IDialogService;
class QWidget;

// Shows a file error in the Error box.
void ShowFileError(IDialogService& dialogs, QWidget* owner, const EFileError& error);

// Runs a command that reads or writes files. A file that cannot be read or written ends the
// command with a message; let through into the event loop, the error would end the program and
// every page not yet saved would be lost.
template <typename Command> void RunFileCommand(IDialogService& dialogs, QWidget* owner, Command&& command)
{
    try {
        command();
    } catch (const EFileError& error) {
        ShowFileError(dialogs, owner, error);
    }
}
