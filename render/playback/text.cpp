// Text in a font of a width of its own (lfWidth), drawn outside the
// metafile's own path, is drawn as its glyphs' outlines, filled in the text
// colour, so that its glyphs keep that width; laid out in device pixels, in
// the font at its device size: upright text as one run, its opaque
// background filled first over its cell, and text turned by its font or the
// world transform a glyph at a time, each glyph traced upright and turned
// onto its place, over its turned cell. Text placed at the current position
// starts there and moves it on. Text of glyph indices that names a glyph
// past the font's, for which the driver reads past the font's tables, names
// the missing glyph instead. A font of height 0 is made at the height a
// raster playback gives it. A symbol font's text is drawn at the font's own
// codes where the font has glyphs only there.
#include "playback/mendings.h"

#include "driver/font_tables.h"
#include "driver/turned_text.h"
#include "gdi_owners.h"
#include "metafile/emf_layout.h"
#include "playback/device_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// The font's cell height in the pixels of a memory context; 0 when the
// font or the context cannot be made.
LONG CellHeight(const LOGFONTW& font)
{
    const GdiObject<HFONT> made(CreateFontIndirectW(&font));
    const MemoryDc memory(CreateCompatibleDC(nullptr));
    TEXTMETRICW metrics = {};
    if (made != nullptr && memory != nullptr) {
        const Selection selected = Select(memory.get(), made.get());
        GetTextMetricsW(memory.get(), &metrics);
    }
    return metrics.tmHeight;
}

// The cell height a raster device gives the font when its height is 0, in
// the device's logical units now.
LONG DefaultFontHeight(HDC device, const uint8_t* bytes, size_t size)
{
    LOGFONTW font = {};
    std::memcpy(&font, bytes + EMR_EXTCREATEFONTINDIRECTW_ELFW,
                std::min(sizeof font, size - EMR_EXTCREATEFONTINDIRECTW_ELFW));
    const LONG cellHeight = CellHeight(font);
    const double scale = VerticalScale(ReadDeviceMap(device));
    const double height = scale > 0 ? cellHeight / scale : 0.0;
    return std::max(LONG{1}, RoundToPixel(std::min(height, DRIVER_COORDINATE_LIMIT)));
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
GdiObject<HFONT> MakeDeviceFont(HDC device, const AffineMap& map)
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
    return GdiObject<HFONT>(CreateFontIndirectW(&font));
}

bool PlacesAtCurrentPosition(HDC device)
{
    return (GetTextAlign(device) & TA_UPDATECP) != 0;
}

// Where the text is placed on the device: at the current position where
// the context places text there, else at the record's reference point.
DevicePoint TextOrigin(HDC device, const AffineMap& map, const TextRun& run)
{
    POINT current = {};
    if (PlacesAtCurrentPosition(device) && GetCurrentPositionEx(device, &current)) {
        return MapPoint(map, current.x, current.y);
    }
    return MapPoint(map, run.x, run.y);
}

// Whether the text can be laid out in device pixels: upright, x not
// flipped, with no y advances.
bool CanLayOutInDevicePixels(HDC device, const AffineMap& map, const TextRun& run)
{
    return !TurnsOrShears(map) && map.m11 > 0 && map.m22 != 0 &&
           (run.options & TEXT_PAIRED_ADVANCES) == 0 &&
           IsWithinDriverLimit(TextOrigin(device, map, run));
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

// The text's cell in device pixels, which an opaque background fills: as
// wide as its advances, as high as the font's cell, placed by the text's
// alignment. The device font is selected and the device draws in pixels.
RECT CellBox(HDC device, const TextRun& run, const DevicePoint& origin,
             const std::vector<INT>& advances)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(device, &metrics);
    LONG width = 0;
    for (INT advance : advances) {
        width += advance;
    }
    if (advances.empty()) {
        const std::wstring text(run.characters.begin(), run.characters.end());
        SIZE extent = {};
        GetTextExtentPoint32W(device, text.c_str(), static_cast<int>(text.size()), &extent);
        width = extent.cx;
    }
    const UINT align = GetTextAlign(device);
    const LONG x = RoundToPixel(origin.x);
    const LONG y = RoundToPixel(origin.y);
    const LONG left = (align & TA_CENTER) == TA_CENTER ? x - width / 2
                      : (align & TA_RIGHT) != 0        ? x - width
                                                       : x;
    const LONG top = (align & TA_BASELINE) == TA_BASELINE ? y - metrics.tmAscent
                     : (align & TA_BOTTOM) != 0           ? y - metrics.tmHeight
                                                          : y;
    return RECT{left, top, left + width, top + metrics.tmHeight};
}

