#include "core/audio/SoundPlayer.h"

#include "core/Exceptions.h"
#include "core/audio/Alsa.h"
#include "core/audio/WaveReader.h"

#include <vector>

namespace {

constexpr unsigned kLatencyUs = 100000;

} // namespace

CSoundPlayer::CSoundPlayer(QString device) : m_device(std::move(device)) {}

CSoundPlayer::~CSoundPlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_generation;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void CSoundPlayer::SetDevice(const QString& device)
{
    std::lock_guard lock(m_mutex);
    m_device = device;
}

void CSoundPlayer::Play(const QString& path)
{
    Submit({{path}, 0});
}

void CSoundPlayer::PlaySequence(const QStringList& paths, int intervalMs)
{
    Submit({paths, intervalMs});
}

void CSoundPlayer::Stop()
{
    Submit({});
}

void CSoundPlayer::Submit(CRequest request)
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_pending = std::move(request);
    m_hasPending = true;
    m_lastError.clear();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
    m_changed.notify_all();
}

bool CSoundPlayer::IsPlaying() const
{
    std::lock_guard lock(m_mutex);
    return m_busy || m_hasPending;
}

bool CSoundPlayer::WaitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return !m_busy && !m_hasPending; });
}

QString CSoundPlayer::GetLastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void CSoundPlayer::SetError(const QString& error)
{
    std::lock_guard lock(m_mutex);
    if (m_lastError.isEmpty())
        m_lastError = error;
}

bool CSoundPlayer::Superseded(quint64 generation) const
{
    return m_generation != generation;
}

bool CSoundPlayer::WaitUntil(Clock::time_point when, quint64 generation)
{
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_until(lock, when, [&] { return Superseded(generation); });
}

void CSoundPlayer::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_quit || m_hasPending; });
        if (m_quit)
            break;
        const CRequest request = std::move(m_pending);
        m_hasPending = false;
        m_busy = true;
        const quint64 generation = m_generation;
        lock.unlock();
        RunRequest(request, generation);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

void CSoundPlayer::RunRequest(const CRequest& request, quint64 generation)
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

void CSoundPlayer::PlayOne(const QString& path, quint64 generation, Clock::time_point deadline)
{
    std::unique_ptr<CWaveReader> reader;
    try {
        reader = std::make_unique<CWaveReader>(path);
    } catch (const CLogwardenException& e) {
        SetError(e.Message());
        return;
    }
    const CWaveFormat format = reader->Format();
    QString device;
    {
        std::lock_guard lock(m_mutex);
        device = m_device;
    }
    snd_pcm_t* pcm = nullptr;
    int err = Alsa::OpenPcm(&pcm, device, SND_PCM_STREAM_PLAYBACK, format, kLatencyUs, 0);
    if (err < 0) {
        SetError(QStringLiteral("Cannot play \"%1\" on \"%2\": %3").arg(path, device, Alsa::ErrorText(err)));
        return;
    }
    const Clock::time_point begun = Clock::now();
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
                if (n < 0)
                    n = snd_pcm_recover(pcm, int(n), 1);
                if (n < 0)
                    err = int(n);
                else
                    done += n;
            }
            if (err < 0) {
                SetError(QStringLiteral("Cannot play \"%1\" on \"%2\": %3")
                             .arg(path, device, Alsa::ErrorText(err)));
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
        // Let it play out, looking for new requests; never longer than the sound itself and a bit.
        const Clock::time_point latest = qMin(
            deadline,
            begun + std::chrono::milliseconds(reader->FrameCount() * 1000 / format.nSamplesPerSec + 500));
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
    if (cut)
        snd_pcm_drop(pcm);
    else
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
}
