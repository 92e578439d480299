#pragma once

#include <QString>

class CDatabase;

// The QRZ local database QRZ97.db: one table, QRZ, built from QRZ's CSV file of licensees. Its columns,
// in order, are also the first fifteen fields of a CSV line.
namespace QrzSchema {

inline constexpr const char* kFileName = "QRZ97.db";
inline constexpr const char* kTable = "QRZ";
inline constexpr const char* kIndex = "CallSign";
inline constexpr int kSchemaVersion = 1;
inline constexpr int kColumnCount = 15;
// Country is the one number; every other column is text.
inline constexpr int kCountryColumn = 2;
inline constexpr int kCallSignColumn = 0;

struct CColumn
{
    const char* name;
    int width; // characters kept of a text field; 0 for the number
};

// CallSign, LastName, Country, FirstName, JPG, Unused, Efective, Expires, Street, City, State,
// ZipCode, OperatorClass, PreviousCallSign1, PreviousCallSign2.
extern const CColumn kColumns[kColumnCount];

// CREATE TABLE: CallSign is required (NOT NULL), the others may be empty (null).
QString CreateTableSql();
// The CallSign index, ascending, neither primary nor unique: built once the table is loaded, which is
// much faster than growing it row by row.
QString CreateIndexSql();
// Creates the table (without its index) in an empty database and stamps the schema version.
void CreateTable(CDatabase& db);

} // namespace QrzSchema
