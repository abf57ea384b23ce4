#include "widgets/MSNPopUp.h"

#include "platform/OverlayNotices.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStepMs = 25;
constexpr int kTitleLeftWithIcon = 48;
constexpr int kTitleLeftWithoutIcon = 8;
constexpr int kTitleTop = 8;
constexpr int kOverlayTimeOutIfNoneS = 10; // an overlay notice cannot be clicked away

TPopupScreen primaryScreenAreas()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768)};
    return {screen->geometry(), screen->availableGeometry()};
}

// Exclusive right and bottom edges, as the placement rules count them.
int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

QString colorStyle(const QColor& color)
{
    return u"color: %1; background: transparent;"_s.arg(color.name());
}

} // namespace

int TaskbarEdge(const TPopupScreen& screen)
{
    const QRect& full = screen.geometry;
    const QRect& free = screen.available;
    if (bottomOf(free) < bottomOf(full))
        return 3;
    if (free.top() > full.top())
        return 1;
    if (free.left() > full.left())
        return 0;
    if (rightOf(free) < rightOf(full))
        return 2;
    return 3; // no panel: as for a bottom panel, never a place of the platform's choosing
}

QColor BlendColor(const QColor& c1, const QColor& c2, int i, int n)
{
    if (n == 0)
        return QColor(c1.red(), c1.green(), c1.blue());
    auto channel = [i, n](int a, int b) { return int(std::lround(a + double(i) * (b - a) / n)); };
    return QColor(channel(c1.red(), c2.red()), channel(c1.green(), c2.green()),
                  channel(c1.blue(), c2.blue()));
}

// ---- TMouseLabel ------------------------------------------------------------------------------

void TMouseLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    emit mouseEntered();
}

void TMouseLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    emit mouseLeft();
}

void TMouseLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    emit mouseReleased(event->button(), rect().contains(event->position().toPoint()));
}

// ---- TMSNPopUp --------------------------------------------------------------------------------

TMSNPopUp::TMSNPopUp(QObject* owner) : QObject(owner)
{
    HoverFont.setUnderline(true);
    TitleFont.setBold(true);
    ScreenAreas = primaryScreenAreas;
    OpenURL = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
}

TMSNPopUp::~TMSNPopUp()
{
    const QList<QPointer<TfrmMSNPopUp>> popups = std::exchange(m_popups, {});
    for (const QPointer<TfrmMSNPopUp>& popup : popups)
        delete popup.data();
}

bool TMSNPopUp::LoadBackgroundImage(const QString& file)
{
    QPixmap picture;
    if (!QFileInfo::exists(file) || !picture.load(file))
        return false;
    BackgroundImage = picture;
    return true;
}

void TMSNPopUp::SetMessengerValues()
{
    TimeOut = 5;
    Width = 200;
    Height = 100;
    Font = QFont(u"宋体"_s);
    Font.setPixelSize(12);
    FontColor = Qt::black; // window text
    HoverFont = QFont(u"宋体"_s);
    HoverFont.setPixelSize(12);
    HoverFont.setUnderline(true);
    HoverFontColor = Qt::blue;
    TitleFont = QFont(u"宋体"_s);
    TitleFont.setPixelSize(13);
    TitleFontColor = Qt::blue;
    Options = msnAllowScroll;
}

QList<TfrmMSNPopUp*> TMSNPopUp::Popups() const
{
    QList<TfrmMSNPopUp*> list;
    for (const QPointer<TfrmMSNPopUp>& popup : m_popups)
        if (popup)
            list << popup.data();
    return list;
}

bool TMSNPopUp::ShowPopUp()
{
    const TPopupScreen screen = ScreenAreas();
    const int edge = TaskbarEdge(screen);
    if (edge != m_lastEdge) {
        m_lastEdge = edge;
        m_count = 0;
    }
    const QRect work = screen.available;
    if (m_count > 0) {
        // The next slot must lie inside the work area; a popup that would leave it is refused.
        const bool fromTop = edge == 1;
        const bool noRoom = fromTop ? work.top() + PopupStartY + m_offset + Height > bottomOf(work)
                                    : bottomOf(work) - PopupStartY - Height - m_offset < work.top();
        if (noRoom)
            return false;
    } else {
        m_offset = 0;
    }
    ++m_count;
    // A window of its own, not a child of the owner: a hidden messenger window must not hide its
    // notices. The component deletes any still open when it goes.
    auto* popup = new TfrmMSNPopUp(this);
    m_popups.removeAll(nullptr);
    m_popups << popup;
    popup->ShowRoutine();
    return true;
}

void TMSNPopUp::popupClosed(TfrmMSNPopUp* popup)
{
    m_count = std::max(0, m_count - 1);
    m_popups.removeAll(popup);
}

