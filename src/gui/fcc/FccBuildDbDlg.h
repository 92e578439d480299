#pragma once

#include "core/fcc/FccDbBuild.h"
#include "gui/widgets/ProgressPane.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class CMThreadedJobQ;
class CSettings;
class QLabel;
class QLineEdit;
class QPushButton;

// The modeless "BuildFCCDb" dialog of the "Compile" command: the folder of AM.dat, EN.dat and HD.dat,
// the database to build, and "Create DB", which builds it off the user-interface thread. The status
// line shows "AM (1 of 3) Build Current position 42%" ... "Compile Complete"; a task in the main window's
// status bar follows it, with its own Cancel. "Cancel" stops a build and leaves the previous database as it
// was.
class CBuildFCCDbDlg : public QDialog
{
    Q_OBJECT
public:
    // progress: the status bar's pane where a build shows its progress (may be null).
    CBuildFCCDbDlg(CSettings& settings, CProgressPane* progress, QWidget* parent = nullptr);
    ~CBuildFCCDbDlg() override;

    QString GetInputPath() const { return m_strInputPath; }
    QString GetOutputPath() const { return m_strOutputPath; }
    QString GetStatusText() const;
    // "AM: N loaded, M skipped", one line a table, after a build that completed.
    QString GetCountsText() const;
    bool IsBuilding() const;
    // The build's task in the status bar while it runs.
    CProgressTask* ProgressTask() const { return m_task; }

    // "...": asks for a file in the folder of the ULS files.
    void OnBrowse();
    // Takes the folder of a chosen file as the new input folder, with FCC97.db beside the files as the
    // output; asks "File %s exists! Overwrite?" when that database exists. False when the operator
    // answered No (nothing changes).
    bool ApplyChosenFile(const QString& chosenFile);
    // "Create DB".
    void OnCreateDb();
    // "Cancel": stops the running build.
    void OnCancelBuild();

Q_SIGNALS:
    // Each time the job queue hands a job to a worker.
    void refreshList();
    // The status line and the progress bar have moved.
    void progressChanged(const QString& text, int percent);
    // A build has ended: "Compile Complete", "Compile Cancelled" or the reason it failed.
    void buildFinished(CFccDbBuild::State state, const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ShowPaths();
    void SetBuilding(bool building);
    void OnProgress(const QString& text, int percent);
    void OnFinished(CFccDbBuild::State state, const QString& message);

    CSettings& m_settings;
    QString m_strInputPath;
    QString m_strOutputPath;
    QLineEdit* m_inputEdit = nullptr;
    QLineEdit* m_outputEdit = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_counts = nullptr;
    QPushButton* m_createButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_doneButton = nullptr;
    QPushButton* m_browseInput = nullptr;
    QPushButton* m_browseOutput = nullptr;
    QPointer<CProgressPane> m_progressPane;
    QPointer<CProgressTask> m_task;
    // The queue outlives the build that runs on it.
    std::unique_ptr<CMThreadedJobQ> m_queue;
    std::unique_ptr<CFccDbBuild> m_build;
};
