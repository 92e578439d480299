#include "gui/qrz/QrzDbModule.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/jobs/BackgroundJob.h"
#include "core/qrz/QrzArchive.h"
#include "core/web/WebRequest.h"
#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/fcc/FccDbInfoDlg.h"
#include "gui/qrz/QrzAccountDlg.h"
#include "gui/widgets/ProgressPane.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>

CQrzDbModule::CQrzDbModule(CMainFrame& frame, CQrzAccounts& accounts)
    : QObject(&frame), m_frame(frame), m_accounts(accounts)
{
    setObjectName(QStringLiteral("qrzDbModule"));

    CCommands& c = frame.Commands();
    for (QAction* status : {c.fccCheck, c.fccDbStatus}) {
        connect(status, &QAction::triggered, this, &CQrzDbModule::OnFccStatus);
        status->setEnabled(true);
    }

    m_bar = new QToolBar(QStringLiteral("QRZ DB"), &frame);
    m_bar->setObjectName(QStringLiteral("qrzCommandBar"));
    m_bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_bar->addWidget(new QLabel(QStringLiteral("QRZ DB: "), m_bar));
    const auto action = [this](const QString& text, const char* name, const QString& tip) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setStatusTip(tip);
        a->setToolTip(tip);
        m_bar->addAction(a);
        return a;
    };
    m_check = action(QStringLiteral("Check"), "qrzCheck",
                     QStringLiteral("Fetch QRZ's CSV archive into the data folder"));
    QAction* download =
        action(QStringLiteral("DLoad"), "qrzDownload", QStringLiteral("\"Check\" fetches QRZ's archive"));
    QAction* extract = action(QStringLiteral("Extract"), "qrzExtract",
                              QStringLiteral("Take the CSV file out of QRZ's archive with an unzip tool"));
    m_compile = action(QStringLiteral("Compile"), "qrzCompile",
                       QStringLiteral("Build the QRZ database QRZ97.db from QRZ's CSV file"));
    // No action of their own: offered, but never as a button that does nothing.
    download->setEnabled(false);
    extract->setEnabled(false);
    connect(m_check, &QAction::triggered, this, &CQrzDbModule::OnQrzStatus);
    connect(m_compile, &QAction::triggered, this, &CQrzDbModule::OnCompile);
    frame.AddCommandBar(m_bar);

    m_compileJob = new CBackgroundJob(this);
    connect(m_compileJob, &CBackgroundJob::progress, this, [this](qint64 done, qint64 total) {
        if (m_compileTask && total > 0)
            m_compileTask->SetPercent(int(done * 100 / total));
    });
    connect(m_compileJob, &CBackgroundJob::finished, this, &CQrzDbModule::OnCompileFinished);

    m_archiveJob = new CBackgroundJob(this);
    connect(m_archiveJob, &CBackgroundJob::progress, this, [this](qint64 done, qint64 total) {
        if (m_archiveTask)
            m_archiveTask->SetPercent(total > 0 ? int(done * 100 / total) : -1);
    });
    connect(m_archiveJob, &CBackgroundJob::finished, this, &CQrzDbModule::OnArchiveFinished);
}

CQrzDbModule::~CQrzDbModule() = default;

bool CQrzDbModule::IsCompiling() const
{
    return m_compileJob->IsRunning();
}

bool CQrzDbModule::IsFetchingArchive() const
{
    return m_archiveJob->IsRunning();
}

// --- Status ----------------------------------------------------------------------------------------------

void CQrzDbModule::OnFccStatus()
{
    CFCCDbInfoDlg dlg(m_frame.Settings(), &m_frame);
    Prompt::Run(dlg);
}

void CQrzDbModule::OnQrzStatus()
{
    CFCCDbInfoDlg dlg(m_frame.Settings(), &m_frame);
    dlg.Info().SetQrzForm();
    dlg.SetQrzCheck([this](CFCCDbInfoDlg& d) { FetchArchive(d); });
    m_archiveDlg = &dlg;
    if (IsFetchingArchive()) {
        dlg.SetChecking(true);
        dlg.ShowReason(QStringLiteral("Fetching QRZ's archive ..."));
    }
    Prompt::Run(dlg);
}

void CQrzDbModule::FetchArchive(CFCCDbInfoDlg& dlg)
{
    if (IsFetchingArchive() || dlg.IsChecking())
        return;
    // Busy from here on: the keyring may have to be read first.
    dlg.SetChecking(true);
    QPointer<CFCCDbInfoDlg> target(&dlg);
    m_accounts.Ensure(&dlg, [this, target](const std::optional<CQRZAccount>& account) {
        if (!target)
            return;
        if (!account) {
            target->SetChecking(false);
            target->ShowReason(QStringLiteral("No QRZ account: nothing was fetched."));
            return;
        }
        StartArchive(*target, *account);
    });
}

