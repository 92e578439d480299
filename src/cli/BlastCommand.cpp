// logwarden-cli blast: the invitation e-mail to every station of a net day.
#include "cli/CliCommand.h"
#include "core/app/DataFolder.h"
#include "core/app/Settings.h"
#include "core/db/Database.h"
#include "core/mail/BlastEmail.h"
#include "core/mail/MailText.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

const char kUsage[] =
    "blast --log FILE --day YYYY-MM-DD --server smtp://HOST:PORT --from TEXT --subject TEXT "
    "--message FILE [--attach FILE]... [--pause SECONDS] [--user NAME] [--starttls|--tls] "
    "[--cafile FILE]";

int RunBlast(const QStringList& argv)
{
    const QStringList valueOptions{QStringLiteral("log"),     QStringLiteral("day"),
                                   QStringLiteral("server"),  QStringLiteral("from"),
                                   QStringLiteral("subject"), QStringLiteral("message"),
                                   QStringLiteral("attach"),  QStringLiteral("pause"),
                                   QStringLiteral("user"),    QStringLiteral("cafile")};
    const QStringList flags{QStringLiteral("starttls"), QStringLiteral("tls")};
    const CCliArgs a(argv, valueOptions);
    const auto usage = [](const QString& why) {
        CliError(QStringLiteral("logwarden-cli blast: %1\nUsage: logwarden-cli %2")
                     .arg(why, QLatin1String(kUsage)));
        return 2;
    };
    if (const QString why = a.Unexpected(valueOptions + flags); !why.isEmpty())
        return usage(why);
    for (const char* required : {"log", "day", "server", "from", "subject", "message"}) {
        if (!a.Has(QLatin1String(required)))
            return usage(QStringLiteral("--%1 is required").arg(QLatin1String(required)));
    }
    if (a.Has(QStringLiteral("starttls")) && a.Has(QStringLiteral("tls")))
        return usage(QStringLiteral("give --starttls or --tls, not both"));
    const QDate day = QDate::fromString(a.Value(QStringLiteral("day")), Qt::ISODate);
    if (!day.isValid())
        return usage(QStringLiteral("'%1' is not a day (YYYY-MM-DD)").arg(a.Value(QStringLiteral("day"))));

    const CSettings settings(CSettings::DefaultPath(), DataFolder::Resolve(QCoreApplication::arguments()));
    CBlastRequest request;
    CBlastEmail::ApplySettings(settings, request);
    request.smtp.caFile.clear();
    request.smtp.user.clear();
    request.smtp.security = a.Has(QStringLiteral("tls"))        ? CSMTP::Security::Tls
                            : a.Has(QStringLiteral("starttls")) ? CSMTP::Security::StartTls
                                                                : CSMTP::Security::None;
    const QUrl server(a.Value(QStringLiteral("server")), QUrl::StrictMode);
    if (!server.isValid() || server.scheme() != QLatin1String("smtp") || server.host().isEmpty() ||
        !server.userInfo().isEmpty() || (!server.path().isEmpty() && server.path() != QLatin1String("/")))
        return usage(QStringLiteral("'%1' is not a mail server (smtp://HOST:PORT)")
                         .arg(a.Value(QStringLiteral("server"))));
    request.server = server.host();
    const int defaultPort = request.smtp.security == CSMTP::Security::Tls        ? 465
                            : request.smtp.security == CSMTP::Security::StartTls ? 587
                                                                                 : 25;
    request.port = server.port(defaultPort);
    if (a.Has(QStringLiteral("pause"))) {
        bool ok = false;
        const double seconds = a.Value(QStringLiteral("pause")).toDouble(&ok);
        if (!ok || seconds < 0 || seconds > 3600)
            return usage(QStringLiteral("--pause takes seconds from 0 to 3600"));
        request.pauseMs = static_cast<int>(seconds * 1000);
    }
    request.smtp.caFile = a.Value(QStringLiteral("cafile"));
    request.smtp.user = a.Value(QStringLiteral("user"));
    if (!request.smtp.user.isEmpty()) {
        if (request.smtp.security == CSMTP::Security::None)
            return usage(
                QStringLiteral("--user needs --starttls or --tls: the password is never sent in the clear"));
        if (!qEnvironmentVariableIsSet("LOGWARDEN_SMTP_PASSWORD")) {
            CliError(
                QStringLiteral("logwarden-cli blast: --user needs the password in LOGWARDEN_SMTP_PASSWORD"));
            return 2;
        }
        request.smtp.password = qEnvironmentVariable("LOGWARDEN_SMTP_PASSWORD");
    }
    request.from = a.Value(QStringLiteral("from"));
    request.subject = a.Value(QStringLiteral("subject"));
    request.message = MailText::ReadStoredMessage(a.Value(QStringLiteral("message")));
    request.attachments = a.Values(QStringLiteral("attach"));

    const QString log = a.Value(QStringLiteral("log"));
    {
        const std::unique_ptr<CDatabase> db = CliOpenLog(QStringLiteral("blast"), log);
        if (!db)
            return 1;
        request.stations = CBlastEmail::DistributionList(*db, day);
    }
    if (request.stations.empty()) {
        CliError(QStringLiteral("logwarden-cli blast: no station of %1 has an e-mail address; nothing sent")
                     .arg(day.toString(Qt::ISODate)));
        return 0;
    }

    CProgress progress;
    const CCliInterrupt interrupt(&progress);
    CBlastEmail::CObserver observer;
    // Call sign, address and the server's words come from outside: one line per station, whatever they hold.
    observer.done = [](const CBlastResult& r) {
        if (r.sent)
            CliPrint(
                QStringLiteral("sent %1 <%2>").arg(CliField(r.station.callSign), CliField(r.station.email)));
        else
            CliPrint(QStringLiteral("failed %1 <%2>: %3")
                         .arg(CliField(r.station.callSign), CliField(r.station.email), CliField(r.error)));
    };
    observer.progress = &progress;
    const CBlastSummary summary = CBlastEmail::Send(request, observer);
    if (!summary.refused.isEmpty()) {
        CliError(QStringLiteral("logwarden-cli blast: %1; nothing sent").arg(summary.refused));
        return 1;
    }
    CliError(QStringLiteral("%1 of %2 messages sent").arg(summary.sent).arg(summary.total));
    if (summary.serverUnreachable) {
        QStringList calls;
        for (const CBlastStation& s : summary.notTried)
            calls << CliField(s.callSign);
        CliError(QStringLiteral("logwarden-cli blast: stopped: the mail server could not be reached for two "
                                "stations in a row; not tried: %1")
                     .arg(calls.join(QStringLiteral(", "))));
    }
    if (summary.cancelled) {
        CliError(QStringLiteral("logwarden-cli blast: interrupted; %1 stations not tried")
                     .arg(summary.total - static_cast<int>(summary.results.size())));
        return 130;
    }
    return summary.Failed() > 0 ? 1 : 0;
}

CCliRegistrar reg{
    {QStringLiteral("blast"), QString::fromLatin1(kUsage),
     QStringLiteral("Send the message to every station of the day that has an e-mail address, one "
                    "message each, with <NAME> and <CALL> filled in (a password for --user comes from "
                    "LOGWARDEN_SMTP_PASSWORD). Prints 'sent CALL <address>' or 'failed CALL <address>: "
                    "why' per station; exit status 1 when any failed."),
     &RunBlast}};

} // namespace
