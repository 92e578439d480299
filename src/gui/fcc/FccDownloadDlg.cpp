#include "gui/fcc/FccDownloadDlg.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/fcc/UlsArchive.h"
#include "core/jobs/BackgroundJob.h"
#include "core/web/FileDownload.h"
#include "gui/app/Prompt.h"
#include "gui/widgets/ProgressPane.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Megabytes(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 kB").arg(double(bytes) / 1024.0, 0, 'f', 0);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

CDownloadDlg::CDownloadDlg(CSettings& settings, CProgressPane* progress, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_progressPane(progress)
{
    setObjectName(QStringLiteral("downloadDlg"));
    setWindowTitle(QStringLiteral("FCC Download Dialog"));
    setModal(false);

    auto* grid = new QGridLayout;
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("url"));
    m_url->setMinimumWidth(420);
    auto* urlLabel = new QLabel(QStringLiteral("&URL:"), this);
    urlLabel->setBuddy(m_url);
    grid->addWidget(urlLabel, 0, 0);
    grid->addWidget(m_url, 0, 1, 1, 2);
    m_saveTo = new QLineEdit(this);
    m_saveTo->setObjectName(QStringLiteral("saveTo"));
    auto* saveLabel = new QLabel(QStringLiteral("&Save To:"), this);
    saveLabel->setBuddy(m_saveTo);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_browse->setToolTip(QStringLiteral("Choose the folder"));
    grid->addWidget(saveLabel, 1, 0);
    grid->addWidget(m_saveTo, 1, 1);
    grid->addWidget(m_browse, 1, 2);

    m_download = new QPushButton(QStringLiteral("Download FCC Database"), this);
    m_download->setObjectName(QStringLiteral("download"));
    m_download->setAutoDefault(false);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("downloadStatus"));
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QDialogButtonBox::Ok);
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    auto* row = new QHBoxLayout;
    row->addWidget(m_download);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(new QLabel(QStringLiteral("Progress"), this));
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    m_job = new CBackgroundJob(this);
    connect(m_job, &CBackgroundJob::progress, this, &CDownloadDlg::OnProgress);
    connect(m_job, &CBackgroundJob::finished, this, &CDownloadDlg::OnFinished);
    connect(m_browse, &QPushButton::clicked, this, &CDownloadDlg::OnBrowse);
    connect(m_download, &QPushButton::clicked, this, &CDownloadDlg::OnDownload);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDownloadDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CDownloadDlg::reject);
}

CDownloadDlg::~CDownloadDlg() = default;

bool CDownloadDlg::IsDownloading() const
{
    return m_job->IsRunning();
}

void CDownloadDlg::ShowDialog()
{
    if (!isVisible()) {
        OnInitDialog();
        show();
    }
    raise();
    activateWindow();
}

void CDownloadDlg::OnInitDialog()
{
    m_bar->setRange(0, 100);
    if (!IsDownloading()) {
        m_bar->setValue(0);
        m_bar->setFormat(QStringLiteral("%p%"));
        m_status->clear();
    }
    m_url->setText(UlsArchive::ArchiveUrl(m_settings));
    m_saveTo->setText(UlsArchive::StorageFolder(m_settings));
    SetBusy(IsDownloading());
}

void CDownloadDlg::OnBrowse()
{
    const QString shown = m_saveTo->text().trimmed();
    const QString start = QFileInfo(shown).isDir() ? shown : m_settings.DataFolder();
    const QString folder = Prompt::FolderName(this, QStringLiteral("Select a Folder..."), start);
    if (folder.isEmpty())
        return;
    m_settings.Set(Setting::FccStorageLocation, folder);
    m_saveTo->setText(folder);
}

