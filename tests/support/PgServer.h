#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace TestSupport {

// A real PostgreSQL server from Debian's packages, for the shared log's tests: a cluster made by initdb in
// a temporary folder, listening on a Unix socket in that folder and on 127.0.0.1 with TLS (a certificate
// made for it), fsync off. As root it runs as the user postgres. The superuser "postgres" connects without
// a password over the socket; the role "club" (password "club-secret") may only use the shared log's tables.
class CPgServer
{
public:
    CPgServer();
    ~CPgServer();
    CPgServer(const CPgServer&) = delete;
    CPgServer& operator=(const CPgServer&) = delete;

    // Empty when the server runs; else why not.
    const QString& Error() const { return m_error; }
    // The connection string of the database "club" over the socket, as the superuser (initialised with the
    // shared log's tables) or as the club's role.
    QString ConnInfo() const;
    QString ClubConnInfo(const QString& password = QStringLiteral("club-secret")) const;
    // Over TCP with TLS, checking the server's certificate against caFile (verify-full).
    QString TlsConnInfo(const QString& caFile) const;
    // The certificate the server shows, and another one that did not sign it.
    QString ServerCertificate() const;
    QString OtherCertificate() const;

    bool Stop(bool immediate = true);
    bool Start();
    // What a club's administrator does to the server: a backup of the database "club" (pg_dump, kept in
    // the server's folder), and the database put back from it (whatever changed since is gone).
    bool Dump();
    bool Restore();
    // A hot standby of this server (pg_basebackup -R), running as a server of its own on its own socket
    // and port; nullptr when it could not be made (Error() says why). Promote() makes a standby the
    // primary (a failover).
    std::unique_ptr<CPgServer> Standby();
    bool Promote();
    // The club's role "club" (password "club-secret") with exactly the grants of scripts/shared-log-role.sql,
    // once the shared log's tables are made. Empty when it worked, else the error.
    QString GrantClubRole() const;
    // Runs SQL as the superuser (empty when it worked, else the error).
    QString Exec(const QString& sql, const QString& database = QStringLiteral("club")) const;

private:
    struct CStandbyOf
    {
        CPgServer& primary;
    };
    explicit CPgServer(CStandbyOf standby);
    bool Prepare();
    bool Configure(const QString& data);
    QString Socket() const { return m_dir.path(); }
    bool Run(const QStringList& command, QString* output = nullptr);
    QString Bin(const QString& tool) const;

    QTemporaryDir m_dir;
    QString m_bin;
    int m_port = 0;
    bool m_asPostgres = false;
    bool m_running = false;
    QString m_error;
};

} // namespace TestSupport
