#pragma once

#include <QString>

class CFccDatabase;
class CSettings;

// "&FCC Lookup" and "&QRZ Lookup": the licence page and the callbook page of a call sign, opened in the
// default browser. The hosts are the settings Settings/FccLicenseHost and Settings/QrzWebHost.
namespace FccWebPages {

// Opens the FCC licence page of the call sign, found through the HD table of the FCC database the
// program uses (a wait cursor shows meanwhile). Returns a text for the status bar: empty when the page
// was opened or the call sign is empty (nothing is done then), "No FCC licence found for %1" when no
// licence matches. Raises CDBException when the database cannot be read.
QString OpenFccLicencePage(CFccDatabase& fcc, const CSettings& settings, const QString& callSign);
// Opens the QRZ page of the call sign; an empty call sign opens QRZ's "/db/" page.
void OpenQrzPage(const CSettings& settings, const QString& callSign);

} // namespace FccWebPages
