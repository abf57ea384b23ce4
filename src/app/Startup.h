#pragma once

#include <QStringList>

// True when the first argument after the program name is exactly "/min".
bool StartsHidden(const QStringList& arguments);
// True when a window system can be reached: a platform plug-in was named, or an X11 or
// Wayland display is set.
bool HasDisplay();
