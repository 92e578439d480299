#pragma once

#include <QDate>
#include <QObject>

struct CCheckinRecord;
class CLogwardenDoc;
class CMainFrame;
class CNetLogUploader;
class CWebTask;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolBar;
struct CNetLogUpload;

// The "Upload: " bar: "OSTRA" publishes the selected day's net log on the club's server, "Auto Mode"
// publishes it again after every change of the log (a check-in added by F5 or by the pre-net move, a
// correction, a deletion), "Reverse" lists the newest check-in first. Uploads run in the background, one at
// a time, the newest state always following; the bar shows when the last one went through.
class CNetLogPublisher : public QObject
{
    Q_OBJECT
public:
    explicit CNetLogPublisher(CMainFrame& frame);
    ~CNetLogPublisher() override;

    QToolBar* Bar() const { return m_bar; }
    QPushButton* OstraButton() const { return m_ostra; }
    QCheckBox* AutoModeBox() const { return m_autoMode; }
    QCheckBox* ReverseBox() const { return m_reverse; }
    QLabel* LastUploadLabel() const { return m_lastUpload; }
    CNetLogUploader& Uploader() const { return *m_uploader; }
    bool IsAutoMode() const;

    // "OSTRA": the selected day, now (or right after the upload that runs).
    void OnOstra();

Q_SIGNALS:
    // An upload ended (for whoever waits for it).
    void uploadFinished(bool ok);
    // "OSTRA" found no club server set: show the operator where it goes.
    void serverMissing();

private:
    void Request(const QDate& day);
    void OnLogChanged(const QDate& day);
    void OnStarted();
    void OnFinished(const CNetLogUpload& upload);

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    QToolBar* m_bar = nullptr;
    QPushButton* m_ostra = nullptr;
    QCheckBox* m_autoMode = nullptr;
    QCheckBox* m_reverse = nullptr;
    QLabel* m_lastUpload = nullptr;
    CNetLogUploader* m_uploader = nullptr;
    CWebTask* m_task = nullptr;
    // The operator asked with "OSTRA" for the upload that is waiting / running: its failure is always shown.
    bool m_manualPending = false;
    bool m_manualRunning = false;
    // "Set the club's server first" was said in auto mode: said once, not after every check-in.
    bool m_toldNoServer = false;
};
