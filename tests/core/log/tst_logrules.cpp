// The form's text rules, grid distances and the queries behind matching.
#include "core/db/Database.h"
#include "core/log/CheckinStore.h"
#include "core/log/GridDistance.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"
#include "core/log/LogText.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace TestSupport;

class TestLogRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void camelCase_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("name with initial") << "JOHN Q. PUBLIC"
                                           << "John Q. Public";
        QTest::newRow("street") << "123 MAIN ST"
                                << "123 Main St";
        QTest::newRow("digit 1 lifts") << "1ST AVE"
                                       << "1St Ave";
        QTest::newRow("digit 0 lowers") << "10TH ST"
                                        << "10th St";
        QTest::newRow("parenthesis") << "SMITH (BOB)"
                                     << "Smith (Bob)";
        QTest::newRow("at sign") << "JOE@EXAMPLE.COM"
                                 << "Joe@Example.Com";
        QTest::newRow("hyphen and apostrophe lower") << "O'BRIEN-SMITH"
                                                     << "O'brien-smith";
        QTest::newRow("lower case in") << "mary ann"
                                       << "Mary Ann";
        QTest::newRow("non-ascii untouched") << "JOSÉ ÅSE"
                                             << "JosÉ Åse";
        QTest::newRow("empty") << ""
                               << "";
    }
    void camelCase()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(LogText::CamelCase(in), out);
    }

    void stateAbbreviations_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("out");
        QTest::newRow("between blanks") << "SPRINGFIELD SC 29000"
                                        << "Springfield SC 29000";
        QTest::newRow("after a comma at the very end") << "SPRINGFIELD, SC"
                                                       << "Springfield, SC";
        QTest::newRow("georgia") << "ATLANTA GA 30301"
                                 << "Atlanta GA 30301";
        QTest::newRow("north carolina") << "RALEIGH NC 27601"
                                        << "Raleigh NC 27601";
        QTest::newRow("tennessee after a comma") << "SPRINGFIELD, TN"
                                                 << "Springfield, TN";
        QTest::newRow("before a zip") << "NASHVILLE TN 37201"
                                      << "Nashville TN 37201";
        QTest::newRow("before a zip+4") << "COLUMBUS OH 43215-1234"
                                        << "Columbus OH 43215-1234";
        QTest::newRow("at the end, blanks after") << "OMAHA NE  "
                                                  << "Omaha NE  ";
        QTest::newRow("word inside a place name") << "LAKE IN THE HILLS, IL 60156"
                                                  << "Lake In The Hills, IL 60156";
        QTest::newRow("after a comma, more after") << "FORT WAYNE,IN, USA"
                                                   << "Fort Wayne,IN, Usa";
        QTest::newRow("territory") << "SAN JUAN PR 00901"
                                   << "San Juan PR 00901";
        QTest::newRow("no state code") << "SPRINGFIELD XX 62701"
                                       << "Springfield Xx 62701";
        QTest::newRow("six digits are no zip") << "ROOM IN 123456"
                                               << "Room In 123456";
        QTest::newRow("longer word after a comma") << "BOX 12, INDIANAPOLIS"
                                                   << "Box 12, Indianapolis";
        QTest::newRow("letters glued to digits") << "UNIT 4OH"
                                                 << "Unit 4Oh";
    }
    void stateAbbreviations()
    {
        QFETCH(QString, location);
        QFETCH(QString, out);
        QCOMPARE(LogText::FixStateAbbreviations(LogText::CamelCase(location)), out);
    }

    void sameCallSign()
    {
        QVERIFY(LogText::SameCallSign("KH6/W4ABC", "kh6/w4abc"));
        QVERIFY(!LogText::SameCallSign("W4AB", "W4ABC"));
        QVERIFY(!LogText::SameCallSign("W4ABC", "W4AB"));
        QVERIFY(LogText::SameCallSign("VERYLONGCALL1", "VERYLONGCALL1"));
        QVERIFY(!LogText::SameCallSign("VERYLONGCALL1", "VERYLONGCALL2"));
    }

    void gridDistance_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("miles") << "EM84CX"
                               << "FN31PR"
                               << "miles"
                               << "760 miles";
        QTest::newRow("kilometres, one comma") << "EM84CX"
                                               << "FN31PR"
                                               << "kilometers"
                                               << "1,223 kilometers";
        QTest::newRow("truncated, not rounded") << "EM84CX"
                                                << "EM85AA"
                                                << "miles"
                                                << "9 miles";
        QTest::newRow("same grid") << "EM84CX"
                                   << "EM84CX"
                                   << "miles"
                                   << "0 miles";
        QTest::newRow("same grid near the pole") << "AR09AX"
                                                 << "AR09AX"
                                                 << "miles"
                                                 << "0 miles";
        QTest::newRow("lower case") << "em84cx"
                                    << "fn31pr"
                                    << "miles"
                                    << "760 miles";
        QTest::newRow("unknown unit is miles") << "EM84CX"
                                               << "FN31PR"
                                               << "leagues"
                                               << "760 leagues";
        QTest::newRow("four characters: the square's centre") << "EM84"
                                                              << "FN31PR"
                                                              << "miles"
                                                              << "749 miles";
        QTest::newRow("both four characters") << "EM84"
                                              << "FN31"
                                              << "miles"
                                              << "728 miles";
        QTest::newRow("letter I typed for a digit") << "EM84CX"
                                                    << "FN3IPR"
                                                    << "miles"
                                                    << "";
        QTest::newRow("field beyond R") << "SM84CX"
                                        << "FN31PR"
                                        << "miles"
                                        << "";
        QTest::newRow("subsquare beyond X") << "EM84CY"
                                            << "FN31PR"
                                            << "miles"
                                            << "";
        QTest::newRow("digits for letters") << "1234"
                                            << "FN31PR"
                                            << "miles"
                                            << "";
        QTest::newRow("five characters") << "EM84C"
                                         << "FN31PR"
                                         << "miles"
                                         << "";
        QTest::newRow("seven characters") << "EM84CXA"
                                          << "FN31PR"
                                          << "miles"
                                          << "";
        QTest::newRow("blank at the end") << "EM84C "
                                          << "FN31PR"
                                          << "miles"
                                          << "";
        QTest::newRow("antipodes") << "AA00AA"
                                   << "RR99XX"
                                   << "miles"
                                   << "12,450 miles";
    }
    void gridDistance()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, unit);
        QFETCH(QString, text);
        QCOMPARE(GridDistance::DistanceText(a, b, unit), text);
    }

    void gridPositionsAndForm()
    {
        const auto p = GridDistance::Locate("EM84CX");
        QVERIFY(p);
        QVERIFY(qAbs(p->longitude - -83.791667) < 1e-5);
        QVERIFY(qAbs(p->latitude - 34.979167) < 1e-5);
        QCOMPARE(GridDistance::FormText("EM84CX", "FN31PR"), QStringLiteral("Distance: 760 miles"));
        QCOMPARE(GridDistance::FormText("FN3IPR", "FN31PR"), QStringLiteral("Distance: Unknown"));
        QCOMPARE(GridDistance::WithOneComma(1234), QStringLiteral("1,234"));
        QCOMPARE(GridDistance::WithOneComma(1234567), QStringLiteral("1234,567"));
        QCOMPARE(GridDistance::WithOneComma(999), QStringLiteral("999"));
    }

    void matchingTakesTheHighestTwentyTwo()
    {
        CScratch scratch;
        CDatabase db(scratch.File("log.db"));
        LogSchema::Prepare(db);
        const QDateTime when(QDate(2024, 3, 7), QTime(19, 0));
        QStringList ks;
        for (int i = 0; i < 30; ++i) {
            ks << QStringLiteral("K%1X").arg(i, 2, 10, QLatin1Char('0'));
            AddCheckin(db, {ks.last(), when});
            AddCheckin(db, {ks.last(), when}); // the same station twice
        }
        AddCheckin(db, {"W4AB", when});
        AddCheckin(db, {"W4ABC", when});
        AddCheckin(db, {"W4ABD", when});
        AddCheckin(db, {"N0Q", when});

        QCOMPARE(LogQueries::MatchCallSigns(db, "K"), ks.mid(8));
        QCOMPARE(LogQueries::MatchCallSigns(db, "k0"), ks.mid(0, 10));
        // W4AB is a prefix of a call already taken, so it is not offered.
        QCOMPARE(LogQueries::MatchCallSigns(db, "W4"), (QStringList{"W4ABC", "W4ABD"}));
        QCOMPARE(LogQueries::MatchCallSigns(db, "W4AB"), (QStringList{"W4ABC", "W4ABD"}));
        QCOMPARE(LogQueries::MatchCallSigns(db, "Q"), QStringList{});
        // An empty box matches every call: the highest ones.
        QCOMPARE(LogQueries::MatchCallSigns(db, "").size(), 22);
        QCOMPARE(LogQueries::MatchCallSigns(db, "").last(), QStringLiteral("W4ABD"));
    }

    void newestCheckinAndFlags()
    {
        CScratch scratch;
        CDatabase db(scratch.File("log.db"));
        LogSchema::Prepare(db);
        AddCheckin(db, {"W4ABC", QDateTime(QDate(2024, 3, 1), QTime(19, 0)), "Old Name"});
        const int newest = AddCheckin(db, {"W4ABC", QDateTime(QDate(2024, 3, 2), QTime(19, 0)), "New Name"});
        AddCheckin(db, {"W4ABCD", QDateTime(QDate(2024, 3, 3), QTime(19, 0)), "Other"});
        const auto r = LogQueries::NewestCheckin(db, "W4ABC");
        QVERIFY(r);
        QCOMPARE(r->id, newest);
        QCOMPARE(r->name, QStringLiteral("New Name"));
        QVERIFY(!LogQueries::NewestCheckin(db, "W4AB"));

        CCheckinStore store(db);
        QVERIFY(store.SetFlag(newest, LogQueries::Flag::HasTraffic, true));
        QVERIFY(store.SetFlag(newest, LogQueries::Flag::Acknowledged, true));
        QVERIFY(store.SetFlag(newest, LogQueries::Flag::Acknowledged, false));
        const auto after = LogQueries::NewestCheckin(db, "W4ABC");
        QVERIFY(after->hasTraffic);
        QVERIFY(!after->acknowledged);
        QVERIFY(!after->hasComments);
        QVERIFY(!store.SetFlag(9999, LogQueries::Flag::HasTraffic, true)); // gone: nothing to do
    }
};

QTEST_GUILESS_MAIN(TestLogRules)
#include "tst_logrules.moc"
