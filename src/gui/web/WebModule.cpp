#include "gui/web/WebModule.h"

#include "core/app/Clock.h"
#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/web/ClubServer.h"
#include "core/web/NetLogUploader.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/LogwardenView.h"
#include "gui/web/CredentialsDlg.h"
#include "gui/web/NetLogPublisher.h"
#include "gui/web/NetReportDlg.h"
#include "gui/web/PreNetPanel.h"
#include "gui/web/WebTask.h"

#include <QBoxLayout>
#include <QPushButton>

void CWebModule::Install(CMainFrame& frame)
{
    new CWebModule(frame);
}

CWebModule::CWebModule(CMainFrame& frame) : QObject(&frame), m_frame(frame)
{
    setObjectName(QStringLiteral("webModule"));
    CLogwardenView& view = *frame.FormView();
    m_club = new CClubServer(this);
    for (CWebWorker* w : {&m_club->PreNetWorker(), &m_club->EchoLinkWorker(), &m_club->ReportWorker()})
        CCredentialsDlg::Connect(*w, &frame);

    m_publisher = new CNetLogPublisher(frame);
    // One run's credentials for every exchange, each kept for the server that asked.
    m_publisher->Uploader().SetCredentialCache(m_club->Credentials());
    m_preNet = new CPreNetPanel(frame, *m_club, &view);
    connect(m_publisher, &CNetLogPublisher::serverMissing, m_preNet, &CPreNetPanel::FocusServerBox);
    view.AddCalendarPage(m_preNet, QStringLiteral("Pre Net"));
    view.AddCalendarPage(m_preNet->EchoLinkPage(), QStringLiteral("EchoLink"));

    m_reportButton = new QPushButton(QStringLiteral("&Send Net Report"), &view);
    m_reportButton->setObjectName(QStringLiteral("sendNetReportButton"));
    m_reportButton->setAutoDefault(false);
    m_reportButton->setFocusPolicy(Qt::TabFocus);
    view.SlotLayout(CLogwardenView::Slot::NetButtons)->addWidget(m_reportButton);
    m_reportTask = new CWebTask(frame.Progress(), m_club->ReportWorker(), QStringLiteral("reportProgress"),
                                QStringLiteral("Sending the net report"), this);
    connect(m_reportButton, &QPushButton::clicked, this, &CWebModule::OnSendNetReport);
    connect(m_club, &CClubServer::reportSent, this, &CWebModule::OnReportSent);
}

CWebModule::~CWebModule() = default;

void CWebModule::OnSendNetReport()
{
    CLogwardenDoc& doc = m_frame.Document();
    CSettings& settings = doc.Settings();
    if (m_club->ReportWorker().IsBusy()) {
        m_frame.SetStatusText(QStringLiteral("The net report is still being sent."));
        return;
    }
    if (m_preNet->ClubServer(true).isEmpty())
        return;
    // The selected day's net: its check-ins and traffic as the log holds them.
    const CCheckinForm& form = doc.Form();
    const CNetDetails net = CNetDetails::FromSettings(settings);
    CNetReportDlg dlg(NetReport::Initial(settings, form.Day(), form.Rows()),
                      QStringLiteral("%1 on %2").arg(net.netName, net.frequency), &m_frame);
    if (Prompt::Run(dlg) != QDialog::Accepted)
        return;
    const CNetReport report = dlg.Report();
    NetReport::Store(settings, report);
    // The server of the pre-net box, as it stands now.
    const QString server = m_preNet->ClubServer(true);
    if (server.isEmpty())
        return;
    m_club->SetServer(server);
    m_club->SetOptions(CWebOptions::FromSettings(settings));
    if (m_club->SendReport(report))
        m_reportTask->Begin();
}

void CWebModule::OnReportSent(const CWebResponse& response)
{
    m_reportTask->End();
    if (response.IsSuccess()) {
        m_frame.SetStatusText(QStringLiteral("Net report sent"));
    } else {
        const QString text = QStringLiteral("Net report not sent: %1").arg(response.FailureText());
        m_frame.SetStatusText(text);
        Prompt::Notify(&m_frame, Prompt::Kind::Warning, text);
    }
    Q_EMIT reportFinished(response.IsSuccess());
}
