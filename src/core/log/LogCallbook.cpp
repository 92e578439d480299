#include "core/log/LogCallbook.h"

#include "core/Exceptions.h"
#include "core/log/LogQueries.h"

CCallbookAnswer CLastCheckinCallbook::LookUp(const QString& callSign)
{
    CCallbookAnswer answer;
    answer.source = CCallbookAnswer::Source::LastCheckin;
    answer.station.callSign = callSign;
    try {
        if (const std::optional<CCheckinRecord> newest = LogQueries::NewestCheckin(m_log, callSign)) {
            answer.found = true;
            answer.station = *newest;
        }
    } catch (const CLogwardenException& e) {
        answer.error = e.Message();
    }
    return answer;
}
