#pragma once

#include "core/audio/Wave.h"
#include "core/audio/WaveDevice.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

// One capture session on one input device. A capture thread of its own reads the device into blocks
// it alone writes, and hands each filled block over through a queue; the reader takes blocks from the
// queue (TakeBlock, GetWave) and may give them back for reuse. Nothing is shared but the queue.
//
// Calling order: SetFormat, SetDevice, Open, Record(bytes per block), ..., Close, GetWave.
class CWaveIn
{
public:
    CWaveIn();
    virtual ~CWaveIn(); // Close()

    // Also empties the wave's samples.
    void SetFormat(const CWaveFormat& format);
    void SetDevice(const CWaveDevice& device);
    const CWaveFormat& GetFormat() const { return m_wave.GetFormat(); }

    bool Open();
    // Starts capturing in blocks of bufferBytes (rounded down to whole frames); a capture already
    // running is stopped and what it had captured is dropped.
    bool Record(int bufferBytes);
    // Stops capturing and closes the device; true when nothing was open or all went well. What was
    // captured stays in the queue, also what the device still held at the stop.
    bool Close();
    // After Close: the wave with every captured frame, in order (the queue is emptied into it).
    CWave& GetWave();
    // The last error as text; empty when there was none.
    QString GetErrorText() const;

    // For a reader on another thread. The next filled block, waiting up to timeoutMs; null when none
    // came in that time.
    std::unique_ptr<CWaveBuffer> TakeBlock(int timeoutMs);
    // A block taken and no longer needed, for reuse by the capture thread.
    void GiveBack(std::unique_ptr<CWaveBuffer> block);
    // True once the capture thread has stopped (Close, RequestStop or a device error) and every block
    // it filled has been taken.
    bool IsDrained() const;
    // Asks the capture thread to stop; safe from any thread. Close() still closes the device.
    void RequestStop();
    // The error that ended capture (the device was lost); empty when capture ended normally.
    QString GetCaptureError() const;
    // How often the device ran over because the reader fell behind.
    int GetOverruns() const { return m_overruns; }

    // Capture waits for the reader when this many bytes are queued.
    static constexpr qint64 kMaxQueuedBytes = 4 * 1024 * 1024;

private:
    void CaptureLoop();
    void DrainDevice();
    void StopThread();
    void SetError(int error, const QString& what);

    CWave m_wave;
    CWaveDevice m_device;
    snd_pcm_t* m_pcm = nullptr;
    int m_lastError = 0;
    QString m_errorText;
    int m_blockFrames = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_overruns{0};

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<CWaveBuffer>> m_queue;
    std::vector<std::unique_ptr<CWaveBuffer>> m_free;
    qint64 m_queuedBytes = 0;
    bool m_running = false;
    QString m_captureError;
};
