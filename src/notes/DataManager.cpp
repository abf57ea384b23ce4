#include "notes/DataManager.h"

#include "core/FileErrorText.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "notes/FolderScan.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// Replaces path with lines in UTF-16, unless the file already holds exactly those bytes.
void rewrite(const QString& path, const QStringList& lines)
{
    const QByteArray data = EncodeText(JoinLines(lines), TTextEncoding::Utf16LE);
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.size() == data.size() && current.readAll() == data)
        return;
    current.close();
    WriteFileAtomically(path, data);
}

} // namespace

TDataManager::TDataManager(QString folder, ITrash& trash, TPageReadAhead* readAhead, QString indexFile,
                           const IClock* clock)
    : m_folder(NormalizeDir(folder)), m_indexFile(std::move(indexFile)), m_trash(trash)
{
    if (readAhead && readAhead->m_read && readAhead->m_folder == m_folder &&
        readAhead->m_indexFile == m_indexFile)
        m_read = std::move(readAhead->m_read);
    else
        m_read = std::make_unique<TFolderScan>(m_folder, m_indexFile, clock);
}

TDataManager::~TDataManager() = default;

TPageReadAhead::TPageReadAhead(const QString& folder, const QString& indexFile)
    : m_folder(NormalizeDir(folder)), m_indexFile(indexFile),
      m_read(std::make_unique<TFolderScan>(m_folder, m_indexFile))
{
}

TPageReadAhead::~TPageReadAhead() = default;

void TDataManager::waitForScan() const
{
    if (!m_read)
        return;
    m_read->Finish();
    // Sorting the list read is part of the scan that creating the store started: the getters
    // that wait for it stay const.
    auto* self = const_cast<TDataManager*>(this);
    const std::unique_ptr<TFolderScan> read = std::move(self->m_read);
    self->applyScan(*read);
}

int TDataManager::count() const
{
    waitForScan();
    return int(m_files.size());
}

QString TDataManager::fileName(int position) const
{
    return isValid(position) ? m_files[position] : QString();
}

QStringList TDataManager::skippedFiles() const
{
    waitForScan();
    return m_skipped;
}

void TDataManager::ScanFolder()
{
    waitForScan();
    m_read = std::make_unique<TFolderScan>(m_folder, m_indexFile);
    waitForScan();
}

void TDataManager::applyScan(TFolderScan& read)
{
    m_files.clear();
    m_skipped.clear();
    m_scanErrors.clear();
    m_scanned.clear();
    QList<int> keys;
    read.KeepIndex();
    for (TScannedFile& file : read.Files()) {
        if (!file.isPage) {
            if (!file.skipReason.isEmpty())
                m_skipped.append(u"%1 (%2)"_s.arg(QDir::toNativeSeparators(file.path), file.skipReason));
            else if (file.readError != 0)
                // A file that cannot be read is no page; the user hears which one and why.
                m_scanErrors.append(FileErrorMessage(u"读取文件"_s, QDir::toNativeSeparators(file.path),
                                                     file.readError, QFileDevice::OpenError));
            continue;
        }
        m_files.append(file.path);
        keys.append(file.key);
        m_scanned.insert(file.path, std::move(file.page));
    }
    SortByKeys(m_files, keys);
    // A page whose file cannot be renumbered keeps its place here; the next renumbering tries
    // again. The start goes on with every page it could read.
    bool inOrder = true;
    for (int i = 0; i < m_files.size(); ++i)
        inOrder = inOrder && keys[i] == i;
    for (int i = 0; !inOrder && i < m_files.size(); ++i) {
        try {
            writeKey(i);
        } catch (const EFileError& e) {
            m_scanErrors.append(e.message());
        }
    }
}

QString TDataManager::ScanProblems() const
{
    waitForScan();
    QStringList parts = m_scanErrors;
    if (!m_skipped.isEmpty())
        parts.append(u"以下文件不是可以无损读取的文本，没有作为页面打开，也不会被改动：\n"_s +
                     m_skipped.join(u'\n'));
    return parts.join(u"\n\n"_s);
}

TPageItems TDataManager::GetPages()
{
    waitForScan();
    TPageItems pages;
    pages.reserve(m_files.size());
    bool dropped = false;
    for (qsizetype i = 0; i < m_files.size();) {
        // A page as the scan read it, unless the file was written since.
        TPageItem item = m_scanned.take(m_files[i]);
        if (item.FileName.isEmpty()) {
            try {
                PageFile::Fill(item, ReadTextFile(m_files[i]));
            } catch (const EFileError& error) {
                // A page that vanished or became unreadable since the scan is left out, so that
                // the positions of the others stay those of their tabs.
                m_scanErrors.append(error.message());
                m_files.removeAt(i);
                dropped = true;
                continue;
            }
        }
        item.Index = int(i);
        item.FileName = m_files[i];
        pages.append(std::move(item));
        ++i;
    }
    m_scanned.clear();
    if (dropped)
        Renumber();
    return pages;
}

QString TDataManager::ReadPageText(int position)
{
    if (!isValid(position))
        return {};
    const QString path = m_files[position];
    try {
        QString text = ReadPageFileText(path);
        m_unreadTexts.remove(path);
        return text;
    } catch (const EFileError&) {
        m_unreadTexts.insert(path);
        throw;
    }
}

