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

TScreenEdge TaskbarEdge(const TPopupScreen& screen)
{
    const QRect& full = screen.geometry;
    const QRect& free = screen.available;
    if (bottomOf(free) < bottomOf(full))
        return TScreenEdge::Bottom;
    if (free.top() > full.top())
        return TScreenEdge::Top;
    if (free.left() > full.left())
        return TScreenEdge::Left;
    if (rightOf(free) < rightOf(full))
        return TScreenEdge::Right;
    return TScreenEdge::Bottom; // no panel: as for a bottom panel, never a place of the platform's choosing
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

TPopupSettings::TPopupSettings()
{
    HoverFont.setUnderline(true);
    TitleFont.setBold(true);
}

TMSNPopUp::TMSNPopUp(QObject* owner)
    : QObject(owner), m_screenAreas(primaryScreenAreas),
      m_openUrl([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); })
{
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
    m_settings.BackgroundImage = picture;
    return true;
}

void TMSNPopUp::SetMessengerValues()
{
    TPopupSettings& s = m_settings;
    s.TimeOut = 5;
    s.Width = 200;
    s.Height = 100;
    s.Font = QFont(u"宋体"_s);
    s.Font.setPixelSize(12);
    s.FontColor = Qt::black; // window text
    s.HoverFont = QFont(u"宋体"_s);
    s.HoverFont.setPixelSize(12);
    s.HoverFont.setUnderline(true);
    s.HoverFontColor = Qt::blue;
    s.TitleFont = QFont(u"宋体"_s);
    s.TitleFont.setPixelSize(13);
    s.TitleFontColor = Qt::blue;
    s.Options = msnAllowScroll;
}

QList<TfrmMSNPopUp*> TMSNPopUp::Popups() const
{
    QList<TfrmMSNPopUp*> list;
    for (const QPointer<TfrmMSNPopUp>& popup : m_popups)
        if (popup)
            list << popup.data();
    return list;
}

bool TMSNPopUp::ShowPopUp(const QString& title, const QString& text)
{
    m_settings.Title = title;
    m_settings.Text = text;
    return ShowPopUp();
}

