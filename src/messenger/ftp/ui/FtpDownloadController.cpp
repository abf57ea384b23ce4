#include "messenger/ftp/ui/FtpDownloadController.h"

#include "core/PubUtils.h"
#include "messenger/ftp/FtpNames.h"
#include "messenger/ftp/ui/DownSum.h"
#include "messenger/ftp/ui/FtpProgressDialog.h"
#include "widgets/DialogService.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

TDownloadController::TDownloadController(QWidget* owner, IDialogService& dialogs, const TOfferRow& row,
                                         std::unique_ptr<IDownloadHost> host, QObject* parent)
    : QObject(parent), m_owner(owner), m_dialogs(dialogs), m_row(row), m_host(std::move(host))
{
    qRegisterMetaType<TFtpProgress>();
    m_client.SetPort(5588);
    m_worker.setObjectName(u"jv-download"_s);
    m_workerContext = new QObject;
    m_workerContext->moveToThread(&m_worker);
}

TDownloadController::~TDownloadController()
{
    m_cancelRequested = true;
    m_worker.quit();
    m_worker.wait();
    delete m_workerContext;
}

void TDownloadController::SetComposing(bool composing)
{
    for (QAbstractButton* b : {m_row.btnSendInfo, m_row.btnAddFile, m_row.btnAddDir, m_row.btnDelFileDir}) {
        if (b)
            b->setEnabled(composing);
    }
    if (m_row.btnSaveFileDir)
        m_row.btnSaveFileDir->setEnabled(!composing);
}

void TDownloadController::AcceptOffer(const QString& senderAddress, const QStringList& items)
{
    m_client.SetHost(senderAddress);
    m_row.ComboBoxAttachment->addItems(items);
    m_row.ComboBoxAttachment->setCurrentIndex(0);
    SetComposing(false);
}

int TDownloadController::PendingOfferCount() const
{
    return m_row.ComboBoxAttachment->count();
}

void TDownloadController::ClearOffers()
{
    m_row.ComboBoxAttachment->clear();
    SetComposing(true);
}

// Runs the client's steps on the worker thread with the progress dialog up, always disconnecting
// afterwards, and waits for them in an event loop. The dialog's Cancel and a minute without
// progress end the steps with an EFtpError, which is thrown here.
void TDownloadController::Download(const std::function<void()>& steps)
{
    if (m_cancelRequested) // closed while the save dialog was up
        throw EFtpCancelled(u"Cancelled: the window closes"_s);
    if (!m_worker.isRunning())
        m_worker.start();
    TFtpProgressDialog progress(m_owner);
    // The messenger window waits while its download runs; the note window stays usable.
    progress.setWindowModality(Qt::WindowModal);
    connect(this, &TDownloadController::progressed, &progress, &TFtpProgressDialog::Update);
    connect(&progress, &TFtpProgressDialog::cancelled, this, [this] { m_cancelRequested = true; });
    progress.show();
    m_client.SetProgressHandler([this](const TFtpProgress& p) {
        emit progressed(p);
        return !m_cancelRequested.load();
    });
    QEventLoop loop;
    connect(this, &TDownloadController::stepsFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    std::exception_ptr failure;
    QMetaObject::invokeMethod(m_workerContext, [this, &steps, &failure] {
        try {
            m_client.Connect();
            steps();
        } catch (...) {
            failure = std::current_exception();
        }
        m_client.Disconnect();
        emit stepsFinished();
    });
    loop.exec();
    m_client.SetProgressHandler({});
    if (failure)
        std::rethrow_exception(failure);
}

void TDownloadController::ShowFailure(const QString& what, const EFtpError& error)
{
    if (m_cancelRequested)
        return;
    // A failure the user can act on says why; a plain transfer failure is told in one line.
    const QString reason = dynamic_cast<const EFtpExplained*>(&error) ? u"\n"_s + error.message() : QString();
    m_dialogs.MessageBox(m_owner, what + u"失败！"_s + reason, MsgBoxKind::Error, {MsgBoxButton::OK});
}

bool TDownloadController::SaveFile(const QString& path, QString& destination)
{
    const QString name = NamePart(path);
    const QString suffix = QFileInfo(name).suffix();
    // The offered name is proposed, without the leading dots of a hidden file.
    const QString chosen =
        m_dialogs.SaveFileName(m_owner, u"另存为"_s, u"任意文件 (*)"_s, suffix, LocalName(name));
    if (chosen.isEmpty())
        return false;
    try {
        Download([&] { m_client.Retrieve(HexText(name), chosen); });
    } catch (const EFtpCancelled&) {
        return false;
    } catch (const EFtpError& error) {
        ShowFailure(u"下载文件"_s + name, error);
        return false;
    }
    destination = chosen;
    return true;
}

bool TDownloadController::SaveFolder(const QString& path, QString& destination)
{
    const QString name = NamePart(path);
    QString chosen;
    if (!m_dialogs.PickFolder(m_owner, u"把文件夹保存到："_s, chosen) || chosen.isEmpty())
        return false;
    const QString parent = NormalizeDir(chosen);
    try {
        Download([&] { destination = m_client.DownloadFolder(name, parent); });
    } catch (const EFtpCancelled&) {
        return false;
    } catch (const EFtpError& error) {
        ShowFailure(u"下载文件夹"_s + name, error);
        return false;
    }
    return true;
}

void TDownloadController::SaveOffer()
{
    // Busy until the save has returned, message boxes included: the window may be closed from
    // inside this save's loops and is released only afterwards.
    m_busy = true;
    m_cancelRequested = false;
    struct TBusyGuard
    {
        TDownloadController* self;
        ~TBusyGuard()
        {
            self->m_busy = false;
            emit self->downloadEnded();
        }
    } busyGuard{this};
    QComboBox* list = m_row.ComboBoxAttachment;
    for (QWidget* w : {static_cast<QWidget*>(m_row.btnSaveFileDir),
                       static_cast<QWidget*>(m_row.btnClearFileDir), static_cast<QWidget*>(list)}) {
        if (w)
            w->setEnabled(false);
    }
    bool saved = false;
    QString destination;
    const int index = list->currentIndex();
    if (index >= 0) {
        const QString item = list->itemText(index);
        const qsizetype eq = item.indexOf(u'=');
        const QString kind = item.left(eq);
        const QString path = item.mid(eq + 1);
        m_client.Disconnect();
        m_client.SetUser(u"ParentDir"_s);
        m_client.SetPassword(HexText(FolderPart(path)));
        saved = kind == u"File" ? SaveFile(path, destination) : SaveFolder(path, destination);
    }
    bool emptied = false;
    if (saved) {
        m_host->appendConversation(u"最近保存的文件(夹):"_s + destination + u"\r\n"_s);
        TfrmDownSum summary(m_owner, destination, [this](const QString& path) { m_host->openPath(path); });
        m_dialogs.RunModal(summary);
        list->removeItem(index);
        if (list->count() == 0) {
            list->update();
            SetComposing(true);
            emptied = true;
        } else {
            list->setCurrentIndex(0);
        }
    }
    if (m_row.btnClearFileDir)
        m_row.btnClearFileDir->setEnabled(true);
    list->setEnabled(true);
    if (m_row.btnSaveFileDir && !emptied)
        m_row.btnSaveFileDir->setEnabled(true);
}