QString TDataManager::ReadPageFileText(const QString& path)
{
    QString reason;
    const std::optional<QString> text = DecodeWithoutLoss(ReadFileBytes(path), &reason);
    if (!text)
        throw EFileError(u"页面文件“%1”不是可以无损读取的文本（%2），没有打开，也不会被改动。"_s.arg(
            QDir::toNativeSeparators(path), reason));
    TPageItem page;
    PageFile::Fill(page, *text);
    return page.Text;
}

int TDataManager::AddPage(const QString& title)
{
    const int position = count();
    m_files.append(NewPageFileName(m_folder));
    try {
        SavePage(position, title, QString());
    } catch (const EFileError&) {
        // No file, no page: an entry without its file would stop every later renumbering.
        m_files.removeLast();
        throw;
    }
    return position;
}

QStringList TDataManager::PageFileLines(int position, const QString& title, const QString& text)
{
    QStringList lines{QString::number(position), title, QString()};
    lines += SplitLines(text);
    return lines;
}

void TDataManager::SavePage(int position, const QString& title, const QString& text)
{
    if (!isValid(position))
        return;
    if (m_unreadTexts.contains(m_files[position]))
        throw EFileError(u"页面文件“%1”没能读出，为了不覆盖它里面的内容，没有写入。"_s.arg(
            QDir::toNativeSeparators(m_files[position])));
    MakeFolder(m_folder);
    m_scanned.remove(m_files[position]);
    WriteTextFileLines(m_files[position], PageFileLines(position, title, text));
}

void TDataManager::RenamePage(int position, const QString& title)
{
    if (!isValid(position))
        return;
    m_scanned.remove(m_files[position]);
    QStringList lines = ReadTextFileLines(m_files[position]);
    if (lines.size() >= 2)
        lines[1] = title;
    WriteTextFileLines(m_files[position], lines);
}

void TDataManager::DeletePage(int position, bool toRecycleBin)
{
    if (!isValid(position))
        return;
    const QString path = m_files[position];
    // A file that could not be removed keeps its page: dropping the entry anyway would make the
    // page vanish now and come back at the next start.
    if (toRecycleBin) {
        if (!m_trash.moveToTrash(path))
            throw EFileError(u"无法将页面文件“%1”移到回收站。"_s.arg(QDir::toNativeSeparators(path)));
    } else if (!QFile::remove(path) && QFileInfo::exists(path)) {
        throw EFileError(u"无法删除页面文件“%1”。"_s.arg(QDir::toNativeSeparators(path)));
    }
    m_files.removeAt(position);
    Renumber();
}

void TDataManager::MovePage(int from, int to)
{
    if (!isValid(from) || !isValid(to) || from == to)
        return;
    m_files.move(from, to);
    Renumber();
}

void TDataManager::Renumber()
{
    for (int i = 0; i < count(); ++i)
        writeKey(i);
}

void TDataManager::writeKey(int position)
{
    const QString& path = m_files[position];
    m_scanned.remove(path);
    QStringList lines = ReadTextFileLines(path);
    const QString key = QString::number(position);
    if (lines.isEmpty()) {
        lines.append(key);
    } else if (lines.size() < 3 && !IsInteger(lines.first())) {
        // A short file of the user's own has no key line to overwrite: its lines become the
        // page text under an empty title instead of being lost.
        lines = QStringList{key, QString(), QString()} + lines;
    } else {
        lines[0] = key;
    }
    rewrite(path, lines);
}

void TDataManager::SortByKeys(QStringList& files, QList<int>& keys)
{
    // With no two keys equal every sort gives the one ascending order, so the quadratic passes
    // are only needed to place equal keys (files put into the folder by hand).
    const int count = int(files.size());
    QList<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    const auto equalNeighbours = std::adjacent_find(order.cbegin(), order.cend(),
                                                    [&keys](int a, int b) { return keys[a] == keys[b]; });
    if (equalNeighbours == order.cend()) {
        QStringList sortedFiles;
        QList<int> sortedKeys;
        sortedFiles.reserve(count);
        sortedKeys.reserve(count);
        for (int index : order) {
            sortedFiles.append(files[index]);
            sortedKeys.append(keys[index]);
        }
        files = std::move(sortedFiles);
        keys = std::move(sortedKeys);
        return;
    }
    for (int i = 0; i <= count - 2; ++i) {
        for (int j = i + 1; j <= count - 1; ++j) {
            if (keys[j] < keys[i]) {
                files.swapItemsAt(i, j);
                keys.swapItemsAt(i, j);
            }
        }
    }
}

bool TDataManager::ReadPageKey(const QString& file, int& key)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) &&
           PageFile::ParseKey(f.read(PageFile::kKeyWindowBytes), key);
}

void TDataManager::MakeFolder(const QString& folder)
{
    errno = 0;
    if (!QDir().mkpath(folder))
        throw EFileError(FileErrorMessage(u"创建文件夹"_s, QDir::toNativeSeparators(folder), errno));
}

QString TDataManager::NewPageFileName(const QString& folder)
{
    const QString dir = NormalizeDir(folder);
    QString path;
    do {
        path = dir + QUuid::createUuid().toString(QUuid::WithBraces).toUpper() + u".txt"_s;
    } while (QFileInfo::exists(path));
    return path;
}
