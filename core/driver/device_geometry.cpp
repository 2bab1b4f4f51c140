#include "driver/device_geometry.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

double RoundAsDevice(double value)
{
    return std::floor(value + 0.5);
}

bool IsWithinLimit(const DevicePoint& point, double limit)
{
    return std::isfinite(point.x) && std::isfinite(point.y) && std::fabs(point.x) <= limit &&
           std::fabs(point.y) <= limit;
}

bool IsWithinDriverLimit(const DevicePoint& point)
{
    return IsWithinLimit(point, DRIVER_COORDINATE_LIMIT);
}

std::optional<DeviceBounds> BoundDevicePoints(const std::vector<DevicePoint>& points)
{
    if (points.empty()) {
        return std::nullopt;
    }
    DeviceBounds bounds = {points[0].x, points[0].y, points[0].x, points[0].y};
    for (const DevicePoint& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            return std::nullopt;
        }
        bounds = {std::min(bounds.left, p.x), std::min(bounds.top, p.y),
                  std::max(bounds.right, p.x), std::max(bounds.bottom, p.y)};
    }
    return bounds;
}

AffineMap ComposeDeviceMap(const AffineMap& world, int32_t windowOrgX, int32_t windowOrgY,
                           int32_t windowExtX, int32_t windowExtY, int32_t viewportOrgX,
                           int32_t viewportOrgY, int32_t viewportExtX, int32_t viewportExtY)
{
    const double sx = windowExtX == 0 ? 0.0 : static_cast<double>(viewportExtX) / windowExtX;
    const double sy = windowExtY == 0 ? 0.0 : static_cast<double>(viewportExtY) / windowExtY;
    return AffineMap{world.m11 * sx,
                     world.m12 * sy,
                     world.m21 * sx,
                     world.m22 * sy,
                     (world.dx - windowOrgX) * sx + viewportOrgX,
                     (world.dy - windowOrgY) * sy + viewportOrgY};
}

DevicePoint MapPoint(const AffineMap& map, double x, double y)
{
    return DevicePoint{x * map.m11 + y * map.m21 + map.dx, x * map.m12 + y * map.m22 + map.dy};
}

double VerticalScale(const AffineMap& map)
{
    return std::hypot(map.m21, map.m22);
}

ShapeFit JudgeShapeBox(const AffineMap& map, const LogicalBox& box, double limit)
{
    const auto at = [&](int64_t x, int64_t y) {
        return MapPoint(map, static_cast<double>(x), static_cast<double>(y));
    };
    const DevicePoint first = at(box.left, box.top);
    const DevicePoint second = at(box.right, box.bottom);
    for (const DevicePoint& corner :
         {first, second, at(box.right, box.top), at(box.left, box.bottom)}) {
        if (!IsWithinLimit(corner, limit)) {
            return ShapeFit::BEYOND_DEVICE;
        }
    }
    if (RoundAsDevice(first.x) == RoundAsDevice(second.x) ||
        RoundAsDevice(first.y) == RoundAsDevice(second.y)) {
        return ShapeFit::EMPTY;
    }
    return ShapeFit::DRAWABLE;
}

bool TurnsOrShears(const AffineMap& map)
{
    return map.m12 != 0 || map.m21 != 0;
}
