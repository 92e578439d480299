#pragma once

#include "core/db/Recordset.h"

#include <QString>

// The filters and sorts applied to the FCC tables, each a typed query with bound values.
namespace FccFilter {

// Exactly this call sign. Call signs are stored in upper case and compared as stored.
CQueryFilter CallSignEquals(const QString& callSign);
CQueryFilter UniqueSystemIdentifierEquals(qint32 identifier);
// The rows of one licence of this call sign. EN has no index on the licence's identifier: the call sign
// takes the look-up through its index instead of through the whole table.
CQueryFilter CallSignAndIdentifierEqual(const QString& callSign, qint32 identifier);
// Call signs matching the pattern, without regard to case: '*' stands for any run of characters and
// '?' for one character, every other character for itself. Without wild cards this is an equality
// (ignoring case).
CQueryFilter CallSignLike(const QString& pattern);

} // namespace FccFilter

namespace FccSort {
// Highest call sign first; of several licences with one call sign, the newest (highest identifier).
inline const QString kCallSignDesc = QStringLiteral("CallSign DESC, UniqueSystemIdentifier DESC");
} // namespace FccSort
