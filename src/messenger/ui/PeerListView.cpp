#include "messenger/ui/PeerListView.h"

#include "core/PubUtils.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/PeerGroups.h"
#include "messenger/ui/PeerNotices.h"
#include "widgets/DialogService.h"
#include "widgets/InputFrm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kFindMode = u"查找"_s;
const QString kGroupMode = u"分组"_s;
// The check state a row had when its last change was seen.
constexpr int WasCheckedRole = Qt::UserRole + 1;
// How the row is shown besides its texts (TPeerState).
constexpr int StateRole = Qt::UserRole + 2;

const QString kConflictHint = u"另一行的计算机名与此相同，两个地址都在应答：请按IP地址核对是谁。"_s;
const QString kOfflineHint = u"好友已经很久没有应答，可能已经下线。"_s;

const QString kFindHint = u"请输入要查找的好友名字拼音首字母(声母)组合来快速定位,回车键会自动选中。"_s;
const QString kGroupHint = u"请选择好友分组实现多选，如果还没有则请选择好友后新建。"_s;

} // namespace

TPeerListView::TPeerListView(QWidget* page, std::unique_ptr<IGroupStore> groups, IDialogService& dialogs,
                             QObject* parent)
    : QObject(parent), m_groups(std::move(groups)), m_dialogs(dialogs),
      m_noticeMerger([this](const QString& title, const QString& text) { ShowNotice(title, text); })
{
    m_listViewUser = new QTreeWidget(page);
    m_listViewUser->setObjectName(u"ListViewUser"_s);
    m_listViewUser->setColumnCount(4);
    m_listViewUser->setHeaderLabels({u"姓名"_s, u"IP地址"_s, u"计算机名"_s, u"类型"_s});
    m_listViewUser->setRootIsDecorated(false);
    m_listViewUser->setItemsExpandable(false);
    m_listViewUser->setUniformRowHeights(true);
    m_listViewUser->setSortingEnabled(false);
    m_listViewUser->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[4] = {100, 160, 160, 80};
    for (int c = 0; c < 4; ++c) {
        m_listViewUser->setColumnWidth(c, widths[c]);
        m_listViewUser->headerItem()->setTextAlignment(
            c, (c == 1 || c == 2) ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_listViewUser->header()->setSectionsClickable(true);
    m_listViewUser->header()->setSectionsMovable(false);
    m_listViewUser->header()->setStretchLastSection(false);
    m_listViewUser->setToolTip(u"如果您要找的好友没有出现,请点击\"刷新\"按钮"_s);
    connect(m_listViewUser->header(), &QHeaderView::sectionClicked, this,
            &TPeerListView::ListViewUserColumnClick);
    connect(m_listViewUser, &QTreeWidget::itemChanged, this, &TPeerListView::PeerChanged);
    CreateToolRow(page);
    // The locating tool starts in find mode.
    m_comboBoxLabel->addItems({kFindMode, kGroupMode});
    m_comboBoxLabel->setCurrentIndex(0);
    SwitchMode();
}

void TPeerListView::CreateToolRow(QWidget* page)
{
    m_toolRow = new QHBoxLayout;
    m_toolRow->setSpacing(2);
    m_btnRefreshUserList = new QPushButton(u"刷新[&G]"_s, page);
    m_btnRefreshUserList->setObjectName(u"btnRefreshUserList"_s);
    connect(m_btnRefreshUserList, &QPushButton::clicked, this, &TPeerListView::refreshRequested);
    m_comboBoxLabel = new QComboBox(page);
    m_comboBoxLabel->setObjectName(u"ComboBoxLabel"_s);
    m_comboBoxLabel->setToolTip(
        u"请选择好友定位方式，然后在后面输入好友名字拼音首字母(声母)组合或者选择好友分组。"_s);
    connect(m_comboBoxLabel, &QComboBox::activated, this, &TPeerListView::SwitchMode);
    m_comboBoxGroup = new QComboBox(page);
    m_comboBoxGroup->setObjectName(u"ComboBoxGroup"_s);
    m_comboBoxGroup->setInsertPolicy(QComboBox::NoInsert);
    m_comboBoxGroup->setMinimumWidth(60);
    m_comboBoxGroup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBoxLabel->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_comboBoxGroup, &QComboBox::editTextChanged, this, &TPeerListView::FindWhileTyping);
    connect(m_comboBoxGroup, &QComboBox::activated, this, &TPeerListView::ChooseGroup);
    auto button = [page](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, page);
        b->setObjectName(name);
        return b;
    };
    m_btnNewGroup = button(u"btnNewGroup"_s, u"新建(&N)"_s);
    connect(m_btnNewGroup, &QPushButton::clicked, this, &TPeerListView::NewGroup);
    m_btnDelGroup = button(u"btnDelGroup"_s, u"删除(&M)"_s);
    connect(m_btnDelGroup, &QPushButton::clicked, this, &TPeerListView::DeleteGroup);
    m_btnSelectAll = button(u"btnSelectAll"_s, u"全选(&A)"_s);
    connect(m_btnSelectAll, &QPushButton::clicked, this, [this] { SelectAll(true); });
    m_btnSelectNone = button(u"btnSelectNone"_s, u"全空(&B)"_s);
    connect(m_btnSelectNone, &QPushButton::clicked, this, [this] { SelectAll(false); });
    m_toolRow->addWidget(m_btnRefreshUserList);
    m_toolRow->addWidget(m_comboBoxLabel);
    m_toolRow->addWidget(m_comboBoxGroup, 1);
    for (QPushButton* b : {m_btnNewGroup, m_btnDelGroup, m_btnSelectAll, m_btnSelectNone})
        m_toolRow->addWidget(b);
}

