#pragma once

#include "platform/SoundOutput.h"

#include <cstdint>

enum class TBeatDuration : std::uint8_t
{
    bd_500,
    bd_1000,
    bd_1500,
    bd_2000
};

enum class TPresetSound : std::uint8_t
{
    psOK,
    psError,
    psWelcome,
    psEmergency,
    psWrong,
    psCall,
    psOfficial,
    psDaze,
    psFall,
    psChord,
    psWhisle,
    psHanging,
    psClimb
};
inline constexpr int PresetSoundCount = 13;

// The tones of a preset tune; empty for a value outside the enumeration.
TTones PresetTones(TPresetSound sound);

// Plays short tunes as square-wave beeps on a sound output. Playing is synchronous: the call
// returns when the tune has ended. A tune asked for while another one plays (from a nested
// event loop) is dropped.
//
//   TBTBeeper beeper(sound);
//   beeper.SetDefaultSound(TPresetSound::psOfficial);
//   beeper.Play();          // three seconds
class TBTBeeper
{
public:
    explicit TBTBeeper(ISoundOutput& output);
    TBTBeeper(const TBTBeeper&) = delete;
    TBTBeeper& operator=(const TBTBeeper&) = delete;

    void Play() { PlayPresetSound(m_defaultSound); }
    void PlayPresetSound(TPresetSound sound);
    // One tone, or a rest for frequency 1.
    void PlayTone(quint16 frequency, quint32 durationMs);

    bool Busy() const { return m_busy; }
    TBeatDuration BeatDuration() const { return m_beatDuration; }
    void SetBeatDuration(TBeatDuration value);
    // 500, 1000, 1500 or 2000 ms after BeatDuration; the preset tunes do not use it.
    quint32 BeatLength() const { return m_beatLength; }
    TPresetSound DefaultSound() const { return m_defaultSound; }
    void SetDefaultSound(TPresetSound sound) { m_defaultSound = sound; }

private:
    void PlayTones(const TTones& tones);

    ISoundOutput& m_output;
    bool m_busy = false;
    TBeatDuration m_beatDuration = TBeatDuration::bd_1000;
    quint32 m_beatLength = 1000;
    TPresetSound m_defaultSound = TPresetSound::psOK;
};
