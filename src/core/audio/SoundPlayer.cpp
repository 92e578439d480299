#include "core/audio/SoundPlayer.h"

#include "core/Exceptions.h"
#include "core/audio/Alsa.h"
#include "core/audio/WaveReader.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kLatencyUs = 100000;
// How long the destructor waits for the thread before leaving it to finish alone.
constexpr auto kJoinWait = std::chrono::milliseconds(1000);

} // namespace

struct CSoundPlayer::CState
{
    using Clock = std::chrono::steady_clock;
    struct CRequest
    {
        QStringList paths;
        int intervalMs = 0;
    };

    explicit CState(QString device) : device(std::move(device)) {}

    void Run();
    void RunRequest(const CRequest& request, quint64 generation);
    void PlayOne(const QString& path, quint64 generation, Clock::time_point deadline);
    bool Superseded(quint64 generation) const { return this->generation != generation; }
    // Waits until when, or less when a newer request comes; false then.
    bool WaitUntil(Clock::time_point when, quint64 generation);
    void SetError(const QString& error);

    mutable std::mutex mutex; // guards what follows
    std::condition_variable changed;
    QString device;
    CRequest pending;
    bool hasPending = false;
    bool busy = false;
    bool quit = false;
    bool threadStarted = false;
    bool threadDone = false;
    QString lastError;
    std::atomic<quint64> generation{0};
};

CSoundPlayer::CSoundPlayer(QString device) : m_state(std::make_shared<CState>(std::move(device))) {}

CSoundPlayer::~CSoundPlayer()
{
    std::unique_lock lock(m_state->mutex);
    m_state->quit = true;
    ++m_state->generation;
    m_state->changed.notify_all();
    // The thread holds the state too: one caught in a device call that does not return (a driver that
    // hangs) is left to end by itself rather than hold up the window's exit.
    m_state->changed.wait_for(lock, kJoinWait,
                              [&] { return !m_state->threadStarted || m_state->threadDone; });
}

void CSoundPlayer::SetDevice(const QString& device)
{
    std::lock_guard lock(m_state->mutex);
    m_state->device = device;
}

void CSoundPlayer::Play(const QString& path)
{
    PlaySequence({path}, 0);
}

void CSoundPlayer::PlaySequence(const QStringList& paths, int intervalMs)
{
    CState& s = *m_state;
    std::lock_guard lock(s.mutex);
    ++s.generation;
    s.pending = {paths, intervalMs};
    s.hasPending = true;
    s.lastError.clear();
    if (!s.threadStarted) {
        s.threadStarted = true;
        std::thread([state = m_state] { state->Run(); }).detach();
    }
    s.changed.notify_all();
}

void CSoundPlayer::Stop()
{
    PlaySequence({}, 0);
}

bool CSoundPlayer::IsPlaying() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->busy || m_state->hasPending;
}

bool CSoundPlayer::WaitIdle(int timeoutMs)
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return !m_state->busy && !m_state->hasPending; });
}

QString CSoundPlayer::GetLastError() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->lastError;
}

void CSoundPlayer::CState::SetError(const QString& error)
{
    std::lock_guard lock(mutex);
    if (lastError.isEmpty())
        lastError = error;
}

bool CSoundPlayer::CState::WaitUntil(Clock::time_point when, quint64 generation)
{
    std::unique_lock lock(mutex);
    return !changed.wait_until(lock, when, [&] { return Superseded(generation); });
}

void CSoundPlayer::CState::Run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return quit || hasPending; });
        if (quit)
            break;
        const CRequest request = std::move(pending);
        hasPending = false;
        busy = true;
        const quint64 current = generation;
        lock.unlock();
        RunRequest(request, current);
        lock.lock();
        busy = false;
        changed.notify_all();
    }
    threadDone = true;
    changed.notify_all();
}

void CSoundPlayer::CState::RunRequest(const CRequest& request, quint64 generation)
{
    for (int i = 0; i < request.paths.size() && !Superseded(generation); ++i) {
        const Clock::time_point start = Clock::now();
        const bool last = i + 1 == request.paths.size();
        const Clock::time_point next = start + std::chrono::milliseconds(request.intervalMs);
        if (!request.paths[i].isEmpty())
            PlayOne(request.paths[i], generation, last ? Clock::time_point::max() : next);
        if (!last && !WaitUntil(next, generation))
            return;
    }
}

