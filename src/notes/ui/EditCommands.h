#pragma once

#include <QObject>

class IDialogService;
class QWidget;
class TAppConfigMgr;
class TCommandTable;
class TFindReplace;
class TPadMemo;
class TPageSet;
class TSearchAllPages;

// The Edit and Format commands of the note window: undo and the clipboard on the focused page,
// find and replace, the search over all pages, the editors' font, background colour and word wrap. The find
// and replace dialogs hide with the window and come back with it.
class TEditCommands final : public QObject
{
    Q_OBJECT
public:
    TEditCommands(QWidget* window, QWidget* memoPanel, TPageSet& pages, TAppConfigMgr& config,
                  IDialogService& dialogs, QObject* parent = nullptr);
    ~TEditCommands() override;
    Q_DISABLE_COPY_MOVE(TEditCommands)

    void BindCommands(TCommandTable& commands);
    TFindReplace* FindReplace() const { return m_findReplace; }
    TSearchAllPages* SearchAllPages() const { return m_searchAll; }

    // The editors' look and wrapping from the settings.
    void ApplySettings();
    // Greys out what cannot be done on the current page now.
    void UpdateEditActions();
    // Looks at the clipboard again for the paste command: at every change of it, and once when
    // the window has first been shown. Reading it may wait for the program that holds it, so a
    // page switch uses what was read last.
    void ReadClipboard();
    void WindowHidden();
    void WindowShown();

private:
    void WatchEditor(TPadMemo* editor);
    // Everything but the paste command, which follows the clipboard and the current page.
    void UpdateEditorActions();
    TPadMemo* TargetEditor() const;
    void FontActionExecute();
    void BgColorActionExecute();
    void WordWrapActionExecute();

    QWidget* m_window;
    QWidget* m_memoPanel;
    TPageSet& m_pages;
    TAppConfigMgr& m_config;
    IDialogService& m_dialogs;
    TCommandTable* m_commands = nullptr;
    TFindReplace* m_findReplace = nullptr;
    TSearchAllPages* m_searchAll = nullptr;
    QList<QWidget*> m_hiddenDialogs;
    bool m_clipboardHasText = false;
};
