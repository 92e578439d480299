// logwarden-cli shared init, add, sync, conflicts: the shared club log from scripts.
#include "cli/CliCommand.h"
#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"
#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "core/shared/SyncEngine.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#include <unistd.h>

namespace {

int Usage(const QString& command, const QString& usage, const QString& why)
{
    CliError(QStringLiteral("logwarden-cli %1: %2\nUsage: logwarden-cli %3").arg(command, why, usage));
    return 2;
}

const QString kInitUsage = QStringLiteral("shared init --db CONNINFO");

int RunShared(const QStringList& args)
{
    const CCliArgs a(args, {QStringLiteral("db")});
    if (const QString why = a.Unexpected({QStringLiteral("db")}, 1); !why.isEmpty())
        return Usage(QStringLiteral("shared"), kInitUsage, why);
    if (a.Positional().value(0) != QLatin1String("init"))
        return Usage(QStringLiteral("shared"), kInitUsage, QStringLiteral("the only subcommand is \"init\""));
    if (!a.Has(QStringLiteral("db")))
        return Usage(QStringLiteral("shared"), kInitUsage, QStringLiteral("--db CONNINFO is required"));
    CPgConnection db(a.Value(QStringLiteral("db")), QString(), QStringLiteral("logwarden-cli"));
    const auto [before, after] = SharedServer::Init(db);
    if (before == after)
        CliPrint(
            QStringLiteral("The shared log on %1 is up to date (version %2).").arg(db.Where()).arg(after));
    else
        CliPrint(QStringLiteral("The shared log on %1 went from version %2 to %3.")
                     .arg(db.Where())
                     .arg(before)
                     .arg(after));
    return 0;
}

// The log to write, created when it does not exist yet.
std::unique_ptr<CDatabase> OpenLog(const QString& path)
{
    auto db = std::make_unique<CDatabase>(path, CDatabase::ReadWriteCreate);
    LogSchema::Prepare(*db);
    return db;
}

const QString kAddUsage = QStringLiteral(
    "add --log FILE --call CALL [--name N --street S --location L --class C --grid G --email E "
    "--comment T --traffic --ack] [--date 'YYYY-MM-DD HH:MM:SS']");

int RunAdd(const QStringList& args)
{
    const QStringList values{QStringLiteral("log"),    QStringLiteral("call"),     QStringLiteral("name"),
                             QStringLiteral("street"), QStringLiteral("location"), QStringLiteral("class"),
                             QStringLiteral("grid"),   QStringLiteral("email"),    QStringLiteral("comment"),
                             QStringLiteral("date")};
    const CCliArgs a(args, values);
    if (const QString why =
            a.Unexpected(values + QStringList{QStringLiteral("traffic"), QStringLiteral("ack")});
        !why.isEmpty())
        return Usage(QStringLiteral("add"), kAddUsage, why);
    if (!a.Has(QStringLiteral("log")) || a.Value(QStringLiteral("call")).trimmed().isEmpty())
        return Usage(QStringLiteral("add"), kAddUsage,
                     QStringLiteral("--log FILE and --call CALL are required"));
    QDateTime when = QDateTime::currentDateTime();
    if (a.Has(QStringLiteral("date"))) {
        when = QDateTime::fromString(a.Value(QStringLiteral("date")), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid())
            return Usage(QStringLiteral("add"), kAddUsage,
                         QStringLiteral("'%1' is not a date and time (YYYY-MM-DD HH:MM:SS)")
                             .arg(a.Value(QStringLiteral("date"))));
    }
    const auto db = OpenLog(a.Value(QStringLiteral("log")));
    CCheckinStore store(*db);
    CFixedClock clock(when);
    // The window's F5, with its rules: the same station once a day.
    CCheckinForm form(store, clock);
    QString refused;
    QObject::connect(&form, &CCheckinForm::message, [&](const QString& text) { refused = text; });
    form.SelectDay(when.date());
    // A new station: the day's first check-in shown in the boxes is no part of it.
    form.NewStation(true);
    CCheckinRecord entry;
    entry.callSign = a.Value(QStringLiteral("call")).trimmed().toUpper();
    entry.name = a.Value(QStringLiteral("name"));
    entry.street = a.Value(QStringLiteral("street"));
    entry.location = a.Value(QStringLiteral("location"));
    entry.cls = a.Value(QStringLiteral("class"));
    entry.yourGrid = a.Value(QStringLiteral("grid"));
    entry.email = a.Value(QStringLiteral("email"));
    entry.comment = a.Value(QStringLiteral("comment"));
    form.SetEntry(entry);
    form.SetEntryDate(when);
    if (!form.Add()) {
        CliError(QStringLiteral("logwarden-cli add: %1").arg(refused));
        return 1;
    }
    const int id = form.Rows()[size_t(form.CurrentRow())].id;
    if (a.Has(QStringLiteral("traffic")))
        store.SetFlag(id, LogQueries::Flag::HasTraffic, true);
    if (a.Has(QStringLiteral("ack")))
        store.SetFlag(id, LogQueries::Flag::Acknowledged, true);
    CliPrint(QStringLiteral("%1 logged as check-in #%2 of %3")
                 .arg(entry.callSign)
                 .arg(form.CurrentRow() + 1)
                 .arg(when.date().toString(Qt::ISODate)));
    return 0;
}

const QString kSyncUsage = QStringLiteral(
    "sync --log FILE --db CONNINFO --net NAME [--operator CALL] [--create-net] (--once | --follow)");

int TermPipe[2] = {-1, -1};

void OnTerm(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(TermPipe[1], &c, 1);
}

int RunSync(const QStringList& args)
{
    const QStringList values{QStringLiteral("log"), QStringLiteral("db"), QStringLiteral("net"),
                             QStringLiteral("operator")};
    const CCliArgs a(args, values);
    if (const QString why =
            a.Unexpected(values + QStringList{QStringLiteral("once"), QStringLiteral("follow"),
                                              QStringLiteral("create-net")});
        !why.isEmpty())
        return Usage(QStringLiteral("sync"), kSyncUsage, why);
    for (const QString& required : {QStringLiteral("log"), QStringLiteral("db"), QStringLiteral("net")})
        if (a.Value(required).trimmed().isEmpty())
            return Usage(QStringLiteral("sync"), kSyncUsage,
                         QStringLiteral("--%1 is required").arg(required));
    if (a.Has(QStringLiteral("once")) == a.Has(QStringLiteral("follow")))
        return Usage(QStringLiteral("sync"), kSyncUsage, QStringLiteral("give either --once or --follow"));
    const auto db = OpenLog(a.Value(QStringLiteral("log")));
    CCheckinStore store(*db);
    const QString operatorCall = a.Value(QStringLiteral("operator"), store.Operator()).trimmed().toUpper();
    if (operatorCall.isEmpty())
        return Usage(
            QStringLiteral("sync"), kSyncUsage,
            QStringLiteral("--operator CALL is required the first time (who logs at this computer)"));
    QString net = a.Value(QStringLiteral("net")).trimmed();
    if (SharedServer::NetKey(store.SharedNet()) != SharedServer::NetKey(net) ||
        store.Operator() != operatorCall) {
        // The log moves to the net only once the server is reached and has it (or made it, when asked).
        CPgConnection server(a.Value(QStringLiteral("db")), QString(), QStringLiteral("logwarden-cli"));
        SharedServer::CheckVersion(server);
        net = SharedServer::ResolveNet(server, net, a.Has(QStringLiteral("create-net"))).name;
        store.ShareWith(net, operatorCall);
    }
    CSyncEngine engine(store, {a.Value(QStringLiteral("db")), QString(), net, operatorCall, QString(),
                               a.Has(QStringLiteral("create-net"))});
    // Exit 0 only when the server has everything: what is left behind is said, and exits 1.
    const auto report = [&] {
        const int pending = engine.Pending();
        const int setAside = engine.SetAside();
        QString line = QStringLiteral("pushed %1, pulled %2, conflicts %3")
                           .arg(engine.Pushed())
                           .arg(engine.Pulled())
                           .arg(engine.Conflicts());
        if (pending > 0)
            line += QStringLiteral(", %1 pending").arg(pending);
        if (setAside > 0)
            line += QStringLiteral(", %1 set aside").arg(setAside);
        CliPrint(line);
        for (const CCheckinStore::CSetAside& s : store.SetAsideList()) {
            const std::optional<CCheckinRecord> r = s.id ? store.Get(s.id) : std::nullopt;
            CliError(QStringLiteral("logwarden-cli sync: %1 (%2) set aside: %3")
                         .arg(CliPrintable(r ? r->callSign : QStringLiteral("a check-in of the server")),
                              s.uuid, CliPrintable(s.reason)));
        }
        return pending + setAside > 0 ? 1 : 0;
    };
    if (a.Has(QStringLiteral("once"))) {
        engine.SyncOnce();
        return report();
    }
    // --follow: until SIGTERM or Ctrl+C, then what is queued goes out.
    if (pipe(TermPipe) != 0)
        throw CFileException(QStringLiteral("Cannot create a pipe."), QString());
    struct sigaction action = {};
    action.sa_handler = OnTerm;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QSocketNotifier term(TermPipe[0], QSocketNotifier::Read);
    QObject::connect(&term, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    QString lastError;
    QObject::connect(&engine, &CSyncEngine::statusChanged, [&](const CSyncStatus& s) {
        if (!s.online && s.error != lastError)
            CliError(
                QStringLiteral("logwarden-cli sync: offline, %1 pending: %2").arg(s.pending).arg(s.error));
        else if (s.online && !lastError.isEmpty())
            CliError(QStringLiteral("logwarden-cli sync: online again"));
        lastError = s.online ? QString() : s.error;
    });
    engine.Start();
    QCoreApplication::exec();
    engine.Stop(true);
    return report();
}

int RunConflicts(const QStringList& args)
{
    const CCliArgs a(args, {QStringLiteral("log")});
    if (const QString why = a.Unexpected({QStringLiteral("log")});
        !why.isEmpty() || !a.Has(QStringLiteral("log")))
        return Usage(QStringLiteral("conflicts"), QStringLiteral("conflicts --log FILE"),
                     why.isEmpty() ? QStringLiteral("--log FILE is required") : why);
    // Only read: a missing file is not created, an old one not upgraded.
    const auto db = CliOpenLog(QStringLiteral("conflicts"), a.Value(QStringLiteral("log")));
    if (!db)
        return 1;
    CCheckinStore store(*db);
    // ID|CALL|DATE|FIELD|MINE|THEIRS, a line per field in conflict.
    for (const int id : store.Conflicts()) {
        const auto mine = store.Get(id);
        const auto theirs = store.Theirs(id);
        if (!mine || !theirs)
            continue;
        for (int f = 0; f < SharedFields::kCount; ++f)
            if (!SharedFields::Same(*mine, *theirs, SharedFields::Field(f)))
                CliPrint(QStringLiteral("%1|%2|%3|%4|%5|%6")
                             .arg(id)
                             .arg(CliField(mine->callSign), mine->date.ToStorage(),
                                  SharedFields::Label(SharedFields::Field(f)),
                                  CliField(SharedFields::Text(*mine, SharedFields::Field(f))),
                                  CliField(SharedFields::Text(*theirs, SharedFields::Field(f)))));
    }
    // ID|CALL|DATE|Set aside|REASON|: what the server refused or the log could not take (ID 0: on the
    // server only).
    for (const CCheckinStore::CSetAside& s : store.SetAsideList()) {
        const std::optional<CCheckinRecord> r = s.id ? store.Get(s.id) : std::nullopt;
        CliPrint(QStringLiteral("%1|%2|%3|Set aside|%4|")
                     .arg(s.id)
                     .arg(CliField(r ? r->callSign : QString()), r ? r->date.ToStorage() : QString(),
                          CliField(s.reason)));
    }
    return 0;
}

CCliRegistrar regShared{
    {QStringLiteral("shared"), kInitUsage,
     QStringLiteral("Create or update the shared club log's tables on the PostgreSQL server "
                    "(safe to run again)."),
     &RunShared}};
CCliRegistrar regAdd{
    {QStringLiteral("add"), kAddUsage,
     QStringLiteral("Log a check-in as F5 does (the same station twice a day is refused, exit 1)."),
     &RunAdd}};
CCliRegistrar regSync{
    {QStringLiteral("sync"), kSyncUsage,
     QStringLiteral("Keep the log in step with the shared club log: once, or until SIGTERM "
                    "(then what is queued goes out). Prints \"pushed N, pulled M, conflicts K\" and what is "
                    "left behind; exits 1 unless the server has every change. A net the server does not have "
                    "is created only with --create-net."),
     &RunSync}};
CCliRegistrar regConflicts{{QStringLiteral("conflicts"), QStringLiteral("conflicts --log FILE"),
                            QStringLiteral("List the fields two operators changed differently: "
                                           "ID|CALL|DATE|FIELD|MINE|THEIRS."),
                            &RunConflicts}};

} // namespace
