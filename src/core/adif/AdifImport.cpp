#include "core/adif/AdifImport.h"

#include "core/Exceptions.h"
#include "core/adif/AdifCheckin.h"
#include "core/adif/AdifReader.h"
#include "core/db/Database.h"
#include "core/jobs/Progress.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/log/SharedCheckin.h"

#include <QFile>
#include <QHash>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <optional>
#include <utility>

namespace AdifImport {

namespace {

constexpr long kBatch = 1000;
constexpr int kSameContactSeconds = 120;

// Whether the log has a record already. The check-ins of the days met are read once, by the date index,
// and kept for the records that follow (files come a net at a time); a bounded number of days is kept.
class CDuplicates
{
public:
    explicit CDuplicates(CDatabase& db)
    {
        // What the log shows: the rows of this import, not finished yet, are the file's own (CSeen).
        const std::string view = LogSchema::kView;
        m_day.emplace(db.Handle(),
                      "SELECT CallSign, \"Date\" FROM " + view + " WHERE \"Date\" >= ? AND \"Date\" < ?");
        // Only a log that keeps UUIDs can be asked for one.
        if (db.TableExists(QStringLiteral("SyncTab")))
            m_uuid.emplace(db.Handle(),
                           "SELECT 1 FROM SyncTab WHERE Uuid = ? AND CheckinID IS NOT NULL LIMIT 1");
    }

    bool InLog(const CCheckinRecord& r)
    {
        const QString uuid = NormalUuid(r.uuid);
        if (m_uuid && !uuid.isEmpty()) {
            m_uuid->bind(1, uuid.toStdString());
            const bool found = m_uuid->executeStep();
            m_uuid->reset();
            if (found)
                return true;
        }
        const QDateTime at = r.date.Value();
        const QString call = r.callSign.toUpper();
        const qint64 t = at.toSecsSinceEpoch();
        for (const QDate& day :
             {at.addSecs(-kSameContactSeconds).date(), at.addSecs(kSameContactSeconds).date()}) {
            const QMultiHash<QString, qint64>& times = Day(day);
            for (auto it = times.constFind(call); it != times.constEnd() && it.key() == call; ++it)
                if (qAbs(*it - t) <= kSameContactSeconds)
                    return true;
        }
        return false;
    }

private:
    QMultiHash<QString, qint64>& Day(const QDate& day)
    {
        const auto found = m_days.find(day);
        if (found != m_days.end())
            return *found;
        if (m_days.size() >= kDaysKept)
            m_days.clear();
        QMultiHash<QString, qint64>& times = m_days[day];
        const QString format = QString::fromLatin1(CDateTime::kStorageFormat);
        m_day->bind(1, QDateTime(day, QTime(0, 0), Qt::UTC).toString(format).toStdString());
        m_day->bind(2, QDateTime(day.addDays(1), QTime(0, 0), Qt::UTC).toString(format).toStdString());
        while (m_day->executeStep()) {
            const CDateTime when = CDateTime::FromStorage(QString::fromUtf8(m_day->getColumn(1).getText()),
                                                          m_day->getColumn(1).isNull());
            if (when.IsValid())
                times.insert(QString::fromUtf8(m_day->getColumn(0).getText()).toUpper(),
                             when.Value().toSecsSinceEpoch());
        }
        m_day->reset();
        return times;
    }

