#include "core/fcc/FccDbState.h"

#include "core/Exceptions.h"
#include "core/db/Database.h"
#include "core/fcc/FccSchema.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

void Put(CDatabase& db, const char* key, const QString& value)
{
    try {
        SQLite::Statement put(db.Handle(), std::string("INSERT OR REPLACE INTO \"") + FccSchema::kMetaTable +
                                               "\" (\"key\", \"value\") VALUES (?, ?)");
        put.bind(1, key);
        put.bind(2, value.toStdString());
        put.exec();
    } catch (const std::exception& e) {
        db.Raise(e);
    }
}

} // namespace

QString CFccDbState::WeeklyText() const
{
    if (!weeklyDate.isValid())
        return QStringLiteral("Unknown");
    return QStringLiteral("%1 (%2)").arg(weeklyDate.toString(Qt::ISODate), weeklyFile);
}

QString CFccDbState::DailyText() const
{
    if (!IsKnown())
        return QStringLiteral("Unknown");
    if (appliedDate == weeklyDate && appliedFile == weeklyFile)
        return QStringLiteral("None");
    return QStringLiteral("%1 (%2)").arg(appliedDate.toString(Qt::ISODate), appliedFile);
}

namespace FccDbState {

CFccDbState Read(CDatabase& db)
{
    CFccDbState state;
    if (!db.TableExists(QLatin1String(FccSchema::kMetaTable)))
        return state;
    try {
        SQLite::Statement get(db.Handle(), std::string("SELECT \"key\", \"value\" FROM \"") +
                                               FccSchema::kMetaTable + "\"");
        while (get.executeStep()) {
            const QString key = QString::fromUtf8(get.getColumn(0).getText());
            const QString value = QString::fromUtf8(get.getColumn(1).getText());
            if (key == QLatin1String(kWeeklyDate))
                state.weeklyDate = QDate::fromString(value, Qt::ISODate);
            else if (key == QLatin1String(kWeeklyFile))
                state.weeklyFile = value;
            else if (key == QLatin1String(kAppliedDate))
                state.appliedDate = QDate::fromString(value, Qt::ISODate);
            else if (key == QLatin1String(kAppliedFile))
                state.appliedFile = value;
            else if (key == QLatin1String(kAppliedAt))
                state.appliedAt = QDateTime::fromString(value, Qt::ISODate);
        }
    } catch (const std::exception& e) {
        db.Raise(e);
    }
    return state;
}

CFccDbState ReadFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return {};
    try {
        CDatabase db(path, CDatabase::ReadOnly);
        return Read(db);
    } catch (const CDBException&) {
        return {};
    }
}

void WriteWeekly(CDatabase& db, const QDate& weeklyDate, const QString& weeklyFile)
{
    Put(db, kWeeklyDate, weeklyDate.toString(Qt::ISODate));
    Put(db, kWeeklyFile, weeklyFile);
    Put(db, kAppliedDate, weeklyDate.toString(Qt::ISODate));
    Put(db, kAppliedFile, weeklyFile);
}

void WriteApplied(CDatabase& db, const QDate& day, const QString& file, const QDateTime& at)
{
    Put(db, kAppliedDate, day.toString(Qt::ISODate));
    Put(db, kAppliedFile, file);
    Put(db, kAppliedAt, at.toUTC().toString(Qt::ISODate));
}

} // namespace FccDbState
