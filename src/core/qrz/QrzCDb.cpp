#include "core/qrz/QrzCDb.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/db/SqliteError.h"
#include "core/jobs/BatchPipe.h"
#include "core/qrz/QrzCsv.h"
#include "core/qrz/QrzSchema.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Lines are read and parsed in blocks on a thread of their own; a few blocks in flight between the two
// threads keep memory flat whatever the size of the file.
constexpr size_t kBlockSize = 256 * 1024;
// A longer line is no licensee record; it is skipped without being held in memory.
constexpr size_t kMaxLine = 64 * 1024;
constexpr int kBatchCount = 4;

enum class Kind : quint8
{
    Record,
    Header,
    Rejected,
    NoFinalLineFeed,
    TooLong,
};

struct Line
{
    qint64 number;
    Kind kind;
    QrzCsv::Reject reject;
    QrzCsv::CRow row;
};

struct Batch
{
    std::unique_ptr<char[]> block{new char[kBlockSize + kMaxLine]};
    std::string text;
    std::vector<Line> lines;
    qint64 done = 0; // bytes of the file read once this batch is written
    bool last = false;

    void Clear()
    {
        text.clear();
        lines.clear();
        last = false;
    }
};

bool IsBlank(const char* p, size_t n)
{
    return n == 0 || (n == 1 && p[0] == '\r');
}

QString SkipText(const Line& line)
{
    switch (line.kind) {
    case Kind::Header:
        return QStringLiteral("the file's header (within its first %1 characters)").arg(QrzCsv::kHeaderLimit);
    case Kind::Rejected:
        return QrzCsv::RejectText(line.reject);
    case Kind::NoFinalLineFeed:
        return QStringLiteral("the last line has no line feed");
    case Kind::TooLong:
        return QStringLiteral("longer than %1 bytes").arg(kMaxLine);
    case Kind::Record:
        break;
    }
    return {};
}

// Reads the file and parses its lines on a thread of its own, handing full batches to the writer.
class CLineReader
{
public:
    CLineReader(int fd, const std::atomic<bool>& stop) : m_fd(fd), m_cancel(stop)
    {
        m_pipe.Start([this](Batch*& b) { Read(b); });
    }

    // The next batch in file order; the last one has `last` set.
    Batch* Next() { return m_pipe.Next(); }
    void Release(Batch* b) { m_pipe.Release(b); }
    // Read only after the last batch has been taken.
    const QString& Error() const { return m_pipe.Error(); }

private:
    void AddLine(Batch& b, const char* line, size_t length, qint64 lineFeedOffset)
    {
        const qint64 index = m_lineNumber++;
        if (IsBlank(line, length))
            return;
        Line& l = b.lines.emplace_back();
        l.number = index + 1;
        if (!QrzCsv::IsRecordLine(index, lineFeedOffset)) {
            l.kind = Kind::Header;
            return;
        }
        l.reject = QrzCsv::ParseLine(line, length, b.text, l.row);
        l.kind = l.reject == QrzCsv::Reject::None ? Kind::Record : Kind::Rejected;
    }

    void Read(Batch*& b)
    {
        std::unique_ptr<char[]> tail(new char[kMaxLine]);
        size_t tailLength = 0;
        qint64 base = 0;         // file offset of the block's first byte
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
                got += size_t(n);
            }
            const bool eof = got == 0;
            length += got;

            size_t p = 0;
            for (;;) {
                const char* lf = static_cast<const char*>(std::memchr(block + p, '\n', length - p));
                if (!lf)
                    break;
                const size_t end = size_t(lf - block);
                if (discarding) {
                    discarding = false;
                    ++m_lineNumber;
                } else {
                    AddLine(*b, block + p, end - p, base + qint64(end));
                }
                p = end + 1;
            }
            size_t rest = length - p;
            b->done = base + qint64(length);
            if (eof) {
                if (rest > 0 && !discarding && !IsBlank(block + p, rest)) {
                    Line& l = b->lines.emplace_back();
                    l.number = m_lineNumber + 1;
                    l.kind = Kind::NoFinalLineFeed;
                }
                b->last = true;
                m_pipe.Push(b);
                b = nullptr;
                return;
            }
            if (!discarding && rest > kMaxLine) {
                Line& l = b->lines.emplace_back();
                l.number = m_lineNumber + 1;
                l.kind = Kind::TooLong;
                discarding = true;
            }
            if (discarding)
                rest = 0;
            std::memcpy(tail.get(), block + length - rest, rest);
            tailLength = rest;
            base += qint64(length - rest);
            b->done = base;
            m_pipe.Push(b);
            b = nullptr;
            if (m_cancel.load(std::memory_order_relaxed)) {
                m_pipe.End(b);
                return;
            }
        }
    }

    const int m_fd;
    const std::atomic<bool>& m_cancel;
    qint64 m_lineNumber = 0;               // lines read so far
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

