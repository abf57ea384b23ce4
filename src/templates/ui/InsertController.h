#pragma once

#include "templates/ExprParser.h"
#include "templates/ui/InsertHost.h"

#include <QObject>

class QAction;
class QMenu;
class QWidget;
class TCommandTable;
class TAppConfigMgr;
class TPadMemo;

// The Insert menu's commands and the two separators (InsertN1Item, InsertN2Item) that frame the
// user's own texts.
struct TInsertActions
{
    QAction* InsertLineAction = nullptr;
    QAction* InsertDateAction = nullptr;
    QAction* InsertLineDateAction = nullptr;
    QAction* InsertConfigAction = nullptr;
    QMenu* InsertMenu = nullptr;
    QAction* InsertN1Item = nullptr;
    QAction* InsertN2Item = nullptr;
};

// Separator lines, date stamps and the user's own texts, inserted from their templates at the
// caret; the templates are read from the settings each time, so changes count at once.
//
//   TInsertController insert(insertMenu, window, config, host);
//   insert.BindCommands(window.Commands());
class TInsertController final : public QObject
{
    Q_OBJECT
public:
    // Captions of the user's items are fitted to this many pixels in the window's font.
    static constexpr int kCaptionWidth = 100;

    // insertMenu: the menu with the two separators, as the command table builds it.
    TInsertController(QMenu* insertMenu, QWidget* window, TAppConfigMgr& config, IInsertHost& host,
                      TExprClock clock = {});

    // Claims the Insert menu's commands and connects them.
    void BindCommands(TCommandTable& commands);

    // The template's value (or the template itself when it is no valid expression) replaces the
    // current editor's selection, as one step of its undo history.
    void InsertTemplate(const QString& templateText);
    // The user's texts between the two separators, one item per element of the custom list.
    void RebuildInsertMenu();
    void InsertCustomText(int index);
    // The menu item of element index: "&<index + 1> <text fitted to the width>".
    QString CustomItemCaption(int index, const QString& stored) const;

private:
    TInsertActions m_actions;
    QWidget* m_window;
    TAppConfigMgr& m_config;
    IInsertHost& m_host;
    TExprClock m_clock;
};
