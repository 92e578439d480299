// The pre-net check-ins and the EchoLink listing: reading the club server's pages, the "Ack" marks, what
// "Move all" logs and what each moved station is filled with.
#include "core/db/Database.h"
#include "core/fcc/FccLookup.h"
#include "core/log/LogSchema.h"
#include "core/web/PreNet.h"
#include "support/HttpServer.h"
#include "support/UlsFiles.h"

#include <QtTest>

using namespace TestSupport;

namespace {

const QDate kDay(2024, 3, 7);

// A page as the club server writes it: a head long enough to pass the short-page rule, the form, then the
// entries.
QByteArray Page(const QByteArray& items, const QByteArray& beforeForm = {})
{
    return "<html><head><title>Pre Net</title><!--" + QByteArray(1400, '.') + "--></head>\n<body>\n" +
           beforeForm +
           "<form action=\"/cgi-bin/preCheckIn\" method=\"post\"><input name=\"call\"></form>\n<ol>\n" +
           items + "</ol>\n</body></html>\n";
}

QByteArray OfSize(qsizetype size, const QByteArray& items = "<li>W4ABC, Al</li>")
{
    QByteArray page = "<html><body><form></form>" + items;
    page += QByteArray(size - page.size() - 14, ' ') + "</body></html>";
    return page;
}

// The server's empty page of the day (1357 bytes) with CR LF line ends: longer until the CRs are dropped.
QByteArray EmptyPageWithCrLf()
{
    QByteArray page = OfSize(1357, "");
    for (int i = 30; i < 50; ++i)
        page[i] = '\n';
    return page.replace("\n", "\r\n");
}

QStringList Entries(const std::vector<CPreNetEntry>& entries)
{
    QStringList out;
    for (const CPreNetEntry& e : entries)
        out << QStringLiteral("%1|%2|%3|%4").arg(e.logged ? "1" : "0", e.call, e.name, e.location);
    return out;
}

} // namespace

