// Test labels: threads
#include "core/db/Database.h"
#include "core/log/LogwardenSet.h"
#include "core/mail/Base64.h"
#include "core/mail/BlastEmail.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kNetDay(2024, 3, 7);

QDateTime At(const QDate& day, int hour, int minute)
{
    return QDateTime(day, QTime(hour, minute));
}

QStringList Rows(const std::vector<CBlastStation>& stations)
{
    QStringList rows;
    for (const CBlastStation& s : stations)
        rows << QStringLiteral("%1|%2|%3").arg(s.callSign, s.name, s.email);
    return rows;
}

std::vector<CBlastStation> ThreeStations()
{
    return {{QStringLiteral("W4ABC"), QStringLiteral("Bob"), QStringLiteral("bob@example.org")},
            {QStringLiteral("K1REF"), QStringLiteral("Ann"), QStringLiteral("nobody@example.org")},
            {QStringLiteral("N0BOB"), QStringLiteral("BOB <CALL>"), QStringLiteral("bob2@example.org")}};
}

CBlastRequest Request(int port, const std::vector<CBlastStation>& stations)
{
    CBlastRequest r;
    r.server = QStringLiteral("127.0.0.1");
    r.port = port;
    r.from = QStringLiteral("\"N0CALL Net\" <n0call@example.org>");
    r.subject = QStringLiteral("Invitation: Check-in tonight");
    r.message = QStringLiteral("Dear <NAME> (<CALL>),\nsee you at 9 PM.\n.\n73");
    r.stations = stations;
    r.pauseMs = 0;
    r.smtp.replyTimeoutMs = 10000;
    return r;
}

// The base64 text of each attachment of a received message, in order.
QList<QByteArray> Attachments(const QByteArray& content)
{
    QList<QByteArray> parts;
    const QByteArray marker = "Content-Transfer-Encoding: base64\r\n";
    for (qsizetype at = content.indexOf(marker); at >= 0; at = content.indexOf(marker, at + 1)) {
        const qsizetype start = content.indexOf("\r\n\r\n", at) + 4;
        parts << content.mid(start, content.indexOf("\r\n--", start) - start).trimmed();
    }
    return parts;
}

} // namespace

