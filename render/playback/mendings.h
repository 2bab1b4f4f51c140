// What the faithful playback mends, one file each: shapes.cpp, gradients.cpp,
// patterns.cpp, text.cpp, pens.cpp and clip.cpp. The dispatcher in faithful_playback.cpp
// applies them in the order of faithful_playback.h.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "driver/record_readers.h"
#include "playback/faithful_playback.h"

// shapes.cpp: whether the record is a shape kept from the driver.
bool IsKeptFromDriver(HDC device, const uint8_t* bytes, size_t size);
// shapes.cpp: of a kept ARCTO or ANGLEARC, the line to its arc's start and
// the move of the current position to its end; nothing for other records.
void DrawLineOfKeptArc(HDC device, const uint8_t* bytes, size_t size);
// shapes.cpp: whether the driver would draw the box-shaped record upright
// or the wrong way round, and the shape drawn through a path instead.
bool IsTurnedShape(HDC device, const ENHMETARECORD* record);
void DrawThroughPath(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount);
// shapes.cpp: the pixel's place on the device and its colour; none where
// it lies beyond the driver's reach. Pixels set one after another are
// drawn together, each colour's as one figure of filled device pixels (the
// driver writes a pixel of its own as a fill of no area), or square by
// square while the metafile's path is open.
std::optional<DevicePixel> PlacePixel(HDC device, const Pixel& pixel);
void DrawPixels(HDC device, const std::vector<DevicePixel>& pixels, bool pathOpen);

// gradients.cpp: a gradient the device cannot shade drawn as an image.
// False, leaving the record to be played as it stands, for any other
// record.
bool DrawUnshadedGradient(HDC device, const ENHMETARECORD* record, uint32_t shadeBlendCaps);

// patterns.cpp: whether the current pen draws anything.
bool HasPen(HDC device);
// patterns.cpp: a fill with a brush the driver would draw wrongly, drawn
// in the brush's own colours. False, leaving the record to be played as it
// stands, when it fills with no such brush.
bool DrawPatternFill(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount);

// text.cpp: a text record of glyph indices that names a glyph past the
// device's font's glyphs, as a copy that names glyph 0, the missing glyph,
// in its place; none for any other record.
std::optional<std::vector<uint8_t>> WithGlyphsWithinFont(HDC device, const uint8_t* bytes,
                                                         size_t size);
// text.cpp: whether the record draws narrowed text, and that text drawn as
// its glyphs' outlines.
bool IsNarrowedText(HDC device, const uint8_t* bytes, size_t size, bool pathOpen);
void DrawTextAsOutlines(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                        UINT handleCount);
// text.cpp: a text record whose characters of the symbol font range
// (LowerSymbolCode) the device's font has no glyphs for, but has glyphs
// for at the font's own codes, with those characters at those codes: the
// platform's own rule for fonts of the symbol character set, which a font
// with only a Unicode map of its codes 0x20 to 0xFF needs. None where no
// character changes, as on Windows with its own symbol fonts.
std::optional<std::vector<uint8_t>> WithSymbolFontCodes(HDC device, const uint8_t* bytes,
                                                        size_t size);
// text.cpp: a font of height 0 made at the height a raster playback gives
// it. False, leaving the record to be played as it stands, for any other
// record.
bool MakeFontAtDefaultHeight(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                             UINT handleCount);

// pens.cpp: after the record has been played, a width-1 pen it made
// widened in the table, or the current pen selected anew after a change of
// scale.
void FollowPenWidth(HDC device, HANDLETABLE* table, UINT handleCount, const uint8_t* bytes,
                    size_t size);

// clip.cpp: a figure drawn under a clip of many rectangles, with the clip
// cut to the figure's reach, so that the driver, which writes the clip
// before each figure, writes only the rectangles near it. False, leaving
// the record to be played as it stands, for any other record or clip.
bool DrawUnderNarrowedClip(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                           UINT handleCount);

// pens.cpp: the extended pen made and put in the handle table at its
// index, where the player would put it.
void MakeExtendedPen(HANDLETABLE* table, UINT handleCount, const ExtendedPen& pen);
