// The one progress-and-cancel object shared by long work and whoever watches it.
// Test labels: threads
#include "core/jobs/Job.h"
#include "core/jobs/MThreadedJobQ.h"
#include "core/jobs/Progress.h"

#include <QtTest>
#include <thread>
#include <vector>

class TestProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figures_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("unknown total") << qint64(5000) << qint64(-1) << -1;
        QTest::newRow("nothing to do") << qint64(0) << qint64(0) << 100;
        QTest::newRow("a third") << qint64(1) << qint64(3) << 33;
        QTest::newRow("all") << qint64(3000000000LL) << qint64(3000000000LL) << 100;
        QTest::newRow("more than announced") << qint64(12) << qint64(10) << 100;
    }
    void figures()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(int, percent);
        QList<QList<qint64>> told;
        QStringList stages;
        CProgress progress([&](qint64 d, qint64 t, const QString& stage) {
            told.append({d, t});
            stages << stage;
        });
        progress.SetStage(QStringLiteral("Loading EN.dat"));
        QVERIFY(progress.Report(done, total));
        QCOMPARE(progress.Done(), done);
        QCOMPARE(progress.Total(), total);
        QCOMPARE(progress.Percent(), percent);
        QCOMPARE(told, (QList<QList<qint64>>{{done, total}}));
        QCOMPARE(stages, QStringList{"Loading EN.dat"});
    }

    void cancelStopsTheWork_data()
    {
        QTest::addColumn<QString>("how"); // the work's next call after Cancel()
        QTest::newRow("report") << "report";
        QTest::newRow("advance") << "advance";
    }
    void cancelStopsTheWork()
    {
        QFETCH(QString, how);
        CProgress progress;
        QVERIFY(!progress.IsCancelled());
        QVERIFY(progress.Advance(1));
        progress.Cancel();
        QVERIFY(progress.IsCancelled());
        QCOMPARE(how == QLatin1String("report") ? progress.Report(2, 10) : progress.Advance(1), false);
        // Another run starts afresh.
        progress.SetStage(QStringLiteral("x"));
        progress.Restart();
        QVERIFY(!progress.IsCancelled());
        QCOMPARE(progress.Done(), qint64(0));
        QCOMPARE(progress.Total(), qint64(-1));
        QCOMPARE(progress.Stage(), QString());
    }

    // Workers adding at once lose nothing, and the listener is never entered twice at a time.
    void advanceFromSeveralThreads()
    {
        int inside = 0, overlaps = 0, calls = 0;
        CProgress progress([&](qint64, qint64, const QString&) {
            if (++inside > 1)
                ++overlaps;
            ++calls;
            --inside;
        });
        progress.SetTotal(4 * 10000);
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([&] {
                for (int i = 0; i < 10000; ++i)
                    progress.Advance(1);
            });
        for (auto& w : workers)
            w.join();
        QCOMPARE(progress.Done(), qint64(40000));
        QCOMPARE(progress.Percent(), 100);
        QCOMPARE(calls, 40000);
        QCOMPARE(overlaps, 0);
    }

    // A queued job reports on its own progress and stops when its owner cancels it there.
    void aQueuedJobStopsWhenCancelled()
    {
        class CCounting : public CJob
        {
        public:
            void Execute() override
            {
                for (qint64 i = 1; Progress().Report(i, -1); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
        CMThreadedJobQ queue;
        CCounting job;
        job.SetDeleteWhenDone(false);
        queue.AddJob(&job);
        QTRY_VERIFY_WITH_TIMEOUT(job.Progress().Done() >= 3, 10000);
        job.Progress().Cancel();
        QVERIFY(job.WaitFinished(std::chrono::seconds(10)));
        QVERIFY(job.Progress().Done() >= 3);
    }
};

QTEST_GUILESS_MAIN(TestProgress)
#include "tst_progress.moc"
