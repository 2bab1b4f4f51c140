// What the conversion job reads of a metafile's drawing records to decide
// whether a PostScript printer driver can be handed one as it stands. Pure
// computation on the bytes of records that passed the record check
// (emf_records.h), so every field read here lies inside the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "driver/device_geometry.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_records.h"

// The box of a box-shaped drawing record, in logical units: ELLIPSE,
// RECTANGLE, ROUNDRECT, ARC, ARCTO, CHORD, PIE (their rclBox) and ANGLEARC
// (its centre and radius). None for any other record.
std::optional<LogicalBox> ReadShapeBox(const uint8_t* record, size_t size);
// Whether the record is one of the curved shapes, which the driver draws by
// scaling a circle to the box (all of the above but RECTANGLE).
bool IsCurvedShape(const uint8_t* record);

// The ends of the arc an ARCTO or ANGLEARC draws, in logical units rounded
// as the platform rounds them: the start, to which a line is drawn from the
// current position, and the end, where the current position is left. An
// ARCTO's ends lie where the lines from its box's centre to its radial
// points cross the ellipse; an ANGLEARC's at its start angle and at the
// start angle plus the sweep, counted anticlockwise from the x axis. None
// for other records, and for an ARCTO whose box has no width or height,
// which the platform does not draw at all.
struct ArcEnds {
    int64_t startX;
    int64_t startY;
    int64_t endX;
    int64_t endY;
};
std::optional<ArcEnds> ReadArcEnds(const uint8_t* record, size_t size);

// A GRADIENTFILL record: its vertices and the pieces that join them.
struct GradientVertex {
    int32_t x;
    int32_t y;
    uint16_t red;  // 16-bit channels, as TRIVERTEX holds them
    uint16_t green;
    uint16_t blue;
    uint16_t alpha;
};
struct Gradient {
    uint32_t mode;  // GRADIENT_FILL_RECT_H, GRADIENT_FILL_RECT_V or GRADIENT_FILL_TRIANGLE
    std::vector<GradientVertex> vertices;
    // Vertex numbers: two for a rectangle, three for a triangle.
    std::vector<std::vector<uint32_t>> pieces;
};
constexpr uint32_t GRADIENT_MODE_TRIANGLE = 2;
std::optional<Gradient> ReadGradient(const uint8_t* record, size_t size);

// An EXTCREATEFONTINDIRECTW record's lfHeight; none for other records.
std::optional<int32_t> ReadFontHeight(const uint8_t* record, size_t size);
// A copy of the font record with lfHeight replaced.
std::vector<uint8_t> WithFontHeight(const uint8_t* record, size_t size, int32_t height);

// A CREATEPEN record of width 1 in a solid style: the driver draws such a
// pen one device pixel wide whatever the transforms, while a raster
// playback scales it like any other width.
struct WidthOnePen {
    uint32_t index;   // ihPen, its handle-table entry
    uint32_t colour;  // COLORREF
};
std::optional<WidthOnePen> ReadWidthOnePen(const uint8_t* record, size_t size);

// Whether the record changes how logical units map to device pixels: the
// world transform, the mapping mode, the window's or viewport's extents, or
// a restored state.
bool ChangesScale(const uint8_t* record);

// Whether the record reads or changes the context's clip region: it saves
// or restores the state, sets the meta region, changes the clip, or
// mirrors the layout.
bool TouchesClip(const uint8_t* record);

// An EXTTEXTOUTA or EXTTEXTOUTW record's fOptions; none for other records.
std::optional<uint32_t> ReadTextOptions(const uint8_t* record, size_t size);
constexpr uint32_t TEXT_OPAQUE = 0x0002;  // ETO_OPAQUE
// Whether a path bracket is open after the record, when the record opens
// (BEGINPATH) or closes (ENDPATH, ABORTPATH) one; none for other records.
std::optional<bool> PathOpenAfter(const uint8_t* record);

