// A raster backdrop for the blits a PostScript driver cannot draw as the
// platform does (alpha blends, transparent and masked blits, raster
// operations that read the page): the picture played by the platform onto
// a white bitmap, through the guards of every playback (record_guards.h)
// with a raster's reach, with what lies in each such blit's destination
// kept just after the blit is drawn there. The bitmap reaches from the
// device's origin, where the placement starts, no farther than the part of
// the placement that the device's clipping and printable area let drawing
// into. The job draws those pieces opaque in the blits' place. Made only
// for a picture that has such a blit.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "driver/inspection.h"

// A band of a tile: its area, in device pixels, drawn from an image of a
// pixel a device pixel, or of a pixel a pixel of the bitmap the blit
// stretched there, where that loses nothing.
struct TilePiece {
    RECT area;
    LONG width;  // the image's pixels across and down
    LONG height;
    std::vector<uint8_t> pixels;  // its rows, top-down, as a raster's
};

// What the raster shows in one blit's destination, just after the blit,
// in device pixels from the placement's top-left corner, which is the
// printer device's origin, in bands from the top.
struct BackdropTile {
    RECT area;
    std::vector<TilePiece> pieces;
};

// The tiles of the blits the inspection names (driver/inspection.h), by
// their records' offsets, the picture played into target as it would be on
// the device; none when the device lets nothing be drawn in the target or
// no raster can be made.
using BackdropTiles = std::map<size_t, BackdropTile>;
BackdropTiles MakeBackdrop(HDC device, HENHMETAFILE metafile, const MetafileInspection& inspection,
                           const RECT& target);

// Draws the tile's pieces over their areas of the device in device pixels,
// opaque, under the device's clipping.
void DrawBackdropTile(HDC device, const BackdropTile& tile);
