// Test labels: threads
// The exchanges that run off the window's thread: the net-log uploader (coalescing, failure runs,
// credentials) and the club server's pre-net, EchoLink and report exchanges.
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "core/web/ClubServer.h"
#include "core/web/NetLogUploader.h"
#include "support/HttpServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

int RowCount(const QByteArray& page)
{
    return int(page.count(".) </div>"));
}

} // namespace

class TestWebWorkers : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CHttpServer> m_server;
    std::unique_ptr<CDatabase> m_db;
    CFixedClock m_clock{QDateTime(kDay, QTime(19, 30))};

    std::unique_ptr<CNetLogUploader> MakeUploader()
    {
        auto u =
            std::make_unique<CNetLogUploader>(m_scratch->File("Logwarden-97.db"), m_scratch->Path(), m_clock);
        u->SetServer(m_server->Host());
        return u;
    }

private Q_SLOTS:
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_server = std::make_unique<CHttpServer>();
        m_db = std::make_unique<CDatabase>(m_scratch->File("Logwarden-97.db"));
        LogSchema::Prepare(*m_db);
        AddCheckin(*m_db, {"W4AAA", QDateTime(kDay, QTime(19, 1))});
    }
    void cleanup()
    {
        m_db.reset();
        m_server.reset();
        m_scratch.reset();
    }

    // Requests while an upload runs become one more upload of the newest state, never lost, never two
    // at once; the request itself returns at once.
    void uploadsCoalesce()
    {
        m_server->Route("/cgi-bin/netlog.cgi", QJsonObject{{"gate", "go"}});
        auto uploader = MakeUploader();
        QSignalSpy finished(uploader.get(), &CNetLogUploader::uploadFinished);
        uploader->RequestUpload(kDay, false);
        QVERIFY(uploader->IsBusy());
        QVERIFY(m_server->WaitForRequests(1)); // held at the gate
        AddCheckin(*m_db, {"W4BBB", QDateTime(kDay, QTime(19, 2))});
        uploader->RequestUpload(kDay, false);
        AddCheckin(*m_db, {"W4CCC", QDateTime(kDay, QTime(19, 3))});
        uploader->RequestUpload(kDay, false);
        uploader->RequestUpload(kDay, true);
        QVERIFY(uploader->HasPending());
        QCOMPARE(finished.size(), 0);
        m_server->Release("go");
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
        QTest::qWait(300);
        QCOMPARE(finished.size(), 2);
        QVERIFY(!uploader->IsBusy() && !uploader->HasPending());

        const QList<CRecordedRequest> seen = m_server->Requests();
        QCOMPARE(seen.size(), 2);
        QCOMPARE(RowCount(seen[0].body), 1);
        QCOMPARE(RowCount(seen[1].body), 3);
        QVERIFY(seen[1].body.indexOf("W4CCC") < seen[1].body.indexOf("W4AAA")); // the newest order: reversed
        QCOMPARE(ReadFile(m_scratch->File("NetLog.html")), seen[1].body);
        for (const QVariantList& args : finished)
            QVERIFY(args[0].value<CNetLogUpload>().result.ok);
    }

    // A message box for the first failure of a run, the status bar for the rest.
    void failureRuns()
    {
        m_server->Route(
            "/cgi-bin/netlog.cgi",
            QJsonObject{{"sequence", QJsonArray{QJsonObject{{"status", 503}}, QJsonObject{{"status", 500}},
                                                QJsonObject{{"body", "ok"}}, QJsonObject{{"status", 503}}}}});
        auto uploader = MakeUploader();
        QSignalSpy finished(uploader.get(), &CNetLogUploader::uploadFinished);
        const QStringList messages{"Upload failed: 503 Service Unavailable",
                                   "Upload failed: 500 Internal Server Error", "",
                                   "Upload failed: 503 Service Unavailable"};
        const QList<bool> first{true, false, false, true};
        for (int i = 0; i < 4; ++i) {
            if (i == 2)
                m_clock.Set(QDateTime(kDay, QTime(19, 45)));
            if (i == 3)
                m_clock.Set(QDateTime(kDay, QTime(19, 50)));
            uploader->RequestUpload(kDay, false);
            QTRY_COMPARE_WITH_TIMEOUT(finished.size(), i + 1, 20000);
            const CNetLogUpload u = finished.at(i).at(0).value<CNetLogUpload>();
            QCOMPARE(u.result.message, messages[i]);
            QCOMPARE(u.firstFailureOfRun, first[i]);
        }
        QCOMPARE(uploader->LastGoodUpload(), QDateTime(kDay, QTime(19, 45)));
    }

    void credentialsAskedOnceThroughTheWorker_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message");
        QTest::newRow("answered") << true << "";
        QTest::newRow("nobody to ask") << false << "Upload failed: Access denied: Invalid password";
    }

    void credentialsAskedOnceThroughTheWorker()
    {
        QFETCH(bool, connected);
        QFETCH(QString, message);
        m_server->Route("/cgi-bin/netlog.cgi", QJsonObject{{"auth", "club:pw"}});
        auto uploader = MakeUploader();
        int asked = 0;
        if (connected) {
            connect(&uploader->Worker(), &CWebWorker::credentialsNeeded, this,
                    [&](const QString& url, const QString& realm, const QString&) {
                        ++asked;
                        QCOMPARE(realm, QStringLiteral("Club"));
                        QVERIFY(url.endsWith("/cgi-bin/netlog.cgi"));
                        // Answered later, from the event loop, as a dialog would.
                        QTimer::singleShot(50, uploader.get(),
                                           [&] { uploader->Worker().AnswerCredentials(true, "club", "pw"); });
                    });
        }
        QSignalSpy finished(uploader.get(), &CNetLogUploader::uploadFinished);
        uploader->RequestUpload(kDay, false);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(finished.at(0).at(0).value<CNetLogUpload>().result.message, message);
        if (!connected)
            return;
        uploader->RequestUpload(kDay, false); // the credentials are kept
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
        QVERIFY(finished.at(1).at(0).value<CNetLogUpload>().result.ok);
        QCOMPARE(asked, 1);
    }

    void aHangingUploadDoesNotHoldTheWindowWhenItCloses()
    {
        m_server->Route("/cgi-bin/netlog.cgi", QJsonObject{{"hang", true}});
        auto uploader = MakeUploader();
        uploader->RequestUpload(kDay, false);
        QVERIFY(m_server->WaitForRequests(1));
        QElapsedTimer t;
        t.start();
        uploader.reset();
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    }

    void clubServerExchanges()
    {
        m_server->Route("/cgi-bin/preCheckIn",
                        QJsonObject{{"body", QString::fromLatin1(PreNetPage(
                                                 "<li>w4aaa, Al</li><li>K4XYZ, Mary+Ann, Macon</li>"))}});
        m_server->Route("/cgi-bin/echoLogin",
                        QJsonObject{{"body", "<body>W1AW-R K1ABC </body>"}, {"gate", "echo"}});
        m_server->Route("/cgi-bin/netReport", QJsonObject{{"body", "Thank you"}});
        CClubServer club;
        club.SetServer(m_server->Host());
        QSignalSpy preNet(&club, &CClubServer::preNetFetched);
        QSignalSpy echo(&club, &CClubServer::echoLinkFetched);
        QSignalSpy report(&club, &CClubServer::reportSent);

        // Two EchoLink refreshes never overlap: the second is dropped while the first waits.
        QVERIFY(club.RefreshEchoLink());
        QVERIFY(!club.RefreshEchoLink());
        // ...and a slow listing holds nothing else up.
        QVERIFY(club.RefreshPreNet());
        QTRY_COMPARE_WITH_TIMEOUT(preNet.size(), 1, 20000);
        QCOMPARE(echo.size(), 0);
        CPreNetFetch fetch = preNet.at(0).at(0).value<CPreNetFetch>();
        QCOMPARE(fetch.page.status, CPreNetPage::Entries);
        PreNet::MarkLogged(fetch.page.entries, CCallSet::OfDay(*m_db, kDay));
        QCOMPARE(fetch.page.entries.size(), size_t(2));
        QVERIFY(fetch.page.entries[0].logged);
        QVERIFY(!fetch.page.entries[1].logged);

        m_server->Release("echo");
        QTRY_COMPARE_WITH_TIMEOUT(echo.size(), 1, 20000);
        QCOMPARE(echo.at(0).at(0).value<CEchoLinkFetch>().stations, (QStringList{"W1AW-R", "K1ABC"}));

        CNetReport r;
        r.name = "Jo Ann";
        r.date = "03/07/2024";
        QVERIFY(club.SendReport(r));
        QTRY_COMPARE_WITH_TIMEOUT(report.size(), 1, 20000);
        QVERIFY(report.at(0).at(0).value<CWebResponse>().IsSuccess());
        QCOMPARE(m_server->Requests().last().path,
                 QStringLiteral("/cgi-bin/netReport?f=Jo%20Ann&s=&d=03/07/2024&m=&c=&t=&a=No"));
    }
};

QTEST_GUILESS_MAIN(TestWebWorkers)
#include "tst_webworkers.moc"
