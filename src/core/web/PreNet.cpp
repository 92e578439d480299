#include "core/web/PreNet.h"

#include "core/Exceptions.h"
#include "core/licdb/FccLookup.h"
#include "core/log/CheckinQuery.h"
#include "core/log/LogFilter.h"
#include "core/log/LogQueries.h"

#include <QStringDecoder>

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

QString CPreNetPage::Message() const
{
    switch (status) {
    case NothingFound:
        return QStringLiteral("Nothing found so far for today");
    case BadServer:
        return QStringLiteral("Bad Server Name perhaps?");
    case Entries:
    default:
        return {};
    }
}

namespace PreNet {

namespace {

// The server's contract: its empty page of the day has exactly this many bytes, and no page with
// entries is this short.
constexpr qsizetype kEmptyPageBytes = 1357;
constexpr qsizetype kShortestPageBytes = 1375;

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = d(bytes); // decodes only when converted
    return !d.hasError();
}

} // namespace

CPreNetPage ParsePage(const QByteArray& body)
{
    CPreNetPage page;
    if (body.contains("404") || body.size() <= kShortestPageBytes) {
        page.status = body.size() == kEmptyPageBytes ? CPreNetPage::NothingFound : CPreNetPage::BadServer;
        return page;
    }
    const bool utf8 = IsUtf8(body);
    const auto text = [utf8](QByteArrayView bytes) {
        return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    };

    qsizetype from = body.indexOf("/form>");
    if (from < 0)
        from = 0;
    for (;;) {
        const qsizetype li = body.indexOf("<li>", from);
        if (li < 0)
            break;
        const qsizetype start = li + 4;
        qsizetype end = body.indexOf('<', start);
        if (end < 0)
            end = body.size();
        from = end;
        const QByteArrayView item(body.constData() + start, end - start);

        CPreNetEntry e;
        const qsizetype comma = item.indexOf(',');
        e.call = text(comma < 0 ? item : item.first(comma)).remove(QLatin1Char('+')).trimmed();
        if (comma >= 0) {
            const QByteArrayView rest = item.sliced(comma + 1);
            const qsizetype comma2 = rest.indexOf(',');
            e.name = text(comma2 < 0 ? rest : rest.first(comma2))
                         .remove(QLatin1Char('+'))
                         .remove(QLatin1Char(','))
                         .trimmed();
            if (comma2 >= 0)
                e.location = text(rest.sliced(comma2 + 1)).trimmed();
        }
        if (!e.call.isEmpty())
            page.entries.push_back(std::move(e));
    }
    page.status = page.entries.empty() ? CPreNetPage::NothingFound : CPreNetPage::Entries;
    return page;
}

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

CMove Resolve(CDatabase& log, const QString& fccDbPath, const CPreNetEntry& entry)
{
    CMove m;
    const QString call = CCallSet::Key(entry.call);
    if (const std::optional<CCheckinRecord> newest = LogQueries::NewestCheckin(log, call)) {
        m.source = CMove::History;
        m.record = *newest;
        m.record.id = 0;
        m.record.comment.clear();
        m.record.hasComments = m.record.hasTraffic = m.record.acknowledged = false;
    } else {
        bool found = false;
        if (!fccDbPath.isEmpty()) {
            try {
                const CFccLookupResult f = FccLookUp(fccDbPath, call);
                if (f.found) {
                    found = true;
                    m.source = CMove::Fcc;
                    m.record.name = f.name;
                    m.record.street = f.addr1;
                    m.record.location = f.addr2;
                    m.record.cls = f.operatorClass;
                }
            } catch (const CLogwardenException& e) {
                m.fccError = e.Message();
            }
        }
        if (!found) {
            m.source = CMove::PreNetEntry;
            m.record.name = entry.name;
            m.record.location = entry.location;
        }
    }
    m.record.callSign = call;
    m.record.date = CDateTime();
    return m;
}

QStringList ParseEchoLink(const QString& body)
{
    QStringList lines;
    const qsizetype b = body.indexOf(QLatin1String("<body>"));
    if (b < 0)
        return lines;
    const qsizetype start = b + 6;
    const qsizetype e = body.indexOf(QLatin1String("</body>"));
    const QStringView content = e < start ? QStringView() : QStringView(body).sliced(start, e - start);
    const auto add = [&](QStringView piece) {
        const QString line = piece.trimmed().toString();
        if (!line.isEmpty())
            lines << line;
    };
    qsizetype space = content.indexOf(QLatin1Char(' '));
    if (space < 0) {
        add(content);
        return lines;
    }
    qsizetype pos = 0;
    for (;;) {
        add(content.sliced(pos, space - pos));
        pos = space + 1;
        space = content.indexOf(QLatin1Char(' '), pos);
        if (space < 0 || space == pos)
            break;
    }
    return lines;
}

int Reselect(const QStringList& lines, const QString& previousText, int previousIndex)
{
    if (previousIndex < 0 || lines.size() < previousIndex || lines.isEmpty())
        return -1;
    const int n = int(lines.size());
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;
        if (lines[i].startsWith(previousText, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace PreNet

namespace PreNet {

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
    f.page = ParsePage(f.response.Answered() ? f.response.BodyWithoutCr() : QByteArray());
    return f;
}

CEchoLinkFetch FetchEchoLink(CWebRequest& request, const QString& server)
{
    Configure(request, server, kEchoLinkPath);
    CEchoLinkFetch f;
    f.response = request.Get();
    if (f.response.Answered())
        f.stations = ParseEchoLink(f.response.Text());
    return f;
}

} // namespace PreNet
