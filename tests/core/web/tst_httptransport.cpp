// The one HTTP transport as both of its clients use it: how a whole address is split and asked, and
// the policy they share (redirections by choice, trusted authorities, the size cap).
#include "core/web/FileDownload.h"
#include "core/web/WebRequest.h"
#include "support/HttpServer.h"
#include "support/ServerProcess.h"

#include <QtTest>

using namespace TestSupport;

namespace {

CWebOptions Fast()
{
    CWebOptions o;
    o.connectTimeoutMs = 5000;
    o.connectRetries = 0;
    return o;
}

} // namespace

class TestHttpTransport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("server"); // "-": refused
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("object");
        QTest::newRow("https") << "https://xmldata.qrz.com/xml/current/?s=k;callsign=W1AW"
                               << "https://xmldata.qrz.com"
                               << ""
                               << "xml/current/?s=k;callsign=W1AW";
        QTest::newRow("https with its own port") << "HTTPS://h.example:8443/a?b"
                                                 << "https://h.example:8443"
                                                 << ""
                                                 << "a?b";
        QTest::newRow("http: port 80") << "http://h.example/uls/index.htm?job=transaction&page=weekly"
                                       << "http://h.example"
                                       << "80"
                                       << "uls/index.htm?job=transaction&page=weekly";
        QTest::newRow("http with a port") << "http://127.0.0.1:8080/bin/xml?s=1"
                                          << "http://127.0.0.1"
                                          << "8080"
                                          << "bin/xml?s=1";
        QTest::newRow("IPv6") << "http://[::1]:81/x"
                              << "http://[::1]"
                              << "81"
                              << "x";
        QTest::newRow("user part dropped, fragment too") << "https://u:p@h.example/x#top"
                                                         << "https://h.example"
                                                         << ""
                                                         << "x";
        QTest::newRow("no path") << "https://h.example"
                                 << "https://h.example"
                                 << ""
                                 << "";
        QTest::newRow("ftp") << "ftp://h.example/x"
                             << "-"
                             << ""
                             << "";
        QTest::newRow("no scheme") << "h.example/x"
                                   << "-"
                                   << ""
                                   << "";
        QTest::newRow("bad port") << "http://h.example:99999/x"
                                  << "-"
                                  << ""
                                  << "";
        QTest::newRow("no host") << "https:///x"
                                 << "-"
                                 << ""
                                 << "";
    }
    void split()
    {
        QFETCH(QString, url);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, object);
        QString s, p, o;
        QCOMPARE(CWebRequest::SplitUrl(url, s, p, o), server != QLatin1String("-"));
        if (server == QLatin1String("-"))
            return;
        QCOMPARE((QStringList{s, p, o}), (QStringList{server, port, object}));
    }

    void getUrl_data()
    {
        QTest::addColumn<QString>("url"); // "%1": the plain server's "127.0.0.1:PORT"
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("requests"); // what the server saw
        QTest::newRow("page") << "http://%1/uls/index.htm?job=transaction&page=weekly" << true << 200
                              << QByteArray("<html>page</html>") << 1;
        // Any status is an answer; it is the caller's to judge.
        QTest::newRow("missing") << "http://%1/nothing" << true << 404
                                 << QByteArray("<html><body>404 Not Found</body></html>") << 1;
        // An https address is never asked over plain http: the plain server only sees a TLS handshake.
        QTest::newRow("https kept") << "https://%1/bin/xml/?username=n0tst;password=secret" << false << 0
                                    << QByteArray() << 0;
        QTest::newRow("closed port") << "http://127.0.0.1:" + QString::number(ClosedPort()) + "/x" << false
                                     << 0 << QByteArray() << 0;
        QTest::newRow("no scheme") << "%1/uls/index.htm" << false << 0 << QByteArray() << 0;
    }
    void getUrl()
    {
        QFETCH(QString, url);
        QFETCH(bool, answered);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, requests);
        CHttpServer server;
        server.Route("/uls/index.htm", QJsonObject{{"body", "<html>page</html>"}});
        CWebRequest http(Fast());
        const CWebResponse r = http.GetUrl(url.contains(QLatin1String("%1")) ? url.arg(server.Host()) : url);
        QCOMPARE(r.Answered(), answered);
        QCOMPARE(r.Status(), status);
        QCOMPARE(r.Body(), body);
        if (!answered) {
            QVERIFY(!r.Message().isEmpty());
            QVERIFY(!r.Message().contains(QLatin1String("secret")));
        }
        QCOMPARE(server.Requests().size(), requests);
    }

    void closedRefusesLaterExchanges()
    {
        CHttpServer server;
        server.Route("/p", QJsonObject{{"body", "x"}});
        CWebRequest http(Fast());
        QVERIFY(http.GetUrl(server.Url("/p")).IsSuccess());
        // Its owner is going away: nothing more is sent, whatever is asked.
        http.Close();
        for (int i = 0; i < 2; ++i) {
            const CWebResponse r = http.GetUrl(server.Url("/p"));
            QCOMPARE(int(r.GetOutcome()), int(CWebResponse::Outcome::Cancelled));
            QCOMPARE(r.Message(), QStringLiteral("Cancelled"));
        }
        QCOMPARE(server.Requests().size(), 1);
    }

    // A followed redirection never takes an https download to plain http, where the file (or a password
    // in the address) would travel in the clear.
    void secureDownloadNeverRedirectedToPlain()
    {
        CHttpServer plain;
        CHttpServer tls(true);
        WriteFile(plain.Root() + QStringLiteral("/f.bin"), "clear");
        tls.Route("/r", QJsonObject{{"redirect", plain.Url("/files/f.bin")}});
        CScratch target;
        CDownloadOptions o;
        o.caFile = CHttpServer::CaFile();
        o.reserveBytes = 0;
        QVERIFY_THROWS_EXCEPTION(CDownloadException,
                                 CFileDownload::Fetch(tls.Url("/r"), target.File("f.bin"), nullptr, {}, o));
        QCOMPARE(tls.Requests().size(), 1);
        QCOMPARE(plain.Requests().size(), 0);
        QVERIFY(!QFile::exists(target.File("f.bin")));
    }

    // The same policy seen from both clients: the download and the exchange.
    void policy_data()
    {
        QTest::addColumn<bool>("download");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("cap");       // 0: the default
        QTest::addColumn<QString>("expected"); // "ok", "302", or the start of the failure text
        QTest::newRow("download follows a redirection")
            << true << false << false << "/redirect/f.bin" << qint64(0) << "ok";
        QTest::newRow("exchange does not")
            << false << false << false << "/redirect/f.bin" << qint64(0) << "302";
        QTest::newRow("download: trusted authority")
            << true << true << true << "/files/f.bin" << qint64(0) << "ok";
        QTest::newRow("exchange: trusted authority")
            << false << true << true << "/files/f.bin" << qint64(0) << "ok";
        QTest::newRow("download: unknown authority")
            << true << true << false << "/files/f.bin" << qint64(0) << "Could not connect to the server";
        QTest::newRow("exchange: unknown authority")
            << false << true << false << "/files/f.bin" << qint64(0) << "SSL";
        QTest::newRow("download: announced beyond the cap")
            << true << false << false << "/files/f.bin" << qint64(1000) << "The download was given up";
        QTest::newRow("exchange: announced beyond the cap")
            << false << false << false << "/files/f.bin" << qint64(1000)
            << "The answer is larger than 1000 bytes";
        QTest::newRow("exchange: at the cap")
            << false << false << false << "/files/f.bin" << qint64(4000) << "ok";
    }
    void policy()
    {
        QFETCH(bool, download);
        QFETCH(bool, tls);
        QFETCH(bool, trusted);
        QFETCH(QString, path);
        QFETCH(qint64, cap);
        QFETCH(QString, expected);
        CHttpServer server(tls);
        const QByteArray content(4000, 'x');
        WriteFile(server.Root() + QStringLiteral("/f.bin"), content);
        const QString ca = trusted ? CHttpServer::CaFile() : QString();
        QString outcome;
        if (download) {
            CScratch target;
            CDownloadOptions o;
            o.caFile = ca;
            o.reserveBytes = 0;
            if (cap)
                o.maxBytes = cap;
            try {
                QVERIFY(CFileDownload::Fetch(server.Url(path), target.File("f.bin"), {}, {}, o));
                QCOMPARE(ReadFile(target.File("f.bin")), content);
                outcome = QStringLiteral("ok");
            } catch (const CDownloadException& e) {
                outcome = e.Message();
            }
        } else {
            CWebOptions o = Fast();
            o.caFile = ca;
            if (cap)
                o.maxBodyBytes = cap;
            CWebRequest request(o);
            const CWebResponse r = request.GetUrl(server.Url(path));
            if (r.IsSuccess()) {
                QCOMPARE(r.Body(), content);
                outcome = QStringLiteral("ok");
            } else {
                outcome = r.Answered() ? QString::number(r.Status()) : r.Message();
            }
        }
        QVERIFY2(outcome.startsWith(expected), qPrintable(outcome));
    }
};

QTEST_GUILESS_MAIN(TestHttpTransport)
#include "tst_httptransport.moc"
