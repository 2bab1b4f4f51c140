// An ellipse, arc, chord, pie, round rectangle or angle arc whose device
// box has no width or height is skipped (a box-shaped record that lands
// beyond the coordinates the driver holds never comes here: the guards of
// record_guards.h skip it first); of a skipped ARCTO or ANGLEARC the line
// from the current position to the arc's start is drawn, and the current
// position left at the arc's end, as the platform does. A rectangle,
// ellipse, round rectangle, arc, chord or pie under a transform that turns
// or shears, and an arc, chord or pie drawn clockwise, goes through a path
// (a rectangle as a polygon), which the platform lays out on the device
// itself: the driver would draw it upright and anticlockwise. Pixels set
// one after another are drawn as filled device pixels, one figure a
// colour.
#include "playback/mendings.h"

#include "gdi_owners.h"
#include "playback/device_map.h"

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr INT SQUARE_CORNERS = 4;

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
    TraceRecord(device, table, record, handleCount);
    if (record->iType == EMR_ARC) {
        StrokePath(device);
    } else {
        StrokeAndFillPath(device);
    }
}

std::optional<DevicePixel> PlacePixel(HDC device, const Pixel& pixel)
{
    const DevicePoint at = MapPoint(ReadDeviceMap(device), pixel.x, pixel.y);
    if (!IsWithinDriverLimit(at)) {
        return std::nullopt;
    }
    return DevicePixel{{RoundToPixel(at.x), RoundToPixel(at.y)}, pixel.colour};
}

namespace {

// Each pixel's square of the device, the last colour set there, by colour
// in the order the colours first come.
std::vector<std::pair<COLORREF, std::vector<POINT>>> SquaresByColour(
    const std::vector<DevicePixel>& pixels)
{
    std::map<std::pair<LONG, LONG>, size_t> last;
    for (size_t i = 0; i < pixels.size(); ++i) {
        last[{pixels[i].at.x, pixels[i].at.y}] = i;
    }
    std::vector<std::pair<COLORREF, std::vector<POINT>>> squares;
    std::map<COLORREF, size_t> groups;  // each colour's place in squares
    for (size_t i = 0; i < pixels.size(); ++i) {
        const POINT& p = pixels[i].at;
        if (last.at({p.x, p.y}) != i) {
            continue;
        }
        const auto [group, added] = groups.try_emplace(pixels[i].colour, squares.size());
        if (added) {
            squares.push_back({pixels[i].colour, {}});
        }
        std::vector<POINT>& corners = squares[group->second].second;
        corners.insert(corners.end(),
                       {{p.x, p.y}, {p.x + 1, p.y}, {p.x + 1, p.y + 1}, {p.x, p.y + 1}});
    }
    return squares;
}

}  // namespace

void DrawPixels(HDC device, const std::vector<DevicePixel>& pixels, bool pathOpen)
{
    if (pixels.empty()) {
        return;
    }
    const SavedState saved(device);
    UseDevicePixels(device);
    SelectObject(device, GetStockObject(NULL_PEN));
    for (const auto& [colour, corners] : SquaresByColour(pixels)) {
        const GdiObject<HBRUSH> ink(CreateSolidBrush(colour));
        if (ink == nullptr) {
            continue;
        }
        if (pathOpen) {
            // A figure would join the open path: each square is filled
            // by itself.
            for (size_t i = 0; i < corners.size(); i += SQUARE_CORNERS) {
                const RECT square = {corners[i].x, corners[i].y, corners[i + 2].x,
                                     corners[i + 2].y};
                FillRect(device, &square, ink.get());
            }
            continue;
        }
        const Selection brush = Select(device, ink.get());
        const std::vector<INT> counts(corners.size() / SQUARE_CORNERS, SQUARE_CORNERS);
        PolyPolygon(device, corners.data(), counts.data(), static_cast<int>(counts.size()));
    }
}