// Bits of the device's SHADEBLENDCAPS answer (the platform's SB_CONST_ALPHA
// and SB_PIXEL_ALPHA).
constexpr uint32_t SHADE_CONSTANT_ALPHA = 0x01;
constexpr uint32_t SHADE_PIXEL_ALPHA = 0x02;

// The destination rectangle, in logical units, of a blit that a driver
// drawing only opaque, source-copy images cannot draw as the platform does:
// an ALPHABLEND the device cannot blend (by shadeBlendCaps), any
// TRANSPARENTBLT and MASKBLT, and a BITBLT, STRETCHBLT or STRETCHDIBITS
// whose raster operation is not a plain copy of the source or the brush,
// black, white or the page left as it is. None for any other record, and
// for one too short for its fields: this reader takes unchecked records.
struct BlitDestination {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};
std::optional<BlitDestination> ReadBlitNeedingBackdrop(const uint8_t* record, size_t size,
                                                       uint32_t shadeBlendCaps);
// The destination rectangle, in logical units, of any BITBLT, STRETCHBLT,
// MASKBLT, ALPHABLEND, TRANSPARENTBLT or STRETCHDIBITS; none for other
// records and for one too short for its fields.
std::optional<BlitDestination> ReadBlitRectangle(const uint8_t* record, size_t size);
// The number of rectangles in the region data of a FILLRGN, FRAMERGN,
// INVERTRGN, PAINTRGN or EXTSELECTCLIPRGN; none for other records and for
// one too short for the region's header.
std::optional<uint32_t> ReadRegionRectangleCount(const uint8_t* record, size_t size);

// The rectangle of its source bitmap, in that bitmap's pixels, that a blit
// stretches over its destination: the source corner and extent of
// STRETCHBLT, ALPHABLEND, TRANSPARENTBLT and STRETCHDIBITS, and of BITBLT
// and MASKBLT, which do not stretch, the source corner and the
// destination's extent; none for other records, one too short for its
// fields, and one with no source bitmap.
struct BlitSource {
    int32_t x;
    int32_t y;
    int32_t width;  // negative where it runs right to left
    int32_t height;
};
std::optional<BlitSource> ReadBlitSource(const uint8_t* record, size_t size);

// How a drawing record uses a brush, for a pattern brush the driver cannot
// be handed.
enum class BrushUse {
    NONE,          // the record draws with no brush
    SHAPE,         // fills a shape the record draws: box shapes, polygons
    PATTERN_COPY,  // BITBLT or STRETCHBLT copying the brush, with no source
    PATH,          // FILLPATH, STROKEANDFILLPATH: fills the context's path
    OTHER,         // fills with the current brush otherwise: PAINTRGN, flood fills, blits
    NAMED,         // FILLRGN, FRAMERGN: with the brush its record names
};
BrushUse ReadBrushUse(const uint8_t* record, size_t size);
// The handle-table entry of a NAMED record's brush.
uint32_t ReadRegionBrush(const uint8_t* record);

// A SETPIXELV record's point, in logical units, and colour; none for other
// records.
struct Pixel {
    int32_t x;
    int32_t y;
    uint32_t colour;  // COLORREF
};
std::optional<Pixel> ReadPixel(const uint8_t* record, size_t size);

// What an EXTTEXTOUTA or EXTTEXTOUTW record that passed the record check
// draws: its reference point, options, rectangle, characters (bytes or
// UTF-16 units) and advances (none when the record has none; x and y in
// turn with ETO_PDY). None for other records.
struct TextRun {
    int32_t x;
    int32_t y;
    uint32_t options;
    int32_t rect[4];  // left, top, right, bottom
    bool wide;
    std::vector<uint16_t> characters;
    std::vector<int32_t> advances;
};
std::optional<TextRun> ReadTextRun(const uint8_t* record, size_t size);

