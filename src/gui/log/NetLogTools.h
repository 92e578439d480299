#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class CLogwardenDoc;
class CLogwardenView;
class CMainFrame;
class CNetDayPanel;
class CNetpreambleDlg;
class CProgressTask;
class CRecordPurgeDlg;
class QPushButton;

// The net log's tools around the check-in form: the call-sign history ("&History", double click in the
// day list), the text export of the day and of the whole log, the purge dialog, emptying the log, the
// net preamble, and the net-day panel with the NCS label and the transmitter toggle.
class CNetLogTools : public QObject
{
    Q_OBJECT
public:
    explicit CNetLogTools(CMainFrame& frame);
    ~CNetLogTools() override;

    void OnHistory();
    void ShowHistory(const QString& callSign);
    // The selected day's check-ins, or (wholeLog) every check-in, to a text file the operator chooses.
    void OnExport(bool wholeLog);
    void Export(bool wholeLog, const QString& path);
    void OnPurge();
    void OnEmptyDatabase();
    void OnCompactionFinished(const QString& error);
    void OnShowPreamble();

    CNetDayPanel* NetDay() const { return m_netDay; }
    QPushButton* HistoryButton() const { return m_history; }
    CRecordPurgeDlg* PurgeDialog() const;
    CNetpreambleDlg* PreambleDialog() const { return m_preamble.get(); }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Status(const QString& text);
    void ReportError(const QString& message);

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    CLogwardenView& m_form;
    QPushButton* m_history = nullptr;
    CNetDayPanel* m_netDay = nullptr;
    QPointer<CRecordPurgeDlg> m_purge;
    QPointer<CProgressTask> m_compactTask; // while the emptied log is compacted
    std::unique_ptr<CNetpreambleDlg> m_preamble;
    QString m_exportFolder;
    bool m_historyKeyPending = false;
};

// Installs the tools into the main window and enables their commands.
void InstallNetLogTools(CMainFrame& frame);
