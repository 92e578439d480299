#include "core/web/FileDownload.h"

#include "core/app/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const char kConnectText[] =
    "Could not connect to ftp server!! \nPlease ensure you have correct address and access rights!";
const char kNotFoundText[] = "The File specified could not be found. Check your spelling and try again!!";

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CTransfer
{
    int fd = -1;
    qint64 received = 0;
    int writeErrno = 0;
    const CFileDownload::Progress* progress = nullptr;
    bool cancelled = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<CTransfer*>(user);
    const size_t bytes = size * count;
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
    if (t->progress && *t->progress && !(*t->progress)(qint64(dlnow), dltotal > 0 ? qint64(dltotal) : -1)) {
        t->cancelled = true;
        return 1;
    }
    return 0;
}

struct CCurlDeleter
{
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

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
    case Failed:
    default:
        return QStringLiteral("The download failed: %1. The previous file was kept.").arg(detail);
    }
}

bool CFileDownload::Fetch(const QString& url, const QString& targetPath, const Progress& progress,
                          const Check& check, const CDownloadOptions& options)
{
    GlobalInit();
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
         scheme != QLatin1String("ftp")))
        throw CDownloadException(CDownloadException::ConnectFailed,
                                 QStringLiteral("\"%1\" is not an http, https or ftp address").arg(url));

    std::unique_ptr<CURL, CCurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw CDownloadException(CDownloadException::Failed, QStringLiteral("libcurl cannot start"));
    CAtomicFile part(targetPath);
    CTransfer transfer;
    transfer.fd = part.Fd();
    transfer.progress = &progress;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray urlBytes = url.toUtf8();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    // A secure address is never redirected to an insecure one.
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR,
                     scheme == QLatin1String("https") ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, long(std::max(1, options.minBytesPerSecond)));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(options.stallSeconds));
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Logwarden/" LOGWARDEN_VERSION);
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
    const QString detail =
        errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(rc));
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
    case CURLE_WRITE_ERROR:
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
