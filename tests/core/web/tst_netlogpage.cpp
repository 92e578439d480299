// The net-log page: its rows, the one-pass filling and escaping, its charset, "NetLog.html" and the
// upload to the club's server.
#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/log/LogSchema.h"
#include "core/web/UploadLog.h"
#include "support/HttpServer.h"

#include <QRegularExpression>
#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

QDateTime At(const QDate& day, int minute)
{
    return QDateTime(day, QTime(19, minute));
}

// "n CALL" of each row, in page order.
QStringList Rows(const QByteArray& page)
{
    static const QRegularExpression row(
        QStringLiteral(">(\\d+)\\.\\) </div>.*?target=\"_blank\">([^<]*)</a>"),
        QRegularExpression::DotMatchesEverythingOption);
    QStringList out;
    auto it = row.globalMatch(QString::fromLatin1(page));
    while (it.hasNext()) {
        const auto m = it.next();
        out << m.captured(1) + QLatin1Char(' ') + m.captured(2);
    }
    return out;
}

} // namespace

class TestNetLogPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;
    std::unique_ptr<CDatabase> m_db;
    std::unique_ptr<CHttpServer> m_server;

    void LogThreeOnTheDay()
    {
        AddCheckin(*m_db, {"K0OLD", At(kDay.addDays(-1), 5)});
        AddCheckin(*m_db, {"W4AAA", At(kDay, 1), "Al"});
        AddCheckin(*m_db, {"W4BBB", At(kDay, 2), "Bo"});
        AddCheckin(*m_db, {"K0LATE", At(kDay.addDays(10), 5)}); // 3/17: not the same day
        AddCheckin(*m_db, {"W4CCC", At(kDay, 3), "Cy"});
    }

