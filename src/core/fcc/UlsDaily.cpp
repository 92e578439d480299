#include "core/fcc/UlsDaily.h"

#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/FccSchema.h"
#include "core/fcc/FccWriteLock.h"
#include "core/fcc/UlsArchive.h"
#include "core/fcc/UlsLoader.h"
#include "core/zip/ParallelExtract.h"
#include "core/zip/ZipArchive.h"
#include "core/zip/ZipException.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace UlsDaily {

namespace {

const char* const kDays[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

QString DayText(const QDate& day)
{
    return QLocale::c().toString(day, QStringLiteral("dddd yyyy-MM-dd"));
}

QString DailyTable(const FccSchema::CTable& table)
{
    return QStringLiteral("Daily") + QLatin1String(table.name);
}

// A missing daily comes back as a web page (an error page, or the page a redirect leads to), or empty.
bool LooksLikeWebPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(1024);
    if (head.isEmpty())
        return true;
    const QByteArray text = head.startsWith("\xEF\xBB\xBF") ? head.mid(3).trimmed() : head.trimmed();
    return text.startsWith('<') || text.toLower().contains("<html");
}

struct CFetched
{
    bool published = false;
    bool cancelled = false;
    QDate day; // the day the file holds
};

// Downloads the daily of `day` into folder (replacing an older copy only with a good one) and reads which
// day it holds. A 404, a web page or an empty answer means the FCC has not published it.
CFetched Fetch(const CUpdateOptions& options, const QDate& day, CProgress* progress, QString* path)
{
    CFetched fetched;
    const QString name = FileName(day);
    *path = QDir(options.folder).filePath(name);
    if (progress)
        progress->SetStage(QStringLiteral("Downloading %1").arg(name));
    try {
        const bool done = CFileDownload::Fetch(
            FileUrl(options.urlBase, day), *path, progress,
            [](const QString& temp) {
                CZipArchive check;
                try {
                    check.OpenArchive(temp);
                } catch (const CZipException& e) {
                    if (LooksLikeWebPage(temp))
                        throw CDownloadException(CDownloadException::NotFound,
                                                 QStringLiteral("the server answered with a web page"));
                    throw CDownloadException(CDownloadException::Rejected,
                                             QStringLiteral("it is not a ZIP archive (%1)").arg(e.Detail()));
                }
                if (const QStringList missing = UlsArchive::MissingDataFiles(check); !missing.isEmpty())
                    throw CDownloadException(
                        CDownloadException::Rejected,
                        QStringLiteral("the archive holds no %1").arg(missing.join(QStringLiteral(", "))));
            },
            options.download);
        if (!done) {
            fetched.cancelled = true;
            return fetched;
        }
    } catch (const CDownloadException& e) {
        if (e.GetKind() == CDownloadException::NotFound)
            return fetched;
        throw;
    }
    CZipArchive archive;
    archive.OpenArchive(*path);
    fetched.day = DayOf(archive);
    if (!fetched.day.isValid())
        throw CZipException(CZipException::badZipFile, *path,
                            QStringLiteral("it does not say which day it holds (no counts file, no dates)"));
    fetched.published = true;
    return fetched;
}

void Exec(CDatabase& db, const char* sql)
{
    try {
        db.Handle().exec(sql);
    } catch (const std::exception& e) {
        db.Raise(e);
    }
}

int OnProgressHandler(void* user)
{
    const auto* progress = static_cast<const CProgress*>(user);
    return progress && progress->IsCancelled() ? 1 : 0;
}

// The day's licences replace those of the tables. EN has no index on the identifier (the weekly build
// would pay for it): its rows are found through their call sign, which is the licence's call in HD and AM
// before the day and in the day's own rows; so the keys are gathered before HD and AM change.
const char kRemoveSql[] = R"SQL(
CREATE TEMP TABLE DailyIds (id INTEGER PRIMARY KEY);
INSERT OR IGNORE INTO DailyIds
    SELECT UniqueSystemIdentifier FROM DailyHD
    UNION SELECT UniqueSystemIdentifier FROM DailyAM
    UNION SELECT UniqueSystemIdentifier FROM DailyEN WHERE UniqueSystemIdentifier IS NOT NULL;
CREATE TEMP TABLE DailyKeys (call TEXT NOT NULL, id INTEGER NOT NULL, PRIMARY KEY (call, id)) WITHOUT ROWID;
INSERT OR IGNORE INTO DailyKeys
    SELECT h.CallSign, h.UniqueSystemIdentifier FROM main.HD AS h
        WHERE h.UniqueSystemIdentifier IN (SELECT id FROM DailyIds) AND h.CallSign IS NOT NULL
    UNION SELECT a.CallSign, a.UniqueSystemIdentifier FROM main.AM AS a
        WHERE a.UniqueSystemIdentifier IN (SELECT id FROM DailyIds) AND a.CallSign IS NOT NULL
    UNION SELECT CallSign, UniqueSystemIdentifier FROM DailyHD WHERE CallSign IS NOT NULL
    UNION SELECT CallSign, UniqueSystemIdentifier FROM DailyAM WHERE CallSign IS NOT NULL
    UNION SELECT CallSign, UniqueSystemIdentifier FROM DailyEN WHERE UniqueSystemIdentifier IS NOT NULL;
DELETE FROM main.EN WHERE rowid IN (
    SELECT e.rowid FROM DailyKeys AS k CROSS JOIN main.EN AS e
        ON e.CallSign = k.call AND e.UniqueSystemIdentifier = k.id);
DELETE FROM main.HD WHERE UniqueSystemIdentifier IN (SELECT id FROM DailyIds)
    AND UniqueSystemIdentifier NOT IN (SELECT UniqueSystemIdentifier FROM DailyHD);
DELETE FROM main.AM WHERE UniqueSystemIdentifier IN (SELECT id FROM DailyIds)
    AND UniqueSystemIdentifier NOT IN (SELECT UniqueSystemIdentifier FROM DailyAM);
)SQL";

