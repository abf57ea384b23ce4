#include "notes/DataManager.h"

#include "core/Clock.h"
#include "core/FileErrorText.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "notes/PageIndex.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kKeyWindowBytes = 16;
constexpr size_t kReadChunk = 64 * 1024;

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

// One file of the folder as the scan finds it: read once, whole, for its key, the loss-less
// check and (kept until the pages are taken) its title and text.
struct TScannedFile
{
    QString name;
    QString path;
    bool isPage = false;
    int key = 0;
    QString skipReason;
    int readError = 0; // errno of a file that could not be read
    TPageItem page;
    TFileStamp stamp; // when the file was opened
};

// The integer on the first line of a page file, read from its first 16 bytes; false when that
// line holds none.
bool parseKey(const QByteArray& data, int& key)
{
    QString text = DecodeText(data.left(kKeyWindowBytes));
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

int keyOf(const QByteArray& data)
{
    int key = 0;
    parseKey(data, key);
    return key;
}

// A page straight from its file's text, without a string per line: the title is the second
// line, the text every line from the fourth on, each ended by CR LF. Lines end as SplitLines
// has them end, and a NUL ends the text.
void fillPage(TPageItem& page, QStringView text)
{
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    const auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    const auto pastBreak = [&text](qsizetype at) {
        if (at < text.size() && text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            return at + 2;
        return std::min(at + 1, text.size());
    };
    qsizetype pos = 0;
    page.Title.clear();
    for (int line = 0; line < 3 && pos < text.size(); ++line) {
        qsizetype end = pos;
        while (end < text.size() && !isBreak(text[end]))
            ++end;
        if (line == 1)
            page.Title = text.sliced(pos, end - pos).toString();
        pos = pastBreak(end);
    }
    // Every break becomes CR LF, and an unended last line gets one.
    const QStringView rest = text.sliced(pos);
    QString body;
    body.reserve(rest.size() + 2);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (!isBreak(rest[i])) {
            body += rest[i];
            continue;
        }
        if (rest[i] == u'\r' && i + 1 < rest.size() && rest[i + 1] == u'\n')
            ++i;
        body += u"\r\n"_s;
    }
    if (!rest.isEmpty() && !isBreak(rest.back()))
        body += u"\r\n"_s;
    page.Text = std::move(body);
}

// Reads the file name of the folder open as dirFd whole, with the fewest calls the system
// allows: open, read and close for a page of up to 64 KB. With thousands of pages these calls
// are most of the start; a path opened whole, with its size asked for first, costs twice as many.
// On failure error holds the system's reason.
bool readWhole(int dirFd, const QString& name, std::vector<char>& buffer, QByteArray& data, int& error,
               TFileStamp& stamp)
{
    // Without waiting: a fifo put in place of a page since the listing reads as empty.
    const int fd = ::openat(dirFd, QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) == 0)
        stamp = TFileStamp::Of(info);
    size_t size = 0;
    bool ok = true;
    for (;;) {
        if (buffer.size() - size < kReadChunk)
            buffer.resize(std::max(buffer.size() * 2, size + kReadChunk));
        const size_t wanted = buffer.size() - size;
        const ssize_t got = ::read(fd, buffer.data() + size, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            ok = false;
            break;
        }
        size += size_t(got);
        // A regular file gives less than asked only at its end.
        if (got == 0 || size_t(got) < wanted)
            break;
    }
    ::close(fd);
    if (ok)
        data = QByteArray(buffer.data(), qsizetype(size));
    return ok;
}

bool EndsWithTxt(std::string_view name)
{
    const std::string_view end = name.substr(name.size() - 4);
    return end[0] == '.' && (end[1] | 0x20) == 't' && (end[2] | 0x20) == 'x' && (end[3] | 0x20) == 't';
}

// The names of the page files in the folder open as dirFd, in the order the folder keeps
// them: every "*.txt" (in any case) that is not hidden and not a folder. Fifos, sockets and
// devices are left out, since reading one could wait for ever; a link that leads nowhere is
// kept, so that the user hears that it cannot be read.
QStringList PageFileNames(int dirFd)
{
    QStringList names;
    const int listFd = ::dup(dirFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() < 4 || name.front() == '.' || !EndsWithTxt(name))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target = {};
            regular = ::fstatat(dirFd, entry->d_name, &target, 0) != 0 || S_ISREG(target.st_mode);
        }
        if (regular)
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

void scanFile(int dirFd, TScannedFile& file, std::vector<char>& buffer)
{
    QByteArray data;
    if (!readWhole(dirFd, file.name, buffer, data, file.readError, file.stamp))
        return; // a file that cannot be read is no page
    // A file whose bytes do not decode without loss is not ours: writing it back would
    // destroy it, so it is left exactly as it is and is no page.
    const std::optional<QString> text = DecodeWithoutLoss(data, &file.skipReason);
    if (!text)
        return;
    file.isPage = true;
    file.key = keyOf(data);
    file.page.FileName = file.path;
    fillPage(file.page, *text);
}