void CQrzDbModule::StartArchive(CFCCDbInfoDlg& dlg, const CQRZAccount& account)
{
    CSettings& settings = m_frame.Settings();
    const QString host = settings.Get(Setting::QrzWebHost);
    const QString folder = settings.DataFolder();
    const int connectTimeoutMs = CWebOptions::FromSettings(settings).connectTimeoutMs;
    m_archiveMessage = std::make_shared<QString>();
    dlg.SetChecking(true);
    dlg.ShowReason(QStringLiteral("Fetching QRZ's archive ..."));
    m_archiveTask =
        m_frame.Progress().Begin(QStringLiteral("qrzArchiveProgress"), QStringLiteral("QRZ archive"),
                                 [job = m_archiveJob] { job->Cancel(); });
    m_archiveJob->Start(
        [message = m_archiveMessage, host, folder, account, connectTimeoutMs](CBackgroundJob& job) {
            *message = QrzArchive::Download(host, account.userName, account.password, folder, &job.Progress(),
                                            nullptr, connectTimeoutMs);
        });
}

void CQrzDbModule::OnArchiveFinished()
{
    if (m_archiveTask)
        m_archiveTask->Finish();
    QString message = *m_archiveMessage;
    try {
        m_archiveJob->RethrowError();
    } catch (const CLogwardenException& e) {
        message = e.Message();
    }
    m_frame.SetStatusText(message);
    if (m_archiveDlg) {
        m_archiveDlg->SetChecking(false);
        m_archiveDlg->ShowReason(message);
    }
    Q_EMIT archiveFinished();
}

// --- Compile ---------------------------------------------------------------------------------------------

void CQrzDbModule::OnCompile()
{
    if (IsCompiling()) {
        m_frame.SetStatusText(
            QStringLiteral("%1 is being compiled; Cancel it in the status bar first.").arg(m_compileOutput));
        return;
    }
    if (m_csvFolder.isEmpty())
        m_csvFolder = m_frame.Settings().DataFolder();
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Open");
    request.folder = m_csvFolder;
    request.filters = {QStringLiteral("All csv files (*.csv)"), QStringLiteral("All files (*)")};
    request.defaultSuffix = QStringLiteral("csv");
    const QString csv = Prompt::OpenFileName(&m_frame, request);
    if (csv.isEmpty())
        return;
    m_csvFolder = QFileInfo(csv).absolutePath();
    const QString output = CQRZCDb::OutputPathFor(csv);
    if (QFileInfo::exists(output) && !Prompt::Ask(&m_frame, CQRZCDb::OverwriteQuestion(output)))
        return;
    Compile(csv, output);
}

void CQrzDbModule::Compile(const QString& csvPath, const QString& outputPath)
{
    if (IsCompiling())
        return;
    m_compileOutput = outputPath;
    m_compileResult = std::make_shared<CQRZCDb::CResult>();
    m_compile->setEnabled(false);
    m_frame.SetStatusText(QStringLiteral("Compiling %1 from %2 ...").arg(outputPath, csvPath));
    m_compileTask = m_frame.Progress().Begin(QStringLiteral("qrzCompileProgress"), QStringLiteral("QRZ97.db"),
                                             [job = m_compileJob] { job->Cancel(); });
    m_compileJob->Start([result = m_compileResult, csvPath, outputPath](CBackgroundJob& job) {
        CQRZCDb compiler(csvPath, outputPath);
        compiler.SetProgress(&job.Progress());
        *result = compiler.Compile();
    });
}

void CQrzDbModule::OnCompileFinished()
{
    m_compile->setEnabled(true);
    if (m_compileTask)
        m_compileTask->Finish();
    try {
        m_compileJob->RethrowError();
    } catch (const CLogwardenException& e) {
        m_frame.SetStatusText(QStringLiteral("%1 was left as it was.").arg(m_compileOutput));
        Prompt::Notify(&m_frame, Prompt::Kind::Error,
                       QStringLiteral("%1\n%2 was left as it was.").arg(e.Message(), m_compileOutput));
        Q_EMIT compileFinished();
        return;
    }
    if (m_compileResult->cancelled)
        m_frame.SetStatusText(
            QStringLiteral("Compile Cancelled; %1 was left as it was.").arg(m_compileOutput));
    else
        m_frame.SetStatusText(
            QStringLiteral("%1: %2").arg(m_compileOutput, CQRZCDb::ResultText(*m_compileResult)));
    Q_EMIT compileFinished();
}
