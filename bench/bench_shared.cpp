// The shared club log's figures against a real PostgreSQL server started for the run (see bench_shared.sh).
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "core/shared/SyncEngine.h"
#include "support/PgServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// F5 as the window meets it: the key waits its turn in the event queue (behind whatever the store is
// applying), then the check-in is written. Returns the milliseconds from the key to the written row.
double TimedF5(CCheckinForm& form, int i)
{
    CCheckinRecord entry;
    entry.callSign = QStringLiteral("F%1").arg(i, 5, 10, QLatin1Char('0'));
    entry.name = QStringLiteral("Name %1").arg(i);
    QElapsedTimer t;
    t.start();
    double ms = -1;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            form.SetEntry(entry);
            form.Add();
            ms = double(t.nsecsElapsed()) / 1e6;
        },
        Qt::QueuedConnection);
    while (ms < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return ms;
}

// An ADIF file of n contacts, each with a station of its own.
void WriteAdif(const QString& path, int n)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (int i = 0; i < n; ++i) {
        const QByteArray call = "K" + QByteArray::number(i);
        file.write("<CALL:" + QByteArray::number(call.size()) + '>' + call + "<QSO_DATE:8>" +
                   QByteArray::number(20250101 + (i / 500) % 28) + "<TIME_ON:6>" +
                   QByteArray::number(100000 + (i % 500) / 60 * 10000 + (i % 500) % 60 * 100) +
                   "<NAME:5>Op NN<BAND:2>2m<MODE:2>FM<EOR>\n");
    }
}

bool Report(const char* what, const std::vector<double>& times, double p99Goal, double maxGoal)
{
    const double p99 = Percentile(times, 0.99);
    const double max = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    const bool pass = !times.empty() && p99 < p99Goal && max < maxGoal;
    std::printf(
        "%s: %zu check-ins, median %.2f ms, p99 %.2f ms, max %.2f ms (goal p99 < %.0f ms, max < %.0f ms) "
        "%s\n",
        what, times.size(), Percentile(times, 0.5), p99, max, p99Goal, maxGoal, pass ? "PASS" : "FAIL");
    return pass;
}

