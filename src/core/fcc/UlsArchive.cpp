#include "core/fcc/UlsArchive.h"

#include "core/app/AtomicFile.h"
#include "core/app/Settings.h"
#include "core/web/FileDownload.h"
#include "core/zip/ParallelExtract.h"
#include "core/zip/ZipArchive.h"
#include "core/zip/ZipException.h"

#include <QDir>

namespace UlsArchive {

bool IsDataFile(const QString& entryName)
{
    for (const char* name : {"HD.dat", "EN.dat", "AM.dat"})
        if (entryName.contains(QLatin1String(name), Qt::CaseSensitive))
            return true;
    return false;
}

QStringList MissingDataFiles(const CZipArchive& archive)
{
    QStringList missing;
    for (const char* name : {"AM.dat", "EN.dat", "HD.dat"}) {
        bool found = false;
        for (int i = 0; i < archive.GetEntryCount() && !found; ++i)
            found = !archive.Header(i).IsDirectory() &&
                    archive.Header(i).m_fileName.contains(QLatin1String(name), Qt::CaseSensitive);
        if (!found)
            missing << QString::fromLatin1(name);
    }
    return missing;
}

QString StorageFolder(const CSettings& settings)
{
    const QString folder = settings.Get(Setting::FccStorageLocation);
    return folder.isEmpty() ? settings.DataFolder() : folder;
}

QString ArchiveUrl(const CSettings& settings)
{
    return settings.Get(Setting::FccArchiveUrl);
}

CDownloadOptions DownloadOptions(const CSettings& settings)
{
    CDownloadOptions options;
    if (const int connect = settings.Get(Setting::NetConTO); connect > 0)
        options.connectTimeoutMs = connect;
    if (const int speed = settings.Get(Setting::DownloadMinBytesPerSecond); speed > 0)
        options.minBytesPerSecond = speed;
    if (const int stall = settings.Get(Setting::DownloadStallSeconds); stall > 0)
        options.stallSeconds = stall;
    if (const qint64 bytes = settings.Get(Setting::DownloadMaxBytes); bytes > 0)
        options.maxBytes = bytes;
    return options;
}

CExtractResult ExtractDataFiles(const QString& archivePath, const QString& folder, CProgress* progress,
                                int threads)
{
    CZipArchive archive;
    archive.OpenArchive(archivePath);
    // Three files of one week or none: a part of them would leave files of different weeks side by side.
    if (const QStringList missing = MissingDataFiles(archive); !missing.isEmpty())
        throw CZipException(
            CZipException::badZipFile, archivePath,
            QStringLiteral("it holds no %1: nothing was extracted").arg(missing.join(QStringLiteral(", "))));
    std::vector<int> picked;
    CExtractResult result;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CFileHeader& h = archive.Header(i);
        if (IsDataFile(h.m_fileName) && !h.IsDirectory()) {
            picked.push_back(i);
            result.files << CZipArchive::SafeBaseName(h.m_fileName);
        }
    }
    if (picked.empty())
        return result;
    const ParallelExtract::CResult r = ParallelExtract::ExtractEntries(
        archive, picked, folder, threads > 0 ? threads : ParallelExtract::DefaultThreads(int(picked.size())),
        progress);
    result.cancelled = r.cancelled;
    result.attributesSet = r.attributesSet;
    return result;
}

bool Download(const QString& url, const QString& folder, CProgress* progress, const CDownloadOptions& options)
{
    if (!QDir().mkpath(folder))
        throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(folder), folder);
    const QString target = QDir(folder).filePath(QString::fromLatin1(kArchiveName));
    return CFileDownload::Fetch(
        url, target, progress,
        [](const QString& temp) {
            // An error page, a cut-off file or another archive must not replace a good one.
            CZipArchive check;
            try {
                check.OpenArchive(temp);
            } catch (const CZipException& e) {
                throw CDownloadException(CDownloadException::Rejected,
                                         QStringLiteral("it is not a ZIP archive (%1)").arg(e.Detail()));
            }
            if (const QStringList missing = MissingDataFiles(check); !missing.isEmpty())
                throw CDownloadException(
                    CDownloadException::Rejected,
                    QStringLiteral("the archive holds no %1").arg(missing.join(QStringLiteral(", "))));
        },
        options);
}

} // namespace UlsArchive
