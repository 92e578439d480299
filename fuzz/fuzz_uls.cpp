// The ULS line reader: any file loads into its table (or is refused line by line) without crashing,
// hanging or reading outside the data, and every loaded row holds the identifier its table requires.
#include "core/Exceptions.h"
#include "core/fcc/FccSchema.h"
#include "core/fcc/UlsLoader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <sqlite3.h>
#include <unistd.h>

namespace {

QString InputPath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("fuzz_uls.%1.dat").arg(QString::number(::getpid())));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the table; the rest is the file.
    const FccSchema::CTable& table = *FccSchema::Tables()[data[0] % FccSchema::kTableCount];
    {
        QFile file(InputPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        std::abort();
    const QByteArray create = FccSchema::CreateTableSql(table).toUtf8();
    if (sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    qint64 lines = 0;
    CUlsLoadHooks hooks;
    hooks.skipped = [&](qint64, const QString&) { ++lines; };
    try {
        const CUlsStageStats stats = LoadUlsFile(db, table, InputPath(), hooks);
        if (stats.loaded < 0 || stats.skipped < 0 || stats.loaded + stats.skipped > qint64(size) + 1)
            std::abort();
        const QString required = QString::fromLatin1(table.columns[table.requiredColumn].name);
        const QByteArray check = QStringLiteral("SELECT count(*) FROM \"%1\" WHERE \"%2\" IS NULL")
                                     .arg(table.name, required)
                                     .toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, check.constData(), -1, &stmt, nullptr) != SQLITE_OK ||
            sqlite3_step(stmt) != SQLITE_ROW || sqlite3_column_int64(stmt, 0) != 0)
            std::abort();
        sqlite3_finalize(stmt);
    } catch (const CLogwardenException&) {
        // A file that cannot be read: said so.
    }
    sqlite3_close(db);
    return 0;
}
