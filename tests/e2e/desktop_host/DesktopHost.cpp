// A small host for the end-to-end desktop suite: the desktop commands with the real hook library
// and the messenger's popup, outside the note window. It reads commands from stdin, one a line,
// and answers each with "ok" (or "error ...") on stdout:
//   trigger <ActionName>      runs a desktop command
//   lines <text>              the first page becomes text ("\n" separates lines), marked modified
//   hide                      the note window hides (a modified first page is re-sent)
//   popup <title>|<text>      the messenger's notice
//   quit                      the window's destroy handler, then the end
// Usage: jv_desktop_host <Config.ini>
#include "config/AppConfigMgr.h"
#include "desktop/DeskHook.h"
#include "desktop/ui/DesktopCommands.h"
#include "reminders/ui/MSNPopUp.h"

#include <QAction>
#include <QApplication>
#include <QMap>
#include <QWidget>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

class THost final : public IDesktopHost
{
public:
    QWidget window;
    QStringList lines;
    bool modified = false;

    QWidget* OwnerWindow() override { return &window; }
    QStringList FirstPageLines() override { return lines; }
    void PasteAtCaret(const QString& text) override
    {
        if (lines.isEmpty())
            lines << QString();
        lines.last() += text;
        modified = true;
    }
    bool PickFont(TFontSetting&) override { return false; }
    bool PickColor(TColor&) override { return false; }
    bool OpenSettings(int) override { return false; }
};

void answer(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: jv_desktop_host <Config.ini>\n");
        return 2;
    }
    TAppConfigMgr config(QString::fromLocal8Bit(argv[1]));
    config.LoadSettings();
    TDeskHookLibrary hook;
    THost host;

    QObject actionOwner;
    QMap<QString, QAction*> byName;
    TDesktopActions a;
    const QList<std::pair<const char*, QAction**>> named = {
        {"OnDesktopAction", &a.OnDesktopAction},
        {"ShowWallPaperAction", &a.ShowWallPaperAction},
        {"DesktoFontAction", &a.DesktoFontAction},
        {"SeperatorColorAction", &a.SeperatorColorAction},
        {"DesktopAligmentLeftAction", &a.DesktopAligmentLeftAction},
        {"DesktopAligmentMiddleAction", &a.DesktopAligmentMiddleAction},
        {"DesktopAligmentRightAction", &a.DesktopAligmentRightAction},
        {"AligmentSpaceAction", &a.AligmentSpaceAction},
        {"SignSeperatorAction", &a.SignSeperatorAction},
        {"SignOnDeskAction", &a.SignOnDeskAction},
        {"OnDeskAllAction", &a.OnDeskAllAction}};
    for (const auto& [name, slot] : named) {
        *slot = new QAction(&actionOwner);
        byName.insert(QString::fromLatin1(name), *slot);
    }
    TDesktopCommands desk(a, config, hook, host);
    TMSNPopUp popup(&host.window);
    popup.SetMessengerValues();

    auto run = [&](const QString& line) {
        const QString command = line.section(u' ', 0, 0);
        const QString rest = line.section(u' ', 1);
        if (command == u"trigger"_s) {
            QAction* action = byName.value(rest);
            if (!action)
                return answer("error unknown action");
            action->trigger();
        } else if (command == u"lines"_s) {
            host.lines = rest.split(u"\\n"_s);
            host.modified = true;
        } else if (command == u"hide"_s) {
            desk.MainWindowHiding(host.modified);
            host.modified = false;
        } else if (command == u"popup"_s) {
            popup.Title = rest.section(u'|', 0, 0);
            popup.Text = rest.section(u'|', 1);
            if (!popup.ShowPopUp())
                return answer("error no room");
        } else if (command == u"quit"_s) {
            desk.Shutdown();
            answer("ok");
            QCoreApplication::quit();
            return;
        } else {
            return answer("error unknown command");
        }
        answer("ok");
    };

    desk.Startup();
    answer(config.OnDesktop ? "ready on" : "ready off");
    std::thread reader([&app, &run] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString text = QString::fromUtf8(line);
            QMetaObject::invokeMethod(
                &app, [&run, text] { run(text); }, Qt::QueuedConnection);
            if (text == u"quit"_s)
                return;
        }
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    reader.detach();
    return app.exec();
}
