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
#include <QHash>
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
    return ok ? 0 : 1;
}
