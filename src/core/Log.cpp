#include "core/Log.h"

Q_LOGGING_CATEGORY(lcJotvane, "jotvane")
