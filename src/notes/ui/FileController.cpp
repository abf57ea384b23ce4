#include "notes/ui/FileController.h"

#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "notes/ui/PadMemo.h"
#include "platform/AppUtils.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"

#include <QAction>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kOpenTitle = u"打开"_s;
const QString kSaveTitle = u"另存为"_s;
const QString kFolderTitle = u"请选择备份文件存放文件夹："_s;

QString textFileFilter()
{
    return QtFileFilter(QString::fromUtf16(kTextFileFilter));
}

} // namespace

TFileController::TFileController(QWidget* owner, const TPlatform& platform, QString appDir, IFileHost& host,
                                 IDialogService& dialogs)
    : QObject(owner), m_owner(owner), m_platform(platform), m_appDir(NormalizeDir(appDir)), m_host(host),
      m_dialogs(dialogs)
{
}

void TFileController::BindCommands(TCommandTable& commands)
{
    commands.Bind(Command::LoadFromFile, this, [this] { LoadFromFileActionExecute(); });
    commands.Bind(Command::SaveToFile, this, [this] { SaveToFileActionExecute(); });
    commands.Bind(Command::BackUp, this, [this] { BackUpActionExecute(); });
    // Printing is a command without function: no item shows it and its key does nothing.
    commands.Claim(Command::Print)->setVisible(false);
}

void TFileController::showError(const QString& message)
{
    m_dialogs.MessageBox(m_owner, message, MsgBoxKind::Error, {MsgBoxButton::OK});
}

void TFileController::LoadFromFileActionExecute()
{
    if (!m_host.currentEditor())
        return;
    const QString path = m_dialogs.OpenFileName(m_owner, kOpenTitle, textFileFilter());
    if (path.isEmpty())
        return;
    QString text;
    try {
        text = ReadTextFile(path);
    } catch (const EFileError& error) {
        // Read first, so that a file that cannot be read leaves no empty page behind.
        showError(error.message());
        return;
    }
    m_host.openAsPage(text);
}

void TFileController::SaveToFileActionExecute()
{
    TPadMemo* editor = m_host.currentEditor();
    if (!editor)
        return;
    const QString path = m_dialogs.SaveFileName(m_owner, kSaveTitle, textFileFilter(), u"txt"_s);
    if (path.isEmpty())
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
    if (!m_dialogs.PickFolder(m_owner, kFolderTitle, chosen))
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
        m_host.saveAll();
    } catch (const EFileError& error) {
        outcome.pagesNotSaved = error.message();
    }
    try {
        m_host.saveMessengerState();
    } catch (const EFileError& error) {
        outcome.chatNotSaved = error.message();
    }
    outcome.failures = RunBackup(PlanBackup(m_appDir, target));
    if (!outcome.pagesNotSaved.isEmpty()) {
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
        m_dialogs.MessageBox(m_owner, report.message,
                             outcome.failures.isEmpty() ? MsgBoxKind::Warning : MsgBoxKind::Error,
                             {MsgBoxButton::OK}, 0, report.details);
}
