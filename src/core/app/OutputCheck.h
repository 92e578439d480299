#pragma once

#include <QByteArray>
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

// How an output that may be written is to be written.
enum class Way
{
    Replace, // a new file or a regular one: atomically, through CAtomicFile
    Stream,  // a named pipe, or /dev/stdout and its kin: written through, never replaced (OpenStream)
};

// Raises CFileException, saying why, and writes nothing, when path is:
//   - one of the guarded files (the same file: same device and inode, whatever name or link leads there),
//     or its "-wal", "-shm" or "-journal" companion, which the database engine would play into it;
//   - the companion of any existing SQLite database;
//   - in the folder of a guarded file (the data folder), one of the program's own files there, their
//     companions, or a hidden file (the lock, temporaries): new names and earlier exports are fine;
//   - an existing SQLite database that is not what the command builds;
//   - something that is not a regular file (a device, a folder, a socket): only a text output may go
//     into a named pipe or a process's standard output, and only by writing through it.
Way Refuse(const QString& path, Builds builds, const QStringList& guarded = {});

// The files of the data folder that no command may write over: the log.
QStringList GuardedFiles(const QString& dataFolder);

// Opens an output Refuse() said to write through; the caller closes the descriptor. Raises
// CFileException (a pipe nobody reads, a closed standard output).
int OpenStream(const QString& path);

// Writes bytes to path after Refuse(path, Text, guarded): written through a pipe, else atomically
// replaced. Raises CFileException saying why (errno's text).
void WriteText(const QString& path, const QByteArray& bytes, const QStringList& guarded);

} // namespace OutputCheck
