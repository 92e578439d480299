#pragma once

#include "core/web/PreNet.h"

#include <QTime>
#include <QWidget>
#include <vector>

class CClubServer;
class CLogwardenDoc;
class CLogwardenView;
class CMainFrame;
class CWebTask;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTimer;
struct CCheckinRecord;
struct CEchoLinkFetch;
struct CPreNetFetch;

// In tabs beside the calendar: the stations that checked in early on the club's web form ("Pre Net Check
// Ins:", with "Ack" ticked for those already in the day's log) and the stations connected through EchoLink.
// "&Pre Net Refresh" fetches the first list, "Refresh Every" the second every few seconds; "Move all
// pre-checkins to log book" logs every pre-net station not logged yet; a double click loads a station into
// the form. The club's server is the box under the caption (saved as it is typed). Every exchange runs in
// the background.
class CPreNetPanel : public QWidget
{
    Q_OBJECT
public:
    CPreNetPanel(CMainFrame& frame, CClubServer& club, QWidget* parent = nullptr);
    ~CPreNetPanel() override;

    // "&Pre Net Refresh". Nothing when a refresh is already running: that one brings the news.
    void RefreshPreNet();
    // One tick of the "Refresh Every" timer. Nothing when the previous refresh still runs.
    void RefreshEchoLink();
    // The "Refresh Every" box or its seconds changed: the timer follows (a period of 0 starts none).
    void OnRefreshEvery();
    // Logs every pre-net station not in the selected day's log yet; returns how many were logged.
    int MovePreNetToLog();
    void OnPreNetDoubleClick(int row);
    void OnEchoLinkDoubleClick();

    // The EchoLink listing's page (this widget is the pre-net check-ins' page).
    QWidget* EchoLinkPage() const { return m_echoPage; }
    const std::vector<CPreNetEntry>& Entries() const { return m_entries; }
    QLineEdit* ServerBox() const { return m_server; }
    QTableWidget* PreNetList() const { return m_preNetList; }
    QListWidget* EchoLinkList() const { return m_echoLinkList; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QPushButton* MoveButton() const { return m_move; }
    QCheckBox* RefreshEveryBox() const { return m_refreshEvery; }
    QLineEdit* SecondsBox() const { return m_seconds; }
    QTimer* EchoLinkTimer() const { return m_timer; }
    // The EchoLink list shows what an earlier refresh brought: the last one failed.
    bool IsEchoLinkStale() const { return m_echoStale; }
    // Brings the club's server box into view and gives it the focus (nothing can be fetched without it).
    void FocusServerBox();
    // The club's server as set now, read again from the settings (the box follows); empty when none is
    // set, after saying so in the status bar (and, with ask, in a message box and by focusing the box).
    QString ClubServer(bool ask);

Q_SIGNALS:
    // A refresh ended and its list (or message) is shown.
    void preNetShown();
    void echoLinkShown();

private:
    // False (after saying why) when no server is set.
    bool PrepareExchange(bool ask);
    void OnPreNetFetched(const CPreNetFetch& fetch);
    void OnEchoLinkFetched(const CEchoLinkFetch& fetch);
    void ShowPreNet();
    // The "Ack" marks against the day's calls, read again from the log.
    void Remark();
    void OnCheckinAdded(const CCheckinRecord& record);
    void ShowMarks();
    void Status(const QString& text);

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    CLogwardenView& m_view;
    CClubServer& m_club;
    QLineEdit* m_server = nullptr;
    QTableWidget* m_preNetList = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_move = nullptr;
    QWidget* m_echoPage = nullptr;
    QListWidget* m_echoLinkList = nullptr;
    QCheckBox* m_refreshEvery = nullptr;
    QLineEdit* m_seconds = nullptr;
    QTimer* m_timer = nullptr;
    CWebTask* m_task = nullptr;
    std::vector<CPreNetEntry> m_entries;
    bool m_echoStale = false;
    QTime m_echoStaleSince;
    CCallSet m_dayCalls; // the calls of the form's day
};
