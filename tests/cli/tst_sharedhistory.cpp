// The club's history in the shared log stays whole: nothing moved, lost, held back or leaked, through the
// store and logwarden-cli, against a real PostgreSQL server (and its backup and standby).
// Test labels: threads
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "core/shared/SyncEngine.h"
#include "support/PgServer.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <signal.h>

using namespace TestSupport;

namespace {

const QString kNet = QStringLiteral("Tuesday Net");
const QDate kLastWeek(2026, 11, 30);
const QDate kTonight(2026, 12, 7);

// One operator's computer: a log file of its own, its form and the engine that shares it.
struct COperator
{
    COperator(const QString& path, const QString& conninfo, const QString& call)
        : path(path), db(path), store(db), form(store, clock)
    {
        LogSchema::Prepare(db);
        store.ShareWith(kNet, call);
        engine = std::make_unique<CSyncEngine>(
            store, CSharedLogOptions{conninfo, QString(), kNet, call, QString(), true});
    }
    int Add(const QString& call, const QDate& day = kTonight, const QString& name = QString(),
            const QTime& at = QTime(19, 0))
    {
        CCheckinRecord r;
        r.callSign = call;
        r.name = name.isNull() ? QStringLiteral("Op ") + call : name;
        r.date = CDateTime(day, at);
        return store.Add(r);
    }
    std::vector<CCheckinRecord> All()
    {
        std::vector<CCheckinRecord> all;
        for (const QDate& day : {kLastWeek, kTonight})
            for (const CCheckinRecord& r : store.Day(day))
                all.push_back(r);
        return all;
    }
    std::optional<CCheckinRecord> ByCall(const QString& call, const QDate& day = kTonight)
    {
        for (const CCheckinRecord& r : store.Day(day))
            if (r.callSign == call)
                return r;
        return std::nullopt;
    }
    // A raw write to the log's bookkeeping, as an older version or a damaged file left it.
    void Raw(const QString& sql)
    {
        SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE);
        raw.exec(sql.toStdString());
    }
    QString path;
    CDatabase db;
    CCheckinStore store;
    CFixedClock clock{QDateTime(kTonight, QTime(19, 30))};
    CCheckinForm form;
    std::unique_ptr<CSyncEngine> engine;
};

enum class Fault
{
    RegularTakenByF1,
    CallbookRecordCarriesAnIdentity,
    DamagedLogHeals,
    AddStoresEveryField,
    ServerLostRows,
    VersionAtTheTop,
    RoleWithoutUpdate,
    UpperCaseIdentity,
    IdentityNotAUuid,
    CollisionWithAnotherStation,
    LogMovedToAnotherNet,
    NetNamesWithoutCase,
    DatesTheLogCannotHold,
    FieldTooLarge,
    BadNotification,
    NewerServerSchema,
    NewerLogFile,
    SyncWithoutOperator,
    PasswordNeverPrinted,
    MergeAsksAndUndoes,
    StationLoggedTwiceCountsOnce,
    ReadOnlyVerbsTouchNothing,
    LeftBehindIsNotSuccess,
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSharedHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<CPgServer> m_server;
    std::unique_ptr<CScratch> m_scratch;
    int m_logs = 0;