void CSoundPlayer::CState::PlayOne(const QString& path, quint64 generation, Clock::time_point deadline)
{
    std::unique_ptr<CWaveReader> reader;
    try {
        reader = std::make_unique<CWaveReader>(path);
    } catch (const CLogwardenException& e) {
        SetError(e.Message());
        return;
    }
    const CWaveFormat format = reader->Format();
    QString name;
    {
        std::lock_guard lock(mutex);
        name = device;
    }
    // Never a blocking open: one of a device another program holds waits until that program lets go.
    snd_pcm_t* pcm = nullptr;
    int err = Alsa::OpenPcm(&pcm, name, SND_PCM_STREAM_PLAYBACK, format, kLatencyUs, SND_PCM_NONBLOCK);
    if (err < 0) {
        SetError(QStringLiteral("Cannot play \"%1\" on \"%2\": %3").arg(path, name, Alsa::ErrorText(err)));
        return;
    }
    const Clock::time_point begun = Clock::now();
    // Never longer than the sound itself and a bit, however the device behaves.
    const Clock::time_point latest =
        qMin(deadline,
             begun + std::chrono::milliseconds(reader->FrameCount() * 1000 / format.nSamplesPerSec + 1000));
    const qint64 chunk = qMax<qint64>(1, format.nSamplesPerSec / 50); // 20 ms between looks at new requests
    std::vector<char> buffer(size_t(chunk * format.nBlockAlign));
    bool cut = false;
    try {
        for (;;) {
            if (Superseded(generation) || Clock::now() >= deadline) {
                cut = true;
                break;
            }
            const qint64 frames = reader->Read(buffer.data(), chunk);
            if (frames == 0)
                break;
            qint64 done = 0;
            while (done < frames && err >= 0) {
                snd_pcm_sframes_t n = snd_pcm_writei(pcm, buffer.data() + done * format.nBlockAlign,
                                                     snd_pcm_uframes_t(frames - done));
                if (n == -EAGAIN) {
                    // The device's buffer is full: wait a little for room, looking at new requests.
                    if (Superseded(generation) || Clock::now() >= latest) {
                        cut = true;
                        break;
                    }
                    snd_pcm_wait(pcm, 20);
                    continue;
                }
                if (n < 0)
                    n = snd_pcm_recover(pcm, int(n), 1);
                if (n < 0)
                    err = int(n);
                else
                    done += n;
            }
            if (cut)
                break;
            if (err < 0) {
                SetError(
                    QStringLiteral("Cannot play \"%1\" on \"%2\": %3").arg(path, name, Alsa::ErrorText(err)));
                cut = true;
                break;
            }
        }
    } catch (const CLogwardenException& e) {
        SetError(e.Message());
        cut = true;
    }
    if (!cut) {
        // A sound shorter than the device's start threshold has not started yet.
        if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(pcm);
        // Let it play out, looking for new requests.
        for (;;) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm, &delay) < 0 || delay <= 0)
                break;
            const auto wait = std::chrono::milliseconds(
                qBound(qint64(1), qint64(delay) * 1000 / format.nSamplesPerSec, qint64(20)));
            if (!WaitUntil(qMin(latest, Clock::now() + wait), generation) || Clock::now() >= latest) {
                cut = true;
                break;
            }
        }
    }
    if (cut) {
        snd_pcm_drop(pcm);
    } else if (snd_pcm_drain(pcm) == -EAGAIN) {
        // Without blocking, draining goes on in the device: wait for its end, a while at most.
        while (snd_pcm_state(pcm) == SND_PCM_STATE_DRAINING && Clock::now() < latest &&
               !Superseded(generation))
            WaitUntil(Clock::now() + std::chrono::milliseconds(10), generation);
        snd_pcm_drop(pcm);
    }
    snd_pcm_close(pcm);
}
