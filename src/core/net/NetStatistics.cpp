#include "core/net/NetStatistics.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/LogQueries.h"
#include "core/log/LogSchema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace NetStatistics {

namespace {

std::string Midnight(const QDate& d)
{
    return CDateTime(d, QTime(0, 0)).ToStorage().toStdString();
}

struct CSeen
{
    std::string call;
    int first = -1;       // the net it was first heard on in the year
    int lastCounted = -1; // the last net it was counted on
    int nets = 0;
    bool before = false; // heard before the year began
};

// Looks call signs up by a view of the engine's text, without making a string of each.
struct CHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

} // namespace

CYear Year(CDatabase& db, const QDate& to, int top)
{
    CYear year;
    year.to = to;
    year.from = to.addYears(-1).addDays(1);
    if (!to.isValid())
        return year;
    // A year of nets is a hundred thousand check-ins: each is taken as the engine hands it out (the call
    // as UTF-8, the day as the first ten characters of the stored date) and counted once per net.
    std::vector<CSeen> seen;
    std::unordered_map<std::string, int, CHash, std::equal_to<>> index; // upper-case call: place in seen
    std::vector<std::pair<int, int>> perNet; // net and station, once per net, in date order
    std::vector<QByteArray> days;            // of the nets, in order
    try {
        // The year in date order through the date index.
        SQLite::Statement stmt(db.Handle(),
                               QStringLiteral("SELECT CallSign, \"Date\" FROM %1 WHERE \"Date\" >= ? "
                                              "AND \"Date\" < ? ORDER BY \"Date\"")
                                   .arg(QLatin1String(LogSchema::kView))
                                   .toStdString());
        stmt.bind(1, Midnight(year.from));
        stmt.bind(2, Midnight(to.addDays(1)));
        index.reserve(8192);
        std::string upper;
        while (stmt.executeStep()) {
            const SQLite::Column callColumn = stmt.getColumn(0);
            const char* callText = callColumn.getText();
            std::string_view call(callText, size_t(callColumn.getBytes()));
            while (!call.empty() && call.front() == ' ')
                call.remove_prefix(1);
            while (!call.empty() && call.back() == ' ')
                call.remove_suffix(1);
            const SQLite::Column date = stmt.getColumn(1);
            const char* dateText = date.getText();
            if (call.empty() || date.getBytes() < 10)
                continue;
            if (days.empty() || std::memcmp(days.back().constData(), dateText, 10) != 0)
                days.emplace_back(dateText, 10);
            const int net = int(days.size()) - 1;
            std::string_view key = call;
            if (std::any_of(call.begin(), call.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
                upper.assign(call);
                for (char& c : upper)
                    if (c >= 'a' && c <= 'z')
                        c = char(c - 'a' + 'A');
                key = upper;
            }
            auto found = index.find(key);
            if (found == index.end()) {
                found = index.emplace(std::string(key), int(seen.size())).first;
                seen.push_back({std::string(call), net, -1, 0, false});
            }
            CSeen& s = seen[size_t(found->second)];
            if (s.lastCounted != net) {
                s.lastCounted = net;
                ++s.nets;
                perNet.emplace_back(net, found->second);
            }
        }
        // New to the log is new before the year too: one probe per station through the call-sign index.
        SQLite::Statement before(db.Handle(),
                                 QStringLiteral("SELECT 1 FROM %1 WHERE CallSign = ? AND \"Date\" < ? "
                                                "LIMIT 1")
                                     .arg(QLatin1String(LogSchema::kView))
                                     .toStdString());
        const std::string start = Midnight(year.from);
        for (CSeen& s : seen) {
            before.reset();
            before.bind(1, s.call);
            before.bind(2, start);
            s.before = before.executeStep();
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    for (const QByteArray& day : days)
        year.nets.append({QDate::fromString(QString::fromLatin1(day), Qt::ISODate), 0, 0});
    for (const auto& [net, at] : perNet) {
        const CSeen& s = seen[size_t(at)];
        if (!s.before && s.first == net)
            ++year.nets[net].newStations;
        else
            ++year.nets[net].returning;
    }
    std::vector<const CSeen*> stations;
    stations.reserve(size_t(seen.size()));
    for (const CSeen& s : std::as_const(seen))
        stations.push_back(&s);
    const auto order = [](const CSeen* a, const CSeen* b) {
        if (a->nets != b->nets)
            return a->nets > b->nets;
        if (a->lastCounted != b->lastCounted)
            return a->lastCounted > b->lastCounted;
        return a->call < b->call;
    };
    const size_t shown = std::min(stations.size(), size_t(std::max(0, top)));
    std::partial_sort(stations.begin(), stations.begin() + std::ptrdiff_t(shown), stations.end(), order);
    for (size_t i = 0; i < shown; ++i) {
        CStation station;
        station.callSign = QString::fromStdString(stations[i]->call);
        station.nets = stations[i]->nets;
        station.lastHeard = year.nets[stations[i]->lastCounted].day;
        // The name of the station's newest check-in.
        const std::optional<CCheckinRecord> newest = LogQueries::NewestCheckin(db, station.callSign);
        station.name = newest ? newest->name : QString();
        year.regulars.append(station);
    }
    return year;
}

} // namespace NetStatistics
