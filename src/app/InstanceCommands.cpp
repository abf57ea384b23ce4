// What the running copy does with the requests of later starts: a second start brings the
// window forward; jotvane --toggle, --show and --hide are what users bind to a key of their
// compositor where no global hotkey can be had (Wayland).
#include "app/MainFrm.h"
#include "platform/Platform.h"
#include "platform/linux/QtWindowSystem.h"

using namespace Qt::StringLiterals;

void TMainForm::InstanceCommand(const QString& command, const QString& token)
{
    // The token of the start that asked lets a compositor that honours xdg-activation hand the
    // focus to this window; the next activation request takes it along.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toLatin1());
    const bool shown = isVisible() && !isMinimized();
    if (command == u"hide"_s || (command == u"toggle"_s && shown && !ModalDialogOpen() &&
                                 m_context.platform->windowSystem->isForeground(this))) {
        if (!shown || ModalDialogOpen())
            return;
        HideToTray();
        // The command that hid the window brings it back: without a notification area the
        // window goes all the same instead of staying minimised (or, where the compositor
        // knows no minimising, in place).
        if (isVisible())
            hide();
        return;
    }
    if (command == u"toggle"_s && ModalDialogOpen())
        return;
    // A Wayland compositor gives the focus to a window it maps, but to a mapped one only with
    // an activation token it honours (sway, by default, only marks it urgent, also for a window
    // of Xwayland): a shown window without the focus is mapped anew.
    if (command != u"activate"_s && shown && InWaylandSession() &&
        !m_context.platform->windowSystem->isForeground(this))
        hide();
    ShowMainWindow();
}
