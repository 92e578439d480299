#pragma once

#include "core/fcc/UlsDaily.h"
#include "gui/widgets/ProgressPane.h"

#include <QObject>
#include <QPointer>
#include <memory>

class CBackgroundJob;
class CMainFrame;
class CSettings;

// "Update" on the "FCC DB: " bar: applies the FCC's daily files since the day the licence database holds,
// off the window's thread, with its progress and Cancel in the status bar. F7 goes on reading the database
// meanwhile and sees each day once it is applied. With "Update FCC Db at Start" ticked (View menu), the
// window starts an update by itself when the database is more than a day behind.
class CFccUpdateModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    CFccUpdateModule(CMainFrame& frame, CSettings& settings);
    bool IsUpdating() const;
    // The update the operator asked for: what goes wrong is shown in a message box.
    void OnUpdate();
    // The update at start, when ticked and the database is behind: only the status bar tells, except that
    // a database that needs the weekly again is said in a message box.
    void UpdateIfBehind();

Q_SIGNALS:
    // An update ended (its outcome shown).
    void updateFinished();

private:
    void Start(bool asked);
    void OnProgress(qint64 done, qint64 total);
    void OnFinished();

    CMainFrame& m_frame;
    CSettings& m_settings;
    CBackgroundJob* m_job = nullptr;
    QPointer<CProgressTask> m_task;
    bool m_asked = false;
    // Written by the job's thread, read after it has ended (finished() follows its join).
    std::shared_ptr<UlsDaily::CUpdateResult> m_result;
};
