#include "core/net/NetDays.h"

#include "core/db/Database.h"
#include "core/db/DateTime.h"
#include "core/log/LogSchema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace NetDays {

QList<QDate> Between(CDatabase& db, const QDate& from, const QDate& to)
{
    QList<QDate> days;
    if (!from.isValid() || !to.isValid() || to < from)
        return days;
    const auto midnight = [](const QDate& d) { return CDateTime(d, QTime(0, 0)).ToStorage().toStdString(); };
    try {
        // The first check-in at or after a midnight, then on from the next day's.
        SQLite::Statement next(db.Handle(),
                               QStringLiteral("SELECT min(\"Date\") FROM %1 WHERE \"Date\" >= ? AND "
                                              "\"Date\" < ?")
                                   .arg(QLatin1String(LogSchema::kView))
                                   .toStdString());
        const std::string end = midnight(to.addDays(1));
        QDate day = from;
        while (day <= to) {
            next.reset();
            next.bind(1, midnight(day));
            next.bind(2, end);
            if (!next.executeStep() || next.getColumn(0).isNull())
                break;
            const CDateTime found =
                CDateTime::FromStorage(QString::fromUtf8(next.getColumn(0).getText()), false);
            if (!found.IsValid() || found.Date() < day)
                break;
            days << found.Date();
            day = found.Date().addDays(1);
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    return days;
}

} // namespace NetDays