// The highest glyph index a text record of one text or of several names,
// where its text is glyph indices (ETO_GLYPH_INDEX), 16 bits each in the
// ANSI records too, as the platform reads them; none for other records and
// for text of characters. For a record that passed the record check.
std::optional<uint16_t> ReadHighestGlyphIndex(const uint8_t* record, size_t size);
// A copy of such a record with each glyph index at or past a font's glyphs
// made 0, the glyph that stands for a missing one.
std::vector<uint8_t> WithGlyphsWithin(const uint8_t* record, size_t size, uint32_t glyphs);

// Whether the record draws a figure from its own points alone and leaves
// the context as it found it: the box shapes but ARCTO, and the polygons,
// polylines and Bezier curves not drawn from the current position.
bool DrawsOwnFigure(const uint8_t* record);

// A character as a font of the symbol character set codes it: Windows
// records such text at U+F020 to U+F0FF, the font's own codes 0x20 to 0xFF
// plus 0xF000. The font's own code for a character in that range; none for
// any other.
std::optional<uint16_t> LowerSymbolCode(uint16_t character);
// An EXTTEXTOUTW record that passed the record check with its characters
// replaced, in order, by as many others; none for other records or another
// count.
std::optional<std::vector<uint8_t>> WithTextCharacters(const uint8_t* record, size_t size,
                                                       const std::vector<uint16_t>& characters);

// An EXTCREATEPEN record's pen, read from the record's 32-bit EXTLOGPEN32
// whatever the word size of the program reading it: what ExtCreatePen is
// handed to make the pen the record describes. A pattern brush's bitmap
// is the record's bitmap info followed by its bits, a packed DIB; empty
// when the record has none.
struct ExtendedPen {
    uint32_t index;  // ihPen, its handle-table entry
    uint32_t style;
    uint32_t width;
    uint32_t brushStyle;
    uint32_t colour;  // a COLORREF, or a pattern's colour usage
    uint32_t hatch;
    std::vector<uint32_t> styleEntries;
    std::vector<uint8_t> packedDib;
};
std::optional<ExtendedPen> ReadExtendedPen(const uint8_t* record, size_t size);

// The mapping modes whose logical unit is a fixed length on the reference
// device: MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS.
// In them the window's and viewport's extents are the mode's own and
// records that set or scale them are ignored.
bool IsFixedMetricMode(uint32_t mode);
// The window's and viewport's extents that make MM_ANISOTROPIC scale as
// the fixed metric mode does on the reference device: the window is the
// device's size in the mode's units (rounded), the viewport its size in
// pixels, upside down, as y grows upwards in these modes. None for other
// modes and for a device with no size.
struct MappingExtents {
    int32_t windowX;
    int32_t windowY;
    int32_t viewportX;
    int32_t viewportY;
};
std::optional<MappingExtents> ComputeFixedModeExtents(uint32_t mode,
                                                      const ReferenceDevice& reference);

// Whether a fixed metric mode is in force in the playback's state and in
// each saved state, the latest last.
struct MetricMapping {
    bool fixed;
    std::vector<bool> saved;
};
// What the platform's player is handed for one record so that it plays the
// fixed metric modes with the metafile's reference device, and the state
// after it. A SETMAPMODE of a fixed metric mode is replaced by a SETMAPMODE
// of MM_ANISOTROPIC, a SETWINDOWEXTEX and a SETVIEWPORTEXTEX of the mode's
// extents; a record that sets or scales the extents while such a mode is in
// force is replaced by nothing; SAVEDC and RESTOREDC carry the state with
// the saved states. Every other record, and all of them when the reference
// device has no size, is played as it stands (replaced false).
struct MappingPlay {
    MetricMapping after;
    bool replaced;
    std::vector<std::vector<uint8_t>> records;  // played in its place when replaced
};
MappingPlay PlanMetricMapping(const MetricMapping& before, const uint8_t* record, size_t size,
                              const ReferenceDevice& reference);
