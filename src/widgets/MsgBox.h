#pragma once

#include "widgets/BaseFrm.h"

#include <QIcon>
#include <QString>

#include <cstdint>

class QStyle;

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

enum class MsgBoxKind : std::uint8_t
{
    Warning = 0,
    Error = 1,
    Information = 2,
    Confirmation = 3,
    Custom = 4
};

// Bit numbers in a button set, in the order in which the buttons are laid out.
enum class MsgBoxButton : std::uint8_t
{
    Yes = 0,
    No,
    OK,
    Cancel,
    Abort,
    Retry,
    Ignore,
    All,
    NoToAll,
    YesToAll,
    Help,
    Close
};
constexpr int MsgBoxButtonCount = 12;

// A 16-bit set of MsgBoxButton bits: {OK} is 4, {Yes, No} is 3.
class TMsgBoxButtons
{
public:
    constexpr TMsgBoxButtons() = default;
    constexpr TMsgBoxButtons(std::initializer_list<MsgBoxButton> buttons)
    {
        for (MsgBoxButton b : buttons)
            m_bits = static_cast<std::uint16_t>(m_bits | (1u << static_cast<unsigned>(b)));
    }
    static constexpr TMsgBoxButtons FromBits(std::uint16_t bits)
    {
        TMsgBoxButtons set;
        set.m_bits = bits;
        return set;
    }
    constexpr bool Contains(MsgBoxButton b) const { return (m_bits >> static_cast<unsigned>(b)) & 1u; }
    constexpr std::uint16_t Bits() const { return m_bits; }
    constexpr bool operator==(const TMsgBoxButtons&) const = default;

private:
    std::uint16_t m_bits = 0;
};

// Result codes of the buttons; 2 also means the close box.
constexpr int MsgResultOK = 1;
constexpr int MsgResultCancel = 2;
constexpr int MsgResultAbort = 3;
constexpr int MsgResultRetry = 4;
constexpr int MsgResultIgnore = 5;
constexpr int MsgResultYes = 6;
constexpr int MsgResultNo = 7;
constexpr int MsgResultAll = 8;
constexpr int MsgResultNoToAll = 9;
constexpr int MsgResultYesToAll = 10;
constexpr int MsgResultClose = 11;

QString MsgBoxButtonCaption(MsgBoxButton button);
int MsgBoxButtonResult(MsgBoxButton button);
QString MsgBoxTitle(MsgBoxKind kind);
// The style's icon for a kind of box (none for a custom one).
QIcon MsgBoxIcon(const QStyle* style, MsgBoxKind kind);

// The message dialog, built at run time. Its buttons carry the object names "Button<Name>"
// ("ButtonYes", "ButtonOK", ...), the message label is "Message" and the icon "Image". Details,
// when given, go below the message into a read-only field "Details" of a few lines that
// scrolls, so that a long list never makes the dialog taller than that.
class TMessageForm final : public TBaseForm
{
    Q_OBJECT
public:
    TMessageForm(QWidget* owner, const QString& message, MsgBoxKind kind, TMsgBoxButtons buttons,
                 int focusIndex, const QString& details = QString());

    QLabel* MessageLabel() const { return m_message; }
    QPlainTextEdit* DetailsEdit() const { return m_details; }
    QPushButton* Button(MsgBoxButton button) const { return m_buttons[static_cast<int>(button)]; }
    QPushButton* DefaultButton() const { return m_default; }
    QPushButton* CancelButton() const { return m_cancel; }
    TMsgBoxButtons Buttons() const { return m_set; }

    // Layout figures from the dialog font, kept for the layout's users (and its tests).
    struct TMetrics
    {
        int horzMargin, vertMargin, horzSpacing, vertSpacing, buttonWidth, buttonSpacing;
    };
    const TMetrics& Metrics() const { return m_metrics; }

    void reject() override; // the close box: result 2

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_message = nullptr;
    QPlainTextEdit* m_details = nullptr;
    QPushButton* m_buttons[MsgBoxButtonCount] = {};
    QPushButton* m_default = nullptr;
    QPushButton* m_cancel = nullptr;
    TMsgBoxButtons m_set;
    TMetrics m_metrics{};
};

class IDialogService;

// The message box step of a dialog service: builds the box, places it over owner and runs it
// through service.RunModal; returns the result code of the closing button, mapped for the close
// box (2 becomes 7 with No and without Cancel, 3 with Abort). Windows ask the service instead.
int RunMsgBox(IDialogService& service, QWidget* owner, const QString& message, const QString& details,
              MsgBoxKind kind, TMsgBoxButtons buttons, int focusIndex = 0);

// What a test's dialog service sees of one message box.
struct TMsgBoxCall
{
    QWidget* owner;
    QString message;
    MsgBoxKind kind;
    TMsgBoxButtons buttons;
    int focusIndex;
    QString details = {};
};

// The answer of a box closed with Esc: its cancel button's result (Cancel, else No, else OK),
// or the close box's result when it has none of them.
int EscapeMsgBoxResult(TMsgBoxButtons buttons);

// The runner's steps, shared with tests: the window's place for an owner (centre of the owner's
// frame, or of the screen when there is none or it is minimised), and the close-box mapping.
QPoint MsgBoxPosition(QWidget* owner, const QSize& dialogSize);
int MapMsgBoxResult(int result, TMsgBoxButtons buttons);
// The per-button width cache (0: not measured yet), for tests.
int CachedMsgBoxButtonWidth(MsgBoxButton button);
