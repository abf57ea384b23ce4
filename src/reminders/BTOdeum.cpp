#include "reminders/BTOdeum.h"

#include <initializer_list>

namespace {

constexpr quint16 Rest = 1;

// Tones of equal length.
TTones Run(std::initializer_list<quint16> frequencies, quint32 durationMs, int times = 1)
{
    TTones tones;
    for (int i = 0; i < times; ++i)
        for (quint16 f : frequencies)
            tones.append({f, durationMs});
    return tones;
}

} // namespace

TTones PresetTones(TPresetSound sound)
{
    switch (sound) {
    case TPresetSound::psOK:
        return Run({932, 988, 1046}, 100);
    case TPresetSound::psError:
        return {{92, 150}, {Rest, 200}, {65, 500}};
    case TPresetSound::psWelcome:
        return Run({932, 988, 1046, Rest, 1046, 988, 932}, 100);
    case TPresetSound::psEmergency:
        return Run({698, 494}, 200, 4);
    case TPresetSound::psWrong:
        return TTones{{261, 150}} + Run({247, 233, 220, 207, 196, 189, 174, 165, 155, 149, 138}, 50) +
               TTones{{131, 100}, {65, 200}};
    case TPresetSound::psCall:
        return {{196, 650}, {Rest, 100}, {165, 500}};
    case TPresetSound::psOfficial:
        return {{196, 200}, {Rest, 50}, {196, 200},  {Rest, 50}, {196, 200},
                {Rest, 50}, {165, 700}, {Rest, 100}, {261, 200}, {Rest, 50},
                {261, 200}, {Rest, 50}, {261, 200},  {Rest, 50}, {131, 700}};
    case TPresetSound::psDaze:
        return Run({329, 311, 293, 311}, 100, 3);
    case TPresetSound::psFall:
        return Run({329, 311, 293, 311, 349, 329, 311, 329, 370, 349, 329, 349}, 100);
    case TPresetSound::psChord:
        return Run({494, 466, 440, 415, 392, 370, 349, 329, 311, 293, 277, 261}, 80);
    case TPresetSound::psWhisle:
        return Run({523, 698, 784, 1046}, 80);
    case TPresetSound::psHanging:
        return Run({784, 1046, 830, 1109, 880, 1174, 932, 1244, 988, 1318, 1046, 1397}, 80);
    case TPresetSound::psClimb:
        return Run({261, 277, 293, 311, 329, 349, 370, 392, 415, 440, 466, 494}, 80);
    }
    return {};
}

TBTBeeper::TBTBeeper(ISoundOutput& output) : m_output(output) {}

void TBTBeeper::PlayPresetSound(TPresetSound sound)
{
    PlayTones(PresetTones(sound));
}

void TBTBeeper::PlayTone(quint16 frequency, quint32 durationMs)
{
    PlayTones({{frequency, durationMs}});
}

void TBTBeeper::PlayTones(const TTones& tones)
{
    if (m_busy || tones.isEmpty())
        return;
    m_busy = true;
    // The whole tune goes to the output at once, so the device is opened once and the tones
    // follow each other without gaps.
    m_output.Play(tones);
    m_busy = false;
}

void TBTBeeper::SetBeatDuration(TBeatDuration value)
{
    if (value == m_beatDuration)
        return;
    m_beatDuration = value;
    m_beatLength = 500 * (static_cast<quint32>(value) + 1);
}
