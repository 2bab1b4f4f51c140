// Where the picture goes on the printed page, and the EPS bounding box that
// encloses it. Pure arithmetic: no platform calls, so it builds and is tested
// natively as well as for Windows.
#pragma once

#include <cstdint>

// Page geometry as the printer device reports it, in device pixels.
struct DeviceMetrics {
    int32_t physicalWidth;
    int32_t physicalHeight;
    int32_t physicalOffsetX;
    int32_t physicalOffsetY;
};

// The picture's destination, measured from the printable area's top-left
// corner (the device origin). Left and top are always 0.
struct PlacementRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// PostScript points, origin at the lower-left corner of the physical page.
struct BoundingBox {
    int32_t llx;
    int32_t lly;
    int32_t urx;
    int32_t ury;
};

// Points assigned to the whole physical page; every device position maps to
// the same fraction of this page whatever size the device reports. They are
// not A4's 595.28 x 841.89 points but the program's own fixed values, kept
// as they are so that a picture always gets the box it always got: about
// 0.4 % larger than the page a driver draws, so the box lies up to 3 points
// further out at the top and right than the margin says.
constexpr double POINTS_ACROSS_PAGE = 597.509240053605;
constexpr double POINTS_DOWN_PAGE = 845.0487823615272;
// Points added outside the picture on every side.
constexpr int32_t BBOX_MARGIN = 5;
constexpr double POINTS_PER_INCH = 72.0;

// A rectangle in device pixels, measured from the device origin.
struct DeviceRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The device's resolution in pixels per inch, as it reports it.
struct DeviceResolution {
    int32_t dotsPerInchX;
    int32_t dotsPerInchY;
};

// Truncates toward zero through a 64-bit integer and keeps its low 32 bits.
// Not-a-number and values outside the 64-bit range (a division by zero)
// give 0.
int32_t TruncateToInt32(double value);

// The largest rectangle with the source's proportions that fits the printable
// area, anchored at its top-left corner; all zero when either ratio is zero.
PlacementRect ComputePlacement(const DeviceMetrics& metrics, int32_t sourceWidth,
                               int32_t sourceHeight);

// The placed picture's extent in points, widened by BBOX_MARGIN on each side.
BoundingBox ComputeBoundingBox(const DeviceMetrics& metrics, const PlacementRect& placement);

// The device area that drawing is clipped to, so that nothing marks the page
// outside the box: the box's region on the device, whole pixels inside it
// with one pixel to spare. The box maps the device onto the page by the two
// page constants; a driver draws by its resolution, which gives a page a
// little smaller (A4 at 300 dpi is 595 x 842 points). The area lies inside
// the box by both mappings (a resolution of 0 counts as unknown and leaves
// only the box's own). Empty (right <= left or bottom <= top) when nothing
// fits; all zero for a device that reports no page.
DeviceRect ComputeClipRect(const DeviceMetrics& metrics, const DeviceResolution& resolution,
                           const BoundingBox& box);
