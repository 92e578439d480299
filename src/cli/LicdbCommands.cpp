// logwarden-cli uls-compile, uls-update and lookup: the FCC licence database without the window.
#include "cli/CliCommand.h"
#include "cli/CliProgress.h"
#include "core/app/DataFolder.h"
#include "core/app/Settings.h"
#include "core/fcc/FccDbBuild.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/FccSchema.h"
#include "core/fcc/UlsArchive.h"
#include "core/fcc/UlsDaily.h"
#include "core/jobs/MThreadedJobQ.h"
#include "core/web/FileDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

QString FccPathOf(const CCliArgs& args)
{
    const QString fcc = args.Value(QStringLiteral("fcc"));
    if (!fcc.isEmpty())
        return fcc;
    return QDir(args.DataFolderPath()).filePath(QLatin1String(FccSchema::kFileName));
}

int RunUlsCompile(const QStringList& rawArgs)
{
    const CCliArgs args(rawArgs,
                        {QStringLiteral("input"), QStringLiteral("output"), QStringLiteral("data-dir")});
    if (!args.Error().isEmpty() || !args.Positional().isEmpty()) {
        CliError(QStringLiteral("logwarden-cli uls-compile: %1")
                     .arg(args.Error().isEmpty()
                              ? QStringLiteral("unexpected argument '%1'").arg(args.Positional()[0])
                              : args.Error()));
        return 2;
    }
    const QString dataFolder = args.DataFolderPath();
    const QString input = args.Value(QStringLiteral("input"), dataFolder);
    const QString output =
        args.Value(QStringLiteral("output"), QDir(dataFolder).filePath(QLatin1String(FccSchema::kFileName)));
    const bool verbose = args.Has(QStringLiteral("verbose"));
    const bool terminal = ::isatty(STDERR_FILENO) != 0;

    std::mutex printLock;
    CFccDbBuild::CObserver observer;
    if (terminal) {
        observer.progress = [&](const QString& text, int) {
            std::lock_guard lock(printLock);
            std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
            std::fflush(stderr);
        };
    }
    if (verbose) {
        observer.skipped = [&](const QString& file, qint64 line, const QString& reason) {
            std::lock_guard lock(printLock);
            std::fprintf(stderr, "%s%s line %lld: %s\n", terminal ? "\r\033[K" : "",
                         file.toLocal8Bit().constData(), static_cast<long long>(line),
                         reason.toLocal8Bit().constData());
        };
    }

    CMThreadedJobQ queue;
    CFccDbBuild build(queue, observer);
    build.Start(input, output);

    const CCliInterrupt interrupt;
    while (!build.Wait(std::chrono::milliseconds(100))) {
        if (CCliInterrupt::Requested())
            build.Cancel();
    }

    if (terminal) {
        std::lock_guard lock(printLock);
        std::fputs("\r\033[K", stderr);
    }
    switch (build.GetState()) {
    case CFccDbBuild::Succeeded:
        break;
    case CFccDbBuild::Cancelled:
        CliError(QStringLiteral("%1; %2 was left as it was.").arg(build.GetMessage(), output));
        return 130;
    default:
        CliError(QStringLiteral("logwarden-cli uls-compile: %1\n%2 was left as it was.")
                     .arg(build.GetMessage(), output));
        return 1;
    }
    if (terminal)
        CliError(build.GetMessage());
    for (int i = 0; i < FccSchema::kTableCount; ++i) {
        const CUlsStageStats stats = build.GetStats(i);
        CliPrint(QStringLiteral("%1: %2 loaded, %3 skipped")
                     .arg(QLatin1String(FccSchema::Tables()[i]->name))
                     .arg(stats.loaded)
                     .arg(stats.skipped));
    }
    return 0;
}

