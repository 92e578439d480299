// logwarden-cli regulars and net-summary: who is missing from a night's net, and what the net came to.
#include "cli/CliCommand.h"
#include "core/db/Database.h"
#include "core/net/NetRegulars.h"
#include "core/net/NetSummary.h"

#include <QDate>
#include <optional>

namespace {

struct CLogAndDay
{
    QString log;
    QDate day;
};

// --log FILE and --day YYYY-MM-DD, checked; an exit status when they are wrong.
std::optional<int> ReadLogAndDay(const CCliArgs& a, const QString& command, const QString& usageText,
                                 CLogAndDay& out)
{
    const auto usage = [&](const QString& why) {
        CliError(
            QStringLiteral("logwarden-cli %1: %2\nUsage: logwarden-cli %3").arg(command, why, usageText));
        return 2;
    };
    out.log = a.Value(QStringLiteral("log"));
    if (out.log.isEmpty())
        return usage(QStringLiteral("--log FILE is required"));
    if (!a.Has(QStringLiteral("day")))
        return usage(QStringLiteral("--day YYYY-MM-DD is required"));
    out.day = QDate::fromString(a.Value(QStringLiteral("day")), Qt::ISODate);
    if (!out.day.isValid())
        return usage(QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("day"))));
    return std::nullopt;
}

std::optional<int> ReadCount(const CCliArgs& a, const QString& option, int fallback, const QString& command,
                             int& out)
{
    if (!a.Has(option)) {
        out = fallback;
        return std::nullopt;
    }
    bool ok = false;
    out = a.Value(option).toInt(&ok);
    if (!ok || out < 1 || out > 52) {
        CliError(QStringLiteral("logwarden-cli %1: --%2 takes a number from 1 to 52, not '%3'")
                     .arg(command, option, a.Value(option)));
        return 2;
    }
    return std::nullopt;
}

int RunRegulars(const QStringList& args)
{
    const QString usageText = QStringLiteral("regulars --log FILE --day YYYY-MM-DD [--nets 4] [--min 2]");
    const QStringList options{QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("nets"),
                              QStringLiteral("min")};
    const CCliArgs a(args, options);
    if (const QString why = a.Unexpected(options); !why.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli regulars: %1\nUsage: logwarden-cli %2").arg(why, usageText));
        return 2;
    }
    CLogAndDay in;
    if (const std::optional<int> status = ReadLogAndDay(a, QStringLiteral("regulars"), usageText, in))
        return *status;
    NetRegulars::COptions options2;
    if (const auto s = ReadCount(a, QStringLiteral("nets"), 4, QStringLiteral("regulars"), options2.nets))
        return *s;
    if (const auto s = ReadCount(a, QStringLiteral("min"), 2, QStringLiteral("regulars"), options2.minTimes))
        return *s;
    if (options2.minTimes > options2.nets) {
        CliError(QStringLiteral("logwarden-cli regulars: --min %1 is more than --nets %2")
                     .arg(options2.minTimes)
                     .arg(options2.nets));
        return 2;
    }
    const std::unique_ptr<CDatabase> db = CliOpenLog(QStringLiteral("regulars"), in.log);
    if (!db)
        return 1;
    for (const NetRegulars::CRegular& r : NetRegulars::Missing(*db, in.day, options2))
        CliPrint(QStringLiteral("%1|%2|%3|%4")
                     .arg(CliField(r.callSign), CliField(r.name), r.lastHeard.date().toString(Qt::ISODate))
                     .arg(r.times));
    return 0;
}

int RunNetSummary(const QStringList& args)
{
    const QString usageText = QStringLiteral("net-summary --log FILE --day YYYY-MM-DD [--html]");
    const CCliArgs a(args, {QStringLiteral("log"), QStringLiteral("day")});
    if (const QString why =
            a.Unexpected({QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("html")});
        !why.isEmpty()) {
        CliError(
            QStringLiteral("logwarden-cli net-summary: %1\nUsage: logwarden-cli %2").arg(why, usageText));
        return 2;
    }
    CLogAndDay in;
    if (const std::optional<int> status = ReadLogAndDay(a, QStringLiteral("net-summary"), usageText, in))
        return *status;
    const std::unique_ptr<CDatabase> db = CliOpenLog(QStringLiteral("net-summary"), in.log);
    if (!db)
        return 1;
    const CNetSummary summary = NetSummary::Summarize(*db, in.day);
    if (a.Has(QStringLiteral("html"))) {
        // Line by line: a control character in a call sign reaches the terminal as an escape.
        for (const QString& line : summary.Html().chopped(1).split(QLatin1Char('\n')))
            CliPrint(CliPrintable(line));
        return 0;
    }
    // One line a line: a line break inside a field (a call of an old import) would forge the next line.
    for (const QString& line : summary.Lines())
        CliPrint(CliPrintable(QString(line).replace(QLatin1Char('\n'), QLatin1String("\\n"))));
    return 0;
}

CCliRegistrar regRegulars{
    {QStringLiteral("regulars"), QStringLiteral("regulars --log FILE --day YYYY-MM-DD [--nets 4] [--min 2]"),
     QStringLiteral("List the regulars not yet logged on the day (heard on at least --min of the last --nets "
                    "nets of its weekday) as CALL|NAME|LAST-HEARD|TIMES, newest first."),
     &RunRegulars}};
CCliRegistrar regSummary{
    {QStringLiteral("net-summary"), QStringLiteral("net-summary --log FILE --day YYYY-MM-DD [--html]"),
     QStringLiteral("Print the day's net summary: check-ins, new stations, regulars missing, traffic, "
                    "acknowledged, start, end and duration (--html: as an HTML fragment)."),
     &RunNetSummary}};

} // namespace
