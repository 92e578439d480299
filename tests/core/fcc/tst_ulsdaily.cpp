// Daily ULS files applied in place: a weekly kept current day by day must hold what a weekly rebuilt from
// the same final population holds, days go in only in order, and a daily that is not out is no error.
// Test labels: threads
#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/fcc/FccDbState.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/UlsDaily.h"
#include "core/zip/ZipArchive.h"
#include "core/zip/ZipException.h"
#include "support/HttpServer.h"
#include "support/TestSupport.h"
#include "support/UlsDailies.h"
#include "support/UlsFiles.h"
#include "support/ZipMaker.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace TestSupport;
using Outcome = UlsDaily::CUpdateResult::Outcome;

namespace {

const QDate kMon(2025, 6, 2);
const QDate kTue(2025, 6, 3);
const QDate kWed(2025, 6, 4);
const QDate kThu(2025, 6, 5);

// What F7 shows and the licence page it opens.
QString Shown(CFccDatabase& fcc, const QString& db, const QString& call)
{
    const CFccLookupResult r = fcc.LookUp(db, call);
    return QStringList{r.callSign,      r.name,
                       r.addr1,         r.addr2,
                       r.operatorClass, QString::number(r.uniqueSystemIdentifier),
                       r.StatusLine(),  QString::number(fcc.LicenceKey(db, call).value_or(0))}
        .join(QLatin1Char('|'));
}

QByteArray Licence(int id, const QString& call, const QString& status, const QString& granted,
                   const QString& cancelled = {})
{
    QStringList f(59);
    f[0] = QStringLiteral("HD");
    f[1] = QString::number(id);
    f[4] = call;
    f[5] = status;
    f[6] = QStringLiteral("HA");
    f[7] = granted;
    f[8] = QStringLiteral("01/01/2035");
    f[9] = cancelled;
    return UlsLine(f);
}

// "id:status:granted[:cancelled[:call]]" licences (of W1RNK unless a call is given), written as ULS files
// into folder.
void WriteLicences(const QString& folder, const QStringList& licences)
{
    QList<QByteArray> am, en, hd;
    for (const QString& l : licences) {
        const QStringList p = l.split(QLatin1Char(':'));
        const int id = p[0].toInt();
        const QString call = p.value(4, QStringLiteral("W1RNK"));
        hd << Licence(id, call, p[1], p[2], p.value(3));
        am << AmLine(id, call, QStringLiteral("E"));
        en << EnLine(id, call, QStringLiteral("HOLDER %1").arg(id), QStringLiteral("1 MAIN ST"),
                     QStringLiteral("HARTFORD"), QStringLiteral("CT"), QStringLiteral("06101"));
    }
    QVERIFY(QDir().mkpath(folder));
    WriteUlsFiles(folder, CrLf(am), CrLf(en), CrLf(hd));
}

} // namespace

class TestUlsDaily : public QObject
{
    Q_OBJECT

    CScratch m_data;
    CUlsDailySet m_set;
    CUlsDailySet m_nextWeek; // the week after: its Monday file replaces this week's
    QString m_weeklyDb;
    QString m_finalDb;
    std::unique_ptr<CHttpServer> m_server;
    std::unique_ptr<CScratch> m_scratch;
    int m_copies = 0;

    // The weekly's database, as the operator's own file.
    QString FreshDb()
    {
        const QString db = m_scratch->File(QStringLiteral("FCC97-%1.db").arg(++m_copies));
        if (!QFile::copy(m_weeklyDb, db))
            qFatal("cannot copy the weekly database");
        return db;
    }

    void Serve(const QString& fileName, const QString& zip)
    {
        ServeFile(*m_server, QStringLiteral("/daily/") + fileName, zip);
    }
    void ServeDays(const QStringList& names)
    {
        for (const QString& name : names)
            Serve(name, m_set.DailyZip(name));
    }

