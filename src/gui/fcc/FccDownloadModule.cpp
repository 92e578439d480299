#include "gui/fcc/FccDownloadModule.h"

#include "core/Exceptions.h"
#include "core/fcc/UlsArchive.h"
#include "core/jobs/BackgroundJob.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/fcc/FccDownloadDlg.h"
#include "gui/widgets/ProgressPane.h"

#include <QDir>
#include <memory>

void CLicDbDownloadModule::Install(CMainFrame& frame)
{
    new CLicDbDownloadModule(frame, frame.Document().Settings());
}

CLicDbDownloadModule::CLicDbDownloadModule(CMainFrame& frame, CSettings& settings)
    : QObject(&frame), m_frame(frame), m_settings(settings)
{
    setObjectName(QStringLiteral("licDbDownloadModule"));
    m_dialog = new CDownloadDlg(settings, &frame.Progress(), &frame);
    connect(m_dialog, &CDownloadDlg::statusText, &frame, &CMainFrame::SetStatusText);

    m_extractJob = new CBackgroundJob(this);
    connect(m_extractJob, &CBackgroundJob::progress, this, &CLicDbDownloadModule::OnExtractProgress);
    connect(m_extractJob, &CBackgroundJob::finished, this, &CLicDbDownloadModule::OnExtractFinished);

    const CCommands& c = frame.Commands();
    connect(c.fccDownload, &QAction::triggered, this, &CLicDbDownloadModule::OnDownload);
    connect(c.fccExtract, &QAction::triggered, this, &CLicDbDownloadModule::OnExtract);
    c.fccDownload->setEnabled(true);
    c.fccExtract->setEnabled(true);
}

bool CLicDbDownloadModule::IsExtracting() const
{
    return m_extractJob->IsRunning();
}

void CLicDbDownloadModule::OnDownload()
{
    m_dialog->ShowDialog();
}

void CLicDbDownloadModule::OnExtract()
{
    if (IsExtracting())
        return;
    // An unset storage folder means the data folder, where the download puts the archive too.
    m_folder = UlsArchive::StorageFolder(m_settings);
    const QString archive = QDir(m_folder).filePath(QString::fromLatin1(UlsArchive::kArchiveName));
    auto result = std::make_shared<UlsArchive::CExtractResult>();
    m_result = result;
    m_frame.Commands().fccExtract->setEnabled(false);
    m_frame.SetStatusText(QStringLiteral("Extracting %1 ...").arg(archive));
    m_task = m_frame.Progress().Begin(QStringLiteral("extractProgress"), QStringLiteral("Extracting"),
                                      [job = m_extractJob] { job->Cancel(); });
    m_extractJob->setProperty("archive", archive);
    m_extractJob->Start([archive, folder = m_folder, result](CBackgroundJob& job) {
        *result = UlsArchive::ExtractDataFiles(archive, folder, &job.Progress());
    });
}

void CLicDbDownloadModule::OnExtractProgress(qint64 done, qint64 total)
{
    if (IsExtracting() && total > 0 && m_task)
        m_task->SetPercent(int(done * 100 / total));
}

void CLicDbDownloadModule::OnExtractFinished()
{
    m_frame.Commands().fccExtract->setEnabled(true);
    if (m_task)
        m_task->Finish();
    const QString archive = m_extractJob->property("archive").toString();
    try {
        m_extractJob->RethrowError();
    } catch (const CLogwardenException& e) {
        m_frame.SetStatusText(QStringLiteral("Ready"));
        Prompt::Notify(&m_frame, Prompt::Kind::Error, e.Message());
        return;
    }
    const UlsArchive::CExtractResult& r = *m_result;
    if (r.cancelled)
        m_frame.SetStatusText(QStringLiteral("Extraction cancelled"));
    else if (r.files.isEmpty())
        m_frame.SetStatusText(QStringLiteral("%1 holds no HD.dat, EN.dat or AM.dat").arg(archive));
    else
        m_frame.SetStatusText(
            QStringLiteral("Extracted %1 into %2").arg(r.files.join(QStringLiteral(", ")), m_folder));
}