// The day's HD and AM rows overwrite the rows of their identifier where they stand (a page each, and HD's
// call-sign index stays as it is unless the call changed), or go in as new licences.
QString UpsertSql(const FccSchema::CTable& table)
{
    QStringList set;
    for (int i = 0; i < table.columnCount; ++i)
        if (i != table.requiredColumn)
            set << QStringLiteral("\"%1\" = excluded.\"%1\"").arg(QLatin1String(table.columns[i].name));
    return QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM \"Daily%1\" WHERE true ORDER BY rowid "
                          "ON CONFLICT (UniqueSystemIdentifier) DO UPDATE SET %2")
        .arg(QLatin1String(table.name), set.join(QStringLiteral(", ")));
}

qint64 Count(CDatabase& db, const char* sql)
{
    try {
        return db.Handle().execAndGet(sql).getInt64();
    } catch (const std::exception& e) {
        db.Raise(e);
    }
}

void CheckChain(const CFccDbState& state, const QDate& day, const QString& dbPath, CApplyStats& stats)
{
    if (!state.IsKnown())
        throw CGapException(NoStateText(dbPath));
    if (state.appliedDate >= day) {
        stats.alreadyApplied = true;
        return;
    }
    if (state.appliedDate != day.addDays(-1))
        throw CGapException(
            QStringLiteral("The FCC licence database holds %1; the daily of %2 cannot follow it before the "
                           "days between are applied. %3")
                .arg(state.appliedDate.toString(Qt::ISODate), DayText(day), RebuildAdvice()));
}

} // namespace

QString FileName(const QDate& day)
{
    return QStringLiteral("l_am_%1.zip").arg(QLatin1String(kDays[day.dayOfWeek() - 1]));
}

QString FileUrl(const QString& urlBase, const QDate& day)
{
    QString base = urlBase.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QLatin1Char('/') + FileName(day);
}

QString UrlBase(const CSettings& settings)
{
    return settings.Get(Setting::FccDailyUrl);
}

QString RebuildAdvice()
{
    return QStringLiteral(
        "Download, extract and compile the weekly archive (l_amat.zip) again; the daily files "
        "after it can then be applied.");
}

QString NoStateText(const QString& dbPath)
{
    return QStringLiteral("The FCC licence database \"%1\" does not record which weekly archive it was built "
                          "from, so no daily file can be applied to it. %2")
        .arg(dbPath, RebuildAdvice());
}

QDate CreationDate(const QByteArray& counts)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (const QByteArray& line : counts.split('\n')) {
        const qsizetype at = line.indexOf("File Creation Date:");
        if (at < 0)
            continue;
        // "Tue Jun  3 06:02:11 EDT 2025"
        const QList<QByteArray> words = line.mid(at + 19).simplified().split(' ');
        if (words.size() < 6)
            return {};
        int month = 0;
        for (int m = 0; m < 12; ++m)
            if (words[1] == kMonths[m])
                month = m + 1;
        bool dayOk = false, yearOk = false;
        const int dayOfMonth = words[2].toInt(&dayOk);
        const int year = words[5].toInt(&yearOk);
        if (!month || !dayOk || !yearOk)
            return {};
        return QDate(year, month, dayOfMonth);
    }
    return {};
}

