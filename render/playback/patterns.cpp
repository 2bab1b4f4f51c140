// A fill with a pattern brush, which the driver would write from memory it
// does not own, or with a hatched brush over an opaque background, is
// drawn in the brush's own colours, a monochrome pattern's being the text
// and background colours of the moment: a brush of two colours as a
// one-bit image of its tiles clipped to the shape, the path or the brush
// copy's rectangle, with the outline drawn over it; any other pattern (one
// of a single colour among them), and every other fill, in its mean
// colour.
#include "playback/mendings.h"

#include "driver/pixel_statistics.h"
#include "gdi_owners.h"
#include "playback/device_map.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace {

// The patch a pattern brush's colours are taken over: a whole number of
// tiles for every pattern whose sides divide it.
constexpr int PATTERN_PATCH = 64;

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
    Raster raster = MakeRaster(area.right - area.left, area.bottom - area.top);
    if (raster.dc() == nullptr) {
        return raster;
    }
    POINT origin = {};
    GetBrushOrgEx(device, &origin);
    SetBrushOrgEx(raster.dc(), origin.x - area.left, origin.y - area.top, nullptr);
    SetTextColor(raster.dc(), GetTextColor(device));
    SetBkColor(raster.dc(), GetBkColor(device));
    const RECT whole = {0, 0, area.right - area.left, area.bottom - area.top};
    FillRect(raster.dc(), &whole, static_cast<HBRUSH>(brush));
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
    if (patch.dc() == nullptr) {
        return {std::nullopt, 0};
    }
    return {ReadTwoColours(patch.bits, PATTERN_PATCH, PATTERN_PATCH, patch.stride),
            MeanColour(patch.bits, PATTERN_PATCH, PATTERN_PATCH, patch.stride)};
}

// A one-bit DIB's description, its two colours in its colour table.
struct TwoColourInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

// The one-bit rows of the brush painted over the device's area, the bits
// set where it shows the second colour; none when no raster can be made.
std::vector<uint8_t> PaintTwoColours(HDC device, HGDIOBJ brush, const RECT& area,
                                     const TwoColours& colours)
{
    const Raster raster = PaintBrush(device, brush, area);
    if (raster.dc() == nullptr) {
        return {};
    }
    return PackTwoColours(raster.bits, area.right - area.left, area.bottom - area.top,
                          raster.stride, colours.second);
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
    const std::vector<uint8_t> bits = PaintTwoColours(device, brush, area, colours);
    if (bits.empty()) {
        return;
    }
    TwoColourInfo info = {};
    info.header = TopDownInfo(width, height).bmiHeader;
    info.header.biBitCount = 1;
    info.header.biClrUsed = 2;
    info.colours[0] = AsQuad(colours.first);
    info.colours[1] = AsQuad(colours.second);
    StretchDIBits(device, area.left, area.top, width, height, 0, 0, width, height, bits.data(),
                  reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
}

// Adds the area the record fills to an open path.
void TraceFill(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount,
               BrushUse use)
{
    const std::optional<BlitDestination> copy =
        use == BrushUse::PATTERN_COPY
            ? ReadBlitRectangle(reinterpret_cast<const uint8_t*>(record), record->nSize)
            : std::nullopt;
    if (copy) {
        DrawBoxAsPolygon(device, copy->x, copy->y, copy->x + copy->width, copy->y + copy->height);
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

// Draws the current brush as a two-colour image clipped to what the record
// fills; the device's state, the path with it, comes back after.
void DrawClippedTwoColours(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                           UINT handleCount, BrushUse use, const TwoColours& colours)
{
    HGDIOBJ brush = GetCurrentObject(device, OBJ_BRUSH);
    const SavedState saved(device);
    if (use != BrushUse::PATH) {
        SelectObject(device, GetStockObject(NULL_PEN));
        BeginPath(device);
        TraceFill(device, table, record, handleCount, use);
        EndPath(device);
    }
    SelectClipPath(device, RGN_AND);
    UseDevicePixels(device);
    DrawTwoColourImage(device, brush, ClippedDeviceArea(device), colours);
}

// Fills what the record fills with the two-colour pattern, as an image
// clipped to it, then draws the record's outline, if it has one, over it.
void FillWithTwoColours(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount, BrushUse use, const TwoColours& colours)
{
    DrawClippedTwoColours(device, table, record, handleCount, use, colours);
    if (use == BrushUse::PATH) {
        // The path came back with the saved state: stroked or dropped now,
        // as the record would leave it.
        if (record->iType == EMR_STROKEANDFILLPATH) {
            StrokePath(device);
        } else {
            AbortPath(device);
        }
    } else if (use == BrushUse::SHAPE && HasPen(device)) {
        const Selection hollow = Select(device, GetStockObject(NULL_BRUSH));
        PlayEnhMetaFileRecord(device, table, record, handleCount);
    }
}

// Plays the record with a solid brush of the colour in the pattern brush's
// place: the current brush, or the table entry a region fill names.
void PlayWithSolidBrush(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount, uint32_t colour, std::optional<uint32_t> entry)
{
    const GdiObject<HBRUSH> solid(CreateSolidBrush(colour));
    if (solid == nullptr) {
        return;
    }
    if (entry) {
        HGDIOBJ pattern = table->objectHandle[*entry];
        table->objectHandle[*entry] = solid.get();
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        table->objectHandle[*entry] = pattern;
    } else {
        const Selection selected = Select(device, solid.get());
        PlayEnhMetaFileRecord(device, table, record, handleCount);
    }
}

}  // namespace

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
    // A pattern of one colour is a solid fill of it.
    if (look.colours && look.colours->first != look.colours->second &&
        (use == BrushUse::SHAPE || use == BrushUse::PATTERN_COPY || use == BrushUse::PATH)) {
        FillWithTwoColours(device, table, record, handleCount, use, *look.colours);
    } else {
        PlayWithSolidBrush(device, table, record, handleCount, look.mean, entry);
    }
    return true;
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
