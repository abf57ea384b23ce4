#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The name of the per-user local socket that marks the running copy's main window.
QString InstanceServerName();

// Asks the running copy (if any) to bring its window forward. True when a running copy took
// the request; the caller then ends. Never waits long on a copy that does not answer.
bool ActivateRunningInstance(const QString& name, int timeoutMs = 1000);

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

private:
    void acceptConnection();

    QLocalServer* m_server = nullptr;
};
