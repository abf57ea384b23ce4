#include "notes/ui/PageSet.h"

#include "config/AppConfigMgr.h"
#include "core/Log.h"
#include "core/TextFile.h"
#include "notes/DataManager.h"
#include "notes/PageJournal.h"
#include "notes/PageRules.h"
#include "notes/PageSearcher.h"
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
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextDocument>
#include <QTimer>
#include <QVariant>

#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Fingerprint of the text the page file holds, kept on the editor for its journal.
const char kJournalBaseProperty[] = "jvJournalBase";
// Whether the page's journal may exist on the disk.
const char kJournaledProperty[] = "jvJournaled";
const char kJournalTimerName[] = "JournalTimer";
// A change reaches the journal this long after it was made, however fast the typing goes on;
// a large page is journaled half as often, since every write copies the whole text.
constexpr int kJournalDelayMs = 2000;
constexpr int kLargePageCharacters = 1 << 20;

} // namespace

TPageSet::TPageSet(const TParts& parts, QObject* parent) : QObject(parent), m_parts(parts)
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
    editor->setProperty(kJournalBaseProperty, TPageJournal::Fingerprint(text));
    WatchForJournal(editor);
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
            editor->setProperty(kJournalBaseProperty, TPageJournal::Fingerprint(QString()));
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
    // A deleted page's journal would bring it back at the next start.
    if (m_journal)
        m_journal->Remove(key);
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
            if (m_journal && editor->property(kJournaledProperty).toBool())
                PageWritten(editor, PageKey(i), nullptr);
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
        PageWritten(editor, PageKey(i), &text);
    }
    if (firstError)
        throw *firstError;
}

namespace {

// Writes text to the file that keeps it; the failure, or empty.
QString WriteUnsavedCopy(const QString& path, const QString& text)
{
    try {
        WriteTextFileLines(path, SplitLines(text));
        return {};
    } catch (const EFileError& error) {
        return error.message();
    }
}

// Keeps text in copy, the page's unsaved copy: the file it had before, else a new one in the
// first of folders that takes it. False (copy then empty) with the last failure otherwise.
bool KeepUnsavedCopy(QString& copy, const QStringList& folders, const QString& title, const QString& text,
                     QString& failure)
{
    if (!copy.isEmpty() && (failure = WriteUnsavedCopy(copy, text)).isEmpty())
        return true;
    for (const QString& folder : folders) {
        try {
            TDataManager::MakeFolder(folder);
        } catch (const EFileError& error) {
            failure = error.message();
            continue;
        }
        copy = TPageJournal::UnsavedCopyPath(folder, title, QDateTime::currentDateTime());
        if ((failure = WriteUnsavedCopy(copy, text)).isEmpty())
            return true;
    }
    copy.clear();
    return false;
}

} // namespace

QString TPageSet::KeepUnsavedPages()
{
    QList<int> unsaved;
    for (int i = 0; i < PageCount(); ++i)
        if (HasEditor(i) && EditorAt(i)->Modified())
            unsaved.append(i);
    if (unsaved.isEmpty())
        return {};
    if (m_journal) {
        for (int i : unsaved) {
            StopJournalTimer(EditorAt(i));
            JournalEditor(EditorAt(i));
        }
        m_journal->Flush();
    }
    bool journaled = false;
    QStringList copies;
    QStringList lost;
    for (int i : unsaved) {
        const QString key = PageKey(i);
        if (m_journal && m_journal->ErrorOf(key).isEmpty()) {
            journaled = true;
            continue;
        }
        const QString title = u"“"_s + PageTitle(i) + u"”"_s;
        const QString text = EditorAt(i)->PageText();
        QString& copy = m_unsavedCopies[key];
        QString failure;
        if (KeepUnsavedCopy(copy, m_unsavedFolders, PageTitle(i), text, failure)) {
            copies.append(QDir::toNativeSeparators(copy));
            continue;
        }
        lost.append(failure.isEmpty() ? title : title + u"："_s + failure);
        // The last place the text can still reach.
        const QString mark = u"----- "_s + title + u" -----"_s;
        qCWarning(lcJotvane).noquote() << mark + u'\n' + text;
        qCWarning(lcJotvane).noquote() << mark;
    }
    QStringList parts;
    if (journaled)
        parts.append(u"未能保存的内容已保留在恢复文件中，下次启动 Jotvane 时会恢复。"_s);
    if (!copies.isEmpty())
        parts.append(u"未能保存的内容已另存到：\n"_s + copies.join(u'\n'));
    if (!lost.isEmpty())
        parts.append(u"以下页面未能保存的内容无处存放，只写到了标准错误输出：\n"_s + lost.join(u'\n'));
    return parts.join(u"\n\n"_s);
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
    m_journal = journal;
    m_journalDelayMs = delayMs > 0 ? delayMs : kJournalDelayMs;
}

