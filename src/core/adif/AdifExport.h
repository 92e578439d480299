#pragma once

#include "core/adif/AdifCheckin.h"
#include "core/adif/AdifWriter.h"
#include "core/db/Recordset.h"

#include <QString>
#include <QTimeZone>

class CDatabase;
class CProgress;
class QIODevice;

// The log's check-ins as an ADIF file: one record per check-in in ID order, read and written a block at a
// time, so that a log of any size is exported in the same small memory.
namespace AdifExport {

struct COptions
{
    CAdifWriter::Format format = CAdifWriter::Format::Adi;
    AdifCheckin::CStation station;
    // The log's local times are read in this zone (the machine's) to give UTC.
    QTimeZone zone = QTimeZone::systemTimeZone();
    // Told of the check-ins written (of the total) and asked whether to go on; may be null.
    CProgress* progress = nullptr;
};

struct CResult
{
    long written = 0;
    bool cancelled = false;
};

// ADX for a name ending in ".adx" (any case), else ADI.
CAdifWriter::Format FormatFor(const QString& path);

// Writes the check-ins the filter selects (an empty filter: the whole log). A cancelled export stops at
// the next block with cancelled set. Raises CDBException, or CFileException when the device fails.
CResult Write(CDatabase& db, const CQueryFilter& filter, QIODevice& out, const COptions& options);
// The same into a file, replaced only once complete: a failed or cancelled export leaves an existing file
// as it was. "-" and named pipes are written through. A path that is the log or another database is
// refused before anything is written. Raises CFileException naming the file.
CResult WriteFile(CDatabase& db, const CQueryFilter& filter, const QString& path, const COptions& options);

} // namespace AdifExport
