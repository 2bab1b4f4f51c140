#include "faithful_playback.h"

#include "device_map.h"
#include "driver_input.h"
#include "little_endian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr size_t BRUSH_INDEX_OFFSET = 8;  // ihBrush of the pattern brush records
constexpr size_t FONT_OFFSET = 12;        // the LOGFONTW of EXTCREATEFONTINDIRECTW
// The patch a pattern brush's mean colour is taken over: a whole number of
// tiles for every pattern whose sides divide it.
constexpr int PATTERN_PATCH = 64;

bool IsKeptFromDriver(HDC device, const uint8_t* bytes, size_t size)
{
    const std::optional<LogicalBox> box = ReadShapeBox(bytes, size);
    if (!box) {
        return false;
    }
    const ShapeFit fit = JudgeShapeBox(ReadDeviceMap(device), *box);
    return fit == ShapeFit::BEYOND_DEVICE || (fit == ShapeFit::EMPTY && IsCurvedShape(bytes));
}

bool CanShade(uint32_t shadeBlendCaps, uint32_t mode)
{
    return (shadeBlendCaps & (mode == GRADIENT_MODE_TRIANGLE ? SB_GRAD_TRI : SB_GRAD_RECT)) != 0;
}

// The gradient's pieces as device polygons: a rectangle's four corners, a
// triangle's three.
std::vector<std::vector<DevicePoint>> PieceOutlines(const Gradient& gradient, const AffineMap& map)
{
    std::vector<std::vector<DevicePoint>> outlines;
    for (const std::vector<uint32_t>& piece : gradient.pieces) {
        std::vector<DevicePoint> outline;
        if (gradient.mode == GRADIENT_MODE_TRIANGLE) {
            for (uint32_t vertex : piece) {
                const GradientVertex& v = gradient.vertices[vertex];
                outline.push_back(MapPoint(map, v.x, v.y));
            }
        } else {
            const GradientVertex& a = gradient.vertices[piece[0]];
            const GradientVertex& b = gradient.vertices[piece[1]];
            for (const POINT& corner :
                 {POINT{a.x, a.y}, POINT{b.x, a.y}, POINT{b.x, b.y}, POINT{a.x, b.y}}) {
                outline.push_back(MapPoint(map, corner.x, corner.y));
            }
        }
        outlines.push_back(outline);
    }
    return outlines;
}

// The device rectangle the outlines cover, cut to the printable area.
RECT CoveredArea(HDC device, const std::vector<std::vector<DevicePoint>>& outlines)
{
    RECT area = {GetDeviceCaps(device, HORZRES), GetDeviceCaps(device, VERTRES), 0, 0};
    for (const auto& outline : outlines) {
        for (const DevicePoint& p : outline) {
            area.left = std::min(area.left, RoundToPixel(std::floor(p.x)));
            area.top = std::min(area.top, RoundToPixel(std::floor(p.y)));
            area.right = std::max(area.right, RoundToPixel(std::ceil(p.x)));
            area.bottom = std::max(area.bottom, RoundToPixel(std::ceil(p.y)));
        }
    }
    area.left = std::max(area.left, LONG{0});
    area.top = std::max(area.top, LONG{0});
    area.right = std::min(area.right, static_cast<LONG>(GetDeviceCaps(device, HORZRES)));
    area.bottom = std::min(area.bottom, static_cast<LONG>(GetDeviceCaps(device, VERTRES)));
    return area;
}