// ---- TfrmMSNPopUp -----------------------------------------------------------------------------

TfrmMSNPopUp::TfrmMSNPopUp(TMSNPopUp* component)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      m_component(component), m_overlay(component->Overlay), m_width(component->Width),
      m_height(component->Height), m_timeOut(component->TimeOut),
      m_scrollSpeed(std::clamp(component->ScrollSpeed, 1, 50)), m_text(component->Text),
      m_url(component->URL), m_title(component->Title), m_iconBitmap(component->IconBitmap),
      m_backgroundImage(component->BackgroundImage),
      m_allowScroll(component->Options.testFlag(msnAllowScroll)),
      m_allowHyperlink(component->Options.testFlag(msnAllowHyperlink)),
      m_autoOpenURL(component->Options.testFlag(msnAutoOpenURL)), m_font(component->Font),
      m_hoverFont(component->HoverFont), m_titleFont(component->TitleFont), m_fontColor(component->FontColor),
      m_hoverFontColor(component->HoverFontColor), m_titleFontColor(component->TitleFontColor),
      m_textCursor(component->TextCursor), m_gradient1(component->GradientColor1),
      m_gradient2(component->GradientColor2), m_orientation(component->GradientOrientation),
      m_drawMethod(component->BackgroundDrawMethod), m_iconLeft(component->IconLeft),
      m_iconTop(component->IconTop)
{
    setObjectName(u"frmMSNPopUp"_s);
    // Never shown in a frame, but named for the window list and assistive tools.
    setWindowTitle(u"Jotvane-提示"_s);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    pnlBorder = new QFrame(this);
    pnlBorder->setObjectName(u"pnlBorder"_s);
    pnlBorder->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlBorder->setLineWidth(2);

    imgGradient = new TMouseLabel(pnlBorder);
    imgGradient->setObjectName(u"imgGradient"_s);
    imgGradient->setScaledContents(false);

    imgIcon = new QLabel(pnlBorder);
    imgIcon->setObjectName(u"imgIcon"_s);
    imgIcon->move(3, 8);
    imgIcon->hide(); // the icon is drawn on the background; this image only keeps its place

    lblText = new TMouseLabel(pnlBorder);
    lblText->setObjectName(u"lblText"_s);
    lblText->setWordWrap(true);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setAlignment(component->TextAlignment | Qt::AlignVCenter);
    lblText->setAttribute(Qt::WA_TranslucentBackground);

    imgMsn = new QLabel(pnlBorder);
    imgMsn->setObjectName(u"imgMsn"_s);

    lblTitle = new TMouseLabel(pnlBorder);
    lblTitle->setObjectName(u"lblTitle"_s);
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->move(kTitleLeftWithIcon, kTitleTop);

    tmrExit = new QTimer(this);
    tmrScroll = new QTimer(this);
    tmrScrollDown = new QTimer(this);
    tmrScroll->setInterval(kStepMs);
    tmrScrollDown->setInterval(kStepMs);
    connect(tmrExit, &QTimer::timeout, this, &TfrmMSNPopUp::tmrExitTimer);
    connect(tmrScroll, &QTimer::timeout, this, &TfrmMSNPopUp::tmrScrollTimer);
    connect(tmrScrollDown, &QTimer::timeout, this, &TfrmMSNPopUp::tmrscrollDownTimer);

    connect(lblText, &TMouseLabel::mouseEntered, this, &TfrmMSNPopUp::lblTextMouseEnter);
    connect(lblText, &TMouseLabel::mouseLeft, this, &TfrmMSNPopUp::lblTextMouseLeave);
    connect(lblText, &TMouseLabel::mouseReleased, this, [this](Qt::MouseButton button, bool inside) {
        if (button == Qt::LeftButton && inside)
            lblTextClick();
        else
            lblTextMouseUp(button);
    });
    connect(lblTitle, &TMouseLabel::mouseReleased, this, [this] { lblTitleMouseUp(); });
    connect(imgGradient, &TMouseLabel::mouseReleased, this, [this] { imgGradientMouseUp(); });
}

TfrmMSNPopUp::~TfrmMSNPopUp()
{
    if (m_overlay && m_notice)
        m_overlay->Close(m_notice);
    if (m_component)
        m_component->m_popups.removeAll(this);
}

