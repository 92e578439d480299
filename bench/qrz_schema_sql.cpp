// Prints the QRZ database's SQL, so that a peer loader builds the table of exactly our shape:
//   qrz_schema_sql table   the CREATE TABLE statement
//   qrz_schema_sql index   the CREATE INDEX statement
#include "core/qrz/QrzSchema.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "table") != 0 && std::strcmp(argv[1], "index") != 0)) {
        std::fprintf(stderr, "usage: qrz_schema_sql table|index\n");
        return 2;
    }
    const QString sql =
        std::strcmp(argv[1], "index") == 0 ? QrzSchema::CreateIndexSql() : QrzSchema::CreateTableSql();
    std::printf("%s;\n", sql.toUtf8().constData());
    return 0;
}