// Shades the gradient into the raster, whose top-left corner is origin on
// the device, through the platform's own gradient fill.
void ShadeInto(const Raster& raster, const Gradient& gradient, const AffineMap& map,
               const POINT& origin)
{
    std::vector<TRIVERTEX> vertices;
    for (const GradientVertex& v : gradient.vertices) {
        const DevicePoint p = MapPoint(map, v.x, v.y);
        vertices.push_back(TRIVERTEX{RoundToPixel(p.x) - origin.x, RoundToPixel(p.y) - origin.y,
                                     v.red, v.green, v.blue, v.alpha});
    }
    std::vector<ULONG> pieces;
    for (const std::vector<uint32_t>& piece : gradient.pieces) {
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    GdiGradientFill(raster.dc, vertices.data(), static_cast<ULONG>(vertices.size()), pieces.data(),
                    static_cast<ULONG>(gradient.pieces.size()), gradient.mode);
    GdiFlush();
}

// Clips the device to the outlines, in device pixels, for the drawing that
// follows; the caller has saved the state to restore.
void ClipToOutlines(HDC device, const std::vector<std::vector<DevicePoint>>& outlines)
{
    UseDevicePixels(device);
    SetPolyFillMode(device, WINDING);
    BeginPath(device);
    for (const auto& outline : outlines) {
        std::vector<POINT> points;
        for (const DevicePoint& p : outline) {
            points.push_back(POINT{RoundToPixel(p.x), RoundToPixel(p.y)});
        }
        Polygon(device, points.data(), static_cast<int>(points.size()));
    }
    EndPath(device);
    SelectClipPath(device, RGN_AND);
}

bool FitsDevice(const std::vector<std::vector<DevicePoint>>& outlines)
{
    for (const auto& outline : outlines) {
        for (const DevicePoint& p : outline) {
            if (!IsWithinDriverLimit(p)) {
                return false;
            }
        }
    }
    return true;
}

// The gradient as an image of its device area, limited to its shape.
void DrawGradientAsImage(HDC device, const Gradient& gradient)
{
    const AffineMap map = ReadDeviceMap(device);
    const std::vector<std::vector<DevicePoint>> outlines = PieceOutlines(gradient, map);
    if (!FitsDevice(outlines)) {
        return;
    }
    const RECT area = CoveredArea(device, outlines);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const Raster raster = MakeRaster(width, height);
    if (raster.dc == nullptr) {
        return;
    }
    ShadeInto(raster, gradient, map, POINT{area.left, area.top});
    const int saved = SaveDC(device);
    ClipToOutlines(device, outlines);
    StretchDIBits(device, area.left, area.top, width, height, 0, 0, width, height, raster.bits,
                  &raster.info, DIB_RGB_COLORS, SRCCOPY);
    RestoreDC(device, saved);
    ReleaseRaster(raster);
}

// The cell height a raster device gives the font when its height is 0, in
// the device's logical units now.
LONG DefaultFontHeight(HDC device, const uint8_t* bytes, size_t size)
{
    LOGFONTW font = {};
    std::memcpy(&font, bytes + FONT_OFFSET, std::min(sizeof font, size - FONT_OFFSET));
    HFONT made = CreateFontIndirectW(&font);
    HDC memory = CreateCompatibleDC(nullptr);
    TEXTMETRICW metrics = {};
    if (made != nullptr && memory != nullptr) {
        HGDIOBJ previous = SelectObject(memory, made);
        GetTextMetricsW(memory, &metrics);
        SelectObject(memory, previous);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    if (made != nullptr) {
        DeleteObject(made);
    }
    const double scale = VerticalScale(ReadDeviceMap(device));
    const double height = scale > 0 ? metrics.tmHeight / scale : 0.0;
    return std::max(LONG{1}, RoundToPixel(std::min(height, DRIVER_COORDINATE_LIMIT)));
}

// Puts a solid brush of the pattern brush's mean colour in its place in
// the table.
void FlattenPatternBrush(HDC device, HANDLETABLE* table, UINT handleCount, uint32_t index)
{
    if (index == 0 || index >= handleCount || table->objectHandle[index] == nullptr) {
        return;
    }
    const Raster raster = MakeRaster(PATTERN_PATCH, PATTERN_PATCH);
    if (raster.dc == nullptr) {
        return;
    }
    HBRUSH pattern = static_cast<HBRUSH>(table->objectHandle[index]);
    SetTextColor(raster.dc, GetTextColor(device));
    SetBkColor(raster.dc, GetBkColor(device));
    const RECT patch = {0, 0, PATTERN_PATCH, PATTERN_PATCH};
    FillRect(raster.dc, &patch, pattern);
    GdiFlush();
    HBRUSH solid =
        CreateSolidBrush(MeanColour(raster.bits, PATTERN_PATCH, PATTERN_PATCH, raster.stride));
    ReleaseRaster(raster);
    if (solid != nullptr) {
        DeleteObject(pattern);
        table->objectHandle[index] = solid;
    }
}

// Puts a geometric pen of width 1 in the width-1 pen's place in the table:
// the driver scales a geometric pen's width to the device when it is
// selected, as a raster playback does with every pen wider than 0.
void WidenPen(HANDLETABLE* table, UINT handleCount, const WidthOnePen& pen)
{
    if (pen.index == 0 || pen.index >= handleCount || table->objectHandle[pen.index] == nullptr) {
        return;
    }
    const LOGBRUSH brush = {BS_SOLID, pen.colour, 0};
    HPEN geometric = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, 1,
                                  &brush, 0, nullptr);
    if (geometric != nullptr) {
        DeleteObject(table->objectHandle[pen.index]);
        table->objectHandle[pen.index] = geometric;
    }
}

// Selects the current pen anew, so that the driver scales its width by the
// transform now in force rather than the one it was selected under.
void ReselectPen(HDC device)
{
    HGDIOBJ pen = GetCurrentObject(device, OBJ_PEN);
    SelectObject(device, GetStockObject(NULL_PEN));
    SelectObject(device, pen);
}

// Whether the text the record draws is in a font of a width of its own,
// over a transparent background, where no path of the metafile's is open.
bool IsNarrowedText(HDC device, const uint8_t* bytes, size_t size, bool pathOpen)
{
    const std::optional<uint32_t> options = ReadTextOptions(bytes, size);
    if (!options || (*options & TEXT_OPAQUE) != 0 || pathOpen || GetBkMode(device) != TRANSPARENT) {
        return false;
    }
    LOGFONTW font = {};
    return GetObjectW(GetCurrentObject(device, OBJ_FONT), sizeof font, &font) != 0 &&
           font.lfWidth != 0;
}

// The text as its glyphs' outlines, which the platform makes from the font
// as it is, filled in the text colour.
void DrawTextAsOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount)
{
    HBRUSH ink = CreateSolidBrush(GetTextColor(device));
    if (ink == nullptr) {
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        return;
    }
    const int saved = SaveDC(device);
    SelectObject(device, ink);
    SelectObject(device, GetStockObject(NULL_PEN));
    SetPolyFillMode(device, WINDING);
    BeginPath(device);
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    EndPath(device);
    FillPath(device);
    RestoreDC(device, saved);
    DeleteObject(ink);
}

}  // namespace