    UlsDaily::CUpdateResult Update(const QString& db, const QDate& lastDay, CProgress* progress = nullptr)
    {
        UlsDaily::CUpdateOptions options;
        options.dbPath = db;
        options.folder = m_scratch->File(QStringLiteral("dailies"));
        options.urlBase = m_server->Url(QStringLiteral("/daily/"));
        options.lastDay = lastDay;
        return UlsDaily::Update(options, progress);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString why;
        if (!m_set.Make(m_data.File(QStringLiteral("set")), 3000, 3, 0.01, {}, &why))
            QSKIP(qPrintable(why));
        QVERIFY2(m_nextWeek.Make(m_data.File(QStringLiteral("next")), 500, 1, 0.01,
                                 QStringLiteral("2025-06-08"), &why),
                 qPrintable(why));
        m_weeklyDb = m_data.File(QStringLiteral("weekly.db"));
        m_finalDb = m_data.File(QStringLiteral("final.db"));
        QCOMPARE(BuildFccDb(m_set.Weekly(), m_weeklyDb).state, CFccDbBuild::Succeeded);
        QCOMPARE(BuildFccDb(m_set.Final(), m_finalDb).state, CFccDbBuild::Succeeded);
        const CFccDbState weekly = FccDbState::ReadFile(m_weeklyDb);
        QCOMPARE(weekly.weeklyDate, m_set.WeeklyDate());
        QCOMPARE(weekly.appliedDate, m_set.WeeklyDate());
        QCOMPARE(weekly.DailyText(), QStringLiteral("None"));
    }

    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_server = std::make_unique<CHttpServer>();
    }
    void cleanup()
    {
        m_server.reset();
        m_scratch.reset();
    }

    void theWeeklyAndThreeDailiesEqualARebuildOfTheFinalPopulation()
    {
        const QString db = FreshDb();
        ServeDays(
            {QStringLiteral("l_am_mon.zip"), QStringLiteral("l_am_tue.zip"), QStringLiteral("l_am_wed.zip")});
        // One reader, open before the update and kept open, as the window keeps it.
        CFccDatabase reader;
        int differedBefore = 0;
        for (const QString& call : m_set.ChangedCalls()) {
            CFccDatabase final;
            differedBefore += Shown(reader, db, call) != Shown(final, m_finalDb, call) ? 1 : 0;
        }
        QVERIFY2(differedBefore > 50, "the days change what F7 shows");

        const UlsDaily::CUpdateResult r = Update(db, kWed);
        QCOMPARE(int(r.outcome), int(Outcome::Current));
        QCOMPARE(r.applied, (QList<QDate>{kMon, kTue, kWed}));
        QCOMPARE(r.state.appliedDate, kWed);
        QCOMPARE(r.state.appliedFile, QStringLiteral("l_am_wed.zip"));
        QCOMPARE(r.state.weeklyDate, m_set.WeeklyDate());
        QCOMPARE(FccDbState::ReadFile(db).DailyText(), QStringLiteral("2025-06-04 (l_am_wed.zip)"));

        const QStringList updated = FccRows(db);
        const QStringList rebuilt = FccRows(m_finalDb);
        QCOMPARE(updated.size(), rebuilt.size());
        for (qsizetype i = 0; i < updated.size(); ++i)
            QCOMPARE(updated[i], rebuilt[i]);
        CFccDatabase final;
        for (const QString& call : m_set.ChangedCalls())
            QCOMPARE(Shown(reader, db, call), Shown(final, m_finalDb, call));
    }

    void aDayAppliedTwiceChangesNothing()
    {
        const QString db = FreshDb();
        ServeDays({QStringLiteral("l_am_mon.zip")});
        QCOMPARE(Update(db, kMon).applied, QList<QDate>{kMon});
        const QStringList once = FccRows(db);

        const UlsDaily::CApplyStats again = UlsDaily::ApplyDay(
            db, m_data.File(QStringLiteral("set/daily/1-mon")), kMon, QStringLiteral("l_am_mon.zip"));
        QVERIFY(again.alreadyApplied);
        const UlsDaily::CUpdateResult rerun = Update(db, kMon);
        QCOMPARE(int(rerun.outcome), int(Outcome::Current));
        QVERIFY(rerun.applied.isEmpty());
        QCOMPARE(FccRows(db), once);
    }

    void daysGoInOnlyInOrder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("dropMeta");
        QTest::addColumn<QString>("refusal"); // empty: accepted as already applied
        QTest::newRow("Wednesday onto the weekly") << "3-wed" << kWed << false << "cannot follow it";
        QTest::newRow("a database that does not say which weekly it holds")
            << "1-mon" << kMon << true << "does not record which weekly";
        QTest::newRow("the weekly's own day") << "1-mon" << m_set.WeeklyDate() << false << "";
    }
    void daysGoInOnlyInOrder()
    {
        QFETCH(QString, folder);
        QFETCH(QDate, day);
        QFETCH(bool, dropMeta);
        QFETCH(QString, refusal);
        const QString db = FreshDb();
        if (dropMeta) {
            CDatabase w(db, CDatabase::ReadWrite);
            w.Execute(QStringLiteral("DROP TABLE meta"));
        }
        const QStringList before = FccRows(db);
        try {
            const UlsDaily::CApplyStats s = UlsDaily::ApplyDay(
                db, m_data.File(QStringLiteral("set/daily/") + folder), day, UlsDaily::FileName(day));
            QVERIFY2(refusal.isEmpty(), "the day was refused");
            QVERIFY(s.alreadyApplied);
        } catch (const UlsDaily::CGapException& e) {
            QVERIFY2(!refusal.isEmpty() && e.Message().contains(refusal), qPrintable(e.Message()));
            QVERIFY(e.Message().contains(QLatin1String("l_amat.zip")));
        }
        QCOMPARE(FccRows(db), before);
    }

    void aGapInTheChainIsRefused_data()
    {
        QTest::addColumn<QString>("tuesday"); // "missing", "page", or a file
        QTest::addColumn<QString>("monday");  // "this" or "next week"
        QTest::addColumn<bool>("dropMeta");
        QTest::addColumn<QDate>("holds");
        QTest::addColumn<QString>("message");
        QTest::newRow("a missing day before a published one")
            << "missing"
            << "this" << false << kMon << "l_am_tue.zip) is not published, but that of Wednesday";
        QTest::newRow("a web page for a day before a published one")
            << "page"
            << "this" << false << kMon << "l_am_tue.zip) is not published, but that of Wednesday";
        QTest::newRow("a day older than the rolling week")
            << "this"
            << "next week" << false << m_set.WeeklyDate()
            << "no longer published: l_am_mon.zip holds 2025-06-09";
        QTest::newRow("a database that does not say which weekly it holds")
            << "this"
            << "this" << true << QDate() << "does not record which weekly";
    }
    void aGapInTheChainIsRefused()
    {
        QFETCH(QString, tuesday);
        QFETCH(QString, monday);
        QFETCH(bool, dropMeta);
        QFETCH(QDate, holds);
        QFETCH(QString, message);
        const QString db = FreshDb();
        if (dropMeta) {
            CDatabase w(db, CDatabase::ReadWrite);
            w.Execute(QStringLiteral("DROP TABLE meta"));
        }
        Serve(QStringLiteral("l_am_mon.zip"), monday == QLatin1String("this")
                                                  ? m_set.DailyZip(QStringLiteral("l_am_mon.zip"))
                                                  : m_nextWeek.DailyZip(QStringLiteral("l_am_mon.zip")));
        if (tuesday == QLatin1String("this"))
            ServeDays({QStringLiteral("l_am_tue.zip")});
        else if (tuesday == QLatin1String("page"))
            m_server->Route(QStringLiteral("/daily/l_am_tue.zip"),
                            QJsonObject{{QStringLiteral("body"),
                                         QStringLiteral("<html><body>No such file</body></html>")}});
        ServeDays({QStringLiteral("l_am_wed.zip")});

        const UlsDaily::CUpdateResult r = Update(db, kWed);
        QCOMPARE(int(r.outcome), int(Outcome::NeedsRebuild));
        QVERIFY2(r.message.contains(message), qPrintable(r.message));
        QVERIFY(r.message.contains(QLatin1String("weekly archive")));
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, holds);
    }

    void aDailyNotOutYetIsNotPublished_data()
    {
        QTest::addColumn<QJsonObject>("route"); // what BASE/l_am_thu.zip answers; empty: 404
        QTest::addColumn<QString>("file");      // or this file
        const QJsonObject page{
            {QStringLiteral("body"), QStringLiteral("<!DOCTYPE html><html><body>Not found</body></html>")}};
        QTest::newRow("404") << QJsonObject() << QString();
        QTest::newRow("a web page") << page << QString();
        QTest::newRow("a redirect to a web page")
            << QJsonObject{{QStringLiteral("redirect"), QStringLiteral("/notfound.html")}} << QString();
        QTest::newRow("a redirect to nothing")
            << QJsonObject{{QStringLiteral("redirect"), QStringLiteral("/nowhere")}} << QString();
        QTest::newRow("an empty answer") << QJsonObject{{QStringLiteral("body"), QString()}} << QString();
        QTest::newRow("last week's file") << QJsonObject() << QStringLiteral("l_am_mon.zip");
    }
    void aDailyNotOutYetIsNotPublished()
    {
        QFETCH(QJsonObject, route);
        QFETCH(QString, file);
        const QString db = FreshDb();
        ServeDays(
            {QStringLiteral("l_am_mon.zip"), QStringLiteral("l_am_tue.zip"), QStringLiteral("l_am_wed.zip")});
        m_server->Route(
            QStringLiteral("/notfound.html"),
            QJsonObject{{QStringLiteral("body"), QStringLiteral("<html><body>Not found</body></html>")}});
        if (!route.isEmpty())
            m_server->Route(QStringLiteral("/daily/l_am_thu.zip"), route);
        if (!file.isEmpty())
            Serve(QStringLiteral("l_am_thu.zip"), m_set.DailyZip(file));

        const UlsDaily::CUpdateResult r = Update(db, kThu);
        QCOMPARE(int(r.outcome), int(Outcome::NotPublishedYet));
        QCOMPARE(r.applied, (QList<QDate>{kMon, kTue, kWed}));
        QCOMPARE(r.notPublishedDay, kThu);
        QVERIFY2(r.message.contains(QLatin1String("l_am_thu.zip) is not published yet")),
                 qPrintable(r.message));
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, kWed);
    }

    void aBrokenDailyFailsAndKeepsTheDaysBefore_data()
    {
        QTest::addColumn<QByteArray>("tuesday");
        QTest::addColumn<int>("kind");
        QTest::newRow("not a ZIP archive")
            << QByteArray("PK\x03\x04 this is cut off", 20) << int(CDownloadException::Rejected);
        QTest::newRow("binary noise") << QByteArray(4096, '\x7f') << int(CDownloadException::Rejected);
    }
    void aBrokenDailyFailsAndKeepsTheDaysBefore()
    {
        QFETCH(QByteArray, tuesday);
        QFETCH(int, kind);
        const QString db = FreshDb();
        ServeDays({QStringLiteral("l_am_mon.zip"), QStringLiteral("l_am_wed.zip")});
        WriteFile(m_scratch->File(QStringLiteral("broken.zip")), tuesday);
        Serve(QStringLiteral("l_am_tue.zip"), m_scratch->File(QStringLiteral("broken.zip")));
        try {
            Update(db, kWed);
            QFAIL("a broken file was taken");
        } catch (const CDownloadException& e) {
            QCOMPARE(int(e.GetKind()), kind);
        }
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, kMon);
    }

    // A daily that does not hold what it says is refused whole: the day stays to be applied.
    void aDamagedDailyIsRefused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("said");
        QTest::newRow("a second HD.dat in a sub-folder") << "twin"
                                                         << "holds HD.dat twice";
        QTest::newRow("HD.dat empty") << "empty"
                                      << "is damaged";
        QTest::newRow("HD.dat garbage") << "garbage"
                                        << "is damaged";
        QTest::newRow("HD.dat cut short") << "short"
                                          << "is damaged";
    }
    void aDamagedDailyIsRefused()
    {
        QFETCH(QString, damage);
        QFETCH(QString, said);
        // Tuesday's own files, one of them spoiled.
        CZipArchive real;
        real.OpenArchive(m_set.DailyZip(QStringLiteral("l_am_tue.zip")));
        QJsonArray entries;
        for (int i = 0; i < real.GetEntryCount(); ++i) {
            const CFileHeader& h = real.Header(i);
            QByteArray data(qsizetype(h.m_uncompressedSize), '\0');
            QVERIFY(real.OpenEntry(i));
            QCOMPARE(real.ReadEntry(data.data(), data.size()), qint64(data.size()));
            real.CloseEntry();
            const QString name = CZipArchive::SafeBaseName(h.m_fileName);
            if (name == QLatin1String("HD.dat")) {
                if (damage == QLatin1String("empty"))
                    data.clear();
                else if (damage == QLatin1String("garbage"))
                    data = QByteArray(data.size(), 'x');
                else if (damage == QLatin1String("short"))
                    data.truncate(data.lastIndexOf('\n', data.size() / 2) + 1);
                else
                    entries.append(QJsonObject{{"name", "sub/HD.dat"}, {"data", "garbage\r\n"}});
            }
            entries.append(QJsonObject{{"name", name}, {"data", QString::fromLatin1(data)}});
        }
        const QString zip =
            MakeZip({{"out", m_scratch->File(QStringLiteral("tue.zip"))}, {"entries", entries}});
        const QString db = FreshDb();
        ServeDays({QStringLiteral("l_am_mon.zip")});
        Serve(QStringLiteral("l_am_tue.zip"), zip);
        try {
            Update(db, kTue);
            QFAIL("a damaged daily was applied");
        } catch (const CLogwardenException& e) {
            QVERIFY2(e.Message().contains(said), qPrintable(e.Message()));
        }
        QCOMPARE(FccDbState::ReadFile(db).appliedDate, kMon);
    }

    void licencesRankTheSameAfterAnUpdateAsAfterARebuild_data()
    {
        QTest::addColumn<QStringList>("weekly");
        QTest::addColumn<QStringList>("daily");
        QTest::addColumn<int>("shown");
        QTest::newRow("an active licence granted by the day outranks the expired ones")
            << QStringList{"400:E:01/01/2015", "500:E:01/01/2010"} << QStringList{"450:A:06/01/2025"} << 450;
        QTest::newRow("no active licence: the latest grant, not the highest identifier")
            << QStringList{"400:E:01/01/2015", "500:A:01/01/2010"}
            << QStringList{"500:C:01/01/2010:06/01/2025"} << 400;
        QTest::newRow("the same grant date: the highest identifier")
            << QStringList{"400:E:01/01/2015"} << QStringList{"600:E:01/01/2015"} << 600;
        QTest::newRow("two active licences: the latest grant")
            << QStringList{"700:A:01/01/2020"} << QStringList{"650:A:06/01/2024"} << 650;
        QTest::newRow("a licence without a grant date ranks last")
            << QStringList{"400:E:01/01/2015"} << QStringList{"900:E:"} << 400;
    }
    void licencesRankTheSameAfterAnUpdateAsAfterARebuild()
    {
        QFETCH(QStringList, weekly);
        QFETCH(QStringList, daily);
        QFETCH(int, shown);
        const QString weeklyFolder = m_scratch->File(QStringLiteral("weekly"));
        WriteLicences(weeklyFolder, weekly);
        const QString db = m_scratch->File(QStringLiteral("updated.db"));
        QCOMPARE(BuildFccDb(weeklyFolder, db).state, CFccDbBuild::Succeeded);
        const QDate day = FccDbState::ReadFile(db).appliedDate.addDays(1);
        WriteLicences(m_scratch->File(QStringLiteral("day")), daily);
        QVERIFY(!UlsDaily::ApplyDay(db, m_scratch->File(QStringLiteral("day")), day, UlsDaily::FileName(day))
                     .alreadyApplied);

        // The final population: the weekly's licences with the day's in their place.
        QMap<int, QString> final;
        for (const QString& l : weekly + daily)
            final[l.section(QLatin1Char(':'), 0, 0).toInt()] = l;
        WriteLicences(m_scratch->File(QStringLiteral("final")), final.values());
        const QString rebuilt = m_scratch->File(QStringLiteral("rebuilt.db"));
        QCOMPARE(BuildFccDb(m_scratch->File(QStringLiteral("final")), rebuilt).state, CFccDbBuild::Succeeded);

        CFccDatabase fcc;
        const CFccLookupResult r = fcc.LookUp(db, QStringLiteral("W1RNK"));
        QCOMPARE(int(r.uniqueSystemIdentifier), shown);
        QCOMPARE(r.name, QStringLiteral("HOLDER %1").arg(shown));
        QCOMPARE(fcc.LicenceKey(db, QStringLiteral("W1RNK")).value_or(0), shown);
        CFccDatabase other;
        QCOMPARE(Shown(fcc, db, QStringLiteral("W1RNK")), Shown(other, rebuilt, QStringLiteral("W1RNK")));
    }

    void aLicenceThatChangesItsCallLeavesNothingUnderTheOldOne()
    {
        const QString weekly = m_scratch->File(QStringLiteral("weekly"));
        WriteLicences(weekly, {"300:A:01/01/2020::W1OLD", "301:A:01/01/2021::W1OLE"});
        const QString db = m_scratch->File(QStringLiteral("updated.db"));
        QCOMPARE(BuildFccDb(weekly, db).state, CFccDbBuild::Succeeded);
        const QDate day = FccDbState::ReadFile(db).appliedDate.addDays(1);
        WriteLicences(m_scratch->File(QStringLiteral("day")), {"300:A:01/01/2020::W1RNK"});
        QCOMPARE(UlsDaily::ApplyDay(db, m_scratch->File(QStringLiteral("day")), day, UlsDaily::FileName(day))
                     .licences,
                 qint64(1));
        CFccDatabase fcc;
        QVERIFY(!fcc.LookUp(db, QStringLiteral("W1OLD")).found);
        QCOMPARE(fcc.LookUp(db, QStringLiteral("W1RNK")).name, QStringLiteral("HOLDER 300"));
        QCOMPARE(fcc.LookUp(db, QStringLiteral("W1OLE")).name, QStringLiteral("HOLDER 301"));
        QCOMPARE(FccRows(db).filter(QStringLiteral("W1OLD")), QStringList());
    }

    void lookUpsGoOnWhileADayIsApplied()
    {
        const QString db = FreshDb();
        ServeDays(
            {QStringLiteral("l_am_mon.zip"), QStringLiteral("l_am_tue.zip"), QStringLiteral("l_am_wed.zip")});
        const QStringList calls = m_set.ChangedCalls().mid(0, 50);
        std::atomic<bool> done{false};
        UlsDaily::CUpdateResult result;
        std::thread update([&] {
            result = Update(db, kWed);
            done = true;
        });
        CFccDatabase fcc;
        int lookUps = 0;
        QStringList errors;
        while (!done || lookUps < 100) {
            try {
                fcc.LookUp(db, calls[lookUps % calls.size()]);
            } catch (const CLogwardenException& e) {
                errors << e.Message();
            }
            ++lookUps;
        }
        update.join();
        QCOMPARE(int(result.outcome), int(Outcome::Current));
        QCOMPARE(errors, QStringList());
        CFccDatabase final;
        for (const QString& call : calls)
            QCOMPARE(Shown(fcc, db, call), Shown(final, m_finalDb, call));
    }

    void theCreationDateOfACountsFile_data()
    {
        QTest::addColumn<QByteArray>("counts");
        QTest::addColumn<QDate>("date");
        QTest::newRow("a daily's")
            << QByteArray("File Creation Date: Tue Jun  3 06:02:11 EDT 2025\n        41 AM.dat\n")
            << QDate(2025, 6, 3);
        QTest::newRow("two-digit day, CR LF")
            << QByteArray("File Creation Date: Sun Dec 14 12:01:24 EST 2025\r\n") << QDate(2025, 12, 14);
        QTest::newRow("no such line") << QByteArray("        41 AM.dat\n") << QDate();
        QTest::newRow("an unknown month")
            << QByteArray("File Creation Date: Tue Juni  3 06:02:11 EDT 2025\n") << QDate();
        QTest::newRow("cut short") << QByteArray("File Creation Date: Tue Jun  3\n") << QDate();
    }
    void theCreationDateOfACountsFile()
    {
        QFETCH(QByteArray, counts);
        QTEST(UlsDaily::CreationDate(counts), "date");
    }
};

QTEST_GUILESS_MAIN(TestUlsDaily)
#include "tst_ulsdaily.moc"
