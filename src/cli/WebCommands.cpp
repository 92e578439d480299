// logwarden-cli netlog, prenet and echolink: the club web exchange without the window.
#include "cli/CliCommand.h"
#include "core/Exceptions.h"
#include "core/app/AtomicFile.h"
#include "core/app/NetDetails.h"
#include "core/app/OutputCheck.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/web/PreNet.h"
#include "core/web/UploadLog.h"
#include "core/web/WebRequest.h"

#include <QDate>
#include <cstdio>

namespace {

// The time-outs of the user's settings, as the window uses them.
CWebOptions OptionsFromSettings()
{
    const CSettings settings(CSettings::DefaultPath(), QString());
    return CWebOptions::FromSettings(settings);
}

// --server, else the club's server of the settings (the window's pre-net box); empty when neither names
// one, after saying so.
QString ClubServer(const CCliArgs& a, const QString& command)
{
    QString server = a.Value(QStringLiteral("server")).trimmed();
    if (!a.Has(QStringLiteral("server"))) {
        const CSettings settings(CSettings::DefaultPath(), QString());
        server = PreNet::ClubServerSetting(settings.Get(Setting::PreNetServer));
    }
    if (server.isEmpty())
        CliError(QStringLiteral("logwarden-cli %1: %2 (--server HOST, or the club's server in the window)")
                     .arg(command, PreNet::kSetServerFirst));
    return server;
}

QDate ParseDay(const QString& text)
{
    return QDate::fromString(text, Qt::ISODate);
}

int RunNetLog(const QStringList& raw)
{
    const CCliArgs a(
        raw, {QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("out"), QStringLiteral("upload")});
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral(
                     "logwarden-cli netlog: %1\nUsage: logwarden-cli netlog --log FILE --day YYYY-MM-DD "
                     "[--reverse] [--out FILE] [--upload URL]")
                     .arg(why));
        return 2;
    };
    if (const QString why = a.Unexpected({QStringLiteral("log"), QStringLiteral("day"), QStringLiteral("out"),
                                          QStringLiteral("upload"), QStringLiteral("reverse")});
        !why.isEmpty())
        return usage(why);
    const QString logPath = a.Value(QStringLiteral("log"));
    const QString out = a.Value(QStringLiteral("out"));
    const QString upload = a.Value(QStringLiteral("upload"));
    if (logPath.isEmpty())
        return usage(QStringLiteral("--log FILE is required"));
    const QDate day = ParseDay(a.Value(QStringLiteral("day")));
    if (!day.isValid())
        return usage(QStringLiteral("--day YYYY-MM-DD is required"));
    if (out.isEmpty() && upload.isEmpty())
        return usage(QStringLiteral("give --out FILE, --upload URL or both"));

    const std::unique_ptr<CDatabase> log = CliOpenLog(QStringLiteral("netlog"), logPath);
    if (!log)
        return 1;
    // The club's and the net's names as the window publishes them.
    const CNetDetails net = CNetDetails::FromSettings(CSettings(CSettings::DefaultPath(), QString()));
    const std::optional<QByteArray> page =
        NetLog::BuildPage(*log, day, a.Has(QStringLiteral("reverse")), net);
    if (!page) {
        CliError(NetLog::NoRecordsMessage(day));
        return 1;
    }
    if (out == QLatin1String("-")) {
        std::fwrite(page->constData(), 1, size_t(page->size()), stdout);
        std::fflush(stdout);
    } else if (!out.isEmpty()) {
        OutputCheck::WriteText(out, *page, {logPath});
    }
    if (upload.isEmpty())
        return 0;

    CWebRequest request(OptionsFromSettings());
    request.SetServer(upload);
    const CWebResponse response = NetLog::UploadPage(request, *page);
    if (!response.IsSuccess()) {
        CliError(QStringLiteral("logwarden-cli netlog: Upload failed: %1").arg(response.FailureText()));
        return 1;
    }
    CliError(QStringLiteral("Uploaded to %1: %2 %3")
                 .arg(response.Url(), response.StatusText(), response.TookText()));
    return 0;
}

