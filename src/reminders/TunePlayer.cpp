#include "reminders/TunePlayer.h"

#include <QThread>

TTunePlayer::TTunePlayer(ISoundOutput& output, TPresetSound tune, QObject* parent)
    : QObject(parent), m_beeper(output)
{
    m_beeper.SetDefaultSound(tune);
}

TTunePlayer::~TTunePlayer()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void TTunePlayer::Play(std::function<void()> then)
{
    if (m_thread)
        return;
    // The beeper is touched by the thread alone while it plays.
    m_thread = QThread::create([this] { m_beeper.Play(); });
    connect(m_thread, &QThread::finished, this, [this, then = std::move(then)] {
        m_thread->wait();
        delete std::exchange(m_thread, nullptr);
        if (then)
            then();
    });
    m_thread->start();
}
