#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class CProgressPane;
class CProgressTask;
class CWebWorker;

// One kind of web exchange shown in the status bar while it runs: a task with the bytes moved so far
// (busy while the sizes are unknown) and Cancel, which stops the worker's exchange.
class CWebTask : public QObject
{
    Q_OBJECT
public:
    CWebTask(CProgressPane& pane, CWebWorker& worker, QString name, QString text, QObject* parent);

    // Shows the task (again, when it is already shown).
    void Begin();
    void End();
    CProgressTask* Task() const;

private:
    CProgressPane& m_pane;
    CWebWorker& m_worker;
    QString m_name;
    QString m_text;
    QPointer<CProgressTask> m_task;
};
