// A two-colour pattern, such as a hatched brush, as lines rather than as
// pixels: where the pixels of one colour in the pattern's tile are whole
// rows and columns, each one pixel wide, repeated every PATTERN_PERIOD
// pixels, the pattern is the other colour with those lines drawn over it,
// and a device can be handed rectangles instead of an image. (Diagonals are
// left to images: a band one pixel wide that climbs a pixel a row covers
// parts of two pixels in every row, which a renderer paints both.)
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The side of the tile the lines repeat over, in pixels: the hatched
// brushes' and the 8 x 8 pattern brushes' (a 4 x 4 or 2 x 2 pattern
// repeats within it).
constexpr int32_t PATTERN_PERIOD = 8;

enum class LineDirection {
    ROW,     // y = phase
    COLUMN,  // x = phase
};

// One family of lines: every pixel whose coordinate along the direction's
// equation is phase, modulo PATTERN_PERIOD.
struct PatternLine {
    LineDirection direction;
    int32_t phase;  // 0 to PATTERN_PERIOD - 1

    bool operator==(const PatternLine& other) const
    {
        return direction == other.direction && phase == other.phase;
    }
};

// The lines whose pixels are the set bits of a patch of one bit a pixel
// (rows padded to 4 bytes, the leftmost pixel in the top bit), its top-left
// pixel at the origin of the lines' coordinates: none for a patch with no
// bit set. Nothing when the patch does not repeat every PATTERN_PERIOD
// pixels, is smaller than one tile, or its bits are not whole lines.
std::optional<std::vector<PatternLine>> FindPatternLines(const std::vector<uint8_t>& packed,
                                                         int32_t width, int32_t height);

// A band as the four corners of a rectangle, in pixels: the top edge from
// the first corner to the second, the bottom edge from the third back to
// the fourth, so that every band turns the same way.
struct BandCorner {
    int32_t x;
    int32_t y;
    bool operator==(const BandCorner& other) const
    {
        return x == other.x && y == other.y;
    }
};
using Band = std::array<BandCorner, 4>;

// The bands, one pixel wide, that cover the lines' pixels within the
// rectangle from (left, top) to (right, bottom), exclusive.
std::vector<Band> TraceLineBands(const std::vector<PatternLine>& lines, int32_t left, int32_t top,
                                 int32_t right, int32_t bottom);
