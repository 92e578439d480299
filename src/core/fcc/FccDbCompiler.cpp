#include "core/fcc/FccDbCompiler.h"

#include "core/Exceptions.h"
#include "core/db/SqliteError.h"
#include "core/fcc/FccSchema.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>

CDbCompiler::CDbCompiler(const QString& stageName, const QString& inputPath, const QString& outputPath)
    : m_pTable(FccSchema::FindTable(stageName)), m_strStageName(stageName), m_strInputPath(inputPath),
      m_strOutputPath(outputPath)
{
    if (!m_pTable)
        throw std::invalid_argument("unknown compiler stage " + stageName.toStdString());
    SetDeleteWhenDone(false); // the build keeps its stages to read their results
    SetDescription(stageName);
}

void CDbCompiler::SetSkippedCallback(std::function<void(qint64, const QString&)> callback)
{
    m_skipped = std::move(callback);
}

void CDbCompiler::SetDoneCallback(std::function<void(CDbCompiler&)> callback)
{
    m_done = std::move(callback);
}

QString CDbCompiler::InputFolder(const QString& inputPath)
{
    if (QFileInfo(inputPath).isDir())
        return inputPath;
    const qsizetype slash = inputPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : inputPath.left(slash));
}

QString CDbCompiler::InputFile() const
{
    QString folder = InputFolder(m_strInputPath);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QLatin1String(m_pTable->fileName);
}

QString CDbCompiler::ProgressText(const FccSchema::CTable& table, int percent)
{
    return QStringLiteral("%1 (%2 of 3) Build Current position %3%")
        .arg(QLatin1String(table.name))
        .arg(table.stageNumber)
        .arg(percent);
}

void CDbCompiler::Execute()
{
    m_bResult = false;
    m_stats = {};
    m_strError.clear();
    if (m_pProgress->IsCancelled()) {
        m_stats.cancelled = true;
        if (m_done)
            m_done(*this);
        return;
    }
    try {
        // A connection of this thread alone: without SQLite's per-call locking, which would cost more than
        // the inserts themselves.
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(m_strOutputPath).constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(db, &sqlite3_close_v2);
        if (rc != SQLITE_OK) {
            throw CDBException(
                QStringLiteral("Cannot open the database \"%1\": %2")
                    .arg(m_strOutputPath, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
        }
        // The file is a private one under construction: a crash or a failure discards it, so it needs
        // neither a journal nor syncing until it is complete.
        if (sqlite3_exec(db,
                         "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; "
                         "PRAGMA cache_size=-16384;",
                         nullptr, nullptr, nullptr) != SQLITE_OK)
            throw CDBException(SqliteErrorText(db));
        CUlsLoadHooks hooks;
        hooks.cancel = m_pProgress;
        hooks.progress = [this](int percent) {
            m_pProgress->SetStage(ProgressText(*m_pTable, percent));
            m_pProgress->Report(percent, 100);
        };
        hooks.skipped = m_skipped;
        m_stats = LoadUlsFile(db, *m_pTable, InputFile(), hooks);
        m_bResult = m_stats.sawLineFeed;
    } catch (const CLogwardenException& e) {
        m_strError = e.Message();
    } catch (const std::exception& e) {
        m_strError = QString::fromUtf8(e.what());
    }
    if (m_done)
        m_done(*this);
}
