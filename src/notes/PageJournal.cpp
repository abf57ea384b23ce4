#include "notes/PageJournal.h"

#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "notes/DataManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// First line of every journal file; a file without it is not a journal of ours.
constexpr char16_t kMagic[] = u"Jotvane journal 1";
constexpr char kSuffix[] = ".journal";
// Titles named in the notice; a longer list is cut, the count is still given.
constexpr int kTitlesShown = 20;
// How much of a page's title goes into the name of a file that keeps its unsaved text.
constexpr int kTitleCharactersInName = 40;

} // namespace

TPageJournal::TPageJournal(QString folder) : m_folder(NormalizeDir(folder)) {}

TPageJournal::~TPageJournal()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void TPageJournal::Write(const QString& key, const QString& text, const QByteArray& base)
{
    enqueue({key, true, text, base});
}

void TPageJournal::Remove(const QString& key)
{
    enqueue({key, false, {}, {}});
}

void TPageJournal::enqueue(TOperation operation)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_worker.joinable())
            m_worker = std::thread([this] { run(); });
        if (operation.write) {
            // The waiting write of the same key, when nothing of that key follows it, takes the
            // newer text: only the latest text matters.
            for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
                if (it->key != operation.key)
                    continue;
                if (it->write) {
                    it->text = std::move(operation.text);
                    it->base = std::move(operation.base);
                    return;
                }
                break;
            }
        } else {
            // Waiting writes of a removed key would bring the journal back.
            std::erase_if(m_queue,
                          [&operation](const TOperation& queued) { return queued.key == operation.key; });
        }
        m_queue.push_back(std::move(operation));
    }
    m_wake.notify_one();
}

void TPageJournal::Flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

QString TPageJournal::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

QString TPageJournal::ErrorOf(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_errors.value(key);
}

void TPageJournal::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) {
            if (m_stopping)
                return;
            continue;
        }
        const TOperation operation = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        perform(operation);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

void TPageJournal::perform(const TOperation& operation)
{
    const QString path = FilePath(operation.key);
    QString error;
    if (operation.write) {
        try {
            TDataManager::MakeFolder(m_folder);
            WriteFileAtomically(path, Encode(operation.key, operation.text, operation.base));
        } catch (const EFileError& failure) {
            error = failure.message();
        }
    } else if (!QFile::remove(path) && QFileInfo::exists(path)) {
        error = u"无法删除文件 \"%1\"。"_s.arg(path);
    }
    std::lock_guard lock(m_mutex);
    if (error.isEmpty()) {
        m_errors.remove(operation.key);
    } else {
        m_lastError = error;
        m_errors.insert(operation.key, error);
    }
}

QString TPageJournal::FilePath(const QString& key) const
{
    // Page file names pass unchanged; anything that could leave the folder is escaped.
    const QByteArray name = QUrl::toPercentEncoding(key, "{}");
    return m_folder + QString::fromLatin1(name) + QLatin1StringView(kSuffix);
}

QList<TJournalEntry> TPageJournal::Scan() const
{
    QList<TJournalEntry> entries;
    QDir dir(m_folder);
    if (m_folder.isEmpty() || !dir.exists())
        return entries;
    const QStringList names = dir.entryList({u"*"_s + QLatin1StringView(kSuffix)},
                                            QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        TJournalEntry entry;
        entry.path = m_folder + name;
        QFile file(entry.path);
        if (!file.open(QIODevice::ReadOnly)) {
            entry.error = file.errorString();
        } else {
            const QByteArray data = file.readAll();
            if (file.error() != QFileDevice::NoError)
                entry.error = file.errorString();
            else if (!Decode(data, entry))
                entry.error = u"不是完整的恢复文件"_s;
        }
        entry.readable = entry.error.isEmpty();
        entries.append(entry);
    }
    return entries;
}

QByteArray TPageJournal::Fingerprint(const QString& text)
{
    return QCryptographicHash::hash(JoinLines(SplitLines(text)).toUtf8(), QCryptographicHash::Md5).toHex();
}

