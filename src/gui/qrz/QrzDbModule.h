#pragma once

#include "core/qrz/QrzCDb.h"

#include <QObject>
#include <QPointer>
#include <memory>

struct CQRZAccount;
class CBackgroundJob;
class CFCCDbInfoDlg;
class CMainFrame;
class CProgressTask;
class CQrzAccounts;
class QAction;
class QToolBar;

// The "QRZ DB: " bar beside "FCC DB: " and the database status check in both its forms:
//   - "Check" on the FCC bar and View > "&FCC Db Status": the status dialog in its FCC form;
//   - "Check" on the QRZ bar: the dialog in its QRZ form, whose "Check QRZ Website" fetches QRZ's CSV
//     archive into the data folder in the background;
//   - "Compile": QRZ97.db from a CSV file the operator chooses, beside it, in the background with its
//     progress and Cancel in the status bar, ending with "N loaded, M skipped";
//   - "DLoad" and "Extract" have no action of their own and stay disabled.
class CQrzDbModule : public QObject
{
    Q_OBJECT
public:
    CQrzDbModule(CMainFrame& frame, CQrzAccounts& accounts);
    ~CQrzDbModule() override;

    QToolBar* Bar() const { return m_bar; }
    QAction* CheckAction() const { return m_check; }
    QAction* CompileAction() const { return m_compile; }

    void OnFccStatus();
    void OnQrzStatus();
    // Asks for the CSV file (and whether to overwrite QRZ97.db), then compiles.
    void OnCompile();
    // Compiles csvPath into outputPath in the background.
    void Compile(const QString& csvPath, const QString& outputPath);
    bool IsCompiling() const;
    bool IsFetchingArchive() const;

Q_SIGNALS:
    void compileFinished();
    void archiveFinished();

private:
    void OnCompileFinished();
    void FetchArchive(CFCCDbInfoDlg& dlg);
    void StartArchive(CFCCDbInfoDlg& dlg, const CQRZAccount& account);
    void OnArchiveFinished();

    CMainFrame& m_frame;
    CQrzAccounts& m_accounts;
    QToolBar* m_bar = nullptr;
    QAction* m_check = nullptr;
    QAction* m_compile = nullptr;
    QString m_csvFolder;

    CBackgroundJob* m_compileJob = nullptr;
    QPointer<CProgressTask> m_compileTask;
    QString m_compileOutput;
    // Written by the job's thread, read once it has ended.
    std::shared_ptr<CQRZCDb::CResult> m_compileResult;

    CBackgroundJob* m_archiveJob = nullptr;
    QPointer<CProgressTask> m_archiveTask;
    QPointer<CFCCDbInfoDlg> m_archiveDlg;
    std::shared_ptr<QString> m_archiveMessage;
};
