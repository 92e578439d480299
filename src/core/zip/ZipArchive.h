#pragma once

#include "core/jobs/Progress.h"

#include "core/zip/FileHeader.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CAtomicFile;
class CZipEntryReader;

// Reads ZIP archives (single volume, stored and deflated entries) and extracts their entries.
//
// The archive is opened read-only and its central directory is read into memory at once. Entries are
// extracted under their base name only, into the folder given: a name can never lead outside it. Every
// entry is checked against its local header, its CRC-32 and its data descriptor, and may produce
// exactly the bytes its header declares, no more and no fewer; entries whose data overlap are
// rejected when the archive is opened.
//
// Errors of the archive raise CZipException, errors of the file system CFileException.
// ExtractEntry() may run concurrently on several threads for different entries; everything else is
// for one thread at a time.
class CZipArchive
{
public:
    static constexpr int kReadBufferSize = 16384;    // compressed bytes read at a time
    static constexpr int kDefaultBufferSize = 65535; // decompressed bytes written at a time
    static constexpr qint64 kMaxCommentSize = 65535;
    static constexpr qint64 kEndRecordSize = 22;

    CZipArchive();
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Opens an existing archive for reading and reads its central directory.
    void OpenArchive(const QString& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const QString& GetArchivePath() const { return m_path; }

    int GetEntryCount() const { return static_cast<int>(m_headers.size()); }
    // A copy of entry index's header; false for a bad index or a closed archive.
    bool GetEntryInfo(CFileHeader& header, int index) const;
    // The header itself (index must be valid).
    const CFileHeader& Header(int index) const { return *m_headers[static_cast<size_t>(index)]; }
    bool IsEntryDirectory(int index) const;
    const QString& GetGlobalComment() const { return m_comment; }
    // Bytes in the file before the archive proper (a self-extracting stub, for example).
    qint64 GetBytesBeforeZip() const { return m_bytesBefore; }

    // Extracts entry index into folder as folder/<base name>, replacing an existing file atomically
    // (a partly written or damaged entry never replaces it). A directory entry only makes sure the
    // folder exists. progress, when given, is advanced by the bytes written; once it is cancelled the
    // extraction stops. False when bufferSize is not positive, the index is bad, progress was cancelled
    // (nothing is then left behind), or the file's time or permissions could not be set.
    bool ExtractEntry(int index, const QString& folder, int bufferSize = kDefaultBufferSize,
                      CProgress* progress = nullptr) const;

    // Writes file entry index into a temporary file that the caller commits (so that several entries
    // can be put in place together). Raises like ExtractEntry, and CZipException for an index that is
    // not a file entry.
    enum class EntryWrite
    {
        Written,
        AttributesNotSet,
        Stopped
    };
    EntryWrite WriteEntry(int index, CAtomicFile& file, int bufferSize = kDefaultBufferSize,
                          CProgress* progress = nullptr) const;

    // Reading one entry by hand: OpenEntry, ReadEntry until it returns 0, CloseEntry.
    bool OpenEntry(int index);
    // Bytes produced into buffer, at most size; 0 at the end of the entry or with no entry open.
    qint64 ReadEntry(char* buffer, qint64 size);
    // Checks a completely read entry (CRC, data descriptor) and ends it. When writtenPath is given, that
    // file gets the entry's time and permissions; false when that failed.
    bool CloseEntry(const QString& writtenPath = {});

    // The name an entry is extracted under: the part after the last "/" or "\". Empty when that is not
    // a usable file name ("", ".", "..", or containing a NUL).
    static QString SafeBaseName(const QString& entryName);

private:
    friend class CZipEntryReader;

    EntryWrite WriteEntry(CZipEntryReader& reader, int index, CAtomicFile& file, int bufferSize,
                          CProgress* progress) const;
    void ReadCentralDirectory();
    [[noreturn]] void Damaged(const QString& detail) const;
    // Reads exactly size bytes at offset, else the archive is damaged (truncated).
    void ReadAt(qint64 offset, void* buffer, qint64 size) const;

    QString m_path;
    int m_fd = -1;
    qint64 m_fileSize = 0;
    qint64 m_bytesBefore = 0;
    qint64 m_centralDirOffset = 0; // absolute, bytes before included
    QString m_comment;
    std::vector<std::unique_ptr<CFileHeader>> m_headers;
    // Where the space of each entry ends (absolute): the next local header, or the central directory.
    std::vector<qint64> m_spanEnd;
    std::unique_ptr<CZipEntryReader> m_openEntry;
    int m_openIndex = -1;
};
