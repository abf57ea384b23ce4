#include "messenger/ftp/ui/FtpDownloadController.h"

#include "core/PubUtils.h"
#include "messenger/ftp/CurlLibrary.h"
#include "messenger/ftp/FtpNames.h"
#include "messenger/ftp/ui/DownSum.h"
#include "messenger/ftp/ui/FtpProgressDialog.h"
#include "widgets/DialogService.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// A failed transfer is told in one line; a client that cannot start at all says why, since
// trying again will not help.
QString Reason(const EFtpError& error)
{
    if (dynamic_cast<const EFtpLibraryMissing*>(&error))
        return u"\n"_s + error.message();
    return QString();
}

} // namespace

TDownloadController::TDownloadController(QWidget* owner, IDialogService& dialogs, const TOfferRow& row,
                                         std::function<void(const QString&)> appendConversation,
                                         std::function<void(const QString&)> openPath, QObject* parent)
    : QObject(parent), m_owner(owner), m_dialogs(dialogs), m_row(row),
      m_appendConversation(std::move(appendConversation)), m_openPath(std::move(openPath))
{
    m_client.SetPort(5588);
    showSummary = [this](const QString& path) {
        TfrmDownSum summary(m_owner, path, m_openPath);
        summary.exec();
    };
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

// Runs the client's steps with the progress dialog up, always disconnecting afterwards. The
// dialog's Cancel and a minute without progress end the steps with an EFtpError.
void TDownloadController::Download(const std::function<void()>& steps)
{
    if (m_cancelRequested) // closed while the save dialog was up
        throw EFtpCancelled(u"Cancelled: the window closes"_s);
    TFtpProgressDialog progress(m_owner);
    // The messenger window waits while its download runs; the note window stays usable.
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    m_client.SetProgressHandler([this, &progress](const TFtpProgress& p) {
        if (m_cancelRequested)
            return false;
        const bool goOn = progress.Update(p);
        QThread::yieldCurrentThread();
        QCoreApplication::processEvents();
        return goOn && !progress.Cancelled() && !m_cancelRequested;
    });
    try {
        m_client.Connect();
        steps();
        m_client.Disconnect();
    } catch (...) {
        m_client.Disconnect();
        m_client.SetProgressHandler({});
        throw;
    }
    m_client.SetProgressHandler({});
}

bool TDownloadController::SaveFile(const QString& path, QString& destination)
{
    const QString name = NamePart(path);
    const QString suffix = QFileInfo(name).suffix();
    const QString chosen = m_dialogs.SaveFileName(m_owner, u"另存为"_s, u"任意文件 (*)"_s, suffix);
    if (chosen.isEmpty())
        return false;
    try {
        Download([&] { m_client.Retrieve(HexText(name), chosen); });
    } catch (const EFtpCancelled&) {
        return false;
    } catch (const EFtpError& error) {
        if (!m_cancelRequested)
            m_dialogs.MessageBox(m_owner, u"下载文件"_s + name + u"失败！"_s + Reason(error),
                                 MsgBoxKind::Error, {MsgBoxButton::OK});
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
        Download([&] { m_client.DownloadFolder(name, parent); });
    } catch (const EFtpCancelled&) {
        return false;
    } catch (const EFtpError& error) {
        if (!m_cancelRequested)
            m_dialogs.MessageBox(m_owner, u"下载文件夹"_s + name + u"失败！"_s + Reason(error),
                                 MsgBoxKind::Error, {MsgBoxButton::OK});
        return false;
    }
    destination = parent + name;
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
        if (m_appendConversation)
            m_appendConversation(u"最近保存的文件(夹):"_s + destination + u"\r\n"_s);
        if (showSummary)
            showSummary(destination);
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
