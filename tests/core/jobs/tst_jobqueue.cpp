// The threaded job queue: hand-out order, pool limits, pause, retiring workers and never losing a job.
// Also run under ThreadSanitizer (make tsan).
// Test labels: threads
#include "core/jobs/Job.h"
#include "core/jobs/MThreadedJobQ.h"

#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr auto kLong = 10s; // generous: sanitizers slow everything down

// Holds jobs until opened.
class CGate
{
public:
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Pass()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// Counts the jobs running at once and the most there ever were.
struct CConcurrency
{
    std::atomic<int> now{0};
    std::atomic<int> most{0};
    std::atomic<int> done{0};
    void Enter()
    {
        const int n = ++now;
        int seen = most.load();
        while (n > seen && !most.compare_exchange_weak(seen, n)) {
        }
    }
    void Leave()
    {
        --now;
        ++done;
    }
};

class CFunctionJob : public CJob
{
public:
    explicit CFunctionJob(std::function<void()> work, std::atomic<int>* deleted = nullptr)
        : m_work(std::move(work)), m_deleted(deleted)
    {
    }
    ~CFunctionJob() override
    {
        if (m_deleted)
            ++*m_deleted;
    }
    void Execute() override { m_work(); }

private:
    std::function<void()> m_work;
    std::atomic<int>* m_deleted;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kLong)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

} // namespace

class TestJobQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobsAreHandedOutByPriorityThenArrival()
    {
        CMThreadedJobQ queue;
        std::mutex lock;
        QList<int> handedOut;
        queue.SetRefreshCallback([&](int number) {
            std::lock_guard guard(lock);
            handedOut << number;
        });
        queue.Pause();
        QList<int> numbers; // in the order 5, 7, 5, 9
        for (int priority : {5, 7, 5, 9}) {
            auto* job = new CFunctionJob([] {});
            job->SetPriority(priority);
            numbers << job->GetJobNumber();
            queue.AddJob(job);
        }
        QCOMPARE(queue.GetPendingCount(), 4);
        queue.Resume();
        QVERIFY(queue.WaitIdle(kLong));
        std::lock_guard guard(lock);
        QCOMPARE(handedOut, (QList<int>{numbers[3], numbers[1], numbers[0], numbers[2]}));
    }

    void thePoolLimitAcceptsTwoToTen_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("limit");
        QTest::newRow("1 is refused") << 1 << 2;
        QTest::newRow("11 is refused") << 11 << 2;
        QTest::newRow("0 is refused") << 0 << 2;
        QTest::newRow("-3 is refused") << -3 << 2;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("7") << 7 << 7;
        QTest::newRow("10") << 10 << 10;
    }
    void thePoolLimitAcceptsTwoToTen()
    {
        QFETCH(int, requested);
        QFETCH(int, limit);
        CMThreadedJobQ queue;
        queue.SetMaxThreads(requested);
        QCOMPARE(queue.GetMaxThreads(), limit);
    }

    void atMostTheLimitRunsAtOnce_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("the default of 2") << 0;
        QTest::newRow("10") << 10;
    }
    void atMostTheLimitRunsAtOnce()
    {
        QFETCH(int, limit);
        CMThreadedJobQ queue;
        if (limit)
            queue.SetMaxThreads(limit);
        const int expected = limit ? limit : 2;
        CGate gate;
        CConcurrency c;
        for (int i = 0; i < expected + 3; ++i) {
            queue.AddJob(new CFunctionJob([&] {
                c.Enter();
                gate.Pass();
                c.Leave();
            }));
        }
        QVERIFY(WaitFor([&] { return c.now == expected; }));
        std::this_thread::sleep_for(50ms); // room for a job too many to start
        QCOMPARE(c.now.load(), expected);
        QCOMPARE(queue.GetPendingCount(), 3);
        QCOMPARE(queue.GetWorkerCount(), expected);
        gate.Open();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(c.done.load(), expected + 3);
        QCOMPARE(c.most.load(), expected);
    }

    void loweringTheLimitRetiresBusyWorkersWhenTheirJobEnds()
    {
        CMThreadedJobQ queue;
        queue.SetMaxThreads(4);
        CGate gates[4];
        CConcurrency c;
        std::atomic<int> completed{0};
        for (auto& gate : gates) {
            queue.AddJob(new CFunctionJob([&] {
                c.Enter();
                gate.Pass();
                ++completed; // a running job is never cut short
                c.Leave();
            }));
        }
        QVERIFY(WaitFor([&] { return c.now == 4; }));
        queue.SetMaxThreads(2);
        QCOMPARE(queue.GetWorkerCount(), 4); // all busy: nobody leaves yet
        gates[0].Open();
        QVERIFY(WaitFor([&] { return queue.GetWorkerCount() == 3; }));
        gates[1].Open();
        QVERIFY(WaitFor([&] { return queue.GetWorkerCount() == 2; }));
        gates[2].Open();
        gates[3].Open();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(completed.load(), 4);
        QCOMPARE(queue.GetWorkerCount(), 2);

        // From now on two at a time.
        CGate later;
        CConcurrency d;
        for (int i = 0; i < 4; ++i) {
            queue.AddJob(new CFunctionJob([&] {
                d.Enter();
                later.Pass();
                d.Leave();
            }));
        }
        QVERIFY(WaitFor([&] { return d.now == 2; }));
        std::this_thread::sleep_for(50ms);
        QCOMPARE(d.now.load(), 2);
        later.Open();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(d.most.load(), 2);
    }

    void loweringTheLimitRetiresIdleWorkersAtOnce()
    {
        CMThreadedJobQ queue;
        queue.SetMaxThreads(10);
        CGate gate;
        CConcurrency c;
        for (int i = 0; i < 10; ++i) {
            queue.AddJob(new CFunctionJob([&] {
                c.Enter();
                gate.Pass();
                c.Leave();
            }));
        }
        QVERIFY(WaitFor([&] { return c.now == 10; }));
        gate.Open();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(queue.GetWorkerCount(), 10);
        queue.SetMaxThreads(3);
        QCOMPARE(queue.GetWorkerCount(), 3);
    }

    void pausedJobsStayPendingUntilResumed()
    {
        CMThreadedJobQ queue;
        std::atomic<int> ran{0};
        queue.Pause();
        QVERIFY(queue.IsPaused());
        for (int i = 0; i < 3; ++i)
            queue.AddJob(new CFunctionJob([&] { ++ran; }));
        std::this_thread::sleep_for(250ms);
        QCOMPARE(ran.load(), 0);
        QCOMPARE(queue.GetPendingCount(), 3);
        QElapsedTimer timer;
        timer.start();
        queue.Resume();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(ran.load(), 3);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }

    void aKeptJobSurvivesItsRunAndShowsFinished()
    {
        CMThreadedJobQ queue;
        std::atomic<int> deleted{0};
        std::atomic<int> ran{0};
        CFunctionJob kept([&] { ++ran; }, &deleted);
        kept.SetDeleteWhenDone(false);
        queue.AddJob(&kept);
        kept.WaitFinished();
        QVERIFY(kept.IsFinished());
        QCOMPARE(ran.load(), 1);
        QCOMPARE(deleted.load(), 0);
        QVERIFY(kept.GetError().isEmpty());

        queue.AddJob(new CFunctionJob([&] { ++ran; }, &deleted));
        QVERIFY(WaitFor([&] { return deleted == 1; }));
        QCOMPARE(ran.load(), 2);
    }

    void anExceptionInAJobIsKeptAndTheQueueGoesOn()
    {
        CMThreadedJobQ queue;
        CFunctionJob failing([] { throw std::runtime_error("disk on fire"); });
        failing.SetDeleteWhenDone(false);
        queue.AddJob(&failing);
        QVERIFY(failing.WaitFinished(kLong));
        QCOMPARE(failing.GetError(), QStringLiteral("disk on fire"));
        std::atomic<int> ran{0};
        queue.AddJob(new CFunctionJob([&] { ++ran; }));
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(ran.load(), 1);
    }

    void aPendingJobCanBeTakenBack()
    {
        CMThreadedJobQ queue;
        queue.Pause();
        std::atomic<int> ran{0};
        CFunctionJob job([&] { ++ran; });
        job.SetDeleteWhenDone(false);
        queue.AddJob(&job);
        QVERIFY(queue.RemoveJob(&job));
        QVERIFY(!queue.RemoveJob(&job));
        queue.Resume();
        QVERIFY(queue.WaitIdle(kLong));
        QCOMPARE(ran.load(), 0);
    }

    void destroyingTheQueueFinishesRunningJobsAndDeletesItsPendingOnes()
    {
        std::atomic<int> deleted{0};
        std::atomic<int> finishedRuns{0};
        std::atomic<int> kept{0};
        CFunctionJob keptJob([&] { ++kept; });
        keptJob.SetDeleteWhenDone(false);
        {
            CMThreadedJobQ queue;
            std::atomic<bool> started{false};
            queue.AddJob(new CFunctionJob(
                [&] {
                    started = true;
                    std::this_thread::sleep_for(100ms);
                    ++finishedRuns;
                },
                &deleted));
            QVERIFY(WaitFor([&] { return started.load(); }));
            queue.Pause();
            for (int i = 0; i < 5; ++i)
                queue.AddJob(new CFunctionJob([&] { ++finishedRuns; }, &deleted));
            queue.AddJob(&keptJob);
        }
        QCOMPARE(finishedRuns.load(), 1); // the running job ran to its end; the pending ones never ran
        QCOMPARE(deleted.load(), 6);      // ...and the queue deleted all it owned
        QCOMPARE(kept.load(), 0);
        QVERIFY(!keptJob.IsFinished());
    }

    void noJobIsLostWhileLimitsAndPauseChange()
    {
        constexpr int kJobs = 3000;
        std::vector<std::atomic<int>> runs(kJobs);
        std::atomic<int> deleted{0};
        {
            CMThreadedJobQ queue;
            std::atomic<bool> stop{false};
            std::thread meddler([&] {
                std::mt19937 random(42);
                while (!stop) {
                    switch (random() % 4) {
                    case 0:
                        queue.SetMaxThreads(2 + static_cast<int>(random() % 9));
                        break;
                    case 1:
                        queue.Pause();
                        break;
                    default:
                        queue.Resume();
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
                }
                queue.Resume();
            });
            std::mt19937 random(7);
            for (int i = 0; i < kJobs; ++i) {
                auto* job = new CFunctionJob(
                    [&runs, i] {
                        ++runs[static_cast<size_t>(i)];
                        if (i % 7 == 0)
                            std::this_thread::yield();
                    },
                    &deleted);
                job->SetPriority(static_cast<int>(random() % 10));
                queue.AddJob(job);
            }
            QVERIFY(WaitFor([&] { return deleted == kJobs; }, 60s));
            stop = true;
            meddler.join();
            QVERIFY(queue.WaitIdle(kLong));
            QVERIFY(queue.GetWorkerCount() <= queue.GetMaxThreads());
        }
        for (int i = 0; i < kJobs; ++i)
            QCOMPARE(runs[static_cast<size_t>(i)].load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestJobQueue)
#include "tst_jobqueue.moc"