void TfrmMSNPopUp::ShowRoutine()
{
    resize(m_width, m_height);
    lblText->setCursor(m_textCursor);
    const TPopupScreen screen = m_component->ScreenAreas();
    m_edge = TaskbarEdge(screen);
    m_workArea = screen.available;
    m_guard = true;

    const QRect& w = m_workArea;
    TMSNPopUp& c = *m_component;
    QPoint at;
    switch (m_edge) {
    case 0:
        at = {w.left() + c.PopupStartX, bottomOf(w) - c.PopupStartY - m_height - c.m_offset};
        break;
    case 1:
        at = {rightOf(w) - m_width - c.PopupStartX, w.top() + c.PopupStartY + c.m_offset};
        break;
    default:
        at = {rightOf(w) - m_width - c.PopupStartX, bottomOf(w) - c.PopupStartY - m_height - c.m_offset};
        break;
    }
    move(at);
    m_slot = c.m_offset;
    if (c.Options.testFlag(msnCascadePopups))
        c.m_offset += m_height + c.PopupMarge;
    else
        c.m_offset = 0;

    lblTitle->setFont(m_titleFont);
    lblTitle->setStyleSheet(colorStyle(m_titleFontColor));
    lblTitle->setText(m_title);
    lblTitle->adjustSize();

    // The content keeps its full size while the window grows and shrinks: it is only clipped.
    pnlBorder->setGeometry(0, 0, m_width, m_height);
    const QRect inside = pnlBorder->contentsRect();
    imgGradient->setGeometry(inside);
    imgMsn->setGeometry(inside.left(), inside.bottom() - 2, inside.width(), 3);
    drawBackground();
    if (m_iconBitmap.isNull())
        lblTitle->move(kTitleLeftWithoutIcon, kTitleTop);

    tmrExit->setInterval(m_timeOut * 1000);
    if (m_overlay) {
        // The picture is the popup as it would stand after sliding in; the window itself stays
        // hidden. A refused picture leaves the window to show it.
        setTextFont(m_font, m_fontColor);
        if (showOnOverlay()) {
            if (m_timeOut <= 0)
                tmrExit->setInterval(kOverlayTimeOutIfNoneS * 1000);
            startExitTimer();
            return;
        }
        m_overlay = nullptr;
    }
    QRect g = geometry();
    if (m_allowScroll) {
        switch (m_edge) {
        case 0:
            g.setWidth(1);
            break;
        case 1:
            g.setHeight(1);
            break;
        case 2:
            g = QRect(g.left() + g.width(), g.top(), 1, g.height());
            break;
        default:
            g = QRect(g.left(), g.top() + g.height(), g.width(), 1);
            break;
        }
        setGeometry(g);
        tmrScroll->start();
    } else {
        startExitTimer();
    }
    show();
    raise();

    setTextFont(m_hoverFont, m_hoverFontColor);
    setTextFont(m_font, m_fontColor);
}

bool TfrmMSNPopUp::showOnOverlay()
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    ensurePolished();
    render(&picture);
    m_notice = m_overlay->Show(picture, m_component->PopupStartX, m_component->PopupStartY + m_slot);
    return m_notice > 0;
}

void TfrmMSNPopUp::startExitTimer()
{
    // An interval of 0 never fires: such a notice stays until it is clicked.
    if (tmrExit->interval() > 0)
        tmrExit->start();
}

void TfrmMSNPopUp::drawBackground()
{
    const QSize size = imgGradient->size();
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    if (m_backgroundImage.isNull()) {
        if (m_orientation == TOrientation::mbVertical) {
            const int h = size.height();
            for (int y = 0; y <= h; ++y) {
                painter.setPen(BlendColor(m_gradient1, m_gradient2, y, h));
                painter.drawLine(0, y, size.width(), y);
            }
        } else {
            const int wd = size.width();
            for (int x = 0; x <= wd; ++x) {
                painter.setPen(BlendColor(m_gradient1, m_gradient2, x, wd));
                painter.drawLine(x, 0, x, size.height());
            }
        }
    } else {
        switch (m_drawMethod) {
        case TMSNImageDrawMethod::dmActualSize:
            painter.drawPixmap(0, 0, m_backgroundImage);
            break;
        case TMSNImageDrawMethod::dmTile:
            for (int x = 0; x < size.width(); x += m_backgroundImage.width())
                for (int y = 0; y < size.height(); y += m_backgroundImage.height())
                    painter.drawPixmap(x, y, m_backgroundImage);
            break;
        case TMSNImageDrawMethod::dmFit:
            painter.drawPixmap(QRect(QPoint(0, 0), size), m_backgroundImage);
            break;
        }
    }
    if (!m_iconBitmap.isNull())
        painter.drawPixmap(m_iconLeft, m_iconTop, m_iconBitmap);
    painter.end();
    m_background = pixmap;
    imgGradient->setPixmap(pixmap);
}

void TfrmMSNPopUp::setTextFont(const QFont& font, const QColor& color)
{
    lblText->setFont(font);
    lblText->setStyleSheet(colorStyle(color));
    layoutText();
}

