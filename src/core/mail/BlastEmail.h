#pragma once

#include "core/jobs/BackgroundJob.h"
#include "core/jobs/Progress.h"
#include "core/mail/SMTP.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class CDatabase;
class CSettings;

// One station of the distribution list, as the log has it.
struct CBlastStation
{
    QString callSign;
    QString name;
    QString email;
};

// Everything one blast sends: the same text and attachments to each station, each in a message and an
// SMTP session of its own.
struct CBlastRequest
{
    QString server;
    int port = 25;
    CSMTP::COptions smtp;
    QString from; // display form or a bare address
    QString subject;
    QString message; // "<NAME>" and "<CALL>" are replaced per station
    QStringList attachments;
    std::vector<CBlastStation> stations;
    int pauseMs = 5000; // between two messages
};

struct CBlastResult
{
    CBlastStation station;
    bool sent = false;
    QString error; // why not, when not sent
};

struct CBlastSummary
{
    int total = 0;
    int sent = 0;
    bool cancelled = false;
    // The server was out of reach (no connection, no greeting, no TLS) for two stations in a row: the
    // blast stopped there; notTried are the stations after them.
    bool serverUnreachable = false;
    std::vector<CBlastStation> notTried;
    // Set when nothing was sent because what every message shares was refused (an unreadable
    // attachment, a sender that is no address, ...).
    QString refused;
    std::vector<CBlastResult> results; // one per station tried, in order

    int Failed() const { return static_cast<int>(results.size()) - sent; }
    // "3 of 4 messages sent." and a line for each station that failed, with its error.
    QString Text() const;
};

// The invitation e-mail to the stations of a net day. Send() works on the calling thread (the command
// line); Start() runs the same in the background for the window, which follows it through progress(),
// stationDone() and finished() and may Cancel() it: the blast then stops after the current message.
class CBlastEmail : public QObject
{
    Q_OBJECT
public:
    // The stations of the day's log that have an e-mail address, one per call sign (a station that
    // checked in twice gets one message), in the order they first checked in, with the name and address
    // of their newest check-in.
    static std::vector<CBlastStation> DistributionList(CDatabase& db, const QDate& day);
    // Every "<NAME>" replaced by the name to greet with (GreetingName), then every "<CALL>" by the call
    // sign.
    static QString Personalise(const QString& text, const CBlastStation& station);
    // The first name of a name as the log keeps it: "Lee, Billy" (last name first) gives "Billy", a name in
    // capitals its first word with a capital only at its start ("JOHN SMITH" gives "John"); a name written
    // in mixed case otherwise stays as it is ("Ann New").
    static QString GreetingName(const QString& name);

    // Server, port, security, user, CA file, time-outs, sender and pause from the settings; the password
    // is the caller's to add (CSecretStore).
    static void ApplySettings(const CSettings& settings, CBlastRequest& request);
    // The same, back into the settings (what the window shows and the user may have changed).
    static void StoreSettings(CSettings& settings, const CBlastRequest& request);
    static CSMTP::Security ParseSecurity(const QString& text); // "none", "starttls", "tls"
    static QString SecurityName(CSMTP::Security security);

    struct CObserver
    {
        // Before a station's message: index from 0.
        std::function<void(int index, int total, const CBlastStation& station)> starting;
        std::function<void(const CBlastResult& result)> done;
        // Told "3 of 12: W4ABC" (the stage) and the index of the total before each message; looked at
        // between messages and during the pause: cancelling it stops the blast there. Null: none.
        CProgress* progress = nullptr;
    };
    // Checks and encodes what every message shares, then sends to each station in turn.
    static CBlastSummary Send(const CBlastRequest& request, const CObserver& observer);
    static CBlastSummary Send(const CBlastRequest& request);
    // "3 of 12: W4ABC"
    static QString ProgressText(int index, int total, const CBlastStation& station);

    explicit CBlastEmail(QObject* parent = nullptr);
    ~CBlastEmail() override;

    // False when a blast is already running.
    bool Start(CBlastRequest request);
    void Cancel() { m_job.Cancel(); }
    bool IsRunning() const { return m_job.IsRunning(); }
    // After finished().
    const CBlastSummary& Summary() const { return m_summary; }

Q_SIGNALS:
    // index from 0; text as ProgressText().
    void progress(int index, int total, const QString& text);
    void stationDone(const CBlastResult& result);
    void finished();

private:
    CBlastSummary m_summary;
    CBlastSummary m_running; // written by the worker only
    CBackgroundJob m_job;
};
