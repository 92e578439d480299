#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class CSettings;

// The FCC's complete amateur licence archive "l_amat.zip": where it is kept, fetching it, and taking
// out the three files the ULS compiler loads.
namespace UlsArchive {

inline constexpr char kArchiveName[] = "l_amat.zip";

// True for an entry name that contains "HD.dat", "EN.dat" or "AM.dat" (case matters).
bool IsDataFile(const QString& entryName);

// The folder the archive is downloaded to and extracted in: "StorageLocation", or the data folder when
// that is empty.
QString StorageFolder(const CSettings& settings);
// The archive's address: the "FccArchiveUrl" setting.
QString ArchiveUrl(const CSettings& settings);

struct CExtractResult
{
    QStringList files; // base names written, in archive order
    bool cancelled = false;
    bool attributesSet = true;
};

// Bytes written so far and in all; false stops the work. Called on the caller's thread.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Extracts every entry of archivePath that IsDataFile() into folder, several at a time (threads 0: one
// per core). Raises CZipException or CFileException; files complete before a failure stay.
CExtractResult ExtractDataFiles(const QString& archivePath, const QString& folder,
                                const Progress& progress = {}, int threads = 0);

// Downloads url to folder/l_amat.zip. The previous archive is replaced only by a complete download
// that opens as a ZIP archive. False when progress cancelled it. Raises CDownloadException,
// CFileException.
bool Download(const QString& url, const QString& folder, const Progress& progress = {});

} // namespace UlsArchive
