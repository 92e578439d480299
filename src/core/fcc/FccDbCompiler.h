#pragma once

#include "core/fcc/UlsLoader.h"
#include "core/jobs/Job.h"

#include <QString>
#include <atomic>
#include <functional>

namespace FccSchema {
struct CTable;
}

// One stage of building the FCC licence database: loads AM.dat, EN.dat or HD.dat into its table.
// A job of CMThreadedJobQ; CFccDbBuild runs the three stages one after another.
class CDbCompiler : public CJob
{
public:
    // stageName: "AMSet", "ENSet" or "HDSet", which selects the file and the table. inputPath: a file
    // or "*.dat" pattern in the folder of the ULS files, or that folder itself. outputPath: the
    // database to load into; its tables exist.
    CDbCompiler(const QString& stageName, const QString& inputPath, const QString& outputPath);

    // Loads the file; never throws (see GetErrorText).
    void Execute() override;

    // Where the stage reports its percentage and progress text ("AM (1 of 3) Build Current position 42%")
    // each time they change, on the stage's thread, and learns whether to stop: the job's own progress
    // unless another is given (a build shares one among its stages).
    void SetProgress(CProgress* progress) { m_pProgress = progress ? progress : &Progress(); }
    // Called on the stage's thread for each line that is not loaded.
    void SetSkippedCallback(std::function<void(qint64 line, const QString& reason)> callback);
    // Called on the stage's thread when the stage has ended, whichever way, as the last act of Execute.
    void SetDoneCallback(std::function<void(CDbCompiler& stage)> callback);

    const FccSchema::CTable& Table() const { return *m_pTable; }
    const QString& GetStageName() const { return m_strStageName; }
    // The .dat file this stage reads.
    QString InputFile() const;

    // After Execute: whether the file could be read and held at least one line feed.
    bool GetResult() const { return m_bResult; }
    const CUlsStageStats& GetStats() const { return m_stats; }
    bool WasCancelled() const { return m_stats.cancelled; }
    // Why the stage failed (the file could not be read, the database failed); empty when it did not.
    const QString& GetErrorText() const { return m_strError; }

    // "AM (1 of 3) Build Current position 42%".
    static QString ProgressText(const FccSchema::CTable& table, int percent);
    // The folder of the ULS files: the input path itself when it is a folder, else everything before
    // its last '/'.
    static QString InputFolder(const QString& inputPath);

private:
    const FccSchema::CTable* m_pTable;
    QString m_strStageName;
    QString m_strInputPath;
    QString m_strOutputPath;
    CProgress* m_pProgress = &Progress();
    std::function<void(qint64, const QString&)> m_skipped;
    std::function<void(CDbCompiler&)> m_done;
    bool m_bResult = false;
    CUlsStageStats m_stats;
    QString m_strError;
};
