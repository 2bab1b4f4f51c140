#include "metafile/dib_layout.h"

#include <limits>
#include <optional>

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

// What a header says that the layout needs, and how the pixels are
// compressed.
struct DibHeader {
    DibLayout layout;
    uint32_t compression;
};

// A header with its colour table (and masks) fitted after it: what is left
// of the header's block after them.
struct FittedHeader {
    DibHeader header;
    size_t available;
};

// The size of the pixel array of uncompressed rows, each row padded to 32
// bits. None when it would not fit in the remaining bytes (checked before
// any multiplication can overflow).
std::optional<size_t> FitUncompressedPixels(const DibLayout& layout, size_t available)
{
    const uint64_t rowBytes = DibRowBytes(static_cast<uint64_t>(layout.width), layout.bitCount);
    const uint64_t rows = layout.height < 0 ? 0 - static_cast<uint64_t>(layout.height)
                                            : static_cast<uint64_t>(layout.height);
    if (rowBytes > available || rows > available / rowBytes) {
        return std::nullopt;
    }
    return static_cast<size_t>(rowBytes * rows);
}

std::optional<DibHeader> ReadCoreHeader(const uint8_t* block)
{
    DibLayout layout{};
    layout.headerSize = DIB_CORE_HEADER_SIZE;
    layout.width = ReadUint16(block + BITMAPCOREHEADER_BCWIDTH);
    layout.height = ReadUint16(block + BITMAPCOREHEADER_BCHEIGHT);
    layout.bitCount = ReadUint16(block + BITMAPCOREHEADER_BCBITCOUNT);
    if (ReadUint16(block + BITMAPCOREHEADER_BCPLANES) != SINGLE_PLANE || layout.width == 0 ||
        layout.height == 0 || !IsValidBitCount(layout.bitCount)) {
        return std::nullopt;
    }
    layout.colorCount = FullTableSize(layout.bitCount);
    return DibHeader{layout, DIB_RGB};
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

std::optional<DibHeader> ReadInfoHeader(const uint8_t* block, uint32_t headerSize)
{
    DibLayout layout{};
    layout.headerSize = headerSize;
    layout.width = ReadInt32(block + BITMAPINFOHEADER_BIWIDTH);
    layout.height = ReadInt32(block + BITMAPINFOHEADER_BIHEIGHT);
    layout.bitCount = ReadUint16(block + BITMAPINFOHEADER_BIBITCOUNT);
    const uint32_t compression = ReadUint32(block + BITMAPINFOHEADER_BICOMPRESSION);
    if (ReadUint16(block + BITMAPINFOHEADER_BIPLANES) != SINGLE_PLANE || layout.width <= 0 ||
        layout.height == 0 || layout.height == std::numeric_limits<int32_t>::min() ||
        !IsValidBitCount(layout.bitCount) || !IsValidCompression(compression, layout)) {
        return std::nullopt;
    }
    const uint32_t clrUsed = ReadUint32(block + BITMAPINFOHEADER_BICLRUSED);
    const size_t fullTable = FullTableSize(layout.bitCount);
    // An indexed DIB cannot use more colours than its pixels can name.
    if (fullTable != 0 && clrUsed > fullTable) {
        return std::nullopt;
    }
    layout.colorCount = clrUsed != 0 ? clrUsed : fullTable;
    return DibHeader{layout, compression};
}

// Reads the header at the start of the block: its size must be one the
// platform defines and lie inside blockSize bytes.
std::optional<DibHeader> ReadHeader(const uint8_t* block, size_t blockSize)
{
    if (blockSize < sizeof(uint32_t)) {
        return std::nullopt;
    }
    const uint32_t headerSize = ReadUint32(block);
    const bool core = headerSize == DIB_CORE_HEADER_SIZE;
    if (!core && (headerSize < DIB_INFO_HEADER_SIZE || headerSize > DIB_MAX_HEADER_SIZE)) {
        return std::nullopt;
    }
    if (headerSize > blockSize) {
        return std::nullopt;
    }
    return core ? ReadCoreHeader(block) : ReadInfoHeader(block, headerSize);
}

// What is left of the available bytes after the header once the bit-field
// masks and a colour table of entrySize-byte entries are taken from them;
// none when they do not fit.
std::optional<size_t> FitColorTable(const DibHeader& header, size_t entrySize, size_t available)
{
    const DibLayout& layout = header.layout;
    if (header.compression == DIB_BITFIELDS && layout.headerSize == DIB_INFO_HEADER_SIZE) {
        if (available < DIB_BITFIELDS_MASKS_SIZE) {
            return std::nullopt;
        }
        available -= DIB_BITFIELDS_MASKS_SIZE;
    }
    if (entrySize == 0) {
        return available;
    }
    if (layout.colorCount > available / entrySize) {
        return std::nullopt;
    }
    return available - layout.colorCount * entrySize;
}

// The size of the pixels in the available bytes: the header's image size
// for run-length compression, padded rows otherwise.
std::optional<size_t> FitPixels(const uint8_t* block, const DibHeader& header, size_t available)
{
    if (header.compression == DIB_RLE8 || header.compression == DIB_RLE4) {
        const uint32_t compressedSize = ReadUint32(block + BITMAPINFOHEADER_BISIZEIMAGE);
        if (compressedSize == 0 || compressedSize > available) {
            return std::nullopt;
        }
        return compressedSize;
    }
    return FitUncompressedPixels(header.layout, available);
}

// Bytes per colour-table entry for a usage value; none for an unknown one.
std::optional<size_t> ChooseEntrySize(uint32_t usage, const DibLayout& layout)
{
    switch (usage) {
        case DIB_USAGE_RGB:
            return layout.headerSize == DIB_CORE_HEADER_SIZE ? DIB_TRIPLE_ENTRY_SIZE
                                                             : DIB_QUAD_ENTRY_SIZE;
        case DIB_USAGE_PALETTE:
            return DIB_PALETTE_ENTRY_SIZE;
        case DIB_USAGE_NO_TABLE:
            return 0;
        default:
            return std::nullopt;
    }
}

// Reads the header at the start of info and fits the colour table (and the
// masks) after it.
std::optional<FittedHeader> FitHeaderAndTable(const uint8_t* info, size_t infoSize, uint32_t usage)
{
    const std::optional<DibHeader> header = ReadHeader(info, infoSize);
    if (!header) {
        return std::nullopt;
    }
    const std::optional<size_t> entrySize = ChooseEntrySize(usage, header->layout);
    if (!entrySize) {
        return std::nullopt;
    }
    const std::optional<size_t> available =
        FitColorTable(*header, *entrySize, infoSize - header->layout.headerSize);
    if (!available) {
        return std::nullopt;
    }
    return FittedHeader{*header, *available};
}

// The layout of a fitted header whose pixels lie at pixelOffset, in
// available bytes.
std::optional<DibLayout> FitLayout(const uint8_t* info, const FittedHeader& fitted,
                                   size_t pixelOffset, size_t available)
{
    const std::optional<size_t> pixelSize = FitPixels(info, fitted.header, available);
    if (!pixelSize) {
        return std::nullopt;
    }
    DibLayout layout = fitted.header.layout;
    layout.pixelOffset = pixelOffset;
    layout.pixelSize = *pixelSize;
    return layout;
}

}  // namespace

uint64_t DibRowBytes(uint64_t width, uint32_t bitCount)
{
    const uint64_t rowBits = width * bitCount;
    return (rowBits + SCAN_LINE_ALIGN_BITS - 1) / SCAN_LINE_ALIGN_BITS *
           (SCAN_LINE_ALIGN_BITS / BITS_PER_BYTE);
}

std::optional<DibLayout> ComputeDibLayout(const uint8_t* block, size_t blockSize)
{
    const std::optional<FittedHeader> fitted = FitHeaderAndTable(block, blockSize, DIB_USAGE_RGB);
    if (!fitted) {
        return std::nullopt;
    }
    return FitLayout(block, *fitted, blockSize - fitted->available, fitted->available);
}

std::optional<DibLayout> ComputeSplitDibLayout(const uint8_t* info, size_t infoSize,
                                               size_t bitsSize, uint32_t usage)
{
    const std::optional<FittedHeader> fitted = FitHeaderAndTable(info, infoSize, usage);
    if (!fitted) {
        return std::nullopt;
    }
    return FitLayout(info, *fitted, 0, bitsSize);
}
