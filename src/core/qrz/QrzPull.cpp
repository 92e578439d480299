#include "core/qrz/QrzPull.h"

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
    CCheckinRecord r = checkin;
    const auto fill = [filled](QString& column, const QString& value, const char* name) {
        if (!column.isEmpty() || value.isEmpty())
            return;
        column = value;
        if (filled)
            filled->append(QLatin1String(name));
    };
    fill(r.name, NameText(data), "Name");
    fill(r.street, data.addr1, "Street");
    fill(r.location, LocationText(data), "Location");
    fill(r.cls, data.cls, "Class");
    fill(r.yourGrid, data.grid, "YourGrid");
    fill(r.email, data.email, "eMailAddr");
    return r;
}

} // namespace QrzPull