void TPageSet::WatchForJournal(TPadMemo* editor)
{
    auto* timer = new QTimer(editor);
    timer->setObjectName(QLatin1StringView(kJournalTimerName));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, editor] { JournalEditor(editor); });
    // The timer is not restarted by later changes: under steady typing the journal still
    // follows within the delay.
    const auto schedule = [this, editor, timer] {
        if (!m_journal || timer->isActive())
            return;
        const bool large = editor->document()->characterCount() > kLargePageCharacters;
        timer->start(large ? 2 * m_journalDelayMs : m_journalDelayMs);
    };
    connect(editor, &QPlainTextEdit::textChanged, timer, schedule);
    // A text marked modified by the program (a page made with a text) needs its journal too.
    connect(editor->document(), &QTextDocument::modificationChanged, timer, schedule);
}

void TPageSet::JournalEditor(TPadMemo* editor)
{
    const int index = m_parts.layerList->IndexOf(qobject_cast<TLayer*>(editor->parentWidget()));
    if (!m_journal || index < 0)
        return;
    const QString key = PageKey(index);
    if (editor->Modified()) {
        m_journal->Write(key, editor->PageText(), editor->property(kJournalBaseProperty).toByteArray());
        editor->setProperty(kJournaledProperty, true);
    } else if (editor->property(kJournaledProperty).toBool()) {
        m_journal->Remove(key);
        editor->setProperty(kJournaledProperty, false);
    }
}

void TPageSet::StopJournalTimer(TPadMemo* editor)
{
    if (auto* timer = editor->findChild<QTimer*>(QLatin1StringView(kJournalTimerName)))
        timer->stop();
}

void TPageSet::PageWritten(TPadMemo* editor, const QString& key, const QString* savedText)
{
    StopJournalTimer(editor);
    if (savedText)
        editor->setProperty(kJournalBaseProperty, TPageJournal::Fingerprint(*savedText));
    editor->setProperty(kJournaledProperty, false);
    if (m_journal)
        m_journal->Remove(key);
}

TJournalRecovery TPageSet::RecoverJournal()
{
    TJournalRecovery recovery;
    if (!m_journal)
        return recovery;
    // Almost every start finds no journal: the pages are then not looked at.
    const QList<TJournalEntry> entries = m_journal->Scan();
    if (entries.isEmpty())
        return recovery;
    const int selected = PageIndex();
    QHash<QString, int> pages;
    for (int i = 0; i < PageCount(); ++i)
        pages.insert(PageKey(i), i);
    for (const TJournalEntry& entry : entries) {
        // A page whose file cannot be read now counts as gone: its journal becomes a page of its own.
        const std::optional<QString> pageText = StoredText(pages.value(entry.key, -1));
        const int index = pageText ? pages.value(entry.key, -1) : -1;
        switch (TPageJournal::Decide(entry, pageText ? &*pageText : nullptr)) {
        case TJournalAction::Keep:
            recovery.unreadable.append(entry.path);
            break;
        case TJournalAction::Discard:
            m_journal->Remove(entry.key);
            break;
        case TJournalAction::IntoPage: {
            TPadMemo* editor = EditorAt(index);
            editor->SetPageText(entry.text);
            editor->SetModified(true);
            // The journal already holds this text.
            StopJournalTimer(editor);
            editor->setProperty(kJournaledProperty, true);
            recovery.recovered.append(PageTitle(index));
            break;
        }
        case TJournalAction::AsNewPage: {
            try {
                NewPageActionExecute();
            } catch (const EFileError& error) {
                // No page file can be made now (a read-only folder): the journal stays for later.
                recovery.notPlaced.append(QDir::toNativeSeparators(entry.path) + u"："_s + error.message());
                break;
            }
            const int added = PageCount() - 1;
            TPadMemo* editor = EditorAt(added);
            editor->SetPageText(entry.text);
            editor->SetModified(true);
            StopJournalTimer(editor);
            // The text is under its new key before the old journal goes.
            m_journal->Write(PageKey(added), entry.text,
                             editor->property(kJournalBaseProperty).toByteArray());
            editor->setProperty(kJournaledProperty, true);
            m_journal->Remove(entry.key);
            recovery.recovered.append(PageTitle(added));
            break;
        }
        }
    }
    SelectPage(selected);
    return recovery;
}
