#pragma once

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class IOverlayNotices;
class QFrame;
class QTimer;
class TfrmMSNPopUp;

enum class TOrientation
{
    mbHorizontal,
    mbVertical
};

enum class TMSNImageDrawMethod
{
    dmActualSize,
    dmTile,
    dmFit
};

enum TMSNPopupOption
{
    msnAutoOpenURL = 0x01,
    msnSystemFont = 0x02, // accepted, no effect
    msnCascadePopups = 0x04,
    msnAllowScroll = 0x08,
    msnAllowHyperlink = 0x10
};
Q_DECLARE_FLAGS(TMSNPopupOptions, TMSNPopupOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMSNPopupOptions)

// The primary screen as a popup sees it: its whole rectangle and the part panels leave free.
struct TPopupScreen
{
    QRect geometry;
    QRect available;
};

// The side of the screen the panel sits on: 0 left, 1 top, 2 right, 3 bottom. A screen without
// a panel counts as one with a bottom panel, so popups rise from the bottom-right corner.
int TaskbarEdge(const TPopupScreen& screen);
// Per channel c1 + i * (c2 - c1) / n, rounded to the nearest integer; c1 when n is 0.
QColor BlendColor(const QColor& c1, const QColor& c2, int i, int n);

// A label that reports the mouse entering and leaving it, and its button releases.
class TMouseLabel final : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void mouseEntered();
    void mouseLeft();
    void mouseReleased(Qt::MouseButton button, bool inside);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Shows short notices in small windows that slide out of the panel's corner of the screen, stay
// TimeOut seconds and slide back, without taking the keyboard focus. Each ShowPopUp makes one
// independent window from the current properties.
//
//   TMSNPopUp popup(messengerWindow);
//   popup.SetMessengerValues();
//   popup.Title = u"信使"_s; popup.Text = u"张三 上线了"_s;
//   popup.ShowPopUp();
class TMSNPopUp final : public QObject
{
    Q_OBJECT
public:
    // owner: the object that owns the component (the messenger window), or none.
    explicit TMSNPopUp(QObject* owner = nullptr);
    ~TMSNPopUp() override;

    // The messenger's instance: 200 x 100, five seconds, its fonts, only sliding.
    void SetMessengerValues();
    // Takes the picture in file as the background of the popups shown from now on; false, and
    // the background left as it was, when there is no such file or it holds no picture.
    bool LoadBackgroundImage(const QString& file);

    // False when cascading found no room: nothing is shown.
    bool ShowPopUp();

    int Count() const { return m_count; }
    int Offset() const { return m_offset; }
    int LastEdge() const { return m_lastEdge; }
    QList<TfrmMSNPopUp*> Popups() const;

    QString Text = QStringLiteral("text");
    QString URL = QStringLiteral("about:blank");
    QPixmap IconBitmap;
    int IconLeft = 8;
    int IconTop = 8;
    int TimeOut = 10; // seconds shown; 0: until clicked
    int Width = 148;
    int Height = 121;
    QColor GradientColor1 = QColor(153, 204, 255);
    QColor GradientColor2 = Qt::white;
    TOrientation GradientOrientation = TOrientation::mbVertical;
    int ScrollSpeed = 9; // pixels per slide step, 1..50
    QFont Font;
    QColor FontColor = Qt::black;
    QFont HoverFont;
    QColor HoverFontColor = Qt::blue;
    QString Title = QStringLiteral("title");
    QFont TitleFont;
    QColor TitleFontColor = Qt::black;
    TMSNPopupOptions Options = msnAutoOpenURL | msnCascadePopups | msnAllowScroll | msnAllowHyperlink;
    Qt::Alignment TextAlignment = Qt::AlignHCenter;
    TMSNImageDrawMethod BackgroundDrawMethod = TMSNImageDrawMethod::dmActualSize;
    Qt::CursorShape TextCursor = Qt::ArrowCursor;
    int PopupMarge = 2;
    int PopupStartX = 16;
    int PopupStartY = 2;
    int DefaultMonitor = 0; // the primary monitor is always used
    QPixmap BackgroundImage;
    std::function<void(QObject* sender)> OnClick;
    std::function<void(QObject* sender, const QString& url)> OnURLClick;

