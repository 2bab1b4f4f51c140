// Where a record lands on the printer's device: affine maps from logical
// to device coordinates, the limit of the coordinates the driver is handed,
// and rounding to device pixels as the driver rounds.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// An affine map from logical to device coordinates, laid out as the
// platform's XFORM: device x = x m11 + y m21 + dx, device y = x m12 + y m22 + dy.
struct AffineMap {
    double m11;
    double m12;
    double m21;
    double m22;
    double dx;
    double dy;
};

struct DevicePoint {
    double x;
    double y;
};

// The world transform followed by the window-to-viewport mapping, as a
// device context composes them. A window extent of 0 maps nothing: the
// map then collapses to the viewport's origin.
AffineMap ComposeDeviceMap(const AffineMap& world, int32_t windowOrgX, int32_t windowOrgY,
                           int32_t windowExtX, int32_t windowExtY, int32_t viewportOrgX,
                           int32_t viewportOrgY, int32_t viewportExtX, int32_t viewportExtY);
DevicePoint MapPoint(const AffineMap& map, double x, double y);
// How long one logical unit upward is on the device.
double VerticalScale(const AffineMap& map);

// Device coordinates the job hands the driver stay within this many pixels
// of the origin: 355 m at 300 dpi, far beyond any page, and small enough
// that the driver's 32-bit sums and Ghostscript's fixed-point coordinates
// never overflow.
constexpr double DRIVER_COORDINATE_LIMIT = 4194304.0;
// Whether the point is finite and within limit pixels of the origin.
bool IsWithinLimit(const DevicePoint& point, double limit);
// Whether the point is finite and within the driver's limit.
bool IsWithinDriverLimit(const DevicePoint& point);
// A device coordinate rounded to its pixel, as the driver rounds it.
double RoundAsDevice(double value);

// An upright box in device coordinates.
struct DeviceBounds {
    double left;
    double top;
    double right;
    double bottom;
};
// The smallest upright box that holds the points; none for no points, or
// when a point is not finite.
std::optional<DeviceBounds> BoundDevicePoints(const std::vector<DevicePoint>& points);

// A box-shaped drawing record's box, in logical units.
struct LogicalBox {
    int64_t left;  // 64 bits: a centre and radius may reach past 32
    int64_t top;
    int64_t right;
    int64_t bottom;
};

enum class ShapeFit {
    DRAWABLE,
    EMPTY,          // the box's two corners land on one device row or column
    BEYOND_DEVICE,  // a corner lands beyond the coordinate limit, or nowhere
};
// How a device that holds coordinates up to limit meets the box: it
// rounds the mapped corners to device pixels and scales a circle to their
// difference.
ShapeFit JudgeShapeBox(const AffineMap& map, const LogicalBox& box, double limit);

// Whether the map turns or shears: the driver draws a box-shaped record
// upright whatever the transform.
bool TurnsOrShears(const AffineMap& map);
