#include "widgets/DialogService.h"

#include "platform/AppUtils.h"
#include "widgets/FontDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

using namespace Qt::StringLiterals;

QString TQtDialogService::OpenFileName(QWidget* owner, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, title, QString(), filter);
}

QStringList TQtDialogService::OpenFileNames(QWidget* owner, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(owner, title, QString(), filter);
}

QString TQtDialogService::SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                       const QString& defaultSuffix, const QString& proposedName)
{
    QFileDialog dialog(owner, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool TQtDialogService::PickFolder(QWidget* owner, const QString& title, QString& path)
{
    return BrowseForFolder(m_platform, owner, title, QString(), path);
}

bool TQtDialogService::ChooseFont(QWidget* owner, QFont& font, QColor& color)
{
    return ChooseFontDialog(*this, owner, font, color);
}

bool TQtDialogService::ChooseColor(QWidget* owner, QColor& color)
{
    return ChooseColorDialog(owner, color);
}

int TQtDialogService::MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons,
                                 int focusIndex, const QString& details)
{
    return RunMsgBox(*this, owner, text, details, kind, buttons, focusIndex);
}

int TQtDialogService::RunModal(QDialog& dialog)
{
    return dialog.exec();
}

void TQtDialogService::ShowNotice(QWidget* owner, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, u"Jotvane"_s, text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
