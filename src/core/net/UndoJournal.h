#pragma once

#include "core/log/CheckinRecord.h"

#include <QString>
#include <deque>
#include <vector>

// The operator's last actions on the log that can be taken back, newest last: deletions, corrections and
// pre-net moves. Held for this run only; the store records and replays them.
struct CUndoStep
{
    enum class Kind
    {
        Delete,     // before: the check-ins deleted
        Correction, // before: the check-in as it was; after: as the correction wrote it
        PreNetMove, // after: the check-ins the move added
        Merge       // before: the check-in kept as it was, then those merged into it; after: as merged
    };
    Kind kind = Kind::Delete;
    std::vector<CCheckinRecord> before;
    std::vector<CCheckinRecord> after;

    // "the deletion of K4LMN", "the correction of check-in K4LMN", "the pre-net move of 3 check-ins".
    QString Describe() const;
};

class CUndoJournal
{
public:
    static constexpr int kDepth = 20;

    void Push(CUndoStep step);
    bool IsEmpty() const { return m_steps.empty(); }
    const CUndoStep& Last() const { return m_steps.back(); }
    CUndoStep TakeLast();
    void Clear() { m_steps.clear(); }
    int Size() const { return static_cast<int>(m_steps.size()); }

private:
    std::deque<CUndoStep> m_steps;
};
