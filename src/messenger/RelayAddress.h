#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The relay server's address for the host text of the settings. A dotted address is taken as
// it stands; a host name is looked up on a thread of its own, because a name server that does
// not answer would hold the caller for seconds, and the answer is kept: looked up again in
// the background after ten minutes, and after half a minute when the lookup failed.
class TRelayAddress final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TRelayAddress)
public:
    // Runs on the lookup thread: the first IPv4 address of the host as text, "" when none.
    using TLookup = std::function<QString(const QString& host)>;
    static constexpr qint64 KeepAnswerMs = 600000;
    static constexpr qint64 RetryFailureMs = 30000;

    explicit TRelayAddress(TLookup lookup = {}, QObject* parent = nullptr);
    ~TRelayAddress() override;

    // The address known for the host now ("" while none is known); starts a lookup when the
    // answer is missing or old. Never waits.
    QString Resolve(const QString& host);
    // The address known for the host, without starting anything.
    QString Known(const QString& host) const;

    // The system's name lookup (the resolver library's, as every program's).
    static QString SystemLookup(const QString& host);

signals:
    // A lookup ended; address is "" when the host is unknown.
    void resolved(const QString& host, const QString& address);

private:
    struct TAnswer
    {
        QString Address;
        QElapsedTimer Age; // invalid while the first lookup runs
        bool Running = false;
    };
    struct TChannel;

    void finished(const QString& host, const QString& address);

    TLookup m_lookup;
    QHash<QString, TAnswer> m_answers;
    std::shared_ptr<TChannel> m_channel;
};
