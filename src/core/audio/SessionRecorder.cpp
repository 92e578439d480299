#include "core/audio/SessionRecorder.h"

#include "core/Exceptions.h"
#include "core/audio/Recordings.h"
#include "core/audio/WaveFileWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CSessionRecorder::CSessionRecorder(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &CSessionRecorder::OnTick);
}

CSessionRecorder::~CSessionRecorder()
{
    if (m_recording)
        Stop();
    if (m_markerFd >= 0)
        ::close(m_markerFd);
}

int CSessionRecorder::LevelPercent(int peak)
{
    if (peak <= 32)
        return 0;
    const double db = 20.0 * std::log10(double(peak) / 32767.0);
    return qBound(0, int(std::lround((db + 60.0) * 100.0 / 60.0)), 100);
}

QStringList CSessionRecorder::GetFiles() const
{
    std::lock_guard lock(m_mutex);
    return m_files;
}

QString CSessionRecorder::GetErrorText() const
{
    return m_error;
}

void CSessionRecorder::SetWriterError(const QString& error)
{
    std::lock_guard lock(m_mutex);
    if (m_writerError.isEmpty())
        m_writerError = error;
}

bool CSessionRecorder::Start(const COptions& options)
{
    if (m_recording) {
        m_error = QStringLiteral("A recording is already running.");
        return false;
    }
    // A last recording nobody dealt with stays marked, to be offered at the next start.
    if (m_markerFd >= 0)
        ::close(m_markerFd);
    m_markerFd = -1;
    m_marker.clear();
    m_options = options;
    m_error.clear();
    m_frames = 0;
    m_peak = 0;
    m_level = 0;
    m_writerDone = false;
    {
        std::lock_guard lock(m_mutex);
        m_files.clear();
        m_writerError.clear();
    }

    m_in = std::make_unique<CWaveIn>();
    m_in->SetFormat(WaveCapture::Format());
    m_in->SetDevice(CWaveDevice(options.device));
    if (!m_in->Open()) {
        m_error = m_in->GetErrorText();
        m_in.reset();
        return false;
    }

    // The marker (held locked while this recorder lives) and the first file, under a name no earlier
    // recording has.
    if (!QDir().mkpath(options.folder)) {
        m_error = QStringLiteral("Cannot create the folder \"%1\".").arg(options.folder);
        m_in.reset();
        return false;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir dir(options.folder);
    QString base;
    for (int n = 0; n < 100 && m_markerFd < 0; ++n) {
        base = QStringLiteral("recording-%1%2").arg(stamp, n ? QStringLiteral("_%1").arg(n + 1) : QString());
        if (dir.exists(base + QStringLiteral(".wav")))
            continue;
        m_marker = dir.filePath(base + QStringLiteral(".recording"));
        m_markerFd =
            ::open(QFile::encodeName(m_marker).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (m_markerFd < 0 || ::flock(m_markerFd, LOCK_EX | LOCK_NB) != 0) {
        m_error = QStringLiteral("Cannot start a recording in \"%1\".").arg(options.folder);
        Release();
        m_in.reset();
        return false;
    }
    try {
        m_writer =
            std::make_unique<CWaveFileWriter>(dir.filePath(base + QStringLiteral(".wav")), m_in->GetFormat());
    } catch (const CFileException& e) {
        m_error = e.Message();
        Release();
        m_in.reset();
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_files << m_writer->Path();
    }
    if (!m_in->Record(options.blockBytes)) {
        m_error = m_in->GetErrorText();
        m_in.reset();
        const QString file = m_writer->Path();
        m_writer.reset();
        QFile::remove(file);
        Release();
        return false;
    }
    m_recording = true;
    m_thread = std::thread([this] { WriterLoop(); });
    m_timer.start(options.progressMs);
    return true;
}

void CSessionRecorder::WriteBlock(const char* data, qint64 bytes)
{
    // A new numbered file before this one would grow too large.
    const int align = m_in->GetFormat().nBlockAlign;
    const qint64 maxData = qMax<qint64>(align, (m_options.maxFileBytes - CWave::kHeaderSize) / align * align);
    while (bytes > 0) {
        qint64 room = maxData - m_writer->DataBytes();
        if (room <= 0) {
            m_writer->Finish();
            QString next;
            {
                std::lock_guard lock(m_mutex);
                next = Recordings::PartName(m_files.first(), int(m_files.size()) + 1);
            }
            m_writer = std::make_unique<CWaveFileWriter>(next, m_in->GetFormat());
            std::lock_guard lock(m_mutex);
            m_files << next;
            room = maxData;
        }
        const qint64 n = qMin(bytes, room);
        m_writer->Append(data, n);
        data += n;
        bytes -= n;
    }
}

void CSessionRecorder::WriterLoop()
{
    using Clock = std::chrono::steady_clock;
    const int align = m_in->GetFormat().nBlockAlign;
    const qint64 checkpointFrames = qint64(m_options.checkpointMs) * WaveCapture::kRate / 1000;
    qint64 sinceCheckpoint = 0;
    auto lastCheckpoint = Clock::now();
    try {
        for (;;) {
            std::unique_ptr<CWaveBuffer> block = m_in->TakeBlock(qMin(200, m_options.checkpointMs));
            if (block) {
                qint64 frames = block->GetCount();
                if (m_options.frameLimit > 0)
                    frames = qMin(frames, m_options.frameLimit - m_frames);
                WriteBlock(block->GetData(), frames * align);
                // The input level: the largest sample since the window last looked.
                int peak = 0;
                const auto* s = reinterpret_cast<const qint16*>(block->GetData());
                for (qint64 i = 0; i < frames * align / 2; ++i)
                    peak = qMax(peak, std::abs(int(s[i])));
                int seen = m_peak;
                while (peak > seen && !m_peak.compare_exchange_weak(seen, peak)) {
                }
                m_frames += frames;
                sinceCheckpoint += frames;
                m_in->GiveBack(std::move(block));
                if (m_options.frameLimit > 0 && m_frames >= m_options.frameLimit) {
                    m_in->RequestStop();
                    break;
                }
            } else if (m_in->IsDrained()) {
                break;
            }
            if (sinceCheckpoint > 0 &&
                (sinceCheckpoint >= checkpointFrames ||
                 Clock::now() - lastCheckpoint >= std::chrono::milliseconds(m_options.checkpointMs))) {
                m_writer->Checkpoint();
                sinceCheckpoint = 0;
                lastCheckpoint = Clock::now();
            }
        }
        m_writer->Finish();
    } catch (const CFileException& e) {
        SetWriterError(e.Message());
        m_in->RequestStop();
        try {
            m_writer->Finish();
        } catch (const CFileException&) {
        }
    }
    const QString captureError = m_in->GetCaptureError();
    if (!captureError.isEmpty())
        SetWriterError(captureError);
    m_writerDone = true;
}

void CSessionRecorder::OnTick()
{
    m_level = LevelPercent(m_peak.exchange(0));
    Q_EMIT progress(m_frames, m_level);
    if (m_recording && m_writerDone) {
        Finish();
        Q_EMIT ended(m_error);
    }
}

bool CSessionRecorder::Finish()
{
    m_timer.stop();
    const bool closed = m_in->Close();
    if (!closed)
        m_error = m_in->GetErrorText();
    if (m_thread.joinable())
        m_thread.join();
    m_writer.reset();
    m_recording = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_writerError.isEmpty())
            m_error = m_writerError;
    }
    return closed && m_error.isEmpty();
}

bool CSessionRecorder::Stop()
{
    if (!m_recording)
        return true;
    const bool ok = Finish();
    m_level = 0;
    Q_EMIT progress(m_frames, 0);
    return ok;
}

void CSessionRecorder::Release()
{
    if (m_recording)
        return;
    if (!m_marker.isEmpty())
        Recordings::Dismiss(m_marker);
    if (m_markerFd >= 0)
        ::close(m_markerFd);
    m_markerFd = -1;
    m_marker.clear();
}
