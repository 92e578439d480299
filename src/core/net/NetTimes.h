#pragma once

#include <QDate>
#include <QDateTime>

class CDatabase;

// The start and end of each day's net, as the operator stamped them. They are kept in the log file, in a
// small table of their own (one row per day), written only by the log's store.
namespace NetTimes {

extern const char* const kTable; // "NetTimes"

struct CTimes
{
    QDateTime started; // invalid when not stamped
    QDateTime ended;
    // Seconds from start to end; -1 when either is missing or the end is not after the start.
    qint64 DurationSecs() const;
};

enum class Stamp
{
    Start,
    End
};

// Creates the table when it is missing (a log written by an earlier version has none).
void Prepare(CDatabase& db);
// The day's stamps; none on a log without the table.
CTimes Get(CDatabase& db, const QDate& day);

} // namespace NetTimes
