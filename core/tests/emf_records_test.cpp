#include "emf_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "emf_record_types.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint32_t>;

constexpr uint32_t HANDLES = 4;  // table entries 1 .. 3 are valid

void Put(Bytes& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < sizeof value; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

Bytes ToBytes(const Words& words)
{
    Bytes bytes(4 * words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        Put(bytes, 4 * i, words[i]);
    }
    return bytes;
}

// A record of the given type whose fields follow the 8-byte record header;
// nSize counts them all.
Bytes Record(uint32_t type, const Words& fields)
{
    Words words{type, static_cast<uint32_t>(8 + 4 * fields.size())};
    words.insert(words.end(), fields.begin(), fields.end());
    return ToBytes(words);
}

Bytes Modified(Bytes bytes, size_t at, uint32_t value)
{
    Put(bytes, at, value);
    return bytes;
}

// A record of size bytes, all fields zero.
Bytes Zeros(uint32_t type, size_t size)
{
    return Record(type, Words((size - 8) / 4));
}

std::string Describe(const Bytes& record)
{
    return "record of type " + std::to_string(record[0]) + " and " + std::to_string(record.size()) +
           " bytes";
}

void ExpectSafe(const Bytes& record, const char* what, uint32_t handles = HANDLES)
{
    EXPECT_TRUE(IsRecordSafe(record.data(), record.size(), handles))
        << "expected safe, got refused: " << what << " (" << Describe(record) << ")";
}

void ExpectRefused(const Bytes& record, const char* what, uint32_t handles = HANDLES)
{
    EXPECT_FALSE(IsRecordSafe(record.data(), record.size(), handles))
        << "expected refused, got safe: " << what << " (" << Describe(record) << ")";
}

TEST(IsRecordSafe, HoldsEveryRecordToItsSize)
{
    const Bytes record = Record(EMR_SETMAPMODE, {1});
    EXPECT_FALSE(IsRecordSafe(record.data(), 11, HANDLES)) << "expected nSize beyond the bytes";
    EXPECT_FALSE(IsRecordSafe(record.data(), 7, HANDLES)) << "expected 7 bytes refused";
    Bytes odd = record;
    Put(odd, 4, 10);
    ExpectRefused(odd, "nSize not a multiple of 4");
    Put(odd, 4, 4);
    ExpectRefused(odd, "nSize below 8");
    ExpectSafe(Record(117, {}), "an unknown type of 8 bytes");
    ExpectSafe(Record(0xDEADBEEF, {1, 2, 3}), "an unknown type");
}

TEST(IsRecordSafe, RefusesRecordsShortOfTheirFixedPart)
{
    // Kinds whose record of zeros, with 1 in the field at 8 (a handle index
    // where there is one), is safe at its fixed size.
    const struct {
        uint32_t type;
        uint32_t size;
    } kinds[] = {
        {EMR_HEADER, 88},
        {EMR_SETMAPMODE, 12},
        {EMR_MOVETOEX, 16},
        {EMR_EOF, 20},
        {EMR_RECTANGLE, 24},
        {EMR_SETWORLDTRANSFORM, 32},
        {EMR_MODIFYWORLDTRANSFORM, 36},
        {EMR_ARC, 40},
        {EMR_SETCOLORADJUSTMENT, 32},
        {EMR_PIXELFORMAT, 48},
        {EMR_POLYLINE16, 28},
        {EMR_EXTTEXTOUTW, 76},
        {EMR_BITBLT, 100},
        {EMR_STRETCHBLT, 108},
        {EMR_CREATEPEN, 28},
        {EMR_EXTCREATEFONTINDIRECTW, 104},
        {EMR_EXTCREATEPEN, 52},
        {EMR_CREATECOLORSPACE, 340},
        {EMR_CREATECOLORSPACEW, 608},
        {EMR_GRADIENTFILL, 36},
        {EMR_SETPALETTEENTRIES, 20},
    };
    for (const auto& kind : kinds) {
        const Bytes record = Modified(Zeros(kind.type, kind.size), 8, 1);
        ExpectSafe(record, "exactly the fixed part");
        Bytes shorter(record.begin(), record.end() - 4);
        ExpectRefused(Modified(shorter, 4, kind.size - 4), "one field short of the fixed part");
    }
}

TEST(IsRecordSafe, KeepsCountedPointsInside)
{
    // Bounds, a count of 2, and two points of each size.
    ExpectSafe(Record(EMR_POLYLINE, {0, 0, 0, 0, 2, 1, 1, 2, 2}), "2 points of 8 bytes");
    ExpectRefused(Record(EMR_POLYLINE, {0, 0, 0, 0, 3, 1, 1, 2, 2}), "3 points in room for 2");
    ExpectSafe(Record(EMR_POLYGON16, {0, 0, 0, 0, 2, 1, 2}), "2 points of 4 bytes");
    ExpectRefused(Record(EMR_POLYGON16, {0, 0, 0, 0, 0x40000001, 1}), "a count that wraps");
    ExpectSafe(Record(EMR_POLYDRAW16, {0, 0, 0, 0, 2, 1, 2, 0x0606}), "points and their types");
    ExpectRefused(Record(EMR_POLYDRAW16, {0, 0, 0, 0, 2, 1, 2}), "points without their types");
    ExpectRefused(Record(EMR_POLYDRAW, {0, 0, 0, 0, 1, 1, 1}), "a point without its type");
}

TEST(IsRecordSafe, KeepsPolylineCountsWithinThePoints)
{
    // Bounds, 2 polylines, 3 points, counts 1 and 2, three 16-bit points.
    const Words good{0, 0, 0, 0, 2, 3, 1, 2, 1, 2, 3};
    ExpectSafe(Record(EMR_POLYPOLYLINE16, good), "counts adding up to the points");
    Words tooMany = good;
    tooMany[7] = 3;
    ExpectRefused(Record(EMR_POLYPOLYGON16, tooMany), "counts adding up to 4 of 3 points");
    Words wrapping = good;
    wrapping[6] = 0xFFFFFFFF;
    wrapping[7] = 4;
    ExpectRefused(Record(EMR_POLYPOLYLINE16, wrapping), "counts whose 32-bit sum wraps");
    ExpectRefused(Record(EMR_POLYPOLYLINE, good), "3 points of 8 bytes in room for 12 bytes");
    ExpectRefused(Record(EMR_POLYPOLYGON, {0, 0, 0, 0, 0x40000000, 0}), "counts past the end");
}

// EXTTEXTOUTW of chars characters: its text fields, the string at 76 and
// advances (4 bytes a character) after it; offDx 0 leaves them out.
Bytes ExtText(uint32_t type, uint32_t chars, uint32_t options, uint32_t stringBytes,
              uint32_t advancesAt)
{
    Bytes record = Zeros(type, 76 + stringBytes);
    Put(record, 44, chars);
    Put(record, 48, 76);
    Put(record, 52, options);
    Put(record, 72, advancesAt);
    return record;
}

TEST(IsRecordSafe, KeepsTextAndAdvancesInside)
{
    ExpectSafe(ExtText(EMR_EXTTEXTOUTW, 2, 0, 4 + 8, 80), "2 wide characters, 2 advances");
    ExpectRefused(ExtText(EMR_EXTTEXTOUTW, 3, 0, 4 + 8, 80), "3 characters in room for 2");
    ExpectSafe(ExtText(EMR_EXTTEXTOUTW, 2, 0, 4, 0), "no advances at offDx 0");
    ExpectRefused(ExtText(EMR_EXTTEXTOUTW, 2, 0x2000, 4 + 8, 80), "ETO_PDY's 4 advances");
    ExpectSafe(ExtText(EMR_EXTTEXTOUTW, 2, 0x2000, 4 + 16, 80), "ETO_PDY with 4 advances");
    ExpectSafe(ExtText(EMR_EXTTEXTOUTA, 4, 0, 4 + 16, 80), "4 one-byte characters");
    ExpectRefused(ExtText(EMR_EXTTEXTOUTA, 2, 0, 4 + 8, 0xFFFFFFFC),
                  "advances whose 32-bit end wraps");
}

TEST(IsRecordSafe, KeepsEveryPolyTextInside)
{
    // Bounds, mode, scales, 2 texts of 40 bytes, then 4 bytes of characters.
    Bytes record = Modified(Zeros(EMR_POLYTEXTOUTW, 40 + 2 * 40 + 4), 36, 2);
    for (size_t text : {40u, 80u}) {
        Put(record, text + 8, 1);     // one character
        Put(record, text + 12, 120);  // string
        Put(record, text + 36, 120);  // advances, over the characters
    }
    ExpectSafe(record, "two texts of one character");
    Put(record, 80 + 8, 2);
    ExpectRefused(record, "the second text's advances past the end");
    Put(record, 80 + 8, 1);
    Put(record, 36, 3);
    ExpectRefused(record, "3 texts in room for 2");
    Put(record, 36, 2);
    Put(record, 40 + 8, 40);  // 80 bytes of characters from offset 40
    Put(record, 40 + 12, 40);
    Put(record, 40 + 36, 0);
    ExpectRefused(record, "160 bytes of advances from offDx 0, which the player reads");
}

TEST(IsRecordSafe, ReadsSmallTextByItsOptions)
{
    // Position, 4 characters, options, mode, scales, then clip or characters.
    const Words fields{0, 0, 4, 0, 1, 0, 0, 0, 0, 0, 0, 0x00410041, 0x00410041};
    ExpectSafe(Record(EMR_SMALLTEXTOUT, fields), "a clip and 4 wide characters");
    Words noClip = fields;
    noClip[3] = 0x100;
    ExpectSafe(Record(EMR_SMALLTEXTOUT, noClip), "no clip, 4 wide characters");
    Words small = fields;
    small[2] = 9;
    small[3] = 0x200;
    ExpectRefused(Record(EMR_SMALLTEXTOUT, small), "a clip and 9 one-byte characters");
}

// A region of rects rectangles, with room for the given number.
Words Region(uint32_t rects, uint32_t room)
{
    Words region{32, 1, rects, 16 * rects, 0, 0, 9, 9};
    region.resize(region.size() + 4 * room);
    return region;
}

Bytes FillRegion(uint32_t brush, const Words& region)
{
    Words fields{0, 0, 0, 0, static_cast<uint32_t>(4 * region.size()), brush};
    fields.insert(fields.end(), region.begin(), region.end());
    return Record(EMR_FILLRGN, fields);
}

TEST(IsRecordSafe, KeepsRegionsInside)
{
    ExpectSafe(FillRegion(1, Region(2, 2)), "2 rectangles");
    ExpectRefused(FillRegion(1, Region(3, 2)), "3 rectangles in room for 2");
    Words badHeader = Region(1, 1);
    badHeader[0] = 40;
    ExpectRefused(FillRegion(1, badHeader), "a header size of 40");
    Bytes beyond = FillRegion(1, Region(1, 1));
    Put(beyond, 24, 4 * 12 + 4);
    ExpectRefused(beyond, "region data past the end");
    ExpectRefused(FillRegion(1, {}), "no region data");
    ExpectSafe(Record(EMR_EXTSELECTCLIPRGN, {0, 5}), "a clip reset without data");
    ExpectRefused(Record(EMR_EXTSELECTCLIPRGN, {0, 5, 32, 1, 99, 0, 0, 0, 0, 0}),
                  "no data but a header the player would read");
    Words clip{4 * 12, 5};
    const Words region = Region(1, 1);
    clip.insert(clip.end(), region.begin(), region.end());
    ExpectSafe(Record(EMR_EXTSELECTCLIPRGN, clip), "a clip of one rectangle");
}

// A 4 x 2 bitmap of bitCount bits with colours table entries and its
// pixels (rows of 4 bytes at 1 to 8 bits), as info header words and all.
Words Dib(uint32_t bitCount, uint32_t colours)
{
    Words dib{40, 4, 2, 1 | bitCount << 16, 0, 0, 0, 0, colours, 0};
    dib.resize(dib.size() + colours + 2);
    return dib;
}

// A bitmap record of the given fixed size carrying a bitmap of dibWords
// (header and table) and pixelBytes, its four fields at fieldsAt.
Bytes WithBitmap(uint32_t type, size_t fixedSize, size_t fieldsAt, uint32_t tableWords,
                 uint32_t pixelBytes)
{
    Bytes record = Zeros(type, fixedSize);
    const Bytes bitmap = ToBytes(Dib(1, tableWords));
    record.insert(record.end(), bitmap.begin(), bitmap.end());
    const uint32_t infoSize = 4 * (10 + tableWords);
    Put(record, 4, static_cast<uint32_t>(record.size()));
    Put(record, fieldsAt, static_cast<uint32_t>(fixedSize));
    Put(record, fieldsAt + 4, infoSize);
    Put(record, fieldsAt + 8, static_cast<uint32_t>(fixedSize) + infoSize);
    Put(record, fieldsAt + 12, pixelBytes);
    return record;
}

TEST(IsRecordSafe, ChecksEmbeddedBitmaps)
{
    ExpectSafe(WithBitmap(EMR_BITBLT, 100, 84, 2, 8), "a 1-bit bitmap with 2 colours");
    ExpectRefused(Modified(WithBitmap(EMR_BITBLT, 100, 84, 1, 8), 100 + 32, 0),
                  "a bitmap naming 2 colours with 1 in its table");
    ExpectRefused(WithBitmap(EMR_STRETCHDIBITS, 80, 48, 2, 7), "pixels 1 byte short");
    Bytes past = WithBitmap(EMR_STRETCHDIBITS, 80, 48, 2, 8);
    Put(past, 56, 0xFFFFFFFC);
    ExpectRefused(past, "pixels at an offset that wraps");
    ExpectSafe(Zeros(EMR_BITBLT, 100), "a BITBLT without a bitmap");
    ExpectSafe(Zeros(EMR_STRETCHBLT, 108), "a STRETCHBLT without a bitmap");
    ExpectRefused(Zeros(EMR_STRETCHDIBITS, 80), "a STRETCHDIBITS without a bitmap");
    Bytes noInfo = Zeros(EMR_BITBLT, 140);
    Put(noInfo, 84, 100);
    ExpectRefused(noInfo, "an offBmi with cbBmi 0");
    Bytes unknownUsage = WithBitmap(EMR_BITBLT, 100, 84, 2, 8);
    Put(unknownUsage, 80, 3);
    ExpectRefused(unknownUsage, "an unknown colour usage");
    Bytes brush = WithBitmap(EMR_CREATEMONOBRUSH, 32, 16, 0, 8);
    Put(brush, 8, 1);
    ExpectRefused(brush, "a mono brush without its colours");
    Put(brush, 12, 2);
    ExpectSafe(brush, "a mono brush whose usage says it has no colour table");
    Bytes masked = WithBitmap(EMR_MASKBLT, 128, 84, 2, 8);
    ExpectRefused(masked, "a MASKBLT without its mask");
    Put(masked, 112, 128);
    Put(masked, 116, 48);
    Put(masked, 120, 176);
    Put(masked, 124, 8);
    ExpectSafe(masked, "a MASKBLT whose mask is its source's bitmap");
}

TEST(IsRecordSafe, KeepsHandleIndicesInTheTable)
{
    for (uint32_t type : {EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_DELETEOBJECT,
                          EMR_SETCOLORSPACE, EMR_DELETECOLORSPACE, EMR_RESIZEPALETTE}) {
        Bytes record = Zeros(type, type == EMR_CREATEPEN ? 28 : 24);
        for (uint32_t index : {1u, HANDLES - 1}) {
            Put(record, 8, index);
            ExpectSafe(record, "an index inside the table");
        }
        for (uint32_t index : {0u, HANDLES, 0x80000000u, 0x8000000Fu}) {
            Put(record, 8, index);
            ExpectRefused(record, "entry 0, one past the table, or a stock object");
        }
    }
    ExpectSafe(Record(EMR_SELECTOBJECT, {0x80000013}), "stock object 19 (the DC pen)");
    ExpectRefused(Record(EMR_SELECTOBJECT, {0x80000014}), "stock object 20");
    ExpectRefused(Record(EMR_SELECTOBJECT, {HANDLES}), "an index past the table");
    ExpectSafe(Record(EMR_SELECTPALETTE, {0x8000000F}), "the stock default palette");
    ExpectRefused(Record(EMR_SELECTPALETTE, {0x80000000}), "a stock pen as a palette");
    ExpectRefused(FillRegion(0x80000000, Region(1, 1)), "a stock brush for FILLRGN");
    ExpectRefused(FillRegion(HANDLES, Region(1, 1)), "FILLRGN's brush past the table");
}

TEST(IsRecordSafe, KeepsGradientVerticesAndPiecesInside)
{
    // Bounds, 2 vertices, 1 piece, mode; vertices of 16 bytes; the piece.
    Words rect{0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 9, 9, 0, 0, 0, 1};
    ExpectSafe(Record(EMR_GRADIENTFILL, rect), "a rectangle of vertices 0 and 1");
    rect[16] = 2;
    ExpectRefused(Record(EMR_GRADIENTFILL, rect), "a corner naming vertex 2 of 2");
    rect[16] = 1;
    rect[6] = 2;
    ExpectRefused(Record(EMR_GRADIENTFILL, rect), "a triangle in room for a rectangle");
    rect[6] = 3;
    ExpectRefused(Record(EMR_GRADIENTFILL, rect), "an unknown mode");
}

TEST(IsRecordSafe, KeepsOtherCountedDataInside)
{
    ExpectSafe(Record(EMR_GDICOMMENT, {4, 0}), "a 4-byte comment");
    ExpectRefused(Record(EMR_GDICOMMENT, {5, 0}), "a 5-byte comment in 4 bytes");
    // CREATEPALETTE: index, version 0x300 and a 16-bit count, the entries.
    ExpectSafe(Record(EMR_CREATEPALETTE, {1, 0x00020300, 0, 0}), "a palette of 2 entries");
    ExpectRefused(Record(EMR_CREATEPALETTE, {1, 0x00030300, 0, 0}), "3 entries in room for 2");
    ExpectRefused(Record(EMR_SETPALETTEENTRIES, {1, 0, 2, 0}), "2 entries in room for 1");
    // EXTCREATEPEN: index, bitmap fields, the pen, its style count and styles.
    Words pen{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 3, 3};
    ExpectSafe(Record(EMR_EXTCREATEPEN, pen), "a pen of 2 style entries");
    pen[10] = 3;
    ExpectRefused(Record(EMR_EXTCREATEPEN, pen), "3 style entries in room for 2");
    pen[10] = 2;
    pen[1] = 52;
    pen[2] = 12;
    ExpectRefused(Record(EMR_EXTCREATEPEN, pen), "a brush bitmap past the end");
}

// The header of a metafile of size bytes with the given counts.
Bytes Header(uint32_t size, uint32_t records, uint16_t handles)
{
    Bytes header = Zeros(EMR_HEADER, 88);
    Put(header, 40, 0x464D4520);
    Put(header, 48, size);
    Put(header, 52, records);
    Put(header, 56, handles);
    return header;
}

TEST(ReadMetafileHeader, ReadsAPlausibleHeader)
{
    MetafileHeader header{};
    const Bytes good = Header(88, 1, 1);
    ASSERT_TRUE(ReadMetafileHeader(good.data(), good.size(), header)) << "expected a header";
    EXPECT_EQ(88u, header.size) << "expected nBytes 88, got " << header.size;
    EXPECT_EQ(1u, header.handleCount) << "expected 1 handle, got " << header.handleCount;
    Bytes unaligned = Header(90, 1, 1);
    unaligned.resize(92);
    const struct {
        const char* what;
        Bytes header;
    } bad[] = {
        {"type 2", Modified(good, 0, 2)},
        {"nSize 84", Modified(good, 4, 84)},
        {"nSize past nBytes", Modified(good, 4, 92)},
        {"no signature", Modified(good, 40, 0)},
        {"nBytes past the file", Header(92, 1, 1)},
        {"nBytes not a multiple of 4", unaligned},
        {"no records", Header(88, 0, 1)},
        {"more records than 8-byte records fit", Header(88, 12, 1)},
        {"no handles", Header(88, 1, 0)},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(ReadMetafileHeader(c.header.data(), c.header.size(), header))
            << "expected refused, got a header: " << c.what;
    }
    EXPECT_FALSE(ReadMetafileHeader(good.data(), 87, header)) << "expected 87 bytes refused";
}

Bytes Join(const std::vector<Bytes>& records)
{
    Bytes joined;
    for (const Bytes& record : records) {
        joined.insert(joined.end(), record.begin(), record.end());
    }
    return joined;
}

bool Intact(const Bytes& metafile)
{
    return IsRecordChainIntact(metafile.data(), metafile.size());
}

TEST(IsRecordChainIntact, WalksEveryRecordToTheEnd)
{
    const Bytes header = Header(88 + 20, 2, 1);
    const Bytes eof = Zeros(EMR_EOF, 20);
    EXPECT_TRUE(Intact(Join({header, eof}))) << "expected a header and an EOF intact";
    EXPECT_TRUE(Intact(Join({header, eof, Zeros(EMR_SAVEDC, 8)})))
        << "expected a sound record after the EOF to keep the chain";
    EXPECT_FALSE(Intact(Join({header, eof, Record(EMR_SAVEDC, {}), Bytes{0, 0, 0, 0}})))
        << "expected 4 stray bytes at the end to break the chain";
    EXPECT_FALSE(Intact(Join({header, header}))) << "expected a second header refused";
    EXPECT_FALSE(Intact(eof)) << "expected a chain without its header refused";
    EXPECT_FALSE(Intact({})) << "expected an empty metafile refused";
    Bytes zero = Join({header, eof});
    Put(zero, 88 + 4, 0);
    EXPECT_FALSE(Intact(zero)) << "expected an nSize of 0 to break the chain";
    Put(zero, 88 + 4, 24);
    EXPECT_FALSE(Intact(zero)) << "expected a record past the end to break the chain";
}

Bytes ReadFile(const std::string& name)
{
    std::ifstream file(std::string(VELLUMARK_CORE_TEST_DATA) + "/emf/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The offsets of the records the check refuses, walking the whole file.
std::set<size_t> RefusedOffsets(const Bytes& file, const MetafileHeader& header)
{
    std::set<size_t> refused;
    RecordSpan record{};
    for (size_t at = 0; ReadRecordAt(file.data(), header.size, at, record); at += record.size) {
        if (!IsRecordSafe(file.data() + at, record.size, header.handleCount)) {
            refused.insert(at);
        }
    }
    return refused;
}

TEST(RealMetafiles, EveryRecordOfGoodFilesIsSafe)
{
    for (const char* name : {"drawing.emf", "63327.emf", "nested_wmf.emf", "SimpleEMF_windows.emf",
                             "vector_image.emf", "wrench.emf"}) {
        const Bytes file = ReadFile(name);
        MetafileHeader header{};
        ASSERT_TRUE(ReadMetafileHeader(file.data(), file.size(), header))
            << "expected a plausible header in " << name << " (" << file.size() << " bytes)";
        EXPECT_TRUE(IsRecordChainIntact(file.data(), header.size)) << "expected " << name;
        const std::set<size_t> refused = RefusedOffsets(file, header);
        EXPECT_TRUE(refused.empty())
            << "expected every record of " << name << " safe, got " << refused.size()
            << " refused, first at " << (refused.empty() ? 0 : *refused.begin());
    }
}

TEST(RealMetafiles, RefusesExactlyTheBitmapsThePlayerWouldOverread)
{
    // test-2.emf: twelve 8-bit bitmaps (STRETCHDIBITS, BITBLT, STRETCHBLT)
    // name all 256 colours but carry 100, and two STRETCHDIBITS carry JPEG
    // and PNG pixels, which the layout does not know.
    const std::set<size_t> expected{55340, 55980, 56640, 57308, 57948, 58608, 59276,
                                    59916, 60576, 61244, 61884, 62544, 74792, 75528};
    const Bytes file = ReadFile("test-2.emf");
    MetafileHeader header{};
    ASSERT_TRUE(ReadMetafileHeader(file.data(), file.size(), header)) << "expected test-2.emf";
    EXPECT_TRUE(IsRecordChainIntact(file.data(), header.size)) << "expected an intact chain";
    const std::set<size_t> refused = RefusedOffsets(file, header);
    EXPECT_EQ(expected, refused) << "expected 14 records refused, got " << refused.size();
}

TEST(RealMetafiles, ABrokenChainIsFoundWhereItBreaks)
{
    // 61294.emf: the third record, at 2384, claims 4294902055 bytes.
    const Bytes file = ReadFile("bad/61294.emf");
    MetafileHeader header{};
    ASSERT_TRUE(ReadMetafileHeader(file.data(), file.size(), header)) << "expected its header";
    EXPECT_FALSE(IsRecordChainIntact(file.data(), header.size)) << "expected a broken chain";
    RecordSpan record{};
    EXPECT_FALSE(ReadRecordAt(file.data(), header.size, 2384, record))
        << "expected the record at 2384 unreadable";
    EXPECT_TRUE(RefusedOffsets(file, header).empty()) << "expected the records before it safe";
    EXPECT_FALSE(IsRecordSafe(file.data() + 2384, file.size() - 2384, header.handleCount))
        << "expected the record at 2384 refused";
}

}  // namespace
