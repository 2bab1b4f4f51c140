#include "driver/device_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr AffineMap IDENTITY = {1, 0, 0, 1, 0, 0};

TEST(ComposeDeviceMap, AppliesTheWorldThenTheWindowToViewportMapping)
{
    // World: twice as large, moved by (10, 0); window (100, 0) extent 200 x
    // 100 onto viewport (5, 7) extent 100 x -100 (y up).
    const AffineMap map =
        ComposeDeviceMap(AffineMap{2, 0, 0, 2, 10, 0}, 100, 0, 200, 100, 5, 7, 100, -100);
    const DevicePoint p = MapPoint(map, 50, 10);
    EXPECT_DOUBLE_EQ(5 + (2 * 50 + 10 - 100) * 0.5, p.x);
    EXPECT_DOUBLE_EQ(7 - 2 * 10, p.y);
    EXPECT_DOUBLE_EQ(2.0, VerticalScale(map));
    const AffineMap collapsed = ComposeDeviceMap(IDENTITY, 0, 0, 0, 0, 3, 4, 10, 10);
    EXPECT_DOUBLE_EQ(3.0, MapPoint(collapsed, 1000, 1000).x) << "a zero window maps nothing";
}

TEST(JudgeShapeBox, Verdicts)
{
    const struct {
        const char* name;
        AffineMap map;
        LogicalBox box;
        ShapeFit fit;
    } cases[] = {
        {"a plain box", IDENTITY, {10, 10, 200, 100}, ShapeFit::DRAWABLE},
        {"a box of no height", IDENTITY, {10, 10, 200, 10}, ShapeFit::EMPTY},
        {"flattened by its transform", {1, 0, 0, 1e-4, 0, 30}, {10, 10, 200, 500}, ShapeFit::EMPTY},
        {"narrowed by its transform", {1e-4, 0, 0, 1, 50, 0}, {10, 10, 200, 500}, ShapeFit::EMPTY},
        {"under a pixel, within one row", {1, 0, 0, 0.3, 0, 0.5}, {0, 0, 10, 1}, ShapeFit::EMPTY},
        {"scaled beyond the limit",
         {1e6, 0, 0, 1e6, 0, 0},
         {-10, -10, 10, 10},
         ShapeFit::BEYOND_DEVICE},
        {"a far corner beyond the limit", IDENTITY, {0, 0, 5000000, 10}, ShapeFit::BEYOND_DEVICE},
        {"an infinite map", {INFINITY, 0, 0, 1, 0, 0}, {1, 1, 2, 2}, ShapeFit::BEYOND_DEVICE},
        {"rotated a quarter turn", {0, 1, -1, 0, 0, 0}, {0, 0, 100, 50}, ShapeFit::DRAWABLE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.fit, JudgeShapeBox(c.map, c.box, DRIVER_COORDINATE_LIMIT)) << c.name;
    }
}

TEST(TurnsOrShears, ShearsAndTurnsOnly)
{
    EXPECT_FALSE(TurnsOrShears(IDENTITY));
    EXPECT_TRUE(TurnsOrShears(AffineMap{1, 0, 0.5, 1, 0, 0})) << "a shear";
}

TEST(BoundDevicePoints, HoldsEveryPointOrNone)
{
    const std::optional<DeviceBounds> box =
        BoundDevicePoints({{10.5, -2}, {-3, 7.25}, {4, 100}, {0, 0}});
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(-3.0, box->left);
    EXPECT_EQ(-2.0, box->top);
    EXPECT_EQ(10.5, box->right);
    EXPECT_EQ(100.0, box->bottom);
    EXPECT_FALSE(BoundDevicePoints({}).has_value()) << "no points";
    EXPECT_FALSE(BoundDevicePoints({{0, 0}, {INFINITY, 1}}).has_value()) << "a point at infinity";
    EXPECT_FALSE(BoundDevicePoints({{NAN, 0}, {1, 1}}).has_value()) << "a point of no number";
}

}  // namespace
