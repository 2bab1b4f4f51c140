// A figure under a clip of many rectangles: the driver writes every
// rectangle of the clip before each figure it draws, which for a curved
// clip is thousands of lines a figure. A driver that takes the PostScript
// path escapes is handed the clip once (written_clip.h). For any other,
// the figure is drawn under the clip
// cut to a rectangle that holds all it can paint, its points and its
// outline's reach past them, which leaves the same pixels painted and the
// driver only the rectangles near the figure to write; a figure wholly
// outside the clip, which paints nothing, is not handed to the driver.
#include "playback/mendings.h"
#include "playback/written_clip.h"

#include "driver/device_geometry.h"
#include "gdi_owners.h"
#include "playback/device_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// A clip of this many rectangles or fewer is left as it stands.
constexpr size_t FEW_CLIP_RECTANGLES = 4;
// The functions of the CLIP_TO_PATH escape.
constexpr WORD CLIP_PATH_SAVE = 0;
constexpr WORD CLIP_PATH_RESTORE = 1;
constexpr WORD CLIP_PATH_INCLUSIVE = 2;
constexpr size_t RECTANGLE_CORNERS = 4;

// END_PATH's input, the 16-bit PATH_INFO, all zero: its render mode of 0,
// RENDERMODE_NO_DISPLAY, leaves the path undrawn, for a clip; the driver
// reads nothing else of it then.
constexpr size_t PATH_INFO_SIZE = 26;

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
    TraceRecord(device, table, record, handleCount);
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
    std::vector<DevicePoint> mapped;
    for (const POINT& point : points) {
        mapped.push_back(MapPoint(map, point.x, point.y));
    }
    const std::optional<DeviceBounds> bounds = BoundDevicePoints(mapped);
    if (!bounds) {
        return std::nullopt;
    }
    const DevicePoint corners[] = {{bounds->left - reach, bounds->top - reach},
                                   {bounds->right + reach, bounds->bottom + reach}};
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
    TraceRecord(device, table, record, handleCount);
    GdiObject<HRGN> fill(PathToRegion(device));
    if (fill == nullptr) {
        return {};
    }
    GdiObject<HRGN> painted(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(painted.get(), fill.get(), nullptr, RGN_COPY);
    if (HasPen(device)) {
        TraceRecord(device, table, record, handleCount);
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

bool TakesEscape(HDC device, int escape)
{
    return ExtEscape(device, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0,
                     nullptr) > 0;
}

void EscapeToClipPath(HDC device, WORD function)
{
    ExtEscape(device, CLIP_TO_PATH, sizeof function, reinterpret_cast<LPCSTR>(&function), 0,
              nullptr);
}

// Polygons as PolyPolygon takes them: their corners one after another, and
// how many each has.
struct Polygons {
    std::vector<POINT> corners;
    std::vector<INT> counts;
};

// The polygons, in device pixels, handed to the driver as a clip path
// within the clip in force, its state saved first.
void WritePolygonsAsClipPath(HDC device, const Polygons& polygons)
{
    EscapeToClipPath(device, CLIP_PATH_SAVE);
    ExtEscape(device, BEGIN_PATH, 0, nullptr, 0, nullptr);
    {
        const SavedState saved(device);
        UseDevicePixels(device);
        PolyPolygon(device, polygons.corners.data(), polygons.counts.data(),
                    static_cast<int>(polygons.counts.size()));
    }
    const std::array<char, PATH_INFO_SIZE> undrawn = {};
    ExtEscape(device, END_PATH, static_cast<int>(undrawn.size()), undrawn.data(), 0, nullptr);
    EscapeToClipPath(device, CLIP_PATH_INCLUSIVE);
}

// The region's rectangles as polygons; none when its data cannot be read.
Polygons TraceRegion(HRGN region)
{
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<uint8_t> data(size);
    if (size < sizeof(RGNDATAHEADER) ||
        GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data())) != size) {
        return {};
    }
    Polygons traced;
    const auto* header = reinterpret_cast<const RGNDATAHEADER*>(data.data());
    const auto* rectangles = reinterpret_cast<const RECT*>(data.data() + header->dwSize);
    for (DWORD i = 0; i < header->nCount; ++i) {
        const RECT& r = rectangles[i];
        traced.corners.insert(
            traced.corners.end(),
            {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}});
    }
    traced.counts.assign(header->nCount, static_cast<INT>(RECTANGLE_CORNERS));
    return traced;
}

