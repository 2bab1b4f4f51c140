#include "metafile/dib_layout.h"

#include <limits>

#include "metafile/little_endian.h"

namespace {

constexpr uint16_t SINGLE_PLANE = 1;
constexpr uint16_t MAX_INDEXED_BIT_COUNT = 8;
constexpr uint64_t SCAN_LINE_ALIGN_BITS = 32;
constexpr uint64_t BITS_PER_BYTE = 8;

bool IsValidBitCount(uint16_t bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

size_t FullTableSize(uint16_t bitCount)
{
    return bitCount <= MAX_INDEXED_BIT_COUNT ? size_t{1} << bitCount : 0;
}

// The pixel array of uncompressed rows: each row padded to 32 bits. False
// when the size would not fit in the remaining bytes (checked before any
// multiplication can overflow).
bool FitUncompressedPixels(DibLayout& layout, size_t available)
{
    const uint64_t rowBytes = DibRowBytes(static_cast<uint64_t>(layout.width), layout.bitCount);
    const uint64_t rows = layout.height < 0 ? 0 - static_cast<uint64_t>(layout.height)
                                            : static_cast<uint64_t>(layout.height);
    if (rowBytes > available || rows > available / rowBytes) {
        return false;
    }
    layout.pixelSize = static_cast<size_t>(rowBytes * rows);
    return true;
}

bool ReadCoreHeader(const uint8_t* block, DibLayout& layout)
{
    layout.width = ReadUint16(block + BITMAPCOREHEADER_BCWIDTH);
    layout.height = ReadUint16(block + BITMAPCOREHEADER_BCHEIGHT);
    layout.bitCount = ReadUint16(block + BITMAPCOREHEADER_BCBITCOUNT);
    if (ReadUint16(block + BITMAPCOREHEADER_BCPLANES) != SINGLE_PLANE || layout.width == 0 ||
        layout.height == 0 || !IsValidBitCount(layout.bitCount)) {
        return false;
    }
    layout.colorCount = FullTableSize(layout.bitCount);
    return true;
}

bool IsValidCompression(uint32_t compression, const DibLayout& layout)
{
    switch (compression) {
        case DIB_RGB:
            return true;
        case DIB_RLE8:
            return layout.bitCount == 8 && layout.height > 0;
        case DIB_RLE4:
            return layout.bitCount == 4 && layout.height > 0;
        case DIB_BITFIELDS:
            return layout.bitCount == 16 || layout.bitCount == 32;
        default:
            return false;
    }
}

bool ReadInfoHeader(const uint8_t* block, DibLayout& layout, uint32_t& compression)
{
    layout.width = ReadInt32(block + BITMAPINFOHEADER_BIWIDTH);
    layout.height = ReadInt32(block + BITMAPINFOHEADER_BIHEIGHT);
    layout.bitCount = ReadUint16(block + BITMAPINFOHEADER_BIBITCOUNT);
    compression = ReadUint32(block + BITMAPINFOHEADER_BICOMPRESSION);
    if (ReadUint16(block + BITMAPINFOHEADER_BIPLANES) != SINGLE_PLANE || layout.width <= 0 ||
        layout.height == 0 || layout.height == std::numeric_limits<int32_t>::min() ||
        !IsValidBitCount(layout.bitCount) || !IsValidCompression(compression, layout)) {
        return false;
    }
    const uint32_t clrUsed = ReadUint32(block + BITMAPINFOHEADER_BICLRUSED);
    const size_t fullTable = FullTableSize(layout.bitCount);
    // An indexed DIB cannot use more colours than its pixels can name.
    if (fullTable != 0 && clrUsed > fullTable) {
        return false;
    }
    layout.colorCount = clrUsed != 0 ? clrUsed : fullTable;
    return true;
}

// Reads the header at the start of the block: its size must be one the
// platform defines and lie inside blockSize bytes.
bool ReadHeader(const uint8_t* block, size_t blockSize, DibLayout& layout, uint32_t& compression)
{
    if (blockSize < sizeof(uint32_t)) {
        return false;
    }
    const uint32_t headerSize = ReadUint32(block);
    const bool core = headerSize == DIB_CORE_HEADER_SIZE;
    if (!core && (headerSize < DIB_INFO_HEADER_SIZE || headerSize > DIB_MAX_HEADER_SIZE)) {
        return false;
    }
    if (headerSize > blockSize) {
        return false;
    }
    layout.headerSize = headerSize;
    compression = DIB_RGB;
    return core ? ReadCoreHeader(block, layout) : ReadInfoHeader(block, layout, compression);
}

// Takes the bit-field masks and a colour table of entrySize-byte entries
// from the available bytes after the header.
bool FitColorTable(const DibLayout& layout, uint32_t compression, size_t entrySize,
                   size_t& available)
{
    if (compression == DIB_BITFIELDS && layout.headerSize == DIB_INFO_HEADER_SIZE) {
        if (available < DIB_BITFIELDS_MASKS_SIZE) {
            return false;
        }
        available -= DIB_BITFIELDS_MASKS_SIZE;
    }
    if (entrySize == 0) {
        return true;
    }
    if (layout.colorCount > available / entrySize) {
        return false;
    }
    available -= layout.colorCount * entrySize;
    return true;
}

// The pixels in the available bytes: the header's image size for run-length
// compression, padded rows otherwise.
bool FitPixels(const uint8_t* block, uint32_t compression, DibLayout& layout, size_t available)
{
    if (compression == DIB_RLE8 || compression == DIB_RLE4) {
        const uint32_t compressedSize = ReadUint32(block + BITMAPINFOHEADER_BISIZEIMAGE);
        if (compressedSize == 0 || compressedSize > available) {
            return false;
        }
        layout.pixelSize = compressedSize;
        return true;
    }
    return FitUncompressedPixels(layout, available);
}

// Bytes per colour-table entry for a usage value; false for an unknown one.
bool ChooseEntrySize(uint32_t usage, const DibLayout& layout, size_t& entrySize)
{
    switch (usage) {
        case DIB_USAGE_RGB:
            entrySize = layout.headerSize == DIB_CORE_HEADER_SIZE ? DIB_TRIPLE_ENTRY_SIZE
                                                                  : DIB_QUAD_ENTRY_SIZE;
            return true;
        case DIB_USAGE_PALETTE:
            entrySize = DIB_PALETTE_ENTRY_SIZE;
            return true;
        case DIB_USAGE_NO_TABLE:
            entrySize = 0;
            return true;
        default:
            return false;
    }
}

// Reads the header at the start of info and fits the colour table (and the
// masks) after it; available is then what is left of infoSize.
bool FitHeaderAndTable(const uint8_t* info, size_t infoSize, uint32_t usage, DibLayout& layout,
                       uint32_t& compression, size_t& available)
{
    layout = DibLayout{};
    compression = DIB_RGB;
    size_t entrySize = 0;
    if (!ReadHeader(info, infoSize, layout, compression) ||
        !ChooseEntrySize(usage, layout, entrySize)) {
        return false;
    }
    available = infoSize - layout.headerSize;
    return FitColorTable(layout, compression, entrySize, available);
}

}  // namespace

uint64_t DibRowBytes(uint64_t width, uint32_t bitCount)
{
    const uint64_t rowBits = width * bitCount;
    return (rowBits + SCAN_LINE_ALIGN_BITS - 1) / SCAN_LINE_ALIGN_BITS *
           (SCAN_LINE_ALIGN_BITS / BITS_PER_BYTE);
}

bool ComputeDibLayout(const uint8_t* block, size_t blockSize, DibLayout& layout)
{
    uint32_t compression = DIB_RGB;
    size_t available = 0;
    if (!FitHeaderAndTable(block, blockSize, DIB_USAGE_RGB, layout, compression, available)) {
        return false;
    }
    layout.pixelOffset = blockSize - available;
    return FitPixels(block, compression, layout, available);
}

bool ComputeSplitDibLayout(const uint8_t* info, size_t infoSize, size_t bitsSize, uint32_t usage,
                           DibLayout& layout)
{
    uint32_t compression = DIB_RGB;
    size_t available = 0;
    return FitHeaderAndTable(info, infoSize, usage, layout, compression, available) &&
           FitPixels(info, compression, layout, bitsSize);
}
