// Reads of little-endian integers from byte buffers, whatever the host's
// byte order and alignment. The caller makes sure the bytes are there.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t ReadUint16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline uint32_t ReadUint32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline int32_t ReadInt32(const uint8_t* bytes)
{
    return static_cast<int32_t>(ReadUint32(bytes));
}

inline float ReadFloat(const uint8_t* bytes)
{
    const uint32_t bits = ReadUint32(bytes);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
