#pragma once

#include "notes/ui/FileHost.h"

#include <QObject>
#include <QString>

class IDialogService;
class QAction;
class TCommandTable;
class QWidget;
class TPadMemo;
struct TPlatform;

// Open, Save as, Backup and the hidden Print of the note window. Its dialogs: "打开" (an
// existing file, text files first in the filter), "另存为" (".txt" added to a name without
// extension, overwriting asked first) and "请选择备份文件存放文件夹：".
//
//   TFileController files(window, platform, AppDir(), host, dialogs);
//   files.BindCommands(window.Commands());
class TFileController final : public QObject
{
    Q_OBJECT
public:
    TFileController(QWidget* owner, const TPlatform& platform, QString appDir, IFileHost& host,
                    IDialogService& dialogs);

    // Claims Open, Save as, Backup and Print and connects them.
    void BindCommands(TCommandTable& commands);

    // A text file becomes a new page; a file that cannot be read is reported and adds no page.
    void LoadFromFileActionExecute();
    // The current page's text into a file of the user's choice; the page itself stays as it is.
    void SaveToFileActionExecute();
    // Every data file into a folder of the user's choice, then that folder opened. Pages that
    // cannot be saved first go into the backup with their current text; what could not be
    // saved or copied is told in one message afterwards.
    void BackUpActionExecute();

private:
    void showError(const QString& message);

    QWidget* m_owner;
    const TPlatform& m_platform;
    QString m_appDir;
    IFileHost& m_host;
    IDialogService& m_dialogs;
};
