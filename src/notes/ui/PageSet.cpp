#include "notes/ui/PageSet.h"

#include "config/AppConfigMgr.h"
#include "core/TextFile.h"
#include "notes/DataManager.h"
#include "notes/PageJournal.h"
#include "notes/PageRules.h"
#include "notes/PageSearcher.h"
#include "notes/ui/EditorJournal.h"
#include "notes/ui/PadMemo.h"
#include "platform/AppUtils.h"
#include "templates/ExprErrors.h"
#include "templates/ExprParser.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"
#include "widgets/FileErrorBox.h"
#include "widgets/InputFrm.h"
#include "widgets/Layer.h"
#include "widgets/LayerList.h"
#include "widgets/PadTabSet.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

TPageSet::TPageSet(const TParts& parts, QObject* parent)
    : QObject(parent), m_parts(parts), m_journal(new TEditorJournal(*this))
{
    TPadTabSet* tabSet = m_parts.tabSet;
    connect(tabSet, &TPadTabSet::OnClick, this, &TPageSet::TabSetClick);
    connect(tabSet, &TPadTabSet::OnDblClick, this,
            [this] { RunFileCommand(*m_parts.dialogs, m_parts.window, [this] { TabSetDblClick(); }); });
    connect(tabSet, &TPadTabSet::OnTabMoved, this, [this](int from, int to) {
        RunFileCommand(*m_parts.dialogs, m_parts.window, [this, from, to] { TabSetTabMoved(from, to); });
    });
}

void TPageSet::BindCommands(TCommandTable& commands)
{
    QWidget* owner = m_parts.window;
    commands.Bind(Command::NewPage, this, [this, owner] {
        RunFileCommand(*m_parts.dialogs, owner, [this] { NewPageActionExecute(); });
    });
    commands.Bind(Command::DeletePage, this, [this, owner] {
        RunFileCommand(*m_parts.dialogs, owner, [this] { DeletePageActionExecute(); });
    });
    commands.Bind(Command::ChgPageTitle, this, [this, owner] {
        RunFileCommand(*m_parts.dialogs, owner, [this] { ChgPageTitleActionExecute(); });
    });
    commands.Bind(Command::NextPage, this, [this] {
        if (PageCount() > 0)
            SelectPage(PageRules::NextIndex(PageIndex(), PageCount()));
    });
    commands.Bind(Command::PrevPage, this, [this] {
        if (PageCount() > 0)
            SelectPage(PageRules::PreviousIndex(PageIndex(), PageCount()));
    });
}

void TPageSet::LoadPages()
{
    const TPageItems pages = m_parts.dataManager->GetPages();
    // The stored pages arrive together: their tabs are laid out once, not once per page, and
    // their layers and editors are made when each page is first needed.
    QStringList titles;
    titles.reserve(pages.size());
    for (const TPageItem& page : pages) {
        titles.append(page.Title);
        if (page.TextRead)
            m_pendingTexts.insert(page.FileName, page.Text);
    }
    m_parts.tabSet->Tabs().AddStrings(titles);
    m_parts.layerList->AddLayers(int(pages.size()));
    if (PageCount() == 0) {
        try {
            AddDefaultPage();
        } catch (const EFileError& error) {
            m_loadError = error.message();
        }
    }
    SelectPage(0);
    // The selected page gets its editor even when the selection did not change.
    if (TPadMemo* editor = CurrentEditor())
        editor->AdjustMargins();
}

int TPageSet::PageCount() const
{
    return m_parts.layerList->LayerCount();
}

TPadMemo* TPageSet::EditorAt(int index) const
{
    Q_ASSERT(index >= 0 && index < PageCount());
    return EditorOf(m_parts.layerList->Layers(index));
}

TPadMemo* TPageSet::CurrentEditor() const
{
    return EditorOf(m_parts.layerList->ActiveLayer());
}

int TPageSet::PageIndex() const
{
    return m_parts.tabSet->TabIndex();
}

