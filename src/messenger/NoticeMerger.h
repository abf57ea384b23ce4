#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Decides which online and offline notices are shown: the first few within a popup's life each
// get a popup of their own; more within that time are counted and shown together, one popup
// "N 位好友上线" at a time, so that a crowd (or a flood) of peers opens only a few windows.
class TNoticeMerger final : public QObject
{
    Q_OBJECT
public:
    using TShow = std::function<void(const QString& title, const QString& text)>;

    // How long one popup stays on the screen, sliding included.
    static constexpr int PopupLife = 6000; // ms
    // Popups of their own within one life; the next ones are merged.
    static constexpr int Singles = 3;
    // How long arrivals are gathered before a merged popup shows.
    static constexpr int GatherMs = 1000;

    explicit TNoticeMerger(TShow show, QObject* parent = nullptr);

    void Online(const QString& name);
    void Offline(const QString& name);
    // Popups asked for so far (for the window's tests).
    int Shown() const { return m_shownTotal; }

private:
    void arrive(bool online, const QString& name);
    void showMerged();
    qint64 now() const { return m_clock.elapsed(); }

    TShow m_show;
    QElapsedTimer m_clock;
    QTimer m_gather;
    qint64 m_windowStart = -PopupLife;
    int m_shownInWindow = 0;
    bool m_mergedInWindow = false;
    // Arrivals counted for the next merged popup: those of the window so far, and the ones
    // not shown yet.
    int m_online = 0;
    int m_offline = 0;
    int m_waiting = 0;
    int m_shownTotal = 0;
};
