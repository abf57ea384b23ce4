#pragma once

#include <QDateTime>
#include <QString>

struct TPowerOffFailure;

// The heading of the countdown window.
QString ShutDownMessage();
// The seconds the countdown window gives before the computer is switched off.
inline constexpr int ShutDownGraceSeconds = 30;

// The menu caption of the timed-shutdown command: the pending minute when it is set.
QString ShutDownCaption(bool shutDown, const QDateTime& shutDownTime);

// The countdown window's words.
QString ShutDownCountdownText(int seconds);
// After the countdown was cancelled: the shutdown stays set, and how to switch it off.
QString ShutDownCancelledText(const QDateTime& shutDownTime);
// The shutdown's minute passed while the program could not act (the computer was off or asleep,
// the clock jumped): nothing was switched off, and the setting is off now.
QString ShutDownPassedText(const QDateTime& shutDownTime);
// A request the system refused: the reason in the program's words, then the system's own text
// as a detail.
QString PowerOffFailureText(const TPowerOffFailure& failure);
