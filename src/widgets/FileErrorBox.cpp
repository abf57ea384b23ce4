#include "widgets/FileErrorBox.h"

#include "widgets/DialogService.h"

void ShowFileError(IDialogService& dialogs, QWidget* owner, const EFileError& error)
{
    dialogs.MessageBox(owner, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
}
