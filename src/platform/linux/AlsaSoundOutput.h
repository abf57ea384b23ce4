#pragma once

#include "platform/SoundOutput.h"

// ALSA's default playback device, opened for each tune. A missing, busy or failing device makes
// the tune silent; the call still lasts the tune's length and gives up on a stalled device soon
// after that.
class AlsaSoundOutput final : public ISoundOutput
{
public:
    static constexpr unsigned SampleRate = 48000;

    void Play(const TTones& tones) override;
    // The reason the last tune was not heard (empty when it was played).
    QString LastError() const { return m_lastError; }

private:
    QString m_lastError;
};
