#include "widgets/MsgBox.h"

#include "widgets/DialogService.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

struct TButtonInfo
{
    const char16_t* name;
    const char16_t* caption;
    int result;
};

constexpr TButtonInfo ButtonTable[MsgBoxButtonCount] = {
    {u"Yes", u"是(&Y)", MsgResultYes},
    {u"No", u"否(&N)", MsgResultNo},
    {u"OK", u"确定", MsgResultOK},
    {u"Cancel", u"取消", MsgResultCancel},
    {u"Abort", u"终止", MsgResultAbort},
    {u"Retry", u"重试", MsgResultRetry},
    {u"Ignore", u"忽略", MsgResultIgnore},
    {u"All", u"全部", MsgResultAll},
    {u"NoToAll", u"全部不", MsgResultNoToAll},
    {u"YesToAll", u"全部是", MsgResultYesToAll},
    {u"Help", u"帮助", 0},
    {u"Close", u"关闭", MsgResultClose},
};

constexpr int ButtonHeight = 23;
constexpr int IconSize = 32;
// Lines of details shown at once; more scroll.
constexpr int DetailsLines = 8;

// Lives for the whole run: a button type is measured the first time it is laid out.
int ButtonWidthCache[MsgBoxButtonCount] = {};

// a·b/c rounded half away from zero, as the layout's figures are rounded.
int MulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QScreen* ScreenFor(QWidget* owner)
{
    if (owner && owner->window()->screen())
        return owner->window()->screen();
    return QGuiApplication::primaryScreen();
}

QVector<MsgBoxButton> ButtonsOf(TMsgBoxButtons set)
{
    QVector<MsgBoxButton> list;
    for (int i = 0; i < MsgBoxButtonCount; ++i)
        if (set.Contains(static_cast<MsgBoxButton>(i)))
            list.append(static_cast<MsgBoxButton>(i));
    return list;
}

} // namespace

QIcon MsgBoxIcon(const QStyle* style, MsgBoxKind kind)
{
    switch (kind) {
    case MsgBoxKind::Warning:
    case MsgBoxKind::Confirmation: // the exclamation icon, not the question mark
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case MsgBoxKind::Error:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case MsgBoxKind::Information:
        return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case MsgBoxKind::Custom:
        break;
    }
    return {};
}

QString MsgBoxButtonCaption(MsgBoxButton button)
{
    return QString::fromUtf16(ButtonTable[static_cast<int>(button)].caption);
}

int MsgBoxButtonResult(MsgBoxButton button)
{
    return ButtonTable[static_cast<int>(button)].result;
}

QString MsgBoxTitle(MsgBoxKind kind)
{
    switch (kind) {
    case MsgBoxKind::Warning:
        return u"警告"_s;
    case MsgBoxKind::Error:
        return u"错误"_s;
    case MsgBoxKind::Information:
        return u"提示"_s;
    case MsgBoxKind::Confirmation:
        return u"确认"_s;
    case MsgBoxKind::Custom:
        break;
    }
    return QApplication::applicationName();
}

int CachedMsgBoxButtonWidth(MsgBoxButton button)
{
    return ButtonWidthCache[static_cast<int>(button)];
}

