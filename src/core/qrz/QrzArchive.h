#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <functional>

// QRZ's CSV archive of licensees, fetched by "Check QRZ Website" in the QRZ form of the status check
// and kept in the data folder; the QRZ database is compiled from the CSV file taken out of it.
namespace QrzArchive {

inline constexpr char kArchiveName[] = "qrz_csv_111016.zip";

// "https://HOST/dl/?f=qrz_csv_111016.zip&username=USER&password=PASSWORD" with the user name and
// password percent-encoded; they are also the URL's user and password (HTTP authentication). Empty when
// the host (the QrzWebHost setting, "www.qrz.com") names a scheme other than https: the password
// travels over HTTPS only.
QString DownloadUrl(const QString& webHost, const QString& userName, const QString& password);

// Fetches the archive into folder/qrz_csv_111016.zip, which is replaced only by a complete ZIP archive
// (an error page is not kept). Returns the message for the operator: where the archive went, or why
// nothing was saved. `saved` tells which. progress (may be null) is told the bytes received and announced
// (-1 while unknown) on the downloading thread; cancelling it stops the download.
QString Download(const QString& webHost, const QString& userName, const QString& password,
                 const QString& folder, CProgress* progress = nullptr, bool* saved = nullptr,
                 int connectTimeoutMs = 15000);

} // namespace QrzArchive