QList<QWidget*> TPeerListView::ToolRowControls() const
{
    return {m_btnRefreshUserList, m_comboBoxLabel, m_comboBoxGroup, m_btnNewGroup,
            m_btnDelGroup,        m_btnSelectAll,  m_btnSelectNone};
}

// Rows

int TPeerListView::PeerCount() const
{
    return m_listViewUser->topLevelItemCount();
}

TPeerInfo TPeerListView::PeerAt(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    if (item == nullptr)
        return {};
    return {item->text(0), item->text(1), item->text(2), item->text(3)};
}

TPeerState TPeerListView::PeerState(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr ? TPeerState(item->data(0, StateRole).toInt()) : TPeerState::Normal;
}

void TPeerListView::SetPeerState(int row, TPeerState state)
{
    QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    if (item == nullptr || PeerState(row) == state)
        return;
    const bool blocked = m_listViewUser->blockSignals(true);
    item->setData(0, StateRole, int(state));
    const QPalette& palette = m_listViewUser->palette();
    QBrush brush = palette.brush(QPalette::Text);
    QString hint;
    if (state == TPeerState::Offline) {
        brush = palette.brush(QPalette::Disabled, QPalette::Text);
        hint = kOfflineHint;
    } else if (state == TPeerState::Conflict) {
        brush = QBrush(Qt::red);
        hint = kConflictHint;
    }
    for (int column = 0; column < 4; ++column) {
        item->setForeground(column, brush);
        item->setToolTip(column, hint);
    }
    m_listViewUser->blockSignals(blocked);
}

int TPeerListView::FindPeerByIP(const QString& address) const
{
    for (int i = 0; i < PeerCount(); ++i) {
        if (m_listViewUser->topLevelItem(i)->text(1) == address)
            return i;
    }
    return -1;
}

int TPeerListView::FindPeerByCard(const QString& card) const
{
    for (int i = 0; i < PeerCount(); ++i) {
        if (m_listViewUser->topLevelItem(i)->text(2) == card)
            return i;
    }
    return -1;
}

void TPeerListView::AddPeer(const QString& name, const QString& address, const QString& card,
                            const QString& type)
{
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, WasCheckedRole, false);
    item->setTextAlignment(1, Qt::AlignCenter);
    item->setTextAlignment(2, Qt::AlignCenter);
    m_listViewUser->addTopLevelItem(item);
    UpdatePeer(PeerCount() - 1, name, address, card, type);
}

void TPeerListView::UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                               const QString& type)
{
    QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    if (item == nullptr)
        return;
    const bool captionChanged = item->text(0) != name;
    item->setText(0, name);
    if (captionChanged)
        PlaceRow(item);
    item->setText(1, address);
    item->setText(2, card);
    item->setText(3, type);
}

