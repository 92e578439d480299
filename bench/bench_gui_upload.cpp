// F5 in auto mode against a club server that takes two seconds to answer, through the real window
// (offscreen): how long F5 takes (goal: median < 5 ms) and the longest stall of the window's event loop
// while the uploads run (goal: < 50 ms), measured together in one run. The peer is the upload made the old
// way, on the window's thread, against the same server: what F5 used to cost.
//
//   bench_gui_upload HTTP_SERVER_SCRIPT [F5_COUNT]
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/web/NetLogUploader.h"
#include "core/web/UploadLog.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/log/LogwardenView.h"
#include "gui/web/NetLogPublisher.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kServerDelayMs = 2000;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs the event loop for ms milliseconds.
void Spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The longest gap between two ticks of a 1 ms timer: how long the event loop was held up at a time.
class CStallMeter : public QObject
{
public:
    CStallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_longest = std::max(m_longest, double(now - m_last) / 1e6);
            m_last = now;
        });
    }
    void Start()
    {
        m_clock.start();
        m_last = -1;
        m_longest = 0;
        m_timer.start();
    }
    // F5's own time is measured apart: the gap that holds it is not counted.
    void Skip() { m_last = -1; }
    double Stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    double m_longest = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_upload HTTP_SERVER_SCRIPT [F5_COUNT]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(2, std::atoi(argv[2])) : 40;
    QTemporaryDir dir;

    // The test server, answering the upload script after two seconds.
    QFile routes(dir.filePath(QStringLiteral("routes.json")));
    if (!routes.open(QIODevice::WriteOnly))
        return 2;
    routes.write("{\"/cgi-bin/netlog.cgi\": {\"delay_ms\": " + QByteArray::number(kServerDelayMs) +
                 ", \"body\": \"stored\"}}");
    routes.close();
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"), {QString::fromLocal8Bit(argv[1]), dir.path()});
    if (!server.waitForStarted() || !server.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the test server did not start\n");
        return 2;
    }
    const QByteArray first = server.readLine().trimmed();
    if (!first.startsWith("PORT ")) {
        std::fprintf(stderr, "the test server said: %s\n", first.constData());
        return 2;
    }
    const QString host = QStringLiteral("127.0.0.1:") + QString::fromLatin1(first.mid(5));

    CSettings settings(dir.filePath(QStringLiteral("Logwarden.ini")), dir.path());
    settings.Set(Setting::NetLogServer, host);
    CFixedClock clock(QDateTime(QDate(2024, 3, 7), QTime(19, 30)));
    CLogwardenDoc doc(settings, clock);
    doc.OpenLog(dir.filePath(QStringLiteral("Logwarden-97.db")));
    CMainFrame frame(doc);
    frame.show();
    QApplication::processEvents();
    CNetLogPublisher& publisher = *frame.findChild<CNetLogPublisher*>();
    QLineEdit* call = frame.FormView()->CallSignBox();
    QAction* f5 = frame.Commands().fileNew;
    int uploads = 0, good = 0;
    QObject::connect(&publisher, &CNetLogPublisher::uploadFinished, [&](bool ok) {
        ++uploads;
        good += ok ? 1 : 0;
    });
    CStallMeter meter;
    int n = 0;
    auto pressF5 = [&] {
        call->setText(QStringLiteral("W%1ABC").arg(n++, 4, 10, QLatin1Char('0')));
        QElapsedTimer t;
        t.start();
        f5->trigger();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        meter.Skip();
        return ms;
    };
    auto waitIdle = [&] {
        while (publisher.Uploader().IsBusy())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    };

    // What every F5 pays before anything else: the durable commit of one check-in, on a log of its own,
    // measured at the same moments as F5 so that both see the same load on the machine.
    CDatabase commitLog(dir.filePath(QStringLiteral("commit-only.db")));
    LogSchema::Prepare(commitLog);
    CCheckinStore commitStore(commitLog);
    auto commitAlone = [&] {
        CCheckinRecord r;
        r.callSign = QStringLiteral("K%1XY").arg(n);
        r.date = CDateTime(QDate(2024, 3, 7), QTime(19, 30));
        QElapsedTimer c;
        c.start();
        commitStore.Add(r);
        const double ms = double(c.nsecsElapsed()) / 1e6;
        meter.Skip();
        return ms;
    };

    // A net in full swing: a check-in every 150 ms. First with no upload anywhere; then with uploads of
    // two seconds running back to back, every other F5 in auto mode (the others show what F5 costs at the
    // same moments without it).
    std::vector<double> quiet, quietCommit, autoF5, plainF5, busyCommit, starting;
    meter.Start();
    for (int i = 0; i < count; ++i) {
        quiet.push_back(pressF5());
        quietCommit.push_back(commitAlone());
        Spin(150);
    }
    const double stallQuiet = meter.Stop();
    meter.Start();
    for (int i = 0; i < count; ++i) {
        publisher.AutoModeBox()->setChecked(i % 2 == 0);
        (i % 2 == 0 ? autoF5 : plainF5).push_back(pressF5());
        busyCommit.push_back(commitAlone());
        Spin(150);
    }
    publisher.AutoModeBox()->setChecked(true);
    waitIdle();
    const double stallBusy = meter.Stop();
    // Check-ins that each start an upload (the server idle when F5 comes).
    meter.Start();
    for (int i = 0; i < 3; ++i) {
        starting.push_back(pressF5());
        waitIdle();
    }
    const double stallStarting = meter.Stop();
    // The uploads alone ("OSTRA", no check-ins meanwhile), and the loop with nothing to do, for reference.
    meter.Start();
    for (int i = 0; i < 3; ++i) {
        publisher.OnOstra();
        waitIdle();
    }
    const double stallOstra = meter.Stop();
    meter.Start();
    Spin(2 * kServerDelayMs);
    const double stallIdle = meter.Stop();
    const double stall = std::max({stallBusy, stallStarting, stallOstra});

    // The peer: the same upload on the window's thread, as it used to be made.
    CWebRequest request(CWebOptions::FromSettings(settings));
    NetLog::ConfigureUpload(request, host);
    QElapsedTimer t;
    t.start();
    const NetLog::CResult blocking =
        NetLog::Publish(doc.LogReader(), QDate(2024, 3, 7), false, dir.path(), request);
    const double blockingMs = double(t.nsecsElapsed()) / 1e6;

    std::vector<double> all = autoF5;
    all.insert(all.end(), starting.begin(), starting.end());
    const double median = Median(all);
    const bool f5ok = median < 5.0, stallOk = stall < 50.0;
    auto max = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("%d check-ins, server answering after %d ms: %d uploads (%d good)\n", n, kServerDelayMs,
                uploads, good);
    std::printf("F5 in auto mode, uploads running       median %7.3f ms   max %7.3f ms\n", Median(autoF5),
                max(autoF5));
    std::printf("F5 in auto mode, starting an upload    median %7.3f ms   max %7.3f ms\n", Median(starting),
                max(starting));
    std::printf("F5 in auto mode, all                   median %7.3f ms   %s\n", median,
                f5ok ? "(goal < 5 ms: met)" : "(goal < 5 ms: MISSED)");
    std::printf(
        "  same moments: F5 without auto mode   median %7.3f ms; durable commit alone median %7.3f ms\n",
        Median(plainF5), Median(busyCommit));
    std::printf(
        "  no upload anywhere: F5               median %7.3f ms; durable commit alone median %7.3f ms\n",
        Median(quiet), Median(quietCommit));
    std::printf("longest event-loop stall besides F5 itself, uploads running: %7.3f ms   %s\n", stall,
                stallOk ? "(goal < 50 ms: met)" : "(goal < 50 ms: MISSED)");
    std::printf("  (check-ins with uploads %.3f, starting uploads %.3f, uploads alone %.3f; no upload "
                "anywhere %.3f, idle loop %.3f)\n",
                stallBusy, stallStarting, stallOstra, stallQuiet, stallIdle);
    std::printf("peer: the upload on the window's thread %9.3f ms (%s); F5 in auto mode / peer = %.5f\n",
                blockingMs, blocking.ok ? "ok" : qPrintable(blocking.message), median / blockingMs);
    server.closeWriteChannel();
    server.waitForFinished(3000);
    return f5ok && stallOk && good == uploads && uploads > 0 ? 0 : 1;
}
