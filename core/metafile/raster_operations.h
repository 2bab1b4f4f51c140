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

inline uint32_t RopIndex(uint32_t rop)
{
    return rop >> ROP_INDEX_SHIFT & ROP_INDEX_MASK;
}
