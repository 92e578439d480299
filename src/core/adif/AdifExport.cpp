#include "core/adif/AdifExport.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/FdDevice.h"
#include "core/app/OutputCheck.h"
#include "core/app/Version.h"
#include "core/db/Database.h"
#include "core/jobs/Progress.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"

#include <QDateTime>
#include <unistd.h>

namespace AdifExport {

namespace {

// Thrown through the query's loop to stop it; deliberately no std::exception, which the loop would
// report as a database error.
struct CStop
{
};

constexpr long kReportEvery = 1000;

} // namespace

CAdifWriter::Format FormatFor(const QString& path)
{
    return path.endsWith(QLatin1String(".adx"), Qt::CaseInsensitive) ? CAdifWriter::Format::Adx
                                                                     : CAdifWriter::Format::Adi;
}

CResult Write(CDatabase& db, const CQueryFilter& filter, QIODevice& out, const COptions& options)
{
    CResult result;
    const long total = options.progress ? CheckinQuery::Count(db, filter) : -1;
    if (options.progress && !options.progress->Report(0, total)) {
        result.cancelled = true;
        return result;
    }
    CAdifWriter writer(out, options.format);
    CAdifRecord header;
    header.Add(QByteArrayLiteral("ADIF_VER"), QStringLiteral("3.1.4"));
    header.Add(QByteArrayLiteral("PROGRAMID"), QStringLiteral(LOGWARDEN_TITLE));
    header.Add(QByteArrayLiteral("PROGRAMVERSION"), QStringLiteral(LOGWARDEN_VERSION));
    header.Add(QByteArrayLiteral("CREATED_TIMESTAMP"),
               QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd HHmmss")));
    writer.WriteHeader(QStringLiteral("%1 %2 ADIF export")
                           .arg(QStringLiteral(LOGWARDEN_TITLE), QStringLiteral(LOGWARDEN_VERSION)),
                       header);
    AdifCheckin::CExporter exporter(options.station, options.zone);
    try {
        CheckinQuery::ForEach(db, filter, LogSort::kId, [&](const CCheckinRecord& r) {
            writer.WriteRecord(exporter.Record(r));
            if (++result.written % kReportEvery == 0 && options.progress &&
                !options.progress->Report(result.written, total))
                throw CStop();
        });
    } catch (const CStop&) {
        result.cancelled = true;
        return result;
    }
    writer.Finish();
    if (options.progress)
        options.progress->Report(result.written, total);
    return result;
}

CResult WriteFile(CDatabase& db, const CQueryFilter& filter, const QString& path, const COptions& options)
{
    // Never over the log being exported, its companions, nor any other database.
    if (OutputCheck::Refuse(path, OutputCheck::Builds::Text, {db.GetPath()}) == OutputCheck::Way::Stream) {
        const int fd = OutputCheck::OpenStream(path);
        CFdDevice out(fd);
        CResult result;
        try {
            result = Write(db, filter, out, options);
        } catch (const CFileException&) {
            ::close(fd);
            throw CFileException(QStringLiteral("Cannot write \"%1\": %2.").arg(path, out.errorString()),
                                 path);
        }
        ::close(fd);
        return result;
    }
    CAtomicFile file(path);
    CResult result;
    try {
        result = Write(db, filter, file.Device(), options);
    } catch (const CFileException&) {
        throw CFileException(
            QStringLiteral("Cannot write \"%1\": %2.").arg(path, file.Device().errorString()), path);
    }
    if (!result.cancelled)
        file.Commit();
    return result;
}

} // namespace AdifExport
