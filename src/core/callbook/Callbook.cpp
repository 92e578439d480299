#include "core/callbook/Callbook.h"

CCallbookChain& CCallbookChain::Add(CCallbook& source)
{
    m_sources.push_back(&source);
    return *this;
}

CCallbookAnswer CCallbookChain::LookUp(const QString& callSign)
{
    m_failures.clear();
    CCallbookAnswer last;
    for (CCallbook* source : m_sources) {
        last = source->LookUp(callSign);
        if (last.found)
            return last;
        if (!last.error.isEmpty())
            m_failures.push_back(last);
    }
    return last;
}

CCheckinRecord Callbook::FillEmpty(const CCheckinRecord& checkin, const CCheckinRecord& station,
                                   QStringList* filled)
{
    CCheckinRecord out = checkin;
    const auto take = [&](QString& column, const QString& value, const char* name) {
        if (!column.isEmpty() || value.isEmpty())
            return;
        column = value;
        if (filled)
            *filled << QLatin1String(name);
    };
    take(out.name, station.name, "Name");
    take(out.street, station.street, "Street");
    take(out.location, station.location, "Location");
    take(out.cls, station.cls, "Class");
    take(out.yourGrid, station.yourGrid, "YourGrid");
    take(out.email, station.email, "eMailAddr");
    return out;
}
