#include "metafile/dib_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace {

// The fields of an info header, written little-endian into a block.
struct InfoFields {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    uint32_t clrUsed;
};

void PutUint16(std::vector<uint8_t>& block, size_t offset, uint16_t value)
{
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutUint32(std::vector<uint8_t>& block, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < sizeof value; ++i) {
        block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

InfoFields Info(int32_t width, int32_t height, uint16_t bitCount)
{
    return InfoFields{DIB_INFO_HEADER_SIZE, width, height, 1, bitCount, DIB_RGB, 0, 0};
}

// A block of blockSize bytes starting with the header's first 40 bytes.
std::vector<uint8_t> InfoBlock(const InfoFields& fields, size_t blockSize)
{
    std::vector<uint8_t> block(blockSize < DIB_INFO_HEADER_SIZE ? DIB_INFO_HEADER_SIZE : blockSize);
    PutUint32(block, 0, fields.size);
    PutUint32(block, 4, static_cast<uint32_t>(fields.width));
    PutUint32(block, 8, static_cast<uint32_t>(fields.height));
    PutUint16(block, 12, fields.planes);
    PutUint16(block, 14, fields.bitCount);
    PutUint32(block, 16, fields.compression);
    PutUint32(block, 20, fields.sizeImage);
    PutUint32(block, 32, fields.clrUsed);
    block.resize(blockSize);
    return block;
}

std::vector<uint8_t> CoreBlock(uint16_t width, uint16_t height, uint16_t bitCount, size_t blockSize)
{
    std::vector<uint8_t> block(blockSize < DIB_CORE_HEADER_SIZE ? DIB_CORE_HEADER_SIZE : blockSize);
    PutUint32(block, 0, DIB_CORE_HEADER_SIZE);
    PutUint16(block, 4, width);
    PutUint16(block, 6, height);
    PutUint16(block, 8, 1);
    PutUint16(block, 10, bitCount);
    block.resize(blockSize);
    return block;
}

// Checks the layout of a block and that one byte less is refused.
void ExpectLayout(const std::vector<uint8_t>& block, size_t colorCount, size_t pixelOffset,
                  size_t pixelSize)
{
    const std::optional<DibLayout> layout = ComputeDibLayout(block.data(), block.size());
    ASSERT_TRUE(layout) << "expected a layout for a block of " << block.size()
                        << " bytes, got a refusal";
    EXPECT_EQ(colorCount, layout->colorCount)
        << "expected " << colorCount << " colours, got " << layout->colorCount;
    EXPECT_EQ(pixelOffset, layout->pixelOffset)
        << "expected pixels at " << pixelOffset << ", got " << layout->pixelOffset;
    EXPECT_EQ(pixelSize, layout->pixelSize)
        << "expected " << pixelSize << " pixel bytes, got " << layout->pixelSize;
    EXPECT_FALSE(ComputeDibLayout(block.data(), block.size() - 1))
        << "expected a block one byte short (" << block.size() - 1 << ") to be refused";
}

bool Accepts(const std::vector<uint8_t>& block)
{
    return ComputeDibLayout(block.data(), block.size()).has_value();
}

TEST(ComputeDibLayout, IndexedTableSizeFollowsBitCountWhenClrUsedIsZero)
{
    // Rows: 1 bit x 10 pixels and 4 bits x 10 pixels pad to 4 and 8 bytes.
    ExpectLayout(InfoBlock(Info(10, 3, 1), 40 + 2 * 4 + 3 * 4), 2, 48, 12);
    ExpectLayout(InfoBlock(Info(10, 3, 4), 40 + 16 * 4 + 3 * 8), 16, 104, 24);
    ExpectLayout(InfoBlock(Info(10, 3, 8), 40 + 256 * 4 + 3 * 12), 256, 1064, 36);
}

TEST(ComputeDibLayout, ShorterTableFollowsClrUsed)
{
    InfoFields fields = Info(4, 2, 8);
    fields.clrUsed = 5;
    ExpectLayout(InfoBlock(fields, 40 + 5 * 4 + 2 * 4), 5, 60, 8);
    fields = Info(4, 2, 4);
    fields.clrUsed = 1;
    ExpectLayout(InfoBlock(fields, 40 + 4 + 2 * 4), 1, 44, 8);
}

TEST(ComputeDibLayout, TrueColourHasNoTableUnlessClrUsedSaysSo)
{
    // 3 pixels of 24 bits: 9 bytes a row, padded to 12.
    ExpectLayout(InfoBlock(Info(3, 2, 24), 40 + 2 * 12), 0, 40, 24);
    InfoFields fields = Info(3, 2, 24);
    fields.clrUsed = 3;
    ExpectLayout(InfoBlock(fields, 40 + 3 * 4 + 2 * 12), 3, 52, 24);
}

TEST(ComputeDibLayout, BitfieldsMasksFollowOnlyA40ByteHeader)
{
    InfoFields fields = Info(2, 2, 32);
    fields.compression = DIB_BITFIELDS;
    ExpectLayout(InfoBlock(fields, 40 + 12 + 2 * 8), 0, 52, 16);
    fields.bitCount = 16;
    ExpectLayout(InfoBlock(fields, 40 + 12 + 2 * 4), 0, 52, 8);
    // A version 5 header holds the masks itself.
    fields.size = DIB_MAX_HEADER_SIZE;
    fields.bitCount = 32;
    ExpectLayout(InfoBlock(fields, 124 + 2 * 8), 0, 124, 16);
}

TEST(ComputeDibLayout, CoreHeaderHasThreeByteEntries)
{
    ExpectLayout(CoreBlock(5, 2, 8, 12 + 256 * 3 + 2 * 8), 256, 780, 16);
    ExpectLayout(CoreBlock(5, 2, 1, 12 + 2 * 3 + 2 * 4), 2, 18, 8);
    ExpectLayout(CoreBlock(5, 2, 24, 12 + 2 * 16), 0, 12, 32);
}

TEST(ComputeDibLayout, TopDownRowsCountByMagnitude)
{
    ExpectLayout(InfoBlock(Info(1, -7, 32), 40 + 7 * 4), 0, 40, 28);
}

TEST(DibRowBytes, RowsArePaddedTo32Bits)
{
    EXPECT_EQ(4u, DibRowBytes(1, 1));
    EXPECT_EQ(4u, DibRowBytes(32, 1));
    EXPECT_EQ(8u, DibRowBytes(33, 1));
    EXPECT_EQ(12u, DibRowBytes(9, 8));
    EXPECT_EQ(12u, DibRowBytes(3, 24)) << "three pixels of three bytes take 9, padded to 12";
    EXPECT_EQ(uint64_t{0x80000000} * 4, DibRowBytes(0x80000000, 32)) << "no overflow";
}

TEST(ComputeDibLayout, RunLengthPixelsTakeTheImageSize)
{
    InfoFields fields = Info(100, 100, 8);
    fields.compression = DIB_RLE8;
    fields.clrUsed = 2;
    fields.sizeImage = 30;
    ExpectLayout(InfoBlock(fields, 40 + 8 + 30), 2, 48, 30);
    fields.sizeImage = 0;
    EXPECT_FALSE(Accepts(InfoBlock(fields, 40 + 8 + 30))) << "expected RLE with no size refused";
    fields.sizeImage = 30;
    fields.height = -100;
    EXPECT_FALSE(Accepts(InfoBlock(fields, 40 + 8 + 30))) << "expected top-down RLE refused";
    fields.height = 100;
    fields.compression = DIB_RLE4;
    EXPECT_FALSE(Accepts(InfoBlock(fields, 40 + 8 + 30))) << "expected RLE4 at 8 bits refused";
}

TEST(ComputeDibLayout, RefusesHeaderSizesOutOfRange)
{
    for (uint32_t size : {0u, 4u, 11u, 13u, 39u, 125u, 0xFFFFFFFFu}) {
        InfoFields fields = Info(1, 1, 32);
        fields.size = size;
        const std::vector<uint8_t> block = InfoBlock(fields, 4096);
        EXPECT_FALSE(Accepts(block)) << "expected header size " << size << " refused";
    }
}

TEST(ComputeDibLayout, RefusesBlocksShorterThanTheHeader)
{
    EXPECT_FALSE(ComputeDibLayout(nullptr, 0)) << "expected an empty block refused";
    const std::vector<uint8_t> block = InfoBlock(Info(1, 1, 32), 44);
    EXPECT_FALSE(ComputeDibLayout(block.data(), 3)) << "expected 3 bytes refused";
    EXPECT_FALSE(ComputeDibLayout(block.data(), 39)) << "expected 39 bytes refused";
    const std::vector<uint8_t> core = CoreBlock(1, 1, 24, 16);
    EXPECT_FALSE(ComputeDibLayout(core.data(), 11)) << "expected 11 bytes refused";
}

TEST(ComputeDibLayout, RefusesAbsurdFields)
{
    const struct {
        const char* what;
        InfoFields fields;
    } cases[] = {
        {"zero width", {40, 0, 1, 1, 24, DIB_RGB, 0, 0}},
        {"negative width", {40, -1, 1, 1, 24, DIB_RGB, 0, 0}},
        {"zero height", {40, 1, 0, 1, 24, DIB_RGB, 0, 0}},
        {"height INT32_MIN", {40, 1, std::numeric_limits<int32_t>::min(), 1, 24, DIB_RGB, 0, 0}},
        {"two planes", {40, 1, 1, 2, 24, DIB_RGB, 0, 0}},
        {"bit count 0", {40, 1, 1, 1, 0, DIB_RGB, 0, 0}},
        {"bit count 3", {40, 1, 1, 1, 3, DIB_RGB, 0, 0}},
        {"bit count 64", {40, 1, 1, 1, 64, DIB_RGB, 0, 0}},
        {"JPEG compression", {40, 1, 1, 1, 24, 4, 0, 0}},
        {"bit fields at 24 bits", {40, 1, 1, 1, 24, DIB_BITFIELDS, 0, 0}},
        {"257 colours at 8 bits", {40, 1, 1, 1, 8, DIB_RGB, 0, 257}},
        {"3 colours at 1 bit", {40, 1, 1, 1, 1, DIB_RGB, 0, 3}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Accepts(InfoBlock(c.fields, 8192))) << "expected " << c.what << " refused";
    }
    EXPECT_FALSE(Accepts(CoreBlock(0, 1, 24, 64))) << "expected a core zero width refused";
    EXPECT_FALSE(Accepts(CoreBlock(1, 0, 24, 64))) << "expected a core zero height refused";
    EXPECT_FALSE(Accepts(CoreBlock(1, 1, 32 + 1, 64))) << "expected a core bit count 33 refused";
}

TEST(ComputeDibLayout, RefusesSizesThatWouldOverflow)
{
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_FALSE(Accepts(InfoBlock(Info(most, most, 32), 4096)))
        << "expected the largest width and height refused";
    EXPECT_FALSE(Accepts(InfoBlock(Info(most, 1, 32), 4096)))
        << "expected a row longer than the block refused";
    InfoFields fields = Info(1, 1, 24);
    fields.clrUsed = 0xFFFFFFFFu;
    EXPECT_FALSE(Accepts(InfoBlock(fields, 4096))) << "expected 2^32-1 colours refused";
}

// The header and table of a block, and a separate pixel block's size.
std::optional<DibLayout> SplitLayout(const std::vector<uint8_t>& info, size_t bitsSize,
                                     uint32_t usage)
{
    return ComputeSplitDibLayout(info.data(), info.size(), bitsSize, usage);
}

TEST(ComputeSplitDibLayout, PixelsLieInTheirOwnBlock)
{
    // 10 x 3 at 4 bits: rows of 8 bytes after a 16-colour table.
    const std::vector<uint8_t> info = InfoBlock(Info(10, 3, 4), 40 + 16 * 4);
    const std::optional<DibLayout> layout = SplitLayout(info, 24, DIB_USAGE_RGB);
    ASSERT_TRUE(layout) << "expected 24 pixel bytes to be enough, got a refusal";
    EXPECT_EQ(0u, layout->pixelOffset) << "expected pixels at the bits block's start";
    EXPECT_EQ(24u, layout->pixelSize) << "expected 24 pixel bytes, got " << layout->pixelSize;
    EXPECT_FALSE(SplitLayout(info, 23, DIB_USAGE_RGB)) << "expected 23 bytes refused";
    const std::vector<uint8_t> shortTable(info.begin(), info.end() - 1);
    EXPECT_FALSE(SplitLayout(shortTable, 24, DIB_USAGE_RGB))
        << "expected a table one byte short of the info block refused";
}

TEST(ComputeSplitDibLayout, UsageDecidesTheTableEntries)
{
    const std::vector<uint8_t> indices = InfoBlock(Info(4, 4, 1), 40 + 2 * 2);
    EXPECT_TRUE(SplitLayout(indices, 16, DIB_USAGE_PALETTE))
        << "expected two 16-bit palette indices to make the table";
    EXPECT_FALSE(SplitLayout(indices, 16, DIB_USAGE_RGB))
        << "expected 4 bytes too few for two colours";
    const std::vector<uint8_t> bare = InfoBlock(Info(4, 4, 1), 40);
    EXPECT_TRUE(SplitLayout(bare, 16, DIB_USAGE_NO_TABLE))
        << "expected no table where the usage says there is none";
    EXPECT_FALSE(SplitLayout(bare, 16, DIB_USAGE_NO_TABLE + 1))
        << "expected an unknown usage refused";
}

}  // namespace