void TPeerListView::DeletePeer(int row)
{
    delete m_listViewUser->takeTopLevelItem(row);
}

void TPeerListView::ClearPeers()
{
    m_listViewUser->clear();
}

bool TPeerListView::IsExtranetPeer(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr && item->text(3) == TMessagerProtocol::ExtranetPeerType;
}

bool TPeerListView::IsChecked(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr && item->checkState(0) == Qt::Checked;
}

QString TPeerListView::PeerName(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr ? item->text(0) : QString();
}

QString TPeerListView::PeerAddress(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr ? item->text(1) : QString();
}

void TPeerListView::SetChecked(int row, bool checked)
{
    if (QTreeWidgetItem* item = m_listViewUser->topLevelItem(row))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool TPeerListView::AnyChecked() const
{
    for (int i = 0; i < PeerCount(); ++i) {
        if (IsChecked(i))
            return true;
    }
    return false;
}

void TPeerListView::ShowOnlineNotice(const QString& name)
{
    m_noticeMerger.Online(name);
}

void TPeerListView::ShowOfflineNotice(const QString& name)
{
    m_noticeMerger.Offline(name);
}

void TPeerListView::ShowNotice(const QString& title, const QString& text)
{
    if (m_notices != nullptr)
        m_notices->ShowNotice(title, text);
}

// Sorting and checking

void TPeerListView::SortPeers()
{
    const int column = m_sortColumn;
    const bool descending = m_sortDirections[column] == 1;
    QList<QTreeWidgetItem*> items;
    const bool blocked = m_listViewUser->blockSignals(true);
    while (m_listViewUser->topLevelItemCount() > 0)
        items << m_listViewUser->takeTopLevelItem(0);
    std::stable_sort(items.begin(), items.end(),
                     [column, descending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                         const int order = ComparePeerTexts(a->text(column), b->text(column));
                         return descending ? order > 0 : order < 0;
                     });
    m_listViewUser->addTopLevelItems(items);
    m_listViewUser->blockSignals(blocked);
}

// The row moves to its place in the sorted list: one search, not a sort of every row, so that
// thousands of arrivals stay cheap.
void TPeerListView::PlaceRow(QTreeWidgetItem* item)
{
    const int column = m_sortColumn;
    const bool descending = m_sortDirections[column] == 1;
    const bool blocked = m_listViewUser->blockSignals(true);
    m_listViewUser->takeTopLevelItem(m_listViewUser->indexOfTopLevelItem(item));
    int low = 0;
    int high = m_listViewUser->topLevelItemCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int order =
            ComparePeerTexts(item->text(column), m_listViewUser->topLevelItem(middle)->text(column));
        if (descending ? order > 0 : order < 0)
            high = middle;
        else
            low = middle + 1;
    }
    m_listViewUser->insertTopLevelItem(low, item);
    m_listViewUser->blockSignals(blocked);
}

void TPeerListView::ListViewUserColumnClick(int column)
{
    if (column < 0 || column > 3)
        return;
    if (m_sortDirections[column] == 0 || m_sortDirections[column] == 1)
        m_sortDirections[column] = 1 - m_sortDirections[column];
    m_sortColumn = column;
    SortPeers();
}

void TPeerListView::PeerChanged(QTreeWidgetItem* item, int column)
{
    if (column != 0)
        return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->data(0, WasCheckedRole).toBool() == checked)
        return;
    item->setData(0, WasCheckedRole, checked);
    const int row = m_listViewUser->indexOfTopLevelItem(item);
    if (!checked || row < 0 || !IsExtranetPeer(row) || item->text(1).isEmpty() || item->text(2).isEmpty())
        return;
    emit extranetPeerChecked(item->text(2), item->text(1));
}

void TPeerListView::SelectAll(bool checked)
{
    for (int i = 0; i < PeerCount(); ++i)
        SetChecked(i, checked);
}

// Groups and the locating tool

