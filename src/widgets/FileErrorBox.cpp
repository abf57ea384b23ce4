#include "widgets/FileErrorBox.h"

#include "widgets/MsgBox.h"

void ShowFileError(QWidget* owner, const EFileError& error)
{
    ShowMsgBox(owner, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
}
