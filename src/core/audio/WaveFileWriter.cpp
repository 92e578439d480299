#include "core/audio/WaveFileWriter.h"

#include "core/Exceptions.h"
#include "core/app/FdDevice.h"

#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int error)
{
    if (error == ENOSPC || error == EFBIG || error == EDQUOT)
        return QStringLiteral("the disk is full");
    return QString::fromLocal8Bit(std::strerror(error));
}

// The largest data size a header can state.
constexpr qint64 kMaxData = qint64(0xFFFFFFFFu) - 36;

} // namespace

CWaveFileWriter::CWaveFileWriter(const QString& path, const CWaveFormat& format)
    : m_path(path), m_format(format)
{
    if (format.nBlockAlign == 0)
        throw CFileException(QStringLiteral("Cannot record to \"%1\": no frame size.").arg(path), path);
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                  0666);
    if (m_fd < 0)
        Fail(QStringLiteral("Cannot create the recording \"%1\""), errno);
    WriteHeader();
}

CWaveFileWriter::~CWaveFileWriter()
{
    if (m_fd < 0)
        return;
    try {
        Finish();
    } catch (const CFileException&) {
        // Finish() tells of errors; a writer dropped after one keeps what the file holds.
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

void CWaveFileWriter::Fail(const QString& what, int error)
{
    throw CFileException(what.arg(m_path) + QStringLiteral(": ") + ErrnoText(error) + QLatin1Char('.'),
                         m_path);
}

void CWaveFileWriter::WriteHeader()
{
    const QByteArray header = CWave::Header(m_format, quint32(m_dataBytes));
    if (const int error = PWriteAll(m_fd, header.constData(), header.size(), 0))
        Fail(QStringLiteral("Cannot write the recording \"%1\""), error);
    m_headerBytes = m_dataBytes;
}

void CWaveFileWriter::Append(const char* data, qint64 bytes)
{
    if (m_fd < 0)
        throw CFileException(QStringLiteral("The recording \"%1\" is closed.").arg(m_path), m_path);
    if (m_dataBytes + bytes > kMaxData)
        throw CFileException(QStringLiteral("The recording \"%1\" is too long for one WAV file.").arg(m_path),
                             m_path);
    qint64 written = 0;
    const int error = PWriteAll(m_fd, data, bytes, CWave::kHeaderSize + m_dataBytes, &written);
    m_dataBytes += written;
    if (error != 0) {
        // Keep the whole frames that made it, and a header that says so.
        m_dataBytes -= m_dataBytes % m_format.nBlockAlign;
        if (::ftruncate(m_fd, CWave::kHeaderSize + m_dataBytes) == 0)
            (void)PWriteAll(m_fd, CWave::Header(m_format, quint32(m_dataBytes)).constData(),
                            CWave::kHeaderSize, 0);
        Fail(QStringLiteral("Cannot write the recording \"%1\""), error);
    }
}

void CWaveFileWriter::Checkpoint()
{
    if (m_fd < 0 || m_headerBytes == m_dataBytes)
        return;
    // The frames first, then a header that counts them: a header never counts frames not on disk.
    if (::fdatasync(m_fd) != 0)
        Fail(QStringLiteral("Cannot write the recording \"%1\""), errno);
    WriteHeader();
    if (::fdatasync(m_fd) != 0)
        Fail(QStringLiteral("Cannot write the recording \"%1\""), errno);
}

void CWaveFileWriter::Finish()
{
    if (m_fd < 0)
        return;
    Checkpoint();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        Fail(QStringLiteral("Cannot write the recording \"%1\""), errno);
}

qint64 CWaveFileWriter::Repair(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        throw CFileException(QStringLiteral("Cannot open \"%1\": %2.").arg(path, ErrnoText(errno)), path);
    struct stat st = {};
    char h[CWave::kHeaderSize];
    QString problem;
    CWaveFormat format;
    if (::fstat(fd, &st) != 0 || ::pread(fd, h, sizeof h, 0) != qint64(sizeof h)) {
        problem = QStringLiteral("it is shorter than a header");
    } else if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVEfmt ", 8) != 0 ||
               qFromLittleEndian<quint32>(h + 16) != 16 || std::memcmp(h + 36, "data", 4) != 0) {
        problem = QStringLiteral("its header is not one this program writes");
    } else {
        format.wFormatTag = qFromLittleEndian<quint16>(h + 20);
        format.nChannels = qFromLittleEndian<quint16>(h + 22);
        format.nSamplesPerSec = qFromLittleEndian<quint32>(h + 24);
        format.nAvgBytesPerSec = qFromLittleEndian<quint32>(h + 28);
        format.nBlockAlign = qFromLittleEndian<quint16>(h + 32);
        format.wBitsPerSample = qFromLittleEndian<quint16>(h + 34);
        problem = WaveFormatProblem(format);
    }
    if (!problem.isEmpty()) {
        ::close(fd);
        throw CFileException(QStringLiteral("Cannot repair \"%1\": %2.").arg(path, problem), path);
    }
    const qint64 data =
        qMin<qint64>(st.st_size - CWave::kHeaderSize, kMaxData) / format.nBlockAlign * format.nBlockAlign;
    const QByteArray header = CWave::Header(format, quint32(data));
    int error = 0;
    if (st.st_size != CWave::kHeaderSize + data && ::ftruncate(fd, CWave::kHeaderSize + data) != 0)
        error = errno;
    if (error == 0)
        error = PWriteAll(fd, header.constData(), header.size(), 0);
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    ::close(fd);
    if (error != 0)
        throw CFileException(QStringLiteral("Cannot repair \"%1\": %2.").arg(path, ErrnoText(error)), path);
    return data / format.nBlockAlign;
}
