#pragma once

#include <QStringList>

// True when the first argument after the program name is exactly "/min".
bool StartsHidden(const QStringList& arguments);
// True when a window system can be reached: a platform plug-in was named, or an X11 or
// Wayland display is set.
bool HasDisplay();
// The command a start hands to the running copy instead of starting another: "toggle",
// "show" or "hide" for a first argument --toggle, --show or --hide; empty otherwise.
QString RemoteCommand(const QStringList& arguments);
// The same before the application object exists.
QString RemoteCommandOf(int argc, char* argv[]);
// Whether a remote command that reaches no running copy starts one (--toggle and --show do;
// --hide has nothing to hide).
bool RemoteCommandStartsCopy(const QString& command);
