#include "core/licdb/FccDbBuild.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/licdb/DbCompiler.h"
#include "core/licdb/FccSchema.h"
#include "core/web/MThreadedJobQ.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SyncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// A build keeps an advisory lock on its temporary file; a temporary file nobody locks is what a build
// that was killed left behind, and can go. The age test covers the moment between a build creating its
// file and locking it.
void RemoveStaleTemporaryFiles(const QString& folder, const QString& pattern)
{
    const QStringList names = QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st = {};
        if (::fstat(fd, &st) == 0 && st.st_mtime < std::time(nullptr) - 60 &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

} // namespace

CFccDbBuild::CFccDbBuild(CMThreadedJobQ& queue, CObserver observer)
    : m_queue(queue), m_observer(std::move(observer))
{
}

CFccDbBuild::~CFccDbBuild()
{
    Cancel();
    WaitForStages();
    // A stage taken off the queue before it ran never reported back.
    if (GetState() == Running && !m_tempPath.isEmpty())
        QFile::remove(m_tempPath);
    Unlock();
}

void CFccDbBuild::Unlock()
{
    std::lock_guard lock(m_mutex);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
}

QString CFccDbBuild::CompleteText()
{
    return QStringLiteral("Compile Complete");
}

QString CFccDbBuild::CancelledText()
{
    return QStringLiteral("Compile Cancelled");
}

QString CFccDbBuild::MissingFileText(const QString& fileName)
{
    return QStringLiteral(
               "Couldn't open the %1 file:\nPlease make sure it is in selected directory, and try again.")
        .arg(fileName);
}

CFccDbBuild::State CFccDbBuild::GetState() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

QString CFccDbBuild::GetMessage() const
{
    std::lock_guard lock(m_mutex);
    return m_message;
}

bool CFccDbBuild::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_stateChanged.wait_for(lock, timeout, [this] { return m_state != Running; });
}

CUlsStageStats CFccDbBuild::GetStats(int stage) const
{
    std::lock_guard lock(m_mutex);
    if (stage < 0 || stage >= 3 || !m_stages[stage] || m_state == Running)
        return {};
    return m_stages[stage]->GetStats();
}

void CFccDbBuild::WaitForStages()
{
    std::array<bool, 3> queued;
    {
        std::lock_guard lock(m_mutex);
        queued = m_queued;
    }
    for (size_t i = 0; i < m_stages.size(); ++i) {
        if (!queued[i] || !m_stages[i])
            continue;
        if (!m_queue.RemoveJob(m_stages[i].get()))
            m_stages[i]->WaitFinished();
    }
}

void CFccDbBuild::Cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancel = true;
}