struct COperator
{
    COperator(const QString& path, const QString& conninfo, const QString& call) : db(path), store(db)
    {
        LogSchema::Prepare(db);
        store.ShareWith(QStringLiteral("Bench Net"), call);
        engine = std::make_unique<CSyncEngine>(
            store,
            CSharedLogOptions{conninfo, QString(), QStringLiteral("Bench Net"), call, QString(), true});
    }
    CDatabase db;
    CCheckinStore store;
    std::unique_ptr<CSyncEngine> engine;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_shared LOGWARDEN_CLI\n");
        return 2;
    }
    const QString cli = QString::fromLocal8Bit(argv[1]);
    TestSupport::CPgServer server;
    if (!server.Error().isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(server.Error()));
        return 0;
    }
    {
        CPgConnection owner(server.ConnInfo(), QString(), QStringLiteral("bench"));
        SharedServer::Init(owner);
    }
    QTemporaryDir dir;
    bool ok = true;

    // 1. A check-in added in A, seen in B: one every 20 ms, as a busy team logs.
    {
        COperator a(dir.filePath(QStringLiteral("a.db")), server.ConnInfo(), QStringLiteral("N4NCS"));
        COperator b(dir.filePath(QStringLiteral("b.db")), server.ConnInfo(), QStringLiteral("K4LOG"));
        QHash<QString, qint64> sent;
        std::vector<double> latency;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&b.store, &CCheckinStore::checkinAdded, [&](const CCheckinRecord& r) {
            if (sent.contains(r.callSign))
                latency.push_back(double(clock.nsecsElapsed() - sent.value(r.callSign)) / 1e6);
        });
        a.engine->Start();
        b.engine->Start();
        Wait(500);
        for (int i = 0; i < 1000; ++i) {
            CCheckinRecord r;
            r.callSign = QStringLiteral("K%1").arg(i, 4, 10, QLatin1Char('0'));
            r.date = CDateTime(QDate(2026, 12, 8), QTime(19, 0));
            sent.insert(r.callSign, clock.nsecsElapsed());
            a.store.Add(r);
            Wait(20);
        }
        QElapsedTimer tail;
        tail.start();
        while (latency.size() < 1000 && tail.elapsed() < 30000)
            Wait(20);
        const double p50 = Percentile(latency, 0.5), p99 = Percentile(latency, 0.99);
        const bool pass = latency.size() == 1000 && p99 < 250;
        ok &= pass;
        std::printf("A to B: %zu of 1000 arrived, p50 %.1f ms, p99 %.1f ms (goal p99 < 250 ms) %s\n",
                    latency.size(), p50, p99, pass ? "PASS" : "FAIL");
    }

    // 2. F5 with the shared log on, the server up and then stopped.
    for (const bool up : {true, false}) {
        COperator a(dir.filePath(up ? QStringLiteral("f5up.db") : QStringLiteral("f5down.db")),
                    server.ConnInfo(), QStringLiteral("N4NCS"));
        a.engine->Start();
        if (!up)
            server.Stop(true);
        Wait(300);
        CFixedClock fixed(QDateTime(QDate(2026, 12, 8), QTime(19, 0)));
        CCheckinForm form(a.store, fixed);
        form.SelectDay(QDate(2026, 12, 8));
        std::vector<double> times;
        for (int i = 0; i < 300; ++i) {
            CCheckinRecord entry;
            entry.callSign = QStringLiteral("W%1").arg(i, 4, 10, QLatin1Char('0'));
            entry.name = QStringLiteral("Name %1").arg(i);
            form.SetEntry(entry);
            QElapsedTimer t;
            t.start();
            form.Add();
            times.push_back(double(t.nsecsElapsed()) / 1e6);
            QCoreApplication::processEvents();
        }
        a.engine->Stop(false);
        if (!up)
            server.Start();
        const double median = Percentile(times, 0.5);
        const bool pass = median < 5;
        ok &= pass;
        std::printf("F5 with the server %s: median %.2f ms, p99 %.2f ms (goal median < 5 ms) %s\n",
                    up ? "up" : "stopped", median, Percentile(times, 0.99), pass ? "PASS" : "FAIL");
    }

    // 3. A resync of a 10,000-check-in net into an empty log.
    {
        server.Exec(QStringLiteral("INSERT INTO checkin (uuid, net_id, call_sign, name, checked_in_at, "
                                   "logged_by) SELECT gen_random_uuid(),"
                                   " (SELECT id FROM net WHERE name = 'Bench Net'), 'R' || g, 'Name ' || g, "
                                   "now() - g * interval '1 hour',"
                                   " 'N4NCS' FROM generate_series(1, 10000) g"));
        COperator c(dir.filePath(QStringLiteral("c.db")), server.ConnInfo(), QStringLiteral("W9NEW"));
        QElapsedTimer t;
        t.start();
        c.engine->SyncOnce();
        const double seconds = double(t.elapsed()) / 1000;
        const bool pass = seconds < 2 && c.engine->Pulled() >= 10000;
        ok &= pass;
        std::printf("Resync of a 10,000-check-in net: %lld pulled in %.2f s (goal < 2 s) %s\n",
                    static_cast<long long>(c.engine->Pulled()), seconds, pass ? "PASS" : "FAIL");
    }

    // 4. F5 through the window's store while another program imports 100,000 records into the log.
    {
        const QString adif = dir.filePath(QStringLiteral("big.adi"));
        WriteAdif(adif, 100000);
        COperator a(dir.filePath(QStringLiteral("import.db")), server.ConnInfo(), QStringLiteral("N4NCS"));
        a.engine->Start();
        const CSystemClock clock;
        CCheckinForm form(a.store, clock);
        QProcess import;
        import.start(cli, {QStringLiteral("adif-import"), QStringLiteral("--log"), a.db.GetPath(),
                           QStringLiteral("--in"), adif});
        import.waitForStarted();
        std::vector<double> times;
        for (int i = 0; import.state() != QProcess::NotRunning; ++i) {
            times.push_back(TimedF5(form, i));
            Wait(20);
        }
        a.engine->Stop(false);
        ok &= Report("F5 during a 100,000-record import by another program", times, 20, 100) &&
              import.exitCode() == 0;
    }

    // 5. F5 while the engine pulls a 10,000-check-in net into the log (the resync of step 3, in the window).
    {
        COperator d(dir.filePath(QStringLiteral("resync.db")), server.ConnInfo(), QStringLiteral("W9TWO"));
        const CSystemClock clock;
        CCheckinForm form(d.store, clock);
        d.engine->Start();
        std::vector<double> times;
        QElapsedTimer t;
        t.start();
        for (int i = 0; d.engine->Pulled() < 10000 && t.elapsed() < 60000; ++i) {
            times.push_back(TimedF5(form, i));
            Wait(20);
        }
        d.engine->Stop(false);
        ok &= Report("F5 during a resync of 10,000 check-ins", times, 20, 100);
    }

    // 6. `add` (the whole command, its start included) beside `sync --follow` on the same log.
    {
        const QString log = dir.filePath(QStringLiteral("follow.db"));
        const QStringList sync{QStringLiteral("sync"),
                               QStringLiteral("--log"),
                               log,
                               QStringLiteral("--db"),
                               server.ConnInfo(),
                               QStringLiteral("--net"),
                               QStringLiteral("Bench Net"),
                               QStringLiteral("--operator"),
                               QStringLiteral("N4NCS")};
        QProcess::execute(cli, sync + QStringList{QStringLiteral("--once")});
        QProcess follow;
        follow.start(cli, sync + QStringList{QStringLiteral("--follow")});
        follow.waitForStarted();
        std::vector<double> times;
        int failed = 0;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer t;
            t.start();
            QProcess add;
            add.start(cli, {QStringLiteral("add"), QStringLiteral("--log"), log, QStringLiteral("--call"),
                            QStringLiteral("A%1").arg(i)});
            add.waitForFinished(30000);
            failed += add.exitCode() != 0;
            times.push_back(double(t.nsecsElapsed()) / 1e6);
            Wait(10);
        }
        follow.terminate();
        follow.waitForFinished(30000);
        ok &= Report("add beside sync --follow", times, 100, 1000) && failed == 0;
        if (failed > 0)
            std::printf("  %d of 200 adds failed\n", failed);
    }
    return ok ? 0 : 1;
}
