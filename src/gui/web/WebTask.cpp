#include "gui/web/WebTask.h"

#include "core/web/WebWorker.h"
#include "gui/widgets/ProgressPane.h"

CWebTask::CWebTask(CProgressPane& pane, CWebWorker& worker, QString name, QString text, QObject* parent)
    : QObject(parent), m_pane(pane), m_worker(worker), m_name(std::move(name)), m_text(std::move(text))
{
    connect(&m_worker, &CWebWorker::progress, this, [this](qint64 done, qint64 total) {
        if (m_task)
            m_task->SetPercent(total > 0 ? int(done * 100 / total) : -1);
    });
}

void CWebTask::Begin()
{
    if (m_task)
        return;
    m_task = m_pane.Begin(m_name, m_text, [w = &m_worker] { w->Cancel(); });
    m_task->SetPercent(-1);
}

void CWebTask::End()
{
    if (m_task)
        m_task->Finish();
    m_task = nullptr;
}

CProgressTask* CWebTask::Task() const
{
    return m_task;
}
