// Test labels: threads
// The HTTP client against a real local server: addresses, what goes out, what comes back, time-outs,
// credentials, TLS and cancelling.
#include "core/app/Settings.h"
#include "core/web/WebRequest.h"
#include "support/HttpServer.h"

#include <QJsonArray>
#include <QtTest>
#include <thread>

using namespace TestSupport;

class TestWebRequest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CHttpServer> m_server;

    CWebOptions Fast()
    {
        CWebOptions o;
        o.connectTimeoutMs = 5000;
        o.receiveTimeoutMs = o.dataReceiveTimeoutMs = o.sendTimeoutMs = o.dataSendTimeoutMs = 3000;
        return o;
    }

private Q_SLOTS:
    void initTestCase() { m_server = std::make_unique<CHttpServer>(); }
    void cleanupTestCase() { m_server.reset(); }
    void init()
    {
        m_server->ClearRoutes();
        m_server->ClearRequests();
    }

    void buildUrl_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url"); // empty: not an http(s) address
        QTest::newRow("host only") << "club.example.org"
                                   << ""
                                   << "cgi-bin/preCheckIn"
                                   << "http://club.example.org/cgi-bin/preCheckIn";
        QTest::newRow("port after the host") << "club.example.org"
                                             << "80"
                                             << "cgi-bin/netlog.cgi"
                                             << "http://club.example.org:80/cgi-bin/netlog.cgi";
        QTest::newRow("https keeps its own port") << "https://club.example.org"
                                                  << "80"
                                                  << "cgi-bin/netlog.cgi"
                                                  << "https://club.example.org/cgi-bin/netlog.cgi";
        QTest::newRow("http scheme takes the port") << "http://club.example.org"
                                                    << "80"
                                                    << "x"
                                                    << "http://club.example.org:80/x";
        QTest::newRow("server's own port wins") << "club.example.org:8080"
                                                << "80"
                                                << "x"
                                                << "http://club.example.org:8080/x";
        QTest::newRow("user part dropped") << "netlog@club.example.org"
                                           << "80"
                                           << "cgi-bin/netlog.cgi"
                                           << "http://club.example.org:80/cgi-bin/netlog.cgi";
        QTest::newRow("user and password dropped") << "https://u:pw@club.example.org/"
                                                   << ""
                                                   << "x"
                                                   << "https://club.example.org/x";
        QTest::newRow("path below the server's") << " club.example.org/net/ "
                                                 << ""
                                                 << "cgi-bin/x"
                                                 << "http://club.example.org/net/cgi-bin/x";
        QTest::newRow("whole URL as server") << "http://127.0.0.1:8000/cgi-bin/netlog.cgi?x=1"
                                             << ""
                                             << ""
                                             << "http://127.0.0.1:8000/cgi-bin/netlog.cgi?x=1";
        QTest::newRow("query kept as given") << "h"
                                             << ""
                                             << "cgi-bin/netReport?f=A%20B&d=03/07/2024"
                                             << "http://h/cgi-bin/netReport?f=A%20B&d=03/07/2024";
        QTest::newRow("blank and non-ASCII encoded") << "h"
                                                     << ""
                                                     << "a b/é"
                                                     << "http://h/a%20b/%C3%A9";
        QTest::newRow("ftp") << "ftp://club.example.org"
                             << ""
                             << "x"
                             << "";
        QTest::newRow("file") << "file:///etc/passwd"
                              << ""
                              << ""
                              << "";
        QTest::newRow("empty server") << ""
                                      << ""
                                      << "x"
                                      << "";
        QTest::newRow("scheme without host") << "http://"
                                             << ""
                                             << "x"
                                             << "";
        QTest::newRow("port not a number") << "h"
                                           << "eighty"
                                           << "x"
                                           << "";
    }

    void buildUrl()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, path);
        QFETCH(QString, url);
        QCOMPARE(CWebRequest::BuildUrl(server, port, path), url);
    }

    void answers_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("failure");
        QTest::newRow("CR LF lines") << QJsonObject{{"body", "one\r\ntwo\r\n"}} << 200 << true << "one\ntwo\n"
                                     << "";
        QTest::newRow("404 page still read")
            << QJsonObject{{"status", 404}, {"body", "<p>404</p>"}} << 404 << false << "<p>404</p>"
            << "404 Not Found";
        QTest::newRow("503 with its reason")
            << QJsonObject{{"status", 503}, {"body", "busy"}} << 503 << false << "busy"
            << "503 Service Unavailable";
        QTest::newRow("redirect not followed")
            << QJsonObject{{"redirect", "/elsewhere"}} << 302 << false << ""
            << "302 Found";
        QTest::newRow("Latin-1 body")
            << QJsonObject{{"body", "Zoë"}, {"latin1", true}} << 200 << true << "Zoë"
            << "";
        QTest::newRow("UTF-8 body") << QJsonObject{{"body", "Zoë €"}} << 200 << true << "Zoë €"
                                    << "";
    }

    void answers()
    {
        QFETCH(QJsonObject, route);
        QFETCH(int, status);
        QFETCH(bool, success);
        QFETCH(QString, text);
        QFETCH(QString, failure);
        m_server->Route("/cgi-bin/page", route);
        m_server->Route("/elsewhere", QJsonObject{{"body", "followed"}});
        CWebRequest request(Fast());
        request.SetServer(m_server->Host());
        request.SetObjectPath("cgi-bin/page");
        const CWebResponse r = request.Get();
        QVERIFY(r.Answered());
        QCOMPARE(r.Status(), status);
        QCOMPARE(r.IsSuccess(), success);
        QCOMPARE(r.Text(), text);
        QCOMPARE(r.FailureText(), failure);
        QCOMPARE(r.FetchText(), text);
        QVERIFY(r.Seconds() >= 0);

        const QList<CRecordedRequest> seen = m_server->Requests();
        QCOMPARE(seen.size(), 1); // a redirect is not followed
        QCOMPARE(seen[0].method, QStringLiteral("GET"));
        QCOMPARE(seen[0].path, QStringLiteral("/cgi-bin/page"));
        QCOMPARE(seen[0].version, QStringLiteral("HTTP/1.0"));
        QCOMPARE(seen[0].headers.value("pragma"), QStringLiteral("no-cache"));
        QVERIFY(!seen[0].headers.contains("authorization"));
    }

    void postSendsTheBody()
    {
        m_server->Route("/cgi-bin/netlog.cgi", QJsonObject{{"echo", true}});
        QByteArray body("<html>\r\nZo\xeb &#8364;\n\0end", 25);
        body += QByteArray(300000, 'x'); // more than one piece
        CWebRequest request(Fast());
        request.SetServer(m_server->Host());
        request.SetPort("80"); // the server text's own port wins
        request.SetObjectPath("cgi-bin/netlog.cgi");
        const CWebResponse r = request.Post(body, "text/html; charset=iso-8859-1");
        QVERIFY2(r.IsSuccess(), qPrintable(r.FailureText()));
        QCOMPARE(r.Body(), body);
        const CRecordedRequest seen = m_server->Requests().value(0);
        QCOMPARE(seen.method, QStringLiteral("POST"));
        QCOMPARE(seen.version, QStringLiteral("HTTP/1.0"));
        QCOMPARE(seen.headers.value("content-type"), QStringLiteral("text/html; charset=iso-8859-1"));
        QCOMPARE(seen.body, body);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("fetchText");
        QTest::newRow("not http") << "ftp://127.0.0.1" << int(CWebResponse::Outcome::InvalidUrl)
                                  << "Invalid URL";
        QTest::newRow("refused") << QStringLiteral("127.0.0.1:%1").arg(ClosedPort())
                                 << int(CWebResponse::Outcome::ConnectFailed) << "";
        QTest::newRow("unknown host")
            << "no-such-host.invalid" << int(CWebResponse::Outcome::ConnectFailed) << "";
    }

    void failures()
    {
        QFETCH(QString, server);
        QFETCH(int, outcome);
        QFETCH(QString, fetchText);
        CWebOptions o = Fast();
        o.connectRetries = 2;
        CWebRequest request(o);
        request.SetServer(server);
        request.SetObjectPath("x");
        const CWebResponse r = request.Get();
        QCOMPARE(int(r.GetOutcome()), outcome);
        QVERIFY(!r.IsSuccess());
        QVERIFY(!r.Message().isEmpty());
        QCOMPARE(r.FailureText(), r.Message());
        QCOMPARE(r.FetchText(), fetchText);
    }

    void inactivityLimits_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<int>("bodyBytes"); // of a POST; 0: a GET
        QTest::addColumn<int>("outcome");
        QTest::addColumn<double>("atLeast"); // seconds
        QTest::newRow("never answers")
            << QJsonObject{{"hang", true}} << 0 << int(CWebResponse::Outcome::TimedOut) << 0.4;
        QTest::newRow("falls silent in the body") << QJsonObject{{"body", "abc"}, {"trickle_ms", 1500}} << 0
                                                  << int(CWebResponse::Outcome::TimedOut) << 0.4;
        QTest::newRow("slow but never silent long")
            << QJsonObject{{"body", "0123456789"}, {"trickle_ms", 150}} << 0
            << int(CWebResponse::Outcome::Answered) << 1.3;
        QTest::newRow("takes nothing of the request") << QJsonObject{{"no_read", true}} << 64 * 1024 * 1024
                                                      << int(CWebResponse::Outcome::TimedOut) << 0.4;
    }

    void inactivityLimits()
    {
        QFETCH(QJsonObject, route);
        QFETCH(int, bodyBytes);
        QFETCH(int, outcome);
        QFETCH(double, atLeast);
        m_server->Route("/p", route);
        CSettings settings(CScratch().File("Logwarden.ini"), {});
        // Inactivity limits of 400 ms: longer than a piece of the slow answer takes, shorter than the
        // silences.
        for (const Key<int>* key :
             {&Setting::NetRecTO, &Setting::NetSndTO, &Setting::NetDataRecTO, &Setting::NetDataSndTO})
            settings.Set(*key, 400);
        CWebRequest request(CWebOptions::FromSettings(settings));
        request.SetServer(m_server->Url("/p"));
        const CWebResponse r =
            bodyBytes ? request.Post(QByteArray(bodyBytes, 'x'), "text/plain") : request.Get();
        QCOMPARE(int(r.GetOutcome()), outcome);
        QVERIFY2(r.Seconds() >= atLeast, qPrintable(QString::number(r.Seconds())));
        QVERIFY2(r.Seconds() < 15, qPrintable(QString::number(r.Seconds())));
        if (outcome == int(CWebResponse::Outcome::TimedOut))
            QVERIFY(r.Message().startsWith("Timed out: "));
        else
            QCOMPARE(r.Text(), QStringLiteral("0123456789"));
    }

    void optionsFromSettings_data()
    {
        QTest::addColumn<QString>("recTO");
        QTest::addColumn<QString>("ctrlRecTO");
        QTest::addColumn<QString>("retries");
        QTest::addColumn<int>("receive");
        QTest::addColumn<int>("connectRetries");
        QTest::newRow("defaults") << ""
                                  << ""
                                  << "" << 5000 << 1;
        QTest::newRow("values") << "250"
                                << "100"
                                << "3" << 250 << 3;
        QTest::newRow("zero takes the default") << "0"
                                                << "100"
                                                << "0" << 5000 << 1;
        QTest::newRow("text takes the default") << "soon"
                                                << ""
                                                << "many" << 5000 << 1;
        QTest::newRow("leading digits") << "750ms"
                                        << ""
                                        << "2 tries" << 750 << 2;
    }

    void optionsFromSettings()
    {
        QFETCH(QString, recTO);
        QFETCH(QString, ctrlRecTO);
        QFETCH(QString, retries);
        QFETCH(int, receive);
        QFETCH(int, connectRetries);
        CScratch s;
        {
            // As the user may have typed them into the file.
            QSettings file(s.File("Logwarden.ini"), QSettings::IniFormat);
            if (!recTO.isEmpty())
                file.setValue("NetSettings/NetRecTO", recTO);
            if (!ctrlRecTO.isEmpty())
                file.setValue("NetSettings/NetCtrlRecTO", ctrlRecTO);
            if (!retries.isEmpty())
                file.setValue("NetSettings/NetRetNum", retries);
        }
        CSettings settings(s.File("Logwarden.ini"), {});
        const CWebOptions o = CWebOptions::FromSettings(settings);
        QCOMPARE(o.exchangeTimeoutMs, 60000);
        QCOMPARE(o.receiveTimeoutMs, receive);
        QCOMPARE(o.connectRetries, connectRetries);
        QCOMPARE(o.connectTimeoutMs, 15000);
    }

    void credentials_data()
    {
        QTest::addColumn<int>("answer"); // -1: no prompt, 0: cancelled, 1: right, 2: wrong
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("requests");
        QTest::newRow("no prompt") << -1 << int(CWebResponse::Outcome::AccessDenied) << 1;
        QTest::newRow("cancelled") << 0 << int(CWebResponse::Outcome::AccessDenied) << 1;
        QTest::newRow("right") << 1 << int(CWebResponse::Outcome::Answered) << 2;
        QTest::newRow("refused again") << 2 << int(CWebResponse::Outcome::AccessDenied) << 2;
    }

    void credentials()
    {
        QFETCH(int, answer);
        QFETCH(int, outcome);
        QFETCH(int, requests);
        m_server->Route("/cgi-bin/private", QJsonObject{{"auth", "club:s3cret"}, {"body", "welcome"}});
        CWebRequest request(Fast());
        request.SetServer(m_server->Host());
        request.SetObjectPath("cgi-bin/private");
        int asked = 0;
        QString realmSeen;
        if (answer >= 0) {
            request.SetCredentialsPrompt(
                [&](const QString&, const QString& realm, QString& user, QString& password) {
                    ++asked;
                    realmSeen = realm;
                    user = "club";
                    password = answer == 1 ? "s3cret" : "guess";
                    return answer != 0;
                });
        }
        const CWebResponse r = request.Get();
        QCOMPARE(int(r.GetOutcome()), outcome);
        QCOMPARE(m_server->Requests().size(), requests);
        QCOMPARE(asked, answer >= 0 ? 1 : 0);
        if (answer >= 0)
            QCOMPARE(realmSeen, QStringLiteral("Club"));
        if (outcome == int(CWebResponse::Outcome::AccessDenied)) {
            QCOMPARE(r.FetchText(), QStringLiteral("Access denied: Invalid password"));
            return;
        }
        QCOMPARE(r.Text(), QStringLiteral("welcome"));
        // Accepted credentials answer the server's next 401 without asking; never sent ahead of it.
        QVERIFY(request.Get().IsSuccess());
        QCOMPARE(asked, 1);
        const QList<CRecordedRequest> seen = m_server->Requests();
        QCOMPARE(seen.size(), 4);
        QVERIFY(!seen[2].headers.contains("authorization"));
        QVERIFY(seen[3].headers.value("authorization").startsWith("Basic "));
    }

    // Credentials stay with the server (scheme, host, port) and realm that asked, in the scheme it asked
    // for: a second exchange, after one the operator answered, to the same or another server.
    void credentialsStayWithTheirServer_data()
    {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<QJsonObject>("second");
        QTest::addColumn<bool>("otherServer");
        QTest::addColumn<int>("asked"); // prompts in all
        const QJsonObject basic{{"auth", "club:s3cret"}, {"body", "welcome"}};
        const QJsonObject digest{{"digest", "club:s3cret"}, {"body", "welcome"}};
        QTest::newRow("basic, same server: answered from the cache") << basic << basic << false << 1;
        QTest::newRow("digest, same server: digest again, never basic") << digest << digest << false << 1;
        QTest::newRow("digest kept, basic asked: asked anew")
            << digest << QJsonObject{{"auth", "club:s3cret"}, {"body", "welcome"}} << false << 2;
        QTest::newRow("another server: asked anew") << basic << basic << true << 2;
        QTest::newRow("another realm: asked anew")
            << basic << QJsonObject{{"auth", "club:s3cret"}, {"realm", "Other"}, {"body", "welcome"}} << false
            << 2;
    }

    void credentialsStayWithTheirServer()
    {
        QFETCH(QJsonObject, first);
        QFETCH(QJsonObject, second);
        QFETCH(bool, otherServer);
        QFETCH(int, asked);
        CHttpServer other;
        m_server->Route("/cgi-bin/private", first);
        CHttpServer& secondServer = otherServer ? other : *m_server;
        int prompts = 0;
        QStringList urls;
        const auto prompt = [&](const QString& url, const QString&, QString& user, QString& password) {
            ++prompts;
            urls << url;
            user = "club";
            password = "s3cret";
            return true;
        };
        // Two requests sharing one cache, as the window's exchanges do.
        CWebRequest a(Fast());
        a.SetServer(m_server->Host());
        a.SetObjectPath("cgi-bin/private");
        a.SetCredentialsPrompt(prompt);
        QVERIFY2(a.Get().IsSuccess(), "the first exchange is answered");
        QCOMPARE(prompts, 1);

        const QList<CRecordedRequest> before = m_server->Requests();
        m_server->ClearRequests();
        if (!otherServer)
            m_server->Route("/cgi-bin/private", second);
        else
            other.Route("/cgi-bin/private", second);
        CWebRequest b(Fast());
        b.SetCredentialCache(a.CredentialCache());
        b.SetServer(secondServer.Host());
        b.SetObjectPath("cgi-bin/private");
        b.SetCredentialsPrompt(prompt);
        const CWebResponse r = b.Get();
        QVERIFY2(r.IsSuccess(), qPrintable(r.FailureText()));
        QCOMPARE(prompts, asked);
        if (asked == 2)
            QCOMPARE(urls.last(), secondServer.Url("/cgi-bin/private"));

        const QList<CRecordedRequest> after = secondServer.Requests();
        QVERIFY(!after.isEmpty());
        // Never ahead of the server's 401 over plain http.
        QVERIFY(!after.first().headers.contains("authorization"));
        if (otherServer)
            QVERIFY(m_server->Requests().isEmpty());
        // Where Digest was asked, the password never went as Basic.
        if (first.contains("digest")) {
            for (const CRecordedRequest& q : before)
                QVERIFY(!q.headers.value("authorization").startsWith("Basic"));
            if (second.contains("digest"))
                for (const CRecordedRequest& q : after)
                    QVERIFY(!q.headers.value("authorization").startsWith("Basic"));
        }
    }

    // A server that keeps the exchange alive with a byte now and then, or keeps it going too long, is
    // given up; an upload whose status has come does not wait for the rest of the answer.
    void wholeExchangeLimits_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<bool>("bodyNeeded");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        const QByteArray slow(200, 'x');
        QTest::newRow("a byte now and then: too slow")
            << QJsonObject{{"body", QString::fromLatin1(slow)}, {"trickle_ms", 300}} << true
            << int(CWebResponse::Outcome::TimedOut) << "Timed out: the server sent only";
        QTest::newRow("steady but endless: the exchange limit")
            << QJsonObject{{"body", QString::fromLatin1(slow)}, {"trickle_ms", 40}} << true
            << int(CWebResponse::Outcome::TimedOut) << "Timed out: the exchange took longer than 2.5 seconds";
        QTest::newRow("an upload's answer: the status is enough")
            << QJsonObject{{"body", QString::fromLatin1(slow)}, {"trickle_ms", 300}} << false
            << int(CWebResponse::Outcome::Answered) << "";
        QTest::newRow("within the limits")
            << QJsonObject{{"body", "done"}} << true << int(CWebResponse::Outcome::Answered) << "";
    }

    void wholeExchangeLimits()
    {
        QFETCH(QJsonObject, route);
        QFETCH(bool, bodyNeeded);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        m_server->Route("/p", route);
        CWebOptions o = Fast();
        o.exchangeTimeoutMs = 2500;
        o.rateWindowMs = 1000;
        o.minBytesPerSecond = 10; // 3 bytes a second is less; 25 is more
        CWebRequest request(o);
        request.SetServer(m_server->Url("/p"));
        request.SetAnswerBodyNeeded(bodyNeeded);
        const CWebResponse r = bodyNeeded ? request.Get() : request.Post("page", "text/html");
        QCOMPARE(int(r.GetOutcome()), outcome);
        if (message.isEmpty())
            QVERIFY2(r.Message().isEmpty(), qPrintable(r.Message()));
        else
            QVERIFY2(r.Message().startsWith(message), qPrintable(r.Message()));
        if (r.Answered())
            QCOMPARE(r.Status(), 200);
        if (!bodyNeeded)
            QVERIFY(r.Body().isEmpty());
    }

    void https_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trusted certificate") << true;
        QTest::newRow("unknown certificate") << false;
    }

    void https()
    {
        QFETCH(bool, trusted);
        CHttpServer tls(true);
        tls.Route("/cgi-bin/preCheckIn", QJsonObject{{"body", "secure"}});
        CWebOptions o = Fast();
        if (trusted)
            o.caFile = CHttpServer::CaFile(); // else the system's authorities, which know nothing of it
        CWebRequest request(o);
        request.SetServer(QStringLiteral("https://127.0.0.1:%1").arg(tls.Port()));
        request.SetPort("80"); // not for https
        request.SetObjectPath("cgi-bin/preCheckIn");
        const CWebResponse r = request.Get();
        if (trusted) {
            QVERIFY2(r.IsSuccess(), qPrintable(r.FailureText()));
            QCOMPARE(r.Text(), QStringLiteral("secure"));
        } else {
            QCOMPARE(int(r.GetOutcome()), int(CWebResponse::Outcome::ConnectFailed));
            QCOMPARE(tls.Requests().size(), 0);
        }
    }

    void cancelFromAnotherThread()
    {
        m_server->Route("/p", QJsonObject{{"hang", true}});
        CWebOptions o = Fast();
        o.receiveTimeoutMs = 60000;
        CWebRequest request(o);
        request.SetServer(m_server->Url("/p"));
        CWebResponse r;
        std::thread t([&] { r = request.Get(); });
        QVERIFY(m_server->WaitForRequests(1));
        request.Cancel();
        t.join();
        QCOMPARE(int(r.GetOutcome()), int(CWebResponse::Outcome::Cancelled));
        QVERIFY(r.Seconds() < 30);
    }
};

QTEST_GUILESS_MAIN(TestWebRequest)
#include "tst_webrequest.moc"
