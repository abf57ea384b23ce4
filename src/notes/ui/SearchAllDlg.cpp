#include "notes/ui/SearchAllDlg.h"

#include "notes/SearchResults.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Draws a row's text with its match on a highlight of its own, selected or not.
class THighlightDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        const QString text = background.text;
        background.text.clear();
        QStyle* style = background.widget ? background.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, background.widget);

        const QPoint highlight = index.data(TSearchResults::HighlightRole).toPoint();
        const int start = qBound(0, highlight.x(), int(text.size()));
        const int length = qBound(0, highlight.y(), int(text.size()) - start);
        const bool selected = option.state & QStyle::State_Selected;
        const QFontMetrics metrics(option.font);
        QRect rect = option.rect.adjusted(4, 0, -2, 0);
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        const QColor normal = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const auto draw = [&](const QString& part, const QColor& color) {
            painter->setPen(color);
            painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, part);
            rect.setLeft(rect.left() + metrics.horizontalAdvance(part));
        };
        draw(text.left(start), normal);
        const QString match = text.mid(start, length);
        const QRect mark(rect.left(), rect.top() + 1, metrics.horizontalAdvance(match), rect.height() - 2);
        painter->fillRect(mark, QColor(255, 214, 0));
        draw(match, Qt::black);
        draw(text.mid(start + length), normal);
        painter->restore();
    }
};

} // namespace

TSearchAllDialog::TSearchAllDialog(TSearchResults* results, QWidget* parent)
    : TBaseForm(parent), m_results(results)
{
    setObjectName(u"SearchAllDialog"_s);
    setWindowTitle(u"在所有页面中查找"_s);
    setModal(false);
    SetPlacement(TPlacement::Owner);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* label = new QLabel(u"查找内容(&N):"_s, this);
    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setObjectName(u"SearchEdit"_s);
    m_searchEdit->setPlaceholderText(u"多个词用空格分开"_s);
    label->setBuddy(m_searchEdit);
    m_status = new QLabel(this);
    m_status->setObjectName(u"StatusLabel"_s);
    m_list = new QListView(this);
    m_list->setObjectName(u"ResultList"_s);
    m_list->setModel(m_results);
    m_list->setItemDelegate(new THighlightDelegate(m_list));
    // Thousands of rows of one height are laid out without measuring each.
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(m_searchEdit, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_status);
    layout->addWidget(m_list, 1);
    resize(560, 360);

    m_searchEdit->installEventFilter(this);
    m_list->installEventFilter(this);
    connect(m_searchEdit, &QLineEdit::textChanged, this, &TSearchAllDialog::searchChanged);
    connect(m_list, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowChosen(index.row()); });

    auto* next = new QAction(this);
    next->setShortcut(QKeySequence(Qt::Key_F3));
    connect(next, &QAction::triggered, this, [this] { Step(1); });
    auto* previous = new QAction(this);
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(previous, &QAction::triggered, this, [this] { Step(-1); });
    addActions({next, previous});
}

QString TSearchAllDialog::SearchText() const
{
    return m_searchEdit->text();
}

void TSearchAllDialog::SetStatus(const QString& text, const QString& details, bool ended)
{
    m_status->setText(text);
    m_status->setToolTip(details);
    // The title tells what the search found, also in the task bar and window list.
    setWindowTitle(ended && !text.isEmpty() ? u"在所有页面中查找 - "_s + text : u"在所有页面中查找"_s);
}

int TSearchAllDialog::CurrentRow() const
{
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TSearchAllDialog::SetCurrentRow(int row)
{
    const QModelIndex index = m_results->index(row);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
}

void TSearchAllDialog::Step(int delta)
{
    const int count = m_results->rowCount();
    if (count == 0)
        return;
    const int current = CurrentRow();
    const int row = current < 0 ? (delta > 0 ? 0 : count - 1) : qBound(0, current + delta, count - 1);
    SetCurrentRow(row);
    emit rowChosen(row);
}

void TSearchAllDialog::ChooseCurrent()
{
    if (m_results->rowCount() == 0)
        return;
    if (CurrentRow() < 0)
        SetCurrentRow(0);
    emit rowChosen(CurrentRow());
}

void TSearchAllDialog::PlaceBesideOwner()
{
    // Beside the note window where the screen has room, so that the page of a chosen match
    // is not hidden behind the list; over the note window otherwise.
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible() || owner->isMinimized() || !owner->screen())
        return;
    const QRect area = owner->screen()->availableGeometry();
    const QRect beside = owner->frameGeometry();
    // The frame of a window not shown yet is unknown: a title bar's height is allowed for.
    const QSize outer = size() + QSize(8, 32);
    int x = -1;
    if (beside.left() - area.left() >= outer.width())
        x = beside.left() - outer.width();
    else if (area.right() - beside.right() >= outer.width())
        x = beside.right() + 1;
    if (x < 0)
        return;
    SetPlacement(TPlacement::Manual);
    move(x, qBound(area.top(), beside.top(), qMax(area.top(), area.bottom() - outer.height())));
}

void TSearchAllDialog::Execute()
{
    if (!m_placed) {
        m_placed = true;
        PlaceBesideOwner();
    }
    show();
    raise();
    activateWindow();
    m_searchEdit->setFocus();
    m_searchEdit->selectAll();
}

bool TSearchAllDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TBaseForm::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ChooseCurrent();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The rows move under the keys while the caret stays in the search box.
        if (watched == m_searchEdit) {
            if (CurrentRow() < 0 && m_results->rowCount() > 0) {
                SetCurrentRow(0);
                return true;
            }
            QApplication::sendEvent(m_list, event);
            return true;
        }
        break;
    default:
        break;
    }
    return TBaseForm::eventFilter(watched, event);
}
