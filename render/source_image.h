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

inline SourceImage MetafileImage(HENHMETAFILE metafile)
{
    return SourceImage{metafile, nullptr, 0, nullptr};
}

// blockSize: the size of the whole block from the header on.
inline SourceImage PackedDibImage(const BITMAPINFO* packedDib, size_t blockSize)
{
    return SourceImage{nullptr, packedDib, blockSize, nullptr};
}

inline SourceImage BitmapImage(HBITMAP bitmap)
{
    return SourceImage{nullptr, nullptr, 0, bitmap};
}
