// A figure under a clip of many rectangles: the driver writes every
// rectangle of the clip before each figure it draws, which for a curved
// clip is thousands of lines a figure. The figure is drawn under the clip
// cut to a rectangle that holds all it can paint, its points and its
// outline's reach past them, which leaves the same pixels painted and the
// driver only the rectangles near the figure to write; a figure wholly
// outside the clip, which paints nothing, is not handed to the driver.
#include "playback/mendings.h"

#include "driver/device_geometry.h"
#include "gdi_owners.h"
#include "playback/device_map.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// A clip of this many rectangles or fewer is left as it stands.
constexpr size_t FEW_CLIP_RECTANGLES = 4;
// How far an outline may reach past the figure's points, in pen widths: a
// mitred join as far as the default miter limit of 10 lets it (half the
// limit each side), any other join or end half the width times the
// diagonal of a square end.
constexpr double MITRED_REACH = 5.0;
constexpr double SQUARE_END_REACH = 0.75;
// Device pixels added on every side for the driver's rounding.
constexpr double ROUNDING_MARGIN = 2.0;

// The number of rectangles the region is made of.
size_t CountRectangles(HRGN region)
{
    const size_t size = GetRegionData(region, 0, nullptr);
    return size < sizeof(RGNDATAHEADER) ? 0 : (size - sizeof(RGNDATAHEADER)) / sizeof(RECT);
}

// How far the current pen's outline may reach past a figure's points, in
// logical units: nothing when the pen cannot be read. A pen the pen record
// makes has round joins and ends.
std::optional<double> PenReach(HDC device)
{
    HGDIOBJ pen = GetCurrentObject(device, OBJ_PEN);
    if (GetObjectType(pen) == OBJ_EXTPEN) {
        const int size = GetObjectA(pen, 0, nullptr);
        std::vector<uint8_t> bytes(static_cast<size_t>(std::max(size, 0)));
        if (size < static_cast<int>(sizeof(EXTLOGPEN) - sizeof(DWORD)) ||
            GetObjectA(pen, size, bytes.data()) == 0) {
            return std::nullopt;
        }
        const auto* description = reinterpret_cast<const EXTLOGPEN*>(bytes.data());
        const bool mitred = (description->elpPenStyle & PS_JOIN_MASK) == PS_JOIN_MITER;
        return description->elpWidth * (mitred ? MITRED_REACH : SQUARE_END_REACH);
    }
    LOGPEN description = {};
    if (GetObjectA(pen, sizeof description, &description) == 0) {
        return std::nullopt;
    }
    return description.lopnWidth.x * SQUARE_END_REACH;
}

// How far one logical unit reaches on the device, in the direction the map
// stretches most.
double LongestStretch(const AffineMap& map)
{
    return std::max(std::hypot(map.m11, map.m12), std::hypot(map.m21, map.m22));
}

// The device rectangle that holds all the record can paint: its points as
// the platform traces them into a path, widened by the outline's reach.
// Nothing when they cannot be traced or reach beyond the driver's limit.
std::optional<RECT> FigureReach(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                                UINT handleCount)
{
    const std::optional<double> penReach = PenReach(device);
    if (!penReach) {
        return std::nullopt;
    }
    BeginPath(device);
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    EndPath(device);
    const int count = GetPath(device, nullptr, nullptr, 0);
    std::vector<POINT> points(static_cast<size_t>(std::max(count, 0)));
    std::vector<BYTE> kinds(points.size());
    const bool traced = count > 0 && GetPath(device, points.data(), kinds.data(), count) == count;
    AbortPath(device);
    if (!traced) {
        return std::nullopt;
    }
    const AffineMap map = ReadDeviceMap(device);
    const double stretch = LongestStretch(map);
    // A logical point may have been rounded by half a unit each way.
    const double reach = (*penReach + 1.0) * stretch + ROUNDING_MARGIN;
    double left = INFINITY;
    double top = INFINITY;
    double right = -INFINITY;
    double bottom = -INFINITY;
    for (const POINT& point : points) {
        const DevicePoint p = MapPoint(map, point.x, point.y);
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
    }
    const DevicePoint corners[] = {{left - reach, top - reach}, {right + reach, bottom + reach}};
    if (!IsWithinDriverLimit(corners[0]) || !IsWithinDriverLimit(corners[1])) {
        return std::nullopt;
    }
    return RECT{RoundToPixel(std::floor(corners[0].x)), RoundToPixel(std::floor(corners[0].y)),
                RoundToPixel(std::ceil(corners[1].x)), RoundToPixel(std::ceil(corners[1].y))};
}

// The device region the record paints, its fill and its outline, grown by
// the rounding margin each way; none when it cannot be traced.
GdiObject<HRGN> PaintedRegion(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                              UINT handleCount)
{
    BeginPath(device);
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    EndPath(device);
    GdiObject<HRGN> fill(PathToRegion(device));
    if (fill == nullptr) {
        return {};
    }
    GdiObject<HRGN> painted(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(painted.get(), fill.get(), nullptr, RGN_COPY);
    if (HasPen(device)) {
        BeginPath(device);
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        EndPath(device);
        if (!WidenPath(device)) {
            AbortPath(device);
            return {};
        }
        const GdiObject<HRGN> outline(PathToRegion(device));
        if (outline == nullptr) {
            return {};
        }
        CombineRgn(painted.get(), painted.get(), outline.get(), RGN_OR);
    }
    const auto margin = static_cast<int>(ROUNDING_MARGIN);
    for (const POINT& shift :
         {POINT{-margin, 0}, POINT{margin, 0}, POINT{0, -margin}, POINT{0, margin}}) {
        OffsetRgn(fill.get(), shift.x, shift.y);
        CombineRgn(painted.get(), painted.get(), fill.get(), RGN_OR);
        OffsetRgn(fill.get(), -shift.x, -shift.y);
    }
    return painted;
}

// Whether all the record paints lies within the clip, which then takes
// nothing from it.
bool LiesWithinClip(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount,
                    HRGN clip)
{
    const GdiObject<HRGN> painted = PaintedRegion(device, table, record, handleCount);
    return painted != nullptr &&
           CombineRgn(painted.get(), painted.get(), clip, RGN_DIFF) == NULLREGION;
}

}  // namespace

bool DrawUnderNarrowedClip(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                           UINT handleCount)
{
    if (!DrawsOwnFigure(reinterpret_cast<const uint8_t*>(record))) {
        return false;
    }
    const GdiObject<HRGN> clip(CreateRectRgn(0, 0, 0, 0));
    if (clip == nullptr || GetClipRgn(device, clip.get()) != 1 ||
        CountRectangles(clip.get()) <= FEW_CLIP_RECTANGLES) {
        return false;
    }
    const std::optional<RECT> reach = FigureReach(device, table, record, handleCount);
    if (!reach) {
        return false;
    }
    const GdiObject<HRGN> narrowed(CreateRectRgnIndirect(&*reach));
    const int kind = narrowed == nullptr
                         ? ERROR
                         : CombineRgn(narrowed.get(), narrowed.get(), clip.get(), RGN_AND);
    if (kind == ERROR) {
        return false;
    }
    if (kind == NULLREGION) {
        // The figure lies wholly outside the clip: it paints nothing.
        return true;
    }
    if (LiesWithinClip(device, table, record, handleCount, clip.get())) {
        // The rectangle of the figure's reach stands for the clip.
        SetRectRgn(narrowed.get(), reach->left, reach->top, reach->right, reach->bottom);
    }
    SelectClipRgn(device, narrowed.get());
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    SelectClipRgn(device, clip.get());
    return true;
}