// A file unchanged since the index was written is a page with the key and title stored there;
// its text is read when it is first needed.
bool takeFromIndex(int dirFd, TScannedFile& file, const QHash<QString, TPageIndexEntry>& index)
{
    const auto known = index.constFind(file.name);
    if (known == index.cend())
        return false;
    struct stat info = {};
    if (::fstatat(dirFd, QFile::encodeName(file.name).constData(), &info, 0) != 0 || !S_ISREG(info.st_mode) ||
        TFileStamp::Of(info) != known->stamp)
        return false;
    file.stamp = known->stamp;
    file.isPage = true;
    file.key = known->key;
    file.page.FileName = file.path;
    file.page.Title = known->title;
    file.page.TextRead = false;
    return true;
}

} // namespace

// The folder is listed and its files are read on another thread while the program goes on
// building its window. The first use of the store reads what is left together with that
// thread, then sorts and, where needed, renumbers on its own thread.
struct TDataManager::TFolderRead
{
    QList<TScannedFile> files;
    QString indexFile;
    QHash<QString, TPageIndexEntry> index;
    timespec readStart = {};
    int dirFd = -1;
    std::atomic<qsizetype> next{0};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable listedChanged;
    bool listed = false;
    std::thread thread;

    TFolderRead(const QString& folder, const QString& indexPath, const IClock* clock = nullptr)
        : indexFile(indexPath)
    {
        if (clock) {
            const qint64 ms = clock->Now().toMSecsSinceEpoch();
            readStart = {time_t(ms / 1000), long(ms % 1000) * 1'000'000};
        } else {
            ::clock_gettime(CLOCK_REALTIME, &readStart);
        }
        try {
            thread = std::thread([this, folder] {
                ::setpriority(PRIO_PROCESS, ::gettid(), 10);
                List(folder);
                Read();
            });
        } catch (const std::system_error&) {
            List(folder); // without a thread the first use reads the files
        }
    }
    ~TFolderRead()
    {
        // A store dropped unused reads no further.
        stopping = true;
        if (thread.joinable())
            thread.join();
        if (dirFd >= 0)
            ::close(dirFd);
    }
    void List(const QString& folder)
    {
        if (!folder.isEmpty())
            dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            const QStringList names = PageFileNames(dirFd);
            files.resize(names.size());
            for (qsizetype i = 0; i < names.size(); ++i) {
                files[i].name = names[i];
                files[i].path = folder + names[i];
            }
            if (!indexFile.isEmpty() && !names.isEmpty())
                index = PageIndex::Load(indexFile, folder);
        }
        const std::lock_guard lock(mutex);
        listed = true;
        listedChanged.notify_all();
    }
    void Read()
    {
        std::vector<char> buffer(kReadChunk);
        for (qsizetype i = next++; i < files.size() && !stopping; i = next++)
            if (!takeFromIndex(dirFd, files[i], index))
                scanFile(dirFd, files[i], buffer);
    }
    // Writes the index again when this read learned something it did not hold: a file read
    // whole that may be kept, or one that went.
    void KeepIndex(const QString& folder) const
    {
        if (indexFile.isEmpty())
            return;
        const auto kept = [this](const TScannedFile& file) {
            return file.isPage && PageIndex::Settled(file.stamp, readStart);
        };
        qsizetype count = 0;
        bool learned = false;
        for (const TScannedFile& file : files) {
            if (kept(file)) {
                ++count;
                learned = learned || file.page.TextRead;
            }
        }
        if (!learned && count == index.size())
            return;
        QHash<QString, TPageIndexEntry> entries;
        entries.reserve(count);
        for (const TScannedFile& file : files)
            if (kept(file))
                entries.insert(file.name, {file.stamp, file.key, file.page.Title});
        PageIndex::Save(indexFile, folder, entries);
    }
    // Reads the files nobody has taken yet and waits for the thread's last one.
    void Finish()
    {
        {
            std::unique_lock lock(mutex);
            listedChanged.wait(lock, [this] { return listed; });
        }
        Read();
        if (thread.joinable())
            thread.join();
    }
};

TDataManager::TDataManager(QString folder, ITrash& trash, TPageReadAhead* readAhead, QString indexFile,
                           const IClock* clock)
    : m_folder(NormalizeDir(folder)), m_indexFile(std::move(indexFile)), m_trash(trash)
{
    if (readAhead && readAhead->m_read && readAhead->m_folder == m_folder &&
        readAhead->m_indexFile == m_indexFile)
        m_read = std::move(readAhead->m_read);
    else
        m_read = std::make_unique<TFolderRead>(m_folder, m_indexFile, clock);
}

TDataManager::~TDataManager() = default;

TPageReadAhead::TPageReadAhead(const QString& folder, const QString& indexFile)
    : m_folder(NormalizeDir(folder)), m_indexFile(indexFile),
      m_read(std::make_unique<TDataManager::TFolderRead>(m_folder, m_indexFile))
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
    const std::unique_ptr<TFolderRead> read = std::move(self->m_read);
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
    m_read = std::make_unique<TFolderRead>(m_folder, m_indexFile);
    waitForScan();
}

void TDataManager::applyScan(TFolderRead& read)
{
    m_files.clear();
    m_skipped.clear();
    m_scanErrors.clear();
    m_scanned.clear();
    QList<int> keys;
    read.KeepIndex(m_folder);
    for (TScannedFile& file : read.files) {
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
                fillPage(item, ReadTextFile(m_files[i]));
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
    fillPage(page, *text);
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
    return f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && parseKey(f.read(kKeyWindowBytes), key);
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
