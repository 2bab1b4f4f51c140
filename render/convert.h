// One conversion job: prints a picture alone on one A4 page through a
// PostScript printer driver into a temporary file, then writes the EPS file
// from it with the bounding box computed for where the picture was placed.
#pragma once

#include <windows.h>

#include <cstddef>

// The picture to convert: exactly one of the three is present.
struct SourceImage {
    HENHMETAFILE metafile;
    const BITMAPINFO* packedDib;  // header, colour table and pixels in one block
    size_t packedDibSize;         // the size of the block that holds the packed DIB
    HBITMAP bitmap;
};

// Returns whether the EPS file was written.
bool ConvertToEps(const SourceImage& image, const char* printerName, const char* outputPath);
