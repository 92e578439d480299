#pragma once

#include <QDate>
#include <QList>

class CDatabase;

namespace NetDays {

// The days from `from` to `to` (both included) that have at least one check-in, in order. One indexed
// look-up per such day, so a range of years costs no more than the nets it holds.
QList<QDate> Between(CDatabase& db, const QDate& from, const QDate& to);

} // namespace NetDays
