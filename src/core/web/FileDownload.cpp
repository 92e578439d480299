#include "core/web/FileDownload.h"

#include "core/app/AtomicFile.h"
#include "core/web/HttpTransport.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace {

const char kConnectText[] =
    "Could not connect to ftp server!! \nPlease ensure you have correct address and access rights!";
const char kNotFoundText[] = "The File specified could not be found. Check your spelling and try again!!";

struct CTransfer
{
    CURL* curl = nullptr;
    int fd = -1;
    qint64 received = 0;
    int writeErrno = 0;
    CProgress* progress = nullptr;
    bool cancelled = false;
    qint64 maxBytes = 0;
    qint64 reserveBytes = 0;
    qint64 nextRoomCheck = 0;
    QString givenUp; // why the transfer was stopped: too large, or too little room left
    bool noRoom = false;
};

QString Megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1));
}

// Whether the bytes about to arrive may be written; otherwise says why in t->givenUp.
bool MayGrow(CTransfer* t, qint64 bytes)
{
    const qint64 after = t->received + bytes;
    if (after > t->maxBytes) {
        t->givenUp =
            QStringLiteral("it grew past %1, the most a download may take (setting DownloadMaxBytes)")
                .arg(Megabytes(t->maxBytes));
        return false;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && after > qint64(announced)) {
        t->givenUp =
            QStringLiteral("the server sent more than the %1 bytes it announced").arg(qint64(announced));
        return false;
    }
    // The room left on the disk, looked at every few megabytes and once the length is known.
    if (t->received >= t->nextRoomCheck || (announced >= 0 && t->received == 0)) {
        struct statvfs fs = {};
        if (::fstatvfs(t->fd, &fs) == 0) {
            const qint64 free = qint64(fs.f_bavail) * qint64(fs.f_frsize);
            const qint64 still = announced >= 0 ? qint64(announced) - t->received : bytes;
            if (free - still < t->reserveBytes) {
                t->givenUp = QStringLiteral("the disk would keep less than %1 free (%2 are free)")
                                 .arg(Megabytes(t->reserveBytes), Megabytes(free));
                t->noRoom = true;
                return false;
            }
        }
        t->nextRoomCheck = t->received + (qint64(4) << 20);
    }
    return true;
}

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<CTransfer*>(user);
    const size_t bytes = size * count;
    if (!MayGrow(t, qint64(bytes)))
        return 0; // makes libcurl stop with a write error
    size_t written = 0;
    while (written < bytes) {
        const ssize_t n = ::write(t->fd, data + written, bytes - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            t->writeErrno = errno;
            return 0; // makes libcurl stop with a write error
        }
        written += size_t(n);
    }
    t->received += qint64(bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    auto* t = static_cast<CTransfer*>(user);
    if (t->progress && !t->progress->Report(qint64(dlnow), dltotal > 0 ? qint64(dltotal) : -1)) {
        t->cancelled = true;
        return 1;
    }
    return 0;
}

} // namespace

CDownloadException::CDownloadException(Kind kind, QString detail, bool ftp)
    : CNetException(Compose(kind, detail, ftp)), m_kind(kind), m_detail(std::move(detail))
{
}

QString CDownloadException::Compose(Kind kind, const QString& detail, bool ftp)
{
    switch (kind) {
    case ConnectFailed:
        if (ftp)
            return QString::fromLatin1(kConnectText);
        return QStringLiteral("Could not connect to the server: %1. The previous file was kept.").arg(detail);
    case NotFound:
        return QString::fromLatin1(kNotFoundText);
    case Incomplete:
        return QStringLiteral("The download is incomplete (%1). The previous file was kept.").arg(detail);
    case Rejected:
        return QStringLiteral("The downloaded file was not accepted: %1. The previous file was kept.")
            .arg(detail);
    case TooSlow:
        return QStringLiteral("The download was given up: the server sent %1. The previous file was kept.")
            .arg(detail);
    case TooLarge:
    case NoRoom:
        return QStringLiteral("The download was given up: %1. The previous file was kept.").arg(detail);
    case Failed:
    default:
        return QStringLiteral("The download failed: %1. The previous file was kept.").arg(detail);
    }
}

