// Where a packed DIB's pixel array lies in the memory block that holds it.
// A packed DIB (the clipboard's DIB format) is a header, a colour table and
// the pixels in one block, and comes from whatever application filled the
// clipboard: every count in it is checked against the block before use.
// Pure arithmetic on bytes, no platform calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Header sizes: the 12-byte core header, the 40-byte info header, and the
// largest header the platform defines (version 5).
constexpr uint32_t DIB_CORE_HEADER_SIZE = 12;
constexpr uint32_t DIB_INFO_HEADER_SIZE = 40;
constexpr uint32_t DIB_MAX_HEADER_SIZE = 124;

// Field offsets in the core header (BITMAPCOREHEADER) and the info header
// (BITMAPINFOHEADER), named after the structure and the field.
constexpr uint32_t BITMAPCOREHEADER_BCWIDTH = 4;
constexpr uint32_t BITMAPCOREHEADER_BCHEIGHT = 6;
constexpr uint32_t BITMAPCOREHEADER_BCPLANES = 8;
constexpr uint32_t BITMAPCOREHEADER_BCBITCOUNT = 10;
constexpr uint32_t BITMAPINFOHEADER_BIWIDTH = 4;
constexpr uint32_t BITMAPINFOHEADER_BIHEIGHT = 8;
constexpr uint32_t BITMAPINFOHEADER_BIPLANES = 12;
constexpr uint32_t BITMAPINFOHEADER_BIBITCOUNT = 14;
constexpr uint32_t BITMAPINFOHEADER_BICOMPRESSION = 16;
constexpr uint32_t BITMAPINFOHEADER_BISIZEIMAGE = 20;
constexpr uint32_t BITMAPINFOHEADER_BICLRUSED = 32;

// Compression values the layout understands.
constexpr uint32_t DIB_RGB = 0;
constexpr uint32_t DIB_RLE8 = 1;
constexpr uint32_t DIB_RLE4 = 2;
constexpr uint32_t DIB_BITFIELDS = 3;

// Colour-table entries: RGBQUAD after an info header, RGBTRIPLE after a core one.
constexpr size_t DIB_QUAD_ENTRY_SIZE = 4;
constexpr size_t DIB_TRIPLE_ENTRY_SIZE = 3;
// The three colour masks of BI_BITFIELDS after a 40-byte header.
constexpr size_t DIB_BITFIELDS_MASKS_SIZE = 12;

// How the colour table is given where a usage value comes with the DIB, as
// in metafile records: colours, 16-bit indices into the selected palette,
// or no table at all (the pixels index the palette themselves).
constexpr uint32_t DIB_USAGE_RGB = 0;
constexpr uint32_t DIB_USAGE_PALETTE = 1;
constexpr uint32_t DIB_USAGE_NO_TABLE = 2;
constexpr size_t DIB_PALETTE_ENTRY_SIZE = 2;

// Offsets and sizes in bytes from the start of the block.
struct DibLayout {
    size_t headerSize;
    size_t colorCount;   // colour-table entries
    size_t pixelOffset;  // where the pixel array starts
    size_t pixelSize;    // rows of 32-bit aligned scan lines, or the compressed size
    int32_t width;
    int32_t height;  // negative for a top-down DIB
    uint16_t bitCount;
};

// The bytes of one row of pixels of that width and bit count, padded to 32
// bits as every uncompressed DIB row is.
uint64_t DibRowBytes(uint64_t width, uint32_t bitCount);

// Reads the header at the start of the block and locates the colour table
// and the pixel array. None for a DIB whose header, colour table or pixels
// would reach past blockSize, or whose fields make no sense (header size,
// width, height, planes, bit count or compression out of range; sizes that
// overflow).
std::optional<DibLayout> ComputeDibLayout(const uint8_t* block, size_t blockSize);

// The same for a DIB kept in two blocks, as a metafile record keeps it: the
// header and colour table in infoSize bytes at info, the pixels in a block of
// bitsSize bytes of their own (pixelOffset is then 0). The table's entries
// follow usage (a DIB_USAGE_* value; any other is refused).
std::optional<DibLayout> ComputeSplitDibLayout(const uint8_t* info, size_t infoSize,
                                               size_t bitsSize, uint32_t usage);
