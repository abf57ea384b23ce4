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
#include <optional>

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

// The side of the screen the panel sits on. A screen without a panel counts as one with a bottom
// panel, so popups rise from the bottom-right corner.
enum class TScreenEdge
{
    Left,
    Top,
    Right,
    Bottom
};
TScreenEdge TaskbarEdge(const TPopupScreen& screen);
// Per channel c1 + i * (c2 - c1) / n, rounded to the nearest integer; c1 when n is 0.
QColor BlendColor(const QColor& c1, const QColor& c2, int i, int n);

// What a popup shows and how: each popup takes a copy when it is made.
struct TPopupSettings
{
    TPopupSettings();

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
    QFont HoverFont; // underlined
    QColor HoverFontColor = Qt::blue;
    QString Title = QStringLiteral("title");
    QFont TitleFont; // bold
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
};

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
// independent window from the current settings.
//
//   TMSNPopUp popup(messengerWindow);
//   popup.SetMessengerValues();
//   popup.ShowPopUp(u"信使"_s, u"张三 上线了"_s);
class TMSNPopUp final : public QObject
{
    Q_OBJECT
public:
    // owner: the object that owns the component (the messenger window), or none.
    explicit TMSNPopUp(QObject* owner = nullptr);
    ~TMSNPopUp() override;

    const TPopupSettings& Settings() const { return m_settings; }
    void SetSettings(const TPopupSettings& settings) { m_settings = settings; }
    // The messenger's instance: 200 x 100, five seconds, its fonts, only sliding.
    void SetMessengerValues();
    // Takes the picture in file as the background of the popups shown from now on; false, and
    // the background left as it was, when there is no such file or it holds no picture.
    bool LoadBackgroundImage(const QString& file);

    // Where the popups are placed: the primary screen by default; tests set their own.
    void SetScreenAreas(std::function<TPopupScreen()> screenAreas) { m_screenAreas = std::move(screenAreas); }
    // Where set (a Wayland compositor's overlay layer), each popup is drawn once and shown through
    // it at the bottom-right corner instead of as a window: it appears without sliding, cannot be
    // clicked, and goes after its time-out (TimeOut 0 counts as 10 seconds there). It must
    // outlive the component.
    void SetOverlay(IOverlayNotices* overlay) { m_overlay = overlay; }
    // Opens URL for msnAutoOpenURL: the desktop's default handler by default.
    void SetUrlOpener(std::function<void(const QString& url)> openUrl) { m_openUrl = std::move(openUrl); }

    // False when cascading found no room: nothing is shown.
    bool ShowPopUp();
    // The same with title and text in the settings from now on.
    bool ShowPopUp(const QString& title, const QString& text);

    int Count() const { return m_count; }
    int Offset() const { return m_offset; }
    // The panel's edge at the last ShowPopUp; none before the first.
    std::optional<TScreenEdge> LastEdge() const { return m_lastEdge; }
    QList<TfrmMSNPopUp*> Popups() const;

signals:
    // A popup was clicked outside its link: sender is the component, or the popup for a click on
    // its text without hyperlink mode.
    void clicked(QObject* sender);
    // The text of a popup in hyperlink mode was clicked: sender is the popup.
    void urlClicked(QObject* sender, const QString& url);

private:
    friend class TfrmMSNPopUp;
    void popupClosed(TfrmMSNPopUp* popup);

    TPopupSettings m_settings;
    std::function<TPopupScreen()> m_screenAreas;
    IOverlayNotices* m_overlay = nullptr;
    std::function<void(const QString& url)> m_openUrl;
    int m_count = 0;
    int m_offset = 0;
    std::optional<TScreenEdge> m_lastEdge;
    QList<QPointer<TfrmMSNPopUp>> m_popups;
};

// One notice window. It slides in with tmrScroll, waits with tmrExit and slides out with
// tmrScrollDown (timers of those names), each step of 25 ms; a click closes it at once.
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

    TScreenEdge Edge() const { return m_edge; }
    // The number of the picture shown through the overlay; 0 for a popup window.
    int OverlayNotice() const { return m_notice; }
    int Slot() const { return m_slot; }
    bool ClosingGuard() const { return m_guard; }
    // The background as drawn (gradient or picture), for tests.
    QPixmap Background() const { return m_background; }

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
    // How far the window reaches out of the panel now, and when shown whole.
    int extent(const QRect& geometry) const;
    int fullExtent() const;
    // geometry reaching extent pixels out of the panel, its side toward the panel kept.
    QRect withExtent(QRect geometry, int extent) const;

    QFrame* pnlBorder = nullptr;
    QLabel* imgIcon = nullptr;
    TMouseLabel* lblText = nullptr;
    TMouseLabel* imgGradient = nullptr;
    QLabel* imgMsn = nullptr;
    QTimer* tmrExit = nullptr;
    QTimer* tmrScroll = nullptr;
    QTimer* tmrScrollDown = nullptr;
    TMouseLabel* lblTitle = nullptr;

    QPointer<TMSNPopUp> m_component;
    const TPopupSettings m_look; // the component's settings when the popup was made
    IOverlayNotices* m_overlay;
    int m_notice = 0;
    QRect m_workArea;
    QRect m_place; // where the popup stands when shown whole
    TScreenEdge m_edge = TScreenEdge::Bottom;
    int m_slot = 0;
    bool m_guard = false;
    bool m_closed = false;
    QPixmap m_background;
};
