#include "core/audio/WaveReader.h"

#include "core/Exceptions.h"

#include <QtEndian>
#include <cstring>

namespace {

[[noreturn]] void Invalid(const QString& name, const QString& reason)
{
    throw CFileException(QStringLiteral("\"%1\" is not a playable WAV file: %2.").arg(name, reason), name);
}

// The tail of the PCM sub-format GUID of the extensible format (its first two bytes are the tag).
const char kGuidTail[14] = {0x00, 0x00, 0x00,       0x00, 0x10, 0x00,       (char)0x80,
                            0x00, 0x00, (char)0xAA, 0x00, 0x38, (char)0x9B, 0x71};

} // namespace

CWaveLayout CWaveReader::Parse(QIODevice& device, qint64 size, const QString& name)
{
    char head[12];
    if (size < 12 || device.read(head, 12) != 12)
        Invalid(name, QStringLiteral("it is too short"));
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        Invalid(name, QStringLiteral("it is not a RIFF WAVE file"));
    // The RIFF size is not trusted: recorders that were cut off leave it wrong. The chunks are walked
    // within the real file size instead.
    CWaveLayout layout;
    bool haveFormat = false;
    qint64 pos = 12;
    while (pos + 8 <= size) {
        char chunk[8];
        if (!device.seek(pos) || device.read(chunk, 8) != 8)
            Invalid(name, QStringLiteral("it cannot be read past byte %1").arg(pos));
        const quint32 chunkSize = qFromLittleEndian<quint32>(chunk + 4);
        const qint64 body = pos + 8;
        const qint64 left = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16)
                Invalid(name, QStringLiteral("its format chunk is only %1 bytes long").arg(chunkSize));
            if (qint64(chunkSize) > left)
                Invalid(name, QStringLiteral("its format chunk runs past the end of the file"));
            char f[40] = {};
            const qint64 n = qMin<qint64>(chunkSize, 40);
            if (device.read(f, n) != n)
                Invalid(name, QStringLiteral("its format chunk cannot be read"));
            CWaveFormat& format = layout.format;
            format.wFormatTag = qFromLittleEndian<quint16>(f);
            format.nChannels = qFromLittleEndian<quint16>(f + 2);
            format.nSamplesPerSec = qFromLittleEndian<quint32>(f + 4);
            format.nAvgBytesPerSec = qFromLittleEndian<quint32>(f + 8);
            format.nBlockAlign = qFromLittleEndian<quint16>(f + 12);
            format.wBitsPerSample = qFromLittleEndian<quint16>(f + 14);
            if (format.wFormatTag == 0xFFFE) {
                // The extensible format: PCM when its sub-format says so. Valid bits below the container
                // size still play correctly as the container size.
                if (n < 40 || qFromLittleEndian<quint16>(f + 24) != 1 ||
                    std::memcmp(f + 26, kGuidTail, 14) != 0)
                    Invalid(name, QStringLiteral("it is not PCM"));
                format.wFormatTag = 1;
            }
            const QString problem = WaveFormatProblem(format);
            if (!problem.isEmpty())
                Invalid(name, problem);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                Invalid(name, QStringLiteral("its data comes before its format"));
            if (qint64(chunkSize) > left)
                Invalid(name, QStringLiteral("its data chunk claims %1 bytes but only %2 follow")
                                  .arg(chunkSize)
                                  .arg(left));
            layout.dataOffset = body;
            layout.frameCount = chunkSize / layout.format.nBlockAlign;
            return layout;
        } else if (qint64(chunkSize) > left) {
            Invalid(name, QStringLiteral("a chunk \"%1\" runs past the end of the file")
                              .arg(QString::fromLatin1(QByteArray(chunk, 4).toPercentEncoding())));
        }
        // Chunks are aligned to two bytes.
        pos = body + chunkSize + (chunkSize & 1);
    }
    Invalid(name, haveFormat ? QStringLiteral("it holds no data chunk")
                             : QStringLiteral("it holds no format chunk"));
}

CWaveReader::CWaveReader(const QString& path) : m_path(path), m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("Cannot open \"%1\": %2").arg(path, m_file.errorString()), path);
    m_layout = Parse(m_file, m_file.size(), path);
    if (!m_file.seek(m_layout.dataOffset))
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(path, m_file.errorString()), path);
}

qint64 CWaveReader::Read(char* dest, qint64 maxFrames)
{
    const qint64 frames = qMin(maxFrames, FramesLeft());
    if (frames <= 0)
        return 0;
    const qint64 bytes = frames * m_layout.format.nBlockAlign;
    const qint64 got = m_file.read(dest, bytes);
    if (got != bytes)
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(m_path, m_file.errorString()),
                             m_path);
    m_framesRead += frames;
    return frames;
}
