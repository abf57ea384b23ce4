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

QString ShutDownCountdownText(int seconds)
{
    return u"将在 %1 秒后关机"_s.arg(seconds);
}

QString ShutDownCancelledText(const QDateTime& shutDownTime)
{
    return u"已取消这次关机。定时关机仍然设在 %1；要关掉它，请在菜单“提醒”中选“定时关机”，"
           u"去掉“定时关机”的勾选后按“确定”。"_s.arg(MinuteText(shutDownTime));
}

QString ShutDownPassedText(const QDateTime& shutDownTime)
{
    return u"定时关机的时间 %1 已经过去，当时本程序未能执行（电脑关着、睡眠或时钟被调过），"
           u"没有关机。定时关机已关闭。"_s.arg(MinuteText(shutDownTime));
}

QString PowerOffFailureText(const TPowerOffFailure& failure)
{
    const QString& name = failure.name;
    const auto has = [&](QStringView word) {
        return name.contains(word, Qt::CaseInsensitive) ||
               failure.message.contains(word, Qt::CaseInsensitive);
    };
    QString reason;
    if (has(u"inhibit"))
        reason = u"另一个程序阻止了关机"_s;
    else if (name.endsWith(u".AccessDenied") || name.endsWith(u".InteractiveAuthorizationRequired") ||
             name.endsWith(u".AuthFailed") || name.endsWith(u".NotAuthorized"))
        reason = u"没有权限关机"_s;
    else if (has(u"InProgress"))
        reason = u"系统正在进行另一次关机或休眠"_s;
    else if (name.endsWith(u".ServiceUnknown") || name.endsWith(u".NameHasNoOwner") ||
             name.endsWith(u".UnknownMethod") || name.endsWith(u".UnknownObject") ||
             name.endsWith(u".UnknownInterface"))
        reason = u"找不到系统的关机服务（logind）"_s;
    else if (name.endsWith(u".NoReply") || name.endsWith(u".Timeout") || name.endsWith(u".TimedOut"))
        reason = u"系统的关机服务没有回应"_s;
    else if (name.endsWith(u".NoServer") || name.endsWith(u".Disconnected") || name.endsWith(u".NoNetwork"))
        reason = u"无法连接系统总线"_s;
    else
        reason = u"系统拒绝了关机请求"_s;
    QString detail = name;
    if (!failure.message.isEmpty())
        detail += (detail.isEmpty() ? QString() : u": "_s) + failure.message;
    return u"定时关机未能执行：%1。\n\n详细信息：%2"_s.arg(reason, detail);
}