int RunPreNet(const QStringList& raw)
{
    const CCliArgs a(raw, {QStringLiteral("server"), QStringLiteral("log"), QStringLiteral("day")});
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral("logwarden-cli prenet: %1\nUsage: logwarden-cli prenet [--server HOST] "
                                "[--log FILE --day YYYY-MM-DD]")
                     .arg(why));
        return 2;
    };
    if (const QString why =
            a.Unexpected({QStringLiteral("server"), QStringLiteral("log"), QStringLiteral("day")});
        !why.isEmpty())
        return usage(why);
    if (a.Has(QStringLiteral("log")) != a.Has(QStringLiteral("day")))
        return usage(QStringLiteral("--log and --day go together"));
    CCallSet dayCalls;
    if (a.Has(QStringLiteral("log"))) {
        const QDate day = ParseDay(a.Value(QStringLiteral("day")));
        if (!day.isValid())
            return usage(
                QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("day"))));
        const std::unique_ptr<CDatabase> log =
            CliOpenLog(QStringLiteral("prenet"), a.Value(QStringLiteral("log")));
        if (!log)
            return 1;
        dayCalls = CCallSet::OfDay(*log, day);
    }
    const QString server = ClubServer(a, QStringLiteral("prenet"));
    if (server.isEmpty())
        return 1;

    CWebRequest request(OptionsFromSettings());
    CPreNetFetch fetch = PreNet::FetchPreNet(request, server);
    if (fetch.page.status == CPreNetPage::Failed) {
        CliError(QStringLiteral("logwarden-cli prenet: %1").arg(fetch.page.Message()));
        return 1;
    }
    if (fetch.page.status != CPreNetPage::Entries) {
        CliError(fetch.page.Message());
        return 1;
    }
    if (fetch.page.capped)
        CliError(QStringLiteral("logwarden-cli prenet: %1").arg(fetch.page.Summary()));
    PreNet::MarkLogged(fetch.page.entries, dayCalls);
    QString text;
    // Every field escaped: a page cannot print a record of its own or shift the columns.
    for (const CPreNetEntry& e : fetch.page.entries)
        text += QStringLiteral("%1|%2|%3|%4\n")
                    .arg(e.logged ? QLatin1Char('1') : QLatin1Char('0'))
                    .arg(CliField(e.call), CliField(e.name), CliField(e.location));
    const QByteArray bytes = CliPrintable(text).toUtf8(); // text from a web page
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}

int RunEchoLink(const QStringList& raw)
{
    const CCliArgs a(raw, {QStringLiteral("server")});
    if (const QString why = a.Unexpected({QStringLiteral("server")}); !why.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli echolink: %1\nUsage: logwarden-cli echolink [--server HOST]")
                     .arg(why));
        return 2;
    }
    const QString server = ClubServer(a, QStringLiteral("echolink"));
    if (server.isEmpty())
        return 1;
    CWebRequest request(OptionsFromSettings());
    const CEchoLinkFetch fetch = PreNet::FetchEchoLink(request, server);
    if (!fetch.response.IsSuccess()) {
        CliError(QStringLiteral("logwarden-cli echolink: %1").arg(fetch.response.FailureText()));
        return 1;
    }
    QString text;
    if (fetch.capped)
        CliError(QStringLiteral("logwarden-cli echolink: the page holds more than %1 stations; only the "
                                "first ones are listed")
                     .arg(PreNet::kMaxEntries));
    for (const QString& station : fetch.stations)
        text += CliField(station) + QLatin1Char('\n');
    const QByteArray bytes = CliPrintable(text).toUtf8(); // text from a web page
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return 0;
}

CCliRegistrar netlogReg{
    {QStringLiteral("netlog"),
     QStringLiteral("netlog --log FILE --day YYYY-MM-DD [--reverse] [--out FILE] [--upload URL]"),
     QStringLiteral("Write the day's net-log page as the window does (--out - writes to standard "
                    "output) and/or post it to URL; exit 0 only when the server answered 2xx."),
     &RunNetLog}};
CCliRegistrar prenetReg{
    {QStringLiteral("prenet"), QStringLiteral("prenet [--server HOST] [--log FILE --day YYYY-MM-DD]"),
     QStringLiteral("List the pre-net check-ins of the club server (default: the window's) as "
                    "Ack|Call|Name|Location (Ack 1: already in the day's log); line ends, | and \\ in a "
                    "field are written as \\x0a, \\x7c and \\\\."),
     &RunPreNet}};
CCliRegistrar echolinkReg{
    {QStringLiteral("echolink"), QStringLiteral("echolink [--server HOST]"),
     QStringLiteral("List the stations of the club server's (default: the window's) EchoLink listing, one "
                    "per line."),
     &RunEchoLink}};

} // namespace
