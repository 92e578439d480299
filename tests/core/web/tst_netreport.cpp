// The net report: what the dialog offers, the settings written on "Send" only, and its query (sent in
// tst_webworkers).
#include "core/app/Settings.h"
#include "core/web/NetReport.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;

class TestNetReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodeValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("blank") << "Jo Ann"
                               << "Jo%20Ann";
        QTest::newRow("query delimiters") << "A&B=C#1?x"
                                          << "A%26B%3DC%231%3Fx";
        QTest::newRow("percent and plus") << "50%+1"
                                          << "50%25%2B1";
        QTest::newRow("date keeps its slashes") << "03/07/2024"
                                                << "03/07/2024";
        QTest::newRow("non-ASCII as UTF-8") << "Zoë"
                                            << "Zo%C3%AB";
        QTest::newRow("control characters") << "a\tb\nc"
                                            << "a%09b%0Ac";
        // Some servers split a query at ";" as at "&".
        QTest::newRow("semicolon") << "Smith; Jones"
                                   << "Smith%3B%20Jones";
        QTest::newRow("the rest as typed") << "W4ABC-1_x.y~z!$'()*,:@/"
                                           << "W4ABC-1_x.y~z!$'()*,:@/";
        QTest::newRow("empty") << ""
                               << "";
    }

    void encodeValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, encoded);
        QCOMPARE(NetReport::EncodeValue(value), encoded);
    }

    // The check-ins and the traffic are the day's counts, never the last report's; the date is the day's.
    void initialValuesAndQuery_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("traffic");
        QTest::addColumn<QString>("path");
        QTest::newRow("defaults, no traffic") << false << 0
                                              << "cgi-bin/netReport?f=Replace%20with%20Your%20First%20Name"
                                                 "&s=Replace%20with%20Your%20Call%20Sign&d=03/07/2024"
                                                 "&m=Your%20Message%20Number%20Here&c=12&t=0&a=No";
        QTest::newRow("stored values, two with traffic")
            << true << 2
            << "cgi-bin/netReport?f=Jo%20%26%20Al&s=W4ABC&d=03/07/2024&m=%2342&c=12"
               "&t=2&a=Yes";
    }

    void initialValuesAndQuery()
    {
        QFETCH(bool, stored);
        QFETCH(int, traffic);
        QFETCH(QString, path);
        CScratch s;
        CSettings settings(s.File("Logwarden.ini"), s.Path());
        if (stored) {
            settings.Set(Setting::ReportName, "Jo & Al");
            settings.Set(Setting::ReportCall, "W4ABC");
            settings.Set(Setting::ReportMessage, "#42");
            settings.Set(Setting::ReportTraffic, "3");   // the last report's: not offered
            settings.Set(Setting::ReportCheckIns, "99"); // never offered: the day's count is
            settings.Set(Setting::ReportDate, "01/01/2000");
            settings.Set(Setting::ReportAnnounce, true);
        }
        std::vector<CCheckinRecord> day(12);
        for (int i = 0; i < traffic; ++i)
            day[size_t(i * 5)].hasTraffic = true;
        const CNetReport r = NetReport::Initial(settings, QDate(2024, 3, 7), day);
        QCOMPARE(r.date, QStringLiteral("03/07/2024"));
        QCOMPARE(r.checkIns, QStringLiteral("12"));
        QCOMPARE(NetReport::ObjectPath(r), path);
    }

    void settingsWrittenOnSendOnly()
    {
        CScratch s;
        const QString ini = s.File("Logwarden.ini");
        {
            CSettings settings(ini, s.Path());
            CNetReport r = NetReport::Initial(settings, QDate(2024, 3, 7), std::vector<CCheckinRecord>(5));
            settings.Sync();
            for (const CSettingDef* key : std::initializer_list<const CSettingDef*>{
                     &Setting::ReportName, &Setting::ReportCall, &Setting::ReportDate,
                     &Setting::ReportMessage, &Setting::ReportCheckIns, &Setting::ReportTraffic,
                     &Setting::ReportAnnounce})
                QVERIFY2(!settings.Contains(*key), key->key); // offering writes nothing (Cancel keeps all)
            r.name = "Jo";
            r.announce = true;
            r.checkIns = "5 + 2 late";
            NetReport::Store(settings, r);
        }
        CSettings again(ini, s.Path());
        QCOMPARE(again.Get(Setting::ReportName), QStringLiteral("Jo"));
        QCOMPARE(again.Get(Setting::ReportDate), QStringLiteral("03/07/2024"));
        QCOMPARE(again.Get(Setting::ReportCheckIns), QStringLiteral("5 + 2 late"));
        QCOMPARE(again.Get(Setting::ReportCall), QStringLiteral("Replace with Your Call Sign"));
        QVERIFY(again.Contains(Setting::ReportCall));
        QVERIFY(again.Get(Setting::ReportAnnounce));
    }
};

QTEST_GUILESS_MAIN(TestNetReport)
#include "tst_netreport.moc"
