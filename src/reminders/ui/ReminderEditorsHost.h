#pragma once

class QWidget;
class TPadMemo;

// What TEditorReminderHost needs of the window that holds the page editors: what only the window
// knows.
class IReminderEditorsHost
{
public:
    virtual ~IReminderEditorsHost() = default;
    // The owner of the boxes.
    virtual QWidget* window() = 0;
    // The first page's editor and the current page's; nullptr without one.
    virtual TPadMemo* firstEditor() = 0;
    virtual TPadMemo* currentEditor() = 0;
    // The desktop display shows the first page's lines (of firstEditor) again.
    virtual void sendDesktopLines(TPadMemo* firstEditor) = 0;
    // The settings dialog on a page; true on OK.
    virtual bool openSettings(int pageIndex) = 0;
};
