#include "core/app/OutputCheck.h"

#include "core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>
#include <sys/stat.h>

namespace OutputCheck {

namespace {

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa = {}, sb = {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool IsSqlite(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The tables of a database file, read without changing it; empty when it cannot be read.
QStringList Tables(const QString& path)
{
    QStringList tables;
    sqlite3* db = nullptr;
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?mode=ro";
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &stmt, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return tables;
}

} // namespace

QStringList GuardedFiles(const QString& dataFolder)
{
    return {QDir(dataFolder).filePath(QStringLiteral("Logwarden-97.db"))};
}

void Refuse(const QString& path, Builds builds, const QStringList& guarded)
{
    if (!QFileInfo::exists(path))
        return;
    for (const QString& g : guarded) {
        if (SameFile(path, g))
            throw CFileException(
                QStringLiteral("\"%1\" is the log %2: nothing was written. Choose another file.")
                    .arg(path, QFileInfo(g).fileName()),
                path);
    }
    if (!IsSqlite(path))
        return;
    const QStringList tables = Tables(path);
    const bool fcc = tables.contains(QStringLiteral("AM")) && tables.contains(QStringLiteral("EN")) &&
                     tables.contains(QStringLiteral("HD"));
    const bool qrz = tables.contains(QStringLiteral("QRZ"));
    if ((builds == Builds::FccDatabase && fcc) || (builds == Builds::QrzDatabase && qrz))
        return;
    const QString what = tables.contains(QStringLiteral("LogwardenTab")) ? QStringLiteral("a check-in log")
                         : fcc ? QStringLiteral("an FCC licence database")
                         : qrz ? QStringLiteral("a QRZ database")
                               : QStringLiteral("a database");
    throw CFileException(
        QStringLiteral("\"%1\" is %2: nothing was written. Choose another file.").arg(path, what), path);
}

} // namespace OutputCheck
