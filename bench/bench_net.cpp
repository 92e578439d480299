// Timings of the net aids on a large log: the regulars not yet heard, the net's summary and the year's
// chart data, each beside the plain SQL that counts the same thing (the peer), on the same connection.
//
//   bench_net LOG.db [runs]
#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/LogSchema.h"
#include "core/net/NetRegulars.h"
#include "core/net/NetStatistics.h"
#include "core/net/NetSummary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The median of the runs' wall-clock times; cpu gets the median of their processor times (the wall clock
// of a machine whose cores are shared also counts the waits for a core).
double Median(int runs, const std::function<void()>& step, double* cpu = nullptr)
{
    std::vector<double> ms, cpuMs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double c0 = CpuMs();
        t.start();
        step();
        ms.push_back(t.nsecsElapsed() / 1e6);
        cpuMs.push_back(CpuMs() - c0);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    if (cpu)
        *cpu = cpuMs[cpuMs.size() / 2];
    return ms[ms.size() / 2];
}

std::string Midnight(const QDate& d)
{
    return CDateTime(d, QTime(0, 0)).ToStorage().toStdString();
}

int SqlCount(CDatabase& db, const std::string& sql, const std::vector<std::string>& binds)
{
    SQLite::Statement stmt(db.Handle(), sql);
    for (size_t i = 0; i < binds.size(); ++i)
        stmt.bind(int(i + 1), binds[i]);
    int rows = 0;
    while (stmt.executeStep())
        ++rows;
    return rows;
}

bool Report(const char* what, double ours, double cpu, double peer, double goal)
{
    const bool ok = ours < goal;
    std::printf("%-30s %8.3f ms (cpu %7.3f ms)   plain SQL %8.3f ms   ratio %5.2f   %s (goal < %.0f ms)\n",
                what, ours, cpu, peer, ours / std::max(peer, 1e-6), ok ? "met" : "MISSED", goal);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_net LOG.db [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    CDatabase db(QString::fromLocal8Bit(argv[1]), CDatabase::ReadWrite);
    LogSchema::Prepare(db);
    const QDate day =
        CDateTime::FromStorage(
            QString::fromUtf8(db.Handle().execAndGet("SELECT max(\"Date\") FROM LogwardenTab").getText()),
            false)
            .Date();
    std::printf("log: %s, newest net %s\n", argv[1], qPrintable(day.toString(Qt::ISODate)));
    bool ok = true;

    size_t missing = 0;
    double cpu = 0;
    const double regulars = Median(
        runs, [&] { missing = NetRegulars::Missing(db, day).size(); }, &cpu);
    const QList<QDate> nets = NetRegulars::PreviousNets(db, day, 4);
    std::vector<std::string> binds;
    std::string where;
    for (const QDate& n : nets) {
        where += std::string(where.empty() ? "" : " OR ") + "(\"Date\" >= ? AND \"Date\" < ?)";
        binds.push_back(Midnight(n));
        binds.push_back(Midnight(n.addDays(1)));
    }
    const std::string regularsSql = "SELECT upper(CallSign) FROM LogwardenTab WHERE " +
                                    (where.empty() ? "0" : where) +
                                    " GROUP BY 1 HAVING count(DISTINCT substr(\"Date\", 1, 10)) >= 2";
    const double regularsPeer = Median(runs, [&] { SqlCount(db, regularsSql, binds); });
    std::printf("  %zu regulars missing of the last %lld nets\n", missing,
                static_cast<long long>(nets.size()));
    ok = Report("regulars not yet heard", regulars, cpu, regularsPeer, 20) && ok;

    const double summary = Median(
        runs, [&] { NetSummary::Summarize(db, day); }, &cpu);
    const std::vector<std::string> dayBinds{Midnight(day), Midnight(day.addDays(1)), Midnight(day)};
    const double summaryPeer = Median(runs, [&] {
        SqlCount(
            db,
            "SELECT count(*), sum(HasTraffic), sum(Acknowledged) FROM LogwardenTab WHERE \"Date\" >= ?1 AND "
            "\"Date\" < ?2",
            {dayBinds[0], dayBinds[1]});
        SqlCount(db,
                 "SELECT DISTINCT a.CallSign FROM LogwardenTab a WHERE a.\"Date\" >= ?1 AND a.\"Date\" < ?2 "
                 "AND NOT "
                 "EXISTS (SELECT 1 FROM LogwardenTab b WHERE b.CallSign = a.CallSign AND b.\"Date\" < ?3)",
                 dayBinds);
        SqlCount(db, regularsSql, binds);
    });
    ok = Report("net summary", summary, cpu, summaryPeer, 20) && ok;

    qsizetype netCount = 0;
    const double year = Median(
        std::max(1, runs / 2), [&] { netCount = NetStatistics::Year(db, day).nets.size(); }, &cpu);
    // The same counts in SQL: the stations of each net, and each station's first net of the year.
    const std::vector<std::string> yearBinds{Midnight(day.addYears(-1).addDays(1)), Midnight(day.addDays(1))};
    const double yearPeer = Median(std::max(1, runs / 2), [&] {
        SqlCount(
            db,
            "SELECT d, count(*) FROM (SELECT upper(CallSign) c, substr(\"Date\", 1, 10) d FROM LogwardenTab "
            "WHERE \"Date\" >= ?1 AND \"Date\" < ?2 GROUP BY c, d) GROUP BY d",
            yearBinds);
        SqlCount(
            db,
            "SELECT upper(CallSign), min(\"Date\") FROM LogwardenTab WHERE \"Date\" >= ?1 AND \"Date\" < ?2 "
            "GROUP BY 1",
            yearBinds);
    });
    std::printf("  %lld nets in the year\n", static_cast<long long>(netCount));
    ok = Report("year chart (new vs returning)", year, cpu, yearPeer, 100) && ok;
    return ok ? 0 : 1;
}
