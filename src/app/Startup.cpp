#include "app/Startup.h"

using namespace Qt::StringLiterals;

bool StartsHidden(const QStringList& arguments)
{
    return arguments.size() > 1 && arguments.at(1) == u"/min"_s;
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
