#include "core/jobs/Progress.h"

#include <algorithm>

bool CProgress::Report(qint64 done, qint64 total)
{
    m_done = done;
    m_total = total;
    Tell();
    return !IsCancelled();
}

bool CProgress::Advance(qint64 bytes)
{
    m_done += bytes;
    Tell();
    return !IsCancelled();
}

void CProgress::SetStage(const QString& stage)
{
    std::lock_guard lock(m_stageMutex);
    m_stage = stage;
}

QString CProgress::Stage() const
{
    std::lock_guard lock(m_stageMutex);
    return m_stage;
}

int CProgress::Percent() const
{
    const qint64 total = m_total;
    if (total < 0)
        return -1;
    if (total == 0)
        return 100;
    return int(std::clamp<qint64>(m_done * 100 / total, 0, 100));
}

void CProgress::Restart()
{
    m_done = 0;
    m_total = -1;
    m_cancelled = false;
    std::lock_guard lock(m_stageMutex);
    m_stage.clear();
}

void CProgress::Tell()
{
    if (!m_listener)
        return;
    std::lock_guard lock(m_listenerMutex);
    m_listener(m_done, m_total, Stage());
}
