#pragma once

#include <cstdint>

// Little-endian fields of the ZIP format.
namespace ZipBytes {

inline uint16_t U16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t U32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t kLocalSignature = 0x04034b50;   // "PK\3\4"
constexpr uint32_t kCentralSignature = 0x02014b50; // "PK\1\2"
constexpr uint32_t kEndSignature = 0x06054b50;     // "PK\5\6"
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kDescriptorSignature = 0x08074b50; // "PK\7\8"
constexpr int kLocalHeaderSize = 30;

} // namespace ZipBytes
