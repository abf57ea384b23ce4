#include "messenger/ftp/FtpServer.h"

#include "core/PubUtils.h"

#include "messenger/ftp/FtpSession.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTcpServer>
#include <QThread>

#include <future>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TFtpListener final : public QTcpServer
{
public:
    explicit TFtpListener(TFtpServer* server) : m_server(server) {}

protected:
    void incomingConnection(qintptr descriptor) override { m_server->StartSession(descriptor); }

private:
    TFtpServer* m_server;
};

namespace {
// The reply of a server that has all the connections it takes.
constexpr int BusyCode = 300;
const QString TooManyConnections = u"现在因为网络连接过多,不能给您提供服务，请稍候再试."_s;
} // namespace

TFtpServer::TFtpServer(QObject* parent) : QObject(parent) {}

TFtpServer::~TFtpServer()
{
    Stop();
}

bool TFtpServer::Start(quint16 controlPort, quint16 dataPort, const QHostAddress& address)
{
    Stop();
    m_stopping = false;
    m_dataPort = dataPort;
    std::promise<quint16> bound;
    std::future<quint16> port = bound.get_future();
    m_acceptThread = QThread::create([this, address, controlPort, &bound] {
        TFtpListener listener(this);
        if (!listener.listen(address, controlPort)) {
            bound.set_value(0);
            return;
        }
        bound.set_value(listener.serverPort());
        while (!m_stopping.load())
            listener.waitForNewConnection(TFtpSession::PollMs);
    });
    m_acceptThread->start();
    m_port = port.get();
    if (m_port == 0) {
        Stop();
        return false;
    }
    return true;
}

void TFtpServer::Stop()
{
    m_stopping = true;
    if (m_acceptThread) {
        m_acceptThread->wait();
        delete m_acceptThread;
        m_acceptThread = nullptr;
    }
    m_port = 0;
    QList<QThread*> threads;
    {
        QMutexLocker lock(&m_mutex);
        threads.swap(m_threads);
    }
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
}

quint16 TFtpServer::ControlPort() const
{
    return m_port;
}

void TFtpServer::SetSharePath(const QString& folder)
{
    const QString trimmed = folder.trimmed();
    if (trimmed.isEmpty() || !QDir().mkpath(trimmed) || !QFileInfo(trimmed).isDir())
        throw EJotvaneError(u"文件共享路径：%1 不存在，创建共享服务失败！"_s.arg(folder));
    m_access.SetShareRoot(NormalizeDir(trimmed));
}

int TFtpServer::ConnectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

int TFtpServer::SessionThreadCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_threads.size());
}

void TFtpServer::Reap(QThread* thread)
{
    {
        // Only a thread still listed is alive; one of the same address that has not ended is
        // a newer session.
        QMutexLocker lock(&m_mutex);
        if (!m_threads.contains(thread) || !thread->isFinished())
            return;
        m_threads.removeOne(thread);
    }
    thread->wait();
    delete thread;
}

bool TFtpServer::Enter(const QString& address)
{
    QMutexLocker lock(&m_mutex);
    if (m_connections >= m_maxConnections.load())
        return false;
    int& count = m_perAddress[address];
    if (count >= m_maxPerAddress.load()) {
        if (count == 0)
            m_perAddress.remove(address);
        return false;
    }
    ++count;
    ++m_connections;
    return true;
}

void TFtpServer::Leave(const QString& address)
{
    QMutexLocker lock(&m_mutex);
    --m_connections;
    if (--m_perAddress[address] <= 0)
        m_perAddress.remove(address);
}

// Runs on the accepting thread. A connection beyond the limits is answered and closed here,
// without a thread of its own.
void TFtpServer::StartSession(qintptr descriptor)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    QString who;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&peer), &length) == 0)
        who = TFtpAccess::Canonical(QHostAddress(reinterpret_cast<sockaddr*>(&peer))).toString();
    if (!Enter(who)) {
        const QByteArray busy = QByteArray::number(BusyCode) + ' ' + TooManyConnections.toUtf8() + "\r\n";
        ::send(int(descriptor), busy.constData(), size_t(busy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(int(descriptor), SHUT_WR);
        ::close(int(descriptor));
        return;
    }
    QThread* thread = QThread::create([this, descriptor, who] {
        {
            TFtpSession session(*this, descriptor);
            session.Run();
        }
        Leave(who);
    });
    // An ended session's thread is collected on the server's own thread at once; those that end
    // while that thread is busy are collected with the next connection or by Stop().
    connect(
        thread, &QThread::finished, this, [this, thread] { Reap(thread); }, Qt::QueuedConnection);
    {
        QMutexLocker lock(&m_mutex);
        for (qsizetype i = m_threads.size() - 1; i >= 0; --i) {
            if (m_threads[i]->isFinished())
                delete m_threads.takeAt(i);
        }
        m_threads.append(thread);
    }
    thread->start();
}
