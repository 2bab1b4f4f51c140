// The platform's own raster playback of a picture, the oracle for what the
// picture shows: made with GDI alone, apart from the conversion job, but
// for the records the platform's player reads wrongly under Wine (an
// extended pen, a fixed metric mapping mode), which it plays as the
// platform defines them, through the same code as the job
// (playback/defined_playback.h): left to the player, the reference would
// share its defects and call a picture that shows them faithful.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "image_compare.h"

// What draw paints over the whole of a white 24-bit raster of width x
// height pixels (a device context and its bounds), in grey; an empty image
// when no raster can be made.
GrayImage PaintOnWhite(int32_t width, int32_t height,
                       const std::function<void(HDC raster, const RECT& whole)>& draw);

// Plays the metafile over the whole of a white 24-bit DIB section of width
// x height pixels, each record as PlayEnhMetaFile would but those above as
// the platform defines them, and returns it in grey; an empty image when no
// bitmap can be made.
GrayImage PlayIntoRaster(HENHMETAFILE metafile, int32_t width, int32_t height);
// The same playback onto any device, the picture stretched over target.
void PlayMetafileAsDefined(HDC device, HENHMETAFILE metafile, const RECT& target);

// A metafile recorded against the screen with the given frame (hundredths
// of a millimetre) by draw, which is handed the frame's size in the
// recording's own units (the screen's pixels).
HENHMETAFILE RecordMetafile(const RECT& frame, void (*draw)(HDC recorder, SIZE units));
