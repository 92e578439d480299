#include "core/web/PreNet.h"

#include "core/Exceptions.h"
#include "core/app/Settings.h"
#include "core/fcc/FccCallbook.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogCallbook.h"
#include "core/log/LogFilter.h"
#include "core/log/LogQueries.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------------------

CCallSet::CCallSet(const QStringList& calls)
{
    for (const QString& c : calls)
        Insert(c);
}

QString CCallSet::Key(const QString& call)
{
    return call.trimmed().toUpper();
}

void CCallSet::Insert(const QString& call)
{
    m_calls.insert(Key(call));
}

bool CCallSet::Contains(const QString& call) const
{
    return m_calls.contains(Key(call));
}

CCallSet CCallSet::OfDay(CDatabase& log, const QDate& day)
{
    CCallSet set;
    CheckinQuery::ForEach(log, LogFilter::Day(day), LogSort::kId,
                          [&](const CCheckinRecord& r) { set.Insert(r.callSign); });
    return set;
}

// ---------------------------------------------------------------------------------------------------------

namespace PreNet {

void MarkLogged(std::vector<CPreNetEntry>& entries, const CCallSet& dayCalls)
{
    for (CPreNetEntry& e : entries)
        e.logged = dayCalls.Contains(e.call);
}

std::vector<CPreNetEntry> EntriesToMove(const std::vector<CPreNetEntry>& entries, CCallSet dayCalls)
{
    std::vector<CPreNetEntry> out;
    for (const CPreNetEntry& e : entries) {
        if (dayCalls.Contains(e.call))
            continue;
        dayCalls.Insert(e.call);
        out.push_back(e);
    }
    return out;
}

CMove Resolve(CDatabase& log, CFccDatabase& fcc, const QString& fccDbPath, const CPreNetEntry& entry)
{
    using Source = CCallbookAnswer::Source;
    const QString call = CCallSet::Key(entry.call);
    CLastCheckinCallbook history(log);
    CFccCallbook licences(fcc, fccDbPath);
    CCallbookChain chain;
    chain.Add(history);
    if (!fccDbPath.isEmpty())
        chain.Add(licences);
    const CCallbookAnswer answer = chain.LookUp(call);
    CMove m;
    for (const CCallbookAnswer& failed : chain.Failures()) {
        if (failed.source == Source::LastCheckin)
            throw CDBException(failed.error);
        m.fccError = failed.error;
    }
    if (answer.found) {
        m.source = answer.source;
        m.record = answer.station;
        if (answer.source == Source::LastCheckin) {
            m.record.id = 0;
            m.record.comment.clear();
            m.record.hasComments = m.record.hasTraffic = m.record.acknowledged = false;
        }
    } else {
        m.source = Source::PreNetEntry;
        m.record.name = entry.name;
        m.record.location = entry.location;
    }
    m.record.callSign = call;
    m.record.date = CDateTime();
    return m;
}

QString ClubServerSetting(const QString& value)
{
    const QString server = value.trimmed();
    return server.compare(QLatin1String("www.example.org"), Qt::CaseInsensitive) == 0 ? QString() : server;
}

int RefreshIntervalMs(const QString& secondsText)
{
    const int seconds = CSettings::LeadingDigits(secondsText);
    // A day at most: the box is a few digits wide, and the product must fit.
    return seconds > 0 ? std::min(seconds, 86400) * 1000 : 0;
}

namespace {

void Configure(CWebRequest& request, const QString& server, const QString& path)
{
    request.SetServer(server);
    request.SetPort(QString());
    request.SetObjectPath(path);
}

} // namespace

CPreNetFetch FetchPreNet(CWebRequest& request, const QString& server)
{
    Configure(request, server, kPreNetPath);
    CPreNetFetch f;
    f.response = request.Get();
    if (!f.response.IsSuccess()) {
        // An error page's words are no check-ins, and its length says nothing of the day.
        f.page.status = CPreNetPage::Failed;
        f.page.failure = f.response.FailureText();
        return f;
    }
    f.page = ParsePage(f.response.BodyWithoutCr());
    return f;
}

CEchoLinkFetch FetchEchoLink(CWebRequest& request, const QString& server)
{
    Configure(request, server, kEchoLinkPath);
    CEchoLinkFetch f;
    f.response = request.Get();
    if (f.response.IsSuccess())
        f.stations = ParseEchoLink(f.response.Text(), &f.capped);
    return f;
}

} // namespace PreNet