void FillOpaqueBackground(HDC device, const RECT& cell)
{
    const GdiObject<HBRUSH> background(CreateSolidBrush(GetBkColor(device)));
    if (background != nullptr) {
        FillRect(device, &cell, background.get());
    }
}

// Adds the text's glyph outlines to an open path on a device drawing in its
// own pixels; text placed at the current position moves it on.
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

TextAnchor AnchorOf(UINT align)
{
    return (align & TA_CENTER) == TA_CENTER ? TextAnchor::CENTRE
           : (align & TA_RIGHT) != 0        ? TextAnchor::RIGHT
                                            : TextAnchor::LEFT;
}

// The text laid out a glyph at a time, for text that cannot be laid out
// upright in device pixels; none where it cannot be.
std::optional<TurnedLayout> LayOutTurned(HDC device, const AffineMap& map, const TextRun& run)
{
    LOGFONTW font = {};
    if (GetObjectW(GetCurrentObject(device, OBJ_FONT), sizeof font, &font) == 0 ||
        (run.options & TEXT_PAIRED_ADVANCES) != 0 || run.advances.size() != run.characters.size()) {
        return std::nullopt;
    }
    return LayOutTurnedText(TurnedTextInput{map, GetGraphicsMode(device) == GM_COMPATIBLE,
                                            font.lfEscapement, font.lfOrientation, font.lfHeight,
                                            font.lfWidth, TextOrigin(device, map, run),
                                            run.advances, AnchorOf(GetTextAlign(device))});
}

// The current font at the layout's size, not turned itself.
GdiObject<HFONT> MakeGlyphFont(HDC device, const TurnedLayout& layout)
{
    LOGFONTW font = {};
    if (GetObjectW(GetCurrentObject(device, OBJ_FONT), sizeof font, &font) == 0) {
        return nullptr;
    }
    font.lfHeight = layout.fontHeight;
    font.lfWidth = layout.fontWidth;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    return GdiObject<HFONT>(CreateFontIndirectW(&font));
}

DevicePoint Offset(const DevicePoint& from, const AffineMap& map, double x, double y)
{
    return DevicePoint{from.x + x * map.m11 + y * map.m21, from.y + x * map.m12 + y * map.m22};
}

// How far below the text's reference point its baseline lies, in the
// selected font's units, by the text's alignment.
LONG BaselineDrop(HDC device)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(device, &metrics);
    const UINT align = GetTextAlign(device);
    return (align & TA_BASELINE) == TA_BASELINE ? 0
           : (align & TA_BOTTOM) != 0           ? -metrics.tmDescent
                                                : metrics.tmAscent;
}

// Fills the turned text's cell in the background colour: as long as its
// advances, as high as the font's cell, placed by the text's alignment.
// The device draws in its pixels, the glyphs' font selected.
void FillTurnedBackground(HDC device, const TurnedLayout& layout)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(device, &metrics);
    const double top = BaselineDrop(device) - metrics.tmAscent;
    const DevicePoint corner = Offset(layout.start, layout.glyph, 0, top);
    const DevicePoint below = Offset(layout.start, layout.glyph, 0, top + metrics.tmHeight);
    const DevicePoint cell[] = {corner,
                                {corner.x + layout.span.x, corner.y + layout.span.y},
                                {below.x + layout.span.x, below.y + layout.span.y},
                                below};
    std::vector<POINT> points;
    for (const DevicePoint& p : cell) {
        points.push_back(POINT{RoundToPixel(p.x), RoundToPixel(p.y)});
    }
    const GdiObject<HBRUSH> background(CreateSolidBrush(GetBkColor(device)));
    if (background == nullptr) {
        return;
    }
    const Selection brush = Select(device, background.get());
    const Selection pen = Select(device, GetStockObject(NULL_PEN));
    Polygon(device, points.data(), static_cast<int>(points.size()));
}

