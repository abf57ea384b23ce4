#include "notes/ui/EditCommands.h"

#include "config/AppConfigMgr.h"
#include "config/ui/SettingsLook.h"
#include "notes/ui/FindReplace.h"
#include "notes/ui/MemoFormat.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "notes/ui/SearchAllDlg.h"
#include "notes/ui/SearchAllPages.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"
#include "widgets/FindDlg.h"
#include "widgets/ReplaceDlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>

using namespace Qt::StringLiterals;

TEditCommands::TEditCommands(QWidget* window, QWidget* memoPanel, TPageSet& pages, TAppConfigMgr& config,
                             IDialogService& dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_memoPanel(memoPanel), m_pages(pages), m_config(config),
      m_dialogs(dialogs)
{
    m_findReplace = new TFindReplace(
        window, [this] { return m_pages.CurrentEditor(); },
        [this](const QString& message) {
            m_dialogs.MessageBox(m_window, message, MsgBoxKind::Information, {MsgBoxButton::OK});
        });
    m_searchAll = new TSearchAllPages(window, pages, this);
    connect(&m_pages, &TPageSet::editorCreated, this, &TEditCommands::WatchEditor);
    connect(&m_pages, &TPageSet::pageSelected, this, &TEditCommands::UpdateEditActions);
}

TEditCommands::~TEditCommands()
{
    // The find, replace and search windows work on the editors: they go before them.
    delete m_findReplace;
    delete m_searchAll;
}

void TEditCommands::BindCommands(TCommandTable& commands)
{
    m_commands = &commands;
    auto onEditor = [this](void (TPadMemo::*step)()) {
        return [this, step] {
            if (TPadMemo* editor = TargetEditor())
                (editor->*step)();
        };
    };
    commands.Bind(Command::Undo, this, onEditor(&TPadMemo::undo));
    commands.Bind(Command::Cut, this, onEditor(&TPadMemo::cut));
    commands.Bind(Command::Copy, this, onEditor(&TPadMemo::copy));
    commands.Bind(Command::Paste, this, onEditor(&TPadMemo::paste));
    commands.Bind(Command::SelectAll, this, onEditor(&TPadMemo::selectAll));
    commands.Bind(Command::Find, m_findReplace, [this] { m_findReplace->FindActionExecute(); });
    // While the search over all pages shows its matches, F3 steps through them.
    commands.Bind(Command::FindNext, m_findReplace, [this] {
        if (m_searchAll->Stepping())
            m_searchAll->Step(1);
        else
            m_findReplace->FindNextActionExecute();
    });
    commands.Bind(Command::Replace, m_findReplace, [this] { m_findReplace->ReplaceActionExecute(); });
    m_searchAll->BindCommands(commands);
    commands.Bind(Command::Font, this, [this] { FontActionExecute(); });
    commands.Bind(Command::BgColor, this, [this] { BgColorActionExecute(); });
    commands.Bind(Command::WordWrap, this, [this] { WordWrapActionExecute(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TEditCommands::ReadClipboard);
}

void TEditCommands::ApplySettings()
{
    SetMemoFont(m_memoPanel, FontFromSetting(m_config.EditorFont()), ColorFromSetting(m_config.FontColor));
    SetMemoColor(m_memoPanel, ColorFromSetting(m_config.BgColor));
    if (m_commands)
        m_commands->action(Command::WordWrap)->setChecked(m_config.WordWrap);
    m_pages.SetWordWrap(m_config.WordWrap);
}

TPadMemo* TEditCommands::TargetEditor() const
{
    if (auto* focused = qobject_cast<TPadMemo*>(QApplication::focusWidget()))
        return focused;
    return m_pages.CurrentEditor();
}

void TEditCommands::WatchEditor(TPadMemo* editor)
{
    // Typing and selecting leave the clipboard as it is, so the paste command is not looked at
    // again on every keystroke: the clipboard's text may be large and held by another program.
    const auto update = [this] { UpdateEditorActions(); };
    connect(editor, &QPlainTextEdit::undoAvailable, this, update);
    connect(editor, &QPlainTextEdit::selectionChanged, this, update);
    connect(editor, &QPlainTextEdit::textChanged, this, update);
}

void TEditCommands::UpdateEditActions()
{
    UpdateEditorActions();
    if (m_commands)
        m_commands->action(Command::Paste)->setEnabled(m_clipboardHasText && m_pages.CurrentEditor());
}

void TEditCommands::ReadClipboard()
{
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    m_clipboardHasText = clip && clip->hasText() && !clip->text().isEmpty();
    UpdateEditActions();
}

void TEditCommands::UpdateEditorActions()
{
    if (!m_commands)
        return;
    TPadMemo* editor = m_pages.CurrentEditor();
    const bool hasSelection = editor && editor->textCursor().hasSelection();
    m_commands->action(Command::Undo)->setEnabled(editor && editor->document()->isUndoAvailable());
    m_commands->action(Command::Cut)->setEnabled(hasSelection);
    m_commands->action(Command::Copy)->setEnabled(hasSelection);
    m_commands->action(Command::SelectAll)->setEnabled(editor && !editor->document()->isEmpty());
}

void TEditCommands::WindowHidden()
{
    m_hiddenDialogs.clear();
    QList<QWidget*> dialogs = m_findReplace->MadeDialogs();
    if (m_searchAll->Dialog())
        dialogs.append(m_searchAll->Dialog());
    for (QWidget* dialog : std::as_const(dialogs)) {
        if (dialog->isVisible()) {
            dialog->hide();
            m_hiddenDialogs.append(dialog);
        }
    }
}

void TEditCommands::WindowShown()
{
    for (QWidget* dialog : std::as_const(m_hiddenDialogs))
        dialog->show();
    m_hiddenDialogs.clear();
}

void TEditCommands::FontActionExecute()
{
    QFont font = MemoFont(m_memoPanel);
    QColor color = MemoFontColor(m_memoPanel);
    if (!m_dialogs.ChooseFont(m_window, font, color))
        return;
    SetMemoFont(m_memoPanel, font, color);
    m_config.SetEditorFont(SettingFromFont(font, color, m_config.FontCharset));
}

void TEditCommands::BgColorActionExecute()
{
    QColor color = MemoColor(m_memoPanel);
    if (!m_dialogs.ChooseColor(m_window, color))
        return;
    SetMemoColor(m_memoPanel, color);
    m_config.BgColor = SettingFromColor(color);
}

void TEditCommands::WordWrapActionExecute()
{
    const bool wrap = m_commands->action(Command::WordWrap)->isChecked();
    m_pages.SetWordWrap(wrap);
    m_config.WordWrap = wrap;
}
