#pragma once

#include <QDate>
#include <QObject>
#include <QSet>

class CLogwardenDoc;
class CLogwardenView;
class CMainFrame;
class CRegularsPanel;
class QDockWidget;
class QTextBrowser;
class QTimer;

// What the net-control operator uses beside the log while the net runs: the regulars not yet heard (a
// page beside the calendar), the net's start and end stamps with the summary at the end, undo of the
// last deletions, corrections and pre-net moves, the days with a log marked in the calendar and the day
// tree, and the net's script docked beside the form.
class CNetAidsModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);
    explicit CNetAidsModule(CMainFrame& frame);

    CRegularsPanel* Regulars() const { return m_regulars; }
    QDockWidget* ScriptDock() const { return m_dock; }
    QTextBrowser* ScriptText() const { return m_script; }

    // Ctrl+F5 and Ctrl+F6. Stamping again asks first; false when nothing was stamped.
    bool OnStartNet();
    bool OnEndNet();
    // Ctrl+Z: the focused text box's own undo while it has one, else the last action on the log after
    // the operator confirmed it.
    void OnUndo();
    // View > Net Statistics: the year up to the selected day.
    void OnStatistics();
    // The days with a log, shown bold in the calendar's month and the day tree.
    void MarkNetDays();
    // Loads the script with the day's values.
    void LoadScript();

private:
    bool Stamp(bool start);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CMainFrame& m_frame;
    CLogwardenDoc& m_doc;
    CLogwardenView& m_view;
    CRegularsPanel* m_regulars = nullptr;
    QDockWidget* m_dock = nullptr;
    QTextBrowser* m_script = nullptr;
    QTimer* m_marksPending = nullptr;
    QSet<QDate> m_bold; // the calendar's bold days
};
