#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class IDialogService;
class QWidget;
class TAppConfigMgr;
class TCommandTable;
class TDataManager;
class TEditorJournal;
class TExprParser;
class TLayer;
class TLayerList;
class TPadMemo;
class TPadTabSet;
class TPageJournal;
struct TJournalRecovery;
struct TSearchPage;
struct TPlatform;

// The pages of the note window: the tab strip, the stack of editors and the page store, always
// in one order (tab i, layer i and page file i are the same page), and the page commands.
// A page's editor is made when the page is first needed (shown, searched, saved).
class TPageSet final : public QObject
{
    Q_OBJECT
public:
    struct TParts
    {
        QWidget* window = nullptr; // owner of the dialogs
        TPadTabSet* tabSet = nullptr;
        TLayerList* layerList = nullptr;
        TDataManager* dataManager = nullptr;
        TAppConfigMgr* config = nullptr;
        TExprParser* parser = nullptr;
        IDialogService* dialogs = nullptr;
        const TPlatform* platform = nullptr;
    };
    explicit TPageSet(const TParts& parts, QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TPageSet)

    // Connects New, Delete, Change title, Next and Previous page.
    void BindCommands(TCommandTable& commands);
    // The stored pages, or one default page when there is none; the first page is selected.
    // When there is none and no page file can be made either, the set stays empty and
    // LoadError() says why.
    void LoadPages();
    QString LoadError() const { return m_loadError; }

    int PageCount() const;
    TPadMemo* EditorAt(int index) const;
    TPadMemo* CurrentEditor() const;
    int PageIndex() const;
    QString PageTitle(int index) const;
    bool HasEditor(int index) const;
    // Every page as the search over all pages needs it, in page order: an open editor's text
    // as it stands, a text kept since the start, or none (to be read from its file). Makes no
    // editor and reads no file.
    QList<TSearchPage> SearchPages() const;
    // The position of the page whose file is file, or -1.
    int IndexOfFile(const QString& file) const;
    void SelectPage(int index);

    void CreatePage(const QString& title, const QString& text);
    void RemovePage(int index, bool toRecycleBin);
    void AddDefaultPage();
    // Writes every modified page; one that cannot be written stays modified, and the first
    // failure is thrown once every page has been tried.
    void SaveModifiedPages();
    // A new page filled from file and marked modified. Throws EFileError when the file cannot
    // be read; no page is left behind then.
    void OpenFileAsPage(const QString& file);
    void OpenDroppedFiles(const QStringList& files);
    void PasteAtCaret(const QString& text);
    void SetWordWrap(bool wrap);

    // From now on the text of every modified page reaches journal within seconds of a change,
    // and the journal of a page is removed once the page is written (none: no journal).
    // delayMs: how long after a change the text is written, at most 5 s (0: the usual delay).
    void SetJournal(TPageJournal* journal, int delayMs = 0);
    // Where the text of a page goes when neither its file nor the journal can be written: the
    // first of folders in which a file can be written, made when first needed.
    void SetUnsavedFolders(const QStringList& folders);
    // For the end of the run, after a save that left pages modified: their text goes to the
    // journal now, and where the journal cannot be written, to a file of its own in an unsaved
    // folder; a text that can be written nowhere goes to standard error as the last resort.
    // Returns what the user must be told of it, empty when no page was left modified.
    QString KeepUnsavedPages();
    // Brings back what the journal holds from a run that did not end cleanly: into its page,
    // marked modified, or as a new page; the selected page stays selected.
    TJournalRecovery RecoverJournal();
    // The key a page's journal goes by: its file's name, which never changes.
    QString PageKey(int index) const;
    // The position of the page that editor shows, or -1.
    int IndexOfEditor(const TPadMemo* editor) const;
    // The page's text as the user would see it; nullopt for no page or a file that cannot be read.
    std::optional<QString> StoredText(int index) const;

    void NewPageActionExecute();
    void DeletePageActionExecute();
    void ChgPageTitleActionExecute();

signals:
    // A page's editor has just been made: the window watches its keys and state.
    void editorCreated(TPadMemo* editor);
    // Another page is shown.
    void pageSelected();

private:
    void AddPageView(const QString& title, const QString& text);
    TPadMemo* CreateEditor(TLayer* layer, const QString& text);
    TPadMemo* EditorOf(TLayer* layer) const;
    void RemovePageView(int index);
    void TabSetClick();
    void TabSetDblClick();
    void TabSetTabMoved(int from, int to);
    void ShowInformation(const QString& message);
    // The text of a page without an editor: kept from the start, or read from its file now;
    // nullopt (and the reason in error) when the file cannot be read.
    std::optional<QString> UnshownText(int index, QString* error) const;

    TParts m_parts;
    // The text of every page whose editor has not been made yet, by the page's file; a page
    // known from the page index has none here until its text is read.
    QHash<QString, QString> m_pendingTexts;
    QString m_loadError;
    bool m_wordWrap = true;
    TEditorJournal* m_journal;
};
