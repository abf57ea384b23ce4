#include "platform/linux/AlsaSoundOutput.h"

#include "core/LateLibrary.h"

#include <QElapsedTimer>
#include <QThread>

#include <alsa/asoundlib.h>

#include <algorithm>

namespace {

// The ALSA functions a tune needs. The library is loaded with the first tune, so that the start
// does not wait for it; it stays loaded, as a linked library would.
struct TAlsa
{
    decltype(&::snd_strerror) strerror = nullptr;
    decltype(&::snd_lib_error_set_handler) setErrorHandler = nullptr;
    decltype(&::snd_pcm_open) open = nullptr;
    decltype(&::snd_pcm_set_params) setParams = nullptr;
    decltype(&::snd_pcm_writei) writei = nullptr;
    decltype(&::snd_pcm_wait) wait = nullptr;
    decltype(&::snd_pcm_recover) recover = nullptr;
    decltype(&::snd_pcm_state) state = nullptr;
    decltype(&::snd_pcm_start) start = nullptr;
    decltype(&::snd_pcm_delay) delay = nullptr;
    decltype(&::snd_pcm_drop) drop = nullptr;
    decltype(&::snd_pcm_close) close = nullptr;
};

// The loaded functions, or nullptr (with the reason in problem) when the library is missing.
const TAlsa* Alsa(QString& problem)
{
    static QString failure;
    static const TAlsa* const loaded = []() -> const TAlsa* {
        static TAlsa alsa;
        TLateLibrary library(QStringLiteral("libasound.so.2"));
        library.Resolve(alsa.strerror, "snd_strerror")
            .Resolve(alsa.setErrorHandler, "snd_lib_error_set_handler")
            .Resolve(alsa.open, "snd_pcm_open")
            .Resolve(alsa.setParams, "snd_pcm_set_params")
            .Resolve(alsa.writei, "snd_pcm_writei")
            .Resolve(alsa.wait, "snd_pcm_wait")
            .Resolve(alsa.recover, "snd_pcm_recover")
            .Resolve(alsa.state, "snd_pcm_state")
            .Resolve(alsa.start, "snd_pcm_start")
            .Resolve(alsa.delay, "snd_pcm_delay")
            .Resolve(alsa.drop, "snd_pcm_drop")
            .Resolve(alsa.close, "snd_pcm_close");
        if (library.Complete())
            return &alsa;
        failure = library.Problem();
        return nullptr;
    }();
    problem = failure;
    return loaded;
}

// How long past the tune's own length a device may take before it is dropped.
constexpr qint64 kGraceMs = 1000;

// Waits until the tune has lasted its length.
void WaitUntil(const QElapsedTimer& started, qint64 lengthMs)
{
    const qint64 left = lengthMs - started.elapsed();
    if (left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}

QString AlsaError(const TAlsa& alsa, const char* step, int code)
{
    return QString::fromLatin1(step) + QStringLiteral(": ") + QString::fromLocal8Bit(alsa.strerror(code));
}

// Writes the samples in non-blocking mode, waiting on the device at most until deadlineMs, then
// lets the device play out what it holds. Returns an empty text on success.
QString WriteAll(const TAlsa& alsa, snd_pcm_t* pcm, const std::vector<std::int16_t>& samples,
                 const QElapsedTimer& started, qint64 deadlineMs)
{
    size_t done = 0;
    while (done < samples.size()) {
        const qint64 left = deadlineMs - started.elapsed();
        if (left <= 0)
            return QStringLiteral("the sound device does not take the tune in time");
        const snd_pcm_sframes_t written = alsa.writei(pcm, samples.data() + done, samples.size() - done);
        if (written == -EAGAIN) {
            alsa.wait(pcm, static_cast<int>(std::min<qint64>(left, 100)));
            continue;
        }
        if (written < 0) {
            const int recovered = alsa.recover(pcm, static_cast<int>(written), 1);
            if (recovered < 0)
                return AlsaError(alsa, "snd_pcm_writei", static_cast<int>(written));
            continue;
        }
        done += static_cast<size_t>(written);
    }
    // Play out what the device still holds, without blocking past the deadline.
    if (alsa.state(pcm) == SND_PCM_STATE_PREPARED)
        alsa.start(pcm);
    while (started.elapsed() < deadlineMs) {
        snd_pcm_sframes_t delay = 0;
        const snd_pcm_state_t state = alsa.state(pcm);
        if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_DRAINING)
            break;
        if (alsa.delay(pcm, &delay) < 0 || delay <= 0)
            break;
        const qint64 ms = std::max<qint64>(1, delay * 1000 / AlsaSoundOutput::SampleRate);
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(ms, deadlineMs - started.elapsed())));
    }
    return QString();
}

// ALSA reports its failures on stderr by default; here they are the tune's error text instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void AlsaSoundOutput::Play(const TTones& tones)
{
    QElapsedTimer started;
    started.start();
    const qint64 lengthMs = static_cast<qint64>(TonesDuration(tones));
    m_lastError.clear();
    if (lengthMs == 0)
        return;

    QString problem;
    const TAlsa* alsa = Alsa(problem);
    if (!alsa) {
        // Without ALSA the tune is silent but lasts its length, as with a missing device.
        m_lastError = QStringLiteral("the sound library cannot be loaded: ") + problem;
        WaitUntil(started, lengthMs);
        return;
    }
    alsa->setErrorHandler(&QuietAlsaErrors);
    const std::vector<std::int16_t> samples = SquareWavePcm(tones, SampleRate);
    snd_pcm_t* pcm = nullptr;
    // Non-blocking: a device held by another program must not hold the program up.
    int rc = alsa->open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (rc < 0) {
        m_lastError = AlsaError(*alsa, "snd_pcm_open", rc);
    } else {
        rc = alsa->setParams(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, SampleRate,
                             1 /* resample */, 100000 /* latency, µs */);
        if (rc < 0)
            m_lastError = AlsaError(*alsa, "snd_pcm_set_params", rc);
        else
            m_lastError = WriteAll(*alsa, pcm, samples, started, lengthMs + kGraceMs);
        alsa->drop(pcm);
        alsa->close(pcm);
    }
    WaitUntil(started, lengthMs);
}
