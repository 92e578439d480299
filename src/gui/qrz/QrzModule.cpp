#include "gui/qrz/QrzModule.h"

#include "gui/app/Commands.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/qrz/QrzAccountDlg.h"
#include "gui/qrz/QrzDbModule.h"
#include "gui/qrz/QrzPullModule.h"

#include <QMenu>
#include <QMenuBar>

void CQrzModule::Install(CMainFrame& frame)
{
    new CQrzModule(frame);
}

CQrzModule::CQrzModule(CMainFrame& frame) : QObject(&frame)
{
    setObjectName(QStringLiteral("qrzModule"));
    m_accounts = new CQrzAccounts(frame.Settings(), frame.Document().Secrets(), this);
    connect(m_accounts, &CQrzAccounts::status, &frame, &CMainFrame::SetStatusText);
    m_pull = new CQrzPullModule(frame, *m_accounts);
    m_db = new CQrzDbModule(frame, *m_accounts);

    // In the View menu, after "&FCC Db Status".
    m_accountAction = new QAction(QStringLiteral("QRZ &Account..."), this);
    m_accountAction->setObjectName(QStringLiteral("qrzAccountAction"));
    m_accountAction->setStatusTip(QStringLiteral("The QRZ XML host, user name and password"));
    connect(m_accountAction, &QAction::triggered, this, [this, frame = &frame] { m_accounts->Edit(frame); });
    QAction* status = frame.Commands().fccDbStatus;
    for (QAction* top : frame.menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (menu && menu->actions().contains(status)) {
            const QList<QAction*> items = menu->actions();
            const qsizetype next = items.indexOf(status) + 1;
            menu->insertAction(next < items.size() ? items[next] : nullptr, m_accountAction);
            return;
        }
    }
    frame.menuBar()->addAction(m_accountAction);
}
