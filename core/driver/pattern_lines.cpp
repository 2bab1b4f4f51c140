#include "driver/pattern_lines.h"

namespace {

constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint32_t ROW_ALIGNMENT = 4;
constexpr LineDirection DIRECTIONS[] = {LineDirection::ROW, LineDirection::COLUMN};

// The remainder of value by PATTERN_PERIOD, from 0 up.
int32_t Wrap(int32_t value)
{
    return ((value % PATTERN_PERIOD) + PATTERN_PERIOD) % PATTERN_PERIOD;
}

struct Patch {
    const std::vector<uint8_t>& packed;
    int32_t width;
    int32_t height;
    size_t rowBytes;

    bool IsSet(int32_t x, int32_t y) const
    {
        const uint8_t byte =
            packed[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) / BITS_PER_BYTE];
        return (byte & (0x80u >> (static_cast<uint32_t>(x) % BITS_PER_BYTE))) != 0;
    }
};

// Whether each pixel of the patch is the one a tile's width or height
// before it.
bool RepeatsEveryPeriod(const Patch& patch)
{
    for (int32_t y = 0; y < patch.height; ++y) {
        for (int32_t x = 0; x < patch.width; ++x) {
            if (patch.IsSet(x, y) != patch.IsSet(Wrap(x), Wrap(y))) {
                return false;
            }
        }
    }
    return true;
}

// The line's coordinate of the pixel: the phase of the line through it.
int32_t PhaseAt(LineDirection direction, int32_t x, int32_t y)
{
    return direction == LineDirection::ROW ? y : x;
}

// Whether every pixel of the tile on the line is set.
bool IsWholeLine(const Patch& patch, const PatternLine& line)
{
    for (int32_t y = 0; y < PATTERN_PERIOD; ++y) {
        for (int32_t x = 0; x < PATTERN_PERIOD; ++x) {
            if (PhaseAt(line.direction, x, y) == line.phase && !patch.IsSet(x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool IsOnLine(const std::vector<PatternLine>& lines, int32_t x, int32_t y)
{
    for (const PatternLine& line : lines) {
        if (PhaseAt(line.direction, x, y) == line.phase) {
            return true;
        }
    }
    return false;
}

// Whether the lines cover the tile's set pixels and no other.
bool CoversExactly(const Patch& patch, const std::vector<PatternLine>& lines)
{
    for (int32_t y = 0; y < PATTERN_PERIOD; ++y) {
        for (int32_t x = 0; x < PATTERN_PERIOD; ++x) {
            if (patch.IsSet(x, y) != IsOnLine(lines, x, y)) {
                return false;
            }
        }
    }
    return true;
}

// The first value from `from` up that has the phase, modulo PATTERN_PERIOD.
int32_t FirstWithPhase(int32_t from, int32_t phase)
{
    return from + Wrap(phase - from);
}

void TraceLine(std::vector<Band>& bands, const PatternLine& line, int32_t left, int32_t top,
               int32_t right, int32_t bottom)
{
    switch (line.direction) {
        case LineDirection::ROW:
            for (int32_t y = FirstWithPhase(top, line.phase); y < bottom; y += PATTERN_PERIOD) {
                bands.push_back(Band{BandCorner{left, y}, BandCorner{right, y},
                                     BandCorner{right, y + 1}, BandCorner{left, y + 1}});
            }
            break;
        case LineDirection::COLUMN:
            for (int32_t x = FirstWithPhase(left, line.phase); x < right; x += PATTERN_PERIOD) {
                bands.push_back(Band{BandCorner{x, top}, BandCorner{x + 1, top},
                                     BandCorner{x + 1, bottom}, BandCorner{x, bottom}});
            }
            break;
    }
}

}  // namespace

std::optional<std::vector<PatternLine>> FindPatternLines(const std::vector<uint8_t>& packed,
                                                         int32_t width, int32_t height)
{
    const size_t rowBytes = (static_cast<size_t>(width) + BITS_PER_BYTE * ROW_ALIGNMENT - 1) /
                            (BITS_PER_BYTE * ROW_ALIGNMENT) * ROW_ALIGNMENT;
    if (width < PATTERN_PERIOD || height < PATTERN_PERIOD ||
        packed.size() < rowBytes * static_cast<size_t>(height)) {
        return std::nullopt;
    }
    const Patch patch{packed, width, height, rowBytes};
    if (!RepeatsEveryPeriod(patch)) {
        return std::nullopt;
    }
    std::vector<PatternLine> lines;
    for (LineDirection direction : DIRECTIONS) {
        for (int32_t phase = 0; phase < PATTERN_PERIOD; ++phase) {
            const PatternLine line{direction, phase};
            if (IsWholeLine(patch, line)) {
                lines.push_back(line);
            }
        }
    }
    if (!CoversExactly(patch, lines)) {
        return std::nullopt;
    }
    return lines;
}

std::vector<Band> TraceLineBands(const std::vector<PatternLine>& lines, int32_t left, int32_t top,
                                 int32_t right, int32_t bottom)
{
    std::vector<Band> bands;
    if (left >= right || top >= bottom) {
        return bands;
    }
    for (const PatternLine& line : lines) {
        TraceLine(bands, line, left, top, right, bottom);
    }
    return bands;
}
