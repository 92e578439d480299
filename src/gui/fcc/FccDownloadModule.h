#pragma once

#include "core/fcc/UlsArchive.h"
#include "gui/widgets/ProgressPane.h"

#include <QObject>
#include <QPointer>
#include <memory>

class CBackgroundJob;
class CDownloadDlg;
class CMainFrame;
class CSettings;

// The "DLoad" and "Extract" commands of the "FCC DB: " bar: the download dialog, and extracting
// HD.dat, EN.dat and AM.dat from l_amat.zip in the storage folder (off the window's thread, with its
// progress in the status bar and a button to cancel it).
class CLicDbDownloadModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    CLicDbDownloadModule(CMainFrame& frame, CSettings& settings);
    CDownloadDlg* Dialog() const { return m_dialog; }
    bool IsExtracting() const;

    void OnDownload();
    void OnExtract();

private:
    void OnExtractProgress(qint64 done, qint64 total);
    void OnExtractFinished();

    CMainFrame& m_frame;
    CSettings& m_settings;
    CDownloadDlg* m_dialog = nullptr;
    CBackgroundJob* m_extractJob = nullptr;
    QPointer<CProgressTask> m_task;
    QString m_folder;
    // Written by the extraction's thread, read after it has ended (finished() follows its join).
    std::shared_ptr<UlsArchive::CExtractResult> m_result;
};
