#include "core/audio/Wave.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace {

[[noreturn]] void Invalid(const QString& name, const QString& reason)
{
    throw CFileException(QStringLiteral("\"%1\" is not a valid WAV file: %2.").arg(name, reason), name);
}

QByteArray ReadExactly(QIODevice& device, qint64 n, const QString& name)
{
    const QByteArray bytes = device.read(n);
    if (bytes.size() != n)
        Invalid(name, QStringLiteral("it ends inside its header"));
    return bytes;
}

quint16 U16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 U32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

} // namespace

CWaveFormat WaveCapture::Format()
{
    CWave wave;
    wave.BuildFormat(kChannels, kRate, kBits);
    return wave.GetFormat();
}

void CWaveBuffer::SetBuffer(std::unique_ptr<char[]> data, qint64 count, int frameSize)
{
    m_data = std::move(data);
    m_count = count;
    m_frameSize = frameSize;
}

std::unique_ptr<char[]> CWaveBuffer::Release()
{
    m_count = 0;
    return std::move(m_data);
}

void CWaveBuffer::Allocate(qint64 count, int frameSize)
{
    const qint64 bytes = qMax<qint64>(0, count) * qMax(0, frameSize);
    SetBuffer(std::make_unique<char[]>(static_cast<size_t>(bytes)), qMax<qint64>(0, count), frameSize);
}

void CWaveBuffer::CopyFrom(const char* source, qint64 count, int frameSize)
{
    if (!m_data)
        Allocate(count, frameSize);
    const qint64 n = qMin(m_count, count);
    if (n * frameSize <= 0)
        return;
    // The copy is bounded by what is held, whatever frame size the caller names.
    const qint64 held = m_count * m_frameSize;
    std::memset(m_data.get(), 0, static_cast<size_t>(held));
    std::memcpy(m_data.get(), source, static_cast<size_t>(qMin(held, n * frameSize)));
}

void CWave::BuildFormat(quint16 channels, quint32 samplesPerSec, quint16 bitsPerSample)
{
    m_format = CWaveFormat{};
    m_format.nChannels = channels;
    m_format.nSamplesPerSec = samplesPerSec;
    m_format.wBitsPerSample = bitsPerSample;
    const quint32 t = quint32(channels) * bitsPerSample;
    m_format.nAvgBytesPerSec = quint32((quint64(t) * samplesPerSec) >> 3);
    m_format.nBlockAlign = quint16(t / 8);
    m_samples.Allocate(0, m_format.nBlockAlign);
}

void CWave::SetSamples(std::unique_ptr<char[]> data, qint64 count)
{
    m_samples.SetBuffer(std::move(data), count, m_format.nBlockAlign);
}

QByteArray CWave::GetBytes() const
{
    return QByteArray(m_samples.GetData(), m_samples.GetCount() * m_samples.GetFrameSize());
}

QByteArray CWave::Header(const CWaveFormat& format, quint32 dataBytes)
{
    QByteArray h(kHeaderSize, '\0');
    char* p = h.data();
    std::memcpy(p, "RIFF", 4);
    qToLittleEndian<quint32>(dataBytes + 36, p + 4);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, p + 16);
    qToLittleEndian<quint16>(format.wFormatTag, p + 20);
    qToLittleEndian<quint16>(format.nChannels, p + 22);
    qToLittleEndian<quint32>(format.nSamplesPerSec, p + 24);
    qToLittleEndian<quint32>(format.nAvgBytesPerSec, p + 28);
    qToLittleEndian<quint16>(format.nBlockAlign, p + 32);
    qToLittleEndian<quint16>(format.wBitsPerSample, p + 34);
    std::memcpy(p + 36, "data", 4);
    qToLittleEndian<quint32>(dataBytes, p + 40);
    return h;
}

void CWave::SaveToFile(const QString& path) const
{
    const qint64 bytes = m_samples.GetCount() * m_samples.GetFrameSize();
    if (bytes > qint64(0xFFFFFFFFu) - 36)
        throw CFileException(QStringLiteral("The recording is too long for one WAV file \"%1\".").arg(path),
                             path);
    CAtomicFile file(path);
    file.Write(Header(m_format, quint32(bytes)));
    file.Write(m_samples.GetData(), bytes);
    file.Commit();
}

void CWave::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()), path);
    Load(file, path);
}

void CWave::Load(QIODevice& device, const QString& name)
{
    const qint64 size = device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    if (ReadExactly(device, 4, name) != "RIFF")
        Invalid(name, QStringLiteral("it does not start with \"RIFF\""));
    ReadExactly(device, 4, name);
    if (ReadExactly(device, 8, name) != "WAVEfmt ")
        Invalid(name, QStringLiteral("the format chunk does not follow the WAVE tag"));
    ReadExactly(device, 4, name);
    const QByteArray f = ReadExactly(device, 16, name);
    if (ReadExactly(device, 4, name) != "data")
        Invalid(name, QStringLiteral("the data chunk does not follow a 16-byte format chunk"));
    CWaveFormat format;
    format.wFormatTag = U16(f.constData());
    format.nChannels = U16(f.constData() + 2);
    format.nSamplesPerSec = U32(f.constData() + 4);
    format.nAvgBytesPerSec = U32(f.constData() + 8);
    format.nBlockAlign = U16(f.constData() + 12);
    format.wBitsPerSample = U16(f.constData() + 14);
    const QString problem = WaveFormatProblem(format);
    if (!problem.isEmpty())
        Invalid(name, problem);
    const quint32 dataBytes = U32(ReadExactly(device, 4, name).constData());
    const qint64 left = size - kHeaderSize;
    if (qint64(dataBytes) > left)
        Invalid(name,
                QStringLiteral("its data chunk claims %1 bytes but only %2 follow").arg(dataBytes).arg(left));
    const qint64 frames = dataBytes / format.nBlockAlign;
    CWaveBuffer samples;
    samples.Allocate(frames, format.nBlockAlign);
    const qint64 bytes = frames * format.nBlockAlign;
    if (device.read(samples.GetData(), bytes) != bytes)
        Invalid(name, QStringLiteral("it ends inside its data"));
    m_format = format;
    m_samples.SetBuffer(samples.Release(), frames, format.nBlockAlign);
}

QString WaveFormatProblem(const CWaveFormat& f)
{
    if (f.wFormatTag != 1)
        return QStringLiteral("it is not PCM (format tag %1)").arg(f.wFormatTag);
    if (f.nChannels == 0 || f.nChannels > 32)
        return QStringLiteral("it names %1 channels").arg(f.nChannels);
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16 && f.wBitsPerSample != 24 && f.wBitsPerSample != 32)
        return QStringLiteral("it names %1 bits per sample").arg(f.wBitsPerSample);
    if (f.nBlockAlign == 0)
        return QStringLiteral("its block alignment is 0");
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8)
        return QStringLiteral("its block alignment of %1 bytes does not fit %2 channels of %3 bits")
            .arg(f.nBlockAlign)
            .arg(f.nChannels)
            .arg(f.wBitsPerSample);
    if (f.nSamplesPerSec < 1000 || f.nSamplesPerSec > 768000)
        return QStringLiteral("its rate of %1 samples per second is out of range").arg(f.nSamplesPerSec);
    return {};
}
