#include "gui/web/NetLogPublisher.h"

#include "core/app/Clock.h"
#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/web/NetLogUploader.h"
#include "core/web/PreNet.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/web/CredentialsDlg.h"
#include "gui/web/WebTask.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <utility>

CNetLogPublisher::CNetLogPublisher(CMainFrame& frame)
    : QObject(&frame), m_frame(frame), m_doc(frame.Document())
{
    setObjectName(QStringLiteral("netLogPublisher"));
    m_uploader = new CNetLogUploader(m_doc.GetLogPath(), m_doc.Settings().DataFolder(), m_doc.Clock(), this);

    // Beside the "FCC DB: " bar, as a bar of its own that can be moved or hidden with the others.
    m_bar = new QToolBar(QStringLiteral("Upload"), &frame);
    m_bar->setObjectName(QStringLiteral("uploadBar"));
    m_bar->addWidget(new QLabel(QStringLiteral("Upload: "), m_bar));
    m_ostra = new QPushButton(QStringLiteral("OSTRA"), m_bar);
    m_ostra->setObjectName(QStringLiteral("ostraButton"));
    m_ostra->setFocusPolicy(Qt::TabFocus);
    m_ostra->setToolTip(QStringLiteral("Publish the selected day's net log on the club's web server"));
    m_bar->addWidget(m_ostra);
    m_autoMode = new QCheckBox(QStringLiteral("Auto Mode"), m_bar);
    m_autoMode->setObjectName(QStringLiteral("autoModeBox"));
    m_autoMode->setFocusPolicy(Qt::TabFocus);
    m_autoMode->setToolTip(QStringLiteral("Publish the net log again after every check-in"));
    m_bar->addWidget(m_autoMode);
    m_reverse = new QCheckBox(QStringLiteral("Reverse"), m_bar);
    m_reverse->setObjectName(QStringLiteral("reverseBox"));
    m_reverse->setFocusPolicy(Qt::TabFocus);
    m_reverse->setToolTip(QStringLiteral("List the newest check-in first"));
    m_bar->addWidget(m_reverse);
    // Both as they were when the program last ran: a restart in the middle of a net goes on publishing.
    CSettings& settings = m_doc.Settings();
    m_autoMode->setChecked(settings.Get(Setting::NetLogAutoMode));
    m_reverse->setChecked(settings.Get(Setting::NetLogReverse));
    for (auto [box, setting] :
         {std::pair{m_autoMode, &Setting::NetLogAutoMode}, std::pair{m_reverse, &Setting::NetLogReverse}}) {
        connect(box, &QCheckBox::toggled, this, [this, setting = setting](bool on) {
            CSettings& s = m_doc.Settings();
            s.Set(*setting, on);
            s.Sync(); // a crash a minute later must not forget it
        });
    }
    m_lastUpload = new QLabel(m_bar);
    m_lastUpload->setObjectName(QStringLiteral("lastUpload"));
    m_lastUpload->setContentsMargins(6, 0, 2, 0);
    m_lastUpload->setToolTip(QStringLiteral("Not uploaded yet"));
    m_bar->addWidget(m_lastUpload);
    frame.AddCommandBar(m_bar);

    m_task = new CWebTask(frame.Progress(), m_uploader->Worker(), QStringLiteral("uploadProgress"),
                          QStringLiteral("Uploading the net log"), this);
    CCredentialsDlg::Connect(m_uploader->Worker(), &frame);
    connect(m_ostra, &QPushButton::clicked, this, &CNetLogPublisher::OnOstra);
    connect(m_uploader, &CNetLogUploader::uploadStarted, this, &CNetLogPublisher::OnStarted);
    connect(m_uploader, &CNetLogUploader::uploadFinished, this, &CNetLogPublisher::OnFinished);

    // The log's one writer says what changed; every change of a day's check-ins changes its page.
    CCheckinStore& store = m_doc.Store();
    connect(&store, &CCheckinStore::checkinAdded, this, [this](const CCheckinRecord& r) {
        OnLogChanged(r.date.IsValid() ? r.date.Date() : m_doc.Form().Day());
    });
    connect(&store, &CCheckinStore::checkinChanged, this, [this](const CCheckinRecord& r) {
        OnLogChanged(r.date.IsValid() ? r.date.Date() : m_doc.Form().Day());
    });
    connect(&store, &CCheckinStore::checkinsRemoved, this, [this] {
        // The form has followed the removal already; a day left empty has no page to publish.
        if (m_doc.Form().RowCount() > 0)
            OnLogChanged(m_doc.Form().Day());
    });
}

