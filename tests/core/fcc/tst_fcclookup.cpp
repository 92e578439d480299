// The local look-up (what F7 fills), the FCC licence page's identifier and the web addresses.
#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/fcc/FccCallInfoSet.h"
#include "core/fcc/FccDbSet.h"
#include "core/fcc/FccFilter.h"
#include "core/fcc/FccHdSet.h"
#include "core/fcc/FccLookup.h"
#include "support/TestSupport.h"
#include "support/UlsFiles.h"

#include <QtTest>

using namespace TestSupport;

namespace {

// A licence header with its status and dates ("MM/DD/YYYY").
QByteArray Licence(int id, const QString& call, const QString& status, const QString& granted,
                   const QString& expired, const QString& cancelled = {})
{
    QStringList f(59);
    f[0] = QStringLiteral("HD");
    f[1] = QString::number(id);
    f[4] = call;
    f[5] = status;
    f[6] = QStringLiteral("HA");
    f[7] = granted;
    f[8] = expired;
    f[9] = cancelled;
    return UlsLine(f);
}

} // namespace

class TestFccLookup : public QObject
{
    Q_OBJECT

    CScratch m_scratch;
    QString m_db;
    CFccDatabase m_fcc;

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray am = CrLf({
            AmLine(100, "K1OLD", "T"),                            // an earlier licence of the call sign...
            AmLine(105, "K1NEW", "G"), AmLine(200, "K1OLD", "E"), // ...and the current one
            AmLine(300, "W2BOX", "A"),
            AmLine(500, "N5ODD", "E"), // same licence as EN 500 but another call sign
        });
        const QByteArray en = CrLf({
            EnLine(100, "K1OLD", "OLD, FIRST", "1 FIRST ST", "HARTFORD", "CT", "06101"),
            EnLine(105, "K1NEW", "NEW, NORA", "  12 MAIN ST", "SPRINGFIELD", "IL", "62701"),
            EnLine(200, "K1OLD", "OLD, SECOND", "2 SECOND ST", "NEWINGTON", "CT", "06111"),
            EnLine(300, "W2BOX", "BOX, BETTY", "", "TRENTON", "NJ", "086081234", "123"),
            EnLine(301, "W2WS", "SPACE, SAM", "   ", "TRENTON", "NJ", "08608", "77"),
            EnLine(302, "W2NONE", "NOBOX, NED", "", "TRENTON", "NJ", "08608", ""),
            EnLine(400, "W4NOAM", "NOAM, NICK", "4 FOURTH ST", "ATLANTA", "GA", "30301"),
            EnLine(500, "W5ODD", "ODD, OLIVE", "5 FIFTH ST", "TULSA", "OK", "74101"),
            EnLine(600, QStringLiteral("KH6\u00C9"), QStringLiteral("KEALOHA, L\u00C9I"), "6 SIXTH ST",
                   "HILO", "HI", "96720"),
            // A reissued call whose current licensee's EN line was rejected: the previous holder remains.
            EnLine(650, "W7CUR", "PREVIOUS, PAUL", "7 OLD RD", "BOISE", "ID", "83701"),
            // Old licences only; the newest is not the last in the file.
            EnLine(820, "W8GONE", "NEWER, NAN", "8 NEW RD", "DAYTON", "OH", "45401"),
            EnLine(810, "W8GONE", "OLDER, OTTO", "8 OLD RD", "DAYTON", "OH", "45401"),
            EnLine(830, "W8CXL", "CANCEL, CARL", "", "DAYTON", "OH", "45401", ""),
            EnLine(840, "W8BARE", "BARE, BEN", "", "", "", "", ""),
        });
        const QByteArray hd = CrLf({HdLine(100, "K1OLD", "E"), HdLine(105, "K1NEW"), HdLine(200, "K1OLD"),
                                    HdLine(300, "W2BOX"), HdLine(310, "W2BOY"), HdLine(320, "W2B_X"),
                                    Licence(650, "W7CUR", "C", "01/02/2000", "01/02/2010", "05/06/2007"),
                                    Licence(700, "W7CUR", "A", "06/01/2020", "06/01/2030"),
                                    Licence(820, "W8GONE", "E", "03/04/2012", "03/04/2022"),
                                    Licence(810, "W8GONE", "C", "03/04/2002", "03/04/2012", "07/08/2009"),
                                    Licence(830, "W8CXL", "C", "03/04/2012", "03/04/2022", "11/12/2015"),
                                    HdLine(840, "W8BARE")});
        WriteUlsFiles(m_scratch.Path(), am, en, hd);
        m_db = m_scratch.File(QStringLiteral("FCC97.db"));
        QCOMPARE(BuildFccDb(m_scratch.Path(), m_db).state, CFccDbBuild::Succeeded);
    }

    void lookUpFillsWhatTheFormShows_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("addr1");
        QTest::addColumn<QString>("addr2");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<int>("id");
        QTest::newRow("several EN rows: the last one and its class") << "K1OLD"
                                                                     << "OLD, SECOND"
                                                                     << "2 SECOND ST"
                                                                     << "NEWINGTON, CT 06111"
                                                                     << "E" << 200;
        QTest::newRow("leading blanks of the street go") << "K1NEW"
                                                         << "NEW, NORA"
                                                         << "12 MAIN ST"
                                                         << "SPRINGFIELD, IL 62701"
                                                         << "G" << 105;
        QTest::newRow("P.O. Box when there is no street; nine-digit ZIP as stored")
            << "W2BOX"
            << "BOX, BETTY"
            << "P.O. Box 123"
            << "TRENTON, NJ 08608-1234"
            << "A" << 300;
        QTest::newRow("a street of blanks is no street") << "W2WS"
                                                         << "SPACE, SAM"
                                                         << "P.O. Box 77"
                                                         << "TRENTON, NJ 08608"
                                                         << "" << 301;
        QTest::newRow("neither street nor box") << "W2NONE"
                                                << "NOBOX, NED"
                                                << ""
                                                << "TRENTON, NJ 08608"
                                                << "" << 302;
        QTest::newRow("no AM row: no class") << "W4NOAM"
                                             << "NOAM, NICK"
                                             << "4 FOURTH ST"
                                             << "ATLANTA, GA 30301"
                                             << "" << 400;
        QTest::newRow("the AM row of another call sign gives no class") << "W5ODD"
                                                                        << "ODD, OLIVE"
                                                                        << "5 FIFTH ST"
                                                                        << "TULSA, OK 74101"
                                                                        << "" << 500;
        QTest::newRow("Latin-1 names")
            << QStringLiteral("KH6\u00C9") << QStringLiteral("KEALOHA, L\u00C9I") << "6 SIXTH ST"
            << "HILO, HI 96720"
            << "" << 600;
    }
    void lookUpFillsWhatTheFormShows()
    {
        QFETCH(QString, call);
        const CFccLookupResult r = m_fcc.LookUp(m_db, call);
        QVERIFY(r.found);
        QCOMPARE(r.callSign, call);
        QTEST(r.name, "name");
        QTEST(r.addr1, "addr1");
        QTEST(r.addr2, "addr2");
        QTEST(r.operatorClass, "cls");
        QTEST(int(r.uniqueSystemIdentifier), "id");
    }

    void theLicenceShownIsTheActiveOneElseTheNewest_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("addr2");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("statusText");
        QTest::newRow("the active licence, even without its licensee row") << "W7CUR"
                                                                           << ""
                                                                           << "" << 700 << "Active"
                                                                           << "";
        QTest::newRow("no active licence: the newest granted")
            << "W8GONE"
            << "NEWER, NAN"
            << "DAYTON, OH 45401" << 820 << "Expired on 2022-03-04"
            << "Licence expired on 2022-03-04";
        QTest::newRow("cancelled") << "W8CXL"
                                   << "CANCEL, CARL"
                                   << "DAYTON, OH 45401" << 830 << "Cancelled on 2015-11-12"
                                   << "Licence cancelled on 2015-11-12";
        QTest::newRow("no address at all: empty boxes") << "W8BARE"
                                                        << "BARE, BEN"
                                                        << "" << 840 << "Active"
                                                        << "";
        QTest::newRow("no licence header: the licensee row, status unknown")
            << "W4NOAM"
            << "NOAM, NICK"
            << "ATLANTA, GA 30301" << 400 << "Unknown"
            << "";
    }
    void theLicenceShownIsTheActiveOneElseTheNewest()
    {
        QFETCH(QString, call);
        const CFccLookupResult r = m_fcc.LookUp(m_db, call);
        QVERIFY(r.found);
        QTEST(r.name, "name");
        QTEST(r.addr2, "addr2");
        QTEST(int(r.uniqueSystemIdentifier), "id");
        QTEST(r.StatusLine(), "status");
        QTEST(r.StatusText(), "statusText");
        if (call == QLatin1String("W8BARE"))
            QCOMPARE(r.addr1, QString());
        // The licence page is that licence's too.
        if (r.status != CFccLookupResult::Status::Unknown)
            QTEST(int(m_fcc.LicenceKey(m_db, call).value_or(0)), "id");
    }

    void aCallSignNotInTheDatabaseIsNotFound_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("unknown") << "W9ZZZ";
        QTest::newRow("other case") << "k1old"; // the form gives upper case; the comparison is exact
        QTest::newRow("a prefix only") << "K1OL";
        QTest::newRow("only in AM") << "N5ODD";
        QTest::newRow("empty") << "";
    }
    void aCallSignNotInTheDatabaseIsNotFound()
    {
        QFETCH(QString, call);
        const CFccLookupResult r = m_fcc.LookUp(m_db, call);
        QVERIFY(!r.found);
        QVERIFY(r.name.isEmpty() && r.addr1.isEmpty() && r.addr2.isEmpty() && r.operatorClass.isEmpty());
        QCOMPARE(r.uniqueSystemIdentifier, 0);
    }

    void aMissingDatabaseSaysHowToBuildIt()
    {
        try {
            m_fcc.LookUp(m_scratch.File(QStringLiteral("none.db")), QStringLiteral("K1OLD"));
            QFAIL("no exception");
        } catch (const CDBException& e) {
            QVERIFY2(e.Message().contains(QLatin1String("Compile")), qPrintable(e.Message()));
        }
    }

    void aFileThatIsNoFccDatabaseRaises()
    {
        const QString other = m_scratch.File(QStringLiteral("other.db"));
        {
            CDatabase db(other);
            db.Execute(QStringLiteral("CREATE TABLE x(y)"));
        }
        QVERIFY_THROWS_EXCEPTION(CDBException, m_fcc.LookUp(other, QStringLiteral("K1OLD")));
    }

    void licencePageKey_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("key"); // 0: none
        QTest::newRow("the newest licence of a reissued call sign") << "K1OLD" << 200;
        QTest::newRow("case does not matter") << "k1new" << 105;
        QTest::newRow("* matches the highest call sign first") << "W2BO*" << 310;
        QTest::newRow("? is one character") << "W2BO?" << 310;
        QTest::newRow("% is no wild card") << "W2B%" << 0;
        QTest::newRow("_ is no wild card") << "W2B_X" << 320;
        QTest::newRow("_ matches only itself") << "W2B_Y" << 0;
        QTest::newRow("no licence") << "W9ZZZ" << 0;
    }
    void licencePageKey()
    {
        QFETCH(QString, pattern);
        QFETCH(int, key);
        const std::optional<qint32> found = m_fcc.LicenceKey(m_db, pattern);
        QCOMPARE(found.value_or(0), key);
    }

    void webAddresses()
    {
        QCOMPARE(FccLicenceUrl(QStringLiteral("wireless2.fcc.gov"), 200),
                 QStringLiteral("http://wireless2.fcc.gov/UlsApp/UlsSearch/license.jsp?licKey=200"));
        QCOMPARE(FccLicenceUrl(QStringLiteral("localhost:8080/"), 7),
                 QStringLiteral("http://localhost:8080/UlsApp/UlsSearch/license.jsp?licKey=7"));
        QCOMPARE(QrzPageUrl(QStringLiteral("www.qrz.com"), QStringLiteral("K1OLD")),
                 QStringLiteral("http://www.qrz.com/db/K1OLD"));
        QCOMPARE(QrzPageUrl(QStringLiteral("www.qrz.com"), QString()),
                 QStringLiteral("http://www.qrz.com/db/"));
        QCOMPARE(QrzPageUrl(QStringLiteral("www.qrz.com"), QStringLiteral("W1AW/4")),
                 QStringLiteral("http://www.qrz.com/db/W1AW%2F4"));
    }

    void theDatabaseIsTheOneCompileBuilds()
    {
        CSettings settings(m_scratch.File(QStringLiteral("Logwarden.ini")), QStringLiteral("/data"));
        QCOMPARE(FccDatabasePath(settings), QStringLiteral("/data/FCC97.db"));
        settings.Set(Setting::FccOutputFile, QStringLiteral("/uls/FCC97.db"));
        QCOMPARE(FccDatabasePath(settings), QStringLiteral("/uls/FCC97.db"));
        QCOMPARE(settings.Get(Setting::FccLicenseHost), QStringLiteral("wireless2.fcc.gov"));
        QCOMPARE(settings.Get(Setting::QrzWebHost), QStringLiteral("www.qrz.com"));
    }

    void recordSetsReadEveryColumn()
    {
        CDatabase db(m_db, CDatabase::ReadOnly);
        CFCCDbSet en(&db);
        en.SetFilter(FccFilter::CallSignEquals(QStringLiteral("W2BOX")));
        en.Open();
        QVERIFY(!en.IsEOF());
        QCOMPARE(en.m_ZipCode, QStringLiteral("086081234"));
        QCOMPARE(en.m_SGIN, QStringLiteral("000")); // text, not the number 0
        QCOMPARE(en.m_ApplicantTypeCode, QStringLiteral("I"));

        CFCCHDSet hd(&db);
        hd.SetFilter(FccFilter::UniqueSystemIdentifierEquals(100));
        hd.Open();
        QCOMPARE(hd.m_LicenseStatus, QStringLiteral("E"));
        QCOMPARE(hd.m_ExpiredDate, QStringLiteral("01/23/2033"));

        // Without a connection of their own the sets open their file by path.
        CFCCHDSet byPath;
        byPath.SetDatabasePath(m_db);
        byPath.SetFilter(FccFilter::CallSignEquals(QStringLiteral("K1NEW")));
        byPath.Open();
        QCOMPARE(byPath.m_UniqueSystemIdentifier, 105);
        QCOMPARE(byPath.GetDefaultDBName(), QStringLiteral("FCC97.db"));
        QCOMPARE(CCallInfoSet().GetDefaultSQL(), QStringLiteral("AM"));
    }
};

QTEST_GUILESS_MAIN(TestFccLookup)
#include "tst_fcclookup.moc"
