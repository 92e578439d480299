#include "core/net/UndoJournal.h"

#include <QStringList>

namespace {

QString Calls(const std::vector<CCheckinRecord>& records)
{
    QStringList calls;
    for (const CCheckinRecord& r : records) {
        if (calls.size() == 3) {
            calls << QStringLiteral("…");
            break;
        }
        calls << (r.callSign.isEmpty() ? QStringLiteral("#%1").arg(r.id) : r.callSign);
    }
    return calls.join(QStringLiteral(", "));
}

QString CheckinCount(std::size_t n)
{
    return n == 1 ? QStringLiteral("1 check-in") : QStringLiteral("%1 check-ins").arg(n);
}

} // namespace

QString CUndoStep::Describe() const
{
    switch (kind) {
    case Kind::Delete:
        return QStringLiteral("the deletion of %1 (%2)").arg(CheckinCount(before.size()), Calls(before));
    case Kind::Correction:
        return QStringLiteral("the correction of %1").arg(Calls(before));
    case Kind::PreNetMove:
        return QStringLiteral("the pre-net move of %1 (%2)").arg(CheckinCount(after.size()), Calls(after));
    case Kind::Merge:
        return QStringLiteral("the merge of %1 (%2)").arg(CheckinCount(before.size()), Calls(before));
    }
    return {};
}

void CUndoJournal::Push(CUndoStep step)
{
    m_steps.push_back(std::move(step));
    while (m_steps.size() > static_cast<std::size_t>(kDepth))
        m_steps.pop_front();
}

CUndoStep CUndoJournal::TakeLast()
{
    CUndoStep step = std::move(m_steps.back());
    m_steps.pop_back();
    return step;
}