CNetLogPublisher::~CNetLogPublisher() = default;

bool CNetLogPublisher::IsAutoMode() const
{
    return m_autoMode->isChecked();
}

void CNetLogPublisher::OnOstra()
{
    m_manualPending = true;
    Request(m_doc.Form().Day());
}

void CNetLogPublisher::OnLogChanged(const QDate& day)
{
    if (IsAutoMode())
        Request(day);
}

void CNetLogPublisher::Request(const QDate& day)
{
    // The server and time-outs as they are set now; the settings are read here, on the window's thread.
    CSettings& settings = m_doc.Settings();
    // The upload server of its own, else the club's server of the pre-net box; never one nobody chose.
    QString server = PreNet::ClubServerSetting(settings.Get(Setting::NetLogServer));
    if (server.isEmpty())
        server = PreNet::ClubServerSetting(settings.Get(Setting::PreNetServer));
    if (server.isEmpty()) {
        const bool manual = m_manualPending;
        m_manualPending = false;
        m_frame.SetStatusText(PreNet::kSetServerFirst);
        if (manual || !m_toldNoServer) {
            m_toldNoServer = true;
            Q_EMIT serverMissing();
            Prompt::Notify(&m_frame, Prompt::Kind::Warning, PreNet::kSetServerFirst);
        }
        return;
    }
    m_toldNoServer = false;
    m_uploader->SetServer(server);
    m_uploader->SetOptions(CWebOptions::FromSettings(settings));
    m_uploader->SetNet(CNetDetails::FromSettings(settings));
    m_uploader->RequestUpload(day, m_reverse->isChecked());
}

void CNetLogPublisher::OnStarted()
{
    m_manualRunning = m_manualPending;
    m_manualPending = false;
    m_task->Begin();
}

void CNetLogPublisher::OnFinished(const CNetLogUpload& upload)
{
    m_task->End();
    const bool manual = m_manualRunning;
    m_manualRunning = false;
    const NetLog::CResult& r = upload.result;
    const QDateTime last = m_uploader->LastGoodUpload();
    if (last.isValid()) {
        m_lastUpload->setText(QStringLiteral("Last: %1").arg(last.toString(QStringLiteral("HH:mm:ss"))));
        m_lastUpload->setToolTip(QStringLiteral("Last good upload: %1 (%2 check-ins)")
                                     .arg(last.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                     .arg(r.ok ? r.rows : 0));
    }
    if (r.ok) {
        m_lastUpload->setStyleSheet(QString());
        m_frame.SetStatusText(r.response.TookText());
    } else {
        // Red until an upload goes through again; the text says which one was the last good one.
        m_lastUpload->setStyleSheet(QStringLiteral("color: #c00000;"));
        if (!last.isValid())
            m_lastUpload->setText(QStringLiteral("Failed"));
        m_lastUpload->setToolTip(r.message);
        m_frame.SetStatusText(r.message);
        // In auto mode a failing server says so once, not after every check-in; "OSTRA" always answers.
        if (manual || upload.firstFailureOfRun)
            Prompt::Notify(&m_frame, Prompt::Kind::Warning, r.message);
    }
    Q_EMIT uploadFinished(r.ok);
}
