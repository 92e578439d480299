// The club web exchange's own work, without the network:
//   - the net-log page of a day of 300 check-ins (goal: median < 5 ms), against filling the same templates
//     by one replacement after another, the way the page used to be made;
//   - a pre-net page of 1,000 entries read and marked against a day of 300 check-ins (goal: median
//     < 10 ms), against marking each entry by walking the day's calls one by one.
//   bench_web [RUNS]
#include "core/db/Database.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"
#include "core/log/detail/LogwardenSet.h"
#include "core/web/PreNet.h"
#include "core/web/UploadLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QDate kDay(2024, 3, 7);

double Median(const std::function<void()>& work, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Letters rather than numbers: a page holding "404" anywhere counts as the server's error page.
QString Letters(int i)
{
    return QString(QChar(u'A' + i / 676 % 26)) + QChar(u'A' + i / 26 % 26) + QChar(u'A' + i % 26);
}

QString Call(int i)
{
    return QStringLiteral("W%1").arg(i % 10) + Letters(i);
}

// The page made the old way: each placeholder replaced in turn over the whole text.
QByteArray SequentialPage(const std::vector<CCheckinRecord>& records)
{
    QString rows;
    int n = 0;
    for (const CCheckinRecord& r : records) {
        QString row = CUploadLog::DefaultRowTemplate();
        row.replace(QLatin1String("RECORD"), QString::number(++n));
        row.replace(QLatin1String("CALL"), r.callSign);
        row.replace(QLatin1String("NAME"), r.name);
        row.replace(QLatin1String("LOCATION"), r.location);
        row.replace(QLatin1String("COMMENTS"), r.comment);
        rows += row;
    }
    QString page = CUploadLog::DefaultPageTemplate();
    page.replace(QLatin1String("DATE"), NetLog::DateText(kDay));
    page.replace(QLatin1String("RECORDENTRIESHERE"), rows);
    page.replace(QLatin1String("RECORDCOUNT"), QString::number(n));
    return page.toLatin1();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 200;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Logwarden-97.db"));
    {
        CDatabase db(path);
        LogSchema::Prepare(db);
        db.Execute(QStringLiteral("BEGIN"));
        CLogwardenSet set(&db);
        set.Open();
        for (int i = 0; i < 900; ++i) { // the day's 300 among the weeks around it
            set.AddNew();
            set.m_CallSign = Call(i);
            set.m_Name = QStringLiteral("Operator Number %1").arg(i);
            set.m_Location = QStringLiteral("Springfield, IL 6270%1").arg(i % 10);
            set.m_Comment = i % 3 ? QStringLiteral("mobile & wet <QSB>") : QString();
            set.m_HasComments = i % 4 == 0;
            set.m_Date = CDateTime(QDateTime(kDay.addDays(i % 3 - 1), QTime(19, 0).addSecs(i)));
            set.Update();
        }
        db.Execute(QStringLiteral("COMMIT"));
    }
    CDatabase log(path, CDatabase::ReadOnly);
    const std::vector<CCheckinRecord> day = LogQueries::DayCheckins(log, kDay);

    QByteArray page;
    const double fromRecords = Median([&] { page = NetLog::BuildPage(day, kDay, false).value(); }, runs);
    const double fromLog = Median([&] { page = NetLog::BuildPage(log, kDay, true).value(); }, runs);
    const double sequential = Median([&] { page = SequentialPage(day); }, runs);
    std::printf(
        "net-log page, %zu check-ins, %lld bytes: median %.3f ms from the records, %.3f ms with the query; "
        "goal < 5 ms: %s\n",
        day.size(), static_cast<long long>(page.size()), fromRecords, fromLog,
        fromLog < 5 ? "met" : "MISSED");
    std::printf("  peer, one replacement after another: %.3f ms; ratio %.2f\n", sequential,
                fromRecords / sequential);

    // 1,000 entries, one in three already in the log, in lower case as web forms send them.
    QByteArray items;
    for (int i = 0; i < 1000; ++i) {
        const QString call =
            i % 3 == 0 ? Call((3 * (i / 3) + 1) % 900).toLower() : QStringLiteral("K") + Letters(i);
        items +=
            QStringLiteral("<li>%1, First+Last%2, Springfield, IL</li>\n").arg(call, Letters(i)).toLatin1();
    }
    const QByteArray prenet = "<html><head><!--" + QByteArray(1400, '.') +
                              "--></head><body><form></form><ol>\n" + items + "</ol></body></html>";
    int marked = 0;
    const double ours = Median(
        [&] {
            CPreNetPage p = PreNet::ParsePage(prenet);
            PreNet::MarkLogged(p.entries, CCallSet::OfDay(log, kDay));
            marked = int(
                std::count_if(p.entries.begin(), p.entries.end(), [](const auto& e) { return e.logged; }));
        },
        runs);
    CPreNetPage parts;
    CCallSet set;
    const double parse = Median([&] { parts = PreNet::ParsePage(prenet); }, runs);
    const double query = Median([&] { set = CCallSet::OfDay(log, kDay); }, runs);
    const double mark = Median([&] { PreNet::MarkLogged(parts.entries, set); }, runs);
    int peerMarked = 0;
    const double peer = Median(
        [&] {
            CPreNetPage p = PreNet::ParsePage(prenet);
            const std::vector<CCheckinRecord> rows = LogQueries::DayCheckins(log, kDay);
            peerMarked = 0;
            for (CPreNetEntry& e : p.entries) {
                for (const CCheckinRecord& r : rows) {
                    if (r.callSign.compare(e.call.trimmed(), Qt::CaseInsensitive) == 0) {
                        e.logged = true;
                        break;
                    }
                }
                peerMarked += e.logged ? 1 : 0;
            }
        },
        runs);
    std::printf(
        "pre-net page, 1000 entries against a day of %zu: median %.3f ms (%d marked), query included; "
        "goal < 10 ms: %s\n",
        day.size(), ours, marked, ours < 10 ? "met" : "MISSED");
    std::printf("  of which: reading the page %.3f ms, the day's calls %.3f ms, marking %.3f ms\n", parse,
                query, mark);
    std::printf("  peer, each entry against the day's rows one by one: %.3f ms (%d marked); ratio %.2f\n",
                peer, peerMarked, ours / peer);
    return marked == peerMarked ? 0 : 1;
}
