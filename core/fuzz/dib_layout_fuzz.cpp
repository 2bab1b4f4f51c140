// Feeds the fuzzer's bytes to the packed-DIB layout as a block of exactly
// that size. A layout it accepts must lie inside the block, behind the
// header and colour table, and its uncompressed pixel size must match a
// separate computation in floating point; the first and last bytes of the
// table and of the pixels are read, so that a layout reaching past the block
// trips the address sanitizer. Any broken rule aborts.
//
// The offsets this oracle reads are its own copy, written apart from
// metafile/dib_layout.h on purpose: a wrong offset there must not make the
// oracle agree with the check it judges.
#include "metafile/dib_layout.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr size_t COMPRESSION_OFFSET = 16;

void Require(bool condition, const char* rule)
{
    if (!condition) {
        std::fprintf(stderr, "accepted layout breaks: %s\n", rule);
        std::abort();
    }
}

uint32_t ReadCompression(const uint8_t* data, const DibLayout& layout)
{
    if (layout.headerSize == DIB_CORE_HEADER_SIZE) {
        return DIB_RGB;
    }
    const uint8_t* field = data + COMPRESSION_OFFSET;
    return static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
           static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
}

// Rows padded to 32 bits, in doubles: exact for any size that fits a block.
double UncompressedSize(const DibLayout& layout)
{
    const double rowBytes =
        std::ceil(static_cast<double>(layout.width) * layout.bitCount / 32.0) * 4.0;
    return rowBytes * std::fabs(static_cast<double>(layout.height));
}

uint8_t Touch(const uint8_t* data, size_t offset, size_t size)
{
    return size == 0 ? 0 : static_cast<uint8_t>(data[offset] ^ data[offset + size - 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<DibLayout> computed = ComputeDibLayout(data, size);
    if (!computed) {
        return 0;
    }
    const DibLayout& layout = *computed;
    const bool core = layout.headerSize == DIB_CORE_HEADER_SIZE;
    const size_t entrySize = core ? DIB_TRIPLE_ENTRY_SIZE : DIB_QUAD_ENTRY_SIZE;
    const size_t tableSize = layout.colorCount * entrySize;
    Require(layout.headerSize <= size, "header inside the block");
    Require(layout.width > 0 && layout.height != 0, "positive width, non-zero height");
    Require(layout.pixelOffset >= layout.headerSize + tableSize, "pixels after the table");
    Require(layout.pixelOffset <= size && layout.pixelSize <= size - layout.pixelOffset,
            "pixels inside the block");
    Require(layout.pixelSize > 0, "some pixels");
    const uint32_t compression = ReadCompression(data, layout);
    if (compression == DIB_RGB || compression == DIB_BITFIELDS) {
        Require(static_cast<double>(layout.pixelSize) == UncompressedSize(layout),
                "pixel size of padded rows");
    }
    volatile uint8_t sink = Touch(data, layout.pixelOffset - tableSize, tableSize);
    sink = static_cast<uint8_t>(sink ^ Touch(data, layout.pixelOffset, layout.pixelSize));
    return 0;
}
