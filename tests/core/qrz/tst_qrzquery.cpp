// The QRZ XML callbook look-up against a local server playing QRZ, and the pull into a check-in.
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/qrz/QrzPull.h"
#include "core/qrz/QrzQuery.h"
#include "core/qrz/QrzReply.h"
#include "core/web/WebRequest.h"
#include "support/QrzService.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;

namespace {

const QString kW1aw = QStringLiteral(
    "<call>W1AW</call><Dxcc><name>decoy</name></Dxcc><fname>John Q</fname><name>O&#39;Brien</name>"
    "<addr1>Smith &amp; Sons, 225 Main St</addr1><addr2>Newington</addr2><state>CT</state><zip>06111</zip>"
    "<country>United States</country><county>Hartford</county><grid>FN31pr</grid><class>E</class>"
    "<email>w1aw&#x40;example.org</email><expdate>2025-02-28</expdate><u_views>1234abc</u_views>"
    "<name>second name</name>");

QString Param(const QJsonObject& request, const char* name)
{
    return request[QStringLiteral("params")].toObject()[QLatin1String(name)].toString();
}

} // namespace

class TestQrzQuery : public QObject
{
    Q_OBJECT

    std::unique_ptr<CQrzService> m_qrz;
    std::unique_ptr<CScratch> m_folder;
    CWebRequest m_http;

    CQRZAccount Account() const
    {
        return {m_qrz->HttpHost(), QStringLiteral("n0tst"), QStringLiteral("secret")};
    }

    std::unique_ptr<CQRZQuery> NewQuery(const CQRZAccount& account)
    {
        auto query = std::make_unique<CQRZQuery>(m_http, m_folder->Path());
        query->SetAccount(account);
        query->SetHomeGrid(QStringLiteral("EM84CX"), QStringLiteral("miles"));
        return query;
    }

    QString KeyFile() const { return m_folder->File(QLatin1String(CQRZQuery::kSessionKeyFile)); }

private Q_SLOTS:
    void initTestCase() { m_qrz = std::make_unique<CQrzService>(); }

    void init()
    {
        m_qrz->Reset();
        m_qrz->AddStation(QStringLiteral("W1AW"), kW1aw);
        m_qrz->AddStation(QStringLiteral("K1LOW"), QStringLiteral("<call>K1LOW</call><grid>fn31pr</grid>"));
        m_folder = std::make_unique<CScratch>();
    }

