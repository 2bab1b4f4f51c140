#include "eps/geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// 600 x 800 pixels with offsets 10 and 20: a printable area of 580 x 760.
constexpr DeviceMetrics SMALL_DEVICE{600, 800, 10, 20};

void ExpectPlacement(const PlacementRect& actual, int32_t right, int32_t bottom)
{
    EXPECT_EQ(0, actual.left);
    EXPECT_EQ(0, actual.top);
    EXPECT_EQ(right, actual.right) << "expected right " << right << ", got " << actual.right;
    EXPECT_EQ(bottom, actual.bottom) << "expected bottom " << bottom << ", got " << actual.bottom;
}

void ExpectBox(const BoundingBox& actual, int32_t llx, int32_t lly, int32_t urx, int32_t ury)
{
    EXPECT_EQ(llx, actual.llx);
    EXPECT_EQ(lly, actual.lly);
    EXPECT_EQ(urx, actual.urx);
    EXPECT_EQ(ury, actual.ury);
}

TEST(TruncateToInt32, TruncatesTowardZero)
{
    EXPECT_EQ(231, TruncateToInt32(231.99999999999997));
    EXPECT_EQ(-2, TruncateToInt32(-2.9));
    EXPECT_EQ(0, TruncateToInt32(-0.5));
}

TEST(TruncateToInt32, KeepsLowBitsOfSixtyFourBitValue)
{
    EXPECT_EQ(0, TruncateToInt32(4294967296.0));          // 2^32
    EXPECT_EQ(-1, TruncateToInt32(4294967295.0));         // 2^32 - 1
    EXPECT_EQ(INT32_MIN, TruncateToInt32(2147483648.0));  // 2^31
    EXPECT_EQ(5, TruncateToInt32(4294967301.5));          // 2^32 + 5.5
}

TEST(TruncateToInt32, NotANumberAndOutOfRangeGiveZero)
{
    EXPECT_EQ(0, TruncateToInt32(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(0, TruncateToInt32(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(0, TruncateToInt32(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(0, TruncateToInt32(9223372036854775808.0));  // 2^63
    EXPECT_EQ(0, TruncateToInt32(1e300));
    EXPECT_EQ(0, TruncateToInt32(-9223372036854775808.0));  // -2^63 is in range, low bits 0
    EXPECT_EQ(0, TruncateToInt32(-1e19));
}

TEST(ComputePlacement, WidthLimitsWideSource)
{
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 300, 150), 580, 290);
}

TEST(ComputePlacement, HeightLimitsTallSource)
{
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 150, 300), 380, 760);
}

TEST(ComputePlacement, EqualRatiosTakeHeightBranch)
{
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 290, 380), 580, 760);
}

TEST(ComputePlacement, QuotientJustBelowIntegerTruncates)
{
    // 10 / (25 / 580) is 231.99999999999997 in double precision.
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 25, 10), 580, 231);
}

TEST(ComputePlacement, ZeroSourceSideGivesZeroPlacement)
{
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 0, 300), 0, 0);
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 300, 0), 0, 0);
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 0, 0), 0, 0);
}

TEST(ComputePlacement, ZeroPrintableSideGivesZeroPlacement)
{
    ExpectPlacement(ComputePlacement(DeviceMetrics{20, 800, 10, 20}, 300, 150), 0, 0);
    ExpectPlacement(ComputePlacement(DeviceMetrics{600, 40, 10, 20}, 300, 150), 0, 0);
    ExpectPlacement(ComputePlacement(DeviceMetrics{0, 0, 0, 0}, 300, 150), 0, 0);
}

TEST(ComputePlacement, InvertedFrameFollowsSameBranches)
{
    // ratioX = -300/580 is not above ratioY = 150/760: the height branch.
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, -300, 150), -1520, 760);
    // ratioX = 300/580 > ratioY = -150/760: the width branch.
    ExpectPlacement(ComputePlacement(SMALL_DEVICE, 300, -150), 580, -290);
}

TEST(ComputePlacement, A4At300Dpi)
{
    // What Wine's PostScript driver reports for A4 at 300 dpi.
    const DeviceMetrics a4{2479, 3508, 75, 75};
    ExpectPlacement(ComputePlacement(a4, 21000, 29700), 2329, 3293);  // a portrait A4 frame
    ExpectPlacement(ComputePlacement(a4, 400, 300), 2329, 1746);
}

