#include "playback/faithful_playback.h"

#include "playback/device_map.h"
#include "driver/driver_input.h"
#include "metafile/little_endian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t FONT_OFFSET = 12;  // the LOGFONTW of EXTCREATEFONTINDIRECTW
// The patch a pattern brush's colours are taken over: a whole number of
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

// The part of the device rectangle that lies in the printable area; empty
// when none does.
RECT CutToPage(HDC device, const RECT& area)
{
    const RECT page = {0, 0, GetDeviceCaps(device, HORZRES), GetDeviceCaps(device, VERTRES)};
    RECT cut = {};
    IntersectRect(&cut, &area, &page);
    return cut;
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
    return CutToPage(device, area);
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

// Whether the driver would draw the brush wrongly: a pattern brush, or a
// hatched one over an opaque background, whose hatches the driver spaces
// its own way and under which it leaves the background unpainted.
bool IsDrawnWrongly(HDC device, HGDIOBJ brush)
{
    LOGBRUSH description = {};
    if (brush == nullptr || GetObjectA(brush, sizeof description, &description) == 0) {
        return false;
    }
    return description.lbStyle == BS_PATTERN || description.lbStyle == BS_DIBPATTERN ||
           description.lbStyle == BS_DIBPATTERNPT ||
           (description.lbStyle == BS_HATCHED && GetBkMode(device) == OPAQUE);
}

// The brush as the platform paints it over the device's area, in the
// device's text and background colours (a monochrome pattern's two), its
// tiles where they lie on the device.
Raster PaintBrush(HDC device, HGDIOBJ brush, const RECT& area)
{
    const Raster raster = MakeRaster(area.right - area.left, area.bottom - area.top);
    if (raster.dc == nullptr) {
        return raster;
    }
    POINT origin = {};
    GetBrushOrgEx(device, &origin);
    SetBrushOrgEx(raster.dc, origin.x - area.left, origin.y - area.top, nullptr);
    SetTextColor(raster.dc, GetTextColor(device));
    SetBkColor(raster.dc, GetBkColor(device));
    const RECT whole = {0, 0, area.right - area.left, area.bottom - area.top};
    FillRect(raster.dc, &whole, static_cast<HBRUSH>(brush));
    GdiFlush();
    return raster;
}

// What a pattern brush looks like: its colours when it has no more than
// two, and its mean colour.
struct PatternLook {
    std::optional<TwoColours> colours;
    uint32_t mean;
};

PatternLook LookAtPattern(HDC device, HGDIOBJ brush)
{
    const Raster patch = PaintBrush(device, brush, RECT{0, 0, PATTERN_PATCH, PATTERN_PATCH});
    if (patch.dc == nullptr) {
        return {std::nullopt, 0};
    }
    const PatternLook look = {
        ReadTwoColours(patch.bits, PATTERN_PATCH, PATTERN_PATCH, patch.stride),
        MeanColour(patch.bits, PATTERN_PATCH, PATTERN_PATCH, patch.stride)};
    ReleaseRaster(patch);
    return look;
}

// A one-bit DIB's description, its two colours in its colour table.
struct TwoColourInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

RGBQUAD AsQuad(uint32_t colour)
{
    return RGBQUAD{GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
}

// Draws the brush over the area of the device, in device pixels, as a
// two-colour image: the driver is handed no pattern, and every tile lands
// where the platform puts it.
void DrawTwoColourImage(HDC device, HGDIOBJ brush, const RECT& area, const TwoColours& colours)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const Raster raster = PaintBrush(device, brush, area);
    if (raster.dc == nullptr) {
        return;
    }
    const std::vector<uint8_t> bits =
        PackTwoColours(raster.bits, width, height, raster.stride, colours.second);
    ReleaseRaster(raster);
    TwoColourInfo info = {};
    info.header = TopDownInfo(width, height).bmiHeader;
    info.header.biBitCount = 1;
    info.header.biClrUsed = 2;
    info.colours[0] = AsQuad(colours.first);
    info.colours[1] = AsQuad(colours.second);
    StretchDIBits(device, area.left, area.top, width, height, 0, 0, width, height, bits.data(),
                  reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
}

// Draws the box from (left, top) to (right, bottom) as the polygon of its
// four corners, which the platform maps one by one, turned or not.
void DrawBoxAsPolygon(HDC device, LONG left, LONG top, LONG right, LONG bottom)
{
    const POINT corners[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    Polygon(device, corners, 4);
}

// Adds the area the record fills to an open path.
void TraceFill(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount,
               BrushUse use)
{
    if (use == BrushUse::PATTERN_COPY) {
        const BlitDestination d = ReadBlitDestination(reinterpret_cast<const uint8_t*>(record));
        DrawBoxAsPolygon(device, d.x, d.y, d.x + d.width, d.y + d.height);
    } else {
        PlayEnhMetaFileRecord(device, table, record, handleCount);
    }
}

// The printable area the clipping leaves, in device pixels.
RECT ClippedDeviceArea(HDC device)
{
    RECT area = {};
    GetClipBox(device, &area);
    return CutToPage(device, area);
}

bool HasPen(HDC device)
{
    HGDIOBJ pen = GetCurrentObject(device, OBJ_PEN);
    if (GetObjectType(pen) == OBJ_EXTPEN) {
        EXTLOGPEN description = {};
        GetObjectA(pen, sizeof description, &description);
        return (description.elpPenStyle & PS_STYLE_MASK) != PS_NULL;
    }
    LOGPEN description = {};
    GetObjectA(pen, sizeof description, &description);
    return (description.lopnStyle & PS_STYLE_MASK) != PS_NULL;
}

// Fills what the record fills with the two-colour pattern, as an image
// clipped to it, then draws the record's outline, if it has one, over it.
void FillWithTwoColours(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount, BrushUse use, const TwoColours& colours)
{
    HGDIOBJ brush = GetCurrentObject(device, OBJ_BRUSH);
    const int saved = SaveDC(device);
    if (use != BrushUse::PATH) {
        SelectObject(device, GetStockObject(NULL_PEN));
        BeginPath(device);
        TraceFill(device, table, record, handleCount, use);
        EndPath(device);
    }
    SelectClipPath(device, RGN_AND);
    UseDevicePixels(device);
    DrawTwoColourImage(device, brush, ClippedDeviceArea(device), colours);
    RestoreDC(device, saved);
    if (use == BrushUse::PATH) {
        // The path came back with the saved state: stroked or dropped now,
        // as the record would leave it.
        if (record->iType == EMR_STROKEANDFILLPATH) {
            StrokePath(device);
        } else {
            AbortPath(device);
        }
    } else if (use == BrushUse::SHAPE && HasPen(device)) {
        HGDIOBJ previous = SelectObject(device, GetStockObject(NULL_BRUSH));
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        SelectObject(device, previous);
    }
}

// Plays the record with a solid brush of the colour in the pattern brush's
// place: the current brush, or the table entry a region fill names.
void PlayWithSolidBrush(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount, uint32_t colour, std::optional<uint32_t> entry)
{
    HBRUSH solid = CreateSolidBrush(colour);
    if (solid == nullptr) {
        return;
    }
    if (entry) {
        HGDIOBJ pattern = table->objectHandle[*entry];
        table->objectHandle[*entry] = solid;
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        table->objectHandle[*entry] = pattern;
    } else {
        HGDIOBJ pattern = SelectObject(device, solid);
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        SelectObject(device, pattern);
    }
    DeleteObject(solid);
}

// Draws a record that fills with a brush the driver would draw wrongly: a
// brush of two colours as an image of its tiles, clipped to the filled
// area, and any other in its mean colour. False, leaving the record to be
// played as it stands, when it fills with no such brush.
bool DrawPatternFill(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const BrushUse use = ReadBrushUse(bytes, record->nSize);
    std::optional<uint32_t> entry;
    HGDIOBJ brush = GetCurrentObject(device, OBJ_BRUSH);
    if (use == BrushUse::NAMED) {
        entry = ReadRegionBrush(bytes);
        brush = *entry < handleCount ? table->objectHandle[*entry] : nullptr;
    }
    if (use == BrushUse::NONE || !IsDrawnWrongly(device, brush)) {
        return false;
    }
    const PatternLook look = LookAtPattern(device, brush);
    if (look.colours &&
        (use == BrushUse::SHAPE || use == BrushUse::PATTERN_COPY || use == BrushUse::PATH)) {
        FillWithTwoColours(device, table, record, handleCount, use, *look.colours);
    } else {
        PlayWithSolidBrush(device, table, record, handleCount, look.mean, entry);
    }
    return true;
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

// The advances in device pixels, each character placed where its summed
// logical advances land.
std::vector<INT> MapAdvances(const std::vector<int32_t>& advances, double scale)
{
    std::vector<INT> mapped;
    double sum = 0;
    LONG placed = 0;
    for (int32_t advance : advances) {
        sum += advance * scale;
        const LONG next = RoundToPixel(sum);
        mapped.push_back(next - placed);
        placed = next;
    }
    return mapped;
}

// The font now selected at its size in device pixels under a map that
// neither turns nor flips x; null where it is turned itself.
HFONT MakeDeviceFont(HDC device, const AffineMap& map)
{
    LOGFONTW font = {};
    if (GetObjectW(GetCurrentObject(device, OBJ_FONT), sizeof font, &font) == 0 ||
        font.lfEscapement != 0 || font.lfOrientation != 0) {
        return nullptr;
    }
    const double height = font.lfHeight * std::fabs(map.m22);
    const double width = font.lfWidth * map.m11;
    if (std::fabs(height) > DRIVER_COORDINATE_LIMIT || width > DRIVER_COORDINATE_LIMIT) {
        return nullptr;
    }
    font.lfHeight = RoundToPixel(height);
    font.lfWidth = RoundToPixel(width);
    return CreateFontIndirectW(&font);
}

// Whether the text can be laid out in device pixels: upright, x not
// flipped, placed by its reference point rather than the current position,
// with no y advances.
bool CanLayOutInDevicePixels(HDC device, const AffineMap& map, const TextRun& run)
{
    return !TurnsOrShears(map) && map.m11 > 0 && map.m22 != 0 &&
           (GetTextAlign(device) & TA_UPDATECP) == 0 && (run.options & TEXT_PAIRED_ADVANCES) == 0 &&
           IsWithinDriverLimit(MapPoint(map, run.x, run.y));
}

// A logical rectangle in device pixels, under a map that does not turn.
RECT MapRect(const AffineMap& map, const int32_t (&sides)[4])
{
    const DevicePoint corner = MapPoint(map, sides[0], sides[1]);
    const DevicePoint opposite = MapPoint(map, sides[2], sides[3]);
    return RECT{
        RoundToPixel(std::min(corner.x, opposite.x)), RoundToPixel(std::min(corner.y, opposite.y)),
        RoundToPixel(std::max(corner.x, opposite.x)), RoundToPixel(std::max(corner.y, opposite.y))};
}

// Adds the text's glyph outlines to an open path on a device drawing in its
// own pixels.
void TraceRun(HDC device, const TextRun& run, const DevicePoint& origin, const RECT& rect,
              const std::vector<INT>& advances)
{
    const INT* dx = advances.empty() ? nullptr : advances.data();
    const auto count = static_cast<UINT>(run.characters.size());
    const int x = RoundToPixel(origin.x);
    const int y = RoundToPixel(origin.y);
    if (run.wide) {
        const std::wstring text(run.characters.begin(), run.characters.end());
        ExtTextOutW(device, x, y, run.options, &rect, text.c_str(), count, dx);
    } else {
        const std::string text(run.characters.begin(), run.characters.end());
        ExtTextOutA(device, x, y, run.options, &rect, text.c_str(), count, dx);
    }
}

// Makes the text's glyph outlines the device's path. The platform puts an
// outline's points on whole logical units, which are coarse where the
// metafile's units are large on the device, so the text is laid out in
// device pixels wherever it can be, in its font at its device size;
// elsewhere the record itself is traced. The caller has saved the state.
void TraceTextOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                       UINT handleCount)
{
    const AffineMap map = ReadDeviceMap(device);
    const std::optional<TextRun> run =
        ReadTextRun(reinterpret_cast<const uint8_t*>(record), record->nSize);
    HFONT font =
        run && CanLayOutInDevicePixels(device, map, *run) ? MakeDeviceFont(device, map) : nullptr;
    if (font == nullptr) {
        BeginPath(device);
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        EndPath(device);
        return;
    }
    const RECT rect = MapRect(map, run->rect);
    const DevicePoint origin = MapPoint(map, run->x, run->y);
    UseDevicePixels(device);
    HGDIOBJ previous = SelectObject(device, font);
    BeginPath(device);
    TraceRun(device, *run, origin, rect, MapAdvances(run->advances, map.m11));
    EndPath(device);
    SelectObject(device, previous);
    DeleteObject(font);
}

// The text as its glyphs' outlines, filled in the text colour.
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
    TraceTextOutlines(device, table, record, handleCount);
    FillPath(device);
    RestoreDC(device, saved);
    DeleteObject(ink);
}

// Draws the pixel as a filled device pixel: the driver writes a pixel as
// a fill of no area.
void DrawPixel(HDC device, const Pixel& pixel)
{
    const DevicePoint at = MapPoint(ReadDeviceMap(device), pixel.x, pixel.y);
    if (!IsWithinDriverLimit(at)) {
        return;
    }
    HBRUSH ink = CreateSolidBrush(pixel.colour);
    if (ink == nullptr) {
        return;
    }
    const int saved = SaveDC(device);
    UseDevicePixels(device);
    const LONG x = RoundToPixel(at.x);
    const LONG y = RoundToPixel(at.y);
    const RECT dot = {x, y, x + 1, y + 1};
    FillRect(device, &dot, ink);
    RestoreDC(device, saved);
    DeleteObject(ink);
}

bool IsArc(DWORD type)
{
    return type == EMR_ARC || type == EMR_CHORD || type == EMR_PIE;
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

}  // namespace

void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    if (IsKeptFromDriver(device, bytes, size)) {
        return;
    }
    const auto tile = playback.backdrop.find(static_cast<size_t>(bytes - playback.metafileStart));
    if (tile != playback.backdrop.end()) {
        DrawBackdropTile(device, tile->second);
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
    if (!playback.pathOpen && DrawPatternFill(device, table, record, handleCount)) {
        return;
    }
    if (!playback.pathOpen && IsTurnedShape(device, record)) {
        DrawThroughPath(device, table, record, handleCount);
        return;
    }
    if (const std::optional<Pixel> pixel = ReadPixel(bytes, size)) {
        DrawPixel(device, *pixel);
        return;
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
    }
}