namespace {

// The lines of each data file as the archive's own "counts" file gives them ("       278 HD.dat"); empty
// when there is none.
QHash<QString, qint64> DeclaredLines(const QString& folder)
{
    QHash<QString, qint64> lines;
    QFile counts(QDir(folder).filePath(QStringLiteral("counts")));
    if (!counts.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : counts.read(64 * 1024).split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        bool number = false;
        const qint64 n = words.size() == 2 ? words[0].toLongLong(&number) : 0;
        if (number && words[1].endsWith(".dat"))
            lines.insert(QString::fromLatin1(words[1]), n);
    }
    return lines;
}

} // namespace

QDate WeeklyDate(const QString& folder)
{
    // The earlier of the two: a date too early only makes an update apply again days the weekly holds
    // (each licence whole, and every later day after it, so the end is the same), while a date too late
    // (files copied without their times) would skip days for good.
    QDate date;
    const QFileInfo am(QDir(folder).filePath(QLatin1String(FccSchema::kAM.fileName)));
    if (am.isFile())
        date = am.lastModified().toLocalTime().date();
    QFile counts(QDir(folder).filePath(QStringLiteral("counts")));
    if (counts.open(QIODevice::ReadOnly)) {
        if (const QDate made = CreationDate(counts.read(64 * 1024));
            made.isValid() && (!date.isValid() || made < date))
            date = made;
    }
    return date;
}

QDate DayOf(const CZipArchive& archive)
{
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CFileHeader& h = archive.Header(i);
        if (h.IsDirectory() || CZipArchive::SafeBaseName(h.m_fileName) != QLatin1String("counts") ||
            h.m_uncompressedSize > 64 * 1024)
            continue;
        // A second reader of the same file: the archive given stays as it is.
        CZipArchive reader;
        reader.OpenArchive(archive.GetArchivePath());
        if (!reader.OpenEntry(i))
            break;
        QByteArray text(qsizetype(h.m_uncompressedSize), '\0');
        const qint64 n = reader.ReadEntry(text.data(), text.size());
        reader.CloseEntry();
        if (const QDate made = CreationDate(text.left(qsizetype(std::max<qint64>(n, 0)))); made.isValid())
            return made.addDays(-1);
    }
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CFileHeader& h = archive.Header(i);
        if (!h.IsDirectory() && CZipArchive::SafeBaseName(h.m_fileName) == QLatin1String("HD.dat")) {
            const time_t t = h.ModificationTime();
            if (t != -1)
                return QDateTime::fromSecsSinceEpoch(qint64(t)).toLocalTime().date();
        }
    }
    return {};
}

