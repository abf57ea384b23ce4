#pragma once

#include <QDateTime>
#include <QString>

class IPowerOff;

// The announcement shown to the users of the computer before it goes off.
QString ShutDownMessage();
// The seconds between the announcement and the power-off.
inline constexpr int ShutDownGraceSeconds = 30;

// The menu caption of the timed-shutdown command: the pending minute when it is set.
QString ShutDownCaption(bool shutDown, const QDateTime& shutDownTime);
// Whether the shutdown set for shutDownTime falls in the minute minuteText ("yyyy-mm-dd hh:nn");
// its seconds do not count.
bool IsShutDownMinute(bool shutDown, const QDateTime& shutDownTime, const QString& minuteText);

// Asks the system to power off in ShutDownGraceSeconds with ShutDownMessage. True when it took
// the request; otherwise false with the reason in error.
bool ShutDownComputer(IPowerOff& powerOff, QString& error);