struct CStatementDeleter
{
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
struct CConnectionDeleter
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

[[noreturn]] void RaiseDb(sqlite3* db, const QString& path)
{
    throw CDBException(
        QStringLiteral("Cannot build the QRZ database \"%1\": %2").arg(path, SqliteErrorText(db)));
}

void Exec(sqlite3* db, const char* sql, const QString& path)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        RaiseDb(db, path);
}

struct CIndexProgress
{
    CProgress* progress;
    qint64 total;
};

int OnIndexProgress(void* user)
{
    const auto* p = static_cast<const CIndexProgress*>(user);
    return p->progress->Report(p->total, p->total) ? 0 : 1;
}

} // namespace

CQRZCDb::CQRZCDb(QString csvPath, QString outputPath)
    : m_strCsvPath(std::move(csvPath)), m_strOutputPath(std::move(outputPath))
{
}

CQRZCDb::~CQRZCDb() = default;

QString CQRZCDb::OutputPathFor(const QString& csvPath)
{
    return QFileInfo(csvPath).absolutePath() + QLatin1Char('/') + QLatin1String(QrzSchema::kFileName);
}

QString CQRZCDb::OverwriteQuestion(const QString& outputPath)
{
    return QStringLiteral("File %1 exists! Overwrite?").arg(outputPath);
}

QString CQRZCDb::ResultText(const CResult& result)
{
    return QStringLiteral("%1 loaded, %2 skipped").arg(result.loaded).arg(result.skipped);
}

QString CQRZCDb::RefusalText(const QString& csvPath, const CResult& result)
{
    if (result.loaded == 0)
        return QStringLiteral("\"%1\" holds no QRZ record (%2): nothing was built.")
            .arg(csvPath, ResultText(result));
    if (result.skipped > result.loaded)
        return QStringLiteral("More lines of \"%1\" were skipped than loaded (%2): it is not QRZ's file of "
                              "licensees, and nothing was built.")
            .arg(csvPath, ResultText(result));
    return {};
}