bool CFileDownload::Fetch(const QString& url, const QString& targetPath, CProgress* progress,
                          const Check& check, const CDownloadOptions& options)
{
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
         scheme != QLatin1String("ftp")))
        throw CDownloadException(CDownloadException::ConnectFailed,
                                 QStringLiteral("\"%1\" is not an http, https or ftp address").arg(url));

    HttpTransport::CEasy curl = HttpTransport::NewEasy();
    if (!curl)
        throw CDownloadException(CDownloadException::Failed, QStringLiteral("libcurl cannot start"));
    CAtomicFile part(targetPath);
    CTransfer transfer;
    transfer.curl = curl.get();
    transfer.fd = part.Fd();
    transfer.maxBytes = options.maxBytes > 0 ? options.maxBytes : std::numeric_limits<qint64>::max();
    transfer.reserveBytes = std::max<qint64>(0, options.reserveBytes);
    transfer.progress = progress;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();
    CURL* c = curl.get();
    CHttpPolicy policy;
    policy.protocols = "http,https,ftp";
    policy.followRedirects = true;
    policy.connectTimeoutMs = options.connectTimeoutMs;
    policy.minBytesPerSecond = std::max(1, options.minBytesPerSecond);
    policy.stallSeconds = options.stallSeconds;
    // An announced length beyond the limit is refused before the first byte.
    policy.maxBytes = std::max<qint64>(0, options.maxBytes);
    policy.caFile = options.caFile;
    HttpTransport::Apply(c, urlBytes, policy, errorText);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    if (scheme == QLatin1String("ftp")) {
        if (parsed.userName().isEmpty())
            curl_easy_setopt(c, CURLOPT_USERPWD, "anonymous:anonymous");
        curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    }

    const CURLcode rc = curl_easy_perform(c);
    if (transfer.cancelled)
        return false;
    const bool ftp = scheme == QLatin1String("ftp");
    const QString detail = HttpTransport::ErrorText(rc, errorText);
    switch (rc) {
    case CURLE_OK:
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_FAILED:
        throw CDownloadException(CDownloadException::ConnectFailed, detail, ftp);
    case CURLE_OPERATION_TIMEDOUT: {
        curl_off_t connected = 0;
        curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connected);
        if (transfer.received == 0 && connected == 0)
            throw CDownloadException(CDownloadException::ConnectFailed, detail, ftp);
        throw CDownloadException(CDownloadException::TooSlow,
                                 QStringLiteral("slower than %1 bytes a second for %2 seconds")
                                     .arg(std::max(1, options.minBytesPerSecond))
                                     .arg(options.stallSeconds));
    }
    case CURLE_REMOTE_FILE_NOT_FOUND:
        throw CDownloadException(CDownloadException::NotFound, detail);
    case CURLE_HTTP_RETURNED_ERROR: {
        long status = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        if (status == 404 || status == 410)
            throw CDownloadException(CDownloadException::NotFound, detail);
        throw CDownloadException(CDownloadException::Failed, detail);
    }
    case CURLE_FILESIZE_EXCEEDED:
        throw CDownloadException(
            CDownloadException::TooLarge,
            QStringLiteral("the server announced more than %1, the most a download may take (setting "
                           "DownloadMaxBytes)")
                .arg(Megabytes(transfer.maxBytes)));
    case CURLE_WRITE_ERROR:
        if (!transfer.givenUp.isEmpty())
            throw CDownloadException(transfer.noRoom ? CDownloadException::NoRoom
                                                     : CDownloadException::TooLarge,
                                     transfer.givenUp);
        if (transfer.writeErrno)
            throw CFileException(
                QStringLiteral("Cannot write \"%1\": %2.")
                    .arg(targetPath, QString::fromLocal8Bit(std::strerror(transfer.writeErrno))),
                targetPath);
        throw CDownloadException(CDownloadException::Failed, detail);
    case CURLE_PARTIAL_FILE:
        throw CDownloadException(CDownloadException::Incomplete, detail);
    default:
        throw CDownloadException(CDownloadException::Failed, detail);
    }

    curl_off_t announced = -1;
    curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && announced != transfer.received)
        throw CDownloadException(
            CDownloadException::Incomplete,
            QStringLiteral("%1 of %2 bytes received").arg(transfer.received).arg(announced));
    if (check)
        check(part.TempPath());
    part.Commit();
    return true;
}
