#include "core/licdb/UlsArchive.h"

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

QString StorageFolder(const CSettings& settings)
{
    const QString folder = settings.GetString(Setting::FccStorageLocation);
    return folder.isEmpty() ? settings.DataFolder() : folder;
}

QString ArchiveUrl(const CSettings& settings)
{
    return settings.GetString(Setting::FccArchiveUrl);
}

CExtractResult ExtractDataFiles(const QString& archivePath, const QString& folder, const Progress& progress,
                                int threads)
{
    CZipArchive archive;
    archive.OpenArchive(archivePath);
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

bool Download(const QString& url, const QString& folder, const Progress& progress)
{
    if (!QDir().mkpath(folder))
        throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(folder), folder);
    const QString target = QDir(folder).filePath(QString::fromLatin1(kArchiveName));
    return CFileDownload::Fetch(url, target, progress, [](const QString& temp) {
        // An error page or a cut-off file must not replace a good archive.
        try {
            CZipArchive check;
            check.OpenArchive(temp);
        } catch (const CZipException& e) {
            throw CDownloadException(CDownloadException::Rejected,
                                     QStringLiteral("it is not a ZIP archive (%1)").arg(e.Detail()));
        }
    });
}

} // namespace UlsArchive
