// An ellipse, arc, chord, pie, round rectangle or angle arc whose device
// box has no width or height is skipped (a box-shaped record that lands
// beyond the coordinates the driver holds never comes here: the guards of
// record_guards.h skip it first); of a skipped ARCTO or ANGLEARC the line
// from the current position to the arc's start is drawn, and the current
// position left at the arc's end, as the platform does. A rectangle,
// ellipse, round
// rectangle, arc, chord or pie under a transform that turns or shears, and
// an arc, chord or pie drawn clockwise, goes through a path (a rectangle
// as a polygon), which the platform lays out on the device itself: the
// driver would draw it upright and anticlockwise. A pixel is drawn as a
// filled device pixel.
#include "playback/mendings.h"

#include "gdi_owners.h"
#include "playback/device_map.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace {

bool IsArc(DWORD type)
{
    return type == EMR_ARC || type == EMR_CHORD || type == EMR_PIE;
}

}  // namespace

bool IsKeptFromDriver(HDC device, const uint8_t* bytes, size_t size)
{
    const std::optional<LogicalBox> box = ReadShapeBox(bytes, size);
    if (!box) {
        return false;
    }
    return IsCurvedShape(bytes) &&
           JudgeShapeBox(ReadDeviceMap(device), *box, DRIVER_COORDINATE_LIMIT) == ShapeFit::EMPTY;
}

bool FitsLong(int64_t value)
{
    return value >= std::numeric_limits<LONG>::min() && value <= std::numeric_limits<LONG>::max();
}

void DrawLineOfKeptArc(HDC device, const uint8_t* bytes, size_t size)
{
    const std::optional<ArcEnds> ends = ReadArcEnds(bytes, size);
    if (!ends || !FitsLong(ends->startX) || !FitsLong(ends->startY) || !FitsLong(ends->endX) ||
        !FitsLong(ends->endY)) {
        return;
    }
    const auto startX = static_cast<LONG>(ends->startX);
    const auto startY = static_cast<LONG>(ends->startY);
    POINT from = {};
    GetCurrentPositionEx(device, &from);
    const AffineMap map = ReadDeviceMap(device);
    if (IsWithinDriverLimit(MapPoint(map, from.x, from.y)) &&
        IsWithinDriverLimit(MapPoint(map, startX, startY))) {
        LineTo(device, startX, startY);
    }
    MoveToEx(device, static_cast<LONG>(ends->endX), static_cast<LONG>(ends->endY), nullptr);
}

// Whether the driver would draw the box-shaped record upright or the
// wrong way round: under a transform that turns or shears, or, for an arc,
// clockwise.
bool IsTurnedShape(HDC device, const ENHMETARECORD* record)
{
    const DWORD type = record->iType;
    const bool boxShaped =
        type == EMR_RECTANGLE || type == EMR_ELLIPSE || type == EMR_ROUNDRECT || IsArc(type);
    return boxShaped && (TurnsOrShears(ReadDeviceMap(device)) ||
                         (IsArc(type) && GetArcDirection(device) == AD_CLOCKWISE));
}

// Draws the shape through a path, which the platform lays out on the
// device itself, turned and in the arc's direction; a rectangle as the
// polygon of its corners, which the platform's path would lay out upright.
void DrawThroughPath(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount)
{
    if (record->iType == EMR_RECTANGLE) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(record);
        const std::optional<LogicalBox> box = ReadShapeBox(bytes, record->nSize);
        DrawBoxAsPolygon(device, static_cast<LONG>(box->left), static_cast<LONG>(box->top),
                         static_cast<LONG>(box->right), static_cast<LONG>(box->bottom));
        return;
    }
    BeginPath(device);
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    EndPath(device);
    if (record->iType == EMR_ARC) {
        StrokePath(device);
    } else {
        StrokeAndFillPath(device);
    }
}

// Draws the pixel as a filled device pixel: the driver writes a pixel as
// a fill of no area.
void DrawPixel(HDC device, const Pixel& pixel)
{
    const DevicePoint at = MapPoint(ReadDeviceMap(device), pixel.x, pixel.y);
    if (!IsWithinDriverLimit(at)) {
        return;
    }
    const GdiObject<HBRUSH> ink(CreateSolidBrush(pixel.colour));
    if (ink == nullptr) {
        return;
    }
    const SavedState saved(device);
    UseDevicePixels(device);
    const LONG x = RoundToPixel(at.x);
    const LONG y = RoundToPixel(at.y);
    const RECT dot = {x, y, x + 1, y + 1};
    FillRect(device, &dot, ink.get());
}
