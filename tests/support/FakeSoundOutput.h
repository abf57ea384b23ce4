#pragma once

#include "platform/SoundOutput.h"

#include <QList>

// A recording stand-in for tests: no sound and no waiting, every tune kept in order.
class FakeSoundOutput final : public ISoundOutput
{
public:
    void Play(const TTones& tones) override { played.append(tones); }

    QList<TTones> played;
};
