#pragma once

#include "core/log/CheckinRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A check-in as the shared club log holds it: the values every operator sees, with the identity and the
// version that keep the copies in step. Changes merge field by field against the values both sides last
// agreed on; a field two operators changed differently is a conflict the operator decides, never the
// later writer.
struct CSharedCheckin
{
    QString uuid;
    qint64 version = 0;
    bool deleted = false;
    CCheckinRecord values; // id, uuid and the read-only extras unused
    QString loggedBy;
    QString updatedBy;
    // Why the log cannot take this row as the server holds it (a date it cannot hold, a field too large):
    // it is set aside, never pulled, and nothing here is wiped for it. Empty for a row that can be taken.
    QString setAside;
};

// The identity as the server keeps it: a UUID in lower case ("E3B0...-..." is the same check-in); empty for
// anything else (braces, another form, not a UUID), which takes a new identity.
QString NormalUuid(const QString& text);

namespace SharedFields {

// The fields that merge one by one.
enum Field
{
    CallSign,
    Name,
    Street,
    Location,
    Comment,
    Date,
    HasComments,
    HasTraffic,
    Acknowledged,
    Class,
    Grid,
    Email,
    kCount
};

// The field's name as the window shows it ("Call Sign", "Name", ...).
QString Label(Field field);
// The field's value as text (flags "Yes"/"No", the date as stored).
QString Text(const CCheckinRecord& record, Field field);
// Sets the field from such a text (false when the text does not fit the field).
bool SetText(CCheckinRecord& record, Field field, const QString& text);
bool Same(const CCheckinRecord& a, const CCheckinRecord& b, Field field);
void Copy(CCheckinRecord& to, const CCheckinRecord& from, Field field);
bool SameValues(const CCheckinRecord& a, const CCheckinRecord& b);

// The values as compact JSON, and back (what cannot be read gives an empty record).
QByteArray ToJson(const CCheckinRecord& record);
CCheckinRecord FromJson(const QByteArray& json);

// The other side of a conflict as the log keeps it: their values and the fields in conflict.
QByteArray ConflictToJson(const CCheckinRecord& theirs, const QList<Field>& fields);
QList<Field> ConflictFields(const QByteArray& json);

struct CMerge
{
    CCheckinRecord merged;  // mine, with what only they changed taken from theirs
    QList<Field> conflicts; // changed by both, to different values: merged keeps mine
};
// Three-way merge of one check-in: base is what both last agreed on.
CMerge Merge(const CCheckinRecord& base, const CCheckinRecord& mine, const CCheckinRecord& theirs);

} // namespace SharedFields