void TfrmMSNPopUp::layoutText()
{
    lblText->setText(m_text);
    const int panelWidth = pnlBorder->width();
    const int panelHeight = pnlBorder->height();
    const int width = std::max(1, panelWidth - 15);
    const int height = std::max(1, lblText->heightForWidth(width));
    lblText->setGeometry(int(std::lround((panelWidth - width) / 2.0)),
                         int(std::lround((panelHeight - height) / 2.0)), width, height);
}

void TfrmMSNPopUp::lblTextMouseEnter()
{
    if (m_allowHyperlink)
        setTextFont(m_hoverFont, m_hoverFontColor);
}

void TfrmMSNPopUp::lblTextMouseLeave()
{
    if (m_allowHyperlink)
        setTextFont(m_font, m_fontColor);
}

void TfrmMSNPopUp::callEvent(const std::function<void()>& call)
{
    m_guard = false;
    call();
    m_guard = true;
}

void TfrmMSNPopUp::lblTextClick()
{
    if (m_allowHyperlink) {
        if (m_component && m_component->OnURLClick)
            callEvent([this] { m_component->OnURLClick(this, m_url); });
        if (m_autoOpenURL && m_component && m_component->OpenURL)
            m_component->OpenURL(m_url);
    } else if (m_component && m_component->OnClick) {
        callEvent([this] { m_component->OnClick(this); });
    }
    Close();
}

void TfrmMSNPopUp::lblTextMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        imgGradientMouseUp();
}

void TfrmMSNPopUp::lblTitleMouseUp()
{
    imgGradientMouseUp();
}

void TfrmMSNPopUp::imgIconMouseUp()
{
    imgGradientMouseUp();
}

void TfrmMSNPopUp::imgGradientMouseUp()
{
    if (m_component && m_component->OnClick)
        callEvent([this] { m_component->OnClick(m_component.data()); });
    Close();
}

void TfrmMSNPopUp::tmrExitTimer()
{
    tmrExit->stop();
    if (m_notice)
        Close(); // nothing to slide
    else
        tmrScrollDown->start();
}

void TfrmMSNPopUp::tmrScrollTimer()
{
    const int s = m_scrollSpeed;
    QRect g = geometry();
    bool done = false;
    switch (m_edge) {
    case 0:
        if (g.width() + s < m_width) {
            g.setWidth(g.width() + s);
        } else {
            g.setWidth(m_width);
            done = true;
        }
        break;
    case 1:
        if (g.height() + s < m_height) {
            g.setHeight(g.height() + s);
        } else {
            g.setHeight(m_height);
            done = true;
        }
        break;
    case 2:
        if (g.width() + s < m_width) {
            g = QRect(g.left() - s, g.top(), g.width() + s, g.height());
        } else {
            const int left = rightOf(m_workArea) - m_component->PopupStartX - m_width;
            g = QRect(left, g.top(), m_width, g.height());
            done = true;
        }
        break;
    default:
        if (g.height() + s < m_height) {
            g = QRect(g.left(), g.top() - s, g.width(), g.height() + s);
        } else {
            const int top = bottomOf(m_workArea) - m_component->PopupStartY - m_height - m_slot;
            g = QRect(g.left(), top, g.width(), m_height);
            done = true;
        }
        break;
    }
    setGeometry(g);
    if (done) {
        tmrScroll->stop();
        startExitTimer();
    }
}

void TfrmMSNPopUp::tmrscrollDownTimer()
{
    const int s = m_scrollSpeed;
    QRect g = geometry();
    switch (m_edge) {
    case 0:
        if (g.width() - s > 0) {
            g.setWidth(g.width() - s);
            setGeometry(g);
            return;
        }
        break;
    case 1:
        if (g.height() - s > 0) {
            g.setHeight(g.height() - s);
            setGeometry(g);
            return;
        }
        break;
    case 2:
        if (g.width() - s > 0) {
            setGeometry(g.left() + s, g.top(), g.width() - s, g.height());
            return;
        }
        break;
    default:
        if (g.height() - s > 0) {
            setGeometry(g.left(), g.top() + s, g.width(), g.height() - s);
            return;
        }
        break;
    }
    tmrScrollDown->stop();
    Close();
}

void TfrmMSNPopUp::Close()
{
    if (!m_guard) {
        // A close asked for from inside an event call: only hidden, the call is still running.
        hide();
        return;
    }
    if (m_closed)
        return;
    m_closed = true;
    tmrExit->stop();
    tmrScroll->stop();
    tmrScrollDown->stop();
    hide();
    if (m_notice)
        m_overlay->Close(std::exchange(m_notice, 0));
    if (m_component)
        m_component->popupClosed(this);
    deleteLater();
}

void TfrmMSNPopUp::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Close();
}
