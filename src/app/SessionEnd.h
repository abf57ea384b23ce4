#pragma once

#include <QObject>

class QSocketNotifier;

// Reports the end of the user's session: the session manager's commit request, and SIGTERM
// or SIGHUP, which arrive through a self-pipe so that the handler runs on the GUI thread.
class TSessionEndWatcher final : public QObject
{
    Q_OBJECT
public:
    explicit TSessionEndWatcher(QObject* parent = nullptr);
    ~TSessionEndWatcher() override;
    Q_DISABLE_COPY_MOVE(TSessionEndWatcher)

signals:
    // The session ends: save everything now; the process may be ended without a normal exit.
    void sessionEnding();
    // A termination signal arrived: save everything, then end the program.
    void terminateRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
