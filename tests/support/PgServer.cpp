#include "support/PgServer.h"

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <libpq-fe.h>
#include <unistd.h>

namespace TestSupport {

namespace {

QString FindBin()
{
    // Debian keeps the server's programs per major version.
    for (const QString& v : {QStringLiteral("15"), QStringLiteral("16"), QStringLiteral("17")}) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
        if (QFile::exists(dir + QStringLiteral("/pg_ctl")))
            return dir;
    }
    return QString();
}

} // namespace

bool CPgServer::Prepare()
{
    m_bin = FindBin();
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL's server is not installed (Debian: postgresql-15)");
        return false;
    }
    m_asPostgres = geteuid() == 0;
    const QString dir = m_dir.path();
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                   QFileDevice::ExeOther);
    // A certificate for the server, and another one the client may wrongly be told to trust.
    const auto makeCert = [&](const QString& name) {
        return Run({QStringLiteral("openssl"), QStringLiteral("req"), QStringLiteral("-x509"),
                    QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                    QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                    dir + QStringLiteral("/%1.key").arg(name), QStringLiteral("-out"),
                    dir + QStringLiteral("/%1.crt").arg(name)});
    };
    if (!makeCert(QStringLiteral("server")) || !makeCert(QStringLiteral("other")))
        return false;
    if (m_asPostgres &&
        !Run({QStringLiteral("chown"), QStringLiteral("-R"), QStringLiteral("postgres:postgres"), dir}))
        return false;
    m_port = ClosedPort();
    return true;
}

// Where the server listens and with which certificate (later lines of the file win).
bool CPgServer::Configure(const QString& data)
{
    QFile conf(data + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::Append))
        return false;
    conf.write(QStringLiteral("\nfsync = off\n"
                              "unix_socket_directories = '%1'\nlisten_addresses = '127.0.0.1'\nport = %2\n"
                              "ssl = on\nssl_cert_file = '%1/server.crt'\nssl_key_file = '%1/server.key'\n"
                              "max_connections = 50\n")
                   .arg(m_dir.path())
                   .arg(m_port)
                   .toUtf8());
    return true;
}

