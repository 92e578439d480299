// logwarden-cli uls-download.
#include "cli/CliCommand.h"
#include "cli/CliProgress.h"
#include "core/app/DataFolder.h"
#include "core/app/Settings.h"
#include "core/fcc/UlsArchive.h"
#include "core/web/FileDownload.h"

#include <QCoreApplication>
#include <QDir>

namespace {

int RunUlsDownload(const QStringList& argv)
{
    CCliArgs args(argv, {QStringLiteral("url"), QStringLiteral("dir"), QStringLiteral("data-dir")});
    if (!args.Error().isEmpty() || !args.Positional().isEmpty() || !args.Has(QStringLiteral("dir"))) {
        CliError(args.Error().isEmpty()
                     ? QStringLiteral("usage: logwarden-cli uls-download [--url URL] --dir DIR")
                     : args.Error());
        return 2;
    }
    const CSettings settings(CSettings::DefaultPath(), DataFolder::Resolve(QCoreApplication::arguments()));
    QString url = args.Value(QStringLiteral("url"));
    if (url.isEmpty())
        url = UlsArchive::ArchiveUrl(settings);
    const QString folder = args.Value(QStringLiteral("dir"));
    CliPrint(QStringLiteral("Downloading %1").arg(url));
    CCliProgress bar(QStringLiteral("l_amat.zip"));
    const CCliInterrupt interrupt(&bar.Progress());
    bool done = false;
    try {
        done = UlsArchive::Download(url, folder, &bar.Progress(), UlsArchive::DownloadOptions(settings));
    } catch (const CDownloadException& e) {
        bar.Finish();
        CliError(QStringLiteral("logwarden-cli uls-download: %1\n(%2)").arg(e.Message(), e.Detail()));
        return 1;
    }
    bar.Finish();
    if (!done) {
        CliError(QStringLiteral("logwarden-cli uls-download: interrupted; nothing was replaced"));
        return 130;
    }
    CliPrint(
        QStringLiteral("Saved %1").arg(QDir(folder).filePath(QString::fromLatin1(UlsArchive::kArchiveName))));
    return 0;
}

const CCliRegistrar reg{
    {QStringLiteral("uls-download"), QStringLiteral("uls-download [--url URL] --dir DIR"),
     QStringLiteral("Download the FCC's licence archive l_amat.zip into DIR (the URL defaults "
                    "to the FccArchiveUrl setting). The old archive is replaced only by a "
                    "complete one holding AM.dat, EN.dat and HD.dat."),
     &RunUlsDownload}};

} // namespace