CApplyStats ApplyDay(const QString& dbPath, const QString& folder, const QDate& day, const QString& fileName,
                     CProgress* progress)
{
    CApplyStats stats;
    for (int i = 0; i < FccSchema::kTableCount; ++i) {
        const QString path = QDir(folder).filePath(QLatin1String(FccSchema::Tables()[i]->fileName));
        if (!QFileInfo(path).isFile())
            throw CFileException(QStringLiteral("The daily file %1 holds no %2.")
                                     .arg(fileName, QLatin1String(FccSchema::Tables()[i]->fileName)),
                                 path);
    }
    RequireFccDatabase(dbPath);
    if (progress)
        progress->SetStage(QStringLiteral("Applying %1").arg(fileName));

    CFccWriteLock lock;
    if (!lock.Acquire(dbPath, [progress] { return !progress || !progress->IsCancelled(); })) {
        stats.cancelled = true;
        return stats;
    }
    CDatabase db(dbPath, CDatabase::ReadWrite);
    // Readers (F7) go on reading the day before while the day is written, and see it once it commits.
    try {
        SQLite::Statement wal(db.Handle(), "PRAGMA journal_mode=WAL");
        wal.executeStep();
        if (wal.getColumn(0).getString() != "wal")
            throw CDBException(
                QStringLiteral("The FCC licence database \"%1\" cannot keep a write-ahead log.").arg(dbPath));
    } catch (const CDBException&) {
        throw;
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    Exec(db, "PRAGMA synchronous=NORMAL; PRAGMA temp_store=MEMORY; PRAGMA cache_size=-131072");

    CheckChain(FccDbState::Read(db), day, dbPath, stats);
    if (stats.alreadyApplied)
        return stats;

    // The day's rows, checked by the weekly's line rules, in temporary tables first.
    sqlite3* handle = db.Handle().getHandle();
    const QHash<QString, qint64> said = DeclaredLines(folder);
    CUlsLoadHooks hooks;
    hooks.cancel = progress;
    QStringList skippedLines;
    for (int i = 0; i < FccSchema::kTableCount; ++i) {
        const FccSchema::CTable& table = *FccSchema::Tables()[i];
        const QString name = QLatin1String(table.fileName);
        hooks.skipped = [&](qint64 line, const QString& reason) {
            if (skippedLines.size() < 10)
                skippedLines << QStringLiteral("%1 line %2: %3").arg(name).arg(line).arg(reason);
        };
        db.Execute(FccSchema::CreateTableSql(table, DailyTable(table), true));
        const CUlsStageStats loaded =
            LoadUlsFile(handle, table, QDir(folder).filePath(name), hooks, {DailyTable(table), false});
        if (loaded.cancelled) {
            stats.cancelled = true;
            return stats;
        }
        // A daily that does not hold what its own counts say is damaged (cut short, garbage in place of a
        // file): it is refused whole, and the day stays to be applied from a good copy.
        if (const auto expected = said.constFind(name);
            expected != said.constEnd() && *expected != loaded.loaded)
            throw CFileException(
                QStringLiteral(
                    "The daily file %1 is damaged: its counts say %2 lines of %3, but %4 could be read "
                    "(%5 skipped); the day is not applied.%6")
                    .arg(fileName)
                    .arg(*expected)
                    .arg(name)
                    .arg(loaded.loaded)
                    .arg(loaded.skipped)
                    .arg(skippedLines.isEmpty() ? QString()
                                                : QLatin1Char('\n') + skippedLines.join(QLatin1Char('\n'))),
                folder);
        stats.rows[i] = loaded.loaded;
        stats.skipped += loaded.skipped;
    }

    sqlite3_progress_handler(handle, 1000, &OnProgressHandler, progress);
    try {
        Exec(db, "BEGIN IMMEDIATE");
        try {
            // Looked at again under the write lock and in the transaction.
            CheckChain(FccDbState::Read(db), day, dbPath, stats);
            if (!stats.alreadyApplied) {
                Exec(db, kRemoveSql);
                db.Execute(UpsertSql(FccSchema::kHD));
                db.Execute(UpsertSql(FccSchema::kAM));
                Exec(db, "INSERT INTO main.EN SELECT * FROM DailyEN ORDER BY rowid");
                stats.licences = Count(db, "SELECT count(*) FROM DailyIds");
                FccDbState::WriteApplied(db, day, fileName, QDateTime::currentDateTimeUtc());
            }
            Exec(db, "COMMIT");
        } catch (...) {
            sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const CDBException&) {
        sqlite3_progress_handler(handle, 0, nullptr, nullptr);
        if (progress && progress->IsCancelled()) {
            stats.cancelled = true;
            return stats;
        }
        throw;
    }
    sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    // The day is in the database file and the log is emptied, as far as the readers let it be (a reader
    // that is busy keeps the log as it is; the next day or the next writer finishes the work).
    sqlite3_exec(handle, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return stats;
}

CUpdateResult Update(const CUpdateOptions& options, CProgress* progress,
                     const std::function<void(const QString&)>& note)
{
    using Outcome = CUpdateResult::Outcome;
    const auto tell = [&](const QString& text) {
        if (note)
            note(text);
    };
    CUpdateResult result;
    RequireFccDatabase(options.dbPath);
    {
        CDatabase db(options.dbPath, CDatabase::ReadOnly);
        result.state = FccDbState::Read(db);
    }
    if (!result.state.IsKnown()) {
        result.outcome = Outcome::NeedsRebuild;
        result.message = NoStateText(options.dbPath);
        return result;
    }
    if (!QDir().mkpath(options.folder))
        throw CFileException(QStringLiteral("Cannot create the folder \"%1\".").arg(options.folder),
                             options.folder);

    const auto cancelled = [&] {
        result.outcome = Outcome::Cancelled;
        result.message = QStringLiteral("The update was cancelled; the FCC licence database holds %1.")
                             .arg(result.state.appliedDate.toString(Qt::ISODate));
        return result;
    };
    for (QDate day = result.state.appliedDate.addDays(1); day <= options.lastDay; day = day.addDays(1)) {
        if (progress && progress->IsCancelled())
            return cancelled();
        const QString name = FileName(day);
        QString path;
        const CFetched fetched = Fetch(options, day, progress, &path);
        if (fetched.cancelled)
            return cancelled();
        if (!fetched.published || fetched.day < day) {
            // Not out yet, unless a later day is: then this one is missing from the chain.
            for (QDate later = day.addDays(1); later <= options.lastDay; later = later.addDays(1)) {
                QString laterPath;
                const CFetched next = Fetch(options, later, progress, &laterPath);
                if (next.cancelled)
                    return cancelled();
                if (next.published && next.day == later) {
                    result.outcome = Outcome::NeedsRebuild;
                    result.message = QStringLiteral("The daily file of %1 (%2) is not published, but that of "
                                                    "%3 is: the days cannot be applied in order. %4")
                                         .arg(DayText(day), name, DayText(later), RebuildAdvice());
                    return result;
                }
            }
            result.outcome = Outcome::NotPublishedYet;
            result.notPublishedDay = day;
            result.message = QStringLiteral("The FCC licence database holds %1; the daily file of %2 (%3) is "
                                            "not published yet.")
                                 .arg(result.state.appliedDate.toString(Qt::ISODate), DayText(day), name);
            return result;
        }
        if (fetched.day > day) {
            result.outcome = Outcome::NeedsRebuild;
            result.message =
                QStringLiteral("The daily file of %1 is no longer published: %2 holds %3 now (the "
                               "FCC keeps one week of them). %4")
                    .arg(DayText(day), name, fetched.day.toString(Qt::ISODate), RebuildAdvice());
            return result;
        }

        CApplyStats stats;
        {
            // A few megabytes for the time the day is applied; the system's temporary folder, so that
            // what a killed run leaves goes with the next start of the machine.
            QTemporaryDir unpacked(QDir(QDir::tempPath()).filePath(QStringLiteral("logwarden-daily-XXXXXX")));
            if (!unpacked.isValid())
                throw CFileException(QStringLiteral("Cannot create a folder in \"%1\": %2.")
                                         .arg(QDir::tempPath(), unpacked.errorString()),
                                     QDir::tempPath());
            CZipArchive archive;
            archive.OpenArchive(path);
            std::vector<int> entries;
            QSet<QString> names;
            for (int i = 0; i < archive.GetEntryCount(); ++i) {
                const CFileHeader& h = archive.Header(i);
                const QString base = CZipArchive::SafeBaseName(h.m_fileName);
                // The data files, and what the day says they hold.
                const bool counts = base == QLatin1String("counts") && h.m_uncompressedSize <= 64 * 1024;
                if (h.IsDirectory() || (!counts && !UlsArchive::IsDataFile(h.m_fileName)))
                    continue;
                // Two entries of one name (one in a sub-folder, say): which is the day's cannot be told.
                if (names.contains(base))
                    throw CFileException(
                        QStringLiteral(
                            "The daily file %1 holds %2 twice: it is damaged; the day is not applied.")
                            .arg(name, base),
                        path);
                names.insert(base);
                entries.push_back(i);
            }
            if (progress)
                progress->SetStage(QStringLiteral("Extracting %1").arg(name));
            const ParallelExtract::CResult extracted =
                ParallelExtract::ExtractEntries(archive, entries, unpacked.path(), 1, progress);
            if (extracted.cancelled)
                return cancelled();
            stats = ApplyDay(options.dbPath, unpacked.path(), day, name, progress);
        }
        if (stats.cancelled)
            return cancelled();
        if (!stats.alreadyApplied) {
            result.applied << day;
            tell(QStringLiteral("%1: %2 applied, %3 licences")
                     .arg(name, day.toString(Qt::ISODate))
                     .arg(stats.licences));
        }
        result.state = FccDbState::ReadFile(options.dbPath);
        if (!result.state.IsKnown() || result.state.appliedDate < day)
            throw CDBException(
                QStringLiteral("The FCC licence database \"%1\" was replaced during the update.")
                    .arg(options.dbPath));
        // A weekly put in place meanwhile may hold later days already.
        day = result.state.appliedDate;
    }
    result.outcome = Outcome::Current;
    result.message = QStringLiteral("The FCC licence database is current: it holds %1.")
                         .arg(result.state.appliedDate.toString(Qt::ISODate));
    return result;
}

} // namespace UlsDaily