TMessageForm::TMessageForm(QWidget* owner, const QString& message, MsgBoxKind kind, TMsgBoxButtons buttons,
                           int focusIndex, const QString& details)
    : TBaseForm(owner), m_set(buttons)
{
    SetFixedSizeDialogFlags(this);
    setLayoutDirection(QGuiApplication::layoutDirection());
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* panel = new QWidget(this);
    panel->setObjectName(u"Panel"_s);
    panel->setAutoFillBackground(true);

    // Every figure below comes from the dialog font's average character size.
    const QFontMetrics fm(font());
    const QString letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
    const int w = fm.horizontalAdvance(letters) / 52;
    const int h = fm.height();
    m_metrics.horzMargin = MulDiv(8, w, 4);
    m_metrics.vertMargin = MulDiv(7, h, 8);
    m_metrics.horzSpacing = MulDiv(15, w, 4);
    m_metrics.vertSpacing = MulDiv(10, h, 8);
    m_metrics.buttonSpacing = MulDiv(4, w, 4);
    const int minButtonWidth = MulDiv(50, w, 4);

    const QVector<MsgBoxButton> shown = ButtonsOf(buttons);
    int buttonWidth = minButtonWidth;
    for (MsgBoxButton b : shown) {
        int& cached = ButtonWidthCache[static_cast<int>(b)];
        if (cached == 0)
            cached = fm.size(Qt::TextSingleLine | Qt::TextShowMnemonic, MsgBoxButtonCaption(b)).width() + 50;
        buttonWidth = std::max(buttonWidth, cached);
    }
    m_metrics.buttonWidth = buttonWidth;

    const int screenWidth = ScreenFor(owner) ? ScreenFor(owner)->geometry().width() : 1024;
    const QRect textRect =
        fm.boundingRect(QRect(0, 0, screenWidth / 2, 0), Qt::TextWordWrap | Qt::TextExpandTabs, message);
    const int textWidth = textRect.width();
    const int textHeight = textRect.height();

    const QIcon icon = MsgBoxIcon(style(), kind);
    int areaWidth = textWidth;
    int areaHeight = textHeight;
    if (!icon.isNull()) {
        areaWidth = textWidth + m_metrics.horzSpacing + IconSize;
        areaHeight = std::max(textHeight, IconSize);
    }
    const int n = static_cast<int>(shown.size());
    const int rowWidth = n > 0 ? n * buttonWidth + (n - 1) * m_metrics.buttonSpacing : 0;
    // The details field: as wide as the message (at least 50 average characters), a few lines high.
    const int detailsWidth = details.isEmpty() ? 0 : std::min(std::max(areaWidth, 50 * w), screenWidth / 2);
    const int detailsHeight = details.isEmpty() ? 0 : DetailsLines * h + 2 * h / 3 + m_metrics.vertSpacing;
    const int clientWidth = std::max({areaWidth, rowWidth, detailsWidth}) + 2 * m_metrics.horzMargin;
    const int clientHeight =
        areaHeight + detailsHeight + ButtonHeight + m_metrics.vertSpacing + 2 * m_metrics.vertMargin;
    setFixedSize(clientWidth, clientHeight);
    panel->setGeometry(0, 0, clientWidth, clientHeight);
    setWindowTitle(MsgBoxTitle(kind));

    const bool rtl = layoutDirection() == Qt::RightToLeft;
    auto place = [&](QWidget* widget, int left, int top, int width, int height) {
        // Child geometry in Qt is not mirrored for right-to-left; the layout is, by hand.
        widget->setGeometry(rtl ? clientWidth - left - width : left, top, width, height);
    };
    if (!icon.isNull()) {
        auto* image = new QLabel(panel);
        image->setObjectName(u"Image"_s);
        image->setPixmap(icon.pixmap(IconSize, IconSize));
        place(image, m_metrics.horzMargin, m_metrics.vertMargin, IconSize, IconSize);
    }
    m_message = new QLabel(panel);
    m_message->setObjectName(u"Message"_s);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignVCenter | (rtl ? Qt::AlignRight : Qt::AlignLeft));
    m_message->setText(message);
    place(m_message, m_metrics.horzMargin + areaWidth - textWidth, m_metrics.vertMargin, textWidth,
          areaHeight);
    if (!details.isEmpty()) {
        m_details = new QPlainTextEdit(panel);
        m_details->setObjectName(u"Details"_s);
        m_details->setReadOnly(true);
        m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_details->setPlainText(details);
        place(m_details, m_metrics.horzMargin, m_metrics.vertMargin + areaHeight + m_metrics.vertSpacing,
              clientWidth - 2 * m_metrics.horzMargin, detailsHeight - m_metrics.vertSpacing);
    }

    const MsgBoxButton defaultButton = buttons.Contains(MsgBoxButton::OK)    ? MsgBoxButton::OK
                                       : buttons.Contains(MsgBoxButton::Yes) ? MsgBoxButton::Yes
                                                                             : MsgBoxButton::Retry;
    const MsgBoxButton cancelButton = buttons.Contains(MsgBoxButton::Cancel) ? MsgBoxButton::Cancel
                                      : buttons.Contains(MsgBoxButton::No)   ? MsgBoxButton::No
                                                                             : MsgBoxButton::OK;
    const int buttonTop = m_metrics.vertMargin + areaHeight + detailsHeight + m_metrics.vertSpacing;
    int left = (clientWidth - rowWidth) / 2;
    QPushButton* focusButton = nullptr;
    for (int i = 0; i < n; ++i) {
        const MsgBoxButton b = shown[i];
        const TButtonInfo& info = ButtonTable[static_cast<int>(b)];
        auto* button = new QPushButton(MsgBoxButtonCaption(b), panel);
        button->setObjectName(u"Button"_s + QString::fromUtf16(info.name));
        place(button, left, buttonTop, buttonWidth, ButtonHeight);
        left += buttonWidth + m_metrics.buttonSpacing;
        m_buttons[static_cast<int>(b)] = button;
        if (b == MsgBoxButton::Help) {
            // There is no help file: the button leaves the dialog open.
        } else {
            const int result = info.result;
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        }
        if (b == defaultButton) {
            button->setDefault(true);
            m_default = button;
        }
        if (b == cancelButton)
            m_cancel = button;
        if (i == focusIndex)
            focusButton = button;
    }
    if (focusButton) {
        // First in the tab order, so that it has the focus when the dialog opens.
        for (int i = n - 1; i >= 0; --i) {
            QPushButton* other = m_buttons[static_cast<int>(shown[i])];
            if (other != focusButton)
                setTabOrder(focusButton, other);
        }
        focusButton->setFocus();
    }
}

