#include "core/db/Database.h"

#include "core/Exceptions.h"

#include <QFileInfo>
#include <QUrl>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace {

constexpr int kBusyTries = 5000;

int ToSqliteFlags(CDatabase::OpenMode mode)
{
    switch (mode) {
    case CDatabase::ReadOnly:
        return SQLite::OPEN_READONLY;
    case CDatabase::ReadWrite:
        return SQLite::OPEN_READWRITE;
    case CDatabase::ReadWriteCreate:
        break;
    }
    return SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE;
}

} // namespace

CDatabase::CDatabase(const QString& path, OpenMode mode) : m_path(path)
{
    try {
        Open(path, mode, false);
    } catch (const std::exception& e) {
        // A file in write-ahead-log mode on media that cannot be written (a CD, a read-only mount): its
        // reader cannot make the shared-memory file beside it. Nobody can write it there either, so it is
        // read as it stands.
        const QFileInfo file(path);
        if (mode != ReadOnly || !file.isFile() || QFileInfo(file.absolutePath()).isWritable()) {
            m_db.reset();
            QString reason = QString::fromUtf8(e.what());
            if (reason.contains(QLatin1String("not a database")))
                reason = QStringLiteral("the file is not a Logwarden (SQLite) database");
            throw CDBException(QStringLiteral("Cannot open the database \"%1\": %2").arg(path, reason));
        }
        try {
            Open(path, mode, true);
        } catch (const std::exception& again) {
            m_db.reset();
            throw CDBException(QStringLiteral("Cannot open the database \"%1\": %2")
                                   .arg(path, QString::fromUtf8(again.what())));
        }
    }
}

void CDatabase::Open(const QString& path, OpenMode mode, bool immutable)
{
    const std::string name = immutable ? QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())
                                                 .toString(QUrl::FullyEncoded)
                                                 .toStdString() +
                                             "?immutable=1"
                                       : path.toStdString();
    m_db = std::make_unique<SQLite::Database>(name, ToSqliteFlags(mode) | (immutable ? SQLITE_OPEN_URI : 0));
    // Waits up to about five seconds for a lock another connection holds, looking again every
    // millisecond: SQLite's own wait looks again ever more rarely (up to every 100 ms), so a key pressed
    // while another program writes in short steps would lose every round to it.
    sqlite3_busy_handler(
        m_db->getHandle(),
        [](void*, int tries) {
            if (tries >= kBusyTries)
                return 0;
            sqlite3_sleep(1);
            return 1;
        },
        nullptr);
    // SQLite opens lazily: reading the schema is what tells a database from any other file.
    SQLite::Statement probe(*m_db, "SELECT count(*) FROM sqlite_master");
    probe.executeStep();
}

CDatabase::~CDatabase() = default;

void CDatabase::Raise(const std::exception& e) const
{
    if (const auto* sqlite = dynamic_cast<const SQLite::Exception*>(&e);
        sqlite && (sqlite->getErrorCode() == SQLITE_BUSY || sqlite->getErrorCode() == SQLITE_LOCKED))
        throw CDBBusyException(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf8(e.what()), QFileInfo(m_path).fileName()));
    throw CDBException(
        QStringLiteral("%1 (%2)").arg(QString::fromUtf8(e.what()), QFileInfo(m_path).fileName()));
}

void CDatabase::MakeDurable()
{
    try {
        SQLite::Statement wal(*m_db, "PRAGMA journal_mode=WAL");
        wal.executeStep();
        m_db->exec("PRAGMA synchronous=FULL");
    } catch (const std::exception& e) {
        Raise(e);
    }
}

void CDatabase::Execute(const QString& sql)
{
    try {
        m_db->exec(sql.toStdString());
    } catch (const std::exception& e) {
        Raise(e);
    }
}

bool CDatabase::TableExists(const QString& table)
{
    try {
        return m_db->tableExists(table.toStdString());
    } catch (const std::exception& e) {
        Raise(e);
    }
}

int CDatabase::GetUserVersion()
{
    try {
        return m_db->execAndGet("PRAGMA user_version").getInt();
    } catch (const std::exception& e) {
        Raise(e);
    }
}

void CDatabase::SetUserVersion(int version)
{
    Execute(QStringLiteral("PRAGMA user_version=%1").arg(version));
}

void CDatabase::Compact(const std::function<bool()>& keepGoing)
{
    struct CHandler
    {
        sqlite3* db;
        ~CHandler() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
    } handler{m_db->getHandle()};
    if (keepGoing)
        sqlite3_progress_handler(
            handler.db, 4096,
            [](void* f) { return (*static_cast<const std::function<bool()>*>(f))() ? 0 : 1; },
            const_cast<std::function<bool()>*>(&keepGoing));
    try {
        m_db->exec("VACUUM");
        // Fold the write-ahead log back into the file so the file itself is the compact one.
        m_db->exec("PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const std::exception& e) {
        Raise(e);
    }
}

void CDatabase::CompactDatabase(const QString& path)
{
    CDatabase db(path, ReadWrite);
    db.Compact();
}
