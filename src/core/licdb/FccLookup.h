#pragma once

#include <QString>
#include <optional>

class CDatabase;
class CSettings;

// The local look-up of a call sign in the FCC licence database (F7, "&Local Look Up", "Pull from FCC
// [F7]"), and the addresses of the FCC licence page ("&FCC Lookup") and the QRZ page ("&QRZ Lookup").
//
// How the check-in form uses the result of FccLookUp (OnLocalLookUp):
//   - found: run the form's Clear, then put callSign into the call-sign field, name into "Name :",
//     addr1 into "Addr1 :" and the record's Street, addr2 into "Addr2 :";
//   - found or not: put operatorClass into "Class :" (empty when there is none), empty "Comments:" and
//     "Your  Grid:", reset the three flags, take the date from the date picker, and mark the record's
//     columns changed;
//   - not found: the call-sign, name and address fields keep what they hold.
// A missing or unreadable database raises CDBException before anything is filled; the form then stays
// as it was.

struct CFccLookupResult
{
    bool found = false; // an EN row carries the call sign
    QString callSign;   // the call sign looked up
    QString name;       // EntityName, as the EN row carries it
    QString addr1; // StreetAddress without leading white space, or "P.O. Box " + POBox when that is empty
    QString addr2; // "City, ST ZIP" ("%s, %s %s"), the ZIP code as stored (06001 stays 06001)
    QString operatorClass; // OperatorClass of the AM row of the same licence and call sign; empty when none
    qint32 uniqueSystemIdentifier = 0; // the licence the fields come from, 0 when not found
};

// Looks up the call sign, which is used as given (the form's field is upper case; so are the FCC's
// call signs). When several EN rows carry it, the last one in file order wins: the newest licence.
CFccLookupResult FccLookUp(CDatabase& fccDb, const QString& callSign);
// The same on the database file at the path (FCC97.db in the working directory when relative). The
// look-ups of a thread keep the file open between calls and open it anew when the path names another
// file (after a build has replaced the database).
CFccLookupResult FccLookUp(const QString& fccDbPath, const QString& callSign);

// The identifier of the licence page for a call sign: the UniqueSystemIdentifier of the first HD row
// whose call sign matches the pattern ('*' any run, '?' one character, case ignored), highest call sign
// first and, of several licences of one call sign, the newest. Empty when no HD row matches.
std::optional<qint32> FccLicenceKey(CDatabase& fccDb, const QString& callPattern);
std::optional<qint32> FccLicenceKey(const QString& fccDbPath, const QString& callPattern);

// "http://HOST/UlsApp/UlsSearch/license.jsp?licKey=KEY".
QString FccLicenceUrl(const QString& host, qint32 licenceKey);
// "http://HOST/db/CALL" (an empty call sign gives the "/db/" page itself).
QString QrzPageUrl(const QString& host, const QString& callSign);

// The FCC licence database the program reads: the one "Compile" builds (setting Settings/OutputFolder,
// FCC97.db in the data folder unless the operator chose another folder).
QString FccDatabasePath(const CSettings& settings);

// Raises CDBException, with a message that says how to build it, when the database file does not exist.
void RequireFccDatabase(const QString& fccDbPath);