TJournalAction TPageJournal::Decide(const TJournalEntry& entry, const QString* pageText)
{
    if (!entry.readable)
        return TJournalAction::Keep;
    if (!pageText)
        return TJournalAction::AsNewPage;
    if (SplitLines(entry.text) == SplitLines(*pageText))
        return TJournalAction::Discard;
    // The page still holds the text the changes were made to: the journal is newer. Otherwise
    // the page was written later (or by someone else) and neither text may replace the other.
    if (entry.base.isEmpty() || entry.base == Fingerprint(*pageText))
        return TJournalAction::IntoPage;
    return TJournalAction::AsNewPage;
}

QString TPageJournal::RecoveryMessage(const TJournalRecovery& recovery)
{
    QStringList parts;
    if (!recovery.recovered.isEmpty()) {
        QStringList titles = recovery.recovered.mid(0, kTitlesShown);
        for (QString& title : titles)
            title = u"“"_s + title + u"”"_s;
        QString text =
            u"上次运行未正常结束，以下页面中未保存的内容已恢复（尚未保存）：\n"_s + titles.join(u'\n');
        if (recovery.recovered.size() > kTitlesShown)
            text += u"\n……共 %1 个页面"_s.arg(recovery.recovered.size());
        parts.append(text);
    }
    if (!recovery.unreadable.isEmpty()) {
        QStringList files;
        for (const QString& file : recovery.unreadable)
            files.append(QDir::toNativeSeparators(file));
        parts.append(u"以下恢复文件无法读取，已保留原样：\n"_s + files.join(u'\n'));
    }
    if (!recovery.notPlaced.isEmpty())
        parts.append(u"以下恢复文件的内容无法放进新页面，已保留原样，下次启动时再试：\n"_s +
                     recovery.notPlaced.join(u'\n'));
    return parts.join(u"\n\n"_s);
}

QString TPageJournal::UnsavedCopyPath(const QString& folder, const QString& title, const QDateTime& now)
{
    QString name = title.trimmed().left(kTitleCharactersInName);
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 32)
            c = u'_';
    if (name.startsWith(u'.'))
        name[0] = u'_';
    if (!name.isEmpty())
        name += u' ';
    name += now.toString(u"yyyy-MM-dd hhmmss"_s);
    const QString dir = NormalizeDir(folder);
    QString path = dir + name + u".txt"_s;
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = dir + name + u"(%1).txt"_s.arg(n);
    return path;
}

QByteArray TPageJournal::Encode(const QString& key, const QString& text, const QByteArray& base)
{
    // The header tells the text's length, so a file cut short is recognised, and the text
    // follows exactly as it was, line breaks included.
    const QString header = QString::fromUtf16(kMagic) + u"\r\n"_s + key + u"\r\n"_s +
                           QString::fromLatin1(base) + u"\r\n"_s + QString::number(text.size()) + u"\r\n"_s;
    QByteArray data;
    data.reserve(2 + (header.size() + text.size()) * 2);
    data += EncodeText(header, TTextEncoding::Utf16LE);
    QStringEncoder encoder(QStringConverter::Utf16LE);
    data += encoder.encode(text);
    return data;
}

bool TPageJournal::Decode(const QByteArray& data, TJournalEntry& entry)
{
    if (data.size() % 2 != 0 || DetectEncoding(data) != TTextEncoding::Utf16LE)
        return false;
    QStringDecoder decoder(QStringConverter::Utf16LE);
    const QString all = decoder.decode(QByteArrayView(data).sliced(2));
    QStringList fields;
    qsizetype from = 0;
    for (int i = 0; i < 4; ++i) {
        const qsizetype end = all.indexOf(u"\r\n"_s, from);
        if (end < 0)
            return false;
        fields.append(all.mid(from, end - from));
        from = end + 2;
    }
    if (fields[0] != QString::fromUtf16(kMagic) || fields[1].isEmpty())
        return false;
    bool ok = false;
    const qsizetype length = fields[3].toLongLong(&ok);
    if (!ok || length != all.size() - from)
        return false;
    entry.key = fields[1];
    entry.base = fields[2].toLatin1();
    entry.text = all.mid(from);
    return true;
}
