// The callbook's and the status check's GET over the program's HTTP client: how a URL becomes the
// client's server, port and object, and what comes back.
#include "core/qrz/HttpGet.h"
#include "support/QrzService.h"
#include "support/ServerProcess.h"

#include <QtTest>

using namespace TestSupport;

class TestHttpGet : public QObject
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
        QCOMPARE(CHttpGet::Split(url, s, p, o), server != QLatin1String("-"));
        if (server == QLatin1String("-"))
            return;
        QCOMPARE((QStringList{s, p, o}), (QStringList{server, port, object}));
    }

    void replies()
    {
        CQrzService qrz;
        qrz.SetFccPage("<html>page</html>");
        CHttpGet http;
        // Any status is an answer; the body comes as sent.
        CHttpGetReply r =
            http.Get(qrz.HttpHost() + QStringLiteral("/uls/index.htm?job=transaction&page=weekly"));
        QVERIFY(r.received);
        QCOMPARE(r.status, 200L);
        QCOMPARE(r.body, QByteArray("<html>page</html>"));
        r = http.Get(qrz.HttpHost() + QStringLiteral("/nothing"));
        QVERIFY(r.received);
        QCOMPARE(r.status, 404L);

        // An https address is never asked over plain http: the plain server only sees a TLS handshake.
        qrz.ClearLog();
        r = http.Get(
            QStringLiteral("https://%1/bin/xml/?username=n0tst;password=secret").arg(qrz.BareHost()));
        QVERIFY(!r.received);
        QVERIFY(!r.error.isEmpty());
        QVERIFY(!r.error.contains(QLatin1String("secret")));
        QVERIFY2(!qrz.RawLog().contains("secret"), qrz.RawLog().constData());

        r = http.Get(QStringLiteral("http://127.0.0.1:%1/x").arg(ClosedPort()));
        QVERIFY(!r.received);
        QVERIFY(!r.error.isEmpty());

        // Once cancelled (its owner is going away), nothing more is sent.
        http.Cancel();
        qrz.ClearLog();
        r = http.Get(qrz.HttpHost() + QStringLiteral("/uls/index.htm"));
        QVERIFY(!r.received);
        QCOMPARE(r.error, QStringLiteral("Cancelled"));
        QCOMPARE(qrz.Kinds(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestHttpGet)
#include "tst_httpget.moc"