void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    if (IsKeptFromDriver(device, bytes, size)) {
        return;
    }
    if (ReadBlitNeedingBackdrop(bytes, size, playback.shadeBlendCaps) &&
        playback.nextTile < playback.backdrop.size()) {
        DrawBackdropTile(device, playback.backdrop[playback.nextTile++]);
        return;
    }
    if (record->iType == EMR_GRADIENTFILL) {
        const std::optional<Gradient> gradient = ReadGradient(bytes, size);
        if (gradient && !CanShade(playback.shadeBlendCaps, gradient->mode)) {
            DrawGradientAsImage(device, *gradient);
            return;
        }
    }
    if (const std::optional<bool> open = PathOpenAfter(bytes)) {
        playback.pathOpen = *open;
    }
    if (IsNarrowedText(device, bytes, size, playback.pathOpen)) {
        DrawTextAsOutlines(device, table, record, handleCount);
        return;
    }
    const std::optional<int32_t> fontHeight = ReadFontHeight(bytes, size);
    if (fontHeight == 0 && size >= FONT_OFFSET + sizeof(LOGFONTW)) {
        const std::vector<uint8_t> sized =
            WithFontHeight(bytes, size, DefaultFontHeight(device, bytes, size));
        PlayEnhMetaFileRecord(device, table, reinterpret_cast<const ENHMETARECORD*>(sized.data()),
                              handleCount);
        return;
    }
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    if (const std::optional<WidthOnePen> pen = ReadWidthOnePen(bytes, size)) {
        WidenPen(table, handleCount, *pen);
    } else if (ChangesScale(bytes)) {
        ReselectPen(device);
    } else if (record->iType == EMR_CREATEMONOBRUSH ||
               record->iType == EMR_CREATEDIBPATTERNBRUSHPT) {
        FlattenPatternBrush(device, table, handleCount, ReadUint32(bytes + BRUSH_INDEX_OFFSET));
    }
}
