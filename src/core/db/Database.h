#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace SQLite {
class Database;
}

// One connection to a SQLite database file. Record sets share a connection through a pointer to it;
// every engine error arrives as a CDBException that names the file.
class CDatabase
{
public:
    enum OpenMode
    {
        ReadOnly,
        ReadWrite,
        ReadWriteCreate
    };

    // Opens (and with ReadWriteCreate creates) the file. A file that exists but is not a SQLite
    // database, or cannot be opened, raises CDBException naming the file.
    explicit CDatabase(const QString& path, OpenMode mode = ReadWriteCreate);
    ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    const QString& GetPath() const { return m_path; }
    SQLite::Database& Handle() { return *m_db; }

    // Write-ahead log with synchronous=FULL: a committed change survives a crash of the program or
    // of the machine.
    void MakeDurable();
    void Execute(const QString& sql);
    bool TableExists(const QString& table);
    int GetUserVersion();
    void SetUserVersion(int version);

    // Rewrites the file in place without its free pages; the file exists and stays valid throughout.
    // No statement of this connection may be active. keepGoing, when given, is asked every few thousand
    // steps of the rewrite; false stops it (CDBException) and leaves the file as it was.
    void Compact(const std::function<bool()>& keepGoing = {});
    // Compacts a database file that no connection of the caller holds open.
    static void CompactDatabase(const QString& path);

    // Turns an engine error into CDBException with the file name, for callers that use the handle.
    [[noreturn]] void Raise(const std::exception& e) const;

private:
    // Opens the file (immutable: read as it stands, without the locks and files beside it); throws.
    void Open(const QString& path, OpenMode mode, bool immutable);
    QString m_path;
    std::unique_ptr<SQLite::Database> m_db;
};
