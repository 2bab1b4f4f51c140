// Ternary raster operations, as blits record them: the operation's index,
// its truth table over pattern, source and destination, is the third byte
// of the 32-bit code.
#pragma once

#include <cstdint>

constexpr uint32_t ROP_INDEX_SHIFT = 16;
constexpr uint32_t ROP_INDEX_MASK = 0xFF;
// The one operation that leaves the page as it is: it reads no source, and
// every pixel keeps its destination's value.
constexpr uint32_t ROP_DESTINATION = 0xAA;
// Operations that set each pixel without reading the page: copy the source,
// copy the brush, black, white.
constexpr uint32_t ROP_SOURCE_COPY = 0xCC;
constexpr uint32_t ROP_PATTERN_COPY = 0xF0;
constexpr uint32_t ROP_BLACK = 0x00;
constexpr uint32_t ROP_WHITE = 0xFF;

inline uint32_t RopIndex(uint32_t rop)
{
    return rop >> ROP_INDEX_SHIFT & ROP_INDEX_MASK;
}
