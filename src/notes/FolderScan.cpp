#include "notes/FolderScan.h"

#include "core/Clock.h"
#include "core/TextFile.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr size_t kReadChunk = 64 * 1024;

int keyOf(const QByteArray& data)
{
    int key = 0;
    PageFile::ParseKey(data, key);
    return key;
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
    PageFile::Fill(file.page, *text);
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

TFolderScan::TFolderScan(const QString& folder, const QString& indexFile, const IClock* clock)
    : m_folder(folder), m_indexFile(indexFile)
{
    if (clock) {
        const qint64 ms = clock->Now().toMSecsSinceEpoch();
        m_readStart = {time_t(ms / 1000), long(ms % 1000) * 1'000'000};
    } else {
        ::clock_gettime(CLOCK_REALTIME, &m_readStart);
    }
    try {
        m_thread = std::thread([this] {
            ::setpriority(PRIO_PROCESS, ::gettid(), 10);
            List();
            Read();
        });
    } catch (const std::system_error&) {
        List(); // without a thread the first use reads the files
    }
}

TFolderScan::~TFolderScan()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

void TFolderScan::List()
{
    if (!m_folder.isEmpty())
        m_dirFd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd >= 0) {
        const QStringList names = PageFileNames(m_dirFd);
        m_files.resize(names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            m_files[i].name = names[i];
            m_files[i].path = m_folder + names[i];
        }
        if (!m_indexFile.isEmpty() && !names.isEmpty())
            m_index = PageIndex::Load(m_indexFile, m_folder);
    }
    const std::lock_guard lock(m_mutex);
    m_listed = true;
    m_listedChanged.notify_all();
}

void TFolderScan::Read()
{
    std::vector<char> buffer(kReadChunk);
    for (qsizetype i = m_next++; i < m_files.size() && !m_stopping; i = m_next++)
        if (!takeFromIndex(m_dirFd, m_files[i], m_index))
            scanFile(m_dirFd, m_files[i], buffer);
}

void TFolderScan::KeepIndex() const
{
    if (m_indexFile.isEmpty())
        return;
    const auto kept = [this](const TScannedFile& file) {
        return file.isPage && PageIndex::Settled(file.stamp, m_readStart);
    };
    qsizetype count = 0;
    bool learned = false;
    for (const TScannedFile& file : m_files) {
        if (kept(file)) {
            ++count;
            learned = learned || file.page.TextRead;
        }
    }
    if (!learned && count == m_index.size())
        return;
    QHash<QString, TPageIndexEntry> entries;
    entries.reserve(count);
    for (const TScannedFile& file : m_files)
        if (kept(file))
            entries.insert(file.name, {file.stamp, file.key, file.page.Title});
    PageIndex::Save(m_indexFile, m_folder, entries);
}

void TFolderScan::Finish()
{
    {
        std::unique_lock lock(m_mutex);
        m_listedChanged.wait(lock, [this] { return m_listed; });
    }
    Read();
    if (m_thread.joinable())
        m_thread.join();
}
