#pragma once

#include <QObject>

class CClubServer;
class CMainFrame;
class CNetLogPublisher;
class CPreNetPanel;
class CWebTask;
class QPushButton;
class CWebResponse;

// The club's web exchange in the window: the "Upload: " bar (net-log page), the pre-net check-ins and the
// EchoLink listing beside the calendar, and "&Send Net Report" under it. Every exchange runs in the
// background with its progress in the status bar; a server that asks for a password gets it from a dialog.
class CWebModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    explicit CWebModule(CMainFrame& frame);
    ~CWebModule() override;

    CNetLogPublisher& Publisher() const { return *m_publisher; }
    CPreNetPanel& PreNet() const { return *m_preNet; }
    CClubServer& Club() const { return *m_club; }
    QPushButton* ReportButton() const { return m_reportButton; }

    // "&Send Net Report": the dialog; on "Send" the values go into the settings, then to the server.
    void OnSendNetReport();

Q_SIGNALS:
    void reportFinished(bool ok);

private:
    void OnReportSent(const CWebResponse& response);

    CMainFrame& m_frame;
    CClubServer* m_club = nullptr;
    CNetLogPublisher* m_publisher = nullptr;
    CPreNetPanel* m_preNet = nullptr;
    QPushButton* m_reportButton = nullptr;
    CWebTask* m_reportTask = nullptr;
};