bool TMSNPopUp::ShowPopUp()
{
    const TPopupScreen screen = m_screenAreas();
    const TScreenEdge edge = TaskbarEdge(screen);
    if (edge != m_lastEdge) {
        m_lastEdge = edge;
        m_count = 0;
    }
    const QRect work = screen.available;
    if (m_count > 0) {
        // The next slot must lie inside the work area; a popup that would leave it is refused.
        const TPopupSettings& s = m_settings;
        const bool noRoom = edge == TScreenEdge::Top
                                ? work.top() + s.PopupStartY + m_offset + s.Height > bottomOf(work)
                                : bottomOf(work) - s.PopupStartY - s.Height - m_offset < work.top();
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
      m_component(component), m_look(component->Settings()), m_overlay(component->m_overlay)
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
    lblText->setAlignment(m_look.TextAlignment | Qt::AlignVCenter);
    lblText->setAttribute(Qt::WA_TranslucentBackground);

    imgMsn = new QLabel(pnlBorder);
    imgMsn->setObjectName(u"imgMsn"_s);

    lblTitle = new TMouseLabel(pnlBorder);
    lblTitle->setObjectName(u"lblTitle"_s);
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->move(kTitleLeftWithIcon, kTitleTop);

    tmrExit = new QTimer(this);
    tmrExit->setObjectName(u"tmrExit"_s);
    tmrScroll = new QTimer(this);
    tmrScroll->setObjectName(u"tmrScroll"_s);
    tmrScrollDown = new QTimer(this);
    tmrScrollDown->setObjectName(u"tmrScrollDown"_s);
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
    const int width = m_look.Width;
    const int height = m_look.Height;
    resize(width, height);
    lblText->setCursor(m_look.TextCursor);
    const TPopupScreen screen = m_component->m_screenAreas();
    m_edge = TaskbarEdge(screen);
    m_workArea = screen.available;
    m_guard = true;

    // Beside a left panel the notices stand in the bottom-left corner, below a top panel in the
    // top-right one, elsewhere in the bottom-right one.
    const QRect& w = m_workArea;
    TMSNPopUp& c = *m_component;
    const int left =
        m_edge == TScreenEdge::Left ? w.left() + m_look.PopupStartX : rightOf(w) - width - m_look.PopupStartX;
    const int top = m_edge == TScreenEdge::Top ? w.top() + m_look.PopupStartY + c.m_offset
                                               : bottomOf(w) - m_look.PopupStartY - height - c.m_offset;
    m_place = QRect(left, top, width, height);
    move(m_place.topLeft());
    m_slot = c.m_offset;
    if (m_look.Options.testFlag(msnCascadePopups))
        c.m_offset += height + m_look.PopupMarge;
    else
        c.m_offset = 0;

    lblTitle->setFont(m_look.TitleFont);
    lblTitle->setStyleSheet(colorStyle(m_look.TitleFontColor));
    lblTitle->setText(m_look.Title);
    lblTitle->adjustSize();

    // The content keeps its full size while the window grows and shrinks: it is only clipped.
    pnlBorder->setGeometry(0, 0, width, height);
    const QRect inside = pnlBorder->contentsRect();
    imgGradient->setGeometry(inside);
    imgMsn->setGeometry(inside.left(), inside.bottom() - 2, inside.width(), 3);
    drawBackground();
    if (m_look.IconBitmap.isNull())
        lblTitle->move(kTitleLeftWithoutIcon, kTitleTop);

    tmrExit->setInterval(m_look.TimeOut * 1000);
    if (m_overlay) {
        // The picture is the popup as it would stand after sliding in; the window itself stays
        // hidden. A refused picture leaves the window to show it.
        setTextFont(m_look.Font, m_look.FontColor);
        if (showOnOverlay()) {
            if (m_look.TimeOut <= 0)
                tmrExit->setInterval(kOverlayTimeOutIfNoneS * 1000);
            startExitTimer();
            return;
        }
        m_overlay = nullptr;
    }
    if (m_look.Options.testFlag(msnAllowScroll)) {
        // A line along the side toward the panel, for a right or bottom panel one pixel past it.
        QRect line = m_place;
        if (m_edge == TScreenEdge::Right)
            line.translate(1, 0);
        else if (m_edge == TScreenEdge::Bottom)
            line.translate(0, 1);
        setGeometry(withExtent(line, 1));
        tmrScroll->start();
    } else {
        startExitTimer();
    }
    show();
    raise();

    setTextFont(m_look.HoverFont, m_look.HoverFontColor);
    setTextFont(m_look.Font, m_look.FontColor);
}

int TfrmMSNPopUp::extent(const QRect& geometry) const
{
    const bool across = m_edge == TScreenEdge::Left || m_edge == TScreenEdge::Right;
    return across ? geometry.width() : geometry.height();
}

int TfrmMSNPopUp::fullExtent() const
{
    return extent(m_place);
}

QRect TfrmMSNPopUp::withExtent(QRect geometry, int extent) const
{
    switch (m_edge) {
    case TScreenEdge::Left:
        geometry.setWidth(extent);
        break;
    case TScreenEdge::Top:
        geometry.setHeight(extent);
        break;
    case TScreenEdge::Right:
        geometry.setLeft(geometry.left() + geometry.width() - extent);
        break;
    case TScreenEdge::Bottom:
        geometry.setTop(geometry.top() + geometry.height() - extent);
        break;
    }
    return geometry;
}

bool TfrmMSNPopUp::showOnOverlay()
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    ensurePolished();
    render(&picture);
    m_notice = m_overlay->Show(picture, m_look.PopupStartX, m_look.PopupStartY + m_slot);
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
    if (m_look.BackgroundImage.isNull()) {
        if (m_look.GradientOrientation == TOrientation::mbVertical) {
            const int h = size.height();
            for (int y = 0; y <= h; ++y) {
                painter.setPen(BlendColor(m_look.GradientColor1, m_look.GradientColor2, y, h));
                painter.drawLine(0, y, size.width(), y);
            }
        } else {
            const int wd = size.width();
            for (int x = 0; x <= wd; ++x) {
                painter.setPen(BlendColor(m_look.GradientColor1, m_look.GradientColor2, x, wd));
                painter.drawLine(x, 0, x, size.height());
            }
        }
    } else {
        switch (m_look.BackgroundDrawMethod) {
        case TMSNImageDrawMethod::dmActualSize:
            painter.drawPixmap(0, 0, m_look.BackgroundImage);
            break;
        case TMSNImageDrawMethod::dmTile:
            for (int x = 0; x < size.width(); x += m_look.BackgroundImage.width())
                for (int y = 0; y < size.height(); y += m_look.BackgroundImage.height())
                    painter.drawPixmap(x, y, m_look.BackgroundImage);
            break;
        case TMSNImageDrawMethod::dmFit:
            painter.drawPixmap(QRect(QPoint(0, 0), size), m_look.BackgroundImage);
            break;
        }
    }
    if (!m_look.IconBitmap.isNull())
        painter.drawPixmap(m_look.IconLeft, m_look.IconTop, m_look.IconBitmap);
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
    lblText->setText(m_look.Text);
    const int panelWidth = pnlBorder->width();
    const int panelHeight = pnlBorder->height();
    const int width = std::max(1, panelWidth - 15);
    const int height = std::max(1, lblText->heightForWidth(width));
    lblText->setGeometry(int(std::lround((panelWidth - width) / 2.0)),
                         int(std::lround((panelHeight - height) / 2.0)), width, height);
}

void TfrmMSNPopUp::lblTextMouseEnter()
{
    if (m_look.Options.testFlag(msnAllowHyperlink))
        setTextFont(m_look.HoverFont, m_look.HoverFontColor);
}

void TfrmMSNPopUp::lblTextMouseLeave()
{
    if (m_look.Options.testFlag(msnAllowHyperlink))
        setTextFont(m_look.Font, m_look.FontColor);
}

void TfrmMSNPopUp::callEvent(const std::function<void()>& call)
{
    m_guard = false;
    call();
    m_guard = true;
}

void TfrmMSNPopUp::lblTextClick()
{
    if (m_look.Options.testFlag(msnAllowHyperlink)) {
        if (m_component)
            callEvent([this] { emit m_component->urlClicked(this, m_look.URL); });
        if (m_look.Options.testFlag(msnAutoOpenURL) && m_component && m_component->m_openUrl)
            m_component->m_openUrl(m_look.URL);
    } else if (m_component) {
        callEvent([this] { emit m_component->clicked(this); });
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
    if (m_component)
        callEvent([this] { emit m_component->clicked(m_component.data()); });
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
    const int reach = extent(geometry()) + std::clamp(m_look.ScrollSpeed, 1, 50);
    if (reach < fullExtent()) {
        setGeometry(withExtent(geometry(), reach));
        return;
    }
    setGeometry(m_place);
    tmrScroll->stop();
    startExitTimer();
}

void TfrmMSNPopUp::tmrscrollDownTimer()
{
    const int reach = extent(geometry()) - std::clamp(m_look.ScrollSpeed, 1, 50);
    if (reach > 0) {
        setGeometry(withExtent(geometry(), reach));
        return;
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