class TestPreNet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsePage_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("entries");
        const int E = CPreNetPage::Entries, N = CPreNetPage::NothingFound, B = CPreNetPage::BadServer;
        QTest::newRow("name with +, location") << Page("<li>W4ABC, John+Smith, Springfield</li>\n") << E
                                               << QStringList{"0|W4ABC|John Smith|Springfield"};
        QTest::newRow("no location: the name ends at the tag")
            << Page("<li>K4XYZ, Mary+Ann</li>\n") << E << QStringList{"0|K4XYZ|Mary Ann|"};
        QTest::newRow("location taken as it stands")
            << Page("<li>N4Q, Bob, Spring+field, SC </li>") << E << QStringList{"0|N4Q|Bob|Spring+field, SC"};
        QTest::newRow("page order")
            << Page("<li>W4ABC, Al, Here</li><li>K4XYZ, Bo</li>\n<li>N4Q, Cy, There</li>") << E
            << QStringList{"0|W4ABC|Al|Here", "0|K4XYZ|Bo|", "0|N4Q|Cy|There"};
        QTest::newRow("call with + and blanks")
            << Page("<li> +W4+ABC , Al</li>") << E << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("no blank after the comma")
            << Page("<li>W4ABC,John,Macon</li>") << E << QStringList{"0|W4ABC|John|Macon"};
        QTest::newRow("lists before the form are no entries")
            << Page("<li>W4ABC, Al</li>", "<ul><li>Home</li><li>Nets, Times</li></ul>") << E
            << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("no form: every list item")
            << "<html><!--" + QByteArray(1400, '.') + "--><li>W4ABC, Al</li></html>" << E
            << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("entry without a comma stays in its element")
            << Page("<li>W4ABC</li><li>K4XYZ, Mary</li>") << E << QStringList{"0|W4ABC||", "0|K4XYZ|Mary|"};
        QTest::newRow("empty elements skipped")
            << Page("<li></li><li> , Nobody</li><li>W4ABC, Al</li>") << E << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("last entry not closed") << Page("<li>W4ABC, Al, Macon") + "<li>K4XYZ, Bo" << E
                                               << QStringList{"0|W4ABC|Al|Macon", "0|K4XYZ|Bo|"};
        QTest::newRow("UTF-8 name") << Page("<li>W4ABC, Zo\xc3\xab</li>") << E << QStringList{"0|W4ABC|Zoë|"};
        QTest::newRow("Latin-1 name") << Page("<li>W4ABC, Zo\xeb</li>") << E << QStringList{"0|W4ABC|Zoë|"};
        QTest::newRow("long page without entries: nothing found") << Page("") << N << QStringList{};
        QTest::newRow("1357 bytes: nothing found") << OfSize(1357) << N << QStringList{};
        QTest::newRow("1375 bytes: bad server") << OfSize(1375) << B << QStringList{};
        QTest::newRow("1376 bytes: entries") << OfSize(1376) << E << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("a 404 anywhere: bad server")
            << Page("<li>W4ABC, Al, Room 404</li>") << B << QStringList{};
        QTest::newRow("empty: bad server") << QByteArray() << B << QStringList{};
        // Each entry read to its end, tags left out, references decoded, line ends and controls blanks.
        QTest::newRow("call in bold")
            << Page("<li><b>W1AW</b>, Hiram</li>") << E << QStringList{"0|W1AW|Hiram|"};
        QTest::newRow("tags anywhere in the entry")
            << Page("<li><a href=\"/x\">W4ABC</a>, <i>John</i>, Macon<br>GA</li>") << E
            << QStringList{"0|W4ABC|John|MaconGA"};
        QTest::newRow("references decoded once")
            << Page("<li>W4ABC, Smith &amp; Sons, Macon &lt;GA&gt; &amp;amp;</li>") << E
            << QStringList{"0|W4ABC|Smith & Sons|Macon <GA> &amp;"};
        QTest::newRow("numeric references; a coded plus stays")
            << Page("<li>&#87;4ABC, Zo&#xeb; A&#43;B</li>") << E << QStringList{"0|W4ABC|Zoë A+B|"};
        QTest::newRow("a coded comma stays in its field")
            << Page("<li>W4ABC, Smith&#44; Jr, Macon</li>") << E << QStringList{"0|W4ABC|Smith, Jr|Macon"};
        QTest::newRow("line ends and controls inside an entry")
            << Page("<li>W4ABC, Al\n1|FORGED|Mallory|Nowhere&#10;x&#27;y</li>") << E
            << QStringList{"0|W4ABC|Al 1|FORGED|Mallory|Nowhere x y|"};
        QTest::newRow("C1 controls of a Latin-1 page") << Page("<li>W4ABC, A\x85"
                                                               "B\x93"
                                                               "C</li>")
                                                       << E << QStringList{"0|W4ABC|A B C|"};
        QTest::newRow("tags in capitals")
            << Page("<LI>W4ABC, Al</LI><Li>K4XYZ, Bo</lI>") << E << QStringList{"0|W4ABC|Al|", "0|K4XYZ|Bo|"};
        QTest::newRow("an open entry ends with its list")
            << Page("<li>W4ABC, Al</ol><p>Contact, us</p>") << E << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("<link> is no entry")
            << Page("<link rel=x><li>W4ABC, Al</li>") << E << QStringList{"0|W4ABC|Al|"};
        QTest::newRow("unknown references stay")
            << Page("<li>W4ABC, A&bogus;B &#xZZ; &</li>") << E << QStringList{"0|W4ABC|A&bogus;B &#xZZ; &|"};
    }

    // A page of more entries than any net has is read no further than the cap.
    void entriesCapped()
    {
        // Calls of letters: a "404" anywhere would make it the bad-server page.
        const auto call = [](int i) {
            return "K" + QByteArray(1, char('A' + i / 676)) + char('A' + i / 26 % 26) + char('A' + i % 26);
        };
        QByteArray items;
        for (int i = 0; i < 6000; ++i)
            items += "<li>" + call(i) + ", Name</li>";
        const CPreNetPage page = PreNet::ParsePage(Page(items));
        QCOMPARE(page.entries.size(), PreNet::kMaxEntries);
        QVERIFY(page.capped);
        QCOMPARE(page.entries.back().call, QString::fromLatin1(call(4999)));
        QVERIFY(page.Summary().startsWith("Pre-net: 5000 check-ins (the page holds more"));

        QString names = QStringLiteral("<body>");
        for (int i = 0; i < 6000; ++i)
            names += QStringLiteral("K%1 ").arg(i);
        bool capped = false;
        QCOMPARE(PreNet::ParseEchoLink(names + "</body>", &capped).size(), qsizetype(PreNet::kMaxEntries));
        QVERIFY(capped);
        QCOMPARE(PreNet::ParseEchoLink(QStringLiteral("<body>W1AW K1ABC </body>"), &capped).size(), 2);
        QVERIFY(!capped);
    }

    void parsePage()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QStringList, entries);
        const CPreNetPage page = PreNet::ParsePage(body);
        QCOMPARE(int(page.status), status);
        QCOMPARE(Entries(page.entries), entries);
        const QString message = status == CPreNetPage::NothingFound ? "Nothing found so far for today"
                                : status == CPreNetPage::BadServer  ? "Bad Server Name perhaps?"
                                                                    : "";
        QCOMPARE(page.Message(), message);
    }

    void wholeCallsMarkAndMove_data()
    {
        QTest::addColumn<QStringList>("logged"); // the day's calls
        QTest::addColumn<QStringList>("page");
        QTest::addColumn<QStringList>("marked"); // Ack|Call
        QTest::addColumn<QStringList>("moved");
        QTest::newRow("case and blanks ignored") << QStringList{"W4ABC"} << QStringList{"w4abc", " W4ABC "}
                                                 << QStringList{"1|w4abc", "1| W4ABC "} << QStringList{};
        QTest::newRow("a shorter call is another station")
            << QStringList{"W4AB"} << QStringList{"W4ABC", "W4AB"} << QStringList{"0|W4ABC", "1|W4AB"}
            << QStringList{"W4ABC"};
        QTest::newRow("a longer call is another station")
            << QStringList{"KH6/W4ABC"} << QStringList{"W4ABC", "KH6/W4ABC"}
            << QStringList{"0|W4ABC", "1|KH6/W4ABC"} << QStringList{"W4ABC"};
        QTest::newRow("an empty call in the log matches nobody")
            << QStringList{""} << QStringList{"W4ABC", "K4XYZ"} << QStringList{"0|W4ABC", "0|K4XYZ"}
            << QStringList{"W4ABC", "K4XYZ"};
        QTest::newRow("a call twice on the page moves once")
            << QStringList{} << QStringList{"W4ABC", "K4XYZ", "w4abc"}
            << QStringList{"0|W4ABC", "0|K4XYZ", "0|w4abc"} << QStringList{"W4ABC", "K4XYZ"};
    }

    void wholeCallsMarkAndMove()
    {
        QFETCH(QStringList, logged);
        QFETCH(QStringList, page);
        QFETCH(QStringList, marked);
        QFETCH(QStringList, moved);
        std::vector<CPreNetEntry> entries;
        for (const QString& call : page)
            entries.push_back({call, "Name", "Place"});
        const CCallSet day(logged);
        PreNet::MarkLogged(entries, day);
        QStringList marks;
        for (const CPreNetEntry& e : entries)
            marks << QStringLiteral("%1|%2").arg(e.logged ? "1" : "0", e.call);
        QCOMPARE(marks, marked);
        QStringList toMove;
        for (const CPreNetEntry& e : PreNet::EntriesToMove(entries, day))
            toMove << e.call;
        QCOMPARE(toMove, moved);
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("withFcc");
        QTest::addColumn<int>("source");
        QTest::addColumn<QStringList>("record"); // call, name, street, location, class, comment
        QTest::newRow("history first, comment and flags cleared")
            << "w4abc" << true << int(CCallbookAnswer::Source::LastCheckin)
            << QStringList{"W4ABC", "Al Logged", "1 Elm St", "Macon, GA", "G", ""};
        QTest::newRow("then the FCC licence")
            << "K1NEW" << true << int(CCallbookAnswer::Source::Fcc)
            << QStringList{"K1NEW", "NEW, NORA", "12 MAIN ST", "SPRINGFIELD, IL 62701", "G", ""};
        QTest::newRow("else the pre-net entry") << "N0NE" << true << int(CCallbookAnswer::Source::PreNetEntry)
                                                << QStringList{"N0NE", "Web Name", "", "Web Place", "", ""};
        QTest::newRow("no FCC database") << "K1NEW" << false << int(CCallbookAnswer::Source::PreNetEntry)
                                         << QStringList{"K1NEW", "Web Name", "", "Web Place", "", ""};
    }

    void resolve()
    {
        QFETCH(QString, call);
        QFETCH(bool, withFcc);
        QFETCH(int, source);
        QFETCH(QStringList, record);
        CScratch s;
        CDatabase db(s.File("Logwarden-97.db"));
        LogSchema::Prepare(db);
        AddCheckin(db, {"W4ABC", QDateTime(kDay.addDays(-14), QTime(19, 0)), "Al Old"});
        AddCheckin(db, {"W4ABC", QDateTime(kDay.addDays(-7), QTime(19, 0)), "Al Logged", "wet", true, true,
                        true, "Macon, GA", "1 Elm St", "G", "EM82", "al@example.org"});
        if (withFcc) {
            WriteUlsFiles(
                s.Path(), CrLf({AmLine(105, "K1NEW", "G")}),
                CrLf({EnLine(105, "K1NEW", "NEW, NORA", "  12 MAIN ST", "SPRINGFIELD", "IL", "62701")}),
                CrLf({HdLine(105, "K1NEW")}));
            QCOMPARE(BuildFccDb(s.Path(), s.File("FCC97.db")).state, CFccDbBuild::Succeeded);
        }
        CFccDatabase fcc;
        const PreNet::CMove m = PreNet::Resolve(db, fcc, s.File("FCC97.db"), {call, "Web Name", "Web Place"});
        QCOMPARE(int(m.source), source);
        const CCheckinRecord& r = m.record;
        QCOMPARE((QStringList{r.callSign, r.name, r.street, r.location, r.cls, r.comment}), record);
        QVERIFY(!r.hasComments && !r.hasTraffic && !r.acknowledged);
        QCOMPARE(r.id, 0);
        QVERIFY(r.date.IsNull());
        QCOMPARE(m.fccError.isEmpty(), withFcc);
        if (source == int(CCallbookAnswer::Source::LastCheckin))
            QCOMPARE(r.email, QStringLiteral("al@example.org"));
    }

    void echoLink_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("stations");
        QTest::newRow("each ended by a blank") << "<html><body>W1AW-R K1ABC-L N0CALL </body></html>"
                                               << QStringList{"W1AW-R", "K1ABC-L", "N0CALL"};
        QTest::newRow("last one without its blank")
            << "<body>W1AW-R K1ABC-L N0CALL</body>" << QStringList{"W1AW-R", "K1ABC-L"};
        QTest::newRow("two blanks end the list")
            << "<body>W1AW-R  K1ABC-L N0CALL </body>" << QStringList{"W1AW-R"};
        QTest::newRow("one without any blank") << "<body>W1AW-R</body>" << QStringList{"W1AW-R"};
        QTest::newRow("leading blank: no empty line")
            << "<body> W1AW K1ABC </body>" << QStringList{"W1AW", "K1ABC"};
        QTest::newRow("line ends trimmed")
            << "<body>\nW1AW \nK1ABC \n</body>" << QStringList{"W1AW", "K1ABC"};
        QTest::newRow("empty body") << "<body></body>" << QStringList{};
        QTest::newRow("no body") << "<html>W1AW </html>" << QStringList{};
        QTest::newRow("no end of body") << "<body>W1AW K1ABC " << QStringList{};
    }

    void echoLink()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, stations);
        QCOMPARE(PreNet::ParseEchoLink(body), stations);
    }

    void reselect_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("selected");
        const QStringList lines{"K1ABC-L", "N0CALL", "W1AW-R"};
        QTest::newRow("found again") << lines << "W1AW-R" << 2 << 2;
        QTest::newRow("prefix, case ignored") << lines << "n0c" << 1 << 1;
        QTest::newRow("first line found last") << lines << "K1ABC-L" << 0 << 0;
        QTest::newRow("gone") << lines << "W9XYZ" << 1 << -1;
        QTest::newRow("list shorter than the old index") << lines << "W1AW-R" << 4 << -1;
        QTest::newRow("nothing selected") << lines << "" << -1 << -1;
    }

    void reselect()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, previous);
        QFETCH(int, index);
        QFETCH(int, selected);
        QCOMPARE(PreNet::Reselect(lines, previous, index), selected);
    }

    void refreshInterval_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms");
        QTest::newRow("seconds") << "5" << 5000;
        QTest::newRow("leading digits") << "30s" << 30000;
        QTest::newRow("zero: no timer") << "0" << 0;
        QTest::newRow("empty: no timer") << "" << 0;
        QTest::newRow("negative: no timer") << "-5" << 0;
    }

    void refreshInterval()
    {
        QFETCH(QString, text);
        QFETCH(int, ms);
        QCOMPARE(PreNet::RefreshIntervalMs(text), ms);
    }

    void fetchFromTheServer_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("entries");
        QTest::newRow("entries, CR LF lines")
            << QJsonObject{{"body",
                            QString::fromLatin1(Page("<li>W4ABC, Al</li>\r\n<li>K4XYZ, Bo</li>\r\n"))}}
            << int(CPreNetPage::Entries) << 2;
        QTest::newRow("the empty page of the day, CR LF lines")
            << QJsonObject{{"body", QString::fromLatin1(EmptyPageWithCrLf())}}
            << int(CPreNetPage::NothingFound) << 0;
        QTest::newRow("404 page: a failure with its status")
            << QJsonObject{{"status", 404}, {"body", QString::fromLatin1(Page("<li>404 Not Found</li>"))}}
            << int(CPreNetPage::Failed) << 0;
        // An error page is no list, however long it is.
        QTest::newRow("500 with a long page: a failure, not the empty day")
            << QJsonObject{{"status", 500}, {"body", QString::fromLatin1(Page("<li>W4ABC</li>"))}}
            << int(CPreNetPage::Failed) << 0;
    }

    void fetchFromTheServer()
    {
        QFETCH(QJsonObject, route);
        QFETCH(int, status);
        QFETCH(int, entries);
        CHttpServer server;
        server.Route("/cgi-bin/preCheckIn", route);
        CWebRequest request;
        request.SetUserName("left over");
        const CPreNetFetch f = PreNet::FetchPreNet(request, server.Host());
        QVERIFY(f.response.Answered());
        QCOMPARE(int(f.page.status), status);
        QCOMPARE(int(f.page.entries.size()), entries);
        QCOMPARE(server.Requests().value(0).path, QStringLiteral("/cgi-bin/preCheckIn"));
        if (status == CPreNetPage::Failed)
            QCOMPARE(f.page.Message(), "Pre-net check-ins not fetched: " + f.response.StatusText());
        else if (status == CPreNetPage::Entries)
            QCOMPARE(f.page.Summary(), QStringLiteral("Pre-net: %1 check-ins").arg(entries));
    }

    // The EchoLink listing reads a 2xx answer only: an error page's words are no stations.
    void echoLinkFromTheServer_data()
    {
        QTest::addColumn<QJsonObject>("route");
        QTest::addColumn<QStringList>("stations");
        QTest::addColumn<QString>("failure");
        QTest::newRow("listing") << QJsonObject{{"body", "<html><body>W1AW-R K1ABC </body></html>"}}
                                 << QStringList{"W1AW-R", "K1ABC"} << "";
        QTest::newRow("server error page")
            << QJsonObject{{"status", 500}, {"body", "<html><body>Internal Server Error </body></html>"}}
            << QStringList{} << "500 Internal Server Error";
        QTest::newRow("not found page") << QJsonObject{{"status", 404}, {"body", "<body>Not Found </body>"}}
                                        << QStringList{} << "404 Not Found";
    }

    void echoLinkFromTheServer()
    {
        QFETCH(QJsonObject, route);
        QFETCH(QStringList, stations);
        QFETCH(QString, failure);
        CHttpServer server;
        server.Route("/cgi-bin/echoLogin", route);
        CWebRequest request;
        const CEchoLinkFetch f = PreNet::FetchEchoLink(request, server.Host());
        QCOMPARE(f.stations, stations);
        QCOMPARE(f.response.FailureText(), failure);
    }
};

QTEST_GUILESS_MAIN(TestPreNet)
#include "tst_prenet.moc"