// A path's points and the kind of each, as the platform gives them.
struct TracedPath {
    std::vector<POINT> points;
    std::vector<BYTE> kinds;
};

// The character's glyph outline traced upright, its baseline's origin at
// the device's origin, in the selected font and device pixels.
TracedPath TraceUprightGlyph(HDC device, const TextRun& run, size_t index)
{
    BeginPath(device);
    if (run.wide) {
        const auto character = static_cast<wchar_t>(run.characters[index]);
        ExtTextOutW(device, 0, 0, 0, nullptr, &character, 1, nullptr);
    } else {
        const auto character = static_cast<char>(run.characters[index]);
        ExtTextOutA(device, 0, 0, 0, nullptr, &character, 1, nullptr);
    }
    EndPath(device);
    const int count = GetPath(device, nullptr, nullptr, 0);
    TracedPath traced = {std::vector<POINT>(static_cast<size_t>(std::max(count, 0))), {}};
    traced.kinds.resize(traced.points.size());
    if (count <= 0 || GetPath(device, traced.points.data(), traced.kinds.data(), count) != count) {
        traced = {};
    }
    AbortPath(device);
    return traced;
}

// Adds each glyph's outline to an open path: traced upright as the font
// draws it, then turned by the layout's glyph map onto its own origin,
// curves and all, since a map that keeps lines keeps Bezier curves. The
// device draws in its pixels, the glyphs' font selected. The current
// position is left where the text leaves it.
void TraceTurnedRun(HDC device, const TextRun& run, const TurnedLayout& layout)
{
    const LONG drop = BaselineDrop(device);
    SetTextAlign(device, TA_BASELINE);
    TracedPath turned;
    for (size_t i = 0; i < run.characters.size(); ++i) {
        const TracedPath glyph = TraceUprightGlyph(device, run, i);
        const DevicePoint origin = Offset(layout.origins[i], layout.glyph, 0, drop);
        for (const POINT& p : glyph.points) {
            const DevicePoint at = Offset(origin, layout.glyph, p.x, p.y);
            turned.points.push_back(POINT{RoundToPixel(at.x), RoundToPixel(at.y)});
        }
        turned.kinds.insert(turned.kinds.end(), glyph.kinds.begin(), glyph.kinds.end());
    }
    BeginPath(device);
    PolyDraw(device, turned.points.data(), turned.kinds.data(),
             static_cast<int>(turned.points.size()));
    EndPath(device);
    MoveToEx(device, RoundToPixel(layout.after.x), RoundToPixel(layout.after.y), nullptr);
}

// Makes the turned text's glyph outlines the device's path, its opaque
// background filled first. The caller has saved the state.
void TraceTurnedText(HDC device, const TextRun& run, const TurnedLayout& layout)
{
    const GdiObject<HFONT> font = MakeGlyphFont(device, layout);
    if (font == nullptr) {
        return;
    }
    UseDevicePixels(device);
    const Selection selected = Select(device, font.get());
    if (GetBkMode(device) == OPAQUE) {
        FillTurnedBackground(device, layout);
    }
    TraceTurnedRun(device, run, layout);
}

