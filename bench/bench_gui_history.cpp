// The history dialog on a large log, through the real widgets (offscreen): opening the see-all list
// (count, first page and first paint), scrolling to its end, and the history of the busiest station,
// against reading every check-in up front the way a list filled row by row would.
//
//   bench_gui_history LOG.db [runs]
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/CheckinQuery.h"
#include "gui/log/HistoryDlg.h"
#include "gui/log/HistoryModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& step)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        step();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about window hints are of no interest here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg || !text.contains(QLatin1String("does not support")))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_history LOG.db [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    QTemporaryDir dir;
    CSettings settings(dir.filePath(QStringLiteral("Logwarden.ini")), dir.path());
    CDatabase db(QString::fromLocal8Bit(argv[1]), CDatabase::ReadOnly);
    const long total = CheckinQuery::Count(db, {});
    const QString busiest = QString::fromStdString(
        db.Handle()
            .execAndGet("SELECT CallSign FROM LogwardenTab GROUP BY CallSign ORDER BY count(*) DESC LIMIT 1")
            .getString());
    std::printf("log: %ld check-ins; busiest station %s; %d runs each\n", total, qPrintable(busiest), runs);

    int pages = 0;
    const double seeAll = MedianMs(runs, [&] {
        CHistoryDlg dlg(db, settings, busiest);
        dlg.show();
        dlg.SeeAllButton()->click();    // the fill of the whole log, as the button does it
        dlg.List()->viewport()->grab(); // paints the visible rows
        pages = dlg.Model()->PagesRead();
        if (dlg.RecordCount() != total)
            std::fprintf(stderr, "wrong count %ld\n", dlg.RecordCount());
    });
    std::printf("%-52s median %8.2f ms  (pages read: %d)\n", "open see-all list (count + first page + paint)",
                seeAll, pages);

    CHistoryDlg dlg(db, settings, busiest);
    dlg.show();
    dlg.SeeAllButton()->click();
    const double toEnd = MedianMs(runs, [&] {
        dlg.List()->scrollToBottom();
        dlg.List()->viewport()->grab();
        dlg.List()->scrollToTop();
        dlg.List()->viewport()->grab();
    });
    std::printf("%-52s median %8.2f ms  (pages read: %d)\n", "scroll to the end and back (with paint)", toEnd,
                dlg.Model()->PagesRead());

    long rows = 0;
    const double one = MedianMs(runs, [&] {
        CHistoryDlg d(db, settings, busiest);
        d.show();
        d.Fill();
        d.List()->viewport()->grab();
        rows = d.RecordCount();
    });
    std::printf("%-52s median %8.2f ms  (%ld check-ins)\n", "history of the busiest station", one, rows);

    const double eager = MedianMs(std::max(3, runs / 4), [&] {
        std::vector<CCheckinRecord> all;
        all.reserve(static_cast<size_t>(total));
        CheckinQuery::ForEach(db, {}, QStringLiteral("ID DESC"),
                              [&](const CCheckinRecord& r) { all.push_back(r); });
    });
    std::printf("%-52s median %8.2f ms\n", "peer: read every check-in up front (no widgets)", eager);
    std::printf("ratio see-all open / read-everything: %.4f (%.0fx faster)\n", seeAll / eager,
                eager / seeAll);
    const bool ok = seeAll < 100.0;
    std::printf("goal: see-all opens in < 100 ms: %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 1;
}
