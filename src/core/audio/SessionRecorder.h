#pragma once

#include "core/audio/WaveIn.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class CWaveFileWriter;

// Records the net from a capture device (PCM 44,100 Hz, 16 bit, mono) straight into WAV files in a
// folder (see Recordings.h), so that an hour costs no more memory than a minute and a crash loses at
// most the last checkpoint interval. The capture thread fills blocks; a writer thread of the recorder
// takes them from the capture queue and appends them to the file. While recording, progress() tells the
// elapsed frames and the input level a few times a second; a lost device, a full disk or the frame
// limit stops the recording by itself with ended(), the files finished and kept.
//
// Lives on the thread that calls it (the window's); its signals come from that thread's event loop.
class CSessionRecorder : public QObject
{
    Q_OBJECT
public:
    // A file is never let grow past this (readers with signed 32-bit sizes stop at 2 GiB).
    static constexpr qint64 kMaxFileBytes = (qint64(1) << 31) - (qint64(1) << 20);

    struct COptions
    {
        QString device = QString::fromLatin1(CWaveDevice::kDefault);
        QString folder;                      // where the files are streamed; created when missing
        qint64 maxFileBytes = kMaxFileBytes; // then a new numbered file starts
        qint64 frameLimit = 0;               // stop by itself after this many frames; 0: no limit
        int checkpointMs = 2000;             // header rewritten and data flushed at least this often
        int blockBytes = 4096;               // capture block
        int progressMs = 200;
    };

    explicit CSessionRecorder(QObject* parent = nullptr);
    // Stops a recording still running and finishes its files (they stay in the folder, to be offered
    // at the next start).
    ~CSessionRecorder() override;

    // Starts recording; false (and GetErrorText()) when the device cannot be opened or started or the
    // first file cannot be created: nothing is then recording and nothing is left behind.
    bool Start(const COptions& options);
    // Stops recording and finishes the files. False when the device could not be stopped cleanly or the
    // recording had failed; the files hold what was captured either way.
    bool Stop();
    bool IsRecording() const { return m_recording; }

    qint64 GetFrames() const { return m_frames; }
    double GetElapsedSeconds() const { return double(m_frames) / WaveCapture::kRate; }
    // The input level of the last progress interval, 0 (silence, -60 dB or below) to 100 (full scale).
    int GetLevel() const { return m_level; }
    // The files of the current or last recording, in order, and its marker (see Recordings.h).
    QStringList GetFiles() const;
    const QString& GetMarker() const { return m_marker; }
    QString GetErrorText() const;
    int GetOverruns() const { return m_in ? m_in->GetOverruns() : 0; }

    // The owner has dealt with the last recording (saved it, or kept it and said where): its marker
    // goes, so it is not offered again.
    void Release();

    // 0..100 for a peak sample value of 0..32767, on a decibel scale from -60 dB.
    static int LevelPercent(int peak);

Q_SIGNALS:
    void progress(qint64 frames, int level);
    // The recording stopped by itself: error is empty when the frame limit was reached.
    void ended(const QString& error);

private:
    void WriterLoop();
    void WriteBlock(const char* data, qint64 bytes);
    void OnTick();
    bool Finish();
    void SetWriterError(const QString& error);

    COptions m_options;
    std::unique_ptr<CWaveIn> m_in;
    std::unique_ptr<CWaveFileWriter> m_writer; // the writer thread's while it runs
    std::thread m_thread;
    bool m_recording = false;
    QString m_marker;
    int m_markerFd = -1;
    int m_level = 0;
    QString m_error; // the owner thread's
    QTimer m_timer;

    std::atomic<qint64> m_frames{0};
    std::atomic<int> m_peak{0};
    std::atomic<bool> m_writerDone{false};
    mutable std::mutex m_mutex; // guards what follows
    QStringList m_files;
    QString m_writerError;
};
