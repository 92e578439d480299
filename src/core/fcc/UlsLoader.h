#pragma once

#include "core/jobs/Progress.h"

#include <QString>
#include <atomic>
#include <functional>

struct sqlite3;
namespace FccSchema {
struct CTable;
}

// What loading one ULS file did.
struct CUlsStageStats
{
    qint64 loaded = 0;        // rows written to the table
    qint64 skipped = 0;       // lines not loaded: too short, rejected, duplicates
    bool sawLineFeed = false; // the file held at least one line feed
    bool cancelled = false;
};

struct CUlsLoadHooks
{
    // Looked at between blocks of lines; once it is cancelled the load stops (the table then holds a part).
    const CProgress* cancel = nullptr;
    // The position in the file, 0 to 99 percent, each time it changes.
    std::function<void(int percent)> progress;
    // Each line that is not loaded (1-based line number and why), when set.
    std::function<void(qint64 line, const QString& reason)> skipped;
};

// Where LoadUlsFile writes: by default into the table itself, whose index is built at the end; a daily
// file goes into a temporary table of the same columns, without an index.
struct CUlsLoadTarget
{
    QString table; // empty: the table's own name
    bool buildIndex = true;
};

// Loads a pipe-separated ULS file (AM.dat, EN.dat or HD.dat) into its table of an open database, in
// one transaction, streaming it so that memory stays the same whatever the file's size. One thread
// reads and checks the lines while the calling thread writes the rows.
//
// The line rules:
//   - a line ends at a line feed, with or without a carriage return before it; a last line without a
//     line feed is a line too;
//   - a line of no more than as many characters (without its end) as the table has columns is not
//     loaded;
//   - the k-th field is the text before the k-th "|"; only fields followed by a "|" are taken, the text
//     after the last "|" is ignored, and so are fields beyond the table's columns; an empty field
//     leaves its column null;
//   - a value longer than its column, a number or date that does not convert, a missing required
//     value (UniqueSystemIdentifier of AM and HD, CallSign of EN), or a second AM or HD row with the
//     same UniqueSystemIdentifier (the first one stays) rejects the line; the rest load regardless;
//   - the files are Latin-1 (with the Windows-1252 characters in 0x80-0x9F); text is stored as UTF-8;
//     a double quote is an ordinary character.
// EN's call-sign index is built at the end of EN's load.
//
// Raises CFileException when the file cannot be read and CDBException when the database fails (for
// example when the disk is full).
CUlsStageStats LoadUlsFile(sqlite3* db, const FccSchema::CTable& table, const QString& filePath,
                           const CUlsLoadHooks& hooks, const CUlsLoadTarget& target = {});
