#pragma once

#include "core/fcc/UlsLoader.h"

#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class CAtomicFile;
class CDbCompiler;
class CMThreadedJobQ;

// Builds the FCC licence database from AM.dat, EN.dat and HD.dat: three CDbCompiler stages run one
// after another as jobs of a CMThreadedJobQ, off the caller's thread.
//
// The new database is built in a temporary file beside the output path and replaces the file at the
// output path (atomically, by a rename) only when all three stages have finished. A build that fails
// or is cancelled leaves the previous database as it was and removes the temporary file; the temporary
// file of a build that was killed is removed by the next build into that folder.
class CFccDbBuild
{
public:
    enum State
    {
        Idle,
        Running,
        Succeeded,
        Failed,
        Cancelled
    };

    // Called on the build's worker threads; a GUI posts them to its own thread.
    struct CObserver
    {
        // The progress text ("AM (1 of 3) Build Current position 42%") and percentage, when it changes.
        std::function<void(const QString& text, int percent)> progress;
        // Each line that is not loaded, when set: "AM.dat", the line number and why.
        std::function<void(const QString& fileName, qint64 line, const QString& reason)> skipped;
        // The end of the build: Succeeded with "Compile Complete", Failed with the reason, or Cancelled.
        std::function<void(State state, const QString& message)> finished;
    };

    explicit CFccDbBuild(CMThreadedJobQ& queue, CObserver observer = {});
    // Cancels a running build and waits for its stages to stop. Destroy the build before its queue.
    ~CFccDbBuild();
    CFccDbBuild(const CFccDbBuild&) = delete;
    CFccDbBuild& operator=(const CFccDbBuild&) = delete;

    // Starts a build from the ULS files in the folder of inputPath (see CDbCompiler::InputFolder) into
    // outputPath. Raises CFileException, before anything is changed, when one of the three files
    // cannot be opened ("Couldn't open the AM.dat file: ...") or the database cannot be created beside
    // the output path, and CDBException while a build is running.
    void Start(const QString& inputPath, const QString& outputPath);
    // Asks the running build to stop; it ends as Cancelled shortly after.
    void Cancel();

    State GetState() const;
    bool IsRunning() const { return GetState() == Running; }
    // The finished text: "Compile Complete", the reason of a failure, or "Compile Cancelled".
    QString GetMessage() const;
    // Waits until the build is no longer running; false when the time ran out first.
    bool Wait(std::chrono::milliseconds timeout);
    // What stage 0 (AM), 1 (EN) or 2 (HD) loaded; valid once the build has ended.
    CUlsStageStats GetStats(int stage) const;

    static QString CompleteText();
    static QString CancelledText();
    // "Couldn't open the AM.dat file:\nPlease make sure it is in selected directory, and try again."
    static QString MissingFileText(const QString& fileName);
    // A build in which AM or EN loads no record fails with this, naming the file.
    static QString NothingLoadedText(const QString& filePath);

private:
    void OnStageDone(CDbCompiler& stage);
    void Finish(State state, const QString& message);
    void WaitForStages();
    QString ReplaceOutput();

    CMThreadedJobQ& m_queue;
    CObserver m_observer;
    mutable std::mutex m_mutex;
    std::condition_variable m_stateChanged;
    State m_state = Idle;
    QString m_message;
    CProgress m_progress; // shared by the stages: their percentage and text, and the build's cancel
    std::array<std::unique_ptr<CDbCompiler>, 3> m_stages;
    std::array<bool, 3> m_queued{};
    std::unique_ptr<CAtomicFile> m_output; // the database being built, beside the output path
};
