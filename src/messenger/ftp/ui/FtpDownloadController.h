#pragma once

#include "messenger/ProtocolHooks.h"
#include "messenger/ftp/FtpClient.h"
#include "messenger/ftp/ui/DownloadHost.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class IDialogService;
class QAbstractButton;
class QComboBox;
class QWidget;

// The offer row of the messenger window, as far as taking in and saving offers touches it.
struct TOfferRow
{
    QComboBox* ComboBoxAttachment = nullptr;
    QAbstractButton* btnSendInfo = nullptr;
    QAbstractButton* btnAddFile = nullptr;
    QAbstractButton* btnAddDir = nullptr;
    QAbstractButton* btnDelFileDir = nullptr;
    QAbstractButton* btnSaveFileDir = nullptr;
    QAbstractButton* btnClearFileDir = nullptr;
};

// Takes in a peer's offer ("File=<path>" / "Dir=<path>" items) and saves the selected item from
// the peer's file server: the save dialog or folder picker, the download with a progress dialog
// that can cancel, the line "最近保存的文件(夹):" in the conversation and the summary dialog
// (TfrmDownSum, through the dialog service).
// The transfer runs on a thread of the controller's own; the window waits for it in an event
// loop of its own (as a modal dialog does), and hears of progress and passes on a cancel by
// signals, so nothing of the window runs inside the FTP library's callbacks.
class TDownloadController final : public QObject, public IOfferList
{
    Q_OBJECT

public:
    // The controller owns host.
    TDownloadController(QWidget* owner, IDialogService& dialogs, const TOfferRow& row,
                        std::unique_ptr<IDownloadHost> host, QObject* parent = nullptr);
    ~TDownloadController() override;

    // The list must be empty (a busy receiver answers new offers itself): switches the row to
    // receiving with the items listed and the first selected.
    void AcceptOffer(const QString& senderAddress, const QStringList& items) override;
    // The items in the list, composing or receiving: the protocol takes a new offer only at 0.
    int PendingOfferCount() const override;
    // "保存[&S]".
    void SaveOffer();
    // "清空[&C]": empties the list and returns the row to composing.
    void ClearOffers();

    // True while a save is downloading (its progress loop lets other events run).
    bool Busy() const { return m_busy; }
    // Ends a running download as if its Cancel button were pressed.
    void Cancel() { m_cancelRequested = true; }
    // The thread the transfers run on.
    QThread* WorkerThread() { return &m_worker; }

    // The client, for its port and stall limit.
    TFtpClient& Client() { return m_client; }

private:
    void SetComposing(bool composing);
    bool SaveFile(const QString& path, QString& destination);
    bool SaveFolder(const QString& path, QString& destination);
    void Download(const std::function<void()>& steps);
    void ShowFailure(const QString& what, const EFtpError& error);

    QPointer<QWidget> m_owner;
    IDialogService& m_dialogs;
    TOfferRow m_row;
    std::unique_ptr<IDownloadHost> m_host;
    TFtpClient m_client;
    QThread m_worker;
    QObject* m_workerContext = nullptr; // lives on m_worker
    bool m_busy = false;
    std::atomic<bool> m_cancelRequested{false};

signals:
    // A download has ended, saved or not.
    void downloadEnded();
    // From the worker thread, queued to the window: the transfer's progress.
    void progressed(const TFtpProgress& progress);
    // The worker has finished the steps of a download.
    void stepsFinished();
};
