#pragma once

#include "messenger/ProtocolHooks.h"
#include "messenger/ftp/ui/FtpDownloadController.h"

#include <QObject>
#include <QString>
#include <QStringList>

class IDialogService;
class QComboBox;
class QDropEvent;
class QHBoxLayout;
class QPushButton;
class QWidget;

// The offer row of the messenger window: the list ComboBoxAttachment of "File=<path>" and
// "Dir=<path>" items with "添加文件[&F]", "添加文件夹[&D]", "删除[&R]", "保存[&S]" and "清空[&C]".
// While composing it collects what the next message offers; while receiving it shows a peer's
// offer, and the send button and the adding buttons are disabled. On its own it only shows what
// was offered; the download controller takes over saving when the window is given one.
class TAttachmentRow final : public QObject, public IOfferList
{
    Q_OBJECT
public:
    // The controls are created on page; sendButton is disabled while an offer is received.
    TAttachmentRow(QWidget* page, QPushButton* sendButton, IDialogService* dialogs);

    QHBoxLayout* Layout() const { return m_row; }
    QComboBox* ComboBoxAttachment() const { return m_comboBoxAttachment; }
    // The row's controls in the order Tab walks them.
    QList<QWidget*> Controls() const;
    // True while composing (nothing received is pending).
    bool Composing() const;
    // The items listed, in order.
    QStringList Items() const;
    void Clear();

    // "添加文件[&F]", "添加文件夹[&D]" and dropped paths (folders become "Dir=" items, anything else
    // "File="); ignored while receiving. AddDroppedPaths says whether anything was added.
    void AddOfferFiles();
    void AddOfferFolder();
    bool AddDroppedPaths(const QStringList& paths);
    // A drag or drop of files on the window: refused while receiving, taken in while composing.
    // True when the event was about files; added tells whether a drop added any.
    bool HandleDrop(QDropEvent* event, bool& added);
    // The row as the download controller sees it.
    TOfferRow Row() const;

    // IOfferList
    int PendingOfferCount() const override;
    void AcceptOffer(const QString& senderAddress, const QStringList& items) override;

private:
    void Append(const QString& item);

    IDialogService* m_dialogs;
    QHBoxLayout* m_row = nullptr;
    QComboBox* m_comboBoxAttachment = nullptr;
    QPushButton* m_btnSendInfo = nullptr;
    QPushButton* m_btnAddFile = nullptr;
    QPushButton* m_btnAddDir = nullptr;
    QPushButton* m_btnDelFileDir = nullptr;
    QPushButton* m_btnSaveFileDir = nullptr;
    QPushButton* m_btnClearFileDir = nullptr;
    QString m_offerHost;
};
