#include "core/db/SqliteBulkLoader.h"

#include "core/Exceptions.h"
#include "core/db/SqliteError.h"
#include "core/jobs/BatchPipe.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lines are read in blocks; a few blocks in flight between the two threads keep memory flat (a few
// megabytes) whatever the size of the file.
constexpr size_t kBlockSize = 256 * 1024;
constexpr size_t kMaxLine = CSqliteBulkLoader::kMaxLine;
constexpr int kBlockCount = 4;

struct Block
{
    std::unique_ptr<char[]> bytes{new char[kBlockSize + kMaxLine]};
    std::unique_ptr<CBulkRecords> records;
    qint64 done = 0; // bytes of the file read once this block is written
    bool last = false;

    void Clear()
    {
        records->Clear();
        last = false;
    }
};

QString CannotRead(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read \"%1\": %2").arg(path, reason);
}

// Reads the file and splits it into lines on a thread of its own, handing full blocks to the writer.
class CLineReader
{
public:
    CLineReader(int fd, const std::function<std::unique_ptr<CBulkRecords>()>& makeRecords,
                const std::atomic<bool>& stop, const CProgress* cancel)
        : m_fd(fd), m_stop(stop), m_cancel(cancel)
    {
        // Every block gets the format's records before the reading thread starts.
        Block* blocks[kBlockCount];
        for (Block*& b : blocks) {
            b = m_pipe.Acquire();
            b->records = makeRecords();
        }
        for (Block* b : blocks)
            m_pipe.Release(b);
        m_pipe.Start([this](Block*& b) { Read(b); });
    }

    // The next block in file order; the last one has `last` set.
    Block* Next() { return m_pipe.Next(); }
    void Release(Block* b) { m_pipe.Release(b); }
    // Read only after the last block has been taken.
    const QString& Error() const { return m_pipe.Error(); }
    bool SawLineFeed() const { return m_sawLineFeed; }

private:
    void Add(Block& b, const char* line, size_t length, qint64 offset, qint64 lineFeed, CBulkLine::End end)
    {
        const qint64 number = ++m_lineNumber;
        // The line is counted without its end, so that a CRLF file and an LF file load alike.
        if (length > 0 && line[length - 1] == '\r')
            --length;
        if (length == 0)
            return;
        b.records->Add({line, length, number, offset, lineFeed, end});
    }

    void Read(Block*& b)
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
            char* block = b->bytes.get();
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
            for (;;) {
                const char* lf = static_cast<const char*>(std::memchr(block + p, '\n', length - p));
                if (!lf)
                    break;
                m_sawLineFeed = true;
                const size_t end = static_cast<size_t>(lf - block);
                if (discarding) {
                    discarding = false;
                    ++m_lineNumber;
                } else {
                    Add(*b, block + p, end - p, base + static_cast<qint64>(p),
                        base + static_cast<qint64>(end), CBulkLine::End::LineFeed);
                }
                p = end + 1;
            }
            size_t rest = length - p;
            if (eof) {
                if (rest > 0 && !discarding)
                    Add(*b, block + p, rest, base + static_cast<qint64>(p),
                        base + static_cast<qint64>(length), CBulkLine::End::EndOfFile);
                b->done = base + static_cast<qint64>(length);
                b->last = true;
                m_pipe.Push(b);
                b = nullptr;
                return;
            }
            if (!discarding && rest > kMaxLine) {
                const qint64 offset = base + static_cast<qint64>(p);
                b->records->Add({block + p, 0, m_lineNumber + 1, offset, offset, CBulkLine::End::TooLong});
                discarding = true;
            }
            if (discarding)
                rest = 0;
            std::memcpy(tail.get(), block + length - rest, rest);
            tailLength = rest;
            base += static_cast<qint64>(length - rest);
            b->done = base;
            m_pipe.Push(b);
            b = nullptr;
            if (m_stop.load(std::memory_order_relaxed) || (m_cancel && m_cancel->IsCancelled())) {
                // Nothing more is wanted; end the stream.
                m_pipe.End(b);
                return;
            }
        }
    }

    const int m_fd;
    const std::atomic<bool>& m_stop;
    const CProgress* m_cancel;
    qint64 m_lineNumber = 0; // lines read so far
    bool m_sawLineFeed = false;
    CBatchPipe<Block, kBlockCount> m_pipe; // last: its thread ends before what it reads goes
};

int AskKeepGoing(void* keepGoing)
{
    return (*static_cast<const std::function<bool()>*>(keepGoing))() ? 0 : 1;
}

} // namespace

CBulkRecords::~CBulkRecords() = default;

