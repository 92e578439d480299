#include "core/qrz/QrzCallbook.h"

#include "core/qrz/QrzPull.h"

CCallbookAnswer CQrzCallbook::LookUp(const QString& callSign)
{
    CCallbookAnswer answer;
    answer.source = CCallbookAnswer::Source::Qrz;
    answer.station.callSign = callSign;
    try {
        answer.found = m_query.Query(callSign);
        m_failure = m_query.GetFailure();
        if (answer.found)
            answer.station = Station(m_query.GetData());
        else
            answer.error = m_query.GetLastError();
    } catch (const std::exception& e) {
        // A transport that raises instead of reporting: the look-up failed, the caller goes on.
        answer.found = false;
        m_failure = CQRZQuery::Failure::Network;
        answer.error = QStringLiteral("QRZ cannot be reached: %1").arg(QString::fromUtf8(e.what()));
    }
    return answer;
}

CCheckinRecord CQrzCallbook::Station(const CQRZCallData& data)
{
    CCheckinRecord r;
    r.callSign = data.call;
    r.name = QrzPull::NameText(data);
    r.street = data.addr1;
    r.location = QrzPull::LocationText(data);
    r.cls = data.cls;
    r.yourGrid = data.grid;
    r.email = data.email;
    return r;
}
