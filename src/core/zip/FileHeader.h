#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <ctime>

// One entry of the central directory, with the widths of the ZIP format.
class CFileHeader
{
public:
    static constexpr uint32_t kSignature = 0x02014b50; // "PK\1\2"
    static constexpr int kFixedSize = 46;

    virtual ~CFileHeader() = default;

    uint32_t m_signature = kSignature;
    uint16_t m_versionMadeBy = 0;
    uint16_t m_versionNeeded = 0;
    uint16_t m_flags = 0;   // bit 0 encrypted, bit 3 data descriptor, bit 11 UTF-8 name
    uint16_t m_method = 0;  // 0 stored, 8 deflated
    uint16_t m_modTime = 0; // DOS format
    uint16_t m_modDate = 0; // DOS format
    uint32_t m_crc32 = 0;
    uint32_t m_compressedSize = 0;
    uint32_t m_uncompressedSize = 0;
    uint16_t m_fileNameLength = 0;
    uint16_t m_extraFieldLength = 0;
    uint16_t m_commentLength = 0;
    uint16_t m_diskStart = 0;
    uint16_t m_internalAttributes = 0;
    uint32_t m_externalAttributes = 0; // DOS attributes in the low byte, Unix mode in the high 16 bits
    uint32_t m_localHeaderOffset = 0;
    QString m_fileName;       // decoded: UTF-8 when flag bit 11 is set, else code page 437
    QByteArray m_rawFileName; // the bytes as stored
    QByteArray m_extraField;
    QString m_comment;

    bool IsEncrypted() const { return (m_flags & 0x0001) != 0; }
    bool HasDataDescriptor() const { return (m_flags & 0x0008) != 0; }
    bool IsUtf8() const { return (m_flags & 0x0800) != 0; }
    bool MadeOnUnix() const { return (m_versionMadeBy >> 8) == 3; }
    // The DOS directory attribute, or a name ending in a slash.
    bool IsDirectory() const;
    // The permission bits (0777 at most) the extracted file gets, before the umask: the Unix mode when
    // the entry was made on Unix and carries one, otherwise read-only (0444) or read-write (0666) from
    // the DOS read-only attribute. Set-id and sticky bits are never taken over.
    unsigned Permissions() const;
    // The DOS date and time read as local time; -1 when they are not a valid date.
    time_t ModificationTime() const;

    // Decodes a stored name: UTF-8 when utf8 is set, else code page 437.
    static QString DecodeName(const QByteArray& raw, bool utf8);
    // DOS date and time to calendar time (local time, daylight saving decided by the C library).
    static time_t DosToTime(uint16_t dosDate, uint16_t dosTime);
};
