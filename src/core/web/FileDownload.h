#pragma once

#include "core/Exceptions.h"
#include "core/jobs/Progress.h"

#include <QString>
#include <functional>

// A download that failed. Kind() tells why; Message() is the text for the operator, Detail() the
// transport's own reason.
class CDownloadException : public CNetException
{
public:
    enum Kind
    {
        ConnectFailed, // no connection to the server
        NotFound,      // the server has no such file
        Failed,        // the transfer broke off, timed out, or the file could not be written
        Incomplete,    // fewer bytes arrived than the server announced
        Rejected,      // what arrived is not what was asked for
        TooSlow,       // the server kept the transfer below the least speed for too long
        TooLarge,      // more arrived than the size limit or the announced length allows
        NoRoom,        // the disk would have too little room left for the log
    };
    // ftp: the address was an FTP server's (a connection failure then has its well-known text).
    CDownloadException(Kind kind, QString detail, bool ftp = false);
    Kind GetKind() const { return m_kind; }
    const QString& Detail() const { return m_detail; }

private:
    static QString Compose(Kind kind, const QString& detail, bool ftp);
    Kind m_kind;
    QString m_detail;
};

struct CDownloadOptions
{
    int connectTimeoutMs = 15000;
    // A transfer slower than minBytesPerSecond for stallSeconds in a row is given up: a server that
    // trickles would otherwise hold the download for ever.
    int minBytesPerSecond = 1024;
    int stallSeconds = 60;
    // A download is given up once it passes this size (twice the largest archive the FCC has published)
    // or the length the server announced: a server that sends without end would fill the disk.
    qint64 maxBytes = qint64(1) << 30;
    // The room a download always leaves free on the target's disk, for the log and the work beside it.
    qint64 reserveBytes = qint64(64) << 20;
    // Certificate authorities trusted for https besides the system's (PEM); empty: the system's only.
    QString caFile;
};

// Fetches one file by HTTP, HTTPS or FTP (anonymous unless the URL carries a user) with libcurl.
//
// The file arrives in a temporary file beside the target and replaces the target only once it is
// complete, of the size the server announced, and accepted by the check given: a failed or
// cancelled download leaves an existing file as it was. It never grows past the options' size limit
// nor eats into the room kept free on the disk.
class CFileDownload
{
public:
    // Looks at the complete temporary file before it replaces the target; raises to reject it.
    using Check = std::function<void(const QString& tempPath)>;

    // progress (may be null) is told the bytes received and announced (-1 while unknown), on the
    // downloading thread; cancelling it stops the download.
    // True when the file was fetched and is in place, false when progress cancelled it. Failures raise
    // CDownloadException (and CFileException when the folder cannot be written).
    static bool Fetch(const QString& url, const QString& targetPath, CProgress* progress,
                      const Check& check = {}, const CDownloadOptions& options = {});
};
