#pragma once

#include "core/log/CheckinRecord.h"
#include "core/qrz/QrzReply.h"

#include <QStringList>
#include <optional>

class CDatabase;

// "Pull from QRZ" (F8): QRZ's values go into the columns of a check-in that are empty, and only those.
//
//   Name      name + ", " + fname + " " + rest of first name   ("Smith, John Q"; "Smith, John ")
//   Street    addr1
//   Location  addr2 + ", " + state + " (" + country + ")"
//   Class     class
//   YourGrid  grid
//   eMailAddr email
//
// A value QRZ left empty writes nothing: neither an empty text nor separators alone (a Name with
// neither name nor fname, a Location with none of addr2, state and country).
namespace QrzPull {

QString NameText(const CQRZCallData& data);
QString LocationText(const CQRZCallData& data);

// The check-in with its empty columns filled; `filled` receives the names of the columns written
// ("Name", "Street", "Location", "Class", "YourGrid", "eMailAddr").
CCheckinRecord Fill(const CCheckinRecord& checkin, const CQRZCallData& data, QStringList* filled = nullptr);

} // namespace QrzPull
