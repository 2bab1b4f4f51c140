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
#include "playback/defined_playback.h"
#include "playback/written_clip.h"

// A pixel a SETPIXELV record sets, in device pixels.
struct DevicePixel {
    POINT at;
    COLORREF colour;
};

// What one playback of a picture on the device goes by: the device's
// SHADEBLENDCAPS, and the backdrop's tiles (none when the picture needs no
// backdrop) by their records' offsets from the metafile's start.
struct FaithfulPlayback {
    uint32_t shadeBlendCaps;
    BackdropTiles backdrop;
    const uint8_t* metafileStart;     // the header record as the enumeration hands it
    bool pathOpen;                    // the metafile's own path bracket
    DefinedPlayback defined;          // what the platform's player reads wrongly
    WrittenClip writtenClip;          // a clip of many rectangles handed to the driver once
    std::vector<DevicePixel> pixels;  // set by the records just played, not yet drawn
};

// Plays one record that passed the record check, as PlayEnhMetaFileRecord
// does, but mended where the driver would draw it wrongly; each file says
// what it mends. Pixels set one after another are held back and drawn
// together before the next record of another kind (shapes.cpp). A record
// is drawn under a clip of many rectangles as written_clip.h says; then,
// in the order they apply:
// - a shape kept from the driver (shapes.cpp);
// - a blit drawn as the backdrop's tile for it (backdrop.h);
// - a gradient the device cannot shade (gradients.cpp);
// - a pattern or hatch fill (patterns.cpp);
// - a turned shape drawn through a path (shapes.cpp);
// - text of glyph indices naming a glyph past its font's, made to name the
//   missing glyph, and then narrowed text, and a font of height 0
//   (text.cpp);
// - a figure under a clip of many rectangles the driver was not handed
//   once, the clip cut to the figure's reach (clip.cpp);
// - an extended pen and a fixed metric mapping mode (defined_playback.h);
// - a width-1 pen and the pen after a change of scale (pens.cpp).
void PlayRecordFaithfully(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                          UINT handleCount, FaithfulPlayback& playback);
// Draws what the playback holds back still: the pixels of its last
// records. For the playback's end.
void FinishPlayback(HDC device, FaithfulPlayback& playback);
