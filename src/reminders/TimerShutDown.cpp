#include "reminders/TimerShutDown.h"

#include "platform/PowerOff.h"
#include "reminders/AlarmScan.h"

using namespace Qt::StringLiterals;

QString ShutDownMessage()
{
    return u"这是由Jotvane发起的自动关机！"_s;
}

QString ShutDownCaption(bool shutDown, const QDateTime& shutDownTime)
{
    if (shutDown)
        return u"定时关机(&X)@"_s + MinuteText(shutDownTime);
    return u"定时关机(&S)..."_s;
}

bool IsShutDownMinute(bool shutDown, const QDateTime& shutDownTime, const QString& minuteText)
{
    return shutDown && shutDownTime.isValid() && MinuteText(shutDownTime) == minuteText;
}

bool ShutDownComputer(IPowerOff& powerOff, QString& error)
{
    return powerOff.PowerOff(ShutDownMessage(), ShutDownGraceSeconds, error);
}
