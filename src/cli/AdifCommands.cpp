// logwarden-cli adif-export and adif-import: the log's check-ins as ADIF (ADI or ADX), and ADIF files from
// other loggers into the log.
#include "cli/CliCommand.h"
#include "cli/CliProgress.h"
#include "core/Exceptions.h"
#include "core/adif/AdifExport.h"
#include "core/adif/AdifImport.h"
#include "core/app/DataFolder.h"
#include "core/app/FdDevice.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogFilter.h"
#include "core/log/LogSchema.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kExportUsage = QStringLiteral("Usage: logwarden-cli adif-export --log FILE (--day YYYY-MM-DD | "
                                            "--from YYYY-MM-DD --to YYYY-MM-DD | --all) "
                                            "--out FILE.adi|FILE.adx|- [--adx]");
const QString kImportUsage =
    QStringLiteral("Usage: logwarden-cli adif-import --log FILE --in FILE|- [--dry-run] [--verbose]");

int RunAdifExport(const QStringList& args)
{
    const CCliArgs a(args, {"log", "day", "from", "to", "out"});
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral("logwarden-cli adif-export: %1\n%2").arg(why, kExportUsage));
        return 2;
    };
    if (const QString why = a.Unexpected({"log", "day", "from", "to", "out", "all", "adx"}); !why.isEmpty())
        return usage(why);
    const QString log = a.Value(QStringLiteral("log"));
    const QString out = a.Value(QStringLiteral("out"));
    if (log.isEmpty())
        return usage(QStringLiteral("--log FILE is required"));
    if (out.isEmpty())
        return usage(QStringLiteral("--out FILE is required"));
    const bool day = a.Has(QStringLiteral("day"));
    const bool range = a.Has(QStringLiteral("from")) || a.Has(QStringLiteral("to"));
    const bool all = a.Has(QStringLiteral("all"));
    if (int(day) + int(range) + int(all) != 1)
        return usage(QStringLiteral("give one of --day, --from and --to, or --all"));
    const auto date = [&a](const char* option, QDate& d) {
        d = QDate::fromString(a.Value(QLatin1String(option)), Qt::ISODate);
        return d.isValid();
    };
    CQueryFilter filter;
    if (day) {
        QDate d;
        if (!date("day", d))
            return usage(
                QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("day"))));
        filter = LogFilter::Day(d);
    } else if (range) {
        QDate from, to;
        if (!a.Has(QStringLiteral("from")) || !a.Has(QStringLiteral("to")))
            return usage(QStringLiteral("--from and --to go together"));
        if (!date("from", from))
            return usage(
                QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("from"))));
        if (!date("to", to))
            return usage(QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("to"))));
        if (to < from)
            return usage(QStringLiteral("--to is before --from"));
        filter = LogFilter::Days(from, to);
    }
    const std::unique_ptr<CDatabase> db = CliOpenLog(QStringLiteral("adif-export"), log);
    if (!db)
        return 1;
    const CSettings settings(CSettings::DefaultPath(), DataFolder::Resolve(QCoreApplication::arguments()));
    CProgress progress;
    AdifExport::COptions options;
    options.format = a.Has(QStringLiteral("adx")) ? CAdifWriter::Format::Adx : AdifExport::FormatFor(out);
    options.station = AdifCheckin::CStation::FromSettings(settings);
    options.progress = &progress;
    const CCliInterrupt interrupt(&progress);
    AdifExport::CResult result;
    if (out == QLatin1String("-")) {
        std::fflush(stdout);
        CFdDevice stdOut(STDOUT_FILENO);
        try {
            result = AdifExport::Write(*db, filter, stdOut, options);
        } catch (const CFileException&) {
            throw CFileException(
                QStringLiteral("Cannot write to standard output: %1.").arg(stdOut.errorString()), out);
        }
    } else {
        result = AdifExport::WriteFile(*db, filter, out, options);
    }
    if (result.cancelled) {
        CliError(QStringLiteral("The export was cancelled; %1 was left as it was.").arg(out));
        return 130;
    }
    if (out != QLatin1String("-"))
        CliError(QStringLiteral("%1 check-ins written to %2").arg(result.written).arg(out));
    return 0;
}

