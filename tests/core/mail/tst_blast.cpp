// Test labels: threads
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "core/mail/Base64.h"
#include "core/mail/BlastEmail.h"
#include "support/MailSupport.h"
#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

const QDate kNetDay(2024, 3, 7);

std::vector<CBlastStation> ThreeStations()
{
    return {{u"W4ABC"_s, u"Bob"_s, u"bob@example.org"_s},
            {u"K1REF"_s, u"Ann"_s, u"nobody@example.org"_s},
            {u"N0BOB"_s, u"Bob <CALL>"_s, u"bob2@example.org"_s}};
}

CBlastRequest Request(int port, const std::vector<CBlastStation>& stations)
{
    CBlastRequest r;
    r.server = u"127.0.0.1"_s;
    r.port = port;
    r.from = uR"("N0CALL Net" <n0call@example.org>)"_s;
    r.subject = u"Invitation: Check-in tonight"_s;
    r.message = u"Dear <NAME> (<CALL>),\nsee you at 9 PM.\n.\n73"_s;
    r.stations = stations;
    r.pauseMs = 0;
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
        CDatabase db(scratch.File(u"Logwarden-97.db"_s));
        LogSchema::Prepare(db);
        const auto at = [](int days, int minute) {
            return QDateTime(kNetDay.addDays(days), QTime(21, minute));
        };
        AddCheckin(db,
                   {.call = u"W4ABC"_s, .when = at(0, 0), .name = u"Bob"_s, .email = u"old@example.org"_s});
        AddCheckin(db, {.call = u"K1XYZ"_s, .when = at(0, 1), .name = u"Ann"_s});
        AddCheckin(
            db,
            {.call = u"N0BOB"_s, .when = at(0, 2), .name = u"BOB <CALL>"_s, .email = u" b2@example.org "_s});
        AddCheckin(db, {.call = u"KD2EMP"_s, .when = at(0, 3), .email = u"  "_s});
        // Checked in again with a new address: one message, to the new address.
        AddCheckin(
            db, {.call = u"W4ABC"_s, .when = at(0, 30), .name = u"Bobby"_s, .email = u"bob@example.org"_s});
        AddCheckin(db, {.call = u"AA1OTH"_s, .when = at(1, 0), .email = u"next@example.org"_s});
        AddCheckin(db, {.call = u"AA1PRE"_s, .when = at(-1, 59), .email = u"before@example.org"_s});
        QStringList rows;
        for (const CBlastStation& s : CBlastEmail::DistributionList(db, kNetDay))
            rows << s.callSign + u'|' + s.name + u'|' + s.email;
        QCOMPARE(rows, (QStringList{u"W4ABC|Bobby|bob@example.org"_s, u"N0BOB|BOB <CALL>|b2@example.org"_s}));
    }

    void personalise_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("twice each") << u"<NAME> <CALL>, <NAME>!"_s << u"Bob"_s << u"Bob W4ABC, Bob!"_s;
        QTest::newRow("name holding <CALL>") << u"Hi <NAME>"_s << u"Bob <CALL>"_s << u"Hi Bob W4ABC"_s;
        QTest::newRow("last name first") << u"Dear <NAME>,"_s << u"Lee, Billy"_s << u"Dear Billy,"_s;
    }

    // <NAME> greets with the first name, whether the log keeps the name as the FCC writes it or as typed.
    void greetingName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("last, first") << u"Lee, Billy"_s << u"Billy"_s;
        QTest::newRow("last, first middle") << u"Smith, John Q"_s << u"John"_s;
        QTest::newRow("capitals, last first") << u"O'BRIEN & SONS, JOHN Q"_s << u"John"_s;
        QTest::newRow("capitals") << u"JOHN SMITH"_s << u"John"_s;
        QTest::newRow("capitals with hyphen and apostrophe") << u"MARY-ANN O'NEIL"_s << u"Mary-Ann"_s;
        QTest::newRow("mixed case stays") << u"Ann New"_s << u"Ann New"_s;
        QTest::newRow("mixed case, one word") << u"Bob"_s << u"Bob"_s;
        QTest::newRow("nothing after the comma") << u"Smith,"_s << u"Smith,"_s;
        QTest::newRow("capitals, nothing after the comma") << u"SMITH,"_s << u"Smith,"_s;
        QTest::newRow("no letters") << u"73"_s << u"73"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void greetingName()
    {
        QFETCH(QString, name);
        QFETCH(QString, greeting);
        QCOMPARE(CBlastEmail::GreetingName(name), greeting);
    }

    // A server out of reach for two stations in a row stops the blast (it would hold every other station
    // for its time-out); a refusal of one message does not.
    void stopsWhenTheServerIsOutOfReach_data()
    {
        QTest::addColumn<QStringList>("steps"); // of the peer; empty: a port nobody listens on
        QTest::addColumn<int>("tried");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("accepts and never greets") << QStringList{u"silence"_s} << 2 << true;
        QTest::newRow("greets with a refusal") << QStringList{u"send:554 no service\\r\\n"_s} << 2 << true;
        QTest::newRow("refuses the connection") << QStringList{} << 2 << true;
        QTest::newRow("refuses each sender: goes on")
            << QStringList{u"send:220 hi\\r\\n"_s, u"read"_s,   u"send:250 hello\\r\\n"_s, u"read"_s,
                           u"send:550 no\\r\\n"_s, u"silence"_s}
            << 3 << false;
    }
    void stopsWhenTheServerIsOutOfReach()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, tried);
        QFETCH(bool, stopped);
        CScratch dir;
        std::unique_ptr<CServerProcess> peer;
        int port = 0;
        if (steps.isEmpty()) {
            QTcpServer probe; // a port that was free a moment ago
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        } else {
            peer = std::make_unique<CServerProcess>(u"smtp_peer.py"_s, QStringList{dir.Path()} + steps);
            port = peer->Port();
        }
        CBlastRequest request = Request(port, ThreeStations());
        request.smtp.replyTimeoutMs = 1000;
        request.smtp.connectTimeoutMs = 2000;
        const CBlastSummary summary = CBlastEmail::Send(request);
        QCOMPARE(int(summary.results.size()), tried);
        QCOMPARE(summary.serverUnreachable, stopped);
        QCOMPARE(summary.sent, 0);
        if (stopped) {
            QCOMPARE(summary.notTried.size(), size_t(1));
            QCOMPARE(summary.notTried[0].callSign, u"N0BOB"_s);
            QVERIFY2(
                summary.Text().contains(u"Stopped: the mail server could not be reached for two stations in "
                                        "a row; not tried: N0BOB."_s),
                qPrintable(summary.Text()));
        }
    }
    void personalise()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(CBlastEmail::Personalise(text, {u"W4ABC"_s, name, {}}), expected);
    }

    void settings()
    {
        // What the window stores comes back, the password never among it.
        CScratch scratch;
        CSettings settings(scratch.File(u"Logwarden.ini"_s), scratch.Path());
        CBlastRequest request;
        CBlastEmail::ApplySettings(settings, request);
        QCOMPARE(request.port, 25);
        QCOMPARE(request.pauseMs, 5000);
        QCOMPARE(request.from, uR"("N0CALL Net" <n0call@example.org>)"_s);
        request.server = u"mail.example.org"_s;
        request.port = 465;
        request.smtp = {.security = CSMTP::Security::Tls,
                        .user = u"n0call"_s,
                        .password = u"pw"_s,
                        .caFile = u"/ca.pem"_s};
        request.pauseMs = 2000;
        CBlastEmail::StoreSettings(settings, request);
        settings.Sync();
        CBlastRequest back;
        CBlastEmail::ApplySettings(CSettings(scratch.File(u"Logwarden.ini"_s), scratch.Path()), back);
        QCOMPARE(back.server + u':' + QString::number(back.port) + u':' + back.smtp.user + u':' +
                     back.smtp.caFile,
                 u"mail.example.org:465:n0call:/ca.pem"_s);
        QCOMPARE(back.smtp.security, CSMTP::Security::Tls);
        QCOMPARE(back.pauseMs, 2000);
        QVERIFY(!ReadFile(scratch.File(u"Logwarden.ini"_s)).contains("pw"));
    }

    void blast()
    {
        CScratch dir, files;
        WriteFile(files.File(u"agenda.txt"_s), "abc");
        const QByteArray map(54 * 3, 'm');
        WriteFile(files.File(u"net map.png"_s), map);
        CServerProcess server(u"smtp_server.py"_s, {dir.Path(), u"--refuse"_s, u"nobody@example.org"_s});
        CBlastRequest request = Request(server.Port(), ThreeStations());
        request.attachments << files.File(u"agenda.txt"_s) << files.File(u"net map.png"_s);

        QStringList seen;
        CBlastEmail::CObserver observer;
        observer.starting = [&](int i, int n, const CBlastStation& s) {
            seen << CBlastEmail::ProgressText(i, n, s);
        };
        observer.done = [&](const CBlastResult& r) {
            seen << (r.sent ? u"sent "_s : u"failed "_s) + r.station.callSign;
        };
        const CBlastSummary summary = CBlastEmail::Send(request, observer);
        QCOMPARE(seen, (QStringList{u"1 of 3: W4ABC"_s, u"sent W4ABC"_s, u"2 of 3: K1REF"_s,
                                    u"failed K1REF"_s, u"3 of 3: N0BOB"_s, u"sent N0BOB"_s}));
        QCOMPARE(summary.Text(),
                 u"2 of 3 messages sent.\nFailed: K1REF <nobody@example.org>: 550:SMTP server error "
                 "(550 5.1.1 <nobody@example.org>: no such user here)"_s);

        // One session per station, one recipient each, the envelope sender bare.
        const auto mail = ReceivedMail(dir.Path(), 2);
        QCOMPARE(mail.size(), size_t(2));
        QVERIFY(mail[0].meta["session"_L1] != mail[1].meta["session"_L1]);
        QCOMPARE(mail[0].meta["rcpt_tos"_L1].toArray(), QJsonArray{u"bob@example.org"_s});
        QCOMPARE(mail[1].meta["rcpt_tos"_L1].toArray(), QJsonArray{u"bob2@example.org"_s});
        QCOMPARE(mail[1].meta["mail_from"_L1].toString(), u"n0call@example.org"_s);
        QVERIFY(mail[0].content.contains("\r\nTo: \"W4ABC (Bob)\" <bob@example.org>\r\n"));
        QVERIFY(mail[1].content.contains("\r\nTo: \"N0BOB (Bob <CALL>)\" <bob2@example.org>\r\n"));
        QVERIFY(mail[0].content.contains("\r\n\r\nDear Bob (W4ABC),\r\nsee you at 9 PM.\r\n.\r\n73\r\n"));
        QVERIFY(mail[1].content.contains("\r\n\r\nDear Bob N0BOB (N0BOB),\r\n"));
        for (const auto& m : mail) {
            const QList<QByteArray> parts = Attachments(m.content);
            QCOMPARE(parts.size(), 2);
            QCOMPARE(parts[0], "YWJj"_ba);
            QCOMPARE(QByteArray::fromBase64(parts[1]), map);
            QVERIFY(m.content.contains("filename=\"net map.png\"\r\n"));
        }
    }

    void refusedBeforeTheFirstMessage_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("refused");
        QTest::newRow("unreadable attachment")
            << u"attachment"_s << u"Cannot read the attachment \"/no/agenda.pdf\""_s;
        QTest::newRow("header in the subject") << u"subject"_s << u"The subject holds a line break"_s;
        QTest::newRow("sender is no address") << u"from"_s << u"The sender \"N0CALL Net\" is not"_s;
        QTest::newRow("password without TLS")
            << u"user"_s << u"Authentication needs an encrypted connection"_s;
    }
    void refusedBeforeTheFirstMessage()
    {
        QFETCH(QString, what);
        QFETCH(QString, refused);
        CScratch dir;
        CServerProcess peer(u"smtp_peer.py"_s, {dir.Path(), u"send:220 hi\\r\\n"_s});
        CBlastRequest request = Request(peer.Port(), ThreeStations());
        if (what == u"attachment"_s)
            request.attachments << u"/no/agenda.pdf"_s;
        else if (what == u"subject"_s)
            request.subject = u"Net\r\nBcc: everyone@example.org"_s;
        else if (what == u"from"_s)
            request.from = u"N0CALL Net"_s;
        else
            request.smtp.user = u"n0call"_s;
        const CBlastSummary summary = CBlastEmail::Send(request);
        QVERIFY2(summary.refused.startsWith(refused), qPrintable(summary.refused));
        QVERIFY(summary.results.empty());
        QVERIFY(summary.Text().startsWith(u"No message was sent: "_s));
        QCOMPARE(PeerSession(dir.Path(), 1, 300), "<missing>"_ba);
    }

    void stationWithBadAddress()
    {
        // An address from the log that would break the envelope: that station fails, the others go.
        CScratch dir;
        CServerProcess server(u"smtp_server.py"_s, {dir.Path()});
        std::vector<CBlastStation> stations = ThreeStations();
        stations[1].email = u"ann@example.org>\r\nRCPT TO:<all@example.org"_s;
        const CBlastSummary summary = CBlastEmail::Send(Request(server.Port(), stations));
        QCOMPARE(summary.sent, 2);
        QVERIFY(summary.results[1].error.startsWith(u"Recipient refused"_s));
    }

    void inTheBackground()
    {
        // Over STARTTLS and AUTH from the worker, the pause kept between messages; Cancel cuts the pause
        // short and ends the blast.
        QTest::failOnWarning(QRegularExpression(u"."_s));
        CScratch dir, certDir;
        const CTestCertificates certs = MakeTestCertificates(certDir.Path());
        CServerProcess server(u"smtp_server.py"_s, {dir.Path(), u"--starttls"_s, certs.serverPem,
                                                    certs.serverKey, u"--auth"_s, u"n0call:pw"_s});
        std::vector<CBlastStation> stations = ThreeStations();
        stations[1].email = u"ann@example.org"_s;
        CBlastRequest request = Request(server.Port(), stations);
        request.smtp = {.security = CSMTP::Security::StartTls,
                        .user = u"n0call"_s,
                        .password = u"pw"_s,
                        .caFile = certs.caPem};
        request.pauseMs = 500;

        CBlastEmail blast;
        QSignalSpy progress(&blast, &CBlastEmail::progress);
        QSignalSpy finished(&blast, &CBlastEmail::finished);
        QElapsedTimer clock;
        QList<qint64> done;
        connect(&blast, &CBlastEmail::stationDone, this, [&](const CBlastResult& r) {
            QVERIFY2(r.sent, qPrintable(r.error));
            done << clock.elapsed();
            if (done.size() == 2)
                blast.Cancel();
        });
        clock.start();
        QVERIFY(blast.Start(request));
        QVERIFY(!blast.Start(request));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(done.size(), 2);
        QVERIFY2(done[1] - done[0] >= 500, qPrintable(QString::number(done[1] - done[0])));
        QCOMPARE(progress.size(), 2);
        QCOMPARE(progress.at(1).at(2).toString(), u"2 of 3: K1REF"_s);
        QVERIFY(!blast.IsRunning());
        QCOMPARE(blast.Summary().Text(), u"2 of 3 messages sent. Stopped on request; 1 not tried."_s);
        QCOMPARE(ReceivedMail(dir.Path(), 2)[1].meta["auth"_L1].toString(), u"n0call"_s);

        // A pause of a minute is cut short too.
        request.pauseMs = 60000;
        connect(&blast, &CBlastEmail::stationDone, &blast, &CBlastEmail::Cancel);
        QVERIFY(blast.Start(request));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
        QCOMPARE(blast.Summary().sent, 1);
    }
};

QTEST_GUILESS_MAIN(TestBlast)
#include "tst_blast.moc"
