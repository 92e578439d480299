#include "core/audio/WaveIn.h"

#include "core/audio/Alsa.h"

#include <chrono>
#include <cstring>

namespace {

// Buffering inside ALSA: time for the capture thread to be scheduled late without an overrun.
constexpr unsigned kLatencyUs = 500000;
// Without a single frame for this long, the device is taken as lost.
constexpr int kSilentDeviceMs = 10000;

} // namespace

CWaveIn::CWaveIn()
{
    m_wave.BuildFormat(WaveCapture::kChannels, WaveCapture::kRate, WaveCapture::kBits);
}

CWaveIn::~CWaveIn()
{
    Close();
}

void CWaveIn::SetFormat(const CWaveFormat& format)
{
    m_wave.BuildFormat(format.nChannels, format.nSamplesPerSec, format.wBitsPerSample);
}

void CWaveIn::SetDevice(const CWaveDevice& device)
{
    m_device = device;
}

void CWaveIn::SetError(int error, const QString& what)
{
    m_lastError = error;
    m_errorText = QStringLiteral("%1: %2").arg(what, Alsa::ErrorText(error));
}

bool CWaveIn::Open()
{
    if (m_pcm)
        return true;
    if (!WaveFormatProblem(m_wave.GetFormat()).isEmpty()) {
        m_lastError = -EINVAL;
        m_errorText = QStringLiteral("Format not supported");
        return false;
    }
    const int err = Alsa::OpenPcm(&m_pcm, m_device.GetName(), SND_PCM_STREAM_CAPTURE, m_wave.GetFormat(),
                                  kLatencyUs, SND_PCM_NONBLOCK);
    if (err < 0) {
        SetError(err, QStringLiteral("Cannot open the capture device \"%1\"").arg(m_device.GetName()));
        return false;
    }
    m_lastError = 0;
    m_errorText.clear();
    return true;
}

bool CWaveIn::Record(int bufferBytes)
{
    StopThread();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_free.clear();
        m_queuedBytes = 0;
        m_captureError.clear();
    }
    SetFormat(m_wave.GetFormat());
    m_overruns = 0;
    if (!m_pcm) {
        m_lastError = -EBADFD;
        m_errorText = QStringLiteral("The capture device is not open");
        return false;
    }
    m_blockFrames = qMax(1, bufferBytes / qMax<int>(1, m_wave.GetFormat().nBlockAlign));
    int err = snd_pcm_drop(m_pcm);
    if (err >= 0)
        err = snd_pcm_prepare(m_pcm);
    if (err >= 0)
        err = snd_pcm_start(m_pcm);
    if (err < 0) {
        SetError(err, QStringLiteral("Cannot start capturing from \"%1\"").arg(m_device.GetName()));
        return false;
    }
    m_stop = false;
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
    }
    m_thread = std::thread([this] { CaptureLoop(); });
    return true;
}

void CWaveIn::CaptureLoop()
{
    const int frameSize = m_wave.GetFormat().nBlockAlign;
    QString error;
    auto lastFrames = std::chrono::steady_clock::now();
    while (!m_stop && error.isEmpty()) {
        std::unique_ptr<CWaveBuffer> block;
        {
            std::lock_guard lock(m_mutex);
            if (!m_free.empty()) {
                block = std::move(m_free.back());
                m_free.pop_back();
            }
        }
        if (!block || block->GetFrameSize() != frameSize || block->GetCount() < m_blockFrames) {
            block = std::make_unique<CWaveBuffer>();
            block->Allocate(m_blockFrames, frameSize);
        }
        qint64 filled = 0;
        while (filled < m_blockFrames && !m_stop) {
            snd_pcm_sframes_t n = snd_pcm_readi(m_pcm, block->GetData() + filled * frameSize,
                                                snd_pcm_uframes_t(m_blockFrames - filled));
            if (n == -EAGAIN) {
                const int ready = snd_pcm_wait(m_pcm, 200);
                if (ready == 0 && std::chrono::steady_clock::now() - lastFrames >
                                      std::chrono::milliseconds(kSilentDeviceMs)) {
                    error = QStringLiteral("The capture device \"%1\" stopped delivering sound")
                                .arg(m_device.GetName());
                    break;
                }
                n = ready < 0 ? ready : 0;
            }
            if (n == -EPIPE || n == -ESTRPIPE || n == -EINTR) {
                // Overrun or suspend: resume and go on; the gap cannot be filled.
                if (n == -EPIPE)
                    ++m_overruns;
                int err = snd_pcm_recover(m_pcm, int(n), 1);
                if (err >= 0 && snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
                    err = snd_pcm_start(m_pcm);
                n = err < 0 ? err : 0;
            }
            if (n < 0) {
                error = QStringLiteral("The capture device \"%1\" was lost: %2")
                            .arg(m_device.GetName(), Alsa::ErrorText(int(n)));
                break;
            }
            if (n > 0) {
                filled += n;
                lastFrames = std::chrono::steady_clock::now();
            }
        }
        if (filled == 0)
            continue;
        // A partial block (at a stop) keeps its frames only.
        auto full = std::make_unique<CWaveBuffer>();
        const qint64 bytes = filled * frameSize;
        if (filled < block->GetCount()) {
            full->Allocate(filled, frameSize);
            std::memcpy(full->GetData(), block->GetData(), size_t(bytes));
        } else {
            full = std::move(block);
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_queuedBytes < kMaxQueuedBytes || m_stop; });
        m_queuedBytes += bytes;
        m_queue.push_back(std::move(full));
        m_changed.notify_all();
    }
    if (error.isEmpty())
        DrainDevice();
    std::lock_guard lock(m_mutex);
    m_captureError = error;
    m_running = false;
    m_changed.notify_all();
}

