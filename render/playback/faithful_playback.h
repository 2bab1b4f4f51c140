// Plays a metafile's records on a PostScript printer device so that the
// EPS shows what the platform's own raster playback shows: what the driver
// draws wrong is drawn here in a form it draws right, what would reach it
// as coordinates it cannot hold or as a shape with no area never reaches
// it, and every other record goes to the platform's player as it stands.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "playback/backdrop.h"

// What one playback of a picture on the device goes by: the device's
// SHADEBLENDCAPS, and the backdrop's tiles (none when the picture needs no
// backdrop) by their records' offsets from the metafile's start.
struct FaithfulPlayback {
    uint32_t shadeBlendCaps;
    BackdropTiles backdrop;
    const uint8_t* metafileStart;  // the header record as the enumeration hands it
    bool pathOpen;                 // the metafile's own path bracket
};

// Plays one record that passed the record check, as PlayEnhMetaFileRecord
// does:
// - a blit the driver cannot draw as the platform does (backdrop.h) is
//   drawn as the backdrop's tile for it;
// - a gradient, where the device cannot shade one, becomes an image the
//   job renders itself, clipped to the gradient's rectangles or triangles;
// - an ellipse, arc, chord, pie, round rectangle or angle arc whose device
//   box has no width or height, and any box-shaped record that lands beyond
//   the coordinates the driver holds, is skipped;
// - a font of height 0 is made at the height a raster playback gives it;
// - text in a font of a width of its own (lfWidth), drawn over a
//   transparent background and outside the metafile's own path, is drawn
//   as its glyphs' outlines, filled in the text colour, so that its glyphs
//   keep that width; laid out in device pixels, in the font at its device
//   size, where the text is upright;
// - a solid pen of width 1 is drawn at the width a raster playback gives
//   it, and the current pen is selected anew after every change of scale,
//   so that its width follows the transform;
// - a fill with a pattern brush, which the driver would write from memory
//   it does not own, or with a hatched brush over an opaque background, is
//   drawn in the brush's own colours, a monochrome pattern's being the text
//   and background colours of the moment: a brush of two colours as a
//   one-bit image of its tiles clipped to the shape, the path or the brush
//   copy's rectangle, with the outline drawn over it; any other pattern,
//   and every other fill, in its mean colour;
// - a rectangle, ellipse, round rectangle, arc, chord or pie under a
//   transform that turns or shears, and an arc, chord or pie drawn
//   clockwise, goes through a path (a rectangle as a polygon), which the
//   platform lays out on the device itself: the driver would draw it
//   upright and anticlockwise;
// - a pixel is drawn as a filled device pixel.
void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback);
