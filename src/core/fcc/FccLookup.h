#pragma once

#include <QDate>
#include <QString>
#include <memory>
#include <optional>
#include <sys/types.h>

class CDatabase;
class CSettings;

// The local look-up of a call sign in the FCC licence database (F7, "&Local Look Up", "Pull from FCC
// [F7]"), and the addresses of the FCC licence page ("&FCC Lookup") and the QRZ page ("&QRZ Lookup").
//
// A call sign may have several licences over the years (reissued calls): the look-up takes the call's
// active licence (HD status A); when it has none, its newest licence, and says that it expired or was
// cancelled. Name and address come from that licence's EN row only, so a previous holder of the call is
// never shown for the current one.

struct CFccLookupResult
{
    bool found = false; // the call sign has a licence (HD) or a licensee (EN) row
    QString callSign;   // the call sign looked up
    QString name;       // EntityName, as the EN row carries it
    // StreetAddress without leading white space, else "P.O. Box " + POBox, else empty.
    QString addr1;
    // "City, ST ZIP" ("%s, %s %s"), the ZIP code as stored (06001 stays 06001) and a nine-digit one as
    // 90013-7999; empty when the row has no city, state and ZIP.
    QString addr2;
    QString operatorClass; // OperatorClass of the AM row of the same licence and call sign; empty when none
    qint32 uniqueSystemIdentifier = 0; // the licence the fields come from, 0 when not found

    enum class Status
    {
        Unknown,
        Active,
        Expired,
        Cancelled,
        Other
    };
    Status status = Status::Unknown;
    QDate statusDate;   // when it expired or was cancelled
    QString statusCode; // HD's LicenseStatus as stored

    // "Licence expired on 2019-05-01", "Licence cancelled on 2019-05-01"; empty for an active licence.
    QString StatusText() const;
    // "Active", "Expired on 2019-05-01", "Cancelled on 2019-05-01", "Unknown" (the CLI's Status line).
    QString StatusLine() const;
};

// Looks up the call sign, which is used as given (the form's field is upper case; so are the FCC's).
CFccLookupResult FccLookUp(CDatabase& fccDb, const QString& callSign);

// The identifier of the licence page for a call sign: the UniqueSystemIdentifier of the first HD row
// whose call sign matches the pattern ('*' any run, '?' one character, case ignored), highest call sign
// first and, of several licences of one call sign, the active one, else the newest. Empty when no HD row
// matches.
std::optional<qint32> FccLicenceKey(CDatabase& fccDb, const QString& callPattern);

// The FCC licence database the window and the CLI read: a read-only connection kept open between
// look-ups (opening the file and reading its schema is half the time of a look-up), opened again when the
// path names another file, as it does once a build has put a new database in place. One object per
// thread that looks up.
class CFccDatabase
{
public:
    CFccDatabase();
    ~CFccDatabase();
    CFccDatabase(const CFccDatabase&) = delete;
    CFccDatabase& operator=(const CFccDatabase&) = delete;

    // The connection to the file at path. Raises CDBException, with a message that says how to build
    // it, when the file does not exist, and when it is no database.
    CDatabase& Connection(const QString& path);
    CFccLookupResult LookUp(const QString& path, const QString& callSign);
    std::optional<qint32> LicenceKey(const QString& path, const QString& callPattern);

private:
    template <class F> auto With(const QString& path, F&& f);

    std::unique_ptr<CDatabase> m_db;
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// "http://HOST/UlsApp/UlsSearch/license.jsp?licKey=KEY".
QString FccLicenceUrl(const QString& host, qint32 licenceKey);
// "http://HOST/db/CALL" (an empty call sign gives the "/db/" page itself).
QString QrzPageUrl(const QString& host, const QString& callSign);

// The FCC licence database the program reads: the one "Compile" builds (setting Settings/OutputFolder,
// FCC97.db in the data folder unless the operator chose another folder).
QString FccDatabasePath(const CSettings& settings);

// Raises CDBException, with a message that says how to build it, when the database file does not exist.
void RequireFccDatabase(const QString& fccDbPath);