int RunAdifImport(const QStringList& args)
{
    const CCliArgs a(args, {"log", "in"});
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral("logwarden-cli adif-import: %1\n%2").arg(why, kImportUsage));
        return 2;
    };
    if (const QString why = a.Unexpected({"log", "in", "dry-run", "verbose"}); !why.isEmpty())
        return usage(why);
    const QString log = a.Value(QStringLiteral("log"));
    const QString in = a.Value(QStringLiteral("in"));
    if (log.isEmpty())
        return usage(QStringLiteral("--log FILE is required"));
    if (in.isEmpty())
        return usage(QStringLiteral("--in FILE is required"));
    const bool dryRun = a.Has(QStringLiteral("dry-run"));
    QFile file;
    if (in == QLatin1String("-") ? !file.open(stdin, QIODevice::ReadOnly)
                                 : (file.setFileName(in), !file.open(QIODevice::ReadOnly))) {
        CliError(
            QStringLiteral("logwarden-cli adif-import: cannot open \"%1\": %2").arg(in, file.errorString()));
        return 1;
    }
    // A new log is made; an existing file must be one, never another database given the log's table.
    const bool existed = QFileInfo::exists(log);
    if (dryRun && !existed) {
        CliError(QStringLiteral("logwarden-cli adif-import: the log \"%1\" does not exist").arg(log));
        return 1;
    }
    CDatabase db(log, dryRun ? CDatabase::ReadOnly : CDatabase::ReadWriteCreate);
    if (existed && QFileInfo(log).size() > 0 && !db.TableExists(QString::fromLatin1(LogSchema::kTable))) {
        CliError(QStringLiteral("logwarden-cli adif-import: \"%1\" holds no check-in log").arg(log));
        return 1;
    }
    if (!dryRun) {
        LogSchema::Prepare(db);
    } else {
        LogSchema::RefuseNewer(db);
        LogSchema::PrepareReader(db);
    }
    CCheckinStore store(db);
    CCliProgress bar(QStringLiteral("Importing"));
    AdifImport::COptions options;
    options.dryRun = dryRun;
    options.progress = &bar.Progress();
    if (a.Has(QStringLiteral("verbose")))
        options.skipped = [&bar](long number, const QString& call, const QString& reason) {
            bar.Finish();
            CliPrint(
                QStringLiteral("skipped record %1%2: %3")
                    .arg(number)
                    .arg(call.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(CliField(call)), reason));
        };
    const CCliInterrupt interrupt(&bar.Progress());
    const AdifImport::CResult result = AdifImport::Import(store, file, options);
    bar.Finish();
    if (result.cancelled) {
        CliError(QStringLiteral("The import was cancelled; the log was left as it was."));
        return 130;
    }
    CliPrint(AdifImport::Summary(result) +
             (dryRun ? QStringLiteral(" (dry run: nothing written)") : QString()));
    return 0;
}

CCliRegistrar exportReg{
    {QStringLiteral("adif-export"),
     QStringLiteral("adif-export --log FILE (--day D | --from D --to D | --all) --out FILE [--adx]"),
     QStringLiteral("Write check-ins as ADIF: ADX for a name ending in .adx (or --adx), else "
                    "ADI; --out - writes to standard output."),
     &RunAdifExport}};
CCliRegistrar importReg{
    {QStringLiteral("adif-import"),
     QStringLiteral("adif-import --log FILE --in FILE [--dry-run] [--verbose]"),
     QStringLiteral("Add the check-ins of an ADIF file (ADI or ADX) that the log does not "
                    "have yet; --verbose lists the records skipped and why."),
     &RunAdifImport}};

} // namespace
