#pragma once

#include "reminders/BTOdeum.h"

#include <QObject>

#include <functional>

class QThread;

// Plays the beeper's default tune on a thread of its own, so that the event loop (the minute
// scan, the shutdown countdown, the windows) runs on while it sounds. One tune at a time.
//
//   TTunePlayer player(sound, TPresetSound::psOfficial);
//   player.Play([] { showTheBox(); });   // runs on this thread once the tune has ended
class TTunePlayer final : public QObject
{
    Q_OBJECT
public:
    TTunePlayer(ISoundOutput& output, TPresetSound tune, QObject* parent = nullptr);
    // Waits for a tune that still plays (at most its length).
    ~TTunePlayer() override;

    // Starts the tune; then runs on this object's thread once it has ended. Ignored while a
    // tune plays.
    void Play(std::function<void()> then);
    bool Playing() const { return m_thread != nullptr; }
    TBTBeeper& Beeper() { return m_beeper; }

private:
    TBTBeeper m_beeper;
    QThread* m_thread = nullptr;
};
