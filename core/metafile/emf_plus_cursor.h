// What the EMF+ checks share (emf_plus_objects.cpp, emf_plus_records.cpp,
// emf_plus_renderer.cpp): a cursor over a record's data or an object, the
// sizes of the structures they hold, and the record flags that decide how
// points and rectangles are laid out. Internal to the metafile library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "metafile/little_endian.h"

namespace emf_plus {

// Sizes of the structures records hold.
constexpr uint32_t FIELD_SIZE = 4;
constexpr uint32_t POINT_F_SIZE = 8;
constexpr uint32_t POINT_SIZE = 4;
constexpr uint32_t RECT_F_SIZE = 16;
constexpr uint32_t RECT_SIZE = 8;
constexpr uint32_t MATRIX_SIZE = 24;
constexpr uint32_t COLOUR_SIZE = 4;
constexpr uint32_t CHAR_SIZE = 2;
constexpr uint32_t GUID_SIZE = 16;
// A relative coordinate takes one byte, or two when its first byte's top
// bit is set.
constexpr uint8_t RELATIVE_LONG_BIT = 0x80;
constexpr uint32_t COORDINATES_PER_POINT = 2;

// Record flags: C, coordinates are 16-bit integers; P, points are
// relative (1 or 2 bytes a coordinate).
constexpr uint16_t COMPRESSED_FLAG = 0x4000;
constexpr uint16_t RELATIVE_FLAG = 0x0800;

// Bytes of a record's data or of an object, read front to back. A read past
// the end leaves the cursor failed and reads zero.
struct Cursor {
    const uint8_t* bytes;
    size_t size;
    size_t at;
    bool failed;
};

inline Cursor CursorOver(const uint8_t* bytes, size_t size)
{
    return Cursor{bytes, size, 0, false};
}

inline bool Skip(Cursor& cursor, uint64_t length)
{
    if (cursor.failed || length > cursor.size - cursor.at) {
        cursor.failed = true;
        return false;
    }
    cursor.at += static_cast<size_t>(length);
    return true;
}

inline uint32_t Take(Cursor& cursor)
{
    const size_t at = cursor.at;
    return Skip(cursor, FIELD_SIZE) ? ReadUint32(cursor.bytes + at) : 0;
}

inline uint8_t TakeByte(Cursor& cursor)
{
    const size_t at = cursor.at;
    return Skip(cursor, 1) ? cursor.bytes[at] : 0;
}

// Skips count elements of elementSize bytes (a 64-bit product).
inline bool SkipArray(Cursor& cursor, uint32_t count, uint32_t elementSize)
{
    return Skip(cursor, static_cast<uint64_t>(count) * elementSize);
}

// A cursor over the next length bytes, which this one skips.
inline Cursor TakeSpan(Cursor& cursor, uint64_t length)
{
    const size_t at = cursor.at;
    if (!Skip(cursor, length)) {
        return Cursor{cursor.bytes, 0, 0, true};
    }
    return CursorOver(cursor.bytes + at, static_cast<size_t>(length));
}

inline bool Ends(const Cursor& cursor)
{
    return !cursor.failed;
}

// Points as a record's flags lay them out: relative, 16-bit or floats.
inline bool SkipPoints(Cursor& cursor, uint32_t count, uint16_t flags)
{
    if ((flags & RELATIVE_FLAG) == 0) {
        return SkipArray(cursor, count, (flags & COMPRESSED_FLAG) != 0 ? POINT_SIZE : POINT_F_SIZE);
    }
    const uint64_t coordinates = static_cast<uint64_t>(count) * COORDINATES_PER_POINT;
    if (coordinates > cursor.size - cursor.at) {
        cursor.failed = true;
        return false;
    }
    for (uint64_t i = 0; i < coordinates && !cursor.failed; ++i) {
        if ((TakeByte(cursor) & RELATIVE_LONG_BIT) != 0) {
            Skip(cursor, 1);
        }
    }
    return !cursor.failed;
}

inline bool SkipRect(Cursor& cursor, uint16_t flags)
{
    return Skip(cursor, (flags & COMPRESSED_FLAG) != 0 ? RECT_SIZE : RECT_F_SIZE);
}

}  // namespace emf_plus
