#pragma once

#include <QLoggingCategory>

// The program's own messages on standard error, each line "jotvane: ...": what a user who
// started it from a terminal should learn though no window can show it. Written through Qt's
// message handler, so that every message has the same form and encoding.
//
//   qCWarning(lcJotvane).noquote() << error;
Q_DECLARE_LOGGING_CATEGORY(lcJotvane)