CQRZCDb::CResult CQRZCDb::Compile()
{
    // The CSV file first: a file that cannot be read changes nothing.
    const CFileHandle file(::open(QFile::encodeName(m_strCsvPath).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st = {};
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const QString reason =
            file.Get() < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("it is a folder");
        throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(m_strCsvPath, reason),
                             m_strCsvPath);
    }
    ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const qint64 total = qint64(st.st_size);

    const QFileInfo output(m_strOutputPath);
    if (output.isDir())
        throw CFileException(
            QStringLiteral("Cannot create the database \"%1\": it is a folder.").arg(m_strOutputPath),
            m_strOutputPath);
    OutputCheck::Refuse(m_strOutputPath, OutputCheck::Builds::QrzDatabase);
    CAtomicFile target(m_strOutputPath);
    const QString tempPath = target.TempPath();
    {
        CDatabase db(tempPath, CDatabase::ReadWrite);
        QrzSchema::CreateTable(db);
    }

    CResult result;
    {
        // A connection of this thread alone, without SQLite's per-call locking.
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(tempPath).constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        const std::unique_ptr<sqlite3, CConnectionDeleter> connection(raw);
        if (rc != SQLITE_OK)
            throw CDBException(
                QStringLiteral("Cannot open the database \"%1\": %2")
                    .arg(tempPath, QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))));
        sqlite3* const db = raw;
        // The file is a private one under construction: a crash or a failure discards it, so it needs
        // neither a journal nor syncing until it is complete (CAtomicFile syncs it before the rename).
        Exec(db,
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; "
             "PRAGMA cache_size=-16384;",
             m_strOutputPath);

        QString sql = QStringLiteral("INSERT INTO \"%1\" VALUES (?").arg(QLatin1String(QrzSchema::kTable));
        for (int i = 1; i < QrzSchema::kColumnCount; ++i)
            sql += QStringLiteral(",?");
        sql += QLatin1Char(')');
        sqlite3_stmt* rawStmt = nullptr;
        if (sqlite3_prepare_v3(db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &rawStmt,
                               nullptr) != SQLITE_OK)
            RaiseDb(db, m_strOutputPath);
        const std::unique_ptr<sqlite3_stmt, CStatementDeleter> insert(rawStmt);
        sqlite3_stmt* const stmt = rawStmt;

        Exec(db, "BEGIN", m_strOutputPath);
        std::atomic<bool> cancel{false};
        QString readError;
        {
            CLineReader reader(file.Get(), cancel);
            std::vector<char> wasNull(QrzSchema::kColumnCount, 1); // a fresh statement binds null everywhere
            for (;;) {
                Batch* b = reader.Next();
                const char* const text = b->text.data();
                for (const Line& line : b->lines) {
                    if (line.kind != Kind::Record) {
                        ++result.skipped;
                        if (m_skipped)
                            m_skipped(line.number, SkipText(line));
                        continue;
                    }
                    for (int i = 0; i < QrzSchema::kColumnCount; ++i) {
                        if (i == QrzSchema::kCountryColumn) {
                            sqlite3_bind_int(stmt, i + 1, line.row.country);
                            continue;
                        }
                        const QrzCsv::CCell& cell = line.row.cells[i];
                        // A null bound before stays bound; text is bound afresh for every row.
                        if (cell.length < 0) {
                            if (!wasNull[size_t(i)]) {
                                sqlite3_bind_null(stmt, i + 1);
                                wasNull[size_t(i)] = 1;
                            }
                            continue;
                        }
                        sqlite3_bind_text(stmt, i + 1, text + cell.offset, cell.length, SQLITE_STATIC);
                        wasNull[size_t(i)] = 0;
                    }
                    const int step = sqlite3_step(stmt);
                    sqlite3_reset(stmt);
                    if (step != SQLITE_DONE)
                        RaiseDb(db, m_strOutputPath);
                    ++result.loaded;
                }
                const bool last = b->last;
                const qint64 done = b->done;
                reader.Release(b);
                if (last)
                    break;
                if (m_progress && !m_progress->Report(done, total)) {
                    cancel = true;
                    result.cancelled = true;
                    break;
                }
            }
            if (!result.cancelled)
                readError = reader.Error();
        }
        if (!readError.isEmpty())
            throw CFileException(QStringLiteral("Cannot read \"%1\": %2").arg(m_strCsvPath, readError),
                                 m_strCsvPath);
        if (result.cancelled)
            return result; // the temporary file goes with `target`
        // An empty, header-only or foreign file would leave a database that knows nobody: keep the old one.
        if (const QString refusal = RefusalText(m_strCsvPath, result); !refusal.isEmpty())
            throw CFileException(refusal, m_strCsvPath);

        CIndexProgress indexProgress{m_progress, total};
        if (m_progress) {
            if (!m_progress->Report(total, total)) {
                result.cancelled = true;
                return result;
            }
            sqlite3_progress_handler(db, 100000, &OnIndexProgress, &indexProgress);
        }
        // The sort of the index may use a second thread, which reads the table while it sorts.
        Exec(db, "PRAGMA threads=1", m_strOutputPath);
        const int indexRc =
            sqlite3_exec(db, QrzSchema::CreateIndexSql().toUtf8().constData(), nullptr, nullptr, nullptr);
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        if (indexRc == SQLITE_INTERRUPT) {
            result.cancelled = true;
            return result;
        }
        if (indexRc != SQLITE_OK)
            RaiseDb(db, m_strOutputPath);
        Exec(db, "COMMIT", m_strOutputPath);
    }
    // A journal left beside the old file would be played into the new one.
    QFile::remove(m_strOutputPath + QStringLiteral("-journal"));
    QFile::remove(m_strOutputPath + QStringLiteral("-wal"));
    target.Commit();
    return result;
}