    static constexpr qsizetype kDaysKept = 64;
    std::optional<SQLite::Statement> m_day;
    std::optional<SQLite::Statement> m_uuid;
    QHash<QDate, QMultiHash<QString, qint64>> m_days;
};

// The contacts of the file taken so far, by call sign: a record repeats one when it is the same station
// within the same minutes, on the same band and mode where both records name them (a second contact on
// another band is a contact of its own).
class CSeen
{
public:
    bool Has(const CCheckinRecord& r, const QString& contact) const
    {
        const auto found = m_times.constFind(r.callSign.toUpper());
        if (found == m_times.constEnd())
            return false;
        const qint64 when = r.date.Value().toSecsSinceEpoch();
        return std::any_of(found->begin(), found->end(), [&](const CContact& c) {
            return qAbs(c.at - when) <= kSameContactSeconds &&
                   (c.contact.isEmpty() || contact.isEmpty() || c.contact == contact);
        });
    }
    void Add(const CCheckinRecord& r, const QString& contact)
    {
        m_times[r.callSign.toUpper()].append({r.date.Value().toSecsSinceEpoch(), contact});
    }

private:
    struct CContact
    {
        qint64 at;
        QString contact; // "BAND MODE", empty when the record does not name both
    };
    QHash<QString, QList<CContact>> m_times;
};

// "BAND MODE" of a record that names both, else empty.
QString Contact(const CAdifRecord& record)
{
    const QString band = record.Value("BAND").trimmed(), mode = record.Value("MODE").trimmed();
    return band.isEmpty() || mode.isEmpty() ? QString() : (band + QLatin1Char(' ') + mode).toUpper();
}

} // namespace

CResult Read(CDatabase& db, QIODevice& in, const COptions& options,
             const std::function<void(std::vector<CCheckinRecord>)>& add)
{
    CResult result;
    const qint64 size = in.isSequential() ? -1 : in.size();
    if (options.progress && !options.progress->Report(0, size)) {
        result.cancelled = true;
        return result;
    }
    CAdifReader reader(in);
    CSeen seen;
    std::vector<CCheckinRecord> batch;
    try {
        CDuplicates duplicates(db);
        AdifCheckin::CImporter importer(options.zone);
        CAdifRecord record;
        CCheckinRecord checkin;
        QString reason;
        long number = 0;
        while (reader.Next(record)) {
            ++number;
            if (reader.RecordCut()) {
                ++result.skipped;
                if (options.skipped)
                    options.skipped(
                        number, record.Value("CALL").trimmed(),
                        QStringLiteral("the record ends before its fields do (the file is cut short)"));
            } else if (!importer.Record(record, checkin, reason)) {
                ++result.skipped;
                if (options.skipped)
                    options.skipped(number, record.Value("CALL").trimmed(), reason);
            } else if (seen.Has(checkin, Contact(record))) {
                ++result.repeated;
            } else if (duplicates.InLog(checkin)) {
                ++result.already;
            } else {
                ++result.added;
                // The log does not show the file's own until the import is over: they are remembered here.
                seen.Add(checkin, Contact(record));
                if (add) {
                    batch.push_back(checkin);
                    if (long(batch.size()) == kBatch)
                        add(std::exchange(batch, {}));
                }
            }
            if (number % kBatch == 0 && options.progress &&
                !options.progress->Report(reader.BytesRead(), size)) {
                result = CResult();
                result.cancelled = true;
                return result;
            }
        }
    } catch (const CLogwardenException&) {
        throw;
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    if (!reader.Error().isEmpty())
        throw CFileException(QStringLiteral("%1; nothing was imported.").arg(reader.Error()), QString());
    if (!reader.SawAdif())
        throw CFileException(QStringLiteral("the file is not an ADIF file (no field, <EOH> or <EOR> in it); "
                                            "nothing was imported."),
                             QString());
    if (add && !batch.empty())
        add(std::move(batch));
    if (options.progress)
        options.progress->Report(reader.BytesRead(), size);
    return result;
}

CResult Import(CCheckinStore& store, QIODevice& in, const COptions& options)
{
    std::optional<CCheckinStore::CBulkAdd> bulk;
    if (!options.dryRun)
        bulk.emplace(store);
    // A cancelled or failed import takes what it added away again.
    const CResult result = Read(store.Database(), in, options, [&](std::vector<CCheckinRecord> batch) {
        if (bulk)
            for (const CCheckinRecord& r : batch)
                bulk->Add(r);
    });
    if (bulk && !result.cancelled)
        bulk->Commit();
    return result;
}

CResult ImportFile(CCheckinStore& store, const QString& path, const COptions& options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("Cannot open \"%1\": %2.").arg(path, file.errorString()), path);
    try {
        return Import(store, file, options);
    } catch (const CFileException& e) {
        throw CFileException(QStringLiteral("\"%1\": %2").arg(path, e.Message()), path);
    }
}

QString Summary(const CResult& r)
{
    if (r.repeated > 0)
        return QStringLiteral("%1 added, %2 already in the log, %3 repeated in the file, %4 skipped")
            .arg(r.added)
            .arg(r.already)
            .arg(r.repeated)
            .arg(r.skipped);
    return QStringLiteral("%1 added, %2 already in the log, %3 skipped")
        .arg(r.added)
        .arg(r.already)
        .arg(r.skipped);
}

} // namespace AdifImport
