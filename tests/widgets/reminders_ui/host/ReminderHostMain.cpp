// A note window cut down to the reminders, for the end-to-end suite: one page in an editor, the
// reminder menu, and the controller on the real clock, ALSA and logind. Usage:
//   jv_reminders_host <folder>
// reads <folder>/Config.ini and <folder>/page.txt; logs "tick", "box <text>" (every message box
// that appears) and "desktop" to <folder>/host.log; on SIGTERM writes the page back and saves
// the settings.
#include "reminders/ui/EditorReminderHost.h"
#include "reminders/ui/RemindersController.h"

#include "config/AppConfigMgr.h"
#include "widgets/MsgBox.h"
#include "notes/ui/PadMemo.h"
#include "FakePowerOff.h"
#include "FakeSoundOutput.h"
#include "core/TextFile.h"
#include "core/Clock.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

std::atomic<bool> g_quit{false};

void OnTerm(int)
{
    g_quit = true;
}

class TLog
{
public:
    explicit TLog(const QString& path) : m_file(path)
    {
        m_file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    void Write(const QString& line)
    {
        m_file.write(line.toUtf8() + '\n');
        m_file.flush();
    }

private:
    QFile m_file;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString pagePath = folder + u"/page.txt"_s;
    std::signal(SIGTERM, OnTerm);

    TLog log(folder + u"/host.log"_s);
    TAppConfigMgr config(folder + u"/Config.ini"_s);

    QMainWindow window;
    window.setWindowTitle(u"Jotvane"_s);
    auto* editor = new TPadMemo(&window);
    window.setCentralWidget(editor);
    editor->SetPageText(ReadTextFileLines(pagePath).join(u'\n'));
    window.resize(640, 400);

    TReminderActions actions;
    QMenu* menu = window.menuBar()->addMenu(u"提醒(&A)"_s);
    actions.AlarmTimeAction = menu->addAction(u"插入提醒时间(&T)"_s);
    actions.AlarmTimeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    actions.SignCompleteAction = menu->addAction(u"插入完成符(&E)"_s);
    actions.SignCompleteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    menu->addSeparator();
    actions.AlarmAction = menu->addAction(u"定时提醒(&A)"_s);
    actions.BeepAction = menu->addAction(u"声音提醒(&B)"_s);
    actions.ShutDownAction = menu->addAction(u"定时关机(&S)..."_s);

    TSystemClock clock;
    AlsaSoundOutput sound;
    LogindPowerOff powerOff;
    TEditorReminderHost host({&window, [editor] { return editor; }, [editor] { return editor; },
                              [&log](const QString& title, const QString& text) {
                                  log.Write(u"balloon "_s + title + u' ' + text);
                                  return true;
                              },
                              [&log](TPadMemo*) { log.Write(u"desktop"_s); }, [](int) { return false; }});
    TRemindersController reminders(config, clock, sound, powerOff, actions, host, &window);
    QObject::connect(reminders.Timer(), &QTimer::timeout, &window, [&log] { log.Write(u"tick"_s); });

    // Watches for message boxes and for the end.
    QSet<QWidget*> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        QSet<QWidget*> shown;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<TMessageForm*>(widget);
            if (!box || !box->isVisible())
                continue;
            shown.insert(box);
            if (!seen.contains(box))
                log.Write(u"box "_s + box->MessageLabel()->text());
        }
        seen = shown;
        if (g_quit)
            QApplication::quit();
    });
    watch.start(50);

    window.show();
    const int rc = QApplication::exec();
    WriteTextFileLines(pagePath, editor->PageText().split(u'\n'));
    if (!config.SaveSettings())
        return 3;
    return rc;
}