QString TPageSet::PageTitle(int index) const
{
    return m_parts.tabSet->Tabs()[index];
}

bool TPageSet::HasEditor(int index) const
{
    const TLayer* layer = m_parts.layerList->ExistingLayer(index);
    return layer && layer->findChild<TPadMemo*>();
}

QList<TSearchPage> TPageSet::SearchPages() const
{
    QList<TSearchPage> pages;
    pages.reserve(PageCount());
    for (int i = 0; i < PageCount(); ++i) {
        TSearchPage page;
        page.file = m_parts.dataManager->fileName(i);
        page.title = PageTitle(i);
        if (HasEditor(i)) {
            page.text = EditorAt(i)->PageText();
            page.textKnown = page.live = true;
        } else if (const auto pending = m_pendingTexts.constFind(page.file);
                   pending != m_pendingTexts.cend()) {
            page.text = *pending;
            page.textKnown = true;
        }
        pages.append(std::move(page));
    }
    return pages;
}

int TPageSet::IndexOfFile(const QString& file) const
{
    for (int i = 0; i < PageCount(); ++i)
        if (m_parts.dataManager->fileName(i) == file)
            return i;
    return -1;
}

void TPageSet::SelectPage(int index)
{
    if (index < 0 || index >= m_parts.tabSet->Tabs().Count())
        return;
    m_parts.tabSet->SetTabIndex(index);
}

void TPageSet::AddPageView(const QString& title, const QString& text)
{
    m_parts.tabSet->Tabs().Add(title);
    CreateEditor(m_parts.layerList->AddLayer(), text);
    SelectPage(m_parts.tabSet->Tabs().Count() - 1);
}

TPadMemo* TPageSet::CreateEditor(TLayer* layer, const QString& text)
{
    auto* editor = new TPadMemo(layer);
    editor->setObjectName(u"PadMemo"_s);
    layer->AddControl(editor);
    // Shown now rather than when the layout gets round to it: the focus can only move into a
    // visible editor, and keys typed right after Ctrl+N must not reach the page left behind.
    editor->show();
    editor->SetWrapMode(m_wordWrap);
    editor->SetPageText(text);
    editor->SetModified(false);
    m_journal->Watch(editor, text);
    TExprParser* parser = m_parts.parser;
    editor->SetEvaluator([parser](const QString& expression) -> QString {
        if (!parser)
            throw std::runtime_error("no expression parser");
        try {
            parser->ParseAndEvaluate(expression);
            return parser->ResultQuoted();
        } catch (const EExprError& error) {
            throw std::runtime_error(error.message().toStdString());
        }
    });
    editor->SetMessageHandler([this](const QString& message) { ShowInformation(message); });
    connect(editor, &TPadMemo::FilesDropped, this, [this](const QStringList& files) {
        RunFileCommand(*m_parts.dialogs, m_parts.window, [this, &files] { OpenDroppedFiles(files); });
    });
    editor->AdjustMargins();
    emit editorCreated(editor);
    return editor;
}

TPadMemo* TPageSet::EditorOf(TLayer* layer) const
{
    if (!layer)
        return nullptr;
    if (auto* editor = layer->findChild<TPadMemo*>())
        return editor;
    // Making the editor changes what is shown, not the page: the getters stay const.
    auto* self = const_cast<TPageSet*>(this);
    const int index = m_parts.layerList->IndexOf(layer);
    QString error;
    const std::optional<QString> text = UnshownText(index, &error);
    self->m_pendingTexts.remove(m_parts.dataManager->fileName(index));
    TPadMemo* editor = self->CreateEditor(layer, text.value_or(QString()));
    if (!text) {
        // The store never writes over a file it could not read; the editor says so at once.
        editor->setReadOnly(true);
        QTimer::singleShot(0, self, [self, error] {
            self->m_parts.dialogs->MessageBox(self->m_parts.window, error, MsgBoxKind::Error,
                                              {MsgBoxButton::OK});
        });
    }
    return editor;
}

