#pragma once

#include <QDate>
#include <QStringList>
#include <QWidget>
#include <memory>

class CBackgroundJob;
class CMainFrame;
class CProgressTask;
class CSessionRecorder;
class QProgressBar;
class QPushButton;

// The session recorder's controls: the "Off"/"On" button and, while recording, the elapsed time over
// the input level. A recording streams into the data folder's Recordings folder as it is captured; when
// it stops (the button, a lost device, a full disk, the window closing) the operator chooses where it
// goes, and a recording that is not moved stays where it is, with a message saying so. A recording a
// crash left behind is offered the same way at the next start.
class CRecorderPanel : public QWidget
{
    Q_OBJECT
public:
    CRecorderPanel(CMainFrame& frame, QWidget* parent = nullptr);
    ~CRecorderPanel() override;

    QPushButton* Button() const { return m_button; }
    QProgressBar* LevelBar() const { return m_level; }
    CSessionRecorder& Recorder() const { return *m_recorder; }
    bool IsRecording() const;
    // A stopped recording is being offered or saved.
    bool IsSaving() const { return m_saving; }

    // The button: starts recording, or stops and offers the recording for saving.
    void OnRecordToggle();
    // The window is closing: a recording is stopped, finished and offered for saving. False while an
    // earlier recording is still being saved: the window closes once that is done.
    bool OnClosing();
    // Offers the recordings a run that ended while recording left behind.
    void OfferLeftOver();

private:
    // A recording to be dealt with.
    struct CTake
    {
        QStringList files;
        QString marker;
        QDate day;                 // of the net, for the name offered
        bool fromRecorder = false; // the recorder's own last recording (else one found at start)
    };

    void Start();
    void Stop();
    void OnProgress(qint64 frames, int level);
    void OnEnded(const QString& error);
    void ShowState(bool recording);
    CTake LastTake() const;
    void NextLeftOver();
    void OfferToSave(CTake take);
    // The save dialog (again after a failed move, offering the name chosen then).
    void AskWhere(CTake take, QString proposal);
    QString Proposal(const CTake& take) const;
    void StartMove(CTake take, const QString& target);
    void OnMoved();
    // The move's end: true when saved (and dealt with); else take holds where its parts now are.
    bool TakeMoveResult(CTake& take);
    void FinishSaving();
    void KeepWhereItIs(const CTake& take);
    void DealtWith(const CTake& take);

    CMainFrame& m_frame;
    CSessionRecorder* m_recorder = nullptr;
    QPushButton* m_button = nullptr;
    QProgressBar* m_level = nullptr;
    QDate m_day;
    bool m_saving = false;
    bool m_closePending = false;
    QList<QPair<CTake, QString>> m_leftOver; // found at start, with their question, not yet offered

    // What the worker hands back; shared, so that neither side outlives it.
    struct CMoveResult
    {
        QStringList moved;
        bool ok = false;
        QString error;
    };
    std::unique_ptr<CBackgroundJob> m_move;
    std::shared_ptr<CMoveResult> m_moveResult;
    CTake m_moving;
    QString m_moveTarget;
    QString m_moveError;
    CProgressTask* m_moveTask = nullptr;
};