CFieldSplitter::Csv CFieldSplitter::NextCsv(std::string& out)
{
    const size_t start = out.size();
    const char* q = m_p;
    if (q < m_end && *q == '"') {
        ++q;
        for (;;) {
            const char* quote = static_cast<const char*>(std::memchr(q, '"', static_cast<size_t>(m_end - q)));
            if (!quote) {
                out.resize(start);
                return Csv::UnclosedQuote;
            }
            out.append(q, static_cast<size_t>(quote - q));
            q = quote + 1;
            if (q < m_end && *q == '"') {
                out += '"';
                ++q;
                continue;
            }
            break;
        }
    }
    const char* d = static_cast<const char*>(std::memchr(q, m_delimiter, static_cast<size_t>(m_end - q)));
    if (!d) {
        out.resize(start);
        return Csv::End;
    }
    // The unquoted text (or what follows a closing quote), without its quotes.
    for (;;) {
        const char* quote = static_cast<const char*>(std::memchr(q, '"', static_cast<size_t>(d - q)));
        if (!quote) {
            out.append(q, static_cast<size_t>(d - q));
            break;
        }
        out.append(q, static_cast<size_t>(quote - q));
        q = quote + 1;
    }
    m_p = d + 1;
    return Csv::Field;
}

CSqliteBulkLoader::CSqliteBulkLoader(QString filePath) : m_filePath(std::move(filePath))
{
    m_fd = ::open(QFile::encodeName(m_filePath).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st = {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const QString reason = m_fd < 0 || !S_ISDIR(st.st_mode) ? QString::fromLocal8Bit(std::strerror(errno))
                                                                : QStringLiteral("it is a folder");
        if (m_fd >= 0)
            ::close(m_fd);
        throw CFileException(CannotRead(m_filePath, reason), m_filePath);
    }
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fileSize = static_cast<qint64>(st.st_size);
}

CSqliteBulkLoader::~CSqliteBulkLoader()
{
    sqlite3_finalize(m_insert);
    if (m_inTransaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    ::close(m_fd);
}

void CSqliteBulkLoader::SetDatabase(sqlite3* db, QString errorPrefix, QString errorSuffix)
{
    m_db = db;
    m_dbErrorPrefix = std::move(errorPrefix);
    m_dbErrorSuffix = std::move(errorSuffix);
}

void CSqliteBulkLoader::RaiseDb() const
{
    throw CDBException(m_dbErrorPrefix + SqliteErrorText(m_db) + m_dbErrorSuffix);
}

void CSqliteBulkLoader::Exec(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        RaiseDb();
}

void CSqliteBulkLoader::Begin(const QString& table, int columns)
{
    QString sql = QStringLiteral("INSERT INTO \"%1\" VALUES (?").arg(table);
    for (int i = 1; i < columns; ++i)
        sql += QStringLiteral(",?");
    sql += QLatin1Char(')');
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &m_insert,
                           nullptr) != SQLITE_OK)
        RaiseDb();
    m_wasNull.assign(static_cast<size_t>(columns), 1); // a fresh statement binds null everywhere
    Exec("BEGIN");
    m_inTransaction = true;
}

void CSqliteBulkLoader::Commit()
{
    Exec("COMMIT");
    m_inTransaction = false;
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
}

bool CSqliteBulkLoader::Load(const std::function<std::unique_ptr<CBulkRecords>()>& makeRecords,
                             const std::function<void(CBulkRecords&)>& write, const CProgress* cancel,
                             const std::function<bool(qint64 done)>& afterBlock)
{
    std::atomic<bool> stop{false};
    const auto stopped = [&] {
        if (cancel && cancel->IsCancelled())
            stop = true;
        return stop.load();
    };
    QString readError;
    {
        CLineReader reader(m_fd, makeRecords, stop, cancel);
        for (;;) {
            Block* b = reader.Next();
            write(*b->records);
            const bool last = b->last;
            const qint64 done = b->done;
            reader.Release(b);
            if (last)
                break;
            if (afterBlock && !afterBlock(done))
                stop = true;
            if (stopped())
                break;
        }
        if (stop)
            return false;
        readError = reader.Error();
        m_sawLineFeed = reader.SawLineFeed();
    }
    if (!readError.isEmpty())
        throw CFileException(CannotRead(m_filePath, readError), m_filePath);
    return !stopped();
}

bool CSqliteBulkLoader::Insert()
{
    const int rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (rc == SQLITE_DONE)
        return true;
    if (rc == SQLITE_CONSTRAINT)
        return false;
    RaiseDb();
}

bool CSqliteBulkLoader::ExecInterruptible(const QString& sql, int steps,
                                          const std::function<bool()>& keepGoing)
{
    if (keepGoing)
        sqlite3_progress_handler(m_db, steps, &AskKeepGoing, const_cast<std::function<bool()>*>(&keepGoing));
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    if (rc == SQLITE_INTERRUPT)
        return false;
    if (rc != SQLITE_OK)
        RaiseDb();
    return true;
}
