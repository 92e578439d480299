// Reading stored date-times: the fast reading of the usual form and the general one agree.
#include "core/db/DateTime.h"

#include <QtTest>

class TestDateTime : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fromStorage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QDateTime>("value");
        const int V = CDateTime::Valid, I = CDateTime::Invalid;
        QTest::newRow("usual form") << "2024-03-07 19:05:33" << V
                                    << QDateTime(QDate(2024, 3, 7), QTime(19, 5, 33));
        QTest::newRow("last second of a leap day")
            << "2024-02-29 23:59:59" << V << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59));
        QTest::newRow("date only: midnight")
            << "2024-03-07" << V << QDateTime(QDate(2024, 3, 7), QTime(0, 0));
        QTest::newRow("no such day") << "2023-02-29 19:00:00" << I << QDateTime();
        QTest::newRow("no such hour") << "2024-03-07 24:00:00" << I << QDateTime();
        QTest::newRow("fractions") << "2024-03-07 19:05:33.250" << I << QDateTime();
        QTest::newRow("letters") << "2024-0x-07 19:05:33" << I << QDateTime();
        QTest::newRow("the invalid mark") << "invalid" << I << QDateTime();
    }

    void fromStorage()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(QDateTime, value);
        const CDateTime d = CDateTime::FromStorage(text, false);
        QCOMPARE(int(d.GetStatus()), status);
        if (status == CDateTime::Valid) {
            QCOMPARE(d.Value(), value);
            QCOMPARE(CDateTime::FromStorage(d.ToStorage(), false), d);
        }
        QVERIFY(CDateTime::FromStorage(text, true).IsNull());
    }
};

QTEST_GUILESS_MAIN(TestDateTime)
#include "tst_datetime.moc"
