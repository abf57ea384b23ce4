#include "reminders/ui/NoticeBox.h"

#include "reminders/ui/InputGuard.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

using namespace Qt::StringLiterals;

TNoticeBox::TNoticeBox(QWidget* owner, const QString& text, MsgBoxKind kind)
    : TBaseForm(nullptr), m_owner(owner)
{
    SetFixedSizeDialogFlags(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(MsgBoxTitle(kind));
    SetPlacement(TPlacement::Manual);

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    const QIcon icon = MsgBoxIcon(style(), kind);
    if (!icon.isNull()) {
        auto* image = new QLabel(this);
        image->setObjectName(u"Image"_s);
        image->setPixmap(icon.pixmap(32, 32));
        row->addWidget(image, 0, Qt::AlignTop);
    }
    m_message = new QLabel(this);
    m_message->setObjectName(u"Message"_s);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setText(text);
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->availableSize() : QSize(1024, 768);
    m_message->setMaximumWidth(screenSize.width() / 2);
    m_message->setWordWrap(m_message->sizeHint().width() > screenSize.width() / 2);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(u"MessageArea"_s);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_message);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // As big as the text, up to half the screen's height; a longer list scrolls.
    const QSize wanted = m_message->sizeHint();
    const int scrollBar = wanted.height() > screenSize.height() / 2
                              ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                    style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing) + 4
                              : 0;
    scroll->setFixedSize(wanted.width() + scrollBar, std::min(wanted.height(), screenSize.height() / 2));
    row->addWidget(scroll);

    m_ok = new QPushButton(MsgBoxButtonCaption(MsgBoxButton::OK), this);
    m_ok->setObjectName(u"ButtonOK"_s);
    m_ok->setDefault(true);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &TNoticeBox::answered);
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    m_guard = new TInputGuard(this);
}

void TNoticeBox::Open()
{
    adjustSize();
    CenterOnOwner(this, m_owner);
    show();
}