void TPeerListView::SwitchMode()
{
    const QString mode = m_comboBoxLabel->currentText();
    if (mode == kFindMode) {
        m_comboBoxGroup->setEditable(true);
        m_comboBoxGroup->clear();
        m_btnNewGroup->setEnabled(false);
        m_btnDelGroup->setEnabled(false);
        m_comboBoxGroup->setToolTip(kFindHint);
    } else if (mode == kGroupMode) {
        m_btnNewGroup->setText(u"新建(&N)"_s);
        m_comboBoxGroup->setEditable(false);
        m_comboBoxGroup->clear();
        m_comboBoxGroup->addItems(ReadGroupItems(m_groups->read()));
        m_btnNewGroup->setEnabled(true);
        m_btnDelGroup->setEnabled(true);
        m_comboBoxGroup->setToolTip(kGroupHint);
    }
    if (m_comboBoxGroup->isEditable())
        m_comboBoxGroup->clearEditText();
    else
        m_comboBoxGroup->setCurrentIndex(-1);
}

void TPeerListView::FindWhileTyping(const QString& text)
{
    if (m_comboBoxLabel->currentText() != kFindMode)
        return;
    const QString wanted = LowerAsciiLetters(TrimBlanksAndControls(text));
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < PeerCount(); ++i) {
        QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (LowerAsciiLetters(item->text(0)).contains(wanted)) {
            m_listViewUser->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            m_listViewUser->scrollToItem(item);
            return;
        }
    }
}

void TPeerListView::FindEnter()
{
    const QString wanted = LowerAsciiLetters(TrimBlanksAndControls(m_comboBoxGroup->currentText()));
    for (int i = 0; i < PeerCount(); ++i) {
        QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (LowerAsciiLetters(item->text(0)) == wanted) {
            m_listViewUser->scrollToItem(item);
            SetChecked(i, true);
            return;
        }
    }
}

void TPeerListView::ChooseGroup(int index)
{
    if (index < 0 || m_comboBoxLabel->currentText() != kGroupMode)
        return;
    SelectAll(false);
    QList<QPair<QString, QString>> rows;
    for (int i = 0; i < PeerCount(); ++i)
        rows.append({PeerName(i), PeerAt(i).Card});
    const QStringList members = GroupMembers(GroupItemValue(m_comboBoxGroup->itemText(index)));
    for (const QString& member : members) {
        const int row = FindGroupMember(member, rows);
        if (row >= 0)
            SetChecked(row, true);
    }
}

void TPeerListView::NewGroup()
{
    if (m_comboBoxLabel->currentText() != kGroupMode)
        return;
    QStringList names;
    for (int i = 0; i < PeerCount(); ++i) {
        if (IsChecked(i))
            names << GroupMemberText(PeerName(i), PeerAt(i).Card);
    }
    if (names.isEmpty())
        return;
    QString name = ProposedGroupName(m_comboBoxGroup->count());
    if (!InputTextDialog(m_dialogs, m_listViewUser->window(), u"Jotvane"_s, u"请输入分组名:       "_s, false,
                         false, name))
        return;
    m_comboBoxGroup->addItem(name + u'=' + JoinGroupMembers(names));
    StoreGroups();
    m_comboBoxGroup->setCurrentIndex(m_comboBoxGroup->count() - 1);
}

void TPeerListView::DeleteGroup()
{
    const int index = m_comboBoxGroup->currentIndex();
    if (index < 0)
        return;
    m_comboBoxGroup->removeItem(index);
    m_comboBoxGroup->setCurrentIndex(-1);
    if (m_comboBoxLabel->currentText() == kGroupMode)
        StoreGroups();
}

void TPeerListView::StoreGroups()
{
    QStringList items;
    for (int i = 0; i < m_comboBoxGroup->count(); ++i)
        items << m_comboBoxGroup->itemText(i);
    m_groups->write(WriteGroupItems(items));
}

void TPeerListView::FocusLocator()
{
    m_comboBoxGroup->setFocus();
    if (m_comboBoxGroup->lineEdit() != nullptr)
        m_comboBoxGroup->lineEdit()->selectAll();
}

bool TPeerListView::HandleKey(QWidget* target, const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier) &&
        key->key() == Qt::Key_A && (target == m_listViewUser || m_listViewUser->isAncestorOf(target))) {
        SelectAll(true);
        return true;
    }
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && modifiers == Qt::NoModifier && m_comboBoxGroup->isEditable() &&
        (target == m_comboBoxGroup || m_comboBoxGroup->isAncestorOf(target))) {
        FindEnter();
        return true;
    }
    return false;
}