TEST(ComputeBoundingBox, MatchesPlacements)
{
    ExpectBox(ComputeBoundingBox(SMALL_DEVICE, ComputePlacement(SMALL_DEVICE, 300, 150)), 5, 513,
              593, 829);
    ExpectBox(ComputeBoundingBox(SMALL_DEVICE, ComputePlacement(SMALL_DEVICE, 150, 300)), 5, 16,
              393, 829);
    ExpectBox(ComputeBoundingBox(SMALL_DEVICE, ComputePlacement(SMALL_DEVICE, 290, 380)), 5, 16,
              593, 829);
    ExpectBox(ComputeBoundingBox(SMALL_DEVICE, ComputePlacement(SMALL_DEVICE, 25, 10)), 5, 575, 593,
              829);
}

TEST(ComputeBoundingBox, ZeroPlacementGivesTenPointSquare)
{
    ExpectBox(ComputeBoundingBox(SMALL_DEVICE, PlacementRect{0, 0, 0, 0}), 5, 819, 15, 829);
}

TEST(ComputeBoundingBox, ZeroDeviceLeavesOnlyMargins)
{
    const DeviceMetrics zero{0, 0, 0, 0};
    ExpectBox(ComputeBoundingBox(zero, ComputePlacement(zero, 300, 150)), -5, -5, 5, 5);
}

TEST(ComputeBoundingBox, ZeroOffsetsGiveNegativeLeft)
{
    const DeviceMetrics noOffsets{600, 800, 0, 0};
    ExpectBox(ComputeBoundingBox(noOffsets, ComputePlacement(noOffsets, 300, 150)), -5, 523, 603,
              850);
}

}  // namespace

namespace {

void ExpectRect(const DeviceRect& actual, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    EXPECT_EQ(left, actual.left) << "left";
    EXPECT_EQ(top, actual.top) << "top";
    EXPECT_EQ(right, actual.right) << "right";
    EXPECT_EQ(bottom, actual.bottom) << "bottom";
}

// Wine's PostScript driver: A4 at 300 dpi with 75-pixel offsets.
constexpr DeviceMetrics A4_DEVICE{2479, 3508, 75, 75};
constexpr DeviceResolution DPI_300{300, 300};
constexpr DeviceResolution UNKNOWN_RESOLUTION{0, 0};

// The box of a 300 x 150 picture: placement (0, 0, 580, 290).
TEST(ComputeClipRect, LiesInsideTheBoxByThePageConstants)
{
    ExpectRect(ComputeClipRect(SMALL_DEVICE, UNKNOWN_RESOLUTION, BoundingBox{5, 513, 593, 829}),
               -3, -3, 584, 293);
}

// At 300 dpi the driver's page is 595 x 842 points: the left and bottom edges
// come from the resolution, the right and top from the page constants.
TEST(ComputeClipRect, LiesInsideTheBoxByTheResolutionToo)
{
    const BoundingBox box{13, 473, 584, 832};
    ExpectRect(ComputeClipRect(A4_DEVICE, UNKNOWN_RESOLUTION, box), -20, -19, 2346, 1468);
    ExpectRect(ComputeClipRect(A4_DEVICE, DPI_300, box), -19, -19, 2346, 1461);
}

TEST(ComputeClipRect, NegativeSidesOfADeviceWithoutOffsets)
{
    ExpectRect(ComputeClipRect(DeviceMetrics{600, 800, 0, 0}, DeviceResolution{72, 72},
                               BoundingBox{-5, 523, 603, 850}),
               -4, -3, 602, 276);
}

// A frame 18,744,516 wide and -250,454,299 high: the width limits, the
// height is negative, and the box's lly lies above its ury. The box
// encloses nothing, and so does the area: its bottom lies above its top.
TEST(ComputeClipRect, InvertedBoxLeavesNoArea)
{
    const PlacementRect placement = ComputePlacement(A4_DEVICE, 18744516, -250454299);
    EXPECT_EQ(2329, placement.right);
    EXPECT_EQ(-31118, placement.bottom);
    const BoundingBox box = ComputeBoundingBox(A4_DEVICE, placement);
    EXPECT_EQ(13, box.llx);
    EXPECT_EQ(8318, box.lly);
    EXPECT_EQ(584, box.urx);
    EXPECT_EQ(832, box.ury);
    const DeviceRect area = ComputeClipRect(A4_DEVICE, DPI_300, box);
    EXPECT_LE(area.bottom, area.top) << "expected no area down the page, got " << area.top
                                     << " to " << area.bottom;
}

TEST(ComputeClipRect, DeviceWithoutPageClipsEverything)
{
    ExpectRect(ComputeClipRect(DeviceMetrics{0, 0, 0, 0}, DPI_300, BoundingBox{-5, -5, 5, 5}), 0,
               0, 0, 0);
}

}  // namespace
