// Latency of the local look-up (what F7 does) while another program writes the FCC database, as the
// window looks up while a daily file is applied: starts the command, looks up call signs until it ends,
// and prints the latencies of the look-ups made meanwhile (wall and processor time), how often one found
// the database locked, and the command's own time. With "sleep N" as the command it measures the same
// look-ups on a quiet database, the figure to compare with.
//   bench_lookup_during FCC97.db CALLS_FILE PAUSE_US -- COMMAND ARGS...
// CALLS_FILE: a ULS EN.dat (the day's file: the licences being replaced); its call signs alternate with
// call signs read from the database. PAUSE_US between look-ups (0: back to back).
#include "core/db/Database.h"
#include "core/fcc/FccLookup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <thread>
#include <time.h>
#include <vector>

namespace {

// Counts the times a look-up found the database locked, then waits as SQLite's own handler does.
int g_busy = 0;
int OnBusy(void*, int tries)
{
    ++g_busy;
    sqlite3_sleep(tries < 10 ? 1 : 10);
    return tries < 5000;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int dashes = 0;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--")
            dashes = i;
    if (dashes != 4 || argc < 6) {
        std::fprintf(stderr, "usage: bench_lookup_during FCC97.db CALLS_FILE PAUSE_US -- COMMAND ARGS...\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int pause = std::atoi(argv[3]);

    std::vector<QString> changed;
    {
        QFile en(QString::fromLocal8Bit(argv[2]));
        if (!en.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
        while (!en.atEnd()) {
            const QList<QByteArray> f = en.readLine().split('|');
            if (f.size() > 4 && !f[4].isEmpty())
                changed.push_back(QString::fromLatin1(f[4]));
        }
    }
    std::vector<QString> calls;
    {
        SQLite::Database db(argv[1], SQLite::OPEN_READONLY);
        const int64_t rows = db.execAndGet("SELECT max(rowid) FROM EN").getInt64();
        std::mt19937_64 random(1);
        SQLite::Statement q(db, "SELECT CallSign FROM EN WHERE rowid >= ? LIMIT 1");
        for (size_t i = 0; calls.size() < 2 * changed.size(); ++i) {
            calls.push_back(changed[i % changed.size()]);
            q.bind(1, static_cast<int64_t>(random() % static_cast<uint64_t>(rows)) + 1);
            if (q.executeStep())
                calls.push_back(QString::fromUtf8(q.getColumn(0).getText()));
            q.reset();
        }
    }

    CFccDatabase fcc;
    for (int i = 0; i < 50; ++i) // warm up as a running program would be
        fcc.LookUp(path, calls[static_cast<size_t>(i) % calls.size()]);
    sqlite3_busy_handler(fcc.Connection(path).Handle().getHandle(), &OnBusy, nullptr);

    QStringList args;
    for (int i = dashes + 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QProcess command;
    command.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    command.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer took;
    took.start();
    command.start(QString::fromLocal8Bit(argv[dashes + 1]), args);
    if (!command.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s\n", argv[dashes + 1]);
        return 1;
    }
    std::vector<double> wall, cpu;
    int failed = 0;
    size_t next = 0;
    while (command.state() != QProcess::NotRunning) {
        if (pause)
            std::this_thread::sleep_for(std::chrono::microseconds(pause));
        timespec c0, c1;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        QElapsedTimer timer;
        timer.start();
        try {
            fcc.LookUp(path, calls[next++ % calls.size()]);
        } catch (const std::exception& e) {
            if (++failed <= 3)
                std::fprintf(stderr, "look-up failed: %s\n", e.what());
        }
        wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        cpu.push_back(static_cast<double>(c1.tv_sec - c0.tv_sec) * 1e3 +
                      static_cast<double>(c1.tv_nsec - c0.tv_nsec) / 1e6);
        command.waitForFinished(0);
    }
    const double seconds = static_cast<double>(took.nsecsElapsed()) / 1e9;
    if (command.exitStatus() != QProcess::NormalExit || command.exitCode() != 0) {
        std::fprintf(stderr, "the command failed (exit %d)\n", command.exitCode());
        return 1;
    }
    if (wall.empty()) {
        std::fprintf(stderr, "no look-up ran while the command ran\n");
        return 1;
    }
    const auto percentile = [](std::vector<double> v, double q) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
    };
    const double p99 = percentile(wall, 0.99);
    const double cpuP99 = percentile(cpu, 0.99);
    std::printf("command %.2f s; %zu look-ups meanwhile (%d failed, %d found the database locked)\n", seconds,
                wall.size(), failed, g_busy);
    std::printf("wall ms: p50 %.3f  p99 %.3f  max %.3f; cpu ms: p50 %.3f  p99 %.3f  max %.3f\n",
                percentile(wall, 0.5), p99, percentile(wall, 1.0), percentile(cpu, 0.5), cpuP99,
                percentile(cpu, 1.0));
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    std::printf(
        "p99 %.3f ms wall, %.3f ms cpu (load average %.1f on %d processors)\n", p99, cpuP99, load,
        std::thread::hardware_concurrency() > 0 ? static_cast<int>(std::thread::hardware_concurrency()) : 1);
    return 0;
}
