#pragma once

#include "core/callbook/Callbook.h"

class CDatabase;

// The log itself as the first source of the look-up chain: the station's newest check-in, all its
// columns. A log that cannot be read is an error of the answer (the caller decides whether to go on).
class CLastCheckinCallbook : public CCallbook
{
public:
    explicit CLastCheckinCallbook(CDatabase& log) : m_log(log) {}

    CCallbookAnswer::Source Source() const override { return CCallbookAnswer::Source::LastCheckin; }
    CCallbookAnswer LookUp(const QString& callSign) override;

private:
    CDatabase& m_log;
};