// The current pen, brush and font selected anew: the driver writes what it
// keeps of them again, where the clip path's state given up took it.
void SelectObjectsAnew(HDC device)
{
    const struct {
        UINT kind;
        int standIn;
    } objects[] = {{OBJ_PEN, NULL_PEN}, {OBJ_BRUSH, NULL_BRUSH}, {OBJ_FONT, SYSTEM_FONT}};
    for (const auto& object : objects) {
        HGDIOBJ current = GetCurrentObject(device, object.kind);
        SelectObject(device, GetStockObject(object.standIn));
        SelectObject(device, current);
    }
}

void GiveUpClipPath(WrittenClip& written)
{
    if (written.region == nullptr) {
        return;
    }
    GiveBackClipPath{}(written.device);
    written.region.reset();
}

// Hands the driver the region as the clip path, its state saved first.
void WriteClipPath(WrittenClip& written, HRGN clip)
{
    GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    if (region == nullptr || CombineRgn(region.get(), clip, nullptr, RGN_COPY) == ERROR) {
        return;
    }
    WritePolygonsAsClipPath(written.device, TraceRegion(region.get()));
    written.region = std::move(region);
}

}  // namespace

WrittenClip::~WrittenClip()
{
    GiveUpClipPath(*this);
}

void GiveBackClipPath::operator()(HDC device) const
{
    EscapeToClipPath(device, CLIP_PATH_RESTORE);
    SelectObjectsAnew(device);
}

bool TakesPathEscapes(HDC device)
{
    return TakesEscape(device, BEGIN_PATH) && TakesEscape(device, CLIP_TO_PATH) &&
           TakesEscape(device, END_PATH);
}

WrittenClip StartWrittenClip(HDC device)
{
    WrittenClip written;
    if (TakesPathEscapes(device)) {
        written.device = device;
    }
    return written;
}

HandedClipPath HandPolygonsAsClipPath(HDC device, const std::vector<std::vector<POINT>>& polygons)
{
    if (!TakesPathEscapes(device)) {
        return HandedClipPath(nullptr);
    }
    Polygons joined;
    for (const std::vector<POINT>& polygon : polygons) {
        joined.corners.insert(joined.corners.end(), polygon.begin(), polygon.end());
        joined.counts.push_back(static_cast<INT>(polygon.size()));
    }
    WritePolygonsAsClipPath(device, joined);
    return HandedClipPath(device);
}

HandedClip HandClipOnce(WrittenClip& written, const uint8_t* record, bool pathOpen)
{
    HDC device = written.device;
    if (device == nullptr || pathOpen || TouchesClip(record)) {
        return HandedClip(nullptr, PutClipBack{device});
    }
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 0, 0));
    if (clip == nullptr || GetClipRgn(device, clip.get()) != 1 ||
        CountRectangles(clip.get()) <= FEW_CLIP_RECTANGLES) {
        GiveUpClipPath(written);
        return HandedClip(nullptr, PutClipBack{device});
    }
    if (written.region == nullptr || !EqualRgn(written.region.get(), clip.get())) {
        GiveUpClipPath(written);
        WriteClipPath(written, clip.get());
    }
    RECT box = {};
    GetRgnBox(clip.get(), &box);
    const GdiObject<HRGN> bounds(CreateRectRgnIndirect(&box));
    if (written.region == nullptr || bounds == nullptr) {
        return HandedClip(nullptr, PutClipBack{device});
    }
    SelectClipRgn(device, bounds.get());
    return HandedClip(clip.release(), PutClipBack{device});
}

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
