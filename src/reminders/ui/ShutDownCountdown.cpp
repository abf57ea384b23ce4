#include "reminders/ui/ShutDownCountdown.h"

#include "reminders/TimerShutDown.h"
#include "reminders/ui/InputGuard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

using namespace Qt::StringLiterals;

TShutDownCountdown::TShutDownCountdown(QWidget* owner, int seconds)
    : TBaseForm(nullptr), m_seconds(seconds), m_owner(owner)
{
    SetFixedSizeDialogFlags(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"定时关机"_s);
    SetPlacement(TPlacement::Manual);

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    auto* image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    row->addWidget(image, 0, Qt::AlignTop);
    m_message = new QLabel(this);
    m_message->setObjectName(u"Message"_s);
    row->addWidget(m_message);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    m_now = new QPushButton(u"立即关机(&N)"_s, this);
    m_now->setObjectName(u"ButtonNow"_s);
    m_cancel = new QPushButton(u"取消(&C)"_s, this);
    m_cancel->setObjectName(u"ButtonCancel"_s);
    m_cancel->setDefault(true); // Enter keeps the computer on
    buttons->addStretch();
    buttons->addWidget(m_now);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_now, &QPushButton::clicked, this, [this] { Decide(true); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Decide(false); });
    // Esc and the close box cancel.
    connect(this, &QDialog::rejected, this, [this] { Decide(false); });
    new TInputGuard(this);

    m_ticker = new QTimer(this);
    m_ticker->setInterval(200);
    connect(m_ticker, &QTimer::timeout, this, &TShutDownCountdown::Tick);
    m_message->setText(ShutDownMessage() + u'\n' + ShutDownCountdownText(m_seconds));
}

void TShutDownCountdown::Open()
{
    // Counted on the monotonic clock: a wall clock set meanwhile changes nothing.
    m_deadline = QDeadlineTimer(qint64(m_seconds) * 1000);
    m_ticker->start();
    adjustSize();
    CenterOnOwner(this, m_owner);
    show();
}

int TShutDownCountdown::Remaining() const
{
    return static_cast<int>((m_deadline.remainingTime() + 999) / 1000);
}

void TShutDownCountdown::Tick()
{
    const int remaining = Remaining();
    m_message->setText(ShutDownMessage() + u'\n' + ShutDownCountdownText(remaining));
    if (remaining <= 0)
        Decide(true);
}

void TShutDownCountdown::Decide(bool powerOff)
{
    if (m_decided)
        return;
    m_decided = true;
    m_ticker->stop();
    emit decided(powerOff);
    close();
    deleteLater();
}
