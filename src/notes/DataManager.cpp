#include "notes/DataManager.h"

#include "core/FileErrorText.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
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

constexpr int kKeyWindowBytes = 16;

QStringList pageFileLines(int position, const QString& title, const QString& text)
{
    QStringList lines{QString::number(position), title, QString()};
    lines += SplitLines(text);
    return lines;
}

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

TDataManager::TDataManager(QString folder, ITrash& trash) : m_folder(NormalizeDir(folder)), m_trash(trash)
{
    ScanFolder();
}

QString TDataManager::fileName(int position) const
{
    return isValid(position) ? m_files[position] : QString();
}

void TDataManager::ScanFolder()
{
    m_files.clear();
    m_skipped.clear();
    m_scanErrors.clear();
    QDir dir(m_folder);
    if (m_folder.isEmpty() || !dir.exists())
        return;
    dir.setNameFilters({u"*.txt"_s});
    // Without QDir::Hidden the hidden files (names starting with ".") are left out; without
    // QDir::CaseSensitive "*.txt" also matches "A.TXT"; without QDir::Dirs folders are skipped.
    dir.setFilter(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    const QStringList names = dir.entryList(dir.filter(), QDir::Unsorted);

    QList<int> keys;
    for (const QString& name : names) {
        const QString path = m_folder + name;
        int key = 0;
        bool readable = false;
        errno = 0;
        if (!readKey(path, key, readable) && !readable) {
            // A file that cannot be read is no page; the user hears which one and why.
            m_scanErrors.append(FileErrorMessage(u"读取文件"_s, QDir::toNativeSeparators(path), errno,
                                                 QFileDevice::OpenError));
            continue;
        }
        // A file whose bytes do not decode without loss is not ours: writing it back would
        // destroy it, so it is left exactly as it is and is no page.
        QString reason;
        try {
            if (!DecodesWithoutLoss(ReadFileBytes(path), &reason)) {
                m_skipped.append(u"%1 (%2)"_s.arg(QDir::toNativeSeparators(path), reason));
                continue;
            }
        } catch (const EFileError& error) {
            m_scanErrors.append(error.message());
            continue;
        }
        m_files.append(path);
        keys.append(key);
    }

    SortByKeys(m_files, keys);
    // A page whose file cannot be renumbered keeps its place here; the next renumbering tries
    // again. The start goes on with every page it could read.
    bool inOrder = true;
    for (int i = 0; i < count(); ++i)
        inOrder = inOrder && keys[i] == i;
    for (int i = 0; !inOrder && i < count(); ++i) {
        try {
            writeKey(i);
        } catch (const EFileError& e) {
            m_scanErrors.append(e.message());
        }
    }
}

QString TDataManager::ScanProblems() const
{
    QStringList parts = m_scanErrors;
    if (!m_skipped.isEmpty())
        parts.append(u"以下文件不是可以无损读取的文本，没有作为页面打开，也不会被改动：\n"_s +
                     m_skipped.join(u'\n'));
    return parts.join(u"\n\n"_s);
}

TPageItems TDataManager::GetPages()
{
    TPageItems pages;
    pages.reserve(m_files.size());
    bool dropped = false;
    for (qsizetype i = 0; i < m_files.size();) {
        QStringList lines;
        try {
            lines = ReadTextFileLines(m_files[i]);
        } catch (const EFileError& error) {
            // A page that vanished or became unreadable since the scan is left out, so that
            // the positions of the others stay those of their tabs.
            m_scanErrors.append(error.message());
            m_files.removeAt(i);
            dropped = true;
            continue;
        }
        TPageItem item;
        item.Index = int(i);
        item.FileName = m_files[i];
        item.Title = lines.size() > 1 ? lines[1] : QString();
        item.Text = JoinLines(lines.mid(3));
        pages.append(item);
        ++i;
    }
    if (dropped)
        Renumber();
    return pages;
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

void TDataManager::SavePage(int position, const QString& title, const QString& text)
{
    if (!isValid(position))
        return;
    MakeFolder(m_folder);
    WriteTextFileLines(m_files[position], pageFileLines(position, title, text));
}

void TDataManager::RenamePage(int position, const QString& title)
{
    if (!isValid(position))
        return;
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
    bool readable = false;
    return readKey(file, key, readable);
}

bool TDataManager::readKey(const QString& file, int& key, bool& readable)
{
    QFile f(file);
    readable = f.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!readable)
        return false;
    QString text = DecodeText(f.read(kKeyWindowBytes));
    qsizetype cut = text.indexOf(u'\r');
    if (cut >= 0)
        text.truncate(cut);
    cut = text.indexOf(u'\n');
    if (cut >= 0)
        text.truncate(cut);
    if (!IsInteger(text))
        return false;
    key = StrToIntDef(text, 0);
    return true;
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