void TPageSet::RemovePageView(int index)
{
    if (index < 0 || index >= m_parts.tabSet->Tabs().Count())
        return;
    TLayer* layer = m_parts.layerList->Layers(index);
    m_parts.layerList->RemoveLayer(layer);
    delete layer;
    m_parts.tabSet->Tabs().Delete(index);
}

void TPageSet::CreatePage(const QString& title, const QString& text)
{
    // The file comes first: a page whose file cannot be made leaves no tab behind.
    m_parts.dataManager->AddPage(title);
    AddPageView(title, text);
    // The file holds an empty text: a page made with text has that text still to write.
    if (!text.isEmpty())
        if (TPadMemo* editor = CurrentEditor()) {
            m_journal->SetFileText(editor, QString());
            editor->SetModified(true);
        }
    if (m_parts.window && m_parts.window->isVisible())
        if (TPadMemo* editor = CurrentEditor())
            editor->setFocus();
}

void TPageSet::RemovePage(int index, bool toRecycleBin)
{
    if (index < 0 || index >= PageCount())
        return;
    // What goes to the recycle bin is the page as the user sees it, not as last saved.
    if (toRecycleBin && HasEditor(index) && EditorAt(index)->Modified())
        m_parts.dataManager->SavePage(index, PageTitle(index), EditorAt(index)->PageText());
    const QString key = PageKey(index);
    const QString file = m_parts.dataManager->fileName(index);
    // The store goes first: a file that cannot be removed keeps its page in the window.
    m_parts.dataManager->DeletePage(index, toRecycleBin);
    RemovePageView(index);
    m_pendingTexts.remove(file);
    m_journal->Removed(key);
}

void TPageSet::AddDefaultPage()
{
    CreatePage(u"默认页"_s, QString());
}

void TPageSet::SaveModifiedPages()
{
    std::optional<EFileError> firstError;
    for (int i = 0; i < PageCount(); ++i) {
        // A page whose editor was never made is unchanged.
        if (!HasEditor(i))
            continue;
        TPadMemo* editor = EditorAt(i);
        if (!editor->Modified()) {
            // Changed and changed back: the file already holds the text.
            m_journal->Unchanged(editor, PageKey(i));
            continue;
        }
        const QString text = editor->PageText();
        try {
            m_parts.dataManager->SavePage(i, PageTitle(i), text);
        } catch (const EFileError& error) {
            // The page's journal stays: it is all that holds the text outside this process.
            if (!firstError)
                firstError = error;
            continue;
        }
        editor->SetModified(false);
        m_journal->Written(editor, PageKey(i), &text);
    }
    if (firstError)
        throw *firstError;
}

QString TPageSet::KeepUnsavedPages()
{
    return m_journal->KeepUnsavedPages();
}

void TPageSet::OpenFileAsPage(const QString& file)
{
    // Read first: a file that cannot be read leaves no empty page behind.
    const QString text = ReadTextFile(file);
    NewPageActionExecute();
    if (TPadMemo* editor = CurrentEditor()) {
        editor->SetPageText(text);
        editor->SetModified(true);
    }
}

void TPageSet::OpenDroppedFiles(const QStringList& files)
{
    for (const QString& file : files)
        OpenFileAsPage(file);
}

void TPageSet::PasteAtCaret(const QString& text)
{
    if (TPadMemo* editor = CurrentEditor())
        editor->PasteAtCaret(text);
}

void TPageSet::SetWordWrap(bool wrap)
{
    m_wordWrap = wrap;
    for (int i = 0; i < PageCount(); ++i)
        if (HasEditor(i))
            EditorAt(i)->SetWrapMode(wrap);
}

void TPageSet::TabSetClick()
{
    const int index = PageIndex();
    TLayerList* layers = m_parts.layerList;
    if (index >= 0 && index < layers->LayerCount())
        layers->SetActiveLayerIndex(index);
    else
        layers->SetActiveLayer(nullptr);
    if (TPadMemo* editor = CurrentEditor()) {
        editor->AdjustMargins();
        if (m_parts.window && m_parts.window->isVisible() && m_parts.window->isActiveWindow())
            editor->setFocus();
    }
    emit pageSelected();
}

