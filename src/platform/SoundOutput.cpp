#include "platform/SoundOutput.h"

#include <cmath>

namespace {

constexpr std::int16_t kAmplitude = 6000;

} // namespace

quint64 TonesDuration(const TTones& tones)
{
    quint64 total = 0;
    for (const TTone& tone : tones)
        total += tone.durationMs;
    return total;
}

std::vector<std::int16_t> SquareWavePcm(const TTones& tones, unsigned sampleRate)
{
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<size_t>(TonesDuration(tones) * sampleRate / 1000 + 1));
    quint64 elapsedMs = 0;
    for (const TTone& tone : tones) {
        // Tone boundaries fall on whole samples of the running time, so rounding never adds up.
        const size_t begin = static_cast<size_t>(elapsedMs * sampleRate / 1000);
        elapsedMs += tone.durationMs;
        const size_t end = static_cast<size_t>(elapsedMs * sampleRate / 1000);
        if (tone.frequency <= 1) {
            samples.insert(samples.end(), end - begin, 0);
            continue;
        }
        const double step = static_cast<double>(tone.frequency) / sampleRate;
        for (size_t i = 0; i < end - begin; ++i) {
            const double phase = std::fmod((static_cast<double>(i) + 0.5) * step, 1.0);
            samples.push_back(phase < 0.5 ? kAmplitude : static_cast<std::int16_t>(-kAmplitude));
        }
    }
    return samples;
}
