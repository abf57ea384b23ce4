#pragma once

#include <QString>

// A notice through the desktop's notification service (org.freedesktop.Notifications on the
// session bus): in a Wayland session the program's own sliding windows would be ordinary windows
// that take the keyboard focus, while the service shows notices that never do. True when the
// service took the notice; false without a session bus or a service on it.
bool SendDesktopNotification(const QString& title, const QString& text, int timeOutSeconds);
