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
#include "core/log/LogSchema.h"

#include <QDateTime>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <optional>
#include <unistd.h>

namespace AdifExport {

namespace {

constexpr long kReportEvery = 1000;

// The check-ins straight from the table to the writer: the text as the database holds it (UTF-8), each
// field as CExporter::Record() makes it, without a record of QStrings in between.
class CRows
{
public:
    CRows(CDatabase& db, const CQueryFilter& filter, const COptions& options)
        : m_exporter(options.station, options.zone)
    {
        // The columns by name, so that columns added to the table later change nothing; a UUID only
        // where the log keeps one.
        QString columns = QStringLiteral("CallSign,Name,Street,Location,Comment,\"Date\",HasComments,"
                                         "HasTraffic,Acknowledged,Class,YourGrid,"
                                         "eMailAddr");
        m_hasUuid = db.TableExists(QStringLiteral("SyncTab"));
        if (m_hasUuid)
            columns += QStringLiteral(",(SELECT Uuid FROM SyncTab WHERE SyncTab.CheckinID = %1.ID)")
                           .arg(QLatin1String(LogSchema::kView));
        QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns, QLatin1String(LogSchema::kView));
        if (!filter.IsEmpty())
            sql += QStringLiteral(" WHERE ") + filter.where;
        sql += QStringLiteral(" ORDER BY ID");
        m_stmt.emplace(db.Handle(), sql.toStdString());
        BindFilter(*m_stmt, filter);
        const auto utf8 = [](const QString& s) { return s.toUtf8(); };
        m_frequency = utf8(m_exporter.Frequency());
        m_band = utf8(m_exporter.BandName());
        m_mode = utf8(m_exporter.Mode());
        m_stationCall = utf8(m_exporter.StationCall());
        m_operator = utf8(m_exporter.Operator());
        m_myGrid = utf8(m_exporter.MyGrid());
    }

    bool Next() { return m_stmt->executeStep(); }

