#pragma once

#include "core/Exceptions.h"
#include "core/fcc/FccDbState.h"
#include "core/jobs/Progress.h"
#include "core/web/FileDownload.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>

class CSettings;
class CZipArchive;

// The FCC's daily transaction files of the amateur service, applied to the licence database in place so
// that it stays current between weekly archives.
//
// The FCC keeps a rolling week of them beside the weekly archive, one per weekday ("l_am_mon.zip" ...
// "l_am_sun.zip"), each made the morning after its day and replaced a week later. A file holds every
// licence that changed that day, whole (its HD, AM and EN rows); a cancelled or expired licence arrives
// with its new status, never as a deletion. Applying a day replaces those licences: their identifiers
// leave HD, AM and EN, the day's rows go in, and the meta table records the day, all in one transaction.
// Days are applied in order only: the day after the one applied, never one past a gap.
namespace UlsDaily {

// A chain that cannot go on day by day: only a weekly rebuild brings the database up to date.
class CGapException : public CLogwardenException
{
public:
    using CLogwardenException::CLogwardenException;
};

// "l_am_mon.zip" for a Monday, and so on.
QString FileName(const QDate& day);
// The daily's address below urlBase (the folder of the dailies, with or without a final "/").
QString FileUrl(const QString& urlBase, const QDate& day);
// The folder of the dailies: the "FccDailyUrl" setting.
QString UrlBase(const CSettings& settings);

// The date of the "File Creation Date: Tue Jun  3 06:02:11 EDT 2025" line of the FCC's "counts" file;
// invalid when there is no such line.
QDate CreationDate(const QByteArray& counts);
// The day a weekly's files in folder were made: the modification date of AM.dat (extraction gives each
// file its time in the archive), or the creation date of a "counts" file beside them when that is earlier.
// Invalid when the folder has neither.
QDate WeeklyDate(const QString& folder);
// The day whose changes a daily archive holds: the day before its "counts" file was made, else the date
// of its HD.dat entry. Invalid when it has neither.
QDate DayOf(const CZipArchive& archive);

struct CApplyStats
{
    qint64 licences = 0; // identifiers replaced or added
    qint64 rows[3] = {}; // rows written to AM, EN, HD
    qint64 skipped = 0;  // lines not loaded, by the weekly's line rules
    bool alreadyApplied = false;
    bool cancelled = false;
};

// Applies the day's HD.dat, AM.dat and EN.dat in folder to the database at dbPath, as the file fileName
// of the day `day`, in one transaction. A day that is already applied changes nothing (alreadyApplied).
// Raises CGapException when the database does not hold the day before (or does not say which day it
// holds), CFileException when a file is missing, CDBException when the database fails; the database
// then stays as it was. progress (may be null) is told the stages; cancelling it rolls the day back.
CApplyStats ApplyDay(const QString& dbPath, const QString& folder, const QDate& day, const QString& fileName,
                     CProgress* progress = nullptr);

struct CUpdateOptions
{
    QString dbPath;
    QString folder;  // where the dailies are downloaded
    QString urlBase; // the folder of the dailies on the server
    QDate lastDay;   // the newest day to apply: normally yesterday, as today's file is made tomorrow
    CDownloadOptions download;
};

struct CUpdateResult
{
    enum class Outcome
    {
        Current,         // every day up to lastDay is applied
        NotPublishedYet, // the next day's file is not out yet; the days before it are applied
        NeedsRebuild,    // a gap: a day's file is no longer published or missing while later ones are
        Cancelled,       // the days applied before stay
    };
    Outcome outcome = Outcome::Current;
    QList<QDate> applied;  // the days applied by this run, in order
    CFccDbState state;     // the database's state afterwards
    QString message;       // what to tell the operator
    QDate notPublishedDay; // NotPublishedYet: the day waited for
};

// Downloads and applies, in order, the dailies after the day the database holds, up to options.lastDay.
// note (may be null) is told each step ("l_am_mon.zip: 2025-06-02 applied, 2,981 licences"). Failures
// of the server, the files or the database raise (the days applied before stay applied); a gap is an
// outcome, NeedsRebuild, which applies nothing past it.
CUpdateResult Update(const CUpdateOptions& options, CProgress* progress = nullptr,
                     const std::function<void(const QString&)>& note = {});

// "Compile it again from the weekly archive" texts, for the outcomes above.
QString NoStateText(const QString& dbPath);
QString RebuildAdvice();

} // namespace UlsDaily
