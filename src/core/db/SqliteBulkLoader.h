#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

// One line of a file being loaded, as the loader's reading thread hands it to the file's format.
struct CBulkLine
{
    enum class End : quint8
    {
        LineFeed,
        EndOfFile, // the last line, without a line feed
        TooLong,   // longer than CSqliteBulkLoader::kMaxLine: skipped unread, `text` is empty
    };
    const char* text; // without its line feed and a carriage return before it
    size_t length;
    qint64 number;   // 1-based, blank lines counted
    qint64 offset;   // of its first byte in the file
    qint64 lineFeed; // offset of its line feed (the file's size for the last line without one)
    End end;
};

// What a format makes of the lines of one block of the file. The loader's reading thread fills it
// (Add), the thread that writes the database reads it; the lines' text stays valid until the block is
// released, so a record may point into it instead of copying its fields.
class CBulkRecords
{
public:
    virtual ~CBulkRecords();
    virtual void Clear() = 0;
    // Called for every line but blank ones (empty, or a lone carriage return).
    virtual void Add(const CBulkLine& line) = 0;
};

// Splits a line into fields at a one-character delimiter. Only a field followed by the delimiter is
// taken: the text after the last one is not a field.
class CFieldSplitter
{
public:
    enum class Csv : quint8
    {
        Field,
        End, // no delimiter follows
        UnclosedQuote,
    };

    CFieldSplitter(const char* line, size_t length, char delimiter)
        : m_p(line), m_end(line + length), m_delimiter(delimiter)
    {
    }

    // The next field as it stands in the line (no copy); a double quote is an ordinary character.
    // (Here, like the bindings below, because it runs for every field of every line.)
    bool Next(const char*& begin, const char*& end)
    {
        const auto* d =
            static_cast<const char*>(std::memchr(m_p, m_delimiter, static_cast<size_t>(m_end - m_p)));
        if (!d)
            return false;
        begin = m_p;
        end = d;
        m_p = d + 1;
        return true;
    }
    // The next field, appended to `out` by the rules of CSV files: a field that begins with a double
    // quote runs to the closing quote, delimiters inside are data and "" stands for one quote; what
    // follows the closing quote up to the delimiter is kept too. In a field that is not quoted, every
    // double quote is dropped. On End and UnclosedQuote `out` is as it was.
    Csv NextCsv(std::string& out);

private:
    const char* m_p;
    const char* const m_end;
    const char m_delimiter;
};

// Loads a delimited text file into one table of an open SQLite database: opens the file, reads it in
// large blocks on a thread of its own (so that reading and checking overlap with writing, and memory
// stays flat whatever the file's size), splits it into lines for the format, and writes the format's
// rows through one prepared INSERT with bound columns, in one transaction.
//
// File errors raise CFileException ("Cannot read "<file>": <reason>"); database errors CDBException
// with SQLite's message (and the system's reason) between the prefix and suffix given to SetDatabase().
class CSqliteBulkLoader
{
public:
    // A longer line is no record of any file loaded here; it is skipped without being held in memory.
    static constexpr size_t kMaxLine = 64 * 1024;

    // Opens the file for reading (a folder is refused).
    explicit CSqliteBulkLoader(QString filePath);
    ~CSqliteBulkLoader();
    CSqliteBulkLoader(const CSqliteBulkLoader&) = delete;
    CSqliteBulkLoader& operator=(const CSqliteBulkLoader&) = delete;

    const QString& FilePath() const { return m_filePath; }
    qint64 FileSize() const { return m_fileSize; }

    // The database to load into, and the text around SQLite's message in the errors it raises.
    void SetDatabase(sqlite3* db, QString errorPrefix, QString errorSuffix);
    [[noreturn]] void RaiseDb() const;
    // Runs statements, raising the database error when one fails.
    void Exec(const char* sql);

    // Prepares INSERT INTO <table> VALUES (?, ...) with `columns` parameters and begins the transaction;
    // the loader rolls it back unless Commit() ends it (which also finalizes the insert, so that the
    // connection can then be closed).
    void Begin(const QString& table, int columns);
    void Commit();

    // Reads the file, handing its lines to records of `makeRecords` on the reading thread, and each
    // filled block in file order to `write` on this thread. After each block but the last,
    // `afterBlock` (when set) is given the bytes read so far; returning false stops the load, as does
    // `cancel` being cancelled. Returns false when the load stopped before the end of the file.
    bool Load(const std::function<std::unique_ptr<CBulkRecords>()>& makeRecords,
              const std::function<void(CBulkRecords&)>& write, const CProgress* cancel,
              const std::function<bool(qint64 done)>& afterBlock = {});
    // Whether the file held a line feed; read after a complete Load().
    bool SawLineFeed() const { return m_sawLineFeed; }

    // Binding the insert's columns (0-based). A null bound before stays bound; everything else is
    // bound afresh for every row and must stay valid until Insert().
    void BindNull(int column)
    {
        if (!m_wasNull[static_cast<size_t>(column)]) {
            sqlite3_bind_null(m_insert, column + 1);
            m_wasNull[static_cast<size_t>(column)] = 1;
        }
    }
    void BindText(int column, const char* text, int length)
    {
        sqlite3_bind_text(m_insert, column + 1, text, length, SQLITE_STATIC);
        m_wasNull[static_cast<size_t>(column)] = 0;
    }
    void BindInt(int column, qint64 value)
    {
        sqlite3_bind_int64(m_insert, column + 1, value);
        m_wasNull[static_cast<size_t>(column)] = 0;
    }
    void BindDouble(int column, double value)
    {
        sqlite3_bind_double(m_insert, column + 1, value);
        m_wasNull[static_cast<size_t>(column)] = 0;
    }
    // Steps the insert and resets it: true when the row was written, false when a constraint refused
    // it; other failures raise.
    bool Insert();

    // Runs statements that may take long (an index): `keepGoing` is asked every `steps` steps of the
    // virtual machine, and false interrupts them. Returns false when they were interrupted.
    bool ExecInterruptible(const QString& sql, int steps, const std::function<bool()>& keepGoing);

private:
    QString m_filePath;
    int m_fd = -1;
    qint64 m_fileSize = 0;
    bool m_sawLineFeed = false;
    QString m_dbErrorPrefix;
    QString m_dbErrorSuffix;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    std::vector<char> m_wasNull;
    bool m_inTransaction = false;
};
