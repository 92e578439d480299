#pragma once

#include "gui/fcc/FccBuildDbDlg.h"

#include <QObject>
#include <QPointer>

class CMainFrame;

// The "Compile" command of the "FCC DB: " bar: opens the build dialog, or brings the open one forward
// (one build dialog at a time).
class CLicDbBuildModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    explicit CLicDbBuildModule(CMainFrame& frame);
    void OnCompile();
    CBuildFCCDbDlg* Dialog() const { return m_dialog; }

private:
    CMainFrame& m_frame;
    QPointer<CBuildFCCDbDlg> m_dialog;
};
