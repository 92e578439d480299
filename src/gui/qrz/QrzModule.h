#pragma once

#include <QObject>

class CMainFrame;
class CQrzAccounts;
class CQrzDbModule;
class CQrzPullModule;
class QAction;

// The QRZ callbook and licence-database status in the window: the pull from QRZ (F8), the QRZ account
// (asked for when first needed, changed with View > "QRZ &Account..."), the "QRZ DB: " bar and the status
// check of both bars.
class CQrzModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);

    explicit CQrzModule(CMainFrame& frame);

    CQrzAccounts& Accounts() const { return *m_accounts; }
    CQrzPullModule& Pull() const { return *m_pull; }
    CQrzDbModule& Databases() const { return *m_db; }
    QAction* AccountAction() const { return m_accountAction; }

private:
    CQrzAccounts* m_accounts = nullptr;
    CQrzPullModule* m_pull = nullptr;
    CQrzDbModule* m_db = nullptr;
    QAction* m_accountAction = nullptr;
};
