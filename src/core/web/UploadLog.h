#pragma once

#include "core/app/NetDetails.h"
#include "core/log/CheckinRecord.h"
#include "core/web/WebRequest.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class CDatabase;

// The day's net log as a web page: a page template with one row per check-in.
//
// Placeholders of the page: "DATE", "RECORDCOUNT", "RECORDENTRIESHERE", "NETNAME" and "CLUBNAME" (and the
// footer's "COPYRIGHTYEAR");
// of a row: "RECORD", "CALL" (twice), "NAME", "LOCATION", "COMMENTS". Each template is filled in one pass
// from left to right: text put in for one placeholder is never read again, so a name holding "LOCATION"
// or a call sign holding "NAME" stays as it is. Every value from the log is HTML-escaped.
class CUploadLog
{
public:
    CUploadLog();
    virtual ~CUploadLog();

    // With reverse set, each row added goes before the rows already there (newest first).
    void SetReverse(bool reverse) { m_reverse = reverse; }
    // The text put in for "DATE" ("3/7/2024").
    void SetDate(const QString& date) { m_date = date; }
    // The net's and the club's names ("NETNAME", "CLUBNAME").
    void SetNet(const CNetDetails& net) { m_net = net; }
    // The text put in for "COPYRIGHTYEAR" in the footer.
    void SetYear(int year) { m_year = year; }
    QString GetRowTemplate() const { return m_rowTemplate; }
    // The row of the check-in numbered n (counting from 1 in the order they were logged).
    QString MakeRow(int n, const CCheckinRecord& record) const;
    void AddRow(const QString& row);
    void ResetRows();
    int RowCount() const { return m_rowCount; }

    // The filled page, as text and as the bytes written and sent (ISO-8859-1, as its meta tag says, with
    // numeric character references for whatever that charset lacks).
    QString Page() const;
    QByteArray PageBytes() const;

    static const QString& DefaultPageTemplate();
    static const QString& DefaultRowTemplate();

private:
    bool m_reverse = false;
    int m_rowCount = 0;
    int m_year = 0;
    QString m_date;
    CNetDetails m_net;
    QString m_rowTemplate;
    QString m_pageTemplate;
    QStringList m_rows; // in page order
};

// Building, saving and uploading the net-log page.
namespace NetLog {

inline const QString kFileName = QStringLiteral("NetLog.html");
inline const QString kScriptPath = QStringLiteral("cgi-bin/netlog.cgi");
inline const QString kPort = QStringLiteral("80");
inline const QByteArray kContentType = QByteArrayLiteral("text/html; charset=iso-8859-1");

// "3/7/2024": month and day without leading zeros.
QString DateText(const QDate& day);
// "Date like '3/7/2024*'", the day as the messages name it.
QString DayFilterText(const QDate& day);
// "No Matching Records for Date like '3/7/2024*' to upload...".
QString NoRecordsMessage(const QDate& day);

// & < > " and ' as character references.
QString EscapeHtml(const QString& text);
// ISO-8859-1 bytes; characters outside it (and the C1 controls) as "&#N;".
QByteArray ToLatin1WithReferences(const QString& text);

// The page of the day's check-ins (in the order they were logged); nothing when there are none.
std::optional<QByteArray> BuildPage(const std::vector<CCheckinRecord>& dayCheckins, const QDate& day,
                                    bool reverse, const CNetDetails& net = {});
std::optional<QByteArray> BuildPage(CDatabase& log, const QDate& day, bool reverse,
                                    const CNetDetails& net = {});

// Writes "NetLog.html" into the folder, replacing the previous page atomically. Raises CFileException.
void SavePage(const QString& folder, const QByteArray& page);

// Points the request at the upload script of the club's server: the server text, port "80" (for plain
// http without a port of its own), "cgi-bin/netlog.cgi", no credentials of its own.
void ConfigureUpload(CWebRequest& request, const QString& server);
// Sends the page as the body of a POST to the request's address. Only the answer's status counts: the
// exchange ends once it has come, whatever the server sends after it.
CWebResponse UploadPage(CWebRequest& request, const QByteArray& page);

// The outcome of one publication.
struct CResult
{
    bool ok = false;
    int rows = 0;
    // Empty on success; else "No Matching Records for ... to upload...", "Upload failed: 503 Service
    // Unavailable", "Upload failed: <reason>", or why "NetLog.html" could not be written.
    QString message;
    CWebResponse response;
};

// What "OSTRA" does: the day's page into "NetLog.html" in the folder, then to the request's address.
CResult Publish(CDatabase& log, const QDate& day, bool reverse, const QString& folder, CWebRequest& request,
                const CNetDetails& net = {});

} // namespace NetLog