    // Where the popups are placed: the primary screen by default; tests set their own.
    std::function<TPopupScreen()> ScreenAreas;
    // Where set (a Wayland compositor's overlay layer), each popup is drawn once and shown through
    // it at the bottom-right corner instead of as a window: it appears without sliding, cannot be
    // clicked, and goes after its time-out (TimeOut 0 counts as 10 seconds there). It must
    // outlive the component.
    IOverlayNotices* Overlay = nullptr;
    // Opens URL for msnAutoOpenURL: the desktop's default handler by default.
    std::function<void(const QString& url)> OpenURL;

private:
    friend class TfrmMSNPopUp;
    void popupClosed(TfrmMSNPopUp* popup);

    int m_count = 0;
    int m_offset = 0;
    int m_lastEdge = -2; // no ShowPopUp yet
    QList<QPointer<TfrmMSNPopUp>> m_popups;
};

// One notice window. It slides in with tmrScroll, waits with tmrExit and slides out with
// tmrScrollDown, each step of 25 ms; a click closes it at once.
class TfrmMSNPopUp final : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmMSNPopUp(TMSNPopUp* component);
    ~TfrmMSNPopUp() override;

    // Places, draws and shows the window (collapsed when it slides in).
    void ShowRoutine();

    // Closes the notice: destroyed, and no longer counted; from inside an event call only hidden.
    void Close();

    // The handlers, public so that a test can step them.
    void lblTextMouseEnter();
    void lblTextMouseLeave();
    void lblTextClick();
    void tmrExitTimer();
    void tmrscrollDownTimer();
    void tmrScrollTimer();
    void lblTextMouseUp(Qt::MouseButton button);
    void lblTitleMouseUp();
    void imgIconMouseUp();
    void imgGradientMouseUp();

    int Edge() const { return m_edge; }
    // The number of the picture shown through the overlay; 0 for a popup window.
    int OverlayNotice() const { return m_notice; }
    int Slot() const { return m_slot; }
    bool ClosingGuard() const { return m_guard; }
    // The background as drawn (gradient or picture), for tests.
    QPixmap Background() const { return m_background; }

    QFrame* pnlBorder = nullptr;
    QLabel* imgIcon = nullptr;
    TMouseLabel* lblText = nullptr;
    TMouseLabel* imgGradient = nullptr;
    QLabel* imgMsn = nullptr;
    QTimer* tmrExit = nullptr;
    QTimer* tmrScroll = nullptr;
    QTimer* tmrScrollDown = nullptr;
    TMouseLabel* lblTitle = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void drawBackground();
    void layoutText();
    void setTextFont(const QFont& font, const QColor& color);
    void startExitTimer();
    // Draws the popup into a picture and hands it to the overlay; false when it was refused.
    bool showOnOverlay();
    // Calls an event of the owner with the closing guard cleared around it.
    void callEvent(const std::function<void()>& call);

    QPointer<TMSNPopUp> m_component;
    IOverlayNotices* m_overlay;
    int m_notice = 0;
    QRect m_workArea;
    int m_edge = 3;
    int m_slot = 0;
    bool m_guard = false;
    bool m_closed = false;
    QPixmap m_background;

    // Copied from the component at creation.
    int m_width, m_height, m_timeOut, m_scrollSpeed;
    QString m_text, m_url, m_title;
    QPixmap m_iconBitmap, m_backgroundImage;
    bool m_allowScroll, m_allowHyperlink, m_autoOpenURL;
    QFont m_font, m_hoverFont, m_titleFont;
    QColor m_fontColor, m_hoverFontColor, m_titleFontColor;
    Qt::CursorShape m_textCursor;
    QColor m_gradient1, m_gradient2;
    TOrientation m_orientation;
    TMSNImageDrawMethod m_drawMethod;
    int m_iconLeft, m_iconTop;
};
