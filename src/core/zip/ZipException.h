#pragma once

#include "core/Exceptions.h"

// A damaged or unsupported archive, a CRC mismatch or a deflate stream that cannot be inflated.
// Cause() is the cause number; Path() the archive; Detail() says what exactly was wrong.
class CZipException : public CLogwardenException
{
public:
    enum Cause
    {
        generic = 1,
        streamEnd = 2,     // zlib: stream end where none was expected
        needDict = 3,      // zlib: a preset dictionary is needed
        errNo = 4,         // zlib: a file-system error
        streamError = 5,   // zlib: inconsistent stream state
        dataError = 6,     // zlib: corrupt deflate data
        memError = 7,      // zlib: out of memory
        bufError = 8,      // zlib: no progress possible
        versionError = 9,  // zlib: incompatible library version
        badZipFile = 10,   // damaged or unsupported archive
        badCrc = 11,       // CRC mismatch
        noCallback = 12,   // spanned archive without a volume-change handler
        aborted = 13,      // raised by operations this reader does not have (writing)
        nonRemovable = 14, // spanned archive on media that are not removable
        tooManyVolumes = 15,
        tooLongFileName = 16,
    };

    // Internal codes of the reader, turned into causes by FromInternal().
    enum Internal
    {
        kBadZipFile = -101,
        kBadCrc = -102,
        kNoCallback = -103,
        kAborted = -104,
        kNonRemovable = -105,
        kTooManyVolumes = -106,
        kTooLongFileName = -107,
    };

    CZipException(int cause, QString archivePath, QString detail = {});

    // Maps an internal code (-101...-107) or a zlib result code to its cause.
    static int FromInternal(int code);
    // A CZipException for a zlib result other than Z_OK.
    static CZipException FromZlib(int zlibCode, const QString& archivePath, const QString& entryName);

    int Cause() const { return m_cause; }
    const QString& Path() const { return m_path; }
    const QString& Detail() const { return m_detail; }

private:
    static QString Compose(int cause, const QString& path, const QString& detail);

    int m_cause;
    QString m_path;
    QString m_detail;
};
