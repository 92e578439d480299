#include "gui/fcc/FccBuildModule.h"

#include "gui/app/MainFrame.h"
#include "gui/fcc/FccBuildDbDlg.h"

void CLicDbBuildModule::Install(CMainFrame& frame)
{
    new CLicDbBuildModule(frame);
}

CLicDbBuildModule::CLicDbBuildModule(CMainFrame& frame) : QObject(&frame), m_frame(frame)
{
    setObjectName(QStringLiteral("licDbBuildModule"));
    QAction* compile = frame.Commands().fccCompile;
    connect(compile, &QAction::triggered, this, &CLicDbBuildModule::OnCompile);
    compile->setEnabled(true);
}

void CLicDbBuildModule::OnCompile()
{
    if (!m_dialog) {
        m_dialog = new CBuildFCCDbDlg(m_frame.Settings(), &m_frame.Progress(), &m_frame);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        // A build changes the database the look-ups read: say so in the status bar.
        connect(m_dialog, &CBuildFCCDbDlg::buildFinished, &m_frame,
                [frame = &m_frame](CFccDbBuild::State state, const QString& message) {
                    if (state == CFccDbBuild::Succeeded)
                        frame->SetStatusText(message);
                });
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}
