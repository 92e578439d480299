#include "core/fcc/FccDbBuild.h"

#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/OutputCheck.h"
#include "core/db/Database.h"
#include "core/fcc/FccDbCompiler.h"
#include "core/fcc/FccDbState.h"
#include "core/fcc/FccSchema.h"
#include "core/fcc/FccWriteLock.h"
#include "core/fcc/UlsArchive.h"
#include "core/fcc/UlsDaily.h"
#include "core/jobs/MThreadedJobQ.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

CFccDbBuild::CFccDbBuild(CMThreadedJobQ& queue, CObserver observer)
    : m_queue(queue), m_observer(std::move(observer)),
      m_progress([this](qint64 done, qint64, const QString& stage) {
          if (m_observer.progress)
              m_observer.progress(stage, int(done));
      })
{
}

CFccDbBuild::~CFccDbBuild()
{
    Cancel();
    WaitForStages();
    // A stage taken off the queue before it ran never reported back: the temporary file goes.
    m_output.reset();
}

QString CFccDbBuild::CompleteText()
{
    return QStringLiteral("Compile Complete");
}

QString CFccDbBuild::CancelledText()
{
    return QStringLiteral("Compile Cancelled");
}

QString CFccDbBuild::NothingLoadedText(const QString& filePath)
{
    return QStringLiteral("No licence could be loaded from %1: it is empty or not an FCC ULS file.")
        .arg(filePath);
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
    m_progress.Cancel();
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
    OutputCheck::Refuse(outputPath, OutputCheck::Builds::FccDatabase);
    auto file = std::make_unique<CAtomicFile>(outputPath);
    const QString tempPath = file->TempPath();
    {
        CDatabase db(tempPath, CDatabase::ReadWrite);
        FccSchema::CreateTables(db);
        // The day the weekly was made: the daily files after it are what an update applies.
        FccDbState::WriteWeekly(db, UlsDaily::WeeklyDate(folder),
                                QString::fromLatin1(UlsArchive::kArchiveName));
    }

    // No stage runs now: the listener cannot be inside.
    m_progress.Restart();
    const FccSchema::CTable* const* tables = FccSchema::Tables();
    for (size_t i = 0; i < m_stages.size(); ++i) {
        auto stage = std::make_unique<CDbCompiler>(QLatin1String(tables[i]->stageName), inputPath, tempPath);
        stage->SetProgress(&m_progress);
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
        m_output = std::move(file);
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
    // A licence table that loads nothing (an empty, blank or binary file) would give a database that
    // knows no call sign: keep the one there is.
    if (!stage.WasCancelled() && !m_progress.IsCancelled() && stage.GetStats().loaded == 0 &&
        (&stage.Table() == &FccSchema::kAM || &stage.Table() == &FccSchema::kEN)) {
        Finish(Failed, NothingLoadedText(stage.InputFile()));
        return;
    }
    const int next = stage.Table().stageNumber; // stage numbers count from 1
    {
        std::lock_guard lock(m_mutex);
        if (!stage.WasCancelled() && !m_progress.IsCancelled() && next < static_cast<int>(m_stages.size())) {
            m_queued[static_cast<size_t>(next)] = true;
            m_queue.AddJob(m_stages[static_cast<size_t>(next)].get());
            return;
        }
    }
    if (stage.WasCancelled() || m_progress.IsCancelled()) {
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
    QString outputPath;
    {
        std::lock_guard lock(m_mutex);
        outputPath = m_output->TargetPath();
    }
    // Not under a daily update that is writing the old file (it ends its day within seconds).
    CFccWriteLock writer;
    try {
        writer.Acquire(outputPath);
    } catch (const CFileException& e) {
        return e.Message();
    }
    std::lock_guard lock(m_mutex);
    // A journal or write-ahead log left beside the old file would be played into the new one.
    QFile::remove(outputPath + QStringLiteral("-journal"));
    QFile::remove(outputPath + QStringLiteral("-wal"));
    QFile::remove(outputPath + QStringLiteral("-shm"));
    try {
        m_output->Commit();
    } catch (const CFileException& e) {
        return e.Message();
    }
    m_output.reset();
    return {};
}

void CFccDbBuild::Finish(State state, const QString& message)
{
    {
        std::lock_guard lock(m_mutex);
        m_output.reset(); // a build that did not succeed leaves no temporary file
        m_state = state;
        m_message = message;
        m_stateChanged.notify_all();
    }
    if (m_observer.finished)
        m_observer.finished(state, message);
}
