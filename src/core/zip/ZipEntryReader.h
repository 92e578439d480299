#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class CZipArchive;
class CFileHeader;
struct z_stream_s;

// The data of one entry being read: local-header checks, inflating, CRC and data descriptor. Each reader
// reads the archive at its own offsets, so several can work on one archive at the same time.
class CZipEntryReader
{
public:
    // Checks the local header against the central one; raises CZipException when they disagree.
    CZipEntryReader(const CZipArchive& archive, int index);
    ~CZipEntryReader();
    CZipEntryReader(const CZipEntryReader&) = delete;
    CZipEntryReader& operator=(const CZipEntryReader&) = delete;

    // Produces at most size bytes (fewer only at the end of the entry); 0 when the entry is complete.
    // An entry whose data yield more or fewer bytes than declared raises CZipException.
    qint64 Read(char* buffer, qint64 size);
    // Uncompressed bytes still to come.
    uint32_t Left() const { return m_uncompressedLeft; }
    // After the whole entry was read: checks the CRC (cause badCrc) and the data descriptor.
    void Finish();

private:
    void Refill();
    void ExpectStreamEnd();
    [[noreturn]] void Damaged(const QString& detail) const;

    const CZipArchive& m_archive;
    const CFileHeader& m_header;
    bool m_descriptor = false;
    qint64 m_dataStart = 0; // absolute offset of the compressed data
    qint64 m_readPos = 0;   // next compressed byte to read
    uint32_t m_compressedLeft = 0;
    uint32_t m_uncompressedLeft = 0;
    unsigned long m_crc = 0;
    std::unique_ptr<unsigned char[]> m_input;
    std::unique_ptr<z_stream_s> m_stream; // deflated entries only
    bool m_streamEnded = false;
    const unsigned char* m_stored = nullptr; // stored entries: unread input
    uint32_t m_storedAvail = 0;
};
