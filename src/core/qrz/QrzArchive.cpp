#include "core/qrz/QrzArchive.h"

#include "core/web/FileDownload.h"
#include "core/web/WebRequest.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace QrzArchive {

QString DownloadUrl(const QString& webHost, const QString& userName, const QString& password)
{
    const QString base = HttpBaseUrl(webHost);
    if (!base.startsWith(QLatin1String("https://")))
        return {};
    QUrl url(base + QStringLiteral("/dl/?f=%1&username=%2&password=%3")
                        .arg(QLatin1String(kArchiveName),
                             QString::fromLatin1(QUrl::toPercentEncoding(userName)),
                             QString::fromLatin1(QUrl::toPercentEncoding(password))),
             QUrl::StrictMode);
    url.setUserName(userName);
    url.setPassword(password);
    return QString::fromLatin1(url.toEncoded());
}

QString Download(const QString& webHost, const QString& userName, const QString& password,
                 const QString& folder, CProgress* progress, bool* saved, int connectTimeoutMs)
{
    if (saved)
        *saved = false;
    if (userName.isEmpty() || password.isEmpty())
        return QStringLiteral("The QRZ account needs a user name and a password.");
    const QString url = DownloadUrl(webHost, userName, password);
    if (url.isEmpty())
        return QStringLiteral("The QRZ archive is fetched over HTTPS only; the QRZ web host \"%1\" is not an "
                              "https:// address.")
            .arg(webHost);
    const QString target = QDir(folder).filePath(QLatin1String(kArchiveName));
    CDownloadOptions options;
    options.connectTimeoutMs = connectTimeoutMs;
    try {
        const bool done = CFileDownload::Fetch(
            url, target, progress,
            [](const QString& tempPath) {
                QFile file(tempPath);
                const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(200) : QByteArray();
                if (!head.startsWith("PK\x03\x04") && !head.startsWith("PK\x05\x06"))
                    throw CDownloadException(CDownloadException::Rejected,
                                             QStringLiteral("QRZ sent no ZIP archive (\"%1\")")
                                                 .arg(QString::fromUtf8(head).simplified().left(80)));
            },
            options);
        if (!done)
            return QStringLiteral("The QRZ archive download was cancelled; nothing was replaced.");
    } catch (const CLogwardenException& e) {
        return e.Message();
    }
    if (saved)
        *saved = true;
    return QStringLiteral("The QRZ archive was saved as %1.").arg(target);
}

} // namespace QrzArchive
