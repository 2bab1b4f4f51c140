#include "driver/pattern_lines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 16 x 16 patch of one bit a pixel, rows 4 bytes apart, the 8 x 8 tile
// given by its rows repeated twice each way.
std::vector<uint8_t> RepeatTile(const uint8_t (&tile)[8])
{
    std::vector<uint8_t> packed(16 * 4, 0);
    for (size_t y = 0; y < 16; ++y) {
        packed[y * 4] = tile[y % 8];
        packed[y * 4 + 1] = tile[y % 8];
    }
    return packed;
}

std::vector<PatternLine> Lines(std::initializer_list<PatternLine> lines)
{
    return lines;
}

TEST(FindPatternLines, ReadsTheUprightHatchesAsLinesAndLeavesTheDiagonals)
{
    const uint8_t horizontal[8] = {0, 0, 0, 0, 0xFF, 0, 0, 0};
    const uint8_t cross[8] = {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08};
    const uint8_t forward[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    const uint8_t diagonalCross[8] = {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    const uint8_t vertical[8] = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
    const uint8_t backward[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    EXPECT_EQ(Lines({{LineDirection::ROW, 4}}), FindPatternLines(RepeatTile(horizontal), 16, 16));
    EXPECT_EQ(Lines({{LineDirection::ROW, 4}, {LineDirection::COLUMN, 4}}),
              FindPatternLines(RepeatTile(cross), 16, 16));
    EXPECT_EQ(Lines({{LineDirection::COLUMN, 3}}), FindPatternLines(RepeatTile(vertical), 16, 16));
    EXPECT_EQ(std::nullopt, FindPatternLines(RepeatTile(forward), 16, 16)) << "a diagonal";
    EXPECT_EQ(std::nullopt, FindPatternLines(RepeatTile(backward), 16, 16)) << "a diagonal";
    EXPECT_EQ(std::nullopt, FindPatternLines(RepeatTile(diagonalCross), 16, 16)) << "diagonals";
}

TEST(FindPatternLines, GivesNoLinesForAnEmptyPatchAndCoarserRepeatsAsSeveral)
{
    const uint8_t empty[8] = {};
    EXPECT_EQ(Lines({}), FindPatternLines(RepeatTile(empty), 16, 16));
    // Rows every 4 pixels: two phases of the tile.
    const uint8_t rows[8] = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0};
    EXPECT_EQ(Lines({{LineDirection::ROW, 0}, {LineDirection::ROW, 4}}),
              FindPatternLines(RepeatTile(rows), 16, 16));
}

TEST(FindPatternLines, RefusesPatchesThatAreNotWholeLines)
{
    // A 4 x 4 pattern of a block and a bar, twice in the tile.
    const uint8_t blocks[8] = {0x33, 0x33, 0xFF, 0x00, 0x33, 0x33, 0xFF, 0x00};
    EXPECT_EQ(std::nullopt, FindPatternLines(RepeatTile(blocks), 16, 16));
    // A line with a gap.
    const uint8_t broken[8] = {0, 0, 0, 0, 0xEF, 0, 0, 0};
    EXPECT_EQ(std::nullopt, FindPatternLines(RepeatTile(broken), 16, 16));
    // Rows every 6 pixels do not repeat every 8.
    std::vector<uint8_t> sixes(16 * 4, 0);
    for (size_t y = 0; y < 16; y += 6) {
        sixes[y * 4] = 0xFF;
        sixes[y * 4 + 1] = 0xFF;
    }
    EXPECT_EQ(std::nullopt, FindPatternLines(sixes, 16, 16));
    EXPECT_EQ(std::nullopt, FindPatternLines(std::vector<uint8_t>(7 * 4, 0), 7, 7))
        << "a patch smaller than a tile";
    EXPECT_EQ(std::nullopt, FindPatternLines(std::vector<uint8_t>(4, 0), 16, 16))
        << "fewer bytes than the patch's rows";
}

TEST(TraceLineBands, CoversEachLinesPixelsInTheRectangle)
{
    // Rows of phase 4 in x 10 to 30, y 0 to 20: at y 4 and 12.
    EXPECT_EQ((std::vector<Band>{{{{10, 4}, {30, 4}, {30, 5}, {10, 5}}},
                                 {{{10, 12}, {30, 12}, {30, 13}, {10, 13}}}}),
              TraceLineBands({{LineDirection::ROW, 4}}, 10, 0, 30, 20));
    // Columns of phase 3 in x 0 to 12, y 5 to 9: at x 3 and 11.
    EXPECT_EQ((std::vector<Band>{{{{3, 5}, {4, 5}, {4, 9}, {3, 9}}},
                                 {{{11, 5}, {12, 5}, {12, 9}, {11, 9}}}}),
              TraceLineBands({{LineDirection::COLUMN, 3}}, 0, 5, 12, 9));
    EXPECT_TRUE(TraceLineBands({{LineDirection::ROW, 0}}, 5, 5, 5, 9).empty())
        << "an empty rectangle";
}

}  // namespace
