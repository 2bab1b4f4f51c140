#include "driver/shading.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// Black at the origin, full red 1000 pixels across, 50 steps of green
// 1000 pixels down.
const std::array<ShadedCorner, 3> CORNERS = {ShadedCorner{{0, 0}, {0, 0, 0}},
                                             ShadedCorner{{1000, 0}, {0xFF00, 0, 0}},
                                             ShadedCorner{{0, 1000}, {0, 0x3200, 0}}};

TEST(ShadeThrough, ColoursTheDeviceLinearlyThroughTheCorners)
{
    const std::optional<LinearShade> shade = ShadeThrough(CORNERS);
    ASSERT_TRUE(shade.has_value());
    EXPECT_EQ(0x000000u, ShadeAt(*shade, {0, 0}));
    EXPECT_EQ(0xFF0000u, ShadeAt(*shade, {1000, 0}));
    EXPECT_EQ(0x7F1900u, ShadeAt(*shade, {500, 500})) << "half of each, cut to 8 bits";
    EXPECT_EQ(0xFF0000u, ShadeAt(*shade, {3000, 0})) << "expected red kept to its range";
    EXPECT_EQ(0x000000u, ShadeAt(*shade, {-3000, 0})) << "expected no red below none";
    EXPECT_FALSE(ShadeThrough({CORNERS[0], CORNERS[1], ShadedCorner{{500, 0}, {0, 0, 0}}}))
        << "expected no shade through corners on one line";
    EXPECT_FALSE(ShadeThrough({CORNERS[0], CORNERS[1], ShadedCorner{{NAN, 0}, {0, 0, 0}}}));
    // Corners so near one line that the change down overflows a double.
    EXPECT_FALSE(
        ShadeThrough({ShadedCorner{{0, 0}, {0, 0, 0}}, ShadedCorner{{1e-300, 0}, {0xFF00, 0, 0}},
                      ShadedCorner{{1, 1e-10}, {0, 0, 0}}}))
        << "expected no shade whose change overflows";
}

TEST(GridFor, PixelsNoFinerThanOneStepOfColour)
{
    const LinearShade shade = *ShadeThrough(CORNERS);
    // Red climbs 0.255 steps a pixel across: a pixel of 3 columns; green
    // 0.05 a pixel down: one of 20 rows.
    EXPECT_EQ(334, GridFor(shade, 1000, 1000).columns);
    EXPECT_EQ(50, GridFor(shade, 1000, 1000).rows);
    EXPECT_EQ(1, GridFor(shade, 1000, 10).rows) << "half a step over the whole side";
    EXPECT_EQ(2, GridFor(shade, 4, 10).columns) << "pixels of up to 3 columns over 4";
    const LinearShade steep =
        *ShadeThrough({ShadedCorner{{0, 0}, {0, 0, 0}}, ShadedCorner{{10, 0}, {0xFF00, 0, 0}},
                       ShadedCorner{{0, 10}, {0, 0, 0}}});
    EXPECT_EQ(8, GridFor(steep, 8, 8).columns) << "every pixel where colour changes each";
    EXPECT_EQ(1, GridFor(steep, 8, 8).rows) << "one row where nothing changes down";
}

TEST(ShadeImage, EachPixelTheShadeAtItsCentre)
{
    // Red a step for each device pixel across; two image pixels stretched
    // over four device pixels from x = 10 are shaded at 10.5 and 12.5.
    const LinearShade shade =
        *ShadeThrough({ShadedCorner{{0, 0}, {0, 0, 0}}, ShadedCorner{{100, 0}, {0x6400, 0, 0}},
                       ShadedCorner{{0, 100}, {0, 0, 0}}});
    std::vector<uint8_t> rows(16, 0xEE);
    ShadeImage(shade, PixelArea{10, 0, 4, 2}, ImageGrid{2, 2}, rows.data(), 8);
    EXPECT_EQ(
        (std::vector<uint8_t>{0, 0, 10, 0, 0, 12, 0xEE, 0xEE, 0, 0, 10, 0, 0, 12, 0xEE, 0xEE}),
        rows)
        << "blue, green, red bytes, rows 8 bytes apart";
}

}  // namespace
