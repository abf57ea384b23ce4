#pragma once

#include "messenger/NoticeMerger.h"
#include "messenger/ProtocolHooks.h"
#include "messenger/ui/GroupStore.h"

#include <QObject>
#include <QString>

#include <memory>

class IDialogService;
class IPeerNotices;
class QComboBox;
class QHBoxLayout;
class QKeyEvent;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The online peers of the messenger window (ListViewUser) with the tool row below them: refresh,
// the locating tool (find a peer by name, or check a saved group), new and delete group, check
// and uncheck all. The checked rows are the recipients of the next message. The controls are
// created on the given page; the window places View() and ToolRow() in its layout.
class TPeerListView final : public QObject, public IPeerList
{
    Q_OBJECT
public:
    // groups keeps the saved groups; the list owns it.
    TPeerListView(QWidget* page, std::unique_ptr<IGroupStore> groups, IDialogService& dialogs,
                  QObject* parent = nullptr);

    QTreeWidget* View() const { return m_listViewUser; }
    QHBoxLayout* ToolRow() const { return m_toolRow; }
    QComboBox* ComboBoxLabel() const { return m_comboBoxLabel; }
    QComboBox* ComboBoxGroup() const { return m_comboBoxGroup; }
    // The tool row's controls in the order Tab walks them.
    QList<QWidget*> ToolRowControls() const;
    // Where the online and offline notices go; none: no notice.
    void SetNotices(IPeerNotices* notices) { m_notices = notices; }

    // IPeerList
    int PeerCount() const override;
    TPeerInfo PeerAt(int row) const override;
    void SetPeerState(int row, TPeerState state) override;
    int FindPeerByIP(const QString& address) const override;
    int FindPeerByCard(const QString& card) const override;
    void AddPeer(const QString& name, const QString& address, const QString& card,
                 const QString& type) override;
    void UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                    const QString& type) override;
    void DeletePeer(int row) override;
    void ClearPeers() override;
    void ShowOnlineNotice(const QString& name) override;
    void ShowOfflineNotice(const QString& name) override;

    TPeerState PeerState(int row) const;
    bool IsExtranetPeer(int row) const;
    bool IsChecked(int row) const;
    QString PeerName(int row) const;
    QString PeerAddress(int row) const;
    void SetChecked(int row, bool checked);
    bool AnyChecked() const;

    // Commands
    void ListViewUserColumnClick(int column);
    void SelectAll(bool checked);
    void SwitchMode();
    void NewGroup();
    void DeleteGroup();
    void ChooseGroup(int index);
    void FindWhileTyping(const QString& text);
    void FindEnter();
    // Puts the focus into the locating field and selects its text.
    void FocusLocator();
    // Ctrl+A in the list and Enter in the find field; true when the key was taken.
    bool HandleKey(QWidget* target, const QKeyEvent* key);

    int SortColumn() const { return m_sortColumn; }
    int SortDirection(int column) const { return m_sortDirections[column]; }

signals:
    // "刷新[&G]".
    void refreshRequested();
    // A peer behind the relay server became checked: its card address and its endpoint text.
    void extranetPeerChecked(const QString& card, const QString& endpoint);

private:
    void CreateToolRow(QWidget* page);
    void SortPeers();
    void PlaceRow(QTreeWidgetItem* item);
    void PeerChanged(QTreeWidgetItem* item, int column);
    void StoreGroups();
    void ShowNotice(const QString& title, const QString& text);

    std::unique_ptr<IGroupStore> m_groups;
    IDialogService& m_dialogs;
    IPeerNotices* m_notices = nullptr;
    TNoticeMerger m_noticeMerger;
    QTreeWidget* m_listViewUser = nullptr;
    QHBoxLayout* m_toolRow = nullptr;
    QPushButton* m_btnRefreshUserList = nullptr;
    QComboBox* m_comboBoxLabel = nullptr;
    QComboBox* m_comboBoxGroup = nullptr;
    QPushButton* m_btnNewGroup = nullptr;
    QPushButton* m_btnDelGroup = nullptr;
    QPushButton* m_btnSelectAll = nullptr;
    QPushButton* m_btnSelectNone = nullptr;
    int m_sortColumn = 0;
    int m_sortDirections[4] = {0, 0, 0, 0};
};
