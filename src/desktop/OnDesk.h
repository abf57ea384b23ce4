#pragma once

#include "desktop/DeskHook.h"

#include <QString>
#include <QStringList>

#include <functional>

class TAppConfigMgr;
struct TFontSetting;

// Which lines of the first page go to the desktop, and the calls that hand them and the desktop
// settings to the library. Nothing here reads anything back from the library.

// The marker line: everything below the first line that is exactly this goes to the desktop.
inline constexpr char16_t kDesktopMarker[] = u"^";
// The separator line, drawn as a rule by the library.
inline constexpr char16_t kDesktopSeparator[] = u"-";

// A page's text as the editor's lines: split at line breaks (LF, CR LF or a lone CR); an empty
// text has no lines, and a final line break does not start another line.
QStringList EditorLines(const QString& text);
// The lines after the first marker line, or every line when there is none.
QStringList DesktopLines(const QStringList& pageLines);

// The alignment byte the library takes: DesktopAligment - 1 (-1 left, 0 centred, 1 right).
qint8 AlignmentCode(quint8 desktopAligment);
// The logical font of a font setting; the size in points becomes a negative pixel height at
// 96 pixels per inch, as desktop fonts are measured (the library scales it to the screen).
TLogFontW LogFontFromSetting(const TFontSetting& font);

// SetEssay for each desktop line from index 0, then SetEssayCount (also for none).
void SendDesktopLines(IDeskHook& hook, const QStringList& pageLines);
// The font step: SetEssayFont, then SetEssayColor with the separator and font colours.
void ApplyDesktopFont(IDeskHook& hook, const TAppConfigMgr& config);
// Wallpaper switch, colours, the font step, the lines, the alignment: in this order.
void ApplyDesktopSettings(IDeskHook& hook, const TAppConfigMgr& config, const QStringList& pageLines);

enum class TDeskNoticeKind
{
    Information,
    Error,
    // The desktop cannot carry the feature at all (a compositor without a background layer):
    // nothing is wrong, and it is said without a box that waits.
    Unsupported
};
using TDeskNotify = std::function<void(const QString& text, TDeskNoticeKind kind)>;

// The windows the display asks the platform for: the desktop's root window (0 without one) and
// an active desktop that would hide the text (none on Linux, 0).
struct TDesktopWindows
{
    std::function<quintptr()> FindDesktopListView;
    std::function<quintptr()> FindActiveDesktop;
    // A Wayland session: the library draws on the compositor's background layer, and a failed
    // hook means that the compositor offers none (GNOME), not that something went wrong.
    bool waylandSession = false;
};

extern const QString kActiveDesktopMessage;
extern const QString kHookFailedMessage;
extern const QString kNoBackgroundLayerMessage;

// Switches the display on (clock off, hook, every setting and the lines) or off (hook removed).
// Returns the resulting state: false after switching off or when an active desktop is in the way;
// true when on, also when the library reported a failure (the next start tries again).
bool SetDesktopDisplay(bool on, IDeskHook& hook, const TAppConfigMgr& config, const QStringList& pageLines,
                       const TDesktopWindows& windows, const TDeskNotify& notify);

// The margin command's rules.
enum class TMarginAnswer
{
    Accepted,
    NotANumber,
    Negative
};
extern const QString kMarginCaptionPrefix; // "边距(&S):"
extern const QString kMarginPrompt;
extern const QString kMarginNotANumberMessage;
extern const QString kMarginNegativeMessage;
// The proposed value: the caption's text after its first ":".
QString ProposedMargin(const QString& caption);
// A whole number of 0 or more (blanks around it allowed); margin is set only when Accepted.
TMarginAnswer ParseMargin(const QString& answer, qint32& margin);
