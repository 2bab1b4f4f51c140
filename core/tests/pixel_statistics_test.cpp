#include "driver/pixel_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
