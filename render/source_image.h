// The picture a conversion job prints.
#pragma once

#include <windows.h>

#include <cstddef>

// Exactly one of the three is present. The job borrows it: whoever made the
// SourceImage releases the metafile, the DIB's memory or the bitmap.
struct SourceImage {
    HENHMETAFILE metafile;
    const BITMAPINFO* packedDib;  // header, colour table and pixels in one block
    size_t packedDibSize;         // the size of the block that holds the packed DIB
    HBITMAP bitmap;
};
