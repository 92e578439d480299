// One log file, several programs writing it at once: none fails for another's sake, and an import shows whole
// or not at all, even when it is killed.
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "support/PgServer.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <signal.h>

using namespace TestSupport;

namespace {

// An ADIF file of n contacts, each with a station of its own.
void WriteAdif(const QString& path, int n, const QString& prefix)
{
    QByteArray text = "Generated for the test<EOH>\n";
    text.reserve(n * 110);
    for (int i = 0; i < n; ++i) {
        const QByteArray call = (prefix + QString::number(i)).toLatin1();
        const QByteArray day = QByteArray::number(20250101 + (i / 500) % 28);
        const QByteArray name = "Op " + call;
        text += "<CALL:" + QByteArray::number(call.size()) + '>' + call + "<QSO_DATE:8>" + day +
                "<TIME_ON:6>" + QByteArray::number(100000 + (i % 500) / 60 * 10000 + (i % 500) % 60 * 100) +
                "<NAME:" + QByteArray::number(name.size()) + '>' + name + "<BAND:2>2m<MODE:2>FM<EOR>\n";
    }
    WriteFile(path, text);
}

qint64 Count(const QString& log, const char* sql)
{
    SQLite::Database db(log.toStdString(), SQLite::OPEN_READONLY);
    return db.execAndGet(sql).getInt64();
}

// A loop of `add` on $LOG in a shell of its own: one line per check-in, its exit code.
QProcess* AddLoop(const QString& prefix, int n)
{
    auto* p = new QProcess;
    p->start(QStringLiteral("sh"),
             {QStringLiteral("-c"),
              QStringLiteral("for i in $(seq 1 %1); do \"$CLI\" add --log \"$LOG\" --call %2$i --date "
                             "'2026-12-08 19:00:00' >/dev/null 2>>\"$LOG.%2.err\"; echo $?; done")
                  .arg(n)
                  .arg(prefix)});
    return p;
}

} // namespace

class TestOneLogManyWriters : public QObject
{
    Q_OBJECT

    std::unique_ptr<CScratch> m_scratch;

private Q_SLOTS:
    void init() { m_scratch = std::make_unique<CScratch>(); }

    void fourProgramsOnOneLog()
    {
        CPgServer server;
        QVERIFY2(server.Error().isEmpty(), qPrintable(server.Error()));
        CPgConnection owner(server.ConnInfo(), QString(), QStringLiteral("test"));
        SharedServer::Init(owner);
        const QString log = m_scratch->File(QStringLiteral("net.db"));
        const QString adif = m_scratch->File(QStringLiteral("big.adi"));
        WriteAdif(adif, 100000, QStringLiteral("K"));
        const QStringList sync{QStringLiteral("sync"),
                               QStringLiteral("--log"),
                               log,
                               QStringLiteral("--db"),
                               server.ConnInfo(),
                               QStringLiteral("--net"),
                               QStringLiteral("Tuesday Net"),
                               QStringLiteral("--operator"),
                               QStringLiteral("N4NCS")};
        QCOMPARE(
            RunCli(sync + QStringList{QStringLiteral("--create-net"), QStringLiteral("--once")}).exitCode, 0);

        qputenv("CLI", CliPath().toLocal8Bit());
        qputenv("LOG", log.toLocal8Bit());
        QProcess follow;
        follow.start(CliPath(), sync + QStringList{QStringLiteral("--follow")});
        QVERIFY(follow.waitForStarted());
        QProcess import;
        import.start(CliPath(), {QStringLiteral("adif-import"), QStringLiteral("--log"), log,
                                 QStringLiteral("--in"), adif});
        std::unique_ptr<QProcess> first(AddLoop(QStringLiteral("A"), 150));
        std::unique_ptr<QProcess> second(AddLoop(QStringLiteral("B"), 150));
        for (QProcess* p : {&import, first.get(), second.get()})
            QVERIFY(p->waitForFinished(240000));
        QCOMPARE(import.exitCode(), 0);
        const QString codes =
            QString::fromLatin1(first->readAllStandardOutput() + second->readAllStandardOutput());
        QCOMPARE(codes.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 300);
        QVERIFY2(codes.count(QLatin1Char('0')) == 300,
                 qPrintable(QString::fromUtf8(ReadFile(log + QStringLiteral(".A.err")) +
                                              ReadFile(log + QStringLiteral(".B.err")))));
        follow.terminate(); // SIGTERM, and never to pid 0 (the whole group) if it has gone
        QVERIFY(follow.waitForFinished(150000));
        // Every check-in once, in the log and, after one more pass, on the server.
        QCOMPARE(Count(log, "SELECT count(*) FROM Checkins"), 100300);
        QCOMPARE(Count(log, "SELECT count(DISTINCT CallSign) FROM Checkins"), 100300);
        QCOMPARE(RunCli(sync + QStringList{QStringLiteral("--once")}).exitCode, 0);
        QCOMPARE(CPgConnection(server.ConnInfo(), QString(), QStringLiteral("test"))
                     .Exec(QStringLiteral("SELECT count(DISTINCT call_sign) FROM checkin"))
                     .Int(0, 0),
                 100300);
    }

    void aKilledImportLeavesTheLogAsItWas()
    {
        const QString log = m_scratch->File(QStringLiteral("log.db"));
        const QString adif = m_scratch->File(QStringLiteral("some.adi"));
        WriteAdif(adif, 80000, QStringLiteral("W"));
        QCOMPARE(RunCli({QStringLiteral("add"), QStringLiteral("--log"), log, QStringLiteral("--call"),
                         QStringLiteral("K1ABC")})
                     .exitCode,
                 0);
        int seenWhileRunning = 0;
        for (int i = 0; i < 10; ++i) {
            QProcess import;
            import.start(CliPath(), {QStringLiteral("adif-import"), QStringLiteral("--log"), log,
                                     QStringLiteral("--in"), adif});
            QVERIFY(import.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(100, 700)));
            // Steps of it are in the file, and nobody sees them.
            if (Count(log, "SELECT count(*) FROM LogwardenTab") > 1) {
                ++seenWhileRunning;
                QCOMPARE(Count(log, "SELECT count(*) FROM Checkins"), 1);
            }
            Signal(import, SIGKILL);
            QVERIFY(import.waitForFinished(10000));
            // The next program that opens the log for writing takes the rest of the import away.
            const CCliRun next = RunCli({QStringLiteral("add"), QStringLiteral("--log"), log,
                                         QStringLiteral("--call"), QStringLiteral("K1ABC")});
            QCOMPARE(next.exitCode, 1); // logged already: the log is the one from before
            QCOMPARE(Count(log, "SELECT count(*) FROM LogwardenTab"), 1);
            QCOMPARE(Count(log, "SELECT count(*) FROM ImportTab") +
                         Count(log, "SELECT count(*) FROM ImportRowTab"),
                     0);
        }
        QVERIFY(seenWhileRunning > 0);
    }
};

QTEST_GUILESS_MAIN(TestOneLogManyWriters)
#include "tst_onelogmanywriters.moc"
