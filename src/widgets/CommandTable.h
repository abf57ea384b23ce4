#pragma once

#include "widgets/CommandNames.h"

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <utility>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Every command of the note window, made once from one table: its name, category (the menu it
// sits in), caption with access key, shortcuts and check state. A command starts disabled and
// becomes usable when a subsystem binds it; menus are laid out in the table's order.
class TCommandTable final
{
public:
    // The actions are owned by and added to window, so that their shortcuts work while the
    // window is active.
    explicit TCommandTable(QWidget* window);
    Q_DISABLE_COPY_MOVE(TCommandTable)

    // The command of that name.
    QAction* action(TCommandName name) const;
    // Every command in table order.
    const QList<QAction*>& all() const { return m_all; }

    // Connects handler to the command's trigger and enables the command.
    template <typename Handler> QAction* Bind(TCommandName name, const QObject* context, Handler&& handler)
    {
        QAction* command = action(name);
        Enable(command);
        QObject::connect(command, &QAction::triggered, context, std::forward<Handler>(handler));
        return command;
    }

    // The command, enabled, for a controller that connects it itself.
    QAction* Claim(TCommandName name)
    {
        QAction* command = action(name);
        Enable(command);
        return command;
    }

    // The ten menus of the main menu, top to bottom. The Insert menu's two separators between
    // which the user's own texts are listed are named InsertN1Item and InsertN2Item.
    void BuildMainMenu(QMenuBar* bar) const;
    // The tab strip's popup menu: New, Delete, -, Change title.
    void BuildTabSetPopupMenu(QMenu* menu) const;
    // The notification-area menu, without its show/hide item and Exit, which the tray adds.
    void BuildTrayPopupMenu(QMenu* menu) const;

private:
    // The table's own lookup by object name; a name that is not in the table is a programming error.
    QAction* action(QStringView name) const;
    static void Enable(QAction* command);

    QList<QAction*> m_all;
    QHash<QString, QAction*> m_byName;
};