CPgServer::CPgServer() : m_dir(QStringLiteral("/tmp/lwpg-XXXXXX"))
{
    if (!Prepare())
        return;
    const QString dir = m_dir.path();
    const QString data = dir + QStringLiteral("/data");
    if (!Run({Bin(QStringLiteral("initdb")), QStringLiteral("-D"), data, QStringLiteral("-U"),
              QStringLiteral("postgres"), QStringLiteral("--auth-local=trust"),
              QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--no-sync")}))
        return;
    // The superuser without a password over the socket; everyone else with one.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    hba.write("local all postgres trust\nlocal replication postgres trust\nlocal all all scram-sha-256\n"
              "hostssl all all 127.0.0.1/32 scram-sha-256\n");
    hba.close();
    if (!Configure(data) || !Start())
        return;
    const QString setUp = Exec(QStringLiteral("CREATE DATABASE club"), QStringLiteral("postgres"));
    if (!setUp.isEmpty()) {
        m_error = setUp;
        return;
    }
    m_error.clear();
}

CPgServer::CPgServer(CStandbyOf standby) : m_dir(QStringLiteral("/tmp/lwpg-XXXXXX"))
{
    if (!Prepare())
        return;
    const QString data = m_dir.path() + QStringLiteral("/data");
    if (!Run({Bin(QStringLiteral("pg_basebackup")), QStringLiteral("-D"), data, QStringLiteral("-h"),
              standby.primary.Socket(), QStringLiteral("-p"), QString::number(standby.primary.m_port),
              QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-R"), QStringLiteral("-c"),
              QStringLiteral("fast"), QStringLiteral("--no-sync")}))
        return;
    if (!Configure(data) || !Start())
        return;
    m_error.clear();
}

std::unique_ptr<CPgServer> CPgServer::Standby()
{
    std::unique_ptr<CPgServer> standby(new CPgServer(CStandbyOf{*this}));
    if (!standby->Error().isEmpty()) {
        m_error = standby->Error();
        return nullptr;
    }
    return standby;
}

bool CPgServer::Promote()
{
    return Run({Bin(QStringLiteral("pg_ctl")), QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
                QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("promote")});
}

bool CPgServer::Dump()
{
    return Run({Bin(QStringLiteral("pg_dump")), QStringLiteral("-Fc"), QStringLiteral("-f"),
                m_dir.filePath(QStringLiteral("club.dump")), QStringLiteral("-d"), ConnInfo()});
}

bool CPgServer::Restore()
{
    const QString dropped =
        Exec(QStringLiteral("DROP DATABASE club WITH (FORCE)"), QStringLiteral("postgres"));
    const QString made = Exec(QStringLiteral("CREATE DATABASE club"), QStringLiteral("postgres"));
    if (!dropped.isEmpty() || !made.isEmpty()) {
        m_error = dropped + made;
        return false;
    }
    return Run({Bin(QStringLiteral("pg_restore")), QStringLiteral("-d"), ConnInfo(),
                m_dir.filePath(QStringLiteral("club.dump"))});
}

CPgServer::~CPgServer()
{
    Stop(true);
}

QString CPgServer::Bin(const QString& tool) const
{
    return m_bin + QLatin1Char('/') + tool;
}

bool CPgServer::Run(const QStringList& command, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = command;
    QString program = args.takeFirst();
    const bool server = program.startsWith(m_bin);
    if (server && m_asPostgres) {
        args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} +
               args;
        program = QStringLiteral("runuser");
    }
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2")
                      .arg(command.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return true;
}

bool CPgServer::Start()
{
    const QString dir = m_dir.path();
    m_running = Run({Bin(QStringLiteral("pg_ctl")), QStringLiteral("-D"), dir + QStringLiteral("/data"),
                     QStringLiteral("-l"), dir + QStringLiteral("/server.log"), QStringLiteral("-w"),
                     QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
    return m_running;
}

bool CPgServer::Stop(bool immediate)
{
    if (!m_running)
        return true;
    m_running =
        !Run({Bin(QStringLiteral("pg_ctl")), QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
              QStringLiteral("-m"), immediate ? QStringLiteral("immediate") : QStringLiteral("fast"),
              QStringLiteral("-w"), QStringLiteral("stop")});
    return !m_running;
}

QString CPgServer::ConnInfo() const
{
    return QStringLiteral("host=%1 port=%2 dbname=club user=postgres").arg(m_dir.path()).arg(m_port);
}

QString CPgServer::ClubConnInfo(const QString& password) const
{
    return QStringLiteral("host=%1 port=%2 dbname=club user=club password=%3")
        .arg(m_dir.path())
        .arg(m_port)
        .arg(password);
}

QString CPgServer::TlsConnInfo(const QString& caFile) const
{
    return QStringLiteral(
               "host=127.0.0.1 port=%1 dbname=club user=club password=club-secret sslmode=verify-full "
               "sslrootcert=%2")
        .arg(m_port)
        .arg(caFile);
}

QString CPgServer::ServerCertificate() const
{
    return m_dir.filePath(QStringLiteral("server.crt"));
}

QString CPgServer::OtherCertificate() const
{
    return m_dir.filePath(QStringLiteral("other.crt"));
}

QString CPgServer::GrantClubRole() const
{
    // The script as psql runs it, less its psql-only lines (the password is set here).
    QString sql = QString::fromUtf8(ReadFile(SourceDir() + QStringLiteral("/scripts/shared-log-role.sql")));
    sql.remove(QRegularExpression(QStringLiteral("^\\\\(if|endif).*$|^ALTER ROLE.*$"),
                                  QRegularExpression::MultilineOption));
    const QString error = Exec(sql);
    return error.isEmpty() ? Exec(QStringLiteral("ALTER ROLE club PASSWORD 'club-secret'")) : error;
}

QString CPgServer::Exec(const QString& sql, const QString& database) const
{
    const QString conninfo =
        QStringLiteral("host=%1 port=%2 dbname=%3 user=postgres").arg(m_dir.path()).arg(m_port).arg(database);
    PGconn* c = PQconnectdb(conninfo.toUtf8().constData());
    QString error;
    if (PQstatus(c) != CONNECTION_OK) {
        error = QString::fromUtf8(PQerrorMessage(c));
    } else {
        PGresult* r = PQexec(c, sql.toUtf8().constData());
        const ExecStatusType s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
            error = QString::fromUtf8(PQresultErrorMessage(r));
        PQclear(r);
    }
    PQfinish(c);
    return error.trimmed();
}

} // namespace TestSupport
