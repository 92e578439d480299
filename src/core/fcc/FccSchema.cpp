#include "core/fcc/FccSchema.h"

#include "core/db/Database.h"

#include <cstring>

namespace FccSchema {

namespace {

using T = ColumnType;

// The five columns every table begins with.
// clang-format off
#define FCC_COMMON_COLUMNS \
    {"RecordType", T::Text, 2}, {"UniqueSystemIdentifier", T::Long, 0}, {"ULSFileNumber", T::Text, 14}, \
    {"EBFNumber", T::Text, 30}, {"CallSign", T::Text, 10}
// clang-format on

const CColumn kAmColumns[] = {
    FCC_COMMON_COLUMNS,
    {"OperatorClass", T::Text, 1},
    {"GroupCode", T::Text, 1},
    {"RegionCode", T::Single, 0},
    {"TrusteeCallSign", T::Text, 10},
    {"TrusteeIndicator", T::Text, 1},
    {"PhysicianCertification", T::Text, 1},
    {"VESignature", T::Text, 1},
    {"SystematicCallSignChange", T::Text, 1},
    {"VanityCallSignChange", T::Text, 1},
    {"VanityRelationship", T::Text, 12},
    {"PreviousCallSign", T::Text, 10},
    {"PreviousOperatorClass", T::Text, 1},
    {"TrusteeName", T::Text, 50},
};

const CColumn kEnColumns[] = {
    FCC_COMMON_COLUMNS,
    {"EntityType", T::Text, 2},
    {"LicenseID", T::Text, 9},
    {"EntityName", T::Text, 200},
    {"FirstName", T::Text, 20},
    {"MI", T::Text, 1},
    {"LastName", T::Text, 20},
    {"Suffix", T::Text, 3},
    {"Phone", T::Text, 10},
    {"Fax", T::Text, 10},
    {"Email", T::Text, 50},
    {"StreetAddress", T::Text, 60},
    {"City", T::Text, 20},
    {"State", T::Text, 2},
    {"ZipCode", T::Text, 9},
    {"POBox", T::Text, 20},
    {"AttentionLine", T::Text, 35},
    {"SGIN", T::Text, 3},
    {"FRN", T::Text, 10},
    {"ApplicantTypeCode", T::Text, 1},
    {"ApplicantTypeCodeOther", T::Text, 4},
    {"StatusCode", T::Text, 1},
    {"StatusDate", T::Date, 0},
};

const CColumn kHdColumns[] = {
    FCC_COMMON_COLUMNS,
    {"LicenseStatus", T::Text, 1},
    {"RadioServiceCode", T::Text, 2},
    {"GrantDate", T::Text, 10},
    {"ExpiredDate", T::Text, 10},
    {"CancellationDate", T::Text, 10},
    {"EligibilityRuleNum", T::Text, 10},
    {"Reserved1", T::Text, 1},
    {"Alien", T::Text, 1},
    {"AlienGovernment", T::Text, 1},
    {"AlienCorporation", T::Text, 1},
    {"AlienOfficer", T::Text, 1},
    {"AlienControl", T::Text, 1},
    {"Revoked", T::Text, 1},
    {"Convicted", T::Text, 1},
    {"Adjudged", T::Text, 1},
    {"Reserved2", T::Text, 1},
    {"CommonCarrier", T::Text, 1},
    {"NonCommonCarrier", T::Text, 1},
    {"PrivateComm", T::Text, 1},
    {"Fixed", T::Text, 1},
    {"Mobile", T::Text, 1},
    {"Radiolocation", T::Text, 1},
    {"Satellite", T::Text, 1},
    {"DevelopmentalorSTA", T::Text, 1},
    {"InterconnectedService", T::Text, 1},
    {"CertifierFirstName", T::Text, 20},
    {"CertifierMI", T::Text, 1},
    {"CertifierLastName", T::Text, 20},
    {"CertifierSuffix", T::Text, 3},
    {"CertifierTitle", T::Text, 40},
    {"Female", T::Text, 1},
    {"BlackorAfricanAmerican", T::Text, 1},
    {"NativeAmerican", T::Text, 1},
    {"Hawaiian", T::Text, 1},
    {"Asian", T::Text, 1},
    {"White", T::Text, 1},
    {"Hispanic", T::Text, 1},
    {"EffectiveDate", T::Text, 10},
    {"LastActionDate", T::Text, 10},
    {"AuctionID", T::Text, 9},
    {"BroadcastServices1", T::Text, 1},
    {"BandManager", T::Text, 1},
    {"BroadcastServices2", T::Text, 1},
    {"AlienRuling", T::Text, 1},
    {"LicenseeNameChange", T::Text, 1},
};

#undef FCC_COMMON_COLUMNS

static_assert(std::size(kAmColumns) == 18);
static_assert(std::size(kEnColumns) == 27);
static_assert(std::size(kHdColumns) == 50);

constexpr int kIdentifier = 1;
constexpr int kCallSign = 4;

const char* SqlType(ColumnType type)
{
    switch (type) {
    case ColumnType::Long:
        return "INTEGER";
    case ColumnType::Single:
        return "REAL";
    case ColumnType::Date:
        return "DATETIME";
    case ColumnType::Text:
        break;
    }
    return "TEXT";
}

} // namespace

const CTable kAM{"AM", "AM.dat", "AMSet", 1, kAmColumns, 18, kIdentifier, true};
const CTable kEN{"EN", "EN.dat", "ENSet", 2, kEnColumns, 27, kCallSign, false};
const CTable kHD{"HD", "HD.dat", "HDSet", 3, kHdColumns, 50, kIdentifier, true};

const CTable* const* Tables()
{
    static const CTable* const tables[kTableCount] = {&kAM, &kEN, &kHD};
    return tables;
}

const CTable* FindTable(const QString& name)
{
    for (int i = 0; i < kTableCount; ++i) {
        const CTable* t = Tables()[i];
        if (name == QLatin1String(t->name) || name == QLatin1String(t->stageName))
            return t;
    }
    return nullptr;
}

int ColumnIndex(const CTable& table, const char* column)
{
    for (int i = 0; i < table.columnCount; ++i) {
        if (std::strcmp(table.columns[i].name, column) == 0)
            return i;
    }
    return -1;
}

QString CreateTableSql(const CTable& table, const QString& name, bool temporary)
{
    QStringList columns;
    for (int i = 0; i < table.columnCount; ++i) {
        const CColumn& c = table.columns[i];
        QString def = QStringLiteral("\"%1\" %2").arg(QLatin1String(c.name), QLatin1String(SqlType(c.type)));
        if (i == table.requiredColumn)
            def += table.uniqueIdentifier ? QStringLiteral(" PRIMARY KEY NOT NULL")
                                          : QStringLiteral(" NOT NULL");
        columns << def;
    }
    return QStringLiteral("CREATE %1TABLE \"%2\" (%3)")
        .arg(temporary ? QStringLiteral("TEMP ") : QString(),
             name.isEmpty() ? QString::fromLatin1(table.name) : name, columns.join(QStringLiteral(", ")));
}

QString CreateMetaSql()
{
    return QStringLiteral("CREATE TABLE \"%1\" (\"key\" TEXT PRIMARY KEY NOT NULL, \"value\" TEXT)")
        .arg(QLatin1String(kMetaTable));
}

QString CreateIndexSql(const CTable& table)
{
    if (&table == &kEN)
        return QStringLiteral("CREATE INDEX \"CallSign\" ON \"EN\" (\"CallSign\")");
    if (&table == &kHD)
        return QStringLiteral("CREATE INDEX \"HDCallSign\" ON \"HD\" (\"CallSign\")");
    return {};
}

void CreateTables(CDatabase& db)
{
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 0; i < kTableCount; ++i)
        sql += CreateTableSql(*Tables()[i]) + QLatin1Char(';');
    sql += CreateMetaSql() + QLatin1Char(';');
    sql += QStringLiteral("PRAGMA user_version=%1; COMMIT;").arg(kSchemaVersion);
    db.Execute(sql);
}

} // namespace FccSchema
