#include "reminders/BTOdeum.h"

#include "TestSupport.h"
#include "platform/linux/AlsaSoundOutput.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <alsa/asoundlib.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr unsigned kRate = AlsaSoundOutput::SampleRate;

// The tones heard in PCM data: runs of sound between silences, each with the frequency its
// zero crossings give (half a period between two crossings).
struct TMeasured
{
    double frequency;
    double ms;
};

std::vector<TMeasured> MeasureTones(const std::vector<std::int16_t>& pcm, size_t* silentSamples)
{
    std::vector<TMeasured> tones;
    *silentSamples = 0;
    size_t i = 0;
    while (i < pcm.size()) {
        if (pcm[i] == 0) {
            ++*silentSamples;
            ++i;
            continue;
        }
        const size_t begin = i;
        std::vector<size_t> crossings;
        for (; i < pcm.size() && pcm[i] != 0; ++i)
            if (i > begin && (pcm[i] > 0) != (pcm[i - 1] > 0))
                crossings.push_back(i);
        double f = 0;
        if (crossings.size() >= 2)
            f = (crossings.size() - 1) / 2.0 * kRate / double(crossings.back() - crossings.front());
        tones.push_back({f, (i - begin) * 1000.0 / kRate});
    }
    return tones;
}

// The tune's table has 400 ms of rests in its 3000 ms (2600 ms of tones).
TEST(Beeper, OfficialTuneLastsThreeSecondsAndEveryToneHasItsPitch)
{
    const std::vector<std::int16_t> pcm = SquareWavePcm(PresetTones(TPresetSound::psOfficial), kRate);
    EXPECT_EQ(pcm.size(), 3 * kRate);
    size_t silent = 0;
    const std::vector<TMeasured> tones = MeasureTones(pcm, &silent);
    EXPECT_EQ(silent, kRate * 400 / 1000);
    const double expected[][2] = {{196, 200}, {196, 200}, {196, 200}, {165, 700},
                                  {261, 200}, {261, 200}, {261, 200}, {131, 700}};
    ASSERT_EQ(tones.size(), std::size(expected));
    for (size_t t = 0; t < tones.size(); ++t) {
        EXPECT_NEAR(tones[t].frequency, expected[t][0], expected[t][0] * 0.02) << "tone " << t;
        EXPECT_NEAR(tones[t].ms, expected[t][1], 0.1) << "tone " << t;
    }
}

TEST(Beeper, TunesAsTabled)
{
    const int totals[PresetSoundCount] = {300,  850,  700, 1600, 1000, 1250, 3000,
                                          1200, 1200, 960, 320,  960,  960};
    const int counts[PresetSoundCount] = {3, 3, 7, 8, 14, 3, 15, 12, 12, 12, 4, 12, 12};
    for (int s = 0; s < PresetSoundCount; ++s) {
        const TTones tones = PresetTones(static_cast<TPresetSound>(s));
        EXPECT_EQ(TonesDuration(tones), quint64(totals[s])) << "tune " << s;
        EXPECT_EQ(tones.size(), counts[s]) << "tune " << s;
    }
    EXPECT_TRUE(PresetTones(static_cast<TPresetSound>(PresetSoundCount)).isEmpty());
}

// Plays through a fake output that asks for another tune while the first one plays, as a
// nested event loop would.
class NestingOutput final : public ISoundOutput
{
public:
    void Play(const TTones& tones) override
    {
        played.append(tones);
        if (beeper && played.size() == 1) {
            busyInside = beeper->Busy();
            beeper->PlayPresetSound(TPresetSound::psError);
        }
    }
    TBTBeeper* beeper = nullptr;
    QList<TTones> played;
    bool busyInside = false;
};

TEST(Beeper, BusyDropsNestedTunesAndBeatLengthFollowsItsSetting)
{
    NestingOutput output;
    TBTBeeper beeper(output);
    output.beeper = &beeper;
    EXPECT_EQ(beeper.DefaultSound(), TPresetSound::psOK);
    beeper.SetDefaultSound(TPresetSound::psOfficial);
    beeper.Play();
    EXPECT_TRUE(output.busyInside);
    ASSERT_EQ(output.played.size(), 1);
    EXPECT_EQ(output.played[0], PresetTones(TPresetSound::psOfficial));
    EXPECT_FALSE(beeper.Busy());
    beeper.PlayTone(440, 20);
    EXPECT_EQ(output.played.last(), (TTones{{440, 20}}));

    EXPECT_EQ(beeper.BeatLength(), 1000u);
    beeper.SetBeatDuration(TBeatDuration::bd_2000);
    EXPECT_EQ(beeper.BeatLength(), 2000u);
    beeper.SetBeatDuration(TBeatDuration::bd_500);
    EXPECT_EQ(beeper.BeatLength(), 500u);
}

// ALSA reads ~/.asoundrc (HOME is a private folder here) at the next open once its cached
// configuration is dropped.
void RouteDefaultDevice(const QByteArray& definition)
{
    WriteBytes(QDir::homePath() + u"/.asoundrc"_s, definition);
    snd_config_update_free_global();
}

TEST(AlsaSound, TuneGoesToTheDefaultDeviceAndTakesItsLength)
{
    const QString raw = QDir::homePath() + u"/tune.raw"_s;
    RouteDefaultDevice("pcm.!default { type file slave.pcm \"null\" file \"" + raw.toUtf8() +
                       "\" format \"raw\" }\n");
    AlsaSoundOutput output;
    const TTones tune = PresetTones(TPresetSound::psWhisle);
    QElapsedTimer timer;
    timer.start();
    output.Play(tune);
    const qint64 took = timer.elapsed();
    EXPECT_TRUE(output.LastError().isEmpty()) << output.LastError().toStdString();
    EXPECT_GE(took, 320);
    EXPECT_LT(took, 320 + 1000);

    const QByteArray bytes = ReadBytes(raw);
    const std::vector<std::int16_t> expected = SquareWavePcm(tune, kRate);
    ASSERT_EQ(size_t(bytes.size()), expected.size() * 2);
    EXPECT_EQ(std::memcmp(bytes.constData(), expected.data(), bytes.size()), 0);
}

TEST(AlsaSound, WithoutADeviceTheTuneStillTakesItsLength)
{
    RouteDefaultDevice("pcm.!default { type hw card 97 }\n");
    AlsaSoundOutput output;
    QElapsedTimer timer;
    timer.start();
    output.Play(PresetTones(TPresetSound::psOK));
    const qint64 took = timer.elapsed();
    EXPECT_FALSE(output.LastError().isEmpty());
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 300 + 1000);
}

} // namespace
