#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <functional>

// Builds the QRZ local database QRZ97.db from QRZ's CSV file of licensees (see QrzCsv.h for how a line
// is read).
//
// The file is streamed, so that memory stays the same whatever its size, and loaded in one transaction
// into a temporary file beside the output path, which replaces the output (atomically, by a rename)
// only when the build is complete: a build that fails or is cancelled leaves the previous database as
// it was. A line that cannot be loaded is skipped and counted; it does not stop the build. The first
// lines of the file up to offset 155 are its header (QrzCsv::IsRecordLine).
//
// Compile() blocks; a window runs it in the background (CBackgroundJob) and passes its progress on.
class CQRZCDb
{
public:
    struct CResult
    {
        qint64 loaded = 0;  // records written
        qint64 skipped = 0; // lines not loaded: the header, rejected lines, an unterminated last line
        bool cancelled = false;
    };
    // Each line not loaded: its 1-based number and why. Called on the thread that runs Compile().
    using Skipped = std::function<void(qint64 line, const QString& reason)>;

    CQRZCDb(QString csvPath, QString outputPath);
    virtual ~CQRZCDb();
    CQRZCDb(const CQRZCDb&) = delete;
    CQRZCDb& operator=(const CQRZCDb&) = delete;

    // Told the bytes of the file read so far and in all (done == total while the index is built), on the
    // thread that runs Compile(); cancelling it cancels the build. Null: none.
    void SetProgress(CProgress* progress) { m_progress = progress; }
    void SetSkipped(Skipped skipped) { m_skipped = std::move(skipped); }

    const QString& GetCsvPath() const { return m_strCsvPath; }
    const QString& GetOutputPath() const { return m_strOutputPath; }

    // Builds the database. Raises CFileException, before anything is changed, when the CSV file cannot
    // be read or the output cannot be created; CFileException or CDBException when reading or writing
    // fails later; CFileException with RefusalText() when the file loads no record or more lines are
    // skipped than loaded. The previous database then stays as it was.
    CResult Compile();

    // QRZ97.db in the folder of the CSV file.
    static QString OutputPathFor(const QString& csvPath);
    // "File %s exists! Overwrite?"
    static QString OverwriteQuestion(const QString& outputPath);
    // "N loaded, M skipped".
    static QString ResultText(const CResult& result);
    // Why a build with this result must not replace the database; empty when it may.
    static QString RefusalText(const QString& csvPath, const CResult& result);

private:
    QString m_strCsvPath;
    QString m_strOutputPath;
    CProgress* m_progress = nullptr;
    Skipped m_skipped;
};
