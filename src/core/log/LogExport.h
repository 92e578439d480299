#pragma once

#include "core/log/CheckinRecord.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <optional>

class CDatabase;
class QIODevice;

// The pipe-separated text export of the log:
//   Num|UUID|Ack|Call|Name|Street|City State Zip|Class|Date|Comment
// one line per check-in in ascending ID order, numbered from 1, lines ended by a line feed, no quoting.
// Text is written as UTF-8.
namespace LogExport {

// "Logwarden_2024-3-7": the proposed file name for an export made on that day.
QString DefaultFileName(const QDate& today);

QByteArray HeaderLine();
// One check-in's line. A line break inside a field would split the check-in over two lines of the file,
// so line breaks are written as blanks; everything else (a "|" included) is written as it stands.
QByteArray Line(int number, const CCheckinRecord& record);

// Writes the check-ins of one day (day given) or of the whole log (no day). A day without check-ins
// writes nothing at all; the whole log writes the header even when the log is empty. Returns the number
// of check-ins written. Raises CDBException, or CFileException when the device fails.
long Write(CDatabase& db, const std::optional<QDate>& day, QIODevice& out);
// The same into a file, which is replaced only once it is complete: a failed export leaves an existing
// file as it was. A path that is the log itself or another database is refused before anything is
// written. Raises CFileException naming the file.
long WriteFile(CDatabase& db, const std::optional<QDate>& day, const QString& path);

} // namespace LogExport