int RunUlsUpdate(const QStringList& rawArgs)
{
    const QStringList valued{QStringLiteral("dir"), QStringLiteral("url-base"), QStringLiteral("fcc"),
                             QStringLiteral("data-dir"), QStringLiteral("until")};
    const CCliArgs args(rawArgs, valued);
    if (const QString wrong = args.Unexpected(valued); !wrong.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli uls-update: %1\nUsage: logwarden-cli uls-update [--dir DIR] "
                                "[--url-base URL] [--fcc FILE] [--until YYYY-MM-DD]")
                     .arg(wrong));
        return 2;
    }
    const CSettings settings(CSettings::DefaultPath(), DataFolder::Resolve(QCoreApplication::arguments()));
    UlsDaily::CUpdateOptions options;
    options.dbPath = FccPathOf(args);
    options.folder = args.Value(QStringLiteral("dir"), UlsArchive::StorageFolder(settings));
    options.urlBase = args.Value(QStringLiteral("url-base"), UlsDaily::UrlBase(settings));
    options.download = UlsArchive::DownloadOptions(settings);
    options.lastDay = QDate::currentDate().addDays(-1);
    if (args.Has(QStringLiteral("until"))) {
        const QDate until = QDate::fromString(args.Value(QStringLiteral("until")), Qt::ISODate);
        if (!until.isValid()) {
            CliError(QStringLiteral("logwarden-cli uls-update: --until takes a date, YYYY-MM-DD"));
            return 2;
        }
        options.lastDay = std::min(until, options.lastDay);
    }

    CCliProgress bar(QStringLiteral("Daily files"));
    const CCliInterrupt interrupt(&bar.Progress());
    UlsDaily::CUpdateResult result;
    try {
        result = UlsDaily::Update(options, &bar.Progress(), [&](const QString& text) {
            bar.Finish();
            CliPrint(text);
        });
    } catch (const CDownloadException& e) {
        bar.Finish();
        CliError(QStringLiteral("logwarden-cli uls-update: %1\n(%2)").arg(e.Message(), e.Detail()));
        return 1;
    } catch (const UlsDaily::CGapException& e) {
        bar.Finish();
        CliError(QStringLiteral("logwarden-cli uls-update: %1").arg(e.Message()));
        return 3;
    }
    bar.Finish();
    using Outcome = UlsDaily::CUpdateResult::Outcome;
    switch (result.outcome) {
    case Outcome::Current:
    case Outcome::NotPublishedYet:
        CliPrint(result.message);
        return 0;
    case Outcome::NeedsRebuild:
        CliError(QStringLiteral("logwarden-cli uls-update: %1").arg(result.message));
        return 3;
    case Outcome::Cancelled:
        CliError(QStringLiteral("logwarden-cli uls-update: %1").arg(result.message));
        return 130;
    }
    return 1;
}

int RunLookup(const QStringList& rawArgs)
{
    const CCliArgs args(rawArgs, {QStringLiteral("fcc"), QStringLiteral("data-dir")});
    if (!args.Error().isEmpty() || args.Positional().size() != 1) {
        CliError(QStringLiteral("logwarden-cli lookup: %1\n"
                                "Usage: logwarden-cli lookup CALL [--fcc FILE | --data-dir DIR]")
                     .arg(args.Error().isEmpty() ? QStringLiteral("give one call sign") : args.Error()));
        return 2;
    }
    // The form's call-sign field is upper case, and so are the FCC's call signs.
    const QString call = args.Positional()[0].trimmed().toUpper();
    CFccDatabase fcc;
    const CFccLookupResult result = fcc.LookUp(FccPathOf(args), call);
    if (!result.found) {
        CliPrint(QStringLiteral("Not found: %1").arg(call));
        return 1;
    }
    CliPrint(QStringLiteral("Call: %1").arg(result.callSign));
    CliPrint(QStringLiteral("Name: %1").arg(result.name));
    CliPrint(QStringLiteral("Addr1: %1").arg(result.addr1));
    CliPrint(QStringLiteral("Addr2: %1").arg(result.addr2));
    CliPrint(QStringLiteral("Class: %1").arg(result.operatorClass));
    CliPrint(QStringLiteral("Status: %1").arg(result.StatusLine()));
    return 0;
}

const CCliRegistrar g_ulsCompile{
    {QStringLiteral("uls-compile"),
     QStringLiteral("uls-compile [--input DIR] [--output FILE] [--data-dir DIR] [--verbose]"),
     QStringLiteral("Build the FCC licence database FILE (default FCC97.db in the data "
                    "folder) from AM.dat, EN.dat and HD.dat in DIR (default the data "
                    "folder). The old FILE is replaced only when the build completes. "
                    "--verbose lists every line not loaded."),
     &RunUlsCompile}};
const CCliRegistrar g_ulsUpdate{
    {QStringLiteral("uls-update"),
     QStringLiteral("uls-update [--dir DIR] [--url-base URL] [--fcc FILE] [--data-dir DIR] [--until DATE]"),
     QStringLiteral("Bring the FCC licence database FILE (default FCC97.db in the data folder) up to "
                    "date with the FCC's daily files (l_am_mon.zip ... l_am_sun.zip below URL, default "
                    "the FccDailyUrl setting), downloaded into DIR (default the archive's storage "
                    "folder): each day after the one the database holds, up to yesterday (or DATE), "
                    "in order and each in one transaction. Exit status 3 when a day is no longer "
                    "published or missing: the weekly archive must then be compiled again."),
     &RunUlsUpdate}};
const CCliRegistrar g_lookup{
    {QStringLiteral("lookup"), QStringLiteral("lookup CALL [--fcc FILE | --data-dir DIR]"),
     QStringLiteral("Print what the local look-up (F7) fills for CALL from the FCC licence "
                    "database FILE (default FCC97.db in the data folder), then the "
                    "licence's status; exit status 1 when the call sign is not found."),
     &RunLookup}};

} // namespace
