#include "gui/fcc/FccUpdateModule.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/fcc/FccDbState.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/UlsArchive.h"
#include "core/jobs/BackgroundJob.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"

#include <QTimer>

void CFccUpdateModule::Install(CMainFrame& frame)
{
    auto* module = new CFccUpdateModule(frame, frame.Document().Settings());
    // Once the window is up: the check reads the database and may start the update.
    QTimer::singleShot(0, module, &CFccUpdateModule::UpdateIfBehind);
}

CFccUpdateModule::CFccUpdateModule(CMainFrame& frame, CSettings& settings)
    : QObject(&frame), m_frame(frame), m_settings(settings)
{
    setObjectName(QStringLiteral("fccUpdateModule"));
    m_job = new CBackgroundJob(this);
    connect(m_job, &CBackgroundJob::progress, this, &CFccUpdateModule::OnProgress);
    connect(m_job, &CBackgroundJob::finished, this, &CFccUpdateModule::OnFinished);

    const CCommands& c = frame.Commands();
    connect(c.fccUpdate, &QAction::triggered, this, &CFccUpdateModule::OnUpdate);
    c.fccUpdate->setEnabled(true);
    c.fccUpdateAtStart->setChecked(settings.Get(Setting::FccUpdateAtStart));
    c.fccUpdateAtStart->setEnabled(true);
    connect(c.fccUpdateAtStart, &QAction::toggled, this,
            [this](bool on) { m_settings.Set(Setting::FccUpdateAtStart, on); });
}

bool CFccUpdateModule::IsUpdating() const
{
    return m_job->IsRunning();
}

void CFccUpdateModule::OnUpdate()
{
    Start(true);
}

void CFccUpdateModule::UpdateIfBehind()
{
    if (!m_settings.Get(Setting::FccUpdateAtStart) || IsUpdating())
        return;
    const CFccDbState state = FccDbState::ReadFile(FccDatabasePath(m_settings));
    if (state.IsBehind(m_frame.Document().Clock().Today()))
        Start(false);
}

void CFccUpdateModule::Start(bool asked)
{
    if (IsUpdating())
        return;
    m_asked = asked;
    // What the work needs from the settings is read here, on the window's thread.
    UlsDaily::CUpdateOptions options;
    options.dbPath = FccDatabasePath(m_settings);
    options.folder = UlsArchive::StorageFolder(m_settings);
    options.urlBase = UlsDaily::UrlBase(m_settings);
    options.download = UlsArchive::DownloadOptions(m_settings);
    // Today's file is made tomorrow morning.
    options.lastDay = m_frame.Document().Clock().Today().addDays(-1);
    auto result = std::make_shared<UlsDaily::CUpdateResult>();
    m_result = result;
    m_frame.Commands().fccUpdate->setEnabled(false);
    m_frame.SetStatusText(QStringLiteral("Updating the FCC licence database ..."));
    m_task = m_frame.Progress().Begin(QStringLiteral("fccUpdateProgress"), QStringLiteral("FCC update"),
                                      [job = m_job] { job->Cancel(); });
    m_task->SetPercent(-1);
    m_job->Start(
        [options, result](CBackgroundJob& job) { *result = UlsDaily::Update(options, &job.Progress()); });
}

void CFccUpdateModule::OnProgress(qint64 done, qint64 total)
{
    if (!m_task)
        return;
    const QString stage = m_job->Progress().Stage();
    if (!stage.isEmpty())
        m_task->SetText(stage);
    m_task->SetPercent(total > 0 ? int(done * 100 / total) : -1);
}

void CFccUpdateModule::OnFinished()
{
    m_frame.Commands().fccUpdate->setEnabled(true);
    if (m_task)
        m_task->Finish();
    try {
        m_job->RethrowError();
    } catch (const CLogwardenException& e) {
        const QString text = QStringLiteral("The FCC licence database was not updated: %1").arg(e.Message());
        m_frame.SetStatusText(text);
        if (m_asked)
            Prompt::Notify(&m_frame, Prompt::Kind::Error, text);
        Q_EMIT updateFinished();
        return;
    }
    const UlsDaily::CUpdateResult& r = *m_result;
    m_frame.SetStatusText(r.message);
    if (r.outcome == UlsDaily::CUpdateResult::Outcome::NeedsRebuild)
        Prompt::Notify(&m_frame, Prompt::Kind::Warning, r.message);
    Q_EMIT updateFinished();
}