class TestBlast : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void distributionList()
    {
        CScratch scratch;
        CDatabase db(scratch.File(QStringLiteral("Logwarden-97.db")));
        CLogwardenSet::PrepareDatabase(db);
        AddCheckin(db, {.call = QStringLiteral("W4ABC"),
                        .when = At(kNetDay, 21, 0),
                        .name = QStringLiteral("Bob"),
                        .email = QStringLiteral("old@example.org")});
        AddCheckin(
            db, {.call = QStringLiteral("K1XYZ"), .when = At(kNetDay, 21, 1), .name = QStringLiteral("Ann")});
        AddCheckin(db, {.call = QStringLiteral("N0BOB"),
                        .when = At(kNetDay, 21, 2),
                        .name = QStringLiteral("BOB <CALL>"),
                        .email = QStringLiteral(" bob2@example.org ")});
        AddCheckin(
            db,
            {.call = QStringLiteral("KD2EMP"), .when = At(kNetDay, 21, 3), .email = QStringLiteral("  ")});
        // Checked in again, with a new address: still one message, to the new address.
        AddCheckin(db, {.call = QStringLiteral("W4ABC"),
                        .when = At(kNetDay, 21, 30),
                        .name = QStringLiteral("Bobby"),
                        .email = QStringLiteral("bob@example.org")});
        AddCheckin(db, {.call = QStringLiteral("AA1OTH"),
                        .when = At(kNetDay.addDays(1), 0, 0),
                        .email = QStringLiteral("next@example.org")});
        AddCheckin(db, {.call = QStringLiteral("AA1PRE"),
                        .when = At(kNetDay, 0, 0).addSecs(-1),
                        .email = QStringLiteral("before@example.org")});
        QCOMPARE(Rows(CBlastEmail::DistributionList(db, kNetDay)),
                 (QStringList{QStringLiteral("W4ABC|Bobby|bob@example.org"),
                              QStringLiteral("N0BOB|BOB <CALL>|bob2@example.org")}));
        QVERIFY(CBlastEmail::DistributionList(db, kNetDay.addDays(2)).empty());
    }

    void personalise_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << QStringLiteral("Dear <NAME> (<CALL>)") << QStringLiteral("Bob")
                              << QStringLiteral("Dear Bob (W4ABC)");
        QTest::newRow("twice") << QStringLiteral("<NAME>, <NAME>!") << QStringLiteral("Bob")
                               << QStringLiteral("Bob, Bob!");
        QTest::newRow("name holding <CALL>: replaced too")
            << QStringLiteral("Hi <NAME>") << QStringLiteral("BOB <CALL>") << QStringLiteral("Hi BOB W4ABC");
        QTest::newRow("call holding <NAME>: stays")
            << QStringLiteral("<CALL>") << QStringLiteral("Bob") << QStringLiteral("W4ABC");
        QTest::newRow("none") << QStringLiteral("Hello all") << QStringLiteral("Bob")
                              << QStringLiteral("Hello all");
    }
    void personalise()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(
            CBlastEmail::Personalise(text, {QStringLiteral("W4ABC"), name, QStringLiteral("w@example.org")}),
            expected);
    }

    void blast()
    {
        CScratch dir, files;
        WriteFile(files.File(QStringLiteral("agenda.txt")), "abc");
        QByteArray map(54 * 3, 'm');
        WriteFile(files.File(QStringLiteral("net map.png")), map);
        CServerProcess server(QStringLiteral("smtp_server.py"),
                              {dir.Path(), QStringLiteral("--refuse"), QStringLiteral("nobody@example.org")});
        CBlastRequest request = Request(server.Port(), ThreeStations());
        // Chosen in two turns: both go, in the order chosen.
        request.attachments << files.File(QStringLiteral("agenda.txt"));
        request.attachments << files.File(QStringLiteral("net map.png"));

        QStringList seen;
        CBlastEmail::CObserver observer;
        observer.starting = [&](int index, int total, const CBlastStation& s) {
            seen << CBlastEmail::ProgressText(index, total, s);
        };
        observer.done = [&](const CBlastResult& r) {
            seen << (r.sent ? QStringLiteral("sent ") : QStringLiteral("failed ")) + r.station.callSign;
        };
        const CBlastSummary summary = CBlastEmail::Send(request, observer);
        QCOMPARE(seen, (QStringList{QStringLiteral("1 of 3: W4ABC"), QStringLiteral("sent W4ABC"),
                                    QStringLiteral("2 of 3: K1REF"), QStringLiteral("failed K1REF"),
                                    QStringLiteral("3 of 3: N0BOB"), QStringLiteral("sent N0BOB")}));
        QCOMPARE(summary.sent, 2);
        QCOMPARE(summary.Failed(), 1);
        QCOMPARE(summary.Text(),
                 QStringLiteral("2 of 3 messages sent.\nFailed: K1REF <nobody@example.org>: "
                                "550:SMTP server error (550 5.1.1 <nobody@example.org>: no such user here)"));

        const auto mail = ReceivedMail(dir.Path(), 2);
        QCOMPARE(mail.size(), size_t(2));
        // One session per station, one recipient each, the envelope sender bare.
        QVERIFY(mail[0].meta[QLatin1String("session")] != mail[1].meta[QLatin1String("session")]);
        QCOMPARE(mail[0].meta[QLatin1String("rcpt_tos")].toArray(),
                 QJsonArray{QStringLiteral("bob@example.org")});
        QCOMPARE(mail[1].meta[QLatin1String("rcpt_tos")].toArray(),
                 QJsonArray{QStringLiteral("bob2@example.org")});
        QCOMPARE(mail[1].meta[QLatin1String("mail_from")].toString(), QStringLiteral("n0call@example.org"));
        QVERIFY(mail[0].content.contains("\r\nTo: \"W4ABC (Bob)\" <bob@example.org>\r\n"));
        QVERIFY(mail[1].content.contains("\r\nTo: \"N0BOB (BOB <CALL>)\" <bob2@example.org>\r\n"));
        QVERIFY(mail[0].content.contains("\r\n\r\nDear Bob (W4ABC),\r\nsee you at 9 PM.\r\n.\r\n73\r\n"));
        QVERIFY(mail[1].content.contains("\r\n\r\nDear BOB N0BOB (N0BOB),\r\n"));
        for (const auto& m : mail) {
            const QList<QByteArray> parts = Attachments(m.content);
            QCOMPARE(parts.size(), 2);
            QCOMPARE(parts[0], QByteArray("YWJj"));
            QByteArray decoded;
            QVERIFY(CBase64().Decode(parts[1].constData(), parts[1].size(), decoded));
            QCOMPARE(decoded, map);
            QVERIFY(m.content.contains("filename=\"net map.png\"\r\n"));
        }
    }

    void refusedBeforeTheFirstMessage_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("refused");
        QTest::newRow("unreadable attachment")
            << QStringLiteral("attachment")
            << QStringLiteral("Cannot read the attachment \"/nonexistent/agenda.pdf\"");
        QTest::newRow("header in the subject")
            << QStringLiteral("subject") << QStringLiteral("The subject holds a line break");
        QTest::newRow("sender is no address")
            << QStringLiteral("from") << QStringLiteral("The sender \"N0CALL Net\" is not");
        QTest::newRow("password without TLS")
            << QStringLiteral("user") << QStringLiteral("Authentication needs an encrypted connection");
    }
    void refusedBeforeTheFirstMessage()
    {
        QFETCH(QString, what);
        QFETCH(QString, refused);
        CScratch dir;
        CServerProcess peer(QStringLiteral("smtp_peer.py"),
                            {dir.Path(), QStringLiteral("send:220 hi\\r\\n")});
        CBlastRequest request = Request(peer.Port(), ThreeStations());
        if (what == QLatin1String("attachment"))
            request.attachments << QStringLiteral("/nonexistent/agenda.pdf");
        else if (what == QLatin1String("subject"))
            request.subject = QStringLiteral("Net\r\nBcc: everyone@example.org");
        else if (what == QLatin1String("from"))
            request.from = QStringLiteral("N0CALL Net");
        else
            request.smtp.user = QStringLiteral("n0call");
        const CBlastSummary summary = CBlastEmail::Send(request);
        QVERIFY2(summary.refused.startsWith(refused), qPrintable(summary.refused));
        QCOMPARE(summary.sent, 0);
        QVERIFY(summary.results.empty());
        QVERIFY(summary.Text().startsWith(QLatin1String("No message was sent: ")));
        QCOMPARE(PeerSession(dir.Path(), 1, 300), QByteArray("<missing>"));
    }

    void stationWithBadAddress()
    {
        // One station's address from the log would break the envelope: that station fails, the others go.
        CScratch dir;
        CServerProcess server(QStringLiteral("smtp_server.py"), {dir.Path()});
        std::vector<CBlastStation> stations = ThreeStations();
        stations[1].email = QStringLiteral("ann@example.org>\r\nRCPT TO:<all@example.org");
        const CBlastSummary summary = CBlastEmail::Send(Request(server.Port(), stations));
        QCOMPARE(summary.sent, 2);
        QVERIFY2(summary.results[1].error.startsWith(QLatin1String("Recipient refused")),
                 qPrintable(summary.results[1].error));
        QCOMPARE(ReceivedMail(dir.Path(), 2).size(), size_t(2));
    }

    void inTheBackground()
    {
        // The pause is kept between messages, in the worker; Cancel cuts it short and stops the blast.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        CScratch dir;
        CServerProcess server(QStringLiteral("smtp_server.py"), {dir.Path()});
        std::vector<CBlastStation> stations = ThreeStations();
        stations[1].email = QStringLiteral("ann@example.org");
        CBlastRequest request = Request(server.Port(), stations);
        request.pauseMs = 400;

        CBlastEmail blast;
        QSignalSpy progress(&blast, &CBlastEmail::progress);
        QSignalSpy done(&blast, &CBlastEmail::stationDone);
        QSignalSpy finished(&blast, &CBlastEmail::finished);
        QElapsedTimer clock;
        qint64 firstDone = -1, secondDone = -1;
        connect(&blast, &CBlastEmail::stationDone, this, [&](const CBlastResult& r) {
            QVERIFY(r.sent);
            (firstDone < 0 ? firstDone : secondDone) = clock.elapsed();
            if (secondDone >= 0)
                blast.Cancel();
        });
        clock.start();
        QVERIFY(blast.Start(request));
        QVERIFY(blast.IsRunning());
        QVERIFY(!blast.Start(request));
        // Long enough that a cancel which did not cut the pause would be seen.
        QVERIFY(done.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 20000);
        QVERIFY2(secondDone - firstDone >= 400, qPrintable(QString::number(secondDone - firstDone)));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(progress.size(), 2);
        QCOMPARE(progress.at(0).at(2).toString(), QStringLiteral("1 of 3: W4ABC"));
        QCOMPARE(progress.at(1).at(2).toString(), QStringLiteral("2 of 3: K1REF"));
        QVERIFY(!blast.IsRunning());
        QCOMPARE(blast.Summary().sent, 2);
        QVERIFY(blast.Summary().cancelled);
        QCOMPARE(blast.Summary().Text(),
                 QStringLiteral("2 of 3 messages sent. Stopped on request; 1 not tried."));
        QCOMPARE(ReceivedMail(dir.Path(), 2, 2000).size(), size_t(2));
    }

    void backgroundOverTls()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        CScratch dir, certDir;
        const CTestCertificates certs = MakeTestCertificates(certDir.Path());
        CServerProcess server(QStringLiteral("smtp_server.py"),
                              {dir.Path(), QStringLiteral("--starttls"), certs.serverPem, certs.serverKey,
                               QStringLiteral("--auth"), QStringLiteral("n0call:pw")});
        CBlastRequest request = Request(server.Port(), {ThreeStations()[0]});
        request.smtp.security = CSMTP::Security::StartTls;
        request.smtp.user = QStringLiteral("n0call");
        request.smtp.password = QStringLiteral("pw");
        request.smtp.caFile = certs.caPem;
        CBlastEmail blast;
        QSignalSpy finished(&blast, &CBlastEmail::finished);
        QVERIFY(blast.Start(request));
        QVERIFY(finished.wait(20000));
        QCOMPARE(blast.Summary().Text(), QStringLiteral("1 of 1 messages sent."));
        const auto mail = ReceivedMail(dir.Path(), 1);
        QCOMPARE(mail.size(), size_t(1));
        QVERIFY(mail[0].meta[QLatin1String("tls")].toBool());
    }

    void cancelCutsThePause()
    {
        CScratch dir;
        CServerProcess server(QStringLiteral("smtp_server.py"), {dir.Path()});
        CBlastRequest request = Request(server.Port(), ThreeStations());
        request.pauseMs = 60000;
        CBlastEmail blast;
        QSignalSpy finished(&blast, &CBlastEmail::finished);
        connect(&blast, &CBlastEmail::stationDone, &blast, &CBlastEmail::Cancel);
        QVERIFY(blast.Start(request));
        QVERIFY(finished.wait(20000));
        QCOMPARE(blast.Summary().results.size(), size_t(1));
        QVERIFY(blast.Summary().cancelled);
    }
};

QTEST_GUILESS_MAIN(TestBlast)
#include "tst_blast.moc"
