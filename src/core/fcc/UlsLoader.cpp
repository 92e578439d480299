#include "core/fcc/UlsLoader.h"

#include "core/Exceptions.h"
#include "core/app/Windows1252.h"
#include "core/db/SqliteError.h"
#include "core/fcc/FccSchema.h"
#include "core/jobs/BatchPipe.h"

#include <QFile>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using FccSchema::ColumnType;
using FccSchema::CTable;

// Lines are read and checked in blocks; a few blocks in flight between the two threads keep memory
// flat (a few megabytes) whatever the size of the file.
constexpr size_t kBlockSize = 256 * 1024;
// A line longer than this is not a ULS record (the widest table holds a few hundred characters); it is
// skipped without being held in memory.
constexpr size_t kMaxLine = 64 * 1024;
constexpr int kBatchCount = 4;

enum class Reject : quint8
{
    None,
    TooShort,
    Missing,
    TooLong,
    NotANumber,
    NotADate,
    LineTooLong,
};

enum class Kind : quint8
{
    Null,
    Raw,
    Converted,
    Integer,
    Real
};

// One value of a row, ready to bind.
struct Cell
{
    union {
        const char* text; // Raw: into the batch's block
        size_t offset;    // Converted: into the batch's converted text
        qint64 integer;
        double real;
    };
    quint32 length;
    Kind kind;
};

struct Row
{
    qint64 line;
    quint32 firstCell; // the row's cells, one per column, unless rejected
    qint16 column;     // the column a rejection is about
    quint8 percent;
    Reject reject;
};

struct Batch
{
    std::unique_ptr<char[]> block{new char[kBlockSize + kMaxLine]};
    std::string converted;
    std::vector<Cell> cells;
    std::vector<Row> rows;
    bool last = false;

    void Clear()
    {
        converted.clear();
        cells.clear();
        rows.clear();
        last = false;
    }
};

