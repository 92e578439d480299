#include "core/qrz/QrzPull.h"

#include "core/callbook/Callbook.h"
#include "core/qrz/QrzCallbook.h"

namespace QrzPull {

QString NameText(const CQRZCallData& data)
{
    if (data.name.isEmpty() && data.fname.isEmpty() && data.restOfFirstName.isEmpty())
        return {};
    return data.name + QStringLiteral(", ") + data.fname + QLatin1Char(' ') + data.restOfFirstName;
}

QString LocationText(const CQRZCallData& data)
{
    if (data.addr2.isEmpty() && data.state.isEmpty() && data.country.isEmpty())
        return {};
    return data.addr2 + QStringLiteral(", ") + data.state + QStringLiteral(" (") + data.country +
           QLatin1Char(')');
}

CCheckinRecord Fill(const CCheckinRecord& checkin, const CQRZCallData& data, QStringList* filled)
{
    return Callbook::FillEmpty(checkin, CQrzCallbook::Station(data), filled);
}

} // namespace QrzPull