    void loginThenQueryReadsTheRecord()
    {
        auto query = NewQuery(Account());
        QVERIFY2(query->Query(QStringLiteral("W1AW")), qPrintable(query->GetLastError()));
        QCOMPARE(m_qrz->Kinds(), (QStringList{"login", "query"}));
        const QList<QJsonObject> requests = m_qrz->Requests();
        QCOMPARE(Param(requests[0], "username"), QStringLiteral("n0tst"));
        QCOMPARE(Param(requests[0], "password"), QStringLiteral("secret"));
        QCOMPARE(Param(requests[0], "agent"), QStringLiteral("n0call.0"));
        QCOMPARE(requests[1][QStringLiteral("path")].toString(),
                 QStringLiteral("/xml/current/?s=key1;callsign=W1AW"));

        // Values from the <Callsign> record, entities decoded, the first of each element.
        const CQRZCallData& d = query->GetData();
        QCOMPARE((QStringList{d.call, d.fname, d.restOfFirstName, d.name, d.addr1, d.addr2, d.state, d.zip,
                              d.country, d.county, d.grid, d.cls, d.email, d.expires.toString(Qt::ISODate),
                              QString::number(d.views), d.distance}),
                 (QStringList{"W1AW", "John", "Q", "O'Brien", "Smith & Sons, 225 Main St", "Newington", "CT",
                              "06111", "United States", "Hartford", "FN31pr", "E", "w1aw@example.org",
                              "2025-02-28", "1234", "760 miles"}));

        // Both replies kept as received, for the owner only.
        QVERIFY(ReadFile(KeyFile()).contains("<Key>key1</Key>"));
        const QString callData = m_folder->File(QLatin1String(CQRZQuery::kCallDataFile));
        QCOMPARE(ReadFile(callData), query->GetReply());
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(KeyFile()) & others, QFile::Permissions());
    }

    void keyReusedFromItsFileOnANewStart()
    {
        QVERIFY(NewQuery(Account())->Query(QStringLiteral("W1AW")));
        m_qrz->ClearLog();
        // Without a password: a key on file needs no login.
        auto next = NewQuery({m_qrz->HttpHost(), QStringLiteral("n0tst"), QString()});
        QVERIFY2(next->Query(QStringLiteral("K1LOW")), qPrintable(next->GetLastError()));
        QCOMPARE(m_qrz->Kinds(), QStringList{"query"});
        QCOMPARE(Param(m_qrz->Requests()[0], "s"), QStringLiteral("key1"));
    }

    void aRefusedKeyLogsInOnceAndAsksOnceMore_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("Session Timeout") << "expire";
        QTest::newRow("Invalid session key") << "invalidate";
        QTest::newRow("XML access is not authorized") << "noaccess";
    }
    void aRefusedKeyLogsInOnceAndAsksOnceMore()
    {
        QFETCH(QString, control);
        auto query = NewQuery(Account());
        QVERIFY(query->Query(QStringLiteral("K1LOW")));
        m_qrz->Control(control);
        QVERIFY2(query->Query(QStringLiteral("W1AW")), qPrintable(query->GetLastError()));
        QCOMPARE(m_qrz->Kinds(), (QStringList{"query", "login", "retry"}));
        QCOMPARE(m_qrz->Requests()[2][QStringLiteral("path")].toString(),
                 QStringLiteral("/bin/xml?s=key2;callsign=W1AW"));
        QCOMPARE(query->GetData().call, QStringLiteral("W1AW"));
        QCOMPARE(query->GetSessionKey(), QStringLiteral("key2"));
    }

    // QRZ's error text is reported and the last result is kept as it was.
    void errorRepliesChangeNothing_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("queryError");
        QTest::addColumn<bool>("loginWithoutKey");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("not found") << "N0NONE"
                                   << "secret"
                                   << "" << false << int(CQRZQuery::Failure::Service) << "Not found: N0NONE"
                                   << QStringList{"login", "query"};
        QTest::newRow("wrong password") << "W1AW"
                                        << "wrong"
                                        << "" << false << int(CQRZQuery::Failure::LoginRefused)
                                        << "Username/password incorrect" << QStringList{"login"};
        QTest::newRow("login reply without a key: the service failed, not the account")
            << "W1AW"
            << "secret"
            << "" << true << int(CQRZQuery::Failure::Service)
            << "The QRZ service failed: HTTP status 200 OK, a reply without a session key."
            << QStringList{"login"};
        QTest::newRow("no password: the account is asked for")
            << "W1AW"
            << ""
            << "" << false << int(CQRZQuery::Failure::NoAccount)
            << "The QRZ account needs a user name and a password." << QStringList();
        QTest::newRow("Session Timeout after the second query")
            << "W1AW"
            << "secret"
            << "Session Timeout" << false << int(CQRZQuery::Failure::Service) << "Session Timeout"
            << QStringList{"login", "query", "login", "retry"};
    }
    void errorRepliesChangeNothing()
    {
        QFETCH(QString, call);
        QFETCH(QString, password);
        QFETCH(QString, queryError);
        QFETCH(bool, loginWithoutKey);
        QFETCH(int, failure);
        QFETCH(QString, error);
        QFETCH(QStringList, requests);
        auto earlier = NewQuery(Account());
        QVERIFY(earlier->Query(QStringLiteral("K1LOW")));
        // A new run with no key on file.
        QFile::remove(KeyFile());
        m_qrz->SetQueryError(queryError);
        m_qrz->SetLoginWithoutKey(loginWithoutKey);
        m_qrz->ClearLog();
        auto run = NewQuery({m_qrz->HttpHost(), QStringLiteral("n0tst"), password});
        QVERIFY(!run->Query(call));
        QCOMPARE(int(run->GetFailure()), failure);
        QCOMPARE(run->GetLastError(), error);
        QCOMPARE(m_qrz->Kinds(), requests);
        QVERIFY(run->GetData().call.isEmpty());
        // A query that had a result keeps it through a failure.
        QVERIFY(!earlier->Query(QStringLiteral("N0NONE")));
        QCOMPARE(earlier->GetData().call, QStringLiteral("K1LOW"));
    }

    // A callbook that is down is no refused login: only QRZ's own <Error> asks for the account again.
    void loginServiceFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("error");
        QTest::newRow("404 page")
            << 404 << "<html><body><h1>Not Found</h1><hr></body></html>"
            << "The QRZ service failed: HTTP status 404 Not Found, a reply that is not XML.";
        QTest::newRow("empty 503")
            << 503 << ""
            << "The QRZ service failed: HTTP status 503 Service Unavailable, an empty reply.";
        QTest::newRow("text, not XML")
            << 200 << "Down for maintenance"
            << "The QRZ service failed: HTTP status 200 OK, a reply that is not XML.";
    }
    void loginServiceFailures()
    {
        QFETCH(int, status);
        QFETCH(QString, body);
        QFETCH(QString, error);
        m_qrz->SetLoginReply(status, body);
        auto query = NewQuery(Account());
        QVERIFY(!query->Query(QStringLiteral("W1AW")));
        QCOMPARE(int(query->GetFailure()), int(CQRZQuery::Failure::Service));
        QCOMPARE(query->GetLastError(), error);
        QCOMPARE(m_qrz->Kinds(), QStringList{"login"});
    }

    // A session key goes only to the host and for the user it was given to, in this run and the next.
    void keyStaysWithItsHostAndUser_data()
    {
        QTest::addColumn<bool>("otherHost");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("newRun");
        QTest::addColumn<QStringList>("requests"); // of the second look-up, at the host it went to
        QTest::newRow("same account, next run: the key on file")
            << false << "n0tst" << true << QStringList{"query"};
        QTest::newRow("another host, next run") << true << "n0tst" << true << QStringList{"login", "query"};
        QTest::newRow("another user, next run") << false << "k2new" << true << QStringList{"login", "query"};
        QTest::newRow("another host, same run") << true << "n0tst" << false << QStringList{"login", "query"};
    }
    void keyStaysWithItsHostAndUser()
    {
        QFETCH(bool, otherHost);
        QFETCH(QString, user);
        QFETCH(bool, newRun);
        QFETCH(QStringList, requests);
        CQrzService other;
        other.AddStation(QStringLiteral("W1AW"), kW1aw);
        // First a look-up at this host, which leaves key1 in memory and on file.
        auto query = NewQuery(Account());
        QVERIFY(query->Query(QStringLiteral("W1AW")));
        m_qrz->ClearLog();
        if (user != QLatin1String("n0tst"))
            m_qrz->SetAccount(user, QStringLiteral("pw2"));
        const CQRZAccount second{otherHost ? other.HttpHost() : m_qrz->HttpHost(), user,
                                 user == QLatin1String("k2new") ? QStringLiteral("pw2")
                                                                : QStringLiteral("secret")};
        std::unique_ptr<CQRZQuery> next;
        if (newRun) {
            next = NewQuery(second);
        } else {
            query->SetAccount(second);
            next = std::move(query);
        }
        QVERIFY2(next->Query(QStringLiteral("W1AW")), qPrintable(next->GetLastError()));
        CQrzService& asked = otherHost ? other : *m_qrz;
        QCOMPARE(asked.Kinds(), requests);
        // The first key never reached another host or went with another user's questions: a login first.
        if (otherHost || user != QLatin1String("n0tst"))
            QCOMPARE(Param(asked.Requests()[0], "username"), user);
        else
            QCOMPARE(Param(asked.Requests()[0], "s"), QStringLiteral("key1"));
    }

    void userAndPasswordArePercentEncoded()
    {
        const QString user = QStringLiteral("n0 tst;x=1");
        const QString password = QStringLiteral("p&ss;w=rd %41/\u00E9?");
        m_qrz->SetAccount(user, password);
        auto query = NewQuery({m_qrz->HttpHost(), user, password});
        QVERIFY2(query->Query(QStringLiteral("W1AW")), qPrintable(query->GetLastError()));
        const QJsonObject login = m_qrz->Requests()[0];
        QCOMPARE(Param(login, "username"), user);
        QCOMPARE(Param(login, "password"), password);
        QCOMPARE(Param(login, "agent"), QStringLiteral("n0call.0"));
    }

    // The login goes over HTTPS unless the host says http:// itself: a host without a scheme never
    // reaches the plain server with the password.
    void loginOnlyOverHttps_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<int>("failure");
        QTest::newRow("no scheme: https") << "" << int(CQRZQuery::Failure::Network);
        QTest::newRow("http said explicitly") << "HTTP://" << int(CQRZQuery::Failure::None);
        QTest::newRow("another scheme") << "ftp://" << int(CQRZQuery::Failure::BadHost);
    }
    void loginOnlyOverHttps()
    {
        QFETCH(QString, scheme);
        QFETCH(int, failure);
        auto query =
            NewQuery({scheme + m_qrz->BareHost(), QStringLiteral("n0tst"), QStringLiteral("secret")});
        QCOMPARE(query->Query(QStringLiteral("W1AW")), failure == int(CQRZQuery::Failure::None));
        QCOMPARE(int(query->GetFailure()), failure);
        if (failure != int(CQRZQuery::Failure::None))
            QVERIFY2(!m_qrz->RawLog().contains("secret"), m_qrz->RawLog().constData());
    }

    void aChangeOfAccountDropsTheKey()
    {
        auto query = NewQuery(Account());
        QVERIFY(query->Query(QStringLiteral("W1AW")));
        // A new password of the same account keeps the session.
        query->SetAccount({m_qrz->HttpHost(), QStringLiteral("n0tst"), QStringLiteral("new")});
        QVERIFY(QFile::exists(KeyFile()));
        m_qrz->SetAccount(QStringLiteral("k2new"), QStringLiteral("pw2"));
        query->SetAccount({m_qrz->HttpHost(), QStringLiteral("k2new"), QStringLiteral("pw2")});
        QVERIFY(!QFile::exists(KeyFile()));
        m_qrz->ClearLog();
        QVERIFY2(query->Query(QStringLiteral("W1AW")), qPrintable(query->GetLastError()));
        QCOMPARE(m_qrz->Kinds(), (QStringList{"login", "query"}));
        QCOMPARE(Param(m_qrz->Requests()[0], "username"), QStringLiteral("k2new"));
    }

    void distance_data()
    {
        QTest::addColumn<QString>("homeGrid");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("distance");
        QTest::newRow("kilometers, one comma") << "EM84CX"
                                               << "kilometers"
                                               << "W1AW"
                                               << "1,223 kilometers";
        QTest::newRow("station grid in lower case") << "em84cx"
                                                    << "miles"
                                                    << "K1LOW"
                                                    << "760 miles";
        QTest::newRow("home grid of four characters: its square's centre") << "EM84"
                                                                           << "miles"
                                                                           << "W1AW"
                                                                           << "749 miles";
        QTest::newRow("a home grid that is no locator") << "EM8ICX"
                                                        << "miles"
                                                        << "W1AW"
                                                        << "";
    }
    void distance()
    {
        QFETCH(QString, homeGrid);
        QFETCH(QString, unit);
        QFETCH(QString, call);
        QFETCH(QString, distance);
        auto query = NewQuery(Account());
        query->SetHomeGrid(homeGrid, unit);
        QVERIFY(query->Query(call));
        QCOMPARE(query->GetData().distance, distance);
    }

    void expiryDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("real day") << "2025-02-28" << QDate(2025, 2, 28);
        QTest::newRow("30 February") << "2025-02-30" << QDate();
        QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
        QTest::newRow("no leap day") << "2023-02-29" << QDate();
        QTest::newRow("month 13") << "2025-13-01" << QDate();
        QTest::newRow("zero date") << "0000-00-00" << QDate();
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("read by position") << "2025/02/28" << QDate(2025, 2, 28);
    }
    void expiryDate()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(QrzExpiryDate(text), date);
    }

    void replyReading_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<bool>("record");
        QTest::addColumn<QString>("error");
        QTest::newRow("a record elsewhere than under the root is none")
            << QByteArray("<QRZDatabase><Other><Callsign><call>K9X</call></Callsign></Other></QRZDatabase>")
            << true << false << "";
        QTest::newRow("HTML") << QByteArray("<html><body><p>Service down<br></body></html>") << false << false
                              << "";
        QTest::newRow("cut off") << QByteArray("<QRZDatabase><Callsign><call>K9X</call>") << false << false
                                 << "";
    }
    void replyReading()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, wellFormed);
        QFETCH(bool, record);
        QFETCH(QString, error);
        const CQRZReply reply = ParseQrzReply(xml);
        QCOMPARE(reply.wellFormed, wellFormed);
        QCOMPARE(reply.hasRecord, record);
        QCOMPARE(reply.error, error);
    }

    void pullFillsEmptyColumnsOnly_data()
    {
        QTest::addColumn<QString>("fname");
        QTest::addColumn<bool>("withPlace");
        QTest::addColumn<QStringList>("before"); // Name, Street, Location, Class, YourGrid, eMailAddr
        QTest::addColumn<QStringList>("after");
        const QStringList empty(6);
        QTest::newRow("all empty")
            << "John Q" << true << empty
            << QStringList{"Smith, John Q", "1 Main St",    "Newington, CT (United States)", "E",
                           "FN31pr",        "k@example.org"};
        QTest::newRow("first name of one word")
            << "John" << true << empty
            << QStringList{"Smith, John ", "1 Main St",    "Newington, CT (United States)", "E",
                           "FN31pr",       "k@example.org"};
        QTest::newRow("all set: unchanged") << "John" << true << QStringList{"N", "S", "L", "C", "G", "M"}
                                            << QStringList{"N", "S", "L", "C", "G", "M"};
        QTest::newRow("some set") << "John" << true << QStringList{"Jones, Ann", "", "Here", "", "", ""}
                                  << QStringList{"Jones, Ann", "1 Main St", "Here",
                                                 "E",          "FN31pr",    "k@example.org"};
        QTest::newRow("QRZ without name and place: no bare separators")
            << "" << false << empty << QStringList{"", "1 Main St", "", "E", "FN31pr", "k@example.org"};
    }
    void pullFillsEmptyColumnsOnly()
    {
        QFETCH(QString, fname);
        QFETCH(bool, withPlace);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        CQRZCallData d;
        d.fname = fname.section(QLatin1Char(' '), 0, 0);
        d.restOfFirstName = fname.section(QLatin1Char(' '), 1);
        d.name = fname.isEmpty() ? QString() : QStringLiteral("Smith");
        d.addr1 = QStringLiteral("1 Main St");
        if (withPlace) {
            d.addr2 = QStringLiteral("Newington");
            d.state = QStringLiteral("CT");
            d.country = QStringLiteral("United States");
        }
        d.cls = QStringLiteral("E");
        d.grid = QStringLiteral("FN31pr");
        d.email = QStringLiteral("k@example.org");

        // Through the log: what is stored when the result is written decides.
        CScratch dir;
        CDatabase log(dir.File(QStringLiteral("Logwarden-97.db")));
        LogSchema::Prepare(log);
        CCheckin c{QStringLiteral("W1AW"), QDateTime(QDate(2024, 3, 7), QTime(19, 0))};
        c.name = before[0];
        c.street = before[1];
        c.location = before[2];
        c.cls = before[3];
        c.grid = before[4];
        c.email = before[5];
        c.comment = QStringLiteral("kept");
        const int id = AddCheckin(log, c);
        // As the window applies an answer: filled from the check-in as stored, saved by the log's writer.
        CCheckinStore store(log);
        QStringList filled;
        const CCheckinRecord pulled = QrzPull::Fill(*store.Get(id), d, &filled);
        if (!filled.isEmpty())
            QVERIFY(store.Save(pulled));
        const CCheckinRecord r = *store.Get(id);
        QCOMPARE((QStringList{r.name, r.street, r.location, r.cls, r.yourGrid, r.email}), after);
        QCOMPARE(r.comment, QStringLiteral("kept"));
        QCOMPARE(filled.isEmpty(), before == after);
    }
};

QTEST_GUILESS_MAIN(TestQrzQuery)
#include "tst_qrzquery.moc"