private Q_SLOTS:
    void initTestCase() { m_server = std::make_unique<CHttpServer>(); }
    void cleanupTestCase() { m_server.reset(); }
    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        m_db = std::make_unique<CDatabase>(m_scratch->File("Logwarden-97.db"));
        LogSchema::Prepare(*m_db);
        m_server->ClearRoutes();
        m_server->ClearRequests();
    }
    void cleanup()
    {
        m_db.reset();
        m_scratch.reset();
    }

    void rowsInOrderOrReversed_data()
    {
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("in order") << false << QStringList{"1 W4AAA", "2 W4BBB", "3 W4CCC"};
        QTest::newRow("reversed") << true << QStringList{"3 W4CCC", "2 W4BBB", "1 W4AAA"};
    }

    void rowsInOrderOrReversed()
    {
        QFETCH(bool, reverse);
        QFETCH(QStringList, rows);
        LogThreeOnTheDay();
        const QByteArray page = NetLog::BuildPage(*m_db, kDay, reverse).value();
        QCOMPARE(Rows(page), rows);
        QVERIFY(page.contains(
            "<h3 align=\"center\">3 Stations Checked in to the Ostravel 2 Meter Net on 3/7/2024</h3>"));
        QVERIFY(page.contains("<a href=\"https://www.qrz.com/db/W4AAA\" target=\"_blank\">W4AAA</a>"));
        QVERIFY(page.contains("<title>OSTRA Net Log</title>"));
        QVERIFY(page.contains("content=\"text/html; charset=iso-8859-1\""));
        QVERIFY(page.contains("<meta http-equiv=\"refresh\" content=\"120\">"));
        QVERIFY(page.contains("&copy; 2024 "));
        QVERIFY(!page.contains("RECORD") && !page.contains("DATE") && !page.contains("COPYRIGHTYEAR"));
    }

    void valuesAreEscapedAndFilledOnce_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<bool>("staying");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<QByteArray>("absent");
        QTest::newRow("placeholders in values")
            << "NAME1"
            << "LOCATION Smith"
            << "RECORDCOUNT"
            << "COMMENTS and CALL" << false
            << QByteArrayList{">NAME1</a>", ">LOCATION Smith</font>", ">RECORDCOUNT</font>",
                              ">COMMENTS and CALL</font>"}
            << QByteArray("Smith Smith");
        QTest::newRow("script in a comment")
            << "W4ABC"
            << "Al"
            << ""
            << "<script>alert(1)</script>" << false << QByteArrayList{"&lt;script&gt;alert(1)&lt;/script&gt;"}
            << QByteArray("<script>");
        QTest::newRow("quotes and ampersand")
            << "W4\"X"
            << "O'Brien & \"Sons\""
            << "A<B"
            << "" << false
            << QByteArrayList{"db/W4&quot;X\"", "O&#39;Brien &amp; &quot;Sons&quot;", ">A&lt;B</font>"}
            << QByteArray("W4\"X");
        QTest::newRow("staying for comments, no comment")
            << "W4ABC"
            << "Al"
            << ""
            << "" << true
            << QByteArrayList{"<font color=\"#53B5D5\"><font color=\"#00FF00\">Is staying for comments. "
                              "</font><br></font>"}
            << QByteArray("&lt;font");
        QTest::newRow("staying, with a comment")
            << "W4ABC"
            << "Al"
            << ""
            << "mobile & wet" << true << QByteArrayList{"comments. </font><br>mobile &amp; wet</font>"}
            << QByteArray();
        QTest::newRow("outside Latin-1")
            << "W4ABC"
            << "Zoë Ŧ"
            << "€ 😀"
            << "" << false << QByteArrayList{"Zo\xeb &#358;", "&#8364; &#128512;"} << QByteArray("\xc3");
    }

    void valuesAreEscapedAndFilledOnce()
    {
        QFETCH(QString, call);
        QFETCH(QString, name);
        QFETCH(QString, location);
        QFETCH(QString, comment);
        QFETCH(bool, staying);
        QFETCH(QByteArrayList, expected);
        QFETCH(QByteArray, absent);
        CCheckinRecord r;
        r.callSign = call;
        r.name = name;
        r.location = location;
        r.comment = comment;
        r.hasComments = staying;
        const QByteArray page = NetLog::BuildPage({r}, kDay, false).value();
        for (const QByteArray& e : expected)
            QVERIFY2(page.contains(e), e.constData());
        if (!absent.isEmpty())
            QVERIFY2(!page.contains(absent), absent.constData());
        QVERIFY(page.contains("<h3 align=\"center\">1 Stations"));
    }

    // The club's and the net's names from the settings: escaped, filled in once, the defaults unchanged.
    void clubAndNetNames_data()
    {
        QTest::addColumn<QString>("club");
        QTest::addColumn<QString>("net");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<QByteArray>("absent");
        QTest::newRow("defaults")
            << QString() << QString()
            << QByteArrayList{"1 Stations Checked in to the Ostravel 2 Meter Net on 3/7/2024</h3>",
                              "&copy; 2024 Ostravel Amateur Radio Club</font>",
                              "Back to the Ostravel Amateur Radio Club home page"}
            << QByteArray("NETNAME");
        QTest::newRow("markup escaped")
            << "Smith & <b>Sons</b> ARC"
            << "\"Early\" 6m Net"
            << QByteArrayList{"Checked in to the &quot;Early&quot; 6m Net on",
                              "&copy; 2024 Smith &amp; &lt;b&gt;Sons&lt;/b&gt; ARC</font>"}
            << QByteArray("<b>Sons");
        QTest::newRow("placeholders in names stay")
            << "DATE Club"
            << "RECORDCOUNT Net"
            << QByteArrayList{"to the RECORDCOUNT Net on 3/7/2024", "2024 DATE Club</font>"}
            << QByteArray("3/7/2024 Club");
        QTest::newRow("outside Latin-1")
            << "Klub Ŧ"
            << "Net €" << QByteArrayList{"to the Net &#8364; on", "Klub &#358;</font>"} << QByteArray("\xc3");
    }

    void clubAndNetNames()
    {
        QFETCH(QString, club);
        QFETCH(QString, net);
        QFETCH(QByteArrayList, expected);
        QFETCH(QByteArray, absent);
        CSettings settings(m_scratch->File("Logwarden.ini"), m_scratch->Path());
        if (!club.isEmpty()) {
            CNetDetails d;
            d.clubName = club;
            d.netName = net;
            d.Store(settings);
        }
        CCheckinRecord r;
        r.callSign = "W4ABC";
        const QByteArray page =
            NetLog::BuildPage({r}, kDay, false, CNetDetails::FromSettings(settings)).value();
        for (const QByteArray& e : expected)
            QVERIFY2(page.contains(e), e.constData());
        QVERIFY2(!page.contains(absent), absent.constData());
    }

    void aDayWithoutCheckinsHasNoPage()
    {
        LogThreeOnTheDay();
        const QDate empty(2024, 3, 8);
        QVERIFY(!NetLog::BuildPage(*m_db, empty, false));
        CWebRequest request;
        NetLog::ConfigureUpload(request, m_server->Host());
        const NetLog::CResult r = NetLog::Publish(*m_db, empty, false, m_scratch->Path(), request);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("No Matching Records for Date like '3/8/2024*' to upload..."));
        QVERIFY(!QFile::exists(m_scratch->File("NetLog.html")));
        QCOMPARE(m_server->Requests().size(), 0);
    }

    void publish_data()
    {
        QTest::addColumn<QJsonObject>("route"); // empty: nothing listens
        QTest::addColumn<QString>("message");
        QTest::newRow("accepted") << QJsonObject{{"body", "thanks"}} << "";
        QTest::newRow("accepted, no content") << QJsonObject{{"status", 204}} << "";
        QTest::newRow("unavailable") << QJsonObject{{"status", 503}}
                                     << "Upload failed: 503 Service Unavailable";
        QTest::newRow("moved") << QJsonObject{{"redirect", "/new/netlog.cgi"}} << "Upload failed: 302 Found";
        QTest::newRow("password") << QJsonObject{{"auth", "club:pw"}}
                                  << "Upload failed: Access denied: Invalid password";
        QTest::newRow("nobody there") << QJsonObject() << "Upload failed: ";
    }

    void publish()
    {
        QFETCH(QJsonObject, route);
        QFETCH(QString, message);
        LogThreeOnTheDay();
        WriteFile(m_scratch->File("NetLog.html"), "yesterday's page, longer than today's will be ... ");
        m_server->Route("/cgi-bin/netlog.cgi", route);
        CWebRequest request;
        NetLog::ConfigureUpload(request, route.isEmpty() ? QStringLiteral("127.0.0.1:%1").arg(ClosedPort())
                                                         : m_server->Host());
        const NetLog::CResult r = NetLog::Publish(*m_db, kDay, true, m_scratch->Path(), request);
        QCOMPARE(r.ok, message.isEmpty());
        QCOMPARE(r.rows, 3);
        if (message.isEmpty())
            QVERIFY2(r.message.isEmpty(), qPrintable(r.message));
        else
            QVERIFY2(r.message.startsWith(message) && r.message.size() > 15, qPrintable(r.message));

        // The page on disk is the one built, whatever the server made of it.
        const QByteArray saved = ReadFile(m_scratch->File("NetLog.html"));
        QCOMPARE(saved, NetLog::BuildPage(*m_db, kDay, true).value());
        if (route.isEmpty())
            return;
        const QList<CRecordedRequest> seen = m_server->Requests();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].method, QStringLiteral("POST"));
        QCOMPARE(seen[0].path, QStringLiteral("/cgi-bin/netlog.cgi"));
        QCOMPARE(seen[0].headers.value("content-type"), QStringLiteral("text/html; charset=iso-8859-1"));
        QCOMPARE(seen[0].body, saved);
    }
};

QTEST_GUILESS_MAIN(TestNetLogPage)
#include "tst_netlogpage.moc"
