#include "gui/licdb/LicDbDownloadModule.h"

#include "core/Exceptions.h"
#include "core/licdb/UlsArchive.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "core/jobs/BackgroundJob.h"
#include "gui/licdb/DownloadDlg.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolButton>
#include <memory>

void CLicDbDownloadModule::Install(CMainFrame& frame)
{
    new CLicDbDownloadModule(frame, frame.Document().Settings());
}

CLicDbDownloadModule::CLicDbDownloadModule(CMainFrame& frame, CSettings& settings)
    : QObject(&frame), m_frame(frame), m_settings(settings)
{
    setObjectName(QStringLiteral("licDbDownloadModule"));
    m_dialog = new CDownloadDlg(settings, &frame);
    connect(m_dialog, &CDownloadDlg::statusText, &frame, &CMainFrame::SetStatusText);

    m_extractJob = new CBackgroundJob(this);
    connect(m_extractJob, &CBackgroundJob::progress, this, &CLicDbDownloadModule::OnExtractProgress);
    connect(m_extractJob, &CBackgroundJob::finished, this, &CLicDbDownloadModule::OnExtractFinished);
    m_cancelExtract = new QToolButton(frame.statusBar());
    m_cancelExtract->setObjectName(QStringLiteral("cancelExtract"));
    m_cancelExtract->setText(QStringLiteral("Cancel"));
    m_cancelExtract->setToolTip(QStringLiteral("Stop extracting the FCC files"));
    m_cancelExtract->setAutoRaise(true);
    frame.statusBar()->addPermanentWidget(m_cancelExtract);
    m_cancelExtract->hide();
    connect(m_cancelExtract, &QToolButton::clicked, m_extractJob, &CBackgroundJob::Cancel);

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

void CLicDbDownloadModule::ShowProgress(const QString& text)
{
    if (auto* pane = qobject_cast<QLabel*>(m_frame.ProgressPane()))
        pane->setText(text);
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
    m_cancelExtract->show();
    m_frame.SetStatusText(QStringLiteral("Extracting %1 ...").arg(archive));
    ShowProgress(QStringLiteral("Extracting: 0%"));
    m_extractJob->setProperty("archive", archive);
    m_extractJob->Start([archive, folder = m_folder, result](CBackgroundJob& job) {
        *result = UlsArchive::ExtractDataFiles(archive, folder,
                                               [&job](qint64 done, qint64 total) { return job.Report(done, total); });
    });
}

void CLicDbDownloadModule::OnExtractProgress(qint64 done, qint64 total)
{
    if (IsExtracting() && total > 0)
        ShowProgress(QStringLiteral("Extracting: %1%").arg(done * 100 / total));
}

void CLicDbDownloadModule::OnExtractFinished()
{
    m_frame.Commands().fccExtract->setEnabled(true);
    m_cancelExtract->hide();
    ShowProgress(QString());
    const QString archive = m_extractJob->property("archive").toString();
    try {
        m_extractJob->RethrowError();
    } catch (const CLogwardenException& e) {
        m_frame.SetStatusText(QStringLiteral("Ready"));
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Logwarden"), e.Message(), QMessageBox::Ok,
                                    &m_frame);
        box->setObjectName(QStringLiteral("extractMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    const UlsArchive::CExtractResult& r = *m_result;
    if (r.cancelled)
        m_frame.SetStatusText(QStringLiteral("Extraction cancelled"));
    else if (r.files.isEmpty())
        m_frame.SetStatusText(QStringLiteral("%1 holds no HD.dat, EN.dat or AM.dat").arg(archive));
    else
        m_frame.SetStatusText(QStringLiteral("Extracted %1 into %2").arg(r.files.join(QStringLiteral(", ")), m_folder));
}
