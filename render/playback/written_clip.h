// A clip of many rectangles handed to a PostScript driver once: the driver
// writes the context's clip region before each figure it draws, every
// rectangle of it, which for a curved clip is thousands of lines a figure.
// Where the driver takes the PostScript path escapes (BEGIN_PATH,
// CLIP_TO_PATH, END_PATH), the region is handed to it once as a clip path,
// and each record drawn under it is played with the context's clip set to
// the region's bounding rectangle, which the driver writes in one line;
// the two together let through what the region does. The clip path is
// given up when the context's clip changes and when the playback ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "gdi_owners.h"

// The clip path the driver was handed; it gives it up when it goes.
struct WrittenClip {
    WrittenClip() = default;
    WrittenClip(WrittenClip&&) noexcept = default;
    WrittenClip& operator=(WrittenClip&&) = delete;
    WrittenClip(const WrittenClip&) = delete;
    WrittenClip& operator=(const WrittenClip&) = delete;
    ~WrittenClip();

    HDC device = nullptr;    // null where the device takes no path escapes
    GdiObject<HRGN> region;  // the clip path in force, in device pixels; null when none
};

// Whether the driver takes the three PostScript path escapes.
bool TakesPathEscapes(HDC device);

// Gives the driver's clip path back as it was before the last handed one,
// and selects the pen, brush and font anew: the driver writes what it
// keeps of them again, where giving the clip path back took that away.
struct GiveBackClipPath {
    void operator()(HDC device) const;
};
using HandedClipPath = std::unique_ptr<std::remove_pointer_t<HDC>, GiveBackClipPath>;
// Polygons, in device pixels, handed to the driver as a clip path within
// the clip in force until the owner goes; null where the device takes no
// path escapes.
HandedClipPath HandPolygonsAsClipPath(HDC device, const std::vector<std::vector<POINT>>& polygons);

// The written clip of a playback on the device: none yet, and none ever
// where the device does not take the path escapes.
WrittenClip StartWrittenClip(HDC device);

struct PutClipBack {
    HDC device;
    void operator()(HRGN clip) const
    {
        SelectClipRgn(device, clip);
        DeleteObject(clip);
    }
};

// The context's clip region, set back when the owner goes; null when it
// was left as it was.
using HandedClip = std::unique_ptr<std::remove_pointer_t<HRGN>, PutClipBack>;

// Before a record that leaves the clip alone is played outside the
// metafile's own path: under a clip of many rectangles, that clip handed
// to the driver as the clip path (once while it stays the same) and the
// context's clip set to its bounding rectangle until the owner goes; under
// any other clip, a clip path given up. Nothing for a record that touches
// the clip (driver/record_readers.h: TouchesClip).
HandedClip HandClipOnce(WrittenClip& written, const uint8_t* record, bool pathOpen);
