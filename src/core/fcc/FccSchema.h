#pragma once

#include <QString>
#include <QStringList>

class CDatabase;

// The FCC licence database FCC97.db: tables AM (amateur licence data), EN (licensee name and address)
// and HD (licence header). Their columns, in order, are also the fields of the ULS files AM.dat, EN.dat
// and HD.dat that the compiler loads.
namespace FccSchema {

inline constexpr const char* kFileName = "FCC97.db";
// 2: the meta table, which says which weekly and which daily the tables hold.
inline constexpr int kSchemaVersion = 2;
inline constexpr const char* kMetaTable = "meta";

enum class ColumnType
{
    Text,   // variable-length text of at most `width` characters
    Long,   // 32-bit signed integer
    Single, // single-precision number
    Date,   // a date, stored as "YYYY-MM-DD 00:00:00"
};

struct CColumn
{
    const char* name;
    ColumnType type;
    int width; // characters, for text
};

struct CTable
{
    const char* name;      // "AM", "EN", "HD"
    const char* fileName;  // "AM.dat", ...
    const char* stageName; // "AMSet", "ENSet", "HDSet"
    int stageNumber;       // 1, 2, 3: the order of the build
    const CColumn* columns;
    int columnCount;
    // The column that must hold a value (the indexed one); a line without it is not loaded.
    int requiredColumn;
    // AM and HD hold one row per UniqueSystemIdentifier (their primary key); EN may hold several.
    bool uniqueIdentifier;
};

extern const CTable kAM;
extern const CTable kEN;
extern const CTable kHD;
// AM, EN, HD: the order of the build.
const CTable* const* Tables();
inline constexpr int kTableCount = 3;
const CTable* FindTable(const QString& name);

// Index of the column, -1 when the table has none of that name.
int ColumnIndex(const CTable& table, const char* column);

// CREATE TABLE of one table. UniqueSystemIdentifier is the primary key of AM and HD (SQLite's integer
// key, so AM and HD need no separate index); EN's CallSign is required.
// A table of the same columns may be made under another name, as a temporary table (the rows of a daily
// file before they are applied).
QString CreateTableSql(const CTable& table, const QString& name = {}, bool temporary = false);
// meta(key, value): "WeeklyDate", "AppliedDate", ... (see FccDbState).
QString CreateMetaSql();
// The table's secondary index, on its CallSign (EN and HD; empty for AM): built once the table is loaded,
// which is much faster than growing it row by row.
QString CreateIndexSql(const CTable& table);
// Creates the three tables (without the EN index) and the meta table in an empty database and stamps the
// schema version.
void CreateTables(CDatabase& db);

} // namespace FccSchema