void TMessageForm::reject()
{
    done(MsgResultCancel);
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Esc is the cancel button; a dialog without one ignores it.
        if (m_cancel)
            m_cancel->click();
        event->accept();
        return;
    }
    // As in a desktop dialog, a button's access key works without Alt while the focus is on a
    // button: Y answers Yes, N answers No. With Alt it works anywhere (when the shortcut system
    // has not taken it already).
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers == Qt::AltModifier ||
        (modifiers == Qt::NoModifier && qobject_cast<QAbstractButton*>(focusWidget()))) {
        const QKeySequence pressed(Qt::AltModifier | Qt::Key(event->key()));
        for (QPushButton* button : m_buttons) {
            if (button && button->isVisible() && button->isEnabled() &&
                QKeySequence::mnemonic(button->text()) == pressed) {
                button->click();
                event->accept();
                return;
            }
        }
    }
    TBaseForm::keyPressEvent(event);
}

QPoint MsgBoxPosition(QWidget* owner, const QSize& dialogSize)
{
    QPoint centre;
    QWidget* window = owner ? owner->window() : nullptr;
    if (window && window->isVisible() && !window->isMinimized()) {
        const QRect frame = window->frameGeometry();
        centre = QPoint(frame.left() + frame.width() / 2, frame.top() + frame.height() / 2);
    } else if (QScreen* screen = ScreenFor(owner)) {
        const QRect area = screen->geometry();
        centre = QPoint(area.left() + area.width() / 2, area.top() + area.height() / 2);
    }
    return {centre.x() - dialogSize.width() / 2, centre.y() - dialogSize.height() / 2};
}

int MapMsgBoxResult(int result, TMsgBoxButtons buttons)
{
    if (result == MsgResultCancel && !buttons.Contains(MsgBoxButton::Cancel)) {
        if (buttons.Contains(MsgBoxButton::No))
            return MsgResultNo;
        if (buttons.Contains(MsgBoxButton::Abort))
            return MsgResultAbort;
    }
    return result;
}

int EscapeMsgBoxResult(TMsgBoxButtons buttons)
{
    for (MsgBoxButton b : {MsgBoxButton::Cancel, MsgBoxButton::No, MsgBoxButton::OK})
        if (buttons.Contains(b))
            return MsgBoxButtonResult(b);
    return MapMsgBoxResult(MsgResultCancel, buttons);
}

int RunMsgBox(IDialogService& service, QWidget* owner, const QString& message, const QString& details,
              MsgBoxKind kind, TMsgBoxButtons buttons, int focusIndex)
{
    TMessageForm dialog(owner, message, kind, buttons, focusIndex, details);
    dialog.SetPlacement(TBaseForm::TPlacement::Manual);
    dialog.move(MsgBoxPosition(owner, dialog.size()));
    return MapMsgBoxResult(service.RunModal(dialog), buttons);
}
