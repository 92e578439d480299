#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

class QIODevice;

// The PCM format record of a WAV file's format chunk (the extra size is never written).
struct CWaveFormat
{
    quint16 wFormatTag = 1; // 1: PCM
    quint16 nChannels = 0;
    quint32 nSamplesPerSec = 0;
    quint32 nAvgBytesPerSec = 0;
    quint16 nBlockAlign = 0; // bytes per frame
    quint16 wBitsPerSample = 0;
    quint16 cbSize = 0;

    bool operator==(const CWaveFormat&) const = default;
};

// The one capture format of the program: PCM 44,100 Hz, 16 bit, mono.
namespace WaveCapture {
inline constexpr quint16 kChannels = 1;
inline constexpr quint32 kRate = 44100;
inline constexpr quint16 kBits = 16;
CWaveFormat Format();
} // namespace WaveCapture

// An owned array of frames (one sample for every channel each).
class CWaveBuffer
{
public:
    CWaveBuffer() = default;
    virtual ~CWaveBuffer() = default;
    CWaveBuffer(const CWaveBuffer&) = delete;
    CWaveBuffer& operator=(const CWaveBuffer&) = delete;

    char* GetData() const { return m_data.get(); }
    qint64 GetCount() const { return m_count; }
    int GetFrameSize() const { return m_frameSize; }

    // Takes ownership of data.
    void SetBuffer(std::unique_ptr<char[]> data, qint64 count, int frameSize);
    // Gives the array up; the buffer is then empty.
    std::unique_ptr<char[]> Release();
    // A zero-filled array of count frames (an empty array, not none, for 0).
    void Allocate(qint64 count, int frameSize);
    // Allocates count frames when nothing is held yet; then zero-fills what is held and copies as many
    // whole frames of source as fit.
    void CopyFrom(const char* source, qint64 count, int frameSize);

private:
    int m_frameSize = 0;
    std::unique_ptr<char[]> m_data;
    qint64 m_count = 0;
};

// PCM audio in memory: a format and its frames. Written as a RIFF WAVE file with the 44-byte header
// below; Load() reads exactly that layout back.
//
//   0 "RIFF"  4 data+36  8 "WAVEfmt "  16 16  20 tag  22 channels  24 rate  28 bytes/s  32 block align
//   34 bits  36 "data"  40 data size  44 frames
class CWave
{
public:
    static constexpr int kHeaderSize = 44;

    CWave() = default;
    virtual ~CWave() = default;

    // A PCM format; empties the samples.
    void BuildFormat(quint16 channels, quint32 samplesPerSec, quint16 bitsPerSample);
    // The wave takes ownership of data (count frames of the current format).
    void SetSamples(std::unique_ptr<char[]> data, qint64 count);
    qint64 GetSampleCount() const { return m_samples.GetCount(); }
    const CWaveFormat& GetFormat() const { return m_format; }
    const CWaveBuffer& GetSamples() const { return m_samples; }
    // The frames as bytes (a copy).
    QByteArray GetBytes() const;

    // Writes the file whole, atomically. Raises CFileException.
    void SaveToFile(const QString& path) const;
    // Reads a file of exactly the layout above. Raises CFileException naming the path and what is wrong;
    // the wave is then unchanged.
    void Load(const QString& path);
    void Load(QIODevice& device, const QString& nameForErrors);

    // The 44-byte header for dataBytes bytes of frames in format.
    static QByteArray Header(const CWaveFormat& format, quint32 dataBytes);

private:
    CWaveBuffer m_samples;
    CWaveFormat m_format;
};

// What a PCM format is checked for before any byte of sample data is trusted; empty when it is sound,
// else why not (for a message).
QString WaveFormatProblem(const CWaveFormat& format);
