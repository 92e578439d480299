#include "core/qrz/QrzSchema.h"

#include "core/db/Database.h"

#include <QStringList>

namespace QrzSchema {

const CColumn kColumns[kColumnCount] = {
    {"CallSign", 10},
    {"LastName", 20},
    {"Country", 0},
    {"FirstName", 20},
    {"JPG", 10},
    {"Unused", 10},
    {"Efective", 10},
    {"Expires", 10},
    {"Street", 60},
    {"City", 20},
    {"State", 2},
    {"ZipCode", 9},
    {"OperatorClass", 10},
    {"PreviousCallSign1", 10},
    {"PreviousCallSign2", 10},
};

QString CreateTableSql()
{
    QStringList columns;
    for (int i = 0; i < kColumnCount; ++i) {
        QString def = QStringLiteral("\"%1\" %2")
                          .arg(QLatin1String(kColumns[i].name),
                               i == kCountryColumn ? QStringLiteral("INTEGER") : QStringLiteral("TEXT"));
        if (i == kCallSignColumn)
            def += QStringLiteral(" NOT NULL");
        columns << def;
    }
    return QStringLiteral("CREATE TABLE \"%1\" (%2)")
        .arg(QLatin1String(kTable), columns.join(QStringLiteral(", ")));
}

QString CreateIndexSql()
{
    return QStringLiteral("CREATE INDEX \"%1\" ON \"%2\" (\"%3\" ASC)")
        .arg(QLatin1String(kIndex), QLatin1String(kTable), QLatin1String(kColumns[kCallSignColumn].name));
}

void CreateTable(CDatabase& db)
{
    db.Execute(
        QStringLiteral("BEGIN;%1;PRAGMA user_version=%2;COMMIT;").arg(CreateTableSql()).arg(kSchemaVersion));
}

} // namespace QrzSchema
