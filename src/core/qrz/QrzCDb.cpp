#include "core/qrz/QrzCDb.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/db/SqliteBulkLoader.h"
#include "core/qrz/QrzCsv.h"
#include "core/qrz/QrzSchema.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

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

// The lines of one block, parsed.
class CQrzRecords final : public CBulkRecords
{
public:
    std::string text; // the fields' texts, unquoted and in UTF-8
    std::vector<Line> lines;

    void Clear() override
    {
        text.clear();
        lines.clear();
    }

    void Add(const CBulkLine& line) override
    {
        Line& l = lines.emplace_back();
        l.number = line.number;
        if (line.end == CBulkLine::End::TooLong) {
            l.kind = Kind::TooLong;
        } else if (line.end == CBulkLine::End::EndOfFile) {
            l.kind = Kind::NoFinalLineFeed;
        } else if (!QrzCsv::IsRecordLine(line.number - 1, line.lineFeed)) {
            l.kind = Kind::Header;
        } else {
            l.reject = QrzCsv::ParseLine(line.text, line.length, text, l.row);
            l.kind = l.reject == QrzCsv::Reject::None ? Kind::Record : Kind::Rejected;
        }
    }
};

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
        return QStringLiteral("longer than %1 bytes").arg(CSqliteBulkLoader::kMaxLine);
    case Kind::Record:
        break;
    }
    return {};
}

struct CConnectionDeleter
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

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
    // Declared first, closed last: the loader's statement and transaction end before it.
    std::unique_ptr<sqlite3, CConnectionDeleter> connection;
    // The CSV file first: a file that cannot be read changes nothing.
    CSqliteBulkLoader loader(m_strCsvPath);
    const qint64 total = loader.FileSize();

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

    // A connection of this thread alone, without SQLite's per-call locking.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(tempPath).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    connection.reset(db);
    if (rc != SQLITE_OK)
        throw CDBException(
            QStringLiteral("Cannot open the database \"%1\": %2")
                .arg(tempPath, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
    loader.SetDatabase(db, QStringLiteral("Cannot build the QRZ database \"%1\": ").arg(m_strOutputPath), {});
    // The file is a private one under construction: a crash or a failure discards it, so it needs
    // neither a journal nor syncing until it is complete (CAtomicFile syncs it before the rename).
    loader.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; "
                "PRAGMA cache_size=-16384;");
    loader.Begin(QLatin1String(QrzSchema::kTable), QrzSchema::kColumnCount);

    CResult result;
    const auto write = [&](CBulkRecords& records) {
        const auto& b = static_cast<const CQrzRecords&>(records);
        const char* const text = b.text.data();
        for (const Line& line : b.lines) {
            if (line.kind != Kind::Record) {
                ++result.skipped;
                if (m_skipped)
                    m_skipped(line.number, SkipText(line));
                continue;
            }
            for (int i = 0; i < QrzSchema::kColumnCount; ++i) {
                if (i == QrzSchema::kCountryColumn) {
                    loader.BindInt(i, line.row.country);
                    continue;
                }
                const QrzCsv::CCell& cell = line.row.cells[i];
                if (cell.length < 0)
                    loader.BindNull(i);
                else
                    loader.BindText(i, text + cell.offset, cell.length);
            }
            if (!loader.Insert())
                loader.RaiseDb();
            ++result.loaded;
        }
    };
    std::function<bool(qint64)> afterBlock;
    if (m_progress)
        afterBlock = [&](qint64 done) { return m_progress->Report(done, total); };
    if (!loader.Load([] { return std::make_unique<CQrzRecords>(); }, write, nullptr, afterBlock)) {
        result.cancelled = true;
        return result; // the temporary file goes with `target`
    }
    // An empty, header-only or foreign file would leave a database that knows nobody: keep the old one.
    if (const QString refusal = RefusalText(m_strCsvPath, result); !refusal.isEmpty())
        throw CFileException(refusal, m_strCsvPath);

    std::function<bool()> keepGoing;
    if (m_progress) {
        if (!m_progress->Report(total, total)) {
            result.cancelled = true;
            return result;
        }
        keepGoing = [&] { return m_progress->Report(total, total); };
    }
    // The sort of the index may use a second thread, which reads the table while it sorts.
    loader.Exec("PRAGMA threads=1");
    if (!loader.ExecInterruptible(QrzSchema::CreateIndexSql(), 100000, keepGoing)) {
        result.cancelled = true;
        return result;
    }
    loader.Commit();
    connection.reset();
    // A journal left beside the old file would be played into the new one.
    QFile::remove(m_strOutputPath + QStringLiteral("-journal"));
    QFile::remove(m_strOutputPath + QStringLiteral("-wal"));
    target.Commit();
    return result;
}