    void Write(CAdifWriter& w)
    {
        SQLite::Statement& s = *m_stmt;
        const auto text = [&s](int column) {
            const SQLite::Column c = s.getColumn(column);
            return QByteArrayView(static_cast<const char*>(c.getBlob()), c.getBytes());
        };
        // Trimmed as Record() trims: by the text's rules when the ends are not plain ASCII letters.
        const auto trimmed = [](QByteArrayView v) -> QByteArray {
            if (v.isEmpty())
                return {};
            const auto plain = [](char c) { return c > ' ' && static_cast<unsigned char>(c) < 0x80; };
            if (plain(v.front()) && plain(v.back()))
                return v.toByteArray();
            return QString::fromUtf8(v).trimmed().toUtf8();
        };
        w.BeginRecord();
        // Upper case, as F5 logs it (a call imported in lower case may be stored so).
        QByteArray call = trimmed(text(0));
        const bool ascii = std::all_of(call.cbegin(), call.cend(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        call = ascii ? call.toUpper() : QString::fromUtf8(call).toUpper().toUtf8();
        w.FieldUtf8(QByteArrayLiteral("CALL"), call);
        // Single-line fields: a line break or a tab as a blank; a comment of several lines whole in NOTES.
        const auto oneLine = [](QByteArrayView v) {
            return v.contains('\r') || v.contains('\n') || v.contains('\t')
                       ? AdifCheckin::OneLine(QString::fromUtf8(v)).toUtf8()
                       : v.toByteArray();
        };
        w.FieldUtf8(QByteArrayLiteral("NAME"), oneLine(text(1)));
        const QByteArrayView street = text(2), location = text(3);
        if (!street.isEmpty() && !location.isEmpty()) {
            m_address.clear();
            m_address.append(street).append("\r\n").append(location);
            w.FieldUtf8(QByteArrayLiteral("ADDRESS"), QByteArrayView(m_address));
        } else {
            w.FieldUtf8(QByteArrayLiteral("ADDRESS"), street.isEmpty() ? location : street);
        }
        if (!trimmed(location).isEmpty()) {
            const AdifCheckin::CPlace& place = m_exporter.Place(QString::fromUtf8(location));
            w.Field(QByteArrayLiteral("QTH"), place.qth);
            w.Field(QByteArrayLiteral("STATE"), place.state);
            w.Field(QByteArrayLiteral("CNTY"), place.county);
        }
        w.FieldUtf8(QByteArrayLiteral("GRIDSQUARE"), trimmed(text(10)));
        w.FieldUtf8(QByteArrayLiteral("EMAIL"), trimmed(text(11)));
        const QByteArrayView comment = text(4);
        const QByteArray commentLine = oneLine(comment);
        w.FieldUtf8(QByteArrayLiteral("COMMENT"), commentLine);
        if (commentLine != comment)
            w.FieldUtf8(QByteArrayLiteral("NOTES"), comment);
        const QByteArrayView dateText = text(5);
        const CDateTime date = CDateTime::FromStorage(QString::fromLatin1(dateText), s.getColumn(5).isNull());
        if (date.IsValid()) {
            const QDateTime utc = m_exporter.Utc(date);
            char digits[8];
            const auto put = [&digits](int at, int value, int count) {
                for (int i = count - 1; i >= 0; --i, value /= 10)
                    digits[at + i] = char('0' + value % 10);
            };
            const QDate d = utc.date();
            const QTime t = utc.time();
            put(0, d.year(), 4);
            put(4, d.month(), 2);
            put(6, d.day(), 2);
            w.FieldUtf8(QByteArrayLiteral("QSO_DATE"), QByteArrayView(digits, 8));
            put(0, t.hour(), 2);
            put(2, t.minute(), 2);
            put(4, t.second(), 2);
            w.FieldUtf8(QByteArrayLiteral("TIME_ON"), QByteArrayView(digits, 6));
        }
        w.FieldUtf8(QByteArrayLiteral("FREQ"), QByteArrayView(m_frequency));
        w.FieldUtf8(QByteArrayLiteral("BAND"), QByteArrayView(m_band));
        w.FieldUtf8(QByteArrayLiteral("MODE"), QByteArrayView(m_mode));
        w.FieldUtf8(QByteArrayLiteral("STATION_CALLSIGN"), QByteArrayView(m_stationCall));
        w.FieldUtf8(QByteArrayLiteral("OPERATOR"), QByteArrayView(m_operator));
        w.FieldUtf8(QByteArrayLiteral("MY_GRIDSQUARE"), QByteArrayView(m_myGrid));
        const auto flag = [&s](int column) {
            return QByteArrayView(s.getColumn(column).getInt() != 0 ? "Y" : "N");
        };
        w.FieldUtf8(QByteArrayLiteral("APP_LOGWARDEN_ACK"), flag(8));
        w.FieldUtf8(QByteArrayLiteral("APP_LOGWARDEN_TRAFFIC"), flag(7));
        w.FieldUtf8(QByteArrayLiteral("APP_LOGWARDEN_COMMENTS"), flag(6));
        w.FieldUtf8(QByteArrayLiteral("APP_LOGWARDEN_LICCLASS"), text(9));
        if (m_hasUuid)
            w.FieldUtf8(QByteArrayLiteral("APP_LOGWARDEN_UUID"), trimmed(text(12)));
        w.EndRecord();
    }

private:
    AdifCheckin::CExporter m_exporter;
    std::optional<SQLite::Statement> m_stmt;
    bool m_hasUuid = false;
    QByteArray m_frequency, m_band, m_mode, m_stationCall, m_operator, m_myGrid, m_address;
};

} // namespace

CAdifWriter::Format FormatFor(const QString& path)
{
    return path.endsWith(QLatin1String(".adx"), Qt::CaseInsensitive) ? CAdifWriter::Format::Adx
                                                                     : CAdifWriter::Format::Adi;
}

CResult Write(CDatabase& db, const CQueryFilter& filter, QIODevice& out, const COptions& options)
{
    CResult result;
    // A station two operators logged goes out once: the check-in that stands for it.
    const CQueryFilter standing = LogFilter::StandingOnly(db, filter);
    const long total = options.progress ? CheckinQuery::Count(db, standing) : -1;
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
    try {
        CRows rows(db, standing, options);
        while (rows.Next()) {
            rows.Write(writer);
            if (++result.written % kReportEvery == 0 && options.progress &&
                !options.progress->Report(result.written, total)) {
                result.cancelled = true;
                return result;
            }
        }
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        db.Raise(e);
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
