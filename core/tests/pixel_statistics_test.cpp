#include "driver/pixel_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(MeanColour, AveragesEachChannelOverRows)
{
    // Two rows of two pixels, rows 8 bytes apart: blue, white / black, red.
    const uint8_t rows[] = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0};
    EXPECT_EQ(0x00804080u, MeanColour(rows, 2, 2, 8)) << "red 128, green 64, blue 128";
}

TEST(ReadTwoColours, TakesAPatchOfAtMostTwoColoursAsOneBitAPixel)
{
    // Rows of three pixels, 12 bytes apart: red, white, red / white, white, red.
    const uint8_t two[] = {0,   0,   255, 255, 255, 255, 0, 0, 255, 0, 0, 0,
                           255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0};
    const std::optional<TwoColours> colours = ReadTwoColours(two, 3, 2, 12);
    ASSERT_TRUE(colours.has_value()) << "expected red and white";
    EXPECT_EQ(0x0000FFu, colours->first);
    EXPECT_EQ(0xFFFFFFu, colours->second);
    const std::vector<uint8_t> bits = PackTwoColours(two, 3, 2, 12, colours->second);
    EXPECT_EQ((std::vector<uint8_t>{0x40, 0, 0, 0, 0xC0, 0, 0, 0}), bits);
    uint8_t three[sizeof two];
    std::copy(two, two + sizeof two, three);
    three[4] = 0;  // the second pixel green
    EXPECT_FALSE(ReadTwoColours(three, 3, 2, 12).has_value());
    const std::optional<TwoColours> one = ReadTwoColours(two, 1, 1, 12);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(one->first, one->second) << "one colour, given twice";
}

TEST(NumberColours, EachPixelItsColoursNumberInOrderOfFirstSight)
{
    // Rows of three pixels, 12 bytes apart: red, white, red / white, blue, red.
    const uint8_t rows[] = {0,   0,   255, 255, 255, 255, 0, 0, 255, 0, 0, 0,
                            255, 255, 255, 255, 0,   0,   0, 0, 255, 0, 0, 0};
    const std::optional<NumberedColours> numbered = NumberColours(rows, 3, 2, 12);
    ASSERT_TRUE(numbered.has_value()) << "expected three colours numbered";
    EXPECT_EQ((std::vector<uint32_t>{0x0000FF, 0xFFFFFF, 0xFF0000}), numbered->colours);
    EXPECT_EQ((std::vector<uint8_t>{0, 1, 0, 0, 1, 2, 0, 0}), numbered->rows)
        << "a byte a pixel, rows padded to 4 bytes";
    // A row of 257 pixels of as many colours, then one of 256.
    std::vector<uint8_t> many(257 * 3);
    for (size_t x = 0; x < 257; ++x) {
        many[x * 3] = static_cast<uint8_t>(x);
        many[x * 3 + 1] = static_cast<uint8_t>(x / 256);
    }
    EXPECT_FALSE(NumberColours(many.data(), 257, 1, many.size()).has_value());
    const std::optional<NumberedColours> most = NumberColours(many.data(), 256, 1, many.size());
    ASSERT_TRUE(most.has_value()) << "expected 256 colours numbered";
    EXPECT_EQ(255, most->rows[255]);
}

// A 9 x 7 patch of 2 x 2 blocks, columns 0-4 and 5-8, rows 0-3 and 4-6:
// red, green / blue, white, as a grey level a pixel for short.
std::vector<uint8_t> MakeStretchedPatch(const char* levels)
{
    std::vector<uint8_t> rows(7 * 28, 0);
    for (size_t y = 0; y < 7; ++y) {
        for (size_t x = 0; x < 9; ++x) {
            const char block = levels[y * 9 + x];
            const uint8_t bgr[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
            const auto* colour = block == 'x' ? nullptr : bgr[block - 'a'];
            for (size_t c = 0; c < 3; ++c) {
                rows[y * 28 + x * 3 + c] = colour == nullptr ? 128 : colour[c];
            }
        }
    }
    return rows;
}

TEST(ShrinkBlockRows, TakesAStretchedImageBackToItsPixelsRowByRow)
{
    // The second column's first pixel in the first row rounded into the
    // first block, as a stretch may round it.
    const std::vector<uint8_t> stretched = MakeStretchedPatch(
        "aaaaaabbb"
        "aaaaabbbb"
        "aaaaabbbb"
        "aaaaabbbb"
        "cccccdddd"
        "cccccdddd"
        "cccccdddd");
    const std::vector<std::optional<std::vector<uint8_t>>> rows =
        ShrinkBlockRows(stretched.data(), 9, 7, 28, 2, 2);
    ASSERT_EQ(2u, rows.size());
    ASSERT_TRUE(rows[0].has_value() && rows[1].has_value()) << "expected both rows of blocks";
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 255, 0, 255, 0, 0, 0}), *rows[0]) << "red, green";
    EXPECT_EQ((std::vector<uint8_t>{255, 0, 0, 255, 255, 255, 0, 0}), *rows[1]) << "blue, white";
    std::string levels =
        "aaaaabbbb"
        "aaaaabbbb"
        "aaaaabbbb"
        "aaaaabbbb"
        "cccccdddd"
        "cccccdddd"
        "cccccdddd";
    levels[2 * 9 + 2] = 'x';
    const std::vector<uint8_t> inside = MakeStretchedPatch(levels.c_str());
    const std::vector<std::optional<std::vector<uint8_t>>> detailed =
        ShrinkBlockRows(inside.data(), 9, 7, 28, 2, 2);
    EXPECT_FALSE(detailed[0].has_value()) << "expected none where a grey pixel lies in a block";
    EXPECT_TRUE(detailed[1].has_value()) << "expected the row of blocks below it shrunk";
    levels[2 * 9 + 2] = 'a';
    levels[2 * 9 + 4] = 'x';
    const std::vector<uint8_t> edge = MakeStretchedPatch(levels.c_str());
    EXPECT_FALSE(ShrinkBlockRows(edge.data(), 9, 7, 28, 2, 2)[0].has_value())
        << "expected none where a grey line runs along a block's edge";
    const std::vector<std::optional<std::vector<uint8_t>>> narrow =
        ShrinkBlockRows(stretched.data(), 9, 7, 28, 4, 2);
    EXPECT_EQ(2u, narrow.size());
    EXPECT_FALSE(narrow[0].has_value() || narrow[1].has_value())
        << "expected none for blocks 2 pixels wide";
}

}  // namespace
