// Shows the settings dialog on one page, or the Insert menu with the user's texts, for a
// screenshot under Xvfb. Usage: settings_demo <0..4 | menu>; it stays up until killed.
#include "config/ui/ConfigFrm.h"
#include "templates/ui/InsertController.h"

#include "core/PubUtils.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxPlatform.h"
#include "widgets/BaseFrm.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Jotvane"_s);
    InstallFontSubstitutions();
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"0"_s;
    QTemporaryDir dir;
    TAppConfigMgr config(dir.filePath(u"Config.ini"_s));
    config.ShutDown = true;
    config.InsertCustomList = {TextToCommaText(u"会议记录"_s), TextToCommaText(u"'Tel: ' + chars('_', 10)"_s),
                               TextToCommaText(u"第一行\r\n第二行\r\n第三行"_s),
                               TextToCommaText(u"一段很长很长的自定义文本，菜单里放不下，只显示开头"_s)};
    for (int i = 5; i <= 10; ++i)
        config.InsertCustomList << u"文本%1"_s.arg(i);

    if (which == u"menu"_s) {
        QMainWindow window;
        ApplyBaseFormLook(&window);
        QFont font(u"Tahoma"_s);
        font.setPixelSize(11);
        window.setFont(font);
        window.resize(420, 420);
        window.move(0, 0);
        TCommandTable commands(&window);
        commands.BuildMainMenu(window.menuBar());
        QMenu* insert = window.menuBar()->findChild<QMenu*>(u"InsertMenu"_s);
        // The demo only shows the menu: no page to insert into, no settings to open.
        struct TNoWindow final : IInsertHost
        {
            TPadMemo* currentEditor() override { return nullptr; }
            bool showSettingsDialog(int) override { return false; }
        } host;
        TInsertController controller(insert, &window, config, host);
        controller.BindCommands(commands);
        window.show();
        QTimer::singleShot(300, [&] { insert->popup(window.mapToGlobal(QPoint(10, 30))); });
        return app.exec();
    }
    LinuxPlatform platform;
    TQtDialogService dialogs(platform.services());
    TConfigForm form(nullptr, config, dialogs);
    form.PageControl->setCurrentIndex(which.toInt());
    form.LoadControls();
    form.move(10, 10);
    form.show();
    return app.exec();
}
