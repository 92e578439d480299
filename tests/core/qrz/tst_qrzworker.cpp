// The window's QRZ look-ups on their worker thread.
// Test labels: threads
#include "core/qrz/QrzLookupWorker.h"
#include "core/web/WebRequest.h"
#include "support/QrzService.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <condition_variable>
#include <mutex>

using namespace TestSupport;

class TestQrzWorker : public QObject
{
    Q_OBJECT

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    QList<CQRZLookupWorker::CResult> m_results;

    CQRZLookupWorker::Done Collect()
    {
        return [this](const CQRZLookupWorker::CResult& result) {
            std::lock_guard lock(m_mutex);
            m_results << result;
            m_arrived.notify_all();
        };
    }

    bool WaitFor(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(30), [&] { return m_results.size() >= count; });
    }

private Q_SLOTS:
    void init() { m_results.clear(); }

    void lookUpsRunInOrderWithOneLogin()
    {
        CQrzService qrz;
        qrz.AddStation(QStringLiteral("W1AW"),
                       QStringLiteral("<call>W1AW</call><name>Maxim</name><grid>FN31pr</grid>"));
        qrz.AddStation(QStringLiteral("K1LOW"), QStringLiteral("<call>K1LOW</call>"));
        CScratch folder;
        CQRZLookupWorker worker(std::make_unique<CWebRequest>(), folder.Path(), Collect());
        const CQRZAccount account{qrz.HttpHost(), QStringLiteral("n0tst"), QStringLiteral("secret")};
        const QStringList calls{"W1AW", "N0NONE", "K1LOW"};
        for (int i = 0; i < calls.size(); ++i)
            worker.Submit({calls[i], account, QStringLiteral("EM84CX"), QStringLiteral("miles"), 100 + i});
        QVERIFY(WaitFor(3));
        std::lock_guard lock(m_mutex);
        for (int i = 0; i < calls.size(); ++i) {
            const CQRZLookupWorker::CResult& r = m_results[i];
            QCOMPARE(r.request.callSign, calls[i]);
            QCOMPARE(r.request.context.toInt(), 100 + i);
            QVERIFY(r.request.account.password.isEmpty());
            QCOMPARE(r.found, i != 1);
        }
        QCOMPARE(m_results[0].data.distance, QStringLiteral("760 miles"));
        QCOMPARE(m_results[1].error, QStringLiteral("Not found: N0NONE"));
        QCOMPARE(m_results[1].failure, CQRZQuery::Failure::Service);
        QCOMPARE(qrz.Kinds(), (QStringList{"login", "query", "query", "query"}));
    }

    void destroyingStopsAfterTheLookUpUnderWay()
    {
        CQrzService qrz;
        CScratch folder;
        {
            CQRZLookupWorker worker(std::make_unique<CWebRequest>(), folder.Path(), Collect());
            const CQRZAccount account{qrz.HttpHost(), QStringLiteral("n0tst"), QStringLiteral("secret")};
            for (int i = 0; i < 50; ++i)
                worker.Submit({QStringLiteral("K%1").arg(i), account, QString(), QStringLiteral("miles"), i});
        }
        std::lock_guard lock(m_mutex);
        QVERIFY(m_results.size() < 50);
    }
};

QTEST_GUILESS_MAIN(TestQrzWorker)
#include "tst_qrzworker.moc"
