// logwarden-cli export: the log's text export, the same bytes the program writes.
#include "cli/CliCommand.h"
#include "core/Exceptions.h"
#include "core/app/FdDevice.h"
#include "core/db/Database.h"
#include "core/log/LogExport.h"

#include <QDate>
#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace {

int RunExport(const QStringList& args)
{
    const CCliArgs a(args, {QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("out")});
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral("logwarden-cli export: %1\nUsage: logwarden-cli export --log FILE "
                                "(--day YYYY-MM-DD | --all) --out FILE")
                     .arg(why));
        return 2;
    };
    if (const QString why = a.Unexpected(
            {QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("out"), QStringLiteral("all")});
        !why.isEmpty())
        return usage(why);
    const QString log = a.Value(QStringLiteral("log"));
    const QString out = a.Value(QStringLiteral("out"));
    if (log.isEmpty())
        return usage(QStringLiteral("--log FILE is required"));
    if (out.isEmpty())
        return usage(QStringLiteral("--out FILE is required"));
    if (a.Has(QStringLiteral("day")) == a.Has(QStringLiteral("all")))
        return usage(QStringLiteral("give either --day YYYY-MM-DD or --all"));
    std::optional<QDate> day;
    if (a.Has(QStringLiteral("day"))) {
        const QDate d = QDate::fromString(a.Value(QStringLiteral("day")), Qt::ISODate);
        if (!d.isValid())
            return usage(
                QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("day"))));
        day = d;
    }
    const std::unique_ptr<CDatabase> db = CliOpenLog(QStringLiteral("export"), log);
    if (!db)
        return 1;
    long written = 0;
    if (out == QLatin1String("-")) {
        // Straight onto the descriptor: a failed write says why ("No space left on device").
        std::fflush(stdout);
        CFdDevice stdOut(STDOUT_FILENO);
        try {
            written = LogExport::Write(*db, day, stdOut);
        } catch (const CFileException&) {
            throw CFileException(
                QStringLiteral("Cannot write to standard output: %1.").arg(stdOut.errorString()), out);
        }
    } else {
        written = LogExport::WriteFile(*db, day, out);
        CliError(QStringLiteral("%1 check-ins written to %2").arg(written).arg(out));
    }
    return 0;
}

CCliRegistrar reg{{QStringLiteral("export"),
                   QStringLiteral("export --log FILE (--day YYYY-MM-DD | --all) --out FILE"),
                   QStringLiteral("Write one day's check-ins, or the whole log, as pipe-separated text "
                                  "(--out - writes to standard output)."),
                   &RunExport}};

} // namespace
