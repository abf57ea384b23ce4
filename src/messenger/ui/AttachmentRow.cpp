#include "messenger/ui/AttachmentRow.h"

#include "messenger/ui/MessagerFrm.h"
#include "platform/AppUtils.h"
#include "platform/Platform.h"
#include "widgets/DialogService.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>

using namespace Qt::StringLiterals;

TAttachmentRow::TAttachmentRow(QWidget* page, QPushButton* sendButton, IDialogService* dialogs)
    : QObject(page), m_dialogs(dialogs), m_btnSendInfo(sendButton)
{
    m_row = new QHBoxLayout;
    m_row->setSpacing(2);
    m_comboBoxAttachment = new QComboBox(page);
    m_comboBoxAttachment->setObjectName(u"ComboBoxAttachment"_s);
    m_comboBoxAttachment->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBoxAttachment->setMinimumContentsLength(8);
    m_comboBoxAttachment->setToolTip(u"这里列出要发送或收到的文件/文件夹名称。"_s);
    m_row->addWidget(m_comboBoxAttachment, 1);
    const QString addHint =
        u"添加文件（夹）最简单的办法：把要发送的文件（夹）拖进来放在这里，一次可以添加多个。"_s;
    auto button = [this, page](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, page);
        b->setObjectName(name);
        m_row->addWidget(b);
        return b;
    };
    m_btnAddFile = button(u"btnAddFile"_s, u"添加文件[&F]"_s);
    m_btnAddFile->setToolTip(addHint);
    m_btnAddDir = button(u"btnAddDir"_s, u"添加文件夹[&D]"_s);
    m_btnAddDir->setToolTip(addHint);
    m_btnDelFileDir = button(u"btnDelFileDir"_s, u"删除[&R]"_s);
    m_btnSaveFileDir = button(u"btnSaveFileDir"_s, u"保存[&S]"_s);
    m_btnSaveFileDir->setEnabled(false);
    m_btnClearFileDir = button(u"btnClearFileDir"_s, u"清空[&C]"_s);
    connect(m_btnAddFile, &QPushButton::clicked, this, &TAttachmentRow::AddOfferFiles);
    connect(m_btnAddDir, &QPushButton::clicked, this, &TAttachmentRow::AddOfferFolder);
    connect(m_btnDelFileDir, &QPushButton::clicked, this, [this] {
        const int index = m_comboBoxAttachment->currentIndex();
        if (index >= 0)
            m_comboBoxAttachment->removeItem(index);
    });
    connect(m_btnClearFileDir, &QPushButton::clicked, this, [this] {
        m_comboBoxAttachment->clear();
        m_offerHost.clear();
        for (QPushButton* b : {m_btnSendInfo, m_btnAddFile, m_btnAddDir, m_btnDelFileDir})
            b->setEnabled(true);
        m_btnSaveFileDir->setEnabled(false);
    });
}

QList<QWidget*> TAttachmentRow::Controls() const
{
    return {m_comboBoxAttachment, m_btnAddFile,     m_btnAddDir,
            m_btnDelFileDir,      m_btnSaveFileDir, m_btnClearFileDir};
}

bool TAttachmentRow::Composing() const
{
    return m_btnAddFile->isEnabled();
}

QStringList TAttachmentRow::Items() const
{
    QStringList items;
    for (int i = 0; i < m_comboBoxAttachment->count(); ++i)
        items << m_comboBoxAttachment->itemText(i);
    return items;
}

void TAttachmentRow::Clear()
{
    m_comboBoxAttachment->clear();
}

void TAttachmentRow::Append(const QString& item)
{
    m_comboBoxAttachment->addItem(item);
    m_comboBoxAttachment->setCurrentIndex(m_comboBoxAttachment->count() - 1);
}

void TAttachmentRow::AddOfferFiles()
{
    if (!m_dialogs || !m_btnAddFile->isEnabled())
        return;
    QWidget* owner = m_comboBoxAttachment->window();
    // Several files at once, each its own item in the order chosen; the last one ends selected.
    const QStringList chosen = m_dialogs->OpenFileNames(owner, u"打开"_s, u"任意文件 (*)"_s);
    for (const QString& path : chosen) {
        if (QFileInfo(path).isFile())
            Append(u"File="_s + path);
    }
}

void TAttachmentRow::AddOfferFolder()
{
    if (!m_dialogs || !m_btnAddDir->isEnabled())
        return;
    QString chosen;
    if (m_dialogs->PickFolder(m_comboBoxAttachment->window(), u"要添加的文件夹为："_s, chosen) &&
        !chosen.isEmpty())
        Append(u"Dir="_s + chosen);
}

bool TAttachmentRow::AddDroppedPaths(const QStringList& paths)
{
    if (!m_btnAddFile->isEnabled() || paths.isEmpty())
        return false;
    for (const QString& path : paths)
        Append((QFileInfo(path).isDir() ? u"Dir="_s : u"File="_s) + path);
    return true;
}

int TAttachmentRow::PendingOfferCount() const
{
    return m_comboBoxAttachment->count();
}

void TAttachmentRow::AcceptOffer(const QString& senderAddress, const QStringList& items)
{
    m_offerHost = senderAddress;
    m_comboBoxAttachment->addItems(items);
    m_comboBoxAttachment->setCurrentIndex(0);
    for (QPushButton* b : {m_btnSendInfo, m_btnAddFile, m_btnAddDir, m_btnDelFileDir})
        b->setEnabled(false);
    m_btnSaveFileDir->setEnabled(true);
}

bool TAttachmentRow::HandleDrop(QDropEvent* event, bool& added)
{
    added = false;
    if (event->mimeData() == nullptr || !event->mimeData()->hasUrls())
        return false;
    if (!Composing()) {
        event->ignore();
        return true;
    }
    event->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        added = AddDroppedPaths(paths);
    }
    return true;
}

TOfferRow TAttachmentRow::Row() const
{
    return {m_comboBoxAttachment, m_btnSendInfo,    m_btnAddFile,     m_btnAddDir,
            m_btnDelFileDir,      m_btnSaveFileDir, m_btnClearFileDir};
}

namespace {

// The window's conversation takes the line; the desktop opens what was saved.
class TFormDownloadHost final : public IDownloadHost
{
public:
    explicit TFormDownloadHost(TMessagerForm& form) : m_form(form) {}
    void appendConversation(const QString& line) override { m_form.AppendToConversation(line); }
    void openPath(const QString& path) override
    {
        if (const TPlatform* p = m_form.Platform())
            ShellOpen(*p, path);
    }

private:
    TMessagerForm& m_form;
};

} // namespace

std::unique_ptr<IOfferList> MakeDownloadOffers(TMessagerForm& form, IDialogService& dialogs)
{
    const TOfferRow row = form.Attachments().Row();
    auto downloads =
        std::make_unique<TDownloadController>(&form, dialogs, row, std::make_unique<TFormDownloadHost>(form));
    TDownloadController* d = downloads.get();
    QObject::connect(row.btnSaveFileDir, &QAbstractButton::clicked, d, &TDownloadController::SaveOffer);
    QObject::connect(row.btnClearFileDir, &QAbstractButton::clicked, d, &TDownloadController::ClearOffers);
    return downloads;
}
