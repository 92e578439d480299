#pragma once

#include "core/Exceptions.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

struct pg_conn;
struct pg_result;

// A result of a statement on the club's PostgreSQL server.
class CPgResult
{
public:
    explicit CPgResult(pg_result* result);
    int Rows() const;
    int Affected() const; // rows an INSERT, UPDATE or DELETE touched
    QString Text(int row, int column) const;
    bool IsNull(int row, int column) const;
    qint64 Int(int row, int column) const;
    bool Bool(int row, int column) const;

private:
    std::shared_ptr<pg_result> m_result;
};

// The server refused one statement (the connection itself is fine): SQLSTATE says why.
class CPgStatementError : public CNetException
{
public:
    CPgStatementError(QString message, QString sqlState)
        : CNetException(std::move(message)), m_sqlState(std::move(sqlState))
    {
    }
    const QString& SqlState() const { return m_sqlState; }
    // A refusal of this row in particular (its data, a constraint, a permission), as against one that
    // another try may pass (a deadlock, a cancelled statement, the server shutting down or out of room).
    bool RefusesTheRow() const;

private:
    QString m_sqlState;
};

// One connection to the club's PostgreSQL server through libpq. The connection string is libpq's
// (key=value words or a postgresql:// URI), so sslmode, ~/.pgpass and service files work as in psql;
// keepalives and a TCP user time-out are set unless the string sets them, so that a link that died is
// noticed within seconds. Failures raise CNetException with a message an operator can act on.
class CPgConnection
{
public:
    // password: from the keyring, used when the connection string and ~/.pgpass give none.
    CPgConnection(const QString& conninfo, const QString& password, const QString& applicationName);
    ~CPgConnection();
    CPgConnection(const CPgConnection&) = delete;
    CPgConnection& operator=(const CPgConnection&) = delete;

    // Whether the connection still stands.
    bool IsOk() const;
    // One statement with $1, $2 ... parameters (a null QString is SQL NULL). A statement the server
    // refuses raises CPgStatementError, a lost connection CNetException.
    CPgResult Exec(const QString& sql, const QStringList& params = {});
    // Several statements, no parameters.
    void ExecScript(const QString& sql);

    // For LISTEN: the socket to wait on, then the notifications that arrived (channel's payloads), all of
    // them at once.
    int Socket() const;
    QStringList TakeNotifications();
    // Where the connection goes ("host:port" or the socket folder), for messages.
    QString Where() const;

private:
    [[noreturn]] void Fail(const QString& what) const;

    pg_conn* m_conn = nullptr;
};

// Whether the text is a connection string libpq can read; the reason when not (never quoting a password).
QString PgCheckConnInfo(const QString& conninfo);
// The text with every password the connection string holds (password=..., postgresql://user:...@)
// masked, for messages.
QString PgHideSecrets(const QString& text, const QString& conninfo);
