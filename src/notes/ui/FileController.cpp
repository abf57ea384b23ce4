#include "notes/ui/FileController.h"

#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "notes/ui/PadMemo.h"
#include "platform/AppUtils.h"
#include "widgets/DialogService.h"
#include "widgets/MsgBox.h"

#include <QAction>
#include <QFileDialog>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kOpenTitle = u"打开"_s;
const QString kSaveTitle = u"另存为"_s;
const QString kFolderTitle = u"请选择备份文件存放文件夹："_s;

bool runFileDialog(QWidget* owner, QString& path, bool save)
{
    QFileDialog dialog(owner, save ? kSaveTitle : kOpenTitle);
    dialog.setNameFilter(QtFileFilter(QString::fromUtf16(kTextFileFilter)));
    // "*.txt" also matches "NOTE.TXT".
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setSizeGripEnabled(true);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(u"txt"_s);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().first();
    return true;
}

} // namespace

TFileDialogs TFileDialogs::FromService(IDialogService& service)
{
    const QString filter = QtFileFilter(QString::fromUtf16(kTextFileFilter));
    TFileDialogs dialogs;
    dialogs.openFileName = [&service, filter](QWidget* owner, QString& path) {
        const QString chosen = service.OpenFileName(owner, kOpenTitle, filter);
        if (!chosen.isEmpty())
            path = chosen;
        return !chosen.isEmpty();
    };
    dialogs.saveFileName = [&service, filter](QWidget* owner, QString& path) {
        const QString chosen = service.SaveFileName(owner, kSaveTitle, filter, u"txt"_s);
        if (!chosen.isEmpty())
            path = chosen;
        return !chosen.isEmpty();
    };
    dialogs.pickFolder = [&service](QWidget* owner, QString& path) {
        return service.PickFolder(owner, kFolderTitle, path);
    };
    return dialogs;
}

TFileDialogs TFileDialogs::WithDefaults(const TPlatform& platform, TFileDialogs dialogs)
{
    if (!dialogs.pickFolder)
        dialogs.pickFolder = [&platform](QWidget* owner, QString& path) {
            return BrowseForFolder(platform, owner, kFolderTitle, QString(), path);
        };
    if (!dialogs.openFileName)
        dialogs.openFileName = [](QWidget* owner, QString& path) {
            return runFileDialog(owner, path, false);
        };
    if (!dialogs.saveFileName)
        dialogs.saveFileName = [](QWidget* owner, QString& path) { return runFileDialog(owner, path, true); };
    return dialogs;
}

TFileController::TFileController(TFileActions actions, QWidget* owner, const TPlatform& platform,
                                 QString appDir, TFileHost host, TFileDialogs dialogs)
    : QObject(owner), m_owner(owner), m_platform(platform), m_appDir(NormalizeDir(appDir)),
      m_host(std::move(host)), m_dialogs(TFileDialogs::WithDefaults(platform, std::move(dialogs)))
{
    auto bind = [this](QAction* action, void (TFileController::*handler)()) {
        if (!action)
            return;
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
    };
    bind(actions.LoadFromFileAction, &TFileController::LoadFromFileActionExecute);
    bind(actions.SaveToFileAction, &TFileController::SaveToFileActionExecute);
    bind(actions.BackUpAction, &TFileController::BackUpActionExecute);
    // Printing is a command without function: no item shows it and its key does nothing.
    if (actions.PrintAction)
        actions.PrintAction->setVisible(false);
}

void TFileController::showError(const QString& message)
{
    ShowMsgBox(m_owner, message, MsgBoxKind::Error, {MsgBoxButton::OK});
}

void TFileController::LoadFromFileActionExecute()
{
    if (!m_host.currentEditor || !m_host.currentEditor())
        return;
    QString path;
    if (!m_dialogs.openFileName(m_owner, path))
        return;
    QString text;
    try {
        text = ReadTextFile(path);
    } catch (const EFileError& error) {
        // Read first, so that a file that cannot be read leaves no empty page behind.
        showError(error.message());
        return;
    }
    if (m_host.openAsPage)
        m_host.openAsPage(text);
}

void TFileController::SaveToFileActionExecute()
{
    TPadMemo* editor = m_host.currentEditor ? m_host.currentEditor() : nullptr;
    if (!editor)
        return;
    QString path;
    if (!m_dialogs.saveFileName(m_owner, path))
        return;
    const QString problem = SaveAsTargetProblem(m_appDir, path);
    if (!problem.isEmpty()) {
        showError(problem);
        return;
    }
    try {
        SaveTextAs(path, editor->PageText());
    } catch (const EFileError& error) {
        showError(error.message());
    }
}

void TFileController::BackUpActionExecute()
{
    QString chosen;
    if (!m_dialogs.pickFolder(m_owner, chosen))
        return;
    const QString target = NormalizeDir(chosen);
    if (target.isEmpty())
        return;
    const QString problem = BackupTargetProblem(m_appDir, target);
    if (!problem.isEmpty()) {
        showError(problem);
        return;
    }
    // A backup is wanted most when something cannot be saved: it is made all the same, and
    // the message afterwards says what it lacks.
    TBackupOutcome outcome;
    try {
        if (m_host.saveAll)
            m_host.saveAll();
    } catch (const EFileError& error) {
        outcome.pagesNotSaved = error.message();
    }
    try {
        if (m_host.saveMessengerState)
            m_host.saveMessengerState();
    } catch (const EFileError& error) {
        outcome.chatNotSaved = error.message();
    }
    outcome.failures = RunBackup(PlanBackup(m_appDir, target));
    if (!outcome.pagesNotSaved.isEmpty() && m_host.unsavedPages) {
        const QList<TUnsavedPage> pages = m_host.unsavedPages();
        const QList<TBackupFailure> notKept = BackupUnsavedPages(target, pages);
        for (const TUnsavedPage& page : pages) {
            const QString name = u"Data/"_s + page.fileName;
            const auto sameName = [&name](const TBackupFailure& failure) { return failure.name == name; };
            if (std::any_of(notKept.begin(), notKept.end(), sameName))
                continue;
            // The page's current text is in the backup, whatever became of its old file's copy.
            outcome.failures.removeIf(sameName);
            ++outcome.pagesKeptInBackup;
        }
        outcome.failures += notKept;
    }
    ShellOpen(m_platform, target);
    const TBackupReport report = BackupReport(outcome);
    if (!report.message.isEmpty())
        ShowMsgBoxDetails(m_owner, report.message, report.details,
                          outcome.failures.isEmpty() ? MsgBoxKind::Warning : MsgBoxKind::Error,
                          {MsgBoxButton::OK});
}