void CWaveIn::DrainDevice()
{
    // What the device captured before the stop and still holds (up to a period, less than the device
    // wakes the loop for) belongs to the recording: read it all before the device is closed. Only what
    // is there now: a device that keeps delivering must not hold the stop up.
    const int frameSize = m_wave.GetFormat().nBlockAlign;
    snd_pcm_sframes_t held = snd_pcm_avail(m_pcm);
    while (held > 0) {
        const snd_pcm_sframes_t want = qMin<snd_pcm_sframes_t>(held, qMax(1, m_blockFrames));
        auto block = std::make_unique<CWaveBuffer>();
        block->Allocate(want, frameSize);
        snd_pcm_sframes_t n = snd_pcm_readi(m_pcm, block->GetData(), snd_pcm_uframes_t(want));
        if (n <= 0)
            break;
        held -= n;
        if (n < want) {
            auto part = std::make_unique<CWaveBuffer>();
            part->Allocate(n, frameSize);
            std::memcpy(part->GetData(), block->GetData(), size_t(n * frameSize));
            block = std::move(part);
        }
        std::lock_guard lock(m_mutex);
        m_queuedBytes += n * frameSize;
        m_queue.push_back(std::move(block));
        m_changed.notify_all();
    }
}

void CWaveIn::StopThread()
{
    if (!m_thread.joinable())
        return;
    RequestStop();
    m_thread.join();
}

void CWaveIn::RequestStop()
{
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_changed.notify_all();
}

bool CWaveIn::Close()
{
    StopThread();
    if (!m_pcm)
        return true;
    int err = snd_pcm_drop(m_pcm);
    const int closed = snd_pcm_close(m_pcm);
    m_pcm = nullptr;
    if (err >= 0)
        err = closed;
    // A device that went away cannot be stopped cleanly; what was captured is kept all the same.
    if (err < 0 && err != -ENODEV && err != -EBADFD) {
        SetError(err, QStringLiteral("Cannot close the capture device \"%1\"").arg(m_device.GetName()));
        return false;
    }
    return true;
}

CWave& CWaveIn::GetWave()
{
    std::deque<std::unique_ptr<CWaveBuffer>> blocks;
    {
        std::lock_guard lock(m_mutex);
        blocks.swap(m_queue);
        m_queuedBytes = 0;
        m_changed.notify_all();
    }
    const int frameSize = m_wave.GetFormat().nBlockAlign;
    qint64 total = m_wave.GetSampleCount();
    for (const auto& b : blocks)
        total += b->GetCount();
    auto data = std::make_unique<char[]>(size_t(total * frameSize));
    qint64 at = m_wave.GetSampleCount() * frameSize;
    std::memcpy(data.get(), m_wave.GetSamples().GetData(), size_t(at));
    for (const auto& b : blocks) {
        std::memcpy(data.get() + at, b->GetData(), size_t(b->GetCount() * frameSize));
        at += b->GetCount() * frameSize;
    }
    m_wave.SetSamples(std::move(data), total);
    return m_wave;
}

QString CWaveIn::GetErrorText() const
{
    return m_lastError == 0 ? QString() : m_errorText;
}

std::unique_ptr<CWaveBuffer> CWaveIn::TakeBlock(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return !m_queue.empty() || !m_running; });
    if (m_queue.empty())
        return nullptr;
    auto block = std::move(m_queue.front());
    m_queue.pop_front();
    m_queuedBytes -= block->GetCount() * block->GetFrameSize();
    m_changed.notify_all();
    return block;
}

void CWaveIn::GiveBack(std::unique_ptr<CWaveBuffer> block)
{
    std::lock_guard lock(m_mutex);
    if (block && m_free.size() < 8)
        m_free.push_back(std::move(block));
}

bool CWaveIn::IsDrained() const
{
    std::lock_guard lock(m_mutex);
    return !m_running && m_queue.empty();
}

QString CWaveIn::GetCaptureError() const
{
    std::lock_guard lock(m_mutex);
    return m_captureError;
}
