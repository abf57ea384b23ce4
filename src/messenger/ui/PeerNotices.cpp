#include "messenger/ui/PeerNotices.h"

#include "widgets/BaseFrm.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TNoticeWindow::TNoticeWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_title(new QLabel(this)), m_text(new QLabel(this)), m_timer(new QTimer(this))
{
    setObjectName(u"MSNPopUp"_s);
    setWindowTitle(u"Jotvane-提示"_s);
    setAttribute(Qt::WA_ShowWithoutActivating);
    ApplyBaseFormLook(this);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(0xE8, 0xF0, 0xFF));
    setPalette(look);
    setStyleSheet(u"TNoticeWindow { border: 1px solid #5078B4; }"_s);
    m_title->setObjectName(u"NoticeTitle"_s);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_text->setObjectName(u"NoticeText"_s);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_title->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_text, 1);
    setFixedSize(200, 100);
    m_timer->setSingleShot(true);
    m_timer->setInterval(ShowTime);
    connect(m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void TNoticeWindow::ShowNotice(const QString& title, const QString& text)
{
    m_title->setText(title);
    m_text->setText(text);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() + 1 - width() - 2, area.bottom() + 1 - height() - 2);
    }
    show();
    raise();
    m_timer->start();
}

QString TNoticeWindow::Title() const
{
    return m_title->text();
}

QString TNoticeWindow::Text() const
{
    return m_text->text();
}