// Makes the text's glyph outlines the device's path. The platform puts an
// outline's points on whole logical units, which are coarse where the
// metafile's units are large on the device, so the text is laid out in
// device pixels wherever it can be, in its font at its device size: upright
// as one run, turned a glyph at a time; elsewhere the record itself is
// traced. The caller has saved the state.
void TraceTextOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                       UINT handleCount)
{
    const AffineMap map = ReadDeviceMap(device);
    const std::optional<TextRun> run =
        ReadTextRun(reinterpret_cast<const uint8_t*>(record), record->nSize);
    const GdiObject<HFONT> font =
        run && CanLayOutInDevicePixels(device, map, *run) ? MakeDeviceFont(device, map) : nullptr;
    if (font == nullptr) {
        if (const std::optional<TurnedLayout> turned =
                run ? LayOutTurned(device, map, *run) : std::nullopt) {
            TraceTurnedText(device, *run, *turned);
            return;
        }
        TraceRecord(device, table, record, handleCount);
        return;
    }
    const RECT rect = MapRect(map, run->rect);
    const DevicePoint origin = TextOrigin(device, map, *run);
    const std::vector<INT> advances = MapAdvances(run->advances, map.m11);
    UseDevicePixels(device);
    MoveToEx(device, RoundToPixel(origin.x), RoundToPixel(origin.y), nullptr);
    const Selection selected = Select(device, font.get());
    if (GetBkMode(device) == OPAQUE) {
        FillOpaqueBackground(device, CellBox(device, *run, origin, advances));
    }
    BeginPath(device);
    TraceRun(device, *run, origin, rect, advances);
    EndPath(device);
}

// What GetGlyphIndicesW gives a character the font has no glyph for.
constexpr WORD MISSING_GLYPH = 0xFFFF;

// The glyph index of each character in the device's font, MISSING_GLYPH
// where it has none; empty when the font cannot be asked.
std::vector<WORD> GlyphIndices(HDC device, const std::vector<uint16_t>& characters)
{
    const std::wstring text(characters.begin(), characters.end());
    std::vector<WORD> indices(characters.size());
    const DWORD found = GetGlyphIndicesW(device, text.c_str(), static_cast<int>(text.size()),
                                         indices.data(), GGI_MARK_NONEXISTING_GLYPHS);
    return found == GDI_ERROR ? std::vector<WORD>{} : indices;
}

}  // namespace

std::optional<std::vector<uint8_t>> WithSymbolFontCodes(HDC device, const uint8_t* bytes,
                                                        size_t size)
{
    const std::optional<TextRun> run = ReadTextRun(bytes, size);
    if (!run || !run->wide) {
        return std::nullopt;
    }
    std::vector<uint16_t> lowered;
    for (const uint16_t character : run->characters) {
        lowered.push_back(LowerSymbolCode(character).value_or(character));
    }
    if (lowered == run->characters) {
        return std::nullopt;
    }
    const std::vector<WORD> own = GlyphIndices(device, run->characters);
    const std::vector<WORD> fonts = GlyphIndices(device, lowered);
    if (own.empty() || fonts.empty()) {
        return std::nullopt;
    }
    std::vector<uint16_t> drawn = run->characters;
    for (size_t i = 0; i < drawn.size(); ++i) {
        if (own[i] == MISSING_GLYPH && fonts[i] != MISSING_GLYPH) {
            drawn[i] = lowered[i];
        }
    }
    return drawn == run->characters ? std::nullopt : WithTextCharacters(bytes, size, drawn);
}

namespace {

// The glyphs of the device's font, where it is a font whose tables can be
// read.
std::optional<uint32_t> CountDeviceFontGlyphs(HDC device)
{
    std::array<uint8_t, MAXP_HEAD_SIZE> maxp = {};
    std::array<uint8_t, POST_HEAD_SIZE> post = {};
    const DWORD maxpRead =
        GetFontData(device, FONT_TABLE_MAXP, 0, maxp.data(), static_cast<DWORD>(maxp.size()));
    const DWORD postRead =
        GetFontData(device, FONT_TABLE_POST, 0, post.data(), static_cast<DWORD>(post.size()));
    return CountFontGlyphs(maxp.data(), maxpRead == GDI_ERROR ? 0 : maxpRead, post.data(),
                           postRead == GDI_ERROR ? 0 : postRead);
}

}  // namespace

