#pragma once

#include "core/shared/SyncEngine.h"

#include <QObject>
#include <memory>

class CMainFrame;
class QAction;
class QLabel;

// The shared club log in the window: Settings ▸ Shared Log..., the engine that keeps this computer's log in
// step with the net while the window is open, the status bar's "Shared: ..." pane, the "By" column, the
// flash of what others log, and the two actions on a check-in that the sharing can bring: settling a
// conflict and merging the same station logged by two operators.
class CSharedLogModule : public QObject
{
    Q_OBJECT
public:
    static void Install(CMainFrame& frame);
    explicit CSharedLogModule(CMainFrame& frame);
    ~CSharedLogModule() override;

    void Edit();
    void ResolveConflict();
    void MergeDuplicates();
    // "Shared: online · 3 operators", "Shared: offline, 4 pending"; empty when the log is not shared.
    static QString StatusText(const CSyncStatus& status);
    CSyncEngine* Engine() const { return m_engine.get(); }

private:
    void Apply();
    void StartWith(const QString& password);
    void OnStatus(const CSyncStatus& status);
    void UpdateActions();
    QString Account() const;

    CMainFrame& m_frame;
    std::unique_ptr<CSyncEngine> m_engine;
    QLabel* m_label = nullptr;
    QAction* m_settingsAction = nullptr;
    QAction* m_resolveAction = nullptr;
    QAction* m_mergeAction = nullptr;
    int m_ticket = -1;
    bool m_createNet = false; // the operator asked for the net to be made when the server has none
};
