#pragma once

#include <QString>
#include <QStringList>

// Whether a file the operator named for a command's output may be written: never one of the program's
// own databases by mistake. An export named like the log, or a database build pointed at the log, would
// otherwise replace the live log with something else.
namespace OutputCheck {

enum class Builds
{
    Text,        // an export, a page: never over any database
    FccDatabase, // FCC97.db: only over an FCC licence database (AM, EN and HD tables)
    QrzDatabase, // QRZ97.db: only over a QRZ database (a QRZ table)
};

// Raises CFileException, saying why, when path is one of the guarded files (the same file: same device
// and inode, whatever name or link leads there) or an existing SQLite database that is not what the
// command builds. Nothing is written either way.
void Refuse(const QString& path, Builds builds, const QStringList& guarded = {});

// The files of the data folder that no command may write over: the log.
QStringList GuardedFiles(const QString& dataFolder);

} // namespace OutputCheck
