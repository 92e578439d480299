#pragma once

#include "core/jobs/Progress.h"

#include "core/web/FileDownload.h"

#include <QString>
#include <QStringList>
#include <functional>

class CSettings;
class CZipArchive;

// The FCC's complete amateur licence archive "l_amat.zip": where it is kept, fetching it, and taking
// out the three files the ULS compiler loads.
namespace UlsArchive {

inline constexpr char kArchiveName[] = "l_amat.zip";

// True for an entry name that contains "HD.dat", "EN.dat" or "AM.dat" (case matters).
bool IsDataFile(const QString& entryName);
// Of AM.dat, EN.dat and HD.dat, those the archive does not hold (as files).
QStringList MissingDataFiles(const CZipArchive& archive);

// The folder the archive is downloaded to and extracted in: "StorageLocation", or the data folder when
// that is empty.
QString StorageFolder(const CSettings& settings);
// The archive's address: the "FccArchiveUrl" setting.
QString ArchiveUrl(const CSettings& settings);
// The connection time-out and the least speed of a download, from the settings.
CDownloadOptions DownloadOptions(const CSettings& settings);

struct CExtractResult
{
    QStringList files; // base names written, in archive order
    bool cancelled = false;
    bool attributesSet = true;
};

// Extracts every entry of archivePath that IsDataFile() into folder, several at a time (threads 0: one
// per core), all or nothing: the three files are put in place together once each is complete and checked,
// so the folder never holds files of different weeks. progress (may be null) is told the bytes written
// so far and in all, on the caller's thread; cancelling it stops the work. An archive without all three is
// refused. Raises CZipException or CFileException; the old files then stay.
CExtractResult ExtractDataFiles(const QString& archivePath, const QString& folder,
                                CProgress* progress = nullptr, int threads = 0);

// Downloads url to folder/l_amat.zip. The previous archive is replaced only by a complete download that
// opens as a ZIP archive holding AM.dat, EN.dat and HD.dat. False when progress cancelled it. Raises
// CDownloadException, CFileException.
bool Download(const QString& url, const QString& folder, CProgress* progress = nullptr,
              const CDownloadOptions& options = {});

} // namespace UlsArchive
