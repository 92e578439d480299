#include "core/db/SqliteError.h"

#include <cstring>
#include <sqlite3.h>

QString SqliteErrorText(sqlite3* db)
{
    if (!db)
        return QString::fromUtf8(sqlite3_errstr(SQLITE_NOMEM));
    QString text = QString::fromUtf8(sqlite3_errmsg(db));
    if (const int error = sqlite3_system_errno(db); error != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
    return text;
}