    std::unique_ptr<COperator> Operator(const QString& call, const QString& conninfo = QString())
    {
        return std::make_unique<COperator>(m_scratch->File(QStringLiteral("log%1.db").arg(++m_logs)),
                                           conninfo.isEmpty() ? m_server->ClubConnInfo() : conninfo, call);
    }
    // A number the server answers (one row, one column), or -1 with the error in a warning.
    qint64 Server(const QString& sql, CPgServer* server = nullptr)
    {
        try {
            CPgConnection db((server ? server : m_server.get())->ConnInfo(), QString(),
                             QStringLiteral("test"));
            return db.Exec(sql).Int(0, 0);
        } catch (const CLogwardenException& e) {
            qWarning("%s", qPrintable(e.Message()));
            return -1;
        }
    }
    CCliRun Cli(const QString& verb, const QString& log, const QStringList& more)
    {
        return RunCli(QStringList{verb, QStringLiteral("--log"), log} + more);
    }
    CCliRun Sync(const QString& log, const QStringList& more = {})
    {
        return Cli(QStringLiteral("sync"), log,
                   QStringList{QStringLiteral("--db"), m_server->ClubConnInfo(), QStringLiteral("--net"),
                               kNet, QStringLiteral("--once")} +
                       more);
    }
    static QString Why(const CCliRun& run) { return run.out + run.err; }
    // "version check-ins" as a fresh reader sees the file, and whether its bookkeeping is of this version.
    static QString LogState(const QString& path)
    {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
        const bool net =
            db.execAndGet("SELECT count(*) FROM pragma_table_info('SyncTab') WHERE name = 'Net'").getInt() !=
            0;
        return QStringLiteral("%1 %2%3")
            .arg(db.execAndGet("PRAGMA user_version").getInt())
            .arg(db.execAndGet("SELECT count(*) FROM LogwardenTab").getInt())
            .arg(net ? QString() : QStringLiteral(" without Net"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<CPgServer>();
        QVERIFY2(m_server->Error().isEmpty(), qPrintable(m_server->Error()));
        CPgConnection owner(m_server->ConnInfo(), QString(), QStringLiteral("test"));
        SharedServer::Init(owner);
        QCOMPARE(m_server->GrantClubRole(), QString());
    }

    void init()
    {
        m_scratch = std::make_unique<CScratch>();
        QCOMPARE(m_server->Exec(QStringLiteral("DELETE FROM checkin; DELETE FROM operator_seen")), QString());
    }

    void cleanupTestCase() { m_server.reset(); }

    void historyStaysWhole_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("a regular taken by F1 and logged tonight leaves last week's check-in")
            << Fault::RegularTakenByF1;
        QTest::newRow("a station's record from the Regulars tab or a callbook brings no identity")
            << Fault::CallbookRecordCarriesAnIdentity;
        QTest::newRow("a log whose old check-in lost its identity sends it back") << Fault::DamagedLogHeals;
        QTest::newRow("add stores every field it is given") << Fault::AddStoresEveryField;
        QTest::newRow("rows the server lost or holds at an older version go up again")
            << Fault::ServerLostRows;
        QTest::newRow("a version at 2^63-1 is set aside, later check-ins go") << Fault::VersionAtTheTop;
        QTest::newRow("a role without UPDATE: the edit is set aside, new check-ins go")
            << Fault::RoleWithoutUpdate;
        QTest::newRow("an identity in upper case is the same check-in") << Fault::UpperCaseIdentity;
        QTest::newRow("an identity that is not a UUID is replaced") << Fault::IdentityNotAUuid;
        QTest::newRow("another station with this log's identity survives")
            << Fault::CollisionWithAnotherStation;
        QTest::newRow("a log moved to another net carries nothing across") << Fault::LogMovedToAnotherNet;
        QTest::newRow("net names compare without case; a new net only when asked")
            << Fault::NetNamesWithoutCase;
        QTest::newRow("dates the log cannot hold are set aside, nothing wiped")
            << Fault::DatesTheLogCannotHold;
        QTest::newRow("a field of 10 MB is set aside without being fetched") << Fault::FieldTooLarge;
        QTest::newRow("a bad notification is ignored") << Fault::BadNotification;
        QTest::newRow("a newer server schema is refused by name and number") << Fault::NewerServerSchema;
        QTest::newRow("a log file of a newer version is refused by every verb") << Fault::NewerLogFile;
        QTest::newRow("sync without an operator says so") << Fault::SyncWithoutOperator;
        QTest::newRow("a password in a mistyped connection string is never printed")
            << Fault::PasswordNeverPrinted;
        QTest::newRow("merge duplicate asks about differing fields and can be undone")
            << Fault::MergeAsksAndUndoes;
        QTest::newRow("a station logged by two operators counts and exports once")
            << Fault::StationLoggedTwiceCountsOnce;
        QTest::newRow("read-only verbs create and change nothing") << Fault::ReadOnlyVerbsTouchNothing;
        QTest::newRow("changes left behind are not success") << Fault::LeftBehindIsNotSuccess;
    }

    void historyStaysWhole()
    {
        QFETCH(Fault, fault);
        switch (fault) {
        case Fault::RegularTakenByF1: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            auto logger = Operator(QStringLiteral("K4LOG"));
            ncs->Add(QStringLiteral("KH6ABC"), kLastWeek);
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            const CCheckinRecord old = *ncs->ByCall(QStringLiteral("KH6ABC"), kLastWeek);
            // F4, "kh6a", F1, F5 on tonight's net.
            ncs->form.SelectDay(kTonight);
            QVERIFY(ncs->form.NewStation(true));
            QVERIFY(ncs->form.TakeMatch(QStringLiteral("KH6ABC")));
            QVERIFY(ncs->form.Add());
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            for (COperator* op : {ncs.get(), logger.get()}) {
                QCOMPARE(op->ByCall(QStringLiteral("KH6ABC"), kLastWeek)->uuid, old.uuid);
                QVERIFY(op->ByCall(QStringLiteral("KH6ABC"))->uuid != old.uuid);
            }
            QCOMPARE(Server(QStringLiteral(
                         "SELECT count(*) FROM checkin WHERE call_sign = 'KH6ABC' AND version = 1 "
                         "AND checked_in_at < '2026-12-01'")),
                     1);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin")), 2);
            break;
        }
        case Fault::CallbookRecordCarriesAnIdentity: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("KH6ABC"), kLastWeek);
            CCheckinRecord regular = *ncs->ByCall(QStringLiteral("KH6ABC"), kLastWeek);
            regular.date = CDateTime(kTonight, QTime(19, 5));
            const QList<int> ids = ncs->store.AddMany({regular}, CCheckinStore::Undoable::Yes);
            QVERIFY(ncs->store.Get(ids.front())->uuid != regular.uuid);
            QCOMPARE(ncs->ByCall(QStringLiteral("KH6ABC"), kLastWeek)->uuid, regular.uuid);
            break;
        }
        case Fault::DamagedLogHeals: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            auto logger = Operator(QStringLiteral("K4LOG"));
            const int old = ncs->Add(QStringLiteral("KH6ABC"), kLastWeek);
            ncs->engine->SyncOnce();
            // As the earlier version left it: tonight's check-in took the old one's identity, and the server
            // (and every other log) moved the old check-in to tonight.
            const int tonight = ncs->Add(QStringLiteral("KH6ABC"));
            const QString uuid = ncs->store.Get(old)->uuid;
            ncs->Raw(QStringLiteral("DELETE FROM SyncTab WHERE CheckinID = %1;"
                                    "UPDATE SyncTab SET CheckinID = %1 WHERE Uuid = '%2';"
                                    "DELETE FROM OutboxTab;")
                         .arg(tonight)
                         .arg(uuid));
            ncs->store.Save(*ncs->store.Get(tonight));
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            QVERIFY(ncs->store.Get(old)->uuid != uuid);
            QVERIFY(logger->ByCall(QStringLiteral("KH6ABC"), kLastWeek));
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM checkin WHERE checked_in_at < '2026-12-01'")), 1);
            break;
        }
        case Fault::AddStoresEveryField: {
            const QString log = m_scratch->File(QStringLiteral("add.db"));
            const QStringList same{QStringLiteral("--name"),     QStringLiteral("JOHN SMITH"),
                                   QStringLiteral("--location"), QStringLiteral("HILO, HI"),
                                   QStringLiteral("--class"),    QStringLiteral("G"),
                                   QStringLiteral("--grid"),     QStringLiteral("BK29")};
            QCOMPARE(Cli(QStringLiteral("add"), log,
                         QStringList{QStringLiteral("--call"), QStringLiteral("W1AA")} + same)
                         .exitCode,
                     0);
            QCOMPARE(Cli(QStringLiteral("add"), log,
                         QStringList{QStringLiteral("--call"), QStringLiteral("W1BB"),
                                     QStringLiteral("--email"), QStringLiteral("x@y.z")} +
                             same)
                         .exitCode,
                     0);
            CDatabase db(log, CDatabase::ReadOnly);
            CCheckinStore store(db);
            const std::vector<CCheckinRecord> day = store.Day(QDate::currentDate());
            QCOMPARE(int(day.size()), 2);
            const CCheckinRecord& w1bb = day.back();
            QCOMPARE(w1bb.callSign, QStringLiteral("W1BB"));
            QCOMPARE(QStringList({w1bb.name, w1bb.location, w1bb.cls, w1bb.yourGrid, w1bb.email}),
                     QStringList({QStringLiteral("JOHN SMITH"), QStringLiteral("HILO, HI"),
                                  QStringLiteral("G"), QStringLiteral("BK29"), QStringLiteral("x@y.z")}));
            break;
        }
        case Fault::ServerLostRows: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            auto logger = Operator(QStringLiteral("K4LOG"));
            const int gone = ncs->Add(QStringLiteral("W1AW"));
            const int older = ncs->Add(QStringLiteral("WH6ZEB"), kTonight, QStringLiteral("Zeb"));
            const int tomb = ncs->Add(QStringLiteral("K9DEL"));
            ncs->engine->SyncOnce();
            CCheckinRecord r = *ncs->store.Get(older);
            r.name = QStringLiteral("Zebulon");
            ncs->store.Save(r);
            ncs->store.Remove({tomb});
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            // A row deleted by hand, a version lowered with the old name, a tombstone gone.
            QCOMPARE(m_server->Exec(
                         QStringLiteral("DELETE FROM checkin WHERE call_sign IN ('W1AW', 'K9DEL');"
                                        "UPDATE checkin SET version = 1, name = 'Zeb' WHERE call_sign = "
                                        "'WH6ZEB'")),
                     QString());
            // An edit waiting here goes up after the row is back.
            CCheckinRecord edit = *ncs->store.Get(gone);
            edit.comment = QStringLiteral("relay");
            ncs->store.Save(edit);
            ncs->engine->SyncOnce();
            QCOMPARE(ncs->engine->Pending(), 0);
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'W1AW' AND comment = "
                                      "'relay'")),
                1);
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'WH6ZEB' AND name = "
                                      "'Zebulon' AND version > 2")),
                1);
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'K9DEL' AND deleted")),
                1);
            logger->engine->SyncOnce();
            QCOMPARE(logger->ByCall(QStringLiteral("WH6ZEB"))->name, QStringLiteral("Zebulon"));
            QCOMPARE(logger->ByCall(QStringLiteral("W1AW"))->comment, QStringLiteral("relay"));
            break;
        }
        case Fault::VersionAtTheTop:
        case Fault::RoleWithoutUpdate: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            const int stuck = ncs->Add(QStringLiteral("W1AW"));
            ncs->engine->SyncOnce();
            if (fault == Fault::VersionAtTheTop) {
                QCOMPARE(m_server->Exec(QStringLiteral("UPDATE checkin SET version = 9223372036854775807")),
                         QString());
                ncs->engine->SyncOnce();
            } else {
                QCOMPARE(m_server->Exec(QStringLiteral("REVOKE UPDATE ON checkin FROM club")), QString());
            }
            CCheckinRecord r = *ncs->store.Get(stuck);
            r.name = QStringLiteral("Hiram");
            ncs->store.Save(r);
            ncs->Add(QStringLiteral("K1NEW"));
            const CCliRun run = Sync(ncs->path);
            m_server->Exec(QStringLiteral("GRANT UPDATE ON checkin TO club"));
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.out.contains(QLatin1String("1 set aside")), qPrintable(Why(run)));
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'K1NEW'")), 1);
            const CCliRun listed = Cli(QStringLiteral("conflicts"), ncs->path, {});
            QVERIFY2(listed.out.contains(QLatin1String("|W1AW|")) &&
                         listed.out.contains(QLatin1String("Set aside")),
                     qPrintable(Why(listed)));
            if (fault == Fault::RoleWithoutUpdate) {
                // Once the role may update again, the next connection sends it.
                QCOMPARE(Sync(ncs->path).exitCode, 0);
                QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE name = 'Hiram'")), 1);
            }
            break;
        }
        case Fault::UpperCaseIdentity: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            ncs->Add(QStringLiteral("K1ABC"));
            ncs->engine->SyncOnce();
            // Another program wrote the identities in upper case.
            const QString adi = m_scratch->File(QStringLiteral("upper.adi"));
            QCOMPARE(Cli(QStringLiteral("adif-export"), ncs->path,
                         {QStringLiteral("--all"), QStringLiteral("--out"), adi})
                         .exitCode,
                     0);
            QByteArray text = ReadFile(adi);
            for (const CCheckinRecord& r : ncs->All())
                text.replace(r.uuid.toUtf8(), r.uuid.toUpper().toUtf8());
            WriteFile(adi, text);
            const CCliRun again =
                Cli(QStringLiteral("adif-import"), ncs->path, {QStringLiteral("--in"), adi});
            QVERIFY2(again.out.contains(QLatin1String("0 added")), qPrintable(Why(again)));
            auto logger = Operator(QStringLiteral("K4LOG"));
            QCOMPARE(Cli(QStringLiteral("adif-import"), logger->path, {QStringLiteral("--in"), adi}).exitCode,
                     0);
            logger->engine->SyncOnce();
            QCOMPARE(logger->engine->Pending(), 0);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin")), 2);
            break;
        }
        case Fault::IdentityNotAUuid: {
            const QString adi = m_scratch->File(QStringLiteral("odd.adi"));
            WriteFile(adi, "header<EOH>\n"
                           "<CALL:4>W1AB<QSO_DATE:8>20261207<TIME_ON:6>190000"
                           "<APP_LOGWARDEN_UUID:10>not-a-uuid<EOR>\n"
                           "<CALL:4>W1CD<QSO_DATE:8>20261207<TIME_ON:6>190500"
                           "<APP_LOGWARDEN_UUID:38>{e3b0c442-98fc-1c14-9afb-f4c8996fb924}<EOR>\n");
            auto ncs = Operator(QStringLiteral("N4NCS"));
            const CCliRun imported =
                Cli(QStringLiteral("adif-import"), ncs->path, {QStringLiteral("--in"), adi});
            QVERIFY2(imported.out.contains(QLatin1String("2 added")), qPrintable(Why(imported)));
            ncs->engine->SyncOnce();
            QCOMPARE(ncs->engine->Pending(), 0);
            QCOMPARE(ncs->engine->SetAside(), 0);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin")), 2);
            break;
        }
        case Fault::CollisionWithAnotherStation: {
            auto mine = Operator(QStringLiteral("N4NCS"));
            const int id = mine->Add(QStringLiteral("K1MINE"));
            const QString uuid = mine->store.Get(id)->uuid;
            const qint64 net = Server(QStringLiteral("SELECT id FROM net WHERE name = 'Tuesday Net'"));
            QCOMPARE(
                m_server->Exec(
                    QStringLiteral("INSERT INTO checkin (uuid, net_id, call_sign, logged_by, checked_in_at) "
                                   "VALUES ('%1', %2, 'K9OTHER', 'W9X', '2026-12-07 19:03:00')")
                        .arg(uuid)
                        .arg(net > 0 ? net : 1)),
                QString());
            mine->engine->SyncOnce();
            mine->engine->SyncOnce();
            QCOMPARE(Server(QStringLiteral(
                                "SELECT count(*) FROM checkin WHERE call_sign = 'K9OTHER' AND uuid = '%1'")
                                .arg(uuid)),
                     1);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'K1MINE'")), 1);
            QVERIFY(mine->store.Get(id)->uuid != uuid);
            QVERIFY(mine->ByCall(QStringLiteral("K9OTHER")));
            break;
        }
        case Fault::LogMovedToAnotherNet: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            const int id = ncs->Add(QStringLiteral("W1AW"));
            ncs->engine->SyncOnce();
            ncs->store.Remove({id});
            const CCliRun other = Cli(QStringLiteral("sync"), ncs->path,
                                      {QStringLiteral("--db"), m_server->ClubConnInfo(),
                                       QStringLiteral("--net"), QStringLiteral("Thursday Net"),
                                       QStringLiteral("--create-net"), QStringLiteral("--once")});
            QCOMPARE(other.exitCode, 0);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE deleted")), 0);
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM checkin c JOIN net n ON n.id = c.net_id WHERE "
                                      "n.name = 'Thursday Net'")),
                0);
            // Back on its own net, the deletion goes out there.
            QCOMPARE(Sync(ncs->path).exitCode, 0);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE deleted")), 1);
            break;
        }
        case Fault::NetNamesWithoutCase: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            ncs->engine->SyncOnce();
            const QString log = m_scratch->File(QStringLiteral("logger.db"));
            const CCliRun typo =
                Cli(QStringLiteral("sync"), log,
                    {QStringLiteral("--db"), m_server->ClubConnInfo(), QStringLiteral("--net"),
                     QStringLiteral("Tusday Net"), QStringLiteral("--operator"), QStringLiteral("K4LOG"),
                     QStringLiteral("--once")});
            QCOMPARE(typo.exitCode, 1);
            QVERIFY2(typo.err.contains(QLatin1String("no net named \"Tusday Net\"")) &&
                         typo.err.contains(QLatin1String("Tuesday Net")),
                     qPrintable(Why(typo)));
            const CCliRun folded =
                Cli(QStringLiteral("sync"), log,
                    {QStringLiteral("--db"), m_server->ClubConnInfo(), QStringLiteral("--net"),
                     QStringLiteral("  TUESDAY net "), QStringLiteral("--operator"), QStringLiteral("K4LOG"),
                     QStringLiteral("--once")});
            QCOMPARE(folded.exitCode, 0);
            QVERIFY2(folded.out.contains(QLatin1String("pulled 1")), qPrintable(Why(folded)));
            QCOMPARE(
                Server(QStringLiteral("SELECT count(*) FROM net WHERE lower(btrim(name)) = 'tuesday net'")),
                1);
            break;
        }
        case Fault::DatesTheLogCannotHold:
        case Fault::FieldTooLarge: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            const int mine = ncs->Add(QStringLiteral("W1AW"));
            ncs->engine->SyncOnce();
            auto logger = Operator(QStringLiteral("K4LOG"));
            logger->engine->SyncOnce();
            const QString damage = fault == Fault::DatesTheLogCannotHold
                                       ? QStringLiteral("checked_in_at = 'infinity'")
                                       : QStringLiteral("name = repeat('x', 10 * 1024 * 1024)");
            QCOMPARE(
                m_server->Exec(QStringLiteral("UPDATE checkin SET %1, version = version + 1").arg(damage)),
                QString());
            if (fault == Fault::DatesTheLogCannotHold)
                QCOMPARE(
                    m_server->Exec(QStringLiteral(
                        "INSERT INTO checkin (uuid, net_id, call_sign, checked_in_at) SELECT "
                        "gen_random_uuid(), "
                        "net_id, c, t::timestamptz FROM checkin, (VALUES ('K1FAR', '294276-01-01 "
                        "00:00:00+00'),"
                        " ('K1OLD', '4713-01-01 00:00:00+00 BC'), ('K1OK', '2026-12-07 19:10:00+00')) v(c, t)"
                        " LIMIT 3")),
                    QString());
            for (COperator* op : {ncs.get(), logger.get()}) {
                const CCliRun run = Sync(op->path);
                QCOMPARE(run.exitCode, 1);
                QVERIFY2(run.err.contains(QLatin1String("set aside")), qPrintable(Why(run)));
                // Nothing wiped: the check-in stays as it was agreed.
                QCOMPARE(op->ByCall(QStringLiteral("W1AW"))->name, QStringLiteral("Op W1AW"));
            }
            if (fault == Fault::DatesTheLogCannotHold)
                QVERIFY(logger->ByCall(QStringLiteral("K1OK")));
            // An edit here does not write anything back over what it cannot read.
            CCheckinRecord r = *ncs->store.Get(mine);
            r.comment = QStringLiteral("edited");
            ncs->store.Save(r);
            Sync(ncs->path);
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign = 'W1AW' AND %1")
                                .arg(fault == Fault::DatesTheLogCannotHold
                                         ? QStringLiteral("checked_in_at = 'infinity'")
                                         : QStringLiteral("octet_length(name) > 1000000"))),
                     1);
            break;
        }
        case Fault::BadNotification: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            int offline = 0;
            connect(ncs->engine.get(), &CSyncEngine::statusChanged, this,
                    [&](const CSyncStatus& s) { offline += s.online ? 0 : 1; });
            ncs->engine->Start();
            QTRY_VERIFY_WITH_TIMEOUT(ncs->engine->Status().online, 15000);
            offline = 0;
            const qint64 net = Server(QStringLiteral("SELECT id FROM net WHERE name = 'Tuesday Net'"));
            for (const QString& payload :
                 {QStringLiteral("%1 bad 5"), QStringLiteral("x y z"), QStringLiteral("%1 2"),
                  QStringLiteral("999999 e3b0c442-98fc-1c14-9afb-f4c8996fb924 7"),
                  QStringLiteral("%1 e3b0c442-98fc-1c14-9afb-f4c8996fb924 -4"),
                  QStringLiteral("%1 {e3b0c442-98fc-1c14-9afb-f4c8996fb924} 9")})
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(m_server->Exec(QStringLiteral("SELECT pg_notify('logwarden_checkin', '%1')")
                                                .arg(QString(payload).replace(QLatin1String("%1"),
                                                                              QString::number(net)))),
                             QString());
            ncs->Add(QStringLiteral("W1AW"));
            QTRY_COMPARE_WITH_TIMEOUT(Server(QStringLiteral("SELECT count(*) FROM checkin")), 1, 15000);
            QCOMPARE(offline, 0);
            ncs->engine->Stop();
            break;
        }
        case Fault::NewerServerSchema: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            QCOMPARE(m_server->Exec(QStringLiteral("UPDATE logwarden_schema SET version = 99")), QString());
            const CCliRun run = Sync(ncs->path);
            const CCliRun init = RunCli({QStringLiteral("shared"), QStringLiteral("init"),
                                         QStringLiteral("--db"), m_server->ConnInfo()});
            m_server->Exec(QStringLiteral("UPDATE logwarden_schema SET version = %1")
                               .arg(SharedServer::LatestVersion()));
            for (const CCliRun& r : {run, init}) {
                QCOMPARE(r.exitCode, 1);
                QVERIFY2(r.err.contains(QLatin1String("newer version (99)")), qPrintable(Why(r)));
            }
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin")), 0);
            break;
        }
        case Fault::NewerLogFile: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            ncs->Raw(QStringLiteral("PRAGMA user_version = 99"));
            const QString out = m_scratch->File(QStringLiteral("out.adi"));
            for (const QStringList& verb :
                 {QStringList{QStringLiteral("add"), QStringLiteral("--log"), ncs->path,
                              QStringLiteral("--call"), QStringLiteral("K1ABC")},
                  QStringList{QStringLiteral("sync"), QStringLiteral("--log"), ncs->path,
                              QStringLiteral("--db"), m_server->ClubConnInfo(), QStringLiteral("--net"), kNet,
                              QStringLiteral("--once")},
                  QStringList{QStringLiteral("conflicts"), QStringLiteral("--log"), ncs->path},
                  QStringList{QStringLiteral("adif-export"), QStringLiteral("--log"), ncs->path,
                              QStringLiteral("--all"), QStringLiteral("--out"), out},
                  QStringList{QStringLiteral("net-summary"), QStringLiteral("--log"), ncs->path,
                              QStringLiteral("--day"), kTonight.toString(Qt::ISODate)}}) {
                const CCliRun r = RunCli(verb);
                QVERIFY2(r.exitCode != 0 && r.err.contains(QLatin1String("newer version of Logwarden")),
                         qPrintable(verb.first() + QLatin1String(": ") + Why(r)));
            }
            QCOMPARE(LogState(ncs->path), QStringLiteral("99 1"));
            break;
        }
        case Fault::SyncWithoutOperator: {
            const CCliRun r = Cli(QStringLiteral("sync"), m_scratch->File(QStringLiteral("new.db")),
                                  {QStringLiteral("--db"), m_server->ClubConnInfo(), QStringLiteral("--net"),
                                   kNet, QStringLiteral("--once")});
            QCOMPARE(r.exitCode, 2);
            QVERIFY2(r.err.contains(QLatin1String("--operator CALL is required")), qPrintable(Why(r)));
            break;
        }
        case Fault::PasswordNeverPrinted: {
            for (const QString& conninfo : {QStringLiteral("postgresql://club:Sup3rS3cret@[::1/club"),
                                            QStringLiteral("host=/nonexistent password=Sup3r S3cretTail")}) {
                const CCliRun r =
                    Cli(QStringLiteral("sync"), m_scratch->File(QStringLiteral("pw.db")),
                        {QStringLiteral("--db"), conninfo, QStringLiteral("--net"), kNet,
                         QStringLiteral("--operator"), QStringLiteral("K4LOG"), QStringLiteral("--once")});
                QVERIFY(r.exitCode != 0);
                QVERIFY2(!Why(r).contains(QLatin1String("S3cret")), qPrintable(Why(r)));
            }
            break;
        }
        case Fault::MergeAsksAndUndoes: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            auto logger = Operator(QStringLiteral("K4LOG"));
            ncs->Add(QStringLiteral("W1AW"), kTonight, QStringLiteral("Sam"));
            logger->Add(QStringLiteral("W1AW"), kTonight, QStringLiteral("sam lee"), QTime(19, 2));
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            ncs->engine->SyncOnce();
            const int keep = ncs->ByCall(QStringLiteral("W1AW"))->id;
            const auto proposal = ncs->store.ProposeMerge(keep);
            QVERIFY(proposal);
            QCOMPARE(proposal->conflicts, QList<SharedFields::Field>{SharedFields::Name});
            QCOMPARE(proposal->theirs.name, QStringLiteral("sam lee"));
            QCOMPARE(proposal->otherOperator, QStringLiteral("K4LOG"));
            CCheckinRecord chosen = proposal->merged;
            chosen.name = QStringLiteral("Sam Lee");
            QVERIFY(ncs->store.MergeDuplicates(keep, chosen));
            QCOMPARE(ncs->store.Day(kTonight).size(), size_t(1));
            QVERIFY(ncs->store.UndoText().startsWith(QLatin1String("the merge of 2 check-ins")));
            ncs->store.Undo();
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            for (COperator* op : {ncs.get(), logger.get()}) {
                const CCheckinRecord r = *op->ByCall(QStringLiteral("W1AW"));
                QCOMPARE(r.name, QStringLiteral("Sam"));
                QCOMPARE(r.alsoLoggedBy.section(QLatin1Char(' '), 0, 0), QStringLiteral("K4LOG"));
            }
            QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE NOT deleted")), 2);
            break;
        }
        case Fault::StationLoggedTwiceCountsOnce: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            auto logger = Operator(QStringLiteral("K4LOG"));
            ncs->Add(QStringLiteral("W1AW"));
            ncs->Add(QStringLiteral("K1ABC"));
            logger->Add(QStringLiteral("W1AW"));
            ncs->engine->SyncOnce();
            logger->engine->SyncOnce();
            ncs->engine->SyncOnce();
            const CCliRun summary = Cli(QStringLiteral("net-summary"), ncs->path,
                                        {QStringLiteral("--day"), kTonight.toString(Qt::ISODate)});
            QVERIFY2(summary.out.contains(QLatin1String("Check-ins: 2")), qPrintable(Why(summary)));
            const QString adi = m_scratch->File(QStringLiteral("out.adi"));
            QCOMPARE(
                Cli(QStringLiteral("adif-export"), ncs->path,
                    {QStringLiteral("--day"), kTonight.toString(Qt::ISODate), QStringLiteral("--out"), adi})
                    .exitCode,
                0);
            QCOMPARE(ReadFile(adi).count("<EOR>"), 2);
            break;
        }
        case Fault::ReadOnlyVerbsTouchNothing: {
            const QString typo = m_scratch->File(QStringLiteral("typo.db"));
            QVERIFY(Cli(QStringLiteral("conflicts"), typo, {}).exitCode != 0);
            QVERIFY(!QFile::exists(typo));
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            // As the version before left it: no Net and Refused in its bookkeeping.
            ncs->Raw(
                QStringLiteral("ALTER TABLE SyncTab DROP COLUMN Net; ALTER TABLE SyncTab DROP COLUMN Refused;"
                               "PRAGMA user_version = 2"));
            QCOMPARE(Cli(QStringLiteral("conflicts"), ncs->path, {}).exitCode, 0);
            QCOMPARE(LogState(ncs->path), QStringLiteral("2 1 without Net"));
            break;
        }
        case Fault::LeftBehindIsNotSuccess: {
            auto ncs = Operator(QStringLiteral("N4NCS"));
            ncs->Add(QStringLiteral("W1AW"));
            QCOMPARE(Sync(ncs->path).exitCode, 0);
            ncs->Add(QStringLiteral("K1ABC"));
            const QString down = QStringLiteral("host=%1 port=1 dbname=club user=club connect_timeout=2")
                                     .arg(m_scratch->File(QStringLiteral("nowhere")));
            QProcess follow;
            follow.start(CliPath(),
                         {QStringLiteral("sync"), QStringLiteral("--log"), ncs->path, QStringLiteral("--db"),
                          down, QStringLiteral("--net"), kNet, QStringLiteral("--follow")});
            QVERIFY(follow.waitForStarted());
            // Stopped once it has found the server gone (a slow start would otherwise miss the signal).
            QByteArray err;
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             err += follow.readAllStandardError();
                             return err.contains("offline");
                         },
                         20000),
                     err.constData());
            follow.terminate();
            QVERIFY(follow.waitForFinished(20000));
            QCOMPARE(follow.exitCode(), 1);
            const QString said = QString::fromUtf8(follow.readAllStandardOutput());
            QVERIFY2(said.contains(QLatin1String("1 pending")), qPrintable(said));
            break;
        }
        }
    }

    // A net run by two operators while the server is restored from a backup taken mid-net, and then fails
    // over to a standby that lagged: every check-in is on the server again, and both logs agree.
    void restoreAndFailoverLoseNothing()
    {
        auto ncs = Operator(QStringLiteral("N4NCS"));
        auto logger = Operator(QStringLiteral("K4LOG"));
        const auto syncBoth = [&] {
            for (int i = 0; i < 2; ++i) {
                ncs->engine->SyncOnce();
                logger->engine->SyncOnce();
            }
        };
        for (int i = 0; i < 4; ++i)
            ncs->Add(QStringLiteral("W%1AA").arg(i), kLastWeek);
        ncs->Add(QStringLiteral("K1ABC"));
        syncBoth();
        QVERIFY(m_server->Dump());
        logger->Add(QStringLiteral("K2DEF"));
        CCheckinRecord r = *ncs->ByCall(QStringLiteral("K1ABC"));
        r.name = QStringLiteral("Alice");
        ncs->store.Save(r);
        syncBoth();
        QVERIFY2(m_server->Restore(), qPrintable(m_server->Error()));
        QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin")), 5);
        syncBoth();
        QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE NOT deleted")), 6);
        QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE name = 'Alice'")), 1);

        // A standby that stops following, the primary lost after more check-ins, the standby promoted.
        std::unique_ptr<CPgServer> standby = m_server->Standby();
        QVERIFY2(standby, qPrintable(m_server->Error()));
        QVERIFY(standby->Stop(false));
        logger->Add(QStringLiteral("N3GHI"));
        ncs->Add(QStringLiteral("N4JKL"));
        logger->store.Remove({logger->ByCall(QStringLiteral("W0AA"), kLastWeek)->id});
        syncBoth();
        QVERIFY(m_server->Stop(true));
        QVERIFY(standby->Start());
        QVERIFY(standby->Promote());
        // It lagged: tonight's last check-ins and the deletion are not there.
        QCOMPARE(
            Server(QStringLiteral("SELECT count(*) FROM checkin WHERE call_sign IN ('N3GHI', 'N4JKL') OR "
                                  "deleted"),
                   standby.get()),
            0);
        for (COperator* op : {ncs.get(), logger.get()})
            op->engine = std::make_unique<CSyncEngine>(
                op->store, CSharedLogOptions{standby->ClubConnInfo(), QString(), kNet, op->store.Operator(),
                                             QString(), false});
        syncBoth();
        QVERIFY(m_server->Start());
        QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE NOT deleted"), standby.get()), 7);
        QCOMPARE(Server(QStringLiteral("SELECT count(*) FROM checkin WHERE deleted"), standby.get()), 1);
        QStringList a, b;
        for (const CCheckinRecord& c : ncs->All())
            a << c.callSign + QLatin1Char('|') + c.name + QLatin1Char('|') + c.uuid;
        for (const CCheckinRecord& c : logger->All())
            b << c.callSign + QLatin1Char('|') + c.name + QLatin1Char('|') + c.uuid;
        a.sort();
        b.sort();
        QCOMPARE(a, b);
        QCOMPARE(a.size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestSharedHistory)
#include "tst_sharedhistory.moc"
