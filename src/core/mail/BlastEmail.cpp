#include "core/mail/BlastEmail.h"

#include "core/app/Settings.h"
#include "core/log/LogQueries.h"
#include "core/mail/AppOctetStream.h"
#include "core/mail/MIMEMessage.h"
#include "core/mail/MIMETypeManager.h"
#include "core/mail/MailText.h"

#include <QDeadlineTimer>
#include <QHash>
#include <thread>

std::vector<CBlastStation> CBlastEmail::DistributionList(CDatabase& db, const QDate& day)
{
    std::vector<CBlastStation> stations;
    QHash<QString, size_t> byCall;
    for (const CCheckinRecord& r : LogQueries::DayCheckins(db, day)) {
        const QString email = r.email.trimmed();
        if (email.isEmpty())
            continue;
        const QString key = r.callSign.trimmed().toUpper();
        const auto it = byCall.constFind(key);
        if (it != byCall.constEnd()) {
            // Checked in again: one message, to the address given last.
            stations[*it].name = r.name.trimmed();
            stations[*it].email = email;
            continue;
        }
        byCall.insert(key, stations.size());
        stations.push_back({r.callSign.trimmed(), r.name.trimmed(), email});
    }
    return stations;
}

QString CBlastEmail::GreetingName(const QString& name)
{
    QString text = name.simplified();
    bool reordered = false;
    // "Last, First Middle": the part after the comma ("SMITH, JOHN Q" from the licence database).
    if (const qsizetype comma = text.indexOf(QLatin1Char(',')); comma >= 0) {
        const QString first = text.mid(comma + 1).simplified();
        if (!first.isEmpty()) {
            text = first;
            reordered = true;
        }
    }
    bool lower = false, letters = false;
    for (const QChar c : text) {
        lower = lower || c.isLower();
        letters = letters || c.isLetter();
    }
    const bool capitals = letters && !lower;
    if (!reordered && !capitals)
        return name; // written by a person: as it stands
    QString word = text.section(QLatin1Char(' '), 0, 0);
    if (capitals) {
        // "JOHN" is John, "MARY-ANN" Mary-Ann, "O'NEIL" O'Neil.
        bool start = true;
        for (QChar& c : word) {
            c = start ? c.toUpper() : c.toLower();
            start = !c.isLetter();
        }
    }
    return word;
}

QString CBlastEmail::Personalise(const QString& text, const CBlastStation& station)
{
    // In this order, so that a name holding "<CALL>" gets the call sign too.
    return QString(text)
        .replace(QLatin1String("<NAME>"), GreetingName(station.name))
        .replace(QLatin1String("<CALL>"), station.callSign);
}

CSMTP::Security CBlastEmail::ParseSecurity(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("starttls"))
        return CSMTP::Security::StartTls;
    if (t == QLatin1String("tls"))
        return CSMTP::Security::Tls;
    return CSMTP::Security::None;
}

QString CBlastEmail::SecurityName(CSMTP::Security security)
{
    switch (security) {
    case CSMTP::Security::StartTls:
        return QStringLiteral("starttls");
    case CSMTP::Security::Tls:
        return QStringLiteral("tls");
    case CSMTP::Security::None:
        break;
    }
    return QStringLiteral("none");
}

void CBlastEmail::ApplySettings(const CSettings& settings, CBlastRequest& request)
{
    request.server = settings.Get(Setting::MailServer).trimmed();
    request.port = settings.Get(Setting::MailPort);
    request.smtp.security = ParseSecurity(settings.Get(Setting::MailSecurity));
    request.smtp.user = settings.Get(Setting::MailUser).trimmed();
    request.smtp.caFile = settings.Get(Setting::MailCaFile).trimmed();
    request.smtp.connectTimeoutMs = std::max(1000, settings.Get(Setting::MailConnectTimeOut));
    request.smtp.replyTimeoutMs = std::max(1000, settings.Get(Setting::MailReplyTimeOut));
    request.from = settings.Get(Setting::MailFrom);
    request.pauseMs = std::max(0, settings.Get(Setting::MailPause)) * 1000;
}

void CBlastEmail::StoreSettings(CSettings& settings, const CBlastRequest& request)
{
    settings.Set(Setting::MailServer, request.server);
    settings.Set(Setting::MailPort, request.port);
    settings.Set(Setting::MailSecurity, SecurityName(request.smtp.security));
    settings.Set(Setting::MailUser, request.smtp.user);
    settings.Set(Setting::MailCaFile, request.smtp.caFile);
    settings.Set(Setting::MailFrom, request.from);
    settings.Set(Setting::MailPause, request.pauseMs / 1000);
}

QString CBlastEmail::ProgressText(int index, int total, const CBlastStation& station)
{
    return QStringLiteral("%1 of %2: %3").arg(index + 1).arg(total).arg(station.callSign);
}

QString CBlastSummary::Text() const
{
    if (!refused.isEmpty())
        return QStringLiteral("No message was sent: %1").arg(refused);
    QString text = QStringLiteral("%1 of %2 messages sent.").arg(sent).arg(total);
    if (cancelled)
        text += QStringLiteral(" Stopped on request; %1 not tried.")
                    .arg(total - static_cast<int>(results.size()));
    if (serverUnreachable) {
        QStringList calls;
        for (const CBlastStation& s : notTried)
            calls << s.callSign;
        text += QStringLiteral(" Stopped: the mail server could not be reached for two stations in a row");
        text += calls.isEmpty() ? QStringLiteral(".")
                                : QStringLiteral("; not tried: %1.").arg(calls.join(QStringLiteral(", ")));
    }
    for (const CBlastResult& r : results) {
        if (!r.sent)
            text += QStringLiteral("\nFailed: %1 <%2>: %3").arg(r.station.callSign, r.station.email, r.error);
    }
    return text;
}

