// Prints the FCC database's SQL, so that a peer loader builds tables of exactly our shape:
//   fcc_schema_sql tables   the three CREATE TABLE statements
//   fcc_schema_sql index    the CREATE INDEX statements
#include "core/fcc/FccSchema.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "tables") != 0 && std::strcmp(argv[1], "index") != 0)) {
        std::fprintf(stderr, "usage: fcc_schema_sql tables|index\n");
        return 2;
    }
    if (std::strcmp(argv[1], "index") == 0) {
        for (int i = 0; i < FccSchema::kTableCount; ++i) {
            const QString sql = FccSchema::CreateIndexSql(*FccSchema::Tables()[i]);
            if (!sql.isEmpty())
                std::printf("%s;\n", sql.toUtf8().constData());
        }
        return 0;
    }
    for (int i = 0; i < FccSchema::kTableCount; ++i)
        std::printf("%s;\n", FccSchema::CreateTableSql(*FccSchema::Tables()[i]).toUtf8().constData());
    return 0;
}
