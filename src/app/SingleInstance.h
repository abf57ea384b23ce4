#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The name of the per-user local socket that marks the running copy's main window.
QString InstanceServerName();

// Asks the running copy (if any) to bring its window forward. True when a running copy took
// the request; the caller then ends. Never waits long on a copy that does not answer.
bool ActivateRunningInstance(const QString& name, int timeoutMs = 1000);

// What a later start can ask of the running copy: "activate" (a second start), "toggle",
// "show" or "hide" (the command line's --toggle, --show, --hide).
// The activation token, when the start was given one (XDG_ACTIVATION_TOKEN), goes along, so
// that a compositor which honours it gives the running copy's window the focus.
bool SendInstanceCommand(const QString& name, const QString& command, const QString& token,
                         int timeoutMs = 1000);

// The lock file in the application folder that the running copy holds for its whole run, so
// that two copies never share the page folder and the settings files. A lock left by a copy
// that crashed is noticed and taken over.
QString InstanceLockPath(const QString& appDir);

// A lock file held for the whole run through the system's file lock: it is released when its
// holder ends, however it ends, and the holder removes the file when it lets go. Taking it
// writes nothing to the disk that the start would have to wait for.
class TInstanceLock final
{
public:
    enum class TResult
    {
        Locked,
        HeldByOther,
        CannotLock, // the file cannot be made, or the folder holds no locks
    };

    explicit TInstanceLock(QString fileName);
    ~TInstanceLock();
    Q_DISABLE_COPY_MOVE(TInstanceLock)

    QString fileName() const { return m_fileName; }
    TResult tryLock();
    void unlock();

private:
    QString m_fileName;
    int m_fd = -1;
};

// What a start may do, decided before it reads any file.
enum class TStartTurn
{
    Run,          // no other copy: this one runs (and holds the lock when it could be made)
    HandedOver,   // a running copy took the activation request: end quietly
    NotAnswering, // a copy holds the lock but does not take the request: end without a window
};

// Takes the lock, or else asks the copy holding it to come forward, trying for up to
// handOverMs while the lock stays held (a copy still reading its files listens only once its
// window exists). When the folder cannot hold a lock at all, a running copy is only looked
// for through the socket, and without one this copy runs unlocked.
TStartTurn ClaimInstance(TInstanceLock& lock, const QString& serverName, int handOverMs = 5000);

// Listens for activation requests of later starts. Only the main window owns one, and only
// once it exists.
class TInstanceServer final : public QObject
{
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;
    Q_DISABLE_COPY_MOVE(TInstanceServer)

    bool listen(const QString& name);
    bool isListening() const;

signals:
    void activationRequested();
    // Every request taken, "activate" included; token is empty when the start had none.
    void commandReceived(const QString& command, const QString& token);

private:
    void acceptConnection();

    QLocalServer* m_server = nullptr;
};