namespace {

// What the blast refuses before the first message goes out; empty when all is well.
QString CheckShared(const CBlastRequest& request)
{
    if (request.server.trimmed().isEmpty())
        return QStringLiteral("No mail server is given");
    if (MailText::HasControl(request.server) || request.server.contains(QLatin1Char(' ')))
        return QStringLiteral("The mail server \"%1\" is not a host name").arg(request.server);
    if (request.port <= 0 || request.port > 65535)
        return QStringLiteral("The port %1 is not a TCP port").arg(request.port);
    if (!request.smtp.user.isEmpty() && request.smtp.security == CSMTP::Security::None)
        return QStringLiteral("Authentication needs an encrypted connection: choose STARTTLS or TLS");
    CMailMessage probe;
    probe.SetFrom(request.from);
    probe.SetSubject(request.subject);
    return probe.Check();
}

// The pause between two messages, cut short by a cancel.
void Pause(int ms, const CProgress* progress)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (progress && progress->IsCancelled())
            return;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min<qint64>(50, deadline.remainingTime())));
    }
}

} // namespace

CBlastSummary CBlastEmail::Send(const CBlastRequest& request)
{
    return Send(request, CObserver());
}

CBlastSummary CBlastEmail::Send(const CBlastRequest& request, const CObserver& observer)
{
    CBlastSummary summary;
    summary.total = static_cast<int>(request.stations.size());
    summary.refused = CheckShared(request);
    if (!summary.refused.isEmpty())
        return summary;
    // Each attachment is read and encoded once, and a file that cannot be read stops the blast before
    // the first message rather than going missing from all of them.
    std::vector<std::shared_ptr<const CEncodedAttachment>> attachments;
    for (const QString& path : request.attachments) {
        QString error;
        auto encoded = CAppOctetStream::Encode(path, error);
        if (!encoded) {
            summary.refused = error;
            return summary;
        }
        attachments.push_back(std::move(encoded));
    }

    int unreachableInARow = 0; // stations in a row for which the server was out of reach
    const CMIMETypeManager types;
    for (int i = 0; i < summary.total; ++i) {
        if (unreachableInARow >= 2) {
            // A server that does not answer the next one either would hold every station for its time-out.
            summary.serverUnreachable = true;
            summary.notTried.assign(request.stations.begin() + i, request.stations.end());
            break;
        }
        if (observer.progress && observer.progress->IsCancelled()) {
            summary.cancelled = true;
            break;
        }
        if (i > 0 && request.pauseMs > 0) {
            Pause(request.pauseMs, observer.progress);
            if (observer.progress && observer.progress->IsCancelled()) {
                summary.cancelled = true;
                break;
            }
        }
        const CBlastStation& station = request.stations[static_cast<size_t>(i)];
        if (observer.progress) {
            observer.progress->SetStage(ProgressText(i, summary.total, station));
            observer.progress->Report(i, summary.total);
        }
        if (observer.starting)
            observer.starting(i, summary.total, station);

        CBlastResult result{station, false, {}};
        CMIMEMessage message(types);
        message.SetFrom(request.from);
        message.SetSubject(request.subject);
        // The address and name come from the log as they are; the name is quoted in the To line, so
        // "<", ">" or ";" in it cannot change where the message goes.
        message.AddRecipient(station.email, station.name.isEmpty() ? station.callSign
                                                                   : QStringLiteral("%1 (%2)").arg(
                                                                         station.callSign, station.name));
        message.SetBody(Personalise(request.message, station));
        for (const auto& attachment : attachments)
            message.AddAttachment(attachment);

        result.error = MailText::CheckAddress(station.email);
        if (!result.error.isEmpty())
            result.error = QStringLiteral("Recipient refused: %1").arg(result.error);
        else
            result.error = message.Check();
        if (result.error.isEmpty()) {
            CSMTP smtp(request.server, request.port, request.smtp);
            if (smtp.Connect() && smtp.SendMessage(message)) {
                result.sent = true;
                smtp.Disconnect(); // the message is accepted whatever the goodbye brings
            } else {
                result.error = smtp.GetErrorText();
            }
            unreachableInARow = smtp.IsConnectionFailure() ? unreachableInARow + 1 : 0;
        }
        if (result.sent)
            ++summary.sent;
        summary.results.push_back(result);
        if (observer.done)
            observer.done(result);
    }
    return summary;
}

CBlastEmail::CBlastEmail(QObject* parent) : QObject(parent)
{
    connect(&m_job, &CBackgroundJob::finished, this, [this] {
        m_summary = m_running;
        try {
            m_job.RethrowError();
        } catch (const std::exception& e) {
            m_summary.refused = QString::fromUtf8(e.what());
        }
        Q_EMIT finished();
    });
}

CBlastEmail::~CBlastEmail()
{
    // Stop after the current message; the job's end waits for it.
    m_job.Cancel();
}

bool CBlastEmail::Start(CBlastRequest request)
{
    if (m_job.IsRunning())
        return false;
    m_running = {};
    return m_job.Start([this, request = std::move(request)](CBackgroundJob& job) {
        CObserver observer;
        observer.progress = &job.Progress();
        observer.starting = [this](int index, int total, const CBlastStation& station) {
            QMetaObject::invokeMethod(
                this,
                [this, index, total, text = ProgressText(index, total, station)] {
                    Q_EMIT progress(index, total, text);
                },
                Qt::QueuedConnection);
        };
        observer.done = [this](const CBlastResult& result) {
            QMetaObject::invokeMethod(
                this, [this, result] { Q_EMIT stationDone(result); }, Qt::QueuedConnection);
        };
        m_running = Send(request, observer);
    });
}