void CDownloadDlg::SetBusy(bool busy)
{
    m_download->setEnabled(!busy);
    m_url->setReadOnly(busy);
    m_saveTo->setReadOnly(busy);
    m_browse->setEnabled(!busy);
    m_ok->setEnabled(!busy);
    if (busy && m_progressPane && !m_task)
        m_task = m_progressPane->Begin(QStringLiteral("downloadProgress"), QStringLiteral("Downloading"),
                                       [job = m_job] { job->Cancel(); });
    if (!busy && m_task)
        m_task->Finish();
}

void CDownloadDlg::OnDownload()
{
    if (IsDownloading())
        return;
    const QString url = m_url->text().trimmed();
    QString folder = m_saveTo->text().trimmed();
    if (folder.isEmpty())
        folder = m_settings.DataFolder();
    folder = QFileInfo(folder).absoluteFilePath();
    m_saveTo->setText(folder);
    m_settings.Set(Setting::FccStorageLocation, folder);
    m_settings.Set(Setting::FccArchiveUrl, url);
    m_settings.Sync();
    m_target = QDir(folder).filePath(QString::fromLatin1(UlsArchive::kArchiveName));

    m_bar->setValue(0);
    m_bar->setFormat(QStringLiteral("%p%"));
    m_status->setText(QStringLiteral("Connecting to %1 ...").arg(url));
    SetBusy(true);
    const CDownloadOptions options = UlsArchive::DownloadOptions(m_settings);
    m_job->Start([url, folder, options](CBackgroundJob& job) {
        UlsArchive::Download(url, folder, &job.Progress(), options);
    });
}

void CDownloadDlg::OnProgress(qint64 received, qint64 total)
{
    if (!IsDownloading() || received <= 0)
        return;
    if (total > 0) {
        m_bar->setValue(int(received * 100 / total));
        if (m_task)
            m_task->SetPercent(int(received * 100 / total));
        m_bar->setFormat(QStringLiteral("%1 of %2 (%p%)").arg(Megabytes(received), Megabytes(total)));
    } else {
        m_bar->setFormat(Megabytes(received));
        if (m_task)
            m_task->SetPercent(-1);
    }
    m_status->setText(QStringLiteral("Downloading %1 ...").arg(m_target));
}

void CDownloadDlg::OnFinished()
{
    SetBusy(false);
    const bool cancelled = m_job->IsCancelled();
    try {
        m_job->RethrowError();
        if (cancelled) {
            m_bar->setValue(0);
            m_bar->setFormat(QStringLiteral("%p%"));
            m_status->setText(QStringLiteral("Download cancelled; %1 was left as it was.").arg(m_target));
            return;
        }
        const qint64 size = QFileInfo(m_target).size();
        m_bar->setValue(100);
        m_bar->setFormat(QStringLiteral("%1 (%p%)").arg(Megabytes(size)));
        m_status->setText(QStringLiteral("Saved %1 (%2 bytes).").arg(m_target).arg(size));
        Q_EMIT statusText(QStringLiteral("Downloaded %1").arg(m_target));
    } catch (const CLogwardenException& e) {
        m_bar->setValue(0);
        m_bar->setFormat(QStringLiteral("%p%"));
        const auto* d = dynamic_cast<const CDownloadException*>(&e);
        m_status->setText(d ? d->Detail() : e.Message());
        if (!cancelled)
            Message(e.Message(), !d || (d->GetKind() != CDownloadException::ConnectFailed &&
                                        d->GetKind() != CDownloadException::NotFound));
    }
}

void CDownloadDlg::Message(const QString& text, bool error)
{
    // Window-modal but not blocking: the download dialog and the main window keep running.
    Prompt::Notify(this, error ? Prompt::Kind::Error : Prompt::Kind::Warning, text, windowTitle());
}

void CDownloadDlg::accept()
{
    if (IsDownloading())
        return;
    QDialog::accept();
    Q_EMIT closed(1);
}

void CDownloadDlg::reject()
{
    // Cancel also stops a running download; it winds down in the background.
    m_job->Cancel();
    QDialog::reject();
    Q_EMIT closed(2);
}
