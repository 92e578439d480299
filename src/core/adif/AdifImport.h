#pragma once

#include "core/log/CheckinRecord.h"

#include <QString>
#include <QTimeZone>
#include <functional>
#include <vector>

class CCheckinStore;
class CDatabase;
class CProgress;
class QIODevice;

// Check-ins from an ADIF file (ADI or ADX) into the log, through the store.
//
// A record becomes a check-in unless it cannot be one (no CALL, no valid QSO_DATE: skipped and counted),
// or the log has it already: a check-in with the record's APP_LOGWARDEN_UUID (when the log keeps UUIDs),
// or with its call sign at a time no more than two minutes away. Records earlier in the same file count as
// being in the log, so that a file imported twice, or a file holding a record twice, adds nothing more.
//
// The import goes into the log in steps, each a short transaction, and nobody sees any of it until it is
// whole: a cancelled or failed import (a file that breaks off, the disk full), or one whose program was
// killed, leaves the log as it was before it began.
namespace AdifImport {

struct COptions
{
    // Count what would happen, write nothing.
    bool dryRun = false;
    // UTC times of the file become the log's local times in this zone.
    QTimeZone zone = QTimeZone::systemTimeZone();
    // Told of the bytes of the file read (of its size) and asked whether to go on; may be null.
    CProgress* progress = nullptr;
    // Told of each skipped record: its number in the file (from 1), its call sign if any, and why.
    std::function<void(long number, const QString& call, const QString& reason)> skipped;
};

struct CResult
{
    long added = 0;
    long already = 0;  // in the log already
    long repeated = 0; // the same contact as a record before it in the file
    long skipped = 0;
    bool cancelled = false; // nothing was added
};

// Raises CFileException when the file cannot be read or an ADX file is not well-formed XML, and
// CDBException when the log cannot be written: in every case nothing was added.
CResult Import(CCheckinStore& store, QIODevice& in, const COptions& options);
// The reading half, for a program whose store lives on another thread (the window): the file is read and
// checked against the log through db (a connection of the reader's own, reads only), and the check-ins to add
// are handed to add in batches, in the file's order, on the calling thread. Writes nothing.
CResult Read(CDatabase& db, QIODevice& in, const COptions& options,
             const std::function<void(std::vector<CCheckinRecord>)>& add);
CResult ImportFile(CCheckinStore& store, const QString& path, const COptions& options);

// "12 added, 3 already in the log, 1 skipped" (", 2 repeated in the file" where there are such).
QString Summary(const CResult& result);

} // namespace AdifImport
