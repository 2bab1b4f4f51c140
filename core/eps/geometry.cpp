#include "eps/geometry.h"

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

// Pixels of a whole page taken inward from the box's edges, so that a pixel
// rounded outward by the driver still lies inside.
constexpr double SPARE_PIXELS = 1.0;

// A distance in points along one axis of the page, in device pixels by the
// box's page constant and by the device's resolution; pixelsPerPoint is 0
// where the resolution is unknown.
struct PointScale {
    double boxPixelsPerPoint;
    double devicePixelsPerPoint;
};

PointScale ScaleOfAxis(int32_t pagePixels, double pagePoints, int32_t dotsPerInch)
{
    return {static_cast<double>(pagePixels) / pagePoints,
            static_cast<double>(dotsPerInch) / POINTS_PER_INCH};
}

// The nearer and the farther of the two mappings of a distance in points.
double NearerPixels(const PointScale& scale, int32_t points)
{
    const double byBox = points * scale.boxPixelsPerPoint;
    return scale.devicePixelsPerPoint > 0.0 ? std::fmin(byBox, points * scale.devicePixelsPerPoint)
                                            : byBox;
}

double FartherPixels(const PointScale& scale, int32_t points)
{
    const double byBox = points * scale.boxPixelsPerPoint;
    return scale.devicePixelsPerPoint > 0.0 ? std::fmax(byBox, points * scale.devicePixelsPerPoint)
                                            : byBox;
}

// From a physical page position to a device position, rounded inward.
int32_t InwardFrom(double physical, int32_t offset)
{
    return TruncateToInt32(std::ceil(physical) + SPARE_PIXELS) - offset;
}

int32_t InwardTo(double physical, int32_t offset)
{
    return TruncateToInt32(std::floor(physical) - SPARE_PIXELS) - offset;
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

DeviceRect ComputeClipRect(const DeviceMetrics& metrics, const DeviceResolution& resolution,
                           const BoundingBox& box)
{
    if (metrics.physicalWidth <= 0 || metrics.physicalHeight <= 0) {
        return DeviceRect{0, 0, 0, 0};
    }
    const PointScale across =
        ScaleOfAxis(metrics.physicalWidth, POINTS_ACROSS_PAGE, resolution.dotsPerInchX);
    const PointScale down =
        ScaleOfAxis(metrics.physicalHeight, POINTS_DOWN_PAGE, resolution.dotsPerInchY);
    // PostScript's y runs up from the page's bottom edge, the device's down
    // from its top: a height in points is measured up from the bottom.
    const double height = metrics.physicalHeight;
    return DeviceRect{
        InwardFrom(FartherPixels(across, box.llx), metrics.physicalOffsetX),
        InwardFrom(height - NearerPixels(down, box.ury), metrics.physicalOffsetY),
        InwardTo(NearerPixels(across, box.urx), metrics.physicalOffsetX),
        InwardTo(height - FartherPixels(down, box.lly), metrics.physicalOffsetY),
    };
}