void TPageSet::TabSetDblClick()
{
    TPadTabSet* tabSet = m_parts.tabSet;
    const QPoint pointer = tabSet->mapFromGlobal(GetCursorPosSafe(*m_parts.platform));
    if (tabSet->TabAt(pointer) < 0) {
        NewPageActionExecute();
        return;
    }
    switch (m_parts.config->DblClickTitleActionType) {
    case 1:
        DeletePageActionExecute();
        break;
    case 2:
        ChgPageTitleActionExecute();
        break;
    default:
        break;
    }
}

void TPageSet::TabSetTabMoved(int from, int to)
{
    if (from < 0 || from >= PageCount() || to < 0 || to >= PageCount() || from == to)
        return;
    m_parts.layerList->Layers(from)->SetLayerIndex(to);
    m_parts.dataManager->MovePage(from, to);
}

void TPageSet::NewPageActionExecute()
{
    CreatePage(PageRules::NewPageTitle(m_parts.tabSet->Tabs().Captions()), QString());
}

void TPageSet::DeletePageActionExecute()
{
    const int index = PageIndex();
    if (index < 0)
        return;
    TPadMemo* editor = CurrentEditor();
    const bool hasLines = editor && !editor->PageText().isEmpty();
    const bool shift = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    const bool toRecycleBin = !shift && hasLines;
    if (hasLines) {
        const int answer =
            m_parts.dialogs->MessageBox(m_parts.window, u"确实删除页面 “%1” 吗？"_s.arg(PageTitle(index)),
                                        MsgBoxKind::Confirmation, {MsgBoxButton::Yes, MsgBoxButton::No});
        if (answer != MsgResultYes)
            return;
    }
    RemovePage(index, toRecycleBin);
    if (PageCount() == 0)
        AddDefaultPage();
}

void TPageSet::ChgPageTitleActionExecute()
{
    const int index = PageIndex();
    if (index < 0)
        return;
    QString title = PageTitle(index);
    if (!InputTextDialog(*m_parts.dialogs, m_parts.window, u"修改页面标题"_s, u"标题:"_s, false, false,
                         title))
        return;
    m_parts.dataManager->RenamePage(index, title);
    m_parts.tabSet->Tabs().Replace(index, title);
}

void TPageSet::ShowInformation(const QString& message)
{
    m_parts.dialogs->MessageBox(m_parts.window, message, MsgBoxKind::Information, {MsgBoxButton::OK});
}

QString TPageSet::PageKey(int index) const
{
    return QFileInfo(m_parts.dataManager->fileName(index)).fileName();
}

std::optional<QString> TPageSet::StoredText(int index) const
{
    if (index < 0 || index >= PageCount())
        return std::nullopt;
    if (HasEditor(index))
        return EditorAt(index)->PageText();
    return UnshownText(index, nullptr);
}

std::optional<QString> TPageSet::UnshownText(int index, QString* error) const
{
    const QString file = m_parts.dataManager->fileName(index);
    if (const auto pending = m_pendingTexts.constFind(file); pending != m_pendingTexts.cend())
        return *pending;
    // A page known from the page index: its text is read now.
    try {
        return m_parts.dataManager->ReadPageText(index);
    } catch (const EFileError& failure) {
        if (error)
            *error = failure.message();
        return std::nullopt;
    }
}

void TPageSet::SetJournal(TPageJournal* journal, int delayMs)
{
    m_journal->SetJournal(journal, delayMs);
}

void TPageSet::SetUnsavedFolders(const QStringList& folders)
{
    m_journal->SetUnsavedFolders(folders);
}

TJournalRecovery TPageSet::RecoverJournal()
{
    return m_journal->Recover();
}

int TPageSet::IndexOfEditor(const TPadMemo* editor) const
{
    return m_parts.layerList->IndexOf(qobject_cast<TLayer*>(editor->parentWidget()));
}
