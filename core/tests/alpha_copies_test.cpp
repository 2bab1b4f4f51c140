#include "metafile/alpha_copies.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "metafile/emf_record_types.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t SOURCE_COPY = 0x00CC0020;
constexpr uint32_t SOURCE_AND = 0x008800C6;
constexpr uint32_t PER_PIXEL_BLEND = 0x01FF0000;  // AC_SRC_OVER, 0, 255, AC_SRC_ALPHA
constexpr size_t ROP_AT = 40;
constexpr size_t FIXED_PART = 108;
constexpr uint32_t INFO_SIZE = 40;
constexpr uint32_t ONE_PIXEL = 4;

void Put(Bytes& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < sizeof value; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A STRETCHBLT record of a 1 x 1 source of bitCount bits, its bitmap
// header at infoAt within the record.
Bytes StretchBlt(uint32_t rop, uint16_t bitCount, uint32_t infoAt = FIXED_PART)
{
    const uint32_t size = FIXED_PART + INFO_SIZE + ONE_PIXEL;
    Bytes record(size, 0);
    Put(record, 0, EMR_STRETCHBLT);
    Put(record, 4, size);
    Put(record, ROP_AT, rop);
    Put(record, 84, infoAt);     // offBmiSrc
    Put(record, 88, INFO_SIZE);  // cbBmiSrc
    Put(record, 92, FIXED_PART + INFO_SIZE);
    Put(record, 96, ONE_PIXEL);
    Put(record, FIXED_PART, INFO_SIZE);
    record[FIXED_PART + 14] = static_cast<uint8_t>(bitCount);
    return record;
}

// A STRETCHBLT record that ends before its raster operation.
Bytes ShortStretchBlt()
{
    Bytes record(ROP_AT, 0);
    Put(record, 0, EMR_STRETCHBLT);
    Put(record, 4, ROP_AT);
    return record;
}

RecordSpan SpanOf(const Bytes& record)
{
    RecordSpan span{};
    EXPECT_TRUE(ReadRecordAt(record.data(), record.size(), 0, span)) << "expected a record";
    return span;
}

TEST(IsCopyWithAlpha, FindsCopiesOf32BitSources)
{
    const struct {
        const char* name;
        Bytes record;
        bool copyWithAlpha;
    } cases[] = {
        {"copy of 32 bits", StretchBlt(SOURCE_COPY, 32), true},
        {"copy of 24 bits", StretchBlt(SOURCE_COPY, 24), false},
        {"other raster operation", StretchBlt(SOURCE_AND, 32), false},
        {"bitmap header beyond the record", StretchBlt(SOURCE_COPY, 32, FIXED_PART + 16), false},
        {"record shorter than its fixed part", ShortStretchBlt(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.copyWithAlpha, IsCopyWithAlpha(c.record.data(), SpanOf(c.record))) << c.name;
    }
}

TEST(RestoreAlphaBlend, TurnsTheCopyIntoABlendInPlace)
{
    Bytes record = StretchBlt(SOURCE_COPY, 32);
    Bytes expected = record;
    Put(expected, 0, EMR_ALPHABLEND);
    Put(expected, ROP_AT, PER_PIXEL_BLEND);
    const RecordSpan span = RestoreAlphaBlend(record.data(), SpanOf(record));
    EXPECT_EQ(expected, record) << "expected an ALPHABLEND with per-pixel alpha, the rest kept";
    EXPECT_EQ(static_cast<uint32_t>(EMR_ALPHABLEND), span.type);
    EXPECT_EQ(FIXED_PART + INFO_SIZE + ONE_PIXEL, span.size);
}

}  // namespace
