#pragma once

#include "core/callbook/Callbook.h"
#include "core/log/CheckinRecord.h"
#include "core/web/WebRequest.h"

#include <QByteArray>
#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

class CDatabase;
class CFccDatabase;

// A set of call signs compared as whole calls, trimmed and without regard to case: W4AB does not
// contain W4ABC, and "w4abc " is W4ABC.
class CCallSet
{
public:
    CCallSet() = default;
    explicit CCallSet(const QStringList& calls);

    void Insert(const QString& call);
    bool Contains(const QString& call) const;
    qsizetype Size() const { return m_calls.size(); }

    // The calls of one day's check-ins.
    static CCallSet OfDay(CDatabase& log, const QDate& day);
    // The key a call is kept under: trimmed, upper case.
    static QString Key(const QString& call);

private:
    QSet<QString> m_calls;
};

// One station of the club server's pre-net check-in page.
struct CPreNetEntry
{
    QString call;
    QString name;
    QString location;
    // Already in the day's log ("Ack").
    bool logged = false;
};

// What the club server's "cgi-bin/preCheckIn" page says.
struct CPreNetPage
{
    enum Status
    {
        Entries,      // at least one entry
        NothingFound, // "Nothing found so far for today"
        BadServer,    // "Bad Server Name perhaps?"
        Failed,       // no page: the server answered with an error status, or not at all (see failure)
    };
    Status status = BadServer;
    std::vector<CPreNetEntry> entries; // in page order
    // More entries than PreNet::kMaxEntries: only the first ones were read.
    bool capped = false;
    // Why there is no page ("500 Internal Server Error", "Couldn't connect to server").
    QString failure;
    // The message for the operator; empty when there are entries.
    QString Message() const;
    // For the status bar: "Pre-net: 5 check-ins", or Message().
    QString Summary() const;
};

// The net-control station's side of the pre-net check-ins and the EchoLink listing.
namespace PreNet {

inline const QString kPreNetPath = QStringLiteral("cgi-bin/preCheckIn");
inline const QString kEchoLinkPath = QStringLiteral("cgi-bin/echoLogin");
// What the buttons and commands that need the club's server say while none is set.
inline const QString kSetServerFirst = QStringLiteral("Set the club's server first");
// A club server setting as it stands, trimmed; empty for the placeholder that earlier versions stored on
// their first start ("www.example.org"), which no club ever chose.
QString ClubServerSetting(const QString& value);
// No net has this many stations: a page with more is read no further.
inline constexpr size_t kMaxEntries = 5000;

// Reads the pre-net page (the answer's body without carriage returns). The server's contract: a page of
// 1375 bytes or fewer, or one holding "404", has no entries (1357 bytes exactly is the server's empty
// page of the day, anything else a wrong server); otherwise each "<li>" element after the first "/form>"
// (or anywhere, when the page has no form) is one entry "CALL, NAME, LOCATION" or "CALL, NAME". An entry
// runs to its "</li>" (or, not closed, to the next "<li>" or the end of its list); its tags are left out
// ("<b>W1AW</b>" is W1AW), then it is split at its commas and each field's character references are
// decoded ("Smith &amp; Sons"). "+" stands for the form's blanks: removed from the call sign, a blank in
// the name; the location keeps it. Blanks, line ends and control characters collapse to single blanks.
// An element without a call sign is no entry; a page without entries is the "nothing found" case. At
// most kMaxEntries entries are read (capped says so). Any input is read in linear time.
CPreNetPage ParsePage(const QByteArray& body);

// Marks each entry whose call sign is in the set.
void MarkLogged(std::vector<CPreNetEntry>& entries, const CCallSet& dayCalls);

// The entries "Move all pre-checkins to log book" logs, in page order: those not in the day's calls,
// each call sign once.
std::vector<CPreNetEntry> EntriesToMove(const std::vector<CPreNetEntry>& entries, CCallSet dayCalls);

// What a pre-net entry becomes in the form before it is logged: the station's newest check-in (with an
// empty comment and the three flags clear), else its FCC licence (name, address, class), else the pre-net
// entry's own name and location: the look-up chain of the log and the FCC database, the entry last. The
// call sign is the entry's, upper case; the date is left for the writer to set. A missing or unreadable
// FCC database counts as "not found" (fccError says why); a log that cannot be read raises.
struct CMove
{
    CCallbookAnswer::Source source = CCallbookAnswer::Source::PreNetEntry;
    CCheckinRecord record;
    QString fccError;
};
CMove Resolve(CDatabase& log, CFccDatabase& fcc, const QString& fccDbPath, const CPreNetEntry& entry);

// The EchoLink refresh period of the "Refresh Every" box (whole seconds, leading digits), in
// milliseconds; 0 when the box holds no positive number: then no timer is started.
int RefreshIntervalMs(const QString& secondsText);

// Reads the EchoLink page: the text between "<body>" and "</body>" holds the stations, each ended by one
// blank. A piece without its blank after it (the last one) or the end of the list (two blanks in a row)
// ends the reading; text without any blank is one station. Stations are trimmed and empty ones dropped.
// In page order; at most kMaxEntries of them (capped, when given, says whether more were left).
QStringList ParseEchoLink(const QString& body, bool* capped = nullptr);

// The line to select again after a refresh: the first line, from the second one on and wrapping round to
// the first, that begins with the previously selected text (case ignored); -1 when none does, or when the
// list has fewer lines than the old selection's index.
int Reselect(const QStringList& lines, const QString& previousText, int previousIndex);

} // namespace PreNet

// A pre-net refresh: the page as read, and the exchange (for its failure, if any).
struct CPreNetFetch
{
    CPreNetPage page;
    CWebResponse response;
};

// An EchoLink refresh: the stations in page order, and the exchange. Only a 2xx answer is read: on any
// other the stations are empty and the response says why.
struct CEchoLinkFetch
{
    QStringList stations;
    bool capped = false;
    CWebResponse response;
};

namespace PreNet {

// Fetches and reads "cgi-bin/preCheckIn" of the server (no port or credentials of its own). Only a 2xx
// answer is read: any other, or none, is the Failed case with the status or the reason.
CPreNetFetch FetchPreNet(CWebRequest& request, const QString& server);
// Fetches and reads "cgi-bin/echoLogin" of the server.
CEchoLinkFetch FetchEchoLink(CWebRequest& request, const QString& server);

} // namespace PreNet
