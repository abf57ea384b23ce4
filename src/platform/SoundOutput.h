#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

// One tone of a tune: a frequency in hertz for a time in milliseconds; frequency 1 is a rest.
struct TTone
{
    quint16 frequency = 1;
    quint32 durationMs = 0;

    bool operator==(const TTone&) const = default;
};
using TTones = QList<TTone>;

// The length of a tune in milliseconds.
quint64 TonesDuration(const TTones& tones);

// A tune as 16-bit mono samples: every tone a square wave of its frequency at a fixed amplitude,
// every rest silence. The wave's phase runs on across a tone, so its frequency is exact on
// average whatever the sample rate.
std::vector<std::int16_t> SquareWavePcm(const TTones& tones, unsigned sampleRate);

// Where the beeper's tones are heard. Play returns when the tune has ended: it takes the tune's
// length also when there is nothing to play it on, and never much longer than that.
class ISoundOutput
{
public:
    virtual ~ISoundOutput() = default;
    virtual void Play(const TTones& tones) = 0;
};