void AppendUtf8FromLatin1(std::string& out, const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned c = static_cast<unsigned char>(p[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        c = Windows1252::ToUnicode(static_cast<unsigned char>(c));
        if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

// Blanks around a number are allowed, as the old engine allowed them.
bool Trim(const char*& p, const char*& e)
{
    while (p < e && (*p == ' ' || *p == '\t'))
        ++p;
    while (e > p && (e[-1] == ' ' || e[-1] == '\t'))
        --e;
    return p < e;
}

bool ParseLong(const char* p, const char* e, qint64& out)
{
    if (!Trim(p, e))
        return false;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        if (++p == e)
            return false;
    }
    qint64 value = 0;
    for (; p < e; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL)
            return false;
    }
    value = negative ? -value : value;
    if (value > 2147483647LL)
        return false;
    out = value;
    return true;
}

bool ParseSingle(const char* p, const char* e, double& out)
{
    if (!Trim(p, e))
        return false;
    if (*p == '+' && e - p > 1 && p[1] != '-')
        ++p;
    double value = 0;
    const auto [end, ec] = std::from_chars(p, e, value, std::chars_format::general);
    if (ec != std::errc() || end != e || !std::isfinite(value) || std::fabs(value) > FLT_MAX)
        return false;
    out = static_cast<float>(value);
    return true;
}

bool ReadNumber(const char*& p, const char* e, int minDigits, int maxDigits, int& out)
{
    int n = 0;
    out = 0;
    while (p < e && n < maxDigits && *p >= '0' && *p <= '9') {
        out = out * 10 + (*p++ - '0');
        ++n;
    }
    return n >= minDigits;
}

// "MM/DD/YYYY" as the FCC writes dates (one-digit month and day allowed), or "YYYY-MM-DD"; stored as
// "YYYY-MM-DD 00:00:00", the program's date-time form.
bool ParseDate(const char* p, const char* e, char out[20])
{
    if (!Trim(p, e))
        return false;
    int year = 0, month = 0, day = 0;
    const char* q = p;
    if (ReadNumber(q, e, 4, 4, year) && q < e && *q == '-') {
        ++q;
        if (!ReadNumber(q, e, 1, 2, month) || q == e || *q++ != '-' || !ReadNumber(q, e, 1, 2, day) || q != e)
            return false;
    } else {
        q = p;
        if (!ReadNumber(q, e, 1, 2, month) || q == e || *q++ != '/' || !ReadNumber(q, e, 1, 2, day) ||
            q == e || *q++ != '/' || !ReadNumber(q, e, 4, 4, year) || q != e)
            return false;
    }
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    if (year > 9999)
        return false;
    const auto digits = [](char* at, int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            at[i] = static_cast<char>('0' + value % 10);
    };
    std::memcpy(out, "0000-00-00 00:00:00", 20);
    digits(out, year, 4);
    digits(out + 5, month, 2);
    digits(out + 8, day, 2);
    return true;
}

QString RejectText(const CTable& table, const Row& row)
{
    const QString column = row.column >= 0 ? QLatin1String(table.columns[row.column].name) : QString();
    switch (row.reject) {
    case Reject::TooShort:
        return QStringLiteral("shorter than %1 characters").arg(table.columnCount + 1);
    case Reject::Missing:
        return QStringLiteral("%1 is missing").arg(column);
    case Reject::TooLong:
        return QStringLiteral("%1 is longer than %2 characters")
            .arg(column)
            .arg(table.columns[row.column].width);
    case Reject::NotANumber:
        return QStringLiteral("%1 is not a number").arg(column);
    case Reject::NotADate:
        return QStringLiteral("%1 is not a date").arg(column);
    case Reject::LineTooLong:
        return QStringLiteral("longer than %1 bytes").arg(kMaxLine);
    case Reject::None:
        break;
    }
    return {};
}

// Reads the file and checks its lines on a thread of its own, handing full batches to the writer.
class CLineReader
{
public:
    CLineReader(const CTable& table, int fd, qint64 fileSize, const CProgress* cancel)
        : m_table(table), m_fd(fd), m_fileSize(fileSize), m_cancel(cancel)
    {
        m_pipe.Start([this](Batch*& b) { Read(b); });
    }

    // The next batch in file order; the last one has `last` set.
    Batch* Next() { return m_pipe.Next(); }
    void Release(Batch* b) { m_pipe.Release(b); }
    // Read only after the last batch has been taken.
    const QString& Error() const { return m_pipe.Error(); }
    bool SawLineFeed() const { return m_sawLineFeed; }

private:
    quint8 Percent(qint64 offset) const
    {
        const qint64 p = offset * 100 / (m_fileSize + 1);
        return static_cast<quint8>(p < 0 ? 0 : (p > 100 ? 100 : p));
    }

    void Read(Batch*& b)
    {
        std::unique_ptr<char[]> tail(new char[kMaxLine]);
        size_t tailLength = 0;
        qint64 base = 0; // file offset of the block's first byte
        qint64 lineNumber = 0;
        bool discarding = false; // inside an overlong line, up to its line feed
        for (;;) {
            b = m_pipe.Acquire();
            if (!b)
                return;
            b->Clear();
            char* block = b->block.get();
            std::memcpy(block, tail.get(), tailLength);
            size_t length = tailLength;
            size_t got = 0;
            while (got < kBlockSize) {
                const ssize_t n = ::read(m_fd, block + length + got, kBlockSize - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    throw std::runtime_error(std::strerror(errno));
                if (n == 0)
                    break;
                got += static_cast<size_t>(n);
            }
            const bool eof = got == 0;
            length += got;

            size_t p = 0;
            while (p < length) {
                const char* lf = static_cast<const char*>(std::memchr(block + p, '\n', length - p));
                if (!lf)
                    break;
                const size_t end = static_cast<size_t>(lf - block);
                m_sawLineFeed = true;
                ++lineNumber;
                if (discarding)
                    discarding = false;
                else
                    ParseLine(*b, block + p, end - p, base + static_cast<qint64>(p), lineNumber);
                p = end + 1;
            }
            size_t rest = length - p;
            if (eof) {
                // A last line without a line feed is a line like the others.
                if (rest > 0 && !discarding)
                    ParseLine(*b, block + p, rest, base + static_cast<qint64>(p), lineNumber + 1);
                b->last = true;
                m_pipe.Push(b);
                b = nullptr;
                return;
            }
            if (!discarding && rest > kMaxLine) {
                AddRejected(*b, lineNumber + 1, Percent(base + static_cast<qint64>(p)), Reject::LineTooLong);
                discarding = true;
            }
            if (discarding)
                rest = 0;
            std::memcpy(tail.get(), block + length - rest, rest);
            tailLength = rest;
            base += static_cast<qint64>(length - rest);
            m_pipe.Push(b);
            b = nullptr;
            if (m_cancel && m_cancel->IsCancelled()) {
                // Nothing more is wanted; end the stream.
                m_pipe.End(b);
                return;
            }
        }
    }

    static void AddRejected(Batch& b, qint64 line, quint8 percent, Reject reject, qint16 column = -1)
    {
        b.rows.push_back({line, static_cast<quint32>(b.cells.size()), column, percent, reject});
    }

    void ParseLine(Batch& b, const char* line, size_t length, qint64 offset, qint64 lineNumber)
    {
        // The line's length is counted without its end, so that a CRLF file and an LF file load alike.
        if (length > 0 && line[length - 1] == '\r')
            --length;
        if (length == 0)
            return;
        const int columns = m_table.columnCount;
        const quint8 percent = Percent(offset);
        if (length <= static_cast<size_t>(columns)) {
            AddRejected(b, lineNumber, percent, Reject::TooShort);
            return;
        }
        const size_t first = b.cells.size();
        b.cells.resize(first + static_cast<size_t>(columns));
        Cell* cells = &b.cells[first];
        const char* p = line;
        const char* const end = line + length;
        int k = 0;
        Reject reject = Reject::None;
        for (; k < columns; ++k) {
            const char* bar = static_cast<const char*>(std::memchr(p, '|', static_cast<size_t>(end - p)));
            if (!bar)
                break;
            reject = Convert(b, m_table.columns[k], p, bar, cells[k]);
            if (reject != Reject::None)
                break;
            p = bar + 1;
        }
        if (reject == Reject::None) {
            for (int i = k; i < columns; ++i)
                cells[i].kind = Kind::Null;
            if (cells[m_table.requiredColumn].kind == Kind::Null) {
                reject = Reject::Missing;
                k = m_table.requiredColumn;
            }
        }
        if (reject != Reject::None) {
            b.cells.resize(first);
            AddRejected(b, lineNumber, percent, reject, static_cast<qint16>(k));
            return;
        }
        b.rows.push_back({lineNumber, static_cast<quint32>(first), -1, percent, Reject::None});
    }

    static Reject Convert(Batch& b, const FccSchema::CColumn& column, const char* p, const char* e,
                          Cell& cell)
    {
        const size_t n = static_cast<size_t>(e - p);
        if (n == 0) {
            cell.kind = Kind::Null;
            return Reject::None;
        }
        switch (column.type) {
        case ColumnType::Text: {
            // One byte is one character in Latin-1.
            if (n > static_cast<size_t>(column.width))
                return Reject::TooLong;
            bool ascii = true;
            for (size_t i = 0; i < n; ++i)
                ascii &= static_cast<unsigned char>(p[i]) < 0x80;
            if (ascii) {
                cell.kind = Kind::Raw;
                cell.text = p;
                cell.length = static_cast<quint32>(n);
            } else {
                cell.kind = Kind::Converted;
                cell.offset = b.converted.size();
                AppendUtf8FromLatin1(b.converted, p, n);
                cell.length = static_cast<quint32>(b.converted.size() - cell.offset);
            }
            return Reject::None;
        }
        case ColumnType::Long:
            cell.kind = Kind::Integer;
            return ParseLong(p, e, cell.integer) ? Reject::None : Reject::NotANumber;
        case ColumnType::Single:
            cell.kind = Kind::Real;
            return ParseSingle(p, e, cell.real) ? Reject::None : Reject::NotANumber;
        case ColumnType::Date: {
            char text[20];
            if (!ParseDate(p, e, text))
                return Reject::NotADate;
            cell.kind = Kind::Converted;
            cell.offset = b.converted.size();
            b.converted.append(text, 19);
            cell.length = 19;
            return Reject::None;
        }
        }
        return Reject::None;
    }

    const CTable& m_table;
    const int m_fd;
    const qint64 m_fileSize;
    const CProgress* m_cancel;
    bool m_sawLineFeed = false;
    CBatchPipe<Batch, kBatchCount> m_pipe; // last: its thread ends before what it reads goes
};

class CFileHandle
{
public:
    explicit CFileHandle(int fd) : m_fd(fd) {}
    ~CFileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

class CStatement
{
public:
    ~CStatement() { sqlite3_finalize(m_stmt); }
    sqlite3_stmt* m_stmt = nullptr;
};

[[noreturn]] void RaiseDb(sqlite3* db, const CTable& table)
{
    throw CDBException(QStringLiteral("%1 (table %2)").arg(SqliteErrorText(db), QLatin1String(table.name)));
}

void Exec(sqlite3* db, const CTable& table, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        RaiseDb(db, table);
}

int CancelHandler(void* cancel)
{
    return static_cast<const CProgress*>(cancel)->IsCancelled() ? 1 : 0;
}

} // namespace

CUlsStageStats LoadUlsFile(sqlite3* db, const CTable& table, const QString& filePath,
                           const CUlsLoadHooks& hooks)
{
    CUlsStageStats stats;
    const CFileHandle file(::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st = {};
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const QString reason = file.Get() < 0 || !S_ISDIR(st.st_mode)
                                   ? QString::fromLocal8Bit(std::strerror(errno))
                                   : QStringLiteral("it is a folder");
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(filePath, reason), filePath);
    }
    ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const int columns = table.columnCount;
    QString sql = QStringLiteral("INSERT INTO \"%1\" VALUES (?").arg(QLatin1String(table.name));
    for (int i = 1; i < columns; ++i)
        sql += QStringLiteral(",?");
    sql += QLatin1Char(')');
    CStatement insert;
    if (sqlite3_prepare_v3(db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &insert.m_stmt,
                           nullptr) != SQLITE_OK)
        RaiseDb(db, table);
    sqlite3_stmt* const stmt = insert.m_stmt;

    Exec(db, table, "BEGIN");
    bool committed = false;
    struct Rollback
    {
        sqlite3* db;
        bool& committed;
        ~Rollback()
        {
            if (!committed)
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } rollback{db, committed};

    QString readError;
    {
        CLineReader reader(table, file.Get(), static_cast<qint64>(st.st_size), hooks.cancel);
        std::vector<char> wasNull(static_cast<size_t>(columns), 1); // a fresh statement binds null everywhere
        int lastPercent = -1;
        for (;;) {
            Batch* b = reader.Next();
            const char* const converted = b->converted.data();
            for (const Row& row : b->rows) {
                if (row.percent != lastPercent) {
                    lastPercent = row.percent;
                    if (hooks.progress)
                        hooks.progress(row.percent);
                }
                if (row.reject != Reject::None) {
                    ++stats.skipped;
                    if (hooks.skipped)
                        hooks.skipped(row.line, RejectText(table, row));
                    continue;
                }
                const Cell* cell = &b->cells[row.firstCell];
                for (int i = 0; i < columns; ++i, ++cell) {
                    // A null bound before stays bound; everything else is bound afresh for every row.
                    switch (cell->kind) {
                    case Kind::Null:
                        if (!wasNull[i]) {
                            sqlite3_bind_null(stmt, i + 1);
                            wasNull[i] = 1;
                        }
                        continue;
                    case Kind::Raw:
                        sqlite3_bind_text(stmt, i + 1, cell->text, static_cast<int>(cell->length),
                                          SQLITE_STATIC);
                        break;
                    case Kind::Converted:
                        sqlite3_bind_text(stmt, i + 1, converted + cell->offset,
                                          static_cast<int>(cell->length), SQLITE_STATIC);
                        break;
                    case Kind::Integer:
                        sqlite3_bind_int64(stmt, i + 1, cell->integer);
                        break;
                    case Kind::Real:
                        sqlite3_bind_double(stmt, i + 1, cell->real);
                        break;
                    }
                    wasNull[i] = 0;
                }
                const int rc = sqlite3_step(stmt);
                sqlite3_reset(stmt);
                if (rc == SQLITE_DONE) {
                    ++stats.loaded;
                } else if (rc == SQLITE_CONSTRAINT) {
                    // The first row of an identifier stays; the parser has already checked the rest.
                    ++stats.skipped;
                    if (hooks.skipped) {
                        hooks.skipped(row.line,
                                      table.uniqueIdentifier
                                          ? QStringLiteral("UniqueSystemIdentifier is already loaded")
                                          : SqliteErrorText(db));
                    }
                } else {
                    RaiseDb(db, table);
                }
            }
            const bool last = b->last;
            reader.Release(b);
            if (last)
                break;
            if (hooks.cancel && hooks.cancel->IsCancelled()) {
                stats.cancelled = true;
                break;
            }
        }
        if (!stats.cancelled) {
            readError = reader.Error();
            stats.sawLineFeed = reader.SawLineFeed();
        }
    }
    if (!readError.isEmpty())
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(filePath, readError), filePath);
    if (stats.cancelled || (hooks.cancel && hooks.cancel->IsCancelled())) {
        stats.cancelled = true;
        return stats;
    }

    if (const QString index = FccSchema::CreateIndexSql(table); !index.isEmpty()) {
        if (hooks.cancel)
            sqlite3_progress_handler(db, 10000, &CancelHandler, const_cast<CProgress*>(hooks.cancel));
        const int rc = sqlite3_exec(db, index.toUtf8().constData(), nullptr, nullptr, nullptr);
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        if (rc == SQLITE_INTERRUPT) {
            stats.cancelled = true;
            return stats;
        }
        if (rc != SQLITE_OK)
            RaiseDb(db, table);
    }
    Exec(db, table, "COMMIT");
    committed = true;
    return stats;
}
