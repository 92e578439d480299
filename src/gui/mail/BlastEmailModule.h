#pragma once

#include "core/app/SecretStore.h"
#include "core/mail/BlastEmail.h"

#include <QDate>
#include <QObject>
#include <QPointer>

class CBlastEmailDlg;
class CMainFrame;
class CProgressTask;
class QPushButton;

// "Blast Email" on the check-in form: opens the blast e-mail dialog for the day of the check-in the form
// shows. The blast belongs to the window, not to the dialog: it runs in the background with its progress
// and Cancel in the status bar, goes on when the dialog is closed, and ends with a summary of what was
// sent and what failed.
class CBlastEmailModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    explicit CBlastEmailModule(CMainFrame& frame);
    ~CBlastEmailModule() override;

    // Opens the dialog (modal to the window) for the form's day; an open dialog is raised.
    void OnBlastEmail();
    // The day the dialog opens for: that of the check-in shown, else the selected day.
    QDate ShownDay() const;

    QPushButton* Button() const { return m_button; }
    CBlastEmailDlg* Dialog() const;
    CBlastEmail& Blast() { return m_blast; }
    CProgressTask* Task() const;

private:
    // Closing the window during a blast asks first: the stations not yet sent would get nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnProgress(int index, int total, const QString& text);
    void OnStationDone();
    void OnFinished();

    CMainFrame& m_frame;
    CBlastEmail m_blast;
    QPushButton* m_button = nullptr;
    QPointer<CBlastEmailDlg> m_dialog;
    QPointer<CProgressTask> m_task;
    int m_index = 0;
    int m_total = 0;
    QString m_progressText;
};
