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

QString RemoteCommand(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return {};
    const QString& first = arguments.at(1);
    for (const QString& command : {u"toggle"_s, u"show"_s, u"hide"_s})
        if (first == u"--"_s + command)
            return command;
    return {};
}

bool RemoteCommandStartsCopy(const QString& command)
{
    return command == u"toggle"_s || command == u"show"_s;
}

QString RemoteCommandOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc && i < 2; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return RemoteCommand(arguments);
}
