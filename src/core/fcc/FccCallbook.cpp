#include "core/fcc/FccCallbook.h"

#include "core/Exceptions.h"

CCallbookAnswer CFccCallbook::LookUp(const QString& callSign)
{
    CCallbookAnswer answer;
    answer.source = CCallbookAnswer::Source::Fcc;
    answer.station.callSign = callSign;
    m_licence = {};
    try {
        m_licence = m_database.LookUp(m_path, callSign);
    } catch (const CLogwardenException& e) {
        answer.error = e.Message();
        return answer;
    }
    const CFccLookupResult& r = m_licence;
    answer.found = r.found;
    if (!r.found) {
        answer.statusText = QStringLiteral("%1 is not in the FCC licence database").arg(callSign);
        return answer;
    }
    answer.station.callSign = r.callSign;
    answer.station.name = r.name;
    answer.station.street = r.addr1;
    answer.station.location = r.addr2;
    answer.station.cls = r.operatorClass;
    answer.statusText = r.StatusText();
    if (answer.statusText.isEmpty())
        // Said even when all is well, so that no earlier text stands beside the new station.
        answer.statusText = r.status == CFccLookupResult::Status::Active
                                ? QStringLiteral("%1: licence active").arg(r.callSign)
                                : QStringLiteral("%1: found in the FCC licence database").arg(r.callSign);
    return answer;
}
