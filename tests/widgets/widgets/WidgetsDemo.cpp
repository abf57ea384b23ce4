// Shows one window of the widgets library for a screenshot: message, tabs, about, shortcuts.
// Usage: widgets_demo <which> [png]. With a png path the window is grabbed into it and the
// program ends; without one it stays up until closed.
#include "FakePlatform.h"
#include "widgets/AboutFrm.h"
#include "widgets/BaseFrm.h"
#include "widgets/DialogService.h"
#include "widgets/PadTabSet.h"
#include "widgets/ShortcutsFrm.h"

#include <QApplication>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Jotvane"_s);
    InstallFontSubstitutions();
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"tabs"_s;
    const QString png = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    FakePlatform platform;
    TQtDialogService dialogs(platform.services());

    auto grabLater = [&png] {
        if (png.isEmpty())
            return;
        QTimer::singleShot(700, [png] {
            QWidget* w = QApplication::activeModalWidget();
            for (QWidget* top : QApplication::topLevelWidgets())
                if (!w && top->isVisible() && !top->inherits("QMenu"))
                    w = top;
            if (w)
                w->grab().save(png);
            QApplication::exit(0);
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->done(0);
        });
    };

    if (which == u"info"_s) {
        grabLater();
        dialogs.MessageBox(nullptr, u"页面已经备份到所选的文件夹中。"_s, MsgBoxKind::Information,
                           TMsgBoxButtons{MsgBoxButton::OK});
        return 0;
    }
    if (which == u"confirm"_s) {
        grabLater();
        dialogs.MessageBox(nullptr, u"确实要删除页面“工作计划”吗？删除的页面会移到回收站。"_s,
                           MsgBoxKind::Confirmation, TMsgBoxButtons{MsgBoxButton::Yes, MsgBoxButton::No});
        return 0;
    }
    if (which == u"about"_s) {
        grabLater();
        ShowAboutBox(dialogs, platform.services(), nullptr);
        return 0;
    }
    if (which == u"shortcuts"_s) {
        grabLater();
        ShowShortcutHelp(dialogs, nullptr);
        return 0;
    }
    QWidget window;
    window.setWindowTitle(u"Jotvane"_s);
    window.setFont([] {
        QFont f(u"Tahoma"_s);
        f.setPixelSize(11);
        return f;
    }());
    window.resize(520, 60);
    auto* strip = new TPadTabSet(&window);
    strip->setGeometry(0, 0, 520, 25);
    strip->SetTabs({u"便笺"_s, u"工作计划"_s, u"购物清单"_s, u"读书笔记：一个很长很长的标题"_s, u"Ideas"_s,
                    u"电话号码"_s, u"会议记录"_s, u"旅行"_s, u"待办事项"_s, u"杂项"_s});
    strip->SetTabIndex(1);
    window.show();
    grabLater();
    return QApplication::exec();
}
