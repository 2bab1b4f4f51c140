#include "geometry.h"

#include <cmath>

namespace {

// 2^63: the first double past the largest 64-bit signed integer.
constexpr double INT64_LIMIT = 9223372036854775808.0;

// Wrapping 32-bit addition, so that a margin added to an extreme value
// stays defined behaviour.
int32_t AddWrapping(int32_t value, int32_t delta)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

// One side of the box: the numerator's share of the whole page, in points,
// rounded half up and widened by the margin.
int32_t ScaleToPoints(int64_t numerator, int32_t denominator, double pagePoints, int32_t margin)
{
    const double share = static_cast<double>(numerator) / static_cast<double>(denominator);
    return AddWrapping(TruncateToInt32(share * pagePoints + 0.5), margin);
}

}  // namespace

int32_t TruncateToInt32(double value)
{
    if (std::isnan(value) || value >= INT64_LIMIT || value < -INT64_LIMIT) {
        return 0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

PlacementRect ComputePlacement(const DeviceMetrics& metrics, int32_t sourceWidth,
                               int32_t sourceHeight)
{
    const int64_t printableWidth =
        int64_t{metrics.physicalWidth} - 2 * int64_t{metrics.physicalOffsetX};
    const int64_t printableHeight =
        int64_t{metrics.physicalHeight} - 2 * int64_t{metrics.physicalOffsetY};

    const double ratioX = printableWidth == 0 ? 0.0
                                              : static_cast<double>(sourceWidth) /
                                                    static_cast<double>(printableWidth);
    const double ratioY = printableHeight == 0 ? 0.0
                                               : static_cast<double>(sourceHeight) /
                                                     static_cast<double>(printableHeight);
    if (ratioX == 0.0 || ratioY == 0.0) {
        return PlacementRect{0, 0, 0, 0};
    }
    if (ratioX > ratioY) {
        return PlacementRect{0, 0, static_cast<int32_t>(printableWidth),
                             TruncateToInt32(static_cast<double>(sourceHeight) / ratioX)};
    }
    return PlacementRect{0, 0, TruncateToInt32(static_cast<double>(sourceWidth) / ratioY),
                         static_cast<int32_t>(printableHeight)};
}

BoundingBox ComputeBoundingBox(const DeviceMetrics& metrics, const PlacementRect& placement)
{
    const int64_t offsetX = metrics.physicalOffsetX;
    const int64_t offsetY = metrics.physicalOffsetY;
    const int64_t height = metrics.physicalHeight;
    const int32_t width = metrics.physicalWidth;

    return BoundingBox{
        ScaleToPoints(offsetX, width, POINTS_ACROSS_PAGE, -BBOX_MARGIN),
        ScaleToPoints(height - placement.bottom - offsetY, metrics.physicalHeight, POINTS_DOWN_PAGE,
                      -BBOX_MARGIN),
        ScaleToPoints(offsetX + placement.right, width, POINTS_ACROSS_PAGE, BBOX_MARGIN),
        ScaleToPoints(height - offsetY, metrics.physicalHeight, POINTS_DOWN_PAGE, BBOX_MARGIN),
    };
}