void CFccDbBuild::Start(const QString& inputPath, const QString& outputPath)
{
    if (IsRunning())
        throw CDBException(QStringLiteral("The FCC licence database is being built already."));
    // The stages of an earlier build may still be returning from their last callback.
    WaitForStages();

    // Every input file must be there before anything is touched.
    const QString folder = CDbCompiler::InputFolder(inputPath);
    for (int i = 0; i < FccSchema::kTableCount; ++i) {
        const QString name = QLatin1String(FccSchema::Tables()[i]->fileName);
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
            throw CFileException(MissingFileText(name), path);
    }

    const QFileInfo output(outputPath);
    if (output.isDir())
        throw CFileException(
            QStringLiteral("Cannot create the database \"%1\": it is a folder.").arg(outputPath), outputPath);
    const QString tempPrefix = QStringLiteral(".") + output.fileName() + QStringLiteral(".");
    RemoveStaleTemporaryFiles(output.absolutePath(), tempPrefix + QStringLiteral("??????"));
    QTemporaryFile temp(output.absolutePath() + QLatin1Char('/') + tempPrefix + QStringLiteral("XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        throw CFileException(
            QStringLiteral("Cannot create the database \"%1\": %2").arg(outputPath, temp.errorString()),
            outputPath);
    }
    const QString tempPath = temp.fileName();
    temp.close();
    const int lockFd = ::open(QFile::encodeName(tempPath).constData(), O_RDONLY | O_CLOEXEC);
    if (lockFd >= 0)
        ::flock(lockFd, LOCK_EX | LOCK_NB);
    // The new file gets the old one's permissions, or the usual ones for a new file.
    QFile::setPermissions(tempPath, output.exists() ? QFile::permissions(outputPath)
                                                    : QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadGroup | QFile::ReadOther);
    try {
        CDatabase db(tempPath, CDatabase::ReadWrite);
        FccSchema::CreateTables(db);
    } catch (...) {
        QFile::remove(tempPath);
        if (lockFd >= 0)
            ::close(lockFd);
        throw;
    }

    const FccSchema::CTable* const* tables = FccSchema::Tables();
    for (size_t i = 0; i < m_stages.size(); ++i) {
        auto stage = std::make_unique<CDbCompiler>(QLatin1String(tables[i]->stageName), inputPath, tempPath);
        stage->SetCancelFlag(&m_cancel);
        if (m_observer.progress)
            stage->SetProgressCallback(m_observer.progress);
        if (m_observer.skipped) {
            const QString fileName = QLatin1String(tables[i]->fileName);
            stage->SetSkippedCallback([this, fileName](qint64 line, const QString& reason) {
                m_observer.skipped(fileName, line, reason);
            });
        }
        stage->SetDoneCallback([this](CDbCompiler& done) { OnStageDone(done); });
        m_stages[i] = std::move(stage);
    }
    {
        std::lock_guard lock(m_mutex);
        m_cancel = false;
        m_tempPath = tempPath;
        m_lockFd = lockFd;
        m_outputPath = outputPath;
        m_state = Running;
        m_message.clear();
        m_queued = {true, false, false};
    }
    m_queue.AddJob(m_stages[0].get());
}

void CFccDbBuild::OnStageDone(CDbCompiler& stage)
{
    if (!stage.GetErrorText().isEmpty()) {
        Finish(Failed, stage.GetErrorText());
        return;
    }
    const int next = stage.Table().stageNumber; // stage numbers count from 1
    {
        std::lock_guard lock(m_mutex);
        if (!stage.WasCancelled() && !m_cancel && next < static_cast<int>(m_stages.size())) {
            m_queued[static_cast<size_t>(next)] = true;
            m_queue.AddJob(m_stages[static_cast<size_t>(next)].get());
            return;
        }
    }
    if (stage.WasCancelled() || m_cancel) {
        Finish(Cancelled, CancelledText());
        return;
    }
    const QString error = ReplaceOutput();
    if (error.isEmpty())
        Finish(Succeeded, CompleteText());
    else
        Finish(Failed, error);
}

QString CFccDbBuild::ReplaceOutput()
{
    // The data must be on disk before the name points at it, so that a crash leaves either the old
    // database or the complete new one.
    if (!SyncPath(m_tempPath, O_RDONLY))
        return QStringLiteral("Cannot write \"%1\": %2")
            .arg(m_tempPath, QString::fromLocal8Bit(std::strerror(errno)));
    // A journal left beside the old file would be played into the new one.
    QFile::remove(m_outputPath + QStringLiteral("-journal"));
    QFile::remove(m_outputPath + QStringLiteral("-wal"));
    if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_outputPath).constData()) !=
        0) {
        return QStringLiteral("Cannot replace \"%1\": %2")
            .arg(m_outputPath, QString::fromLocal8Bit(std::strerror(errno)));
    }
    SyncPath(QFileInfo(m_outputPath).absolutePath(), O_RDONLY | O_DIRECTORY);
    std::lock_guard lock(m_mutex);
    m_tempPath.clear();
    return {};
}

void CFccDbBuild::Finish(State state, const QString& message)
{
    QString temp;
    {
        std::lock_guard lock(m_mutex);
        temp = m_tempPath;
    }
    if (state != Succeeded && !temp.isEmpty())
        QFile::remove(temp);
    Unlock();
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
        m_message = message;
        m_stateChanged.notify_all();
    }
    if (m_observer.finished)
        m_observer.finished(state, message);
}