std::optional<std::vector<uint8_t>> WithGlyphsWithinFont(HDC device, const uint8_t* bytes,
                                                         size_t size)
{
    const std::optional<uint16_t> highest = ReadHighestGlyphIndex(bytes, size);
    if (!highest) {
        return std::nullopt;
    }
    const std::optional<uint32_t> glyphs = CountDeviceFontGlyphs(device);
    if (!glyphs || *highest < *glyphs) {
        return std::nullopt;
    }
    return WithGlyphsWithin(bytes, size, *glyphs);
}

// Whether the text the record draws is in a font of a width of its own,
// over a transparent background or, laid out in device pixels, an opaque
// one, where no path of the metafile's is open.
bool IsNarrowedText(HDC device, const uint8_t* bytes, size_t size, bool pathOpen)
{
    const std::optional<uint32_t> options = ReadTextOptions(bytes, size);
    if (!options || (*options & TEXT_OPAQUE) != 0 || pathOpen) {
        return false;
    }
    LOGFONTW font = {};
    if (GetObjectW(GetCurrentObject(device, OBJ_FONT), sizeof font, &font) == 0 ||
        font.lfWidth == 0) {
        return false;
    }
    if (GetBkMode(device) == TRANSPARENT) {
        return true;
    }
    const std::optional<TextRun> run = ReadTextRun(bytes, size);
    const AffineMap map = ReadDeviceMap(device);
    return run && ((CanLayOutInDevicePixels(device, map, *run) &&
                    MakeDeviceFont(device, map) != nullptr) ||
                   LayOutTurned(device, map, *run));
}

namespace {

// Fills the text's glyph outlines with the brush; the device's state comes
// back after. Returns where the current position is left, in device pixels.
POINT FillTextOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                       UINT handleCount, HBRUSH ink)
{
    const SavedState saved(device);
    SelectObject(device, ink);
    SelectObject(device, GetStockObject(NULL_PEN));
    SetPolyFillMode(device, WINDING);
    const std::optional<std::vector<uint8_t>> coded =
        WithSymbolFontCodes(device, reinterpret_cast<const uint8_t*>(record), record->nSize);
    TraceTextOutlines(device, table,
                      coded ? reinterpret_cast<const ENHMETARECORD*>(coded->data()) : record,
                      handleCount);
    FillPath(device);
    POINT current = {};
    GetCurrentPositionEx(device, &current);
    LPtoDP(device, &current, 1);
    return current;
}

}  // namespace

// The text as its glyphs' outlines, filled in the text colour. Text placed
// at the current position leaves it where the text ends, as the record
// would.
void DrawTextAsOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount)
{
    const GdiObject<HBRUSH> ink(CreateSolidBrush(GetTextColor(device)));
    if (ink == nullptr) {
        PlayEnhMetaFileRecord(device, table, record, handleCount);
        return;
    }
    POINT current = FillTextOutlines(device, table, record, handleCount, ink.get());
    if (PlacesAtCurrentPosition(device)) {
        DPtoLP(device, &current, 1);
        MoveToEx(device, current.x, current.y, nullptr);
    }
}

bool MakeFontAtDefaultHeight(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                             UINT handleCount)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    const size_t size = record->nSize;
    const std::optional<int32_t> fontHeight = ReadFontHeight(bytes, size);
    if (fontHeight != 0 || size < EMR_EXTCREATEFONTINDIRECTW_ELFW + sizeof(LOGFONTW)) {
        return false;
    }
    const std::vector<uint8_t> sized =
        WithFontHeight(bytes, size, DefaultFontHeight(device, bytes, size));
    PlayEnhMetaFileRecord(device, table, reinterpret_cast<const ENHMETARECORD*>(sized.data()),
                          handleCount);
    return true;
}
